// OpenDocument spreadsheets (.ods): content.xml holds every sheet, each a table:table element of
// office:spreadsheet. A cell's text is its paragraphs; a number, a date or a truth value also
// has its value in attributes, which is what is read. Runs of equal cells and rows are written
// once with a count of repeats; the runs of empty cells and rows that fill a sheet to its last
// column and row are not data, and are passed over without being expanded.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sheet_cells.h"
#include "workbook.h"
#include "workbook_parts.h"

namespace dovrin::workbook {

namespace {

constexpr std::string_view officeSpace = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view tableSpace = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view textSpace = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view calcSpace =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

constexpr std::string_view contentPart = "content.xml";
constexpr std::uint64_t farRow = 1ull << 48;

// A count of repeats: 1 when absent or not a count; far beyond any sheet at most, so that
// adding counts cannot overflow.
std::uint64_t readRepeats(std::optional<std::string_view> text) {
    constexpr std::uint64_t most = 1ull << 40;
    if (!text)
        return 1;
    std::uint64_t value = 0;
    const char* const end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error == std::errc::result_out_of_range)
        return most;
    if (error != std::errc() || stop != end || value == 0)
        return 1;
    return std::min(value, most);
}

// Follows the depth of the elements up to the sheets, the children of office:spreadsheet.
class TableFinder {
public:
    // Whether the element just started is a sheet.
    bool startsTable(XmlName name) {
        ++depth_;
        if (name.is(officeSpace, "spreadsheet") && spreadsheetDepth_ == 0)
            spreadsheetDepth_ = depth_;
        return spreadsheetDepth_ != 0 && depth_ == spreadsheetDepth_ + 1 &&
               name.is(tableSpace, "table");
    }
    // Whether the element just ended is office:spreadsheet: no sheet follows.
    bool endsSpreadsheet() { return depth_-- == spreadsheetDepth_; }
    int depth() const { return depth_; }

private:
    int depth_ = 0;
    int spreadsheetDepth_ = 0;
};

class SheetNames final : public XmlHandler {
public:
    std::vector<std::string> names;

    void start(XmlName name, const XmlAttributes& attributes) override {
        if (finder_.startsTable(name))
            names.emplace_back(attributes.find(tableSpace, "name").value_or(""));
    }
    void end(XmlName) override {
        if (finder_.endsSpreadsheet())
            finish();
    }
    void text(std::string_view) override {}

private:
    TableFinder finder_;
};

class OdsSheet final : public Sheet, private XmlHandler {
public:
    OdsSheet(std::shared_ptr<const Archive> archive, std::size_t index, const Limits& limits)
        : Sheet(limits)
        , wanted_(index)
        , builder_(limits.rowTextBytes)
        , stream_(std::move(archive), std::string(contentPart), limits.sheetBytes, *this) {}

    std::uint64_t bytesRead() const override { return stream_.bytesRead(); }
    std::uint64_t bytesTotal() const override { return stream_.bytesTotal(); }

private:
    bool nextRow(Row& row) override {
        if (repeatsLeft_ > 1) {
            --repeatsLeft_;
            row.number = ++rowNumber_;
            row.fields = fields_;
            return true;
        }
        repeatsLeft_ = 0;
        for (;;) {
            const XmlStream::Step step = stream_.run();
            if (step == XmlStream::Step::failed) {
                error_ = stream_.error();
                return false;
            }
            if (repeatsLeft_ > 0) {
                fields_ = builder_.fields();
                row.number = rowNumber_;
                row.fields = fields_;
                return true;
            }
            if (step == XmlStream::Step::finished) {
                if (tables_ <= wanted_)
                    error_ = "the workbook has no sheet";
                return false;
            }
        }
    }

