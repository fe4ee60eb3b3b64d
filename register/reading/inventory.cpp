#include "inventory.h"

#include <algorithm>
#include <array>
#include <utility>

#include "activity_text.h"
#include "number_text.h"
#include "plain_text.h"

namespace dovrin {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view surrounding = " \t";
    const std::size_t first = text.find_first_not_of(surrounding);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(surrounding) - first + 1);
}

// Letter case (of ASCII letters) and surrounding blanks ignored.
bool sameName(std::string_view a, std::string_view b) {
    a = trimmed(a);
    b = trimmed(b);
    return std::ranges::equal(a, b, [](char x, char y) { return lowerCase(x) == lowerCase(y); });
}

std::string_view nameOf(Column column) {
    return columnNames[static_cast<std::size_t>(column)];
}

std::string quotedName(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// The header as it is matched: without a trailing part in brackets or a unit after a slash,
// its ASCII letters in lower case and digits, and the bytes of other characters as they are;
// blanks and punctuation dropped.
std::string headerKey(std::string_view header) {
    header = trimmed(header);
    if (!header.empty() && (header.back() == ')' || header.back() == ']')) {
        const std::size_t open = header.find_last_of(header.back() == ')' ? '(' : '[');
        if (open != std::string_view::npos)
            header = header.substr(0, open);
    } else if (!unitInHeader(header).empty()) {
        header = header.substr(0, header.find_last_of('/'));
    }
    std::string key;
    for (const char c : header) {
        const char lower = lowerCase(c);
        if ((lower >= 'a' && lower <= 'z') || (c >= '0' && c <= '9') ||
            static_cast<unsigned char>(c) >= 0x80)
            key += lower;
    }
    return key;
}

// The header fields whose key is the key, by index; none for an empty key.
std::vector<std::size_t> fieldsKeyed(std::span<const std::string> keys, std::string_view key) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < keys.size() && !key.empty(); ++i)
        if (keys[i] == key)
            found.push_back(i);
    return found;
}

// "radionuclide (nuclide, isotope, ...)": a column's name and the other headers it goes by.
std::string nameWithSynonyms(Column column) {
    std::string text(nameOf(column));
    std::string others;
    for (const ColumnSynonym& synonym : columnSynonyms)
        if (synonym.column == column && headerKey(synonym.header) != headerKey(nameOf(column)))
            others += (others.empty() ? "" : ", ") + std::string(synonym.header);
    return others.empty() ? text : text + " (or " + others + ")";
}

std::string columnNumbers(std::span<const std::size_t> indices) {
    std::string text;
    for (const std::size_t index : indices)
        text += (text.empty() ? "" : " and ") + std::to_string(index + 1);
    return text;
}

// Each of the extra fields quoted, with its quotes doubled, as CSV would write it.
std::string quotedFields(std::span<const std::string_view> fields, char separator) {
    std::string text;
    for (const std::string_view field : fields) {
        if (!text.empty())
            text += separator;
        text += '"';
        for (const char c : field) {
            if (c == '"')
                text += '"';
            text += c;
        }
        text += '"';
    }
    return text;
}

} // namespace

std::optional<Column> columnNamed(std::string_view name) {
    for (std::size_t i = 0; i < columnNames.size(); ++i)
        if (sameName(name, columnNames[i]))
            return static_cast<Column>(i);
    return std::nullopt;
}

RowTexts textsOf(std::span<const std::string_view> fields, const ColumnMap& columns) {
    const auto text = [&](Column column) { return textOf(fields, columns, column); };
    RowTexts texts{{text(Column::radionuclide), text(Column::activity), text(Column::unit),
                    text(Column::manufactured), text(Column::recordedCategory)},
                   text(Column::location),
                   text(Column::id)};
    texts.source.headerUnit = columns.headerUnit;
    if (columns.dutyColumns) // most inventories have none: their rows skip the look-ups
        texts.source.duties = {text(Column::lastLeakTest),  text(Column::leakTestInterval),
                               text(Column::lastInventory), text(Column::inventoryInterval),
                               text(Column::workingLife),   text(Column::status),
                               text(Column::form)};
    if (columns.unitWithActivity) [[unlikely]]
        texts.source.unit = {}; // the activity's cell holds its unit
    return texts;
}

