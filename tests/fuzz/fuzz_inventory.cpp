// The inventory reader and the register's rows on arbitrary bytes.
//
// The input's first byte chooses how it is read; the rest is the inventory:
//   bits 0-1  the separator: recognised from the header, or ',', ';' or tab
//   bit 2     put "radionuclide,activity,unit,location" (with that separator) before the bytes,
//             so that most inputs reach the rows
//   bits 3-7  the largest piece the source hands out at a time, 1 to 32 bytes
//
// Properties: the records are the same whatever the pieces; the bytes consumed grow to the
// input's size; every record written by the writer reads back unchanged; every row has the
// header's width, and a row of another width is an error row; every output line reads back as
// the row's fields followed by the results; a row taken as a plain line and split later is the
// row next() reads, and its output line the same; a categorised row's radionuclide is found
// again by its table name.

#include <cstdint>
#include <string>
#include <vector>

#include "csv.h"
#include "fuzz_check.h"
#include "inventory.h"
#include "locations.h"
#include "output.h"
#include "radionuclides.h"

using namespace dovrin;
using dovrin::fuzz::quoted;

namespace {

struct Copy {
    std::vector<std::string> fields;
    std::uint64_t number;
    csv::RecordProblem problem;
    std::size_t problemField;

    bool operator==(const Copy&) const = default;
};

std::vector<Copy> readAll(std::string_view text, std::optional<char> separator, std::size_t piece) {
    csv::TextSource source(text, piece);
    csv::Reader reader(source, separator);
    std::vector<Copy> records;
    std::uint64_t consumed = 0;
    while (const auto record = reader.next()) {
        FUZZ_REQUIRE(reader.bytesConsumed() > consumed, quoted(text));
        consumed = reader.bytesConsumed();
        FUZZ_REQUIRE(!record->fields.empty(), quoted(text));
        FUZZ_REQUIRE(record->problem == csv::RecordProblem::none ||
                         record->problemField < record->fields.size(),
                     quoted(text));
        records.push_back({{record->fields.begin(), record->fields.end()},
                           record->number,
                           record->problem,
                           record->problemField});
    }
    FUZZ_REQUIRE(reader.bytesConsumed() == text.size(), quoted(text));
    return records;
}

void checkRoundTrip(const std::vector<Copy>& records, char separator, std::string_view text) {
    // A byte-order mark first, as a run writes one when its input had one: a first field that
    // begins with those bytes then reads back whole.
    std::string written = "\xEF\xBB\xBF";
    for (const Copy& record : records) {
        const std::vector<std::string_view> fields(record.fields.begin(), record.fields.end());
        csv::appendRecord(written, fields, separator);
    }
    csv::TextSource source(written);
    csv::Reader reader(source, separator);
    for (const Copy& record : records) {
        const auto back = reader.next();
        FUZZ_REQUIRE(back && back->problem == csv::RecordProblem::none &&
                         std::ranges::equal(back->fields, record.fields),
                     quoted(text) + " written as " + quoted(written));
    }
    FUZZ_REQUIRE(!reader.next(), quoted(text) + " written as " + quoted(written));
}

void checkRows(std::string_view text, std::optional<char> separator) {
    csv::TextSource source(text, 7);
    InventoryReader reader(source, {separator, {}});
    if (!reader.readHeader()) {
        FUZZ_REQUIRE(!reader.error().empty() && reader.error().find('\n') == std::string::npos,
                     quoted(text));
        return;
    }
    const std::size_t width = reader.header().size();
    const char used = reader.separator();
    const bool recorded = reader.columns()[Column::recordedCategory].has_value();
    const Evaluation evaluation{std::chrono::local_days{std::chrono::year{2026} / 6 / 1} +
                                std::chrono::hours{12}};
    csv::TextSource plainSource(text, 7);
    InventoryReader plainReader(plainSource, {separator, {}});
    FUZZ_REQUIRE(plainReader.readHeader(), quoted(text));
    InventoryRow row;
    InventoryRow plainRow;
    std::string line;
    LocationTotals totals;
    while (reader.next(row)) {
        if (const auto plain = plainReader.nextPlainLine()) {
            std::vector<std::string_view> fields;
            std::string problem;
            splitPlainLine(plain->bytes, used, width, fields, problem);
            FUZZ_REQUIRE(plain->number == row.number && problem == row.problem &&
                             std::ranges::equal(fields, row.fields),
                         quoted(text) + " at the plain line " + quoted(plain->bytes));
            if (problem.empty()) {
                const SourceResult result = evaluateRow(row, evaluation);
                std::string fromFields, fromLine;
                appendOutputRow(fromFields, row.fields, result, used, recorded);
                appendOutputRow(fromLine, plain->bytes, result, used, recorded);
                FUZZ_REQUIRE(fromFields == fromLine, quoted(text));
            }
        } else {
            FUZZ_REQUIRE(plainReader.next(plainRow) && plainRow.number == row.number &&
                             std::ranges::equal(plainRow.fields, row.fields),
                         quoted(text));
        }
        FUZZ_REQUIRE(row.fields.size() == width, quoted(text));
        const SourceResult result = evaluateRow(row, evaluation);
        FUZZ_REQUIRE(row.problem.empty() || !result.categorised, quoted(text));
        // A categorised row's radionuclide is found again by the name the register gives it.
        FUZZ_REQUIRE(!result.categorised ||
                         RadionuclideTable::builtIn().find(result.radionuclide) ==
                             RadionuclideTable::builtIn().named(result.radionuclide),
                     quoted(text));
        totals.add(row.location, result);
        line = "\xEF\xBB\xBF"; // as in checkRoundTrip: the line is read as a whole file
        appendOutputRow(line, row.fields, result, used, recorded);
        csv::TextSource back(line);
        csv::Reader lineReader(back, used);
        const auto record = lineReader.next();
        FUZZ_REQUIRE(record && record->fields.size() == width + resultColumnCount(recorded) &&
                         std::equal(row.fields.begin(), row.fields.end(), record->fields.begin()),
                     quoted(text) + " gives the line " + quoted(line));
        FUZZ_REQUIRE(!lineReader.next(), quoted(line));
    }
    FUZZ_REQUIRE(!plainReader.nextPlainLine() && !plainReader.next(plainRow), quoted(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t control = data[0];
    constexpr char given[] = {'\0', ',', ';', '\t'};
    const char separatorByte = given[control & 3u];
    const std::optional<char> separator =
        separatorByte == '\0' ? std::nullopt : std::optional<char>(separatorByte);
    std::string text;
    if ((control & 4u) != 0) {
        const char s = separator.value_or(',');
        text = std::string("radionuclide") + s + "activity" + s + "unit" + s + "location\n";
    }
    text.append(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t piece = (control >> 3u) + 1u;

    const std::vector<Copy> whole = readAll(text, separator, SIZE_MAX);
    FUZZ_REQUIRE(readAll(text, separator, piece) == whole, quoted(text));
    csv::TextSource source(text);
    csv::Reader reader(source, separator);
    checkRoundTrip(whole, reader.separator(), text);
    checkRows(text, separator);
    return 0;
}