    void start(XmlName name, const XmlAttributes& attributes) override {
        const bool table = finder_.startsTable(name);
        if (skip_ > 0) {
            ++skip_;
        } else if (!inTable_) {
            if (table && tables_++ == wanted_) {
                inTable_ = true;
                tableDepth_ = finder_.depth();
            } else if (table) {
                skip_ = 1;
            }
        } else if (!inRow_) {
            if (name.is(tableSpace, "table-row"))
                startRow(attributes);
        } else if (!inCell_) {
            if (name.is(tableSpace, "table-cell"))
                startCell(attributes);
            else if (name.is(tableSpace, "covered-table-cell"))
                coveredCell(attributes);
            else
                skip_ = 1;
        } else if (paragraphDepth_ == 0) {
            if (name.is(textSpace, "p") || name.is(textSpace, "h"))
                startParagraph();
            else
                skip_ = 1; // a comment, a drawing, a table inside the cell
        } else {
            inParagraph(name, attributes);
        }
    }

    void end(XmlName name) override {
        const int depth = finder_.depth();
        const bool spreadsheetEnds = finder_.endsSpreadsheet();
        if (skip_ > 0) {
            --skip_;
        } else if (paragraphDepth_ == depth) {
            paragraphDepth_ = 0;
        } else if (inCell_ && name.is(tableSpace, "table-cell")) {
            endCell();
        } else if (inRow_ && name.is(tableSpace, "table-row")) {
            endRow();
        } else if (inTable_ && depth == tableDepth_) {
            finish();
        }
        if (spreadsheetEnds)
            finish();
    }

    void text(std::string_view text) override {
        if (paragraphDepth_ != 0 && skip_ == 0 && !builder_.append(text))
            fail(rowTooLong());
    }

    std::string rowTooLong() const {
        return "row " + std::to_string(nextRow_) + " holds more than " +
               std::to_string(limits_.rowTextBytes) + " bytes of text";
    }

    void startRow(const XmlAttributes& attributes) {
        inRow_ = true;
        rowRepeats_ = readRepeats(attributes.find(tableSpace, "number-rows-repeated"));
        builder_.clear();
    }

    void endRow() {
        inRow_ = false;
        if (builder_.empty()) {
            // Empty rows, perhaps the ones that fill the sheet; far past the last row at most,
            // so that no count of them can overflow.
            nextRow_ = std::min(nextRow_ + rowRepeats_, farRow);
            return;
        }
        const std::uint64_t last = nextRow_ + rowRepeats_ - 1;
        if (last > maxRows)
            return fail("row " + std::to_string(last) + " lies past the sheet's last row, " +
                        std::to_string(maxRows));
        rowNumber_ = nextRow_;
        nextRow_ += rowRepeats_;
        repeatsLeft_ = rowRepeats_;
        pause();
    }

    void startCell(const XmlAttributes& attributes) {
        inCell_ = true;
        paragraphs_ = 0;
        cellRepeats_ = readRepeats(attributes.find(tableSpace, "number-columns-repeated"));
        const auto copy = [&](std::string& into, std::string_view space, std::string_view local) {
            const auto value = attributes.find(space, local);
            into.assign(value.value_or(""));
            return value.has_value();
        };
        copy(valueType_, officeSpace, "value-type");
        std::string calcType;
        if (copy(calcType, calcSpace, "value-type") && calcType == "error")
            valueType_ = calcType; // an error shows its text, #DIV/0!, not the value 0 written
        hasValue_ = copy(value_, officeSpace, "value");
        hasDate_ = copy(date_, officeSpace, "date-value");
        hasBoolean_ = copy(boolean_, officeSpace, "boolean-value");
        hasString_ = copy(string_, officeSpace, "string-value");
    }

    // The cells that a merged cell covers: empty, whatever they hold.
    void coveredCell(const XmlAttributes& attributes) {
        builder_.replaceCell({});
        builder_.endCell(builder_.nextColumn(),
                         readRepeats(attributes.find(tableSpace, "number-columns-repeated")));
        skip_ = 1;
    }

    void startParagraph() {
        paragraphDepth_ = finder_.depth();
        if (paragraphs_++ > 0 && !builder_.append("\n"))
            fail(rowTooLong());
    }