namespace {

// The field of the header chosen or found for one column, or why none can be taken. A column
// that several of its synonyms name takes the earliest synonym; the others are remarked.
struct ColumnFound {
    std::optional<std::size_t> index;
    std::string error;
};

ColumnFound findColumn(Column column, std::span<const std::string_view> header,
                       std::span<const std::string> keys, const ColumnChoice* chosen,
                       std::vector<std::string>& remarks) {
    const std::string name(nameOf(column));
    if (chosen != nullptr) {
        const std::vector<std::size_t> found = fieldsKeyed(keys, headerKey(chosen->header));
        if (found.size() > 1)
            return {{},
                    "columns " + columnNumbers(found) + " are both named " +
                        quotedName(trimmed(chosen->header)) + ": which one is the " + name +
                        " is not known"};
        if (found.empty())
            return {{},
                    "the header has no column " + quotedName(trimmed(chosen->header)) + " for " +
                        name};
        return {found.front(), {}};
    }
    std::optional<std::size_t> taken;
    for (const ColumnSynonym& synonym : columnSynonyms) {
        if (synonym.column != column)
            continue;
        const std::vector<std::size_t> found = fieldsKeyed(keys, headerKey(synonym.header));
        if (found.empty())
            continue;
        if (found.size() > 1)
            return {{},
                    "columns " + columnNumbers(found) + " are both named " +
                        quotedName(trimmed(header[found.front()])) + " and " +
                        quotedName(trimmed(header[found.back()])) + ": which one is the " + name +
                        " is not known"};
        if (taken) {
            remarks.push_back(name + ": " + quotedName(trimmed(header[*taken])) + " (column " +
                              std::to_string(*taken + 1) + ") taken; " +
                              quotedName(trimmed(header[found.front()])) + " (column " +
                              std::to_string(found.front() + 1) + ") carried through");
            continue;
        }
        taken = found.front();
    }
    return {taken, {}};
}

} // namespace

HeaderReading mapColumns(std::span<const std::string_view> header,
                         std::span<const ColumnChoice> choices) {
    HeaderReading reading;
    ColumnMap map;
    map.width = header.size();
    std::vector<std::string> keys;
    for (const std::string_view field : header)
        keys.push_back(headerKey(field));
    std::vector<bool> recognised(header.size(), false);
    for (std::size_t i = 0; i < keys.size(); ++i)
        recognised[i] = std::ranges::any_of(columnSynonyms,
                                            [&](const ColumnSynonym& s) {
                                                return keys[i] == headerKey(s.header);
                                            }) ||
                        std::ranges::any_of(choices, [&](const ColumnChoice& choice) {
                            return !keys[i].empty() && keys[i] == headerKey(choice.header);
                        });
    reading.recognised = static_cast<std::size_t>(std::ranges::count(recognised, true));
    const auto fail = [&reading](std::string error) {
        reading.error = std::move(error);
        return std::move(reading);
    };
    std::string missing;
    for (std::size_t c = 0; c < columnNames.size(); ++c) {
        const auto column = static_cast<Column>(c);
        const auto chosen = std::ranges::find(choices, column, &ColumnChoice::column);
        if (chosen != choices.end() &&
            std::find_if(chosen + 1, choices.end(), [column](const auto& other) {
                return other.column == column;
            }) != choices.end())
            return fail("--column " + std::string(nameOf(column)) + " is given twice");
        ColumnFound found = findColumn(
            column, header, keys, chosen != choices.end() ? &*chosen : nullptr, reading.remarks);
        if (!found.error.empty())
            return fail(std::move(found.error));
        if (!found.index && c < requiredColumns)
            missing += (missing.empty() ? "" : " nor ") + nameWithSynonyms(column);
        if (found.index) {
            map.index[c] = found.index;
            map.dutyColumns = map.dutyColumns || column >= Column::lastLeakTest;
        }
    }
    if (!missing.empty())
        return fail("no column for " + missing +
                    " (name another header with --column NAME=HEADER, or the header's row with "
                    "--header-row N)");
    const bool unitChosen =
        std::ranges::find(choices, Column::unit, &ColumnChoice::column) != choices.end();
    const auto mayShare = [unitChosen](std::size_t a, std::size_t b) {
        return unitChosen && a == static_cast<std::size_t>(Column::activity) &&
               b == static_cast<std::size_t>(Column::unit);
    };
    for (std::size_t a = 0; a < columnNames.size(); ++a)
        for (std::size_t b = a + 1; b < columnNames.size(); ++b)
            if (map.index[a] && map.index[a] == map.index[b] && !mayShare(a, b))
                return fail("column " + std::to_string(*map.index[a] + 1) + " (" +
                            quotedName(header[*map.index[a]]) + ") would be both the " +
                            std::string(columnNames[a]) + " and the " +
                            std::string(columnNames[b]));
    map.unitWithActivity = map[Column::unit] && map[Column::unit] == map[Column::activity];
    if (!map.unitWithActivity)
        map.headerUnit = unitInHeader(header[*map[Column::activity]]);
    // Said first, as what the reader must know before reading any result.
    std::vector<std::string> missingNotes;
    if (!map[Column::manufactured])
        missingNotes.push_back("no column for " + nameWithSynonyms(Column::manufactured) +
                               ": nothing is decayed");
    if (!map[Column::lastLeakTest])
        missingNotes.push_back("no column for " + nameWithSynonyms(Column::lastLeakTest) +
                               ": no leak test is due");
    reading.remarks.insert(reading.remarks.begin(), missingNotes.begin(), missingNotes.end());
    std::string unrecognised;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (std::ranges::find(map.index, std::optional(i)) == map.index.end() &&
            !trimmed(header[i]).empty())
            unrecognised += (unrecognised.empty() ? "" : ", ") + quotedName(trimmed(header[i]));
    if (!unrecognised.empty())
        reading.remarks.push_back("columns carried through unrecognised: " + unrecognised);
    reading.columns = std::move(map);
    return reading;
}

