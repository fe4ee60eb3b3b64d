#include "workbook.h"

#include <algorithm>

#include "number_text.h"
#include "plain_text.h"
#include "workbook_parts.h"

namespace dovrin::workbook {

namespace {

constexpr std::string_view odsType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::string_view odsTemplateType =
    "application/vnd.oasis.opendocument.spreadsheet-template";

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return lowerCase(x) == lowerCase(y); });
}

// Tells the format by the parts the archive holds.
std::unique_ptr<Workbook> openArchive(std::shared_ptr<const Archive> archive, const Limits& limits,
                                      std::string& error) {
    if (archive->find("xl/workbook.xml"))
        return openXlsx(std::move(archive), limits, error);
    if (archive->find("mimetype")) {
        constexpr std::uint64_t longestType = 256;
        const auto type = archive->readAll("mimetype", longestType, error);
        if (!type)
            return nullptr;
        const std::string_view name = trimBlanks(*type); // a line end after it is harmless
        if (name != odsType && name != odsTemplateType) {
            error =
                "it is an OpenDocument file of type " + quotedText(*type) + ", not a spreadsheet";
            return nullptr;
        }
        return openOds(std::move(archive), limits, error);
    }
    if (archive->find("content.xml"))
        return openOds(std::move(archive), limits, error);
    error = "it is a zip archive, but neither an .xlsx nor an .ods workbook";
    return nullptr;
}

} // namespace

bool startsZip(std::string_view firstBytes) {
    // A local file header, or the end of the directory of an empty archive.
    return firstBytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
           firstBytes.starts_with(std::string_view("PK\x05\x06", 4));
}

bool startsCompoundFile(std::string_view firstBytes) {
    return firstBytes.starts_with("\xD0\xCF\x11\xE0");
}

bool Sheet::next(Row& row) {
    if (!error_.empty() || !nextRow(row))
        return false;
    for (const std::string_view field : row.fields)
        yielded_ += field.size() + 1;
    const std::uint64_t source = bytesRead() + heldBytes_;
    if (yielded_ > limits_.expansionAllowance &&
        (yielded_ - limits_.expansionAllowance) / limits_.expansion > source) {
        error_ = "the sheet's cells expand to more than " + std::to_string(limits_.expansion) +
                 " times the size of the XML they come from (repeated or shared cells): refused";
        return false;
    }
    return true;
}

std::unique_ptr<Workbook> Workbook::openFile(const std::string& path, std::string& error,
                                             const Limits& limits) {
    const auto archive = Archive::openFile(path, error);
    return archive ? openArchive(archive, limits, error) : nullptr;
}

std::unique_ptr<Workbook> Workbook::openBytes(std::string bytes, std::string& error,
                                              const Limits& limits) {
    const auto archive = Archive::openBytes(std::move(bytes), error);
    return archive ? openArchive(archive, limits, error) : nullptr;
}

std::unique_ptr<Sheet> Workbook::openSheet(std::string_view name, std::string& error) {
    if (name.empty())
        return openSheet(std::size_t{0}, error);
    const auto names = sheetNames(error);
    if (!names)
        return nullptr;
    auto found = std::ranges::find(*names, name);
    if (found == names->end())
        found = std::ranges::find_if(
            *names, [name](const std::string& each) { return sameIgnoringCase(each, name); });
    if (found != names->end())
        return openSheet(static_cast<std::size_t>(found - names->begin()), error);
    constexpr std::size_t namesListed = 20;
    std::string list;
    for (std::size_t i = 0; i < names->size() && i < namesListed; ++i)
        list += (i == 0 ? "" : ", ") + quotedText((*names)[i]);
    if (names->size() > namesListed)
        list += ", ... (" + std::to_string(names->size()) + " sheets)";
    error = names->empty()
                ? "the workbook has no sheet"
                : "the workbook has no sheet " + quotedText(name) + "; its sheets: " + list;
    return nullptr;
}

} // namespace dovrin::workbook
