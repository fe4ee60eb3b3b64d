// The workbook reader on arbitrary bytes.
//
// The input's first byte chooses what the rest is:
//   bit 0 clear  a whole archive, as a file holds it
//   bit 0 set    the parts of a workbook, separated by NUL bytes (which no XML holds), put in an
//                archive here, so that most inputs reach the XML:
//     bit 1 clear  .xlsx: the sheet's XML, then the shared strings, the styles and
//                  xl/workbook.xml; a plain workbook list when there is none
//     bit 1 set    .ods: content.xml
//   bit 2        read the last sheet, chosen by its name, rather than the first
// Small caps keep each input quick.
//
// Properties: an error is one line; the rows come in increasing numbers within the sheet's
// limits; each row has from 1 to 16,384 fields, the last one not empty; every field is valid
// UTF-8.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "workbook.h"
#include "zip_writer.h"

using namespace dovrin;
using namespace dovrin::workbook;
using dovrin::fuzz::quoted;

namespace {

bool validUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80             ? 1
                                   : (byte & 0xE0) == 0xC0 ? 2
                                   : (byte & 0xF0) == 0xE0 ? 3
                                   : (byte & 0xF8) == 0xF0 ? 4
                                                           : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t code = length == 1 ? byte : byte & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::vector<std::string> splitAtNul(std::string_view text) {
    std::vector<std::string> pieces;
    for (;;) {
        const std::size_t nul = text.find('\0');
        pieces.emplace_back(text.substr(0, nul));
        if (nul == std::string_view::npos)
            return pieces;
        text.remove_prefix(nul + 1);
    }
}

std::string archiveOf(std::uint8_t control, std::string_view rest) {
    if ((control & 1u) == 0)
        return std::string(rest);
    const std::vector<std::string> pieces = splitAtNul(rest);
    std::vector<testing::ZipPart> parts;
    if ((control & 2u) != 0) {
        parts = testing::odsParts({});
        parts[1].data = pieces[0];
    } else {
        parts = testing::xlsxParts({""}); // the sheet, the workbook list, the relationships
        parts[0].data = pieces[0];
        if (pieces.size() > 1 && !pieces[1].empty())
            parts.push_back({"xl/sharedStrings.xml", pieces[1]});
        if (pieces.size() > 2 && !pieces[2].empty())
            parts.push_back({"xl/styles.xml", pieces[2]});
        if (pieces.size() > 3)
            parts[1].data = pieces[3];
    }
    for (testing::ZipPart& part : parts)
        part.deflated = false;
    return testing::makeZip(parts);
}

void checkError(const std::string& error, std::string_view input) {
    FUZZ_REQUIRE(!error.empty() && error.find('\n') == std::string::npos,
                 quoted(input) + " gives the error " + quoted(error));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t control = data[0];
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Limits limits;
    limits.sheetBytes = limits.sharedStringsBytes = limits.otherPartBytes = 1 << 20;
    limits.rowTextBytes = 1 << 16;
    limits.expansionAllowance = 1 << 20;

    std::string error;
    const auto book = Workbook::openBytes(archiveOf(control, input.substr(1)), error, limits);
    if (!book) {
        checkError(error, input);
        return 0;
    }
    std::string name;
    if ((control & 4u) != 0) {
        const auto names = book->sheetNames(error);
        if (!names) {
            checkError(error, input);
            return 0;
        }
        if (!names->empty())
            name = names->back();
    }
    const auto sheet = book->openSheet(name, error);
    if (!sheet) {
        checkError(error, input);
        return 0;
    }
    Row row;
    std::uint64_t last = 0;
    while (sheet->next(row)) {
        FUZZ_REQUIRE(row.number > last && row.number <= maxRows, quoted(input));
        last = row.number;
        FUZZ_REQUIRE(!row.fields.empty() && row.fields.size() <= maxColumns &&
                         !row.fields.back().empty(),
                     quoted(input));
        for (const std::string_view field : row.fields)
            FUZZ_REQUIRE(validUtf8(field), quoted(input) + " gives the field " + quoted(field));
    }
    if (!sheet->error().empty())
        checkError(sheet->error(), input);
    return 0;
}