InventoryReader::InventoryReader(csv::ByteSource& source, InventoryOptions options)
    : ownRows_(std::make_unique<CsvRows>(source, options.separator))
    , rows_(*ownRows_)
    , options_(std::move(options)) {}

InventoryReader::InventoryReader(RowSource& rows, InventoryOptions options)
    : rows_(rows)
    , options_(std::move(options)) {}

bool InventoryReader::readHeader() {
    // The row that came nearest to a header, and why it is none.
    std::size_t bestRecognised = 0;
    std::uint64_t bestRow = 0;
    std::string bestError;
    while (const auto record = rows_.next()) {
        const bool named = options_.headerRow.has_value();
        if (named && record->number < *options_.headerRow)
            continue;
        if (named && record->number > *options_.headerRow)
            break; // the row named is blank
        if (!named && record->number > headerSearchRows)
            break;
        if (record->problem != csv::RecordProblem::none) {
            if (!named)
                continue; // a title with a stray quote is no header either
            error_ = "the header row " + std::to_string(record->number) +
                     " is not well formed: a quote in its field " +
                     std::to_string(record->problemField + 1) + " does not close where it should";
            return false;
        }
        HeaderReading reading = mapColumns(record->fields, options_.columns);
        if (reading.columns || named || bestRow == 0 || reading.recognised > bestRecognised) {
            headerTexts_.assign(record->fields.begin(), record->fields.end());
            headerFields_.assign(headerTexts_.begin(), headerTexts_.end());
            headerRow_ = record->number;
        }
        if (reading.columns) {
            columns_ = std::move(*reading.columns);
            headerRemarks_ = std::move(reading.remarks);
            return true;
        }
        if (named || bestRow == 0 || reading.recognised > bestRecognised) {
            bestRecognised = reading.recognised;
            bestRow = record->number;
            bestError = std::move(reading.error);
        }
        if (named)
            break;
    }
    const std::string readError = rows_.error();
    if (!readError.empty())
        error_ = "the inventory cannot be read: " + readError;
    else if (bestRow == 0 && options_.headerRow)
        error_ = "--header-row " + std::to_string(*options_.headerRow) +
                 ": the inventory has no such row, or it is blank";
    else if (bestRow == 0)
        error_ = "the inventory is empty: it has no header row";
    else
        error_ = "row " + std::to_string(bestRow) +
                 (options_.headerRow ? " (--header-row): " : ", taken as the header: ") + bestError;
    return false;
}

bool InventoryReader::skipped(std::uint64_t number, std::span<const std::string_view> fields) {
    if (isBlankRow(fields)) {
        ++blankRows_;
        return true;
    }
    if (isTotalsRow(fields, columns_)) {
        totalsRows_.push_back(number);
        return true;
    }
    return false;
}

std::optional<PlainLine> InventoryReader::nextPlainLine() {
    for (;;) {
        const auto line = rows_.nextPlainLine();
        if (!line)
            return line;
        // Most lines begin with a text that is neither a totals row's word nor a blank row's
        // separators: only the others are split here, so that this thread, which reads every
        // line, does little more for each than find its end.
        const char separator = rows_.separator();
        const auto first = std::ranges::find_if(line->bytes, [separator](char c) {
            return c != separator && c != ' ' && c != '\t' && c != '\r';
        });
        if (first != line->bytes.end() &&
            !beginsWithTotalsWord(
                line->bytes.substr(static_cast<std::size_t>(first - line->bytes.begin()))))
            return line;
        lineFields_.clear();
        splitPlainLine(line->bytes, separator, columns_.width, lineFields_, lineProblem_);
        if (!skipped(line->number, lineFields_))
            return line;
    }
}