    void inParagraph(XmlName name, const XmlAttributes& attributes) {
        if (name.space != textSpace || name.local == "note" || name.local == "ruby-text") {
            skip_ = 1; // a drawing, a footnote's body, the reading above a ruby text
            return;
        }
        bool fits = true;
        if (name.local == "s")
            fits = builder_.append(
                static_cast<std::size_t>(std::min<std::uint64_t>(
                    readRepeats(attributes.find(textSpace, "c")), limits_.rowTextBytes + 1)),
                ' ');
        else if (name.local == "tab")
            fits = builder_.append("\t");
        else if (name.local == "line-break")
            fits = builder_.append("\n");
        if (!fits)
            fail(rowTooLong());
    }

    void endCell() {
        inCell_ = false;
        char space[32];
        bool fits = true;
        if ((valueType_ == "float" || valueType_ == "percentage" || valueType_ == "currency") &&
            hasValue_)
            fits = builder_.replaceCell(numberText(value_, space));
        else if (valueType_ == "date" && hasDate_)
            fits = builder_.replaceCell(isoDateText(date_));
        else if (valueType_ == "boolean" && hasBoolean_)
            fits = builder_.replaceCell(boolean_ == "true"    ? "TRUE"
                                        : boolean_ == "false" ? "FALSE"
                                                              : std::string_view(boolean_));
        else if (valueType_ == "string" && hasString_)
            fits = builder_.replaceCell(string_);
        if (!fits)
            return fail(rowTooLong());
        if (!builder_.endCell(builder_.nextColumn(), cellRepeats_))
            fail("a cell of row " + std::to_string(nextRow_) +
                 " lies past the sheet's last column, XFD");
    }

    std::size_t wanted_;
    RowBuilder builder_;
    XmlStream stream_;
    TableFinder finder_;
    std::size_t tables_ = 0;
    int skip_ = 0; // inside an element whose content is passed over, at this depth
    bool inTable_ = false;
    int tableDepth_ = 0;
    bool inRow_ = false;
    bool inCell_ = false;
    int paragraphDepth_ = 0;
    int paragraphs_ = 0;

    std::uint64_t nextRow_ = 1;   // the number of the row being read
    std::uint64_t rowNumber_ = 0; // the number of the row handed out last
    std::uint64_t rowRepeats_ = 1;
    std::uint64_t repeatsLeft_ = 0; // of the row read last, including the one handed out
    std::span<const std::string_view> fields_;

    std::uint64_t cellRepeats_ = 1;
    std::string valueType_, value_, date_, boolean_, string_;
    bool hasValue_ = false, hasDate_ = false, hasBoolean_ = false, hasString_ = false;
};

class OdsWorkbook final : public Workbook {
public:
    OdsWorkbook(std::shared_ptr<const Archive> archive, const Limits& limits)
        : archive_(std::move(archive))
        , limits_(limits) {}

    Format format() const override { return Format::ods; }

    std::optional<std::vector<std::string>> sheetNames(std::string& error) override {
        if (!names_) {
            SheetNames list;
            if (!parseWhole(archive_, std::string(contentPart), limits_.sheetBytes, list, error))
                return std::nullopt;
            names_ = std::move(list.names);
        }
        return names_;
    }

protected:
    std::unique_ptr<Sheet> openSheet(std::size_t index, std::string&) override {
        return std::make_unique<OdsSheet>(archive_, index, limits_);
    }

private:
    std::shared_ptr<const Archive> archive_;
    Limits limits_;
    std::optional<std::vector<std::string>> names_;
};

} // namespace

std::unique_ptr<Workbook> openOds(std::shared_ptr<const Archive> archive, const Limits& limits,
                                  std::string& error) {
    if (!archive->find(contentPart)) {
        error = "the OpenDocument file has no content.xml";
        return nullptr;
    }
    return std::make_unique<OdsWorkbook>(std::move(archive), limits);
}

} // namespace dovrin::workbook