bool InventoryReader::next(InventoryRow& row) {
    for (;;) {
        const auto record = rows_.next();
        if (!record)
            return false;
        if (record->problem == csv::RecordProblem::none && skipped(record->number, record->fields))
            continue;
        readRow(*record, row);
        return true;
    }
}

void InventoryReader::readRow(const csv::Record& record, InventoryRow& row) {
    row.number = record.number;
    row.problem.clear();
    const std::size_t width = columns_.width;
    const std::size_t count = record.fields.size();
    const auto fieldName = [this](std::size_t index) {
        return index < headerFields_.size() ? quotedName(headerFields_[index])
                                            : "field " + std::to_string(index + 1);
    };
    if (record.problem == csv::RecordProblem::unterminatedQuote)
        row.problem = "the quote that opens " + fieldName(record.problemField) +
                      " never closes: the row is read up to its line end, quotes as text";
    else if (record.problem == csv::RecordProblem::textAfterQuote)
        row.problem = "text follows the closing quote in " + fieldName(record.problemField);
    // A sheet's row ends at its last cell that is not empty: a short one is whole.
    const bool whole = count < width && rows_.rowsEndAtLastCell();
    const std::string widthNote =
        whole ? std::string() : widthProblem(record.fields, width, rows_.separator());
    if (!widthNote.empty())
        row.problem += (row.problem.empty() ? "" : "; ") + widthNote;
    if (count >= width) {
        row.fields = record.fields.first(width);
    } else {
        padded_.assign(record.fields.begin(), record.fields.end());
        padded_.resize(width);
        row.fields = padded_;
    }
    const RowTexts texts = textsOf(row.fields, columns_);
    row.source = texts.source;
    row.location = texts.location;
    row.id = texts.id;
}

bool isBlankRow(std::span<const std::string_view> fields) {
    return std::ranges::all_of(fields,
                               [](std::string_view field) { return trimmed(field).empty(); });
}

bool beginsWithTotalsWord(std::string_view text) {
    const auto beginsWith = [text](std::string_view word) {
        return text.size() >= word.size() &&
               std::ranges::equal(text.substr(0, word.size()), word,
                                  [](char a, char b) { return lowerCase(a) == b; });
    };
    return beginsWith("total") || beginsWith("subtotal") || beginsWith("sum");
}

bool isTotalsRow(std::span<const std::string_view> fields, const ColumnMap& columns) {
    const auto first = std::ranges::find_if(
        fields, [](std::string_view field) { return !trimmed(field).empty(); });
    if (first == fields.end())
        return false;
    const std::string_view radionuclide = textOf(fields, columns, Column::radionuclide);
    const bool noRadionuclide =
        trimmed(radionuclide).empty() ||
        (columns[Column::radionuclide] &&
         static_cast<std::size_t>(first - fields.begin()) == *columns[Column::radionuclide]);
    return noRadionuclide && beginsWithTotalsWord(trimmed(*first));
}

std::string widthProblem(std::span<const std::string_view> fields, std::size_t width,
                         char separator) {
    const std::size_t count = fields.size();
    if (count < width)
        return std::to_string(count) + (count == 1 ? " field" : " fields") +
               " where the header has " + std::to_string(width) +
               ": the missing ones are left empty";
    if (count > width)
        return std::to_string(count) + " fields where the header has " + std::to_string(width) +
               "; the extra ones: " + quotedFields(fields.subspan(width), separator);
    return {};
}

void splitPlainLine(std::string_view line, char separator, std::size_t width,
                    std::vector<std::string_view>& fields, std::string& problem) {
    const std::size_t first = fields.size();
    for (;;) {
        const std::size_t end = line.find(separator);
        fields.push_back(line.substr(0, end));
        if (end == std::string_view::npos)
            break;
        line.remove_prefix(end + 1);
    }
    problem = widthProblem(std::span(fields).subspan(first), width, separator);
    fields.resize(first + width);
}

SourceResult evaluateRow(const InventoryRow& row, const Evaluation& evaluation) {
    return evaluateRow(row.source, row.problem, evaluation);
}

SourceResult evaluateRow(const SourceText& source, std::string_view problem,
                         const Evaluation& evaluation) {
    SourceResult result;
    evaluateRow(source, problem, evaluation, result);
    return result;
}

void evaluateRow(const SourceText& source, std::string_view problem, const Evaluation& evaluation,
                 SourceResult& result) {
    if (problem.empty()) {
        evaluateSource(source, evaluation, result);
        return;
    }
    clearKeepingRoom(result);
    result.note = problem;
}

} // namespace dovrin
