// Office Open XML workbooks (.xlsx): xl/workbook.xml names the sheets, its relationships say
// which part holds each, xl/styles.xml says which number formats are dates, and the shared
// strings hold the texts most cells refer to by number. Both the transitional and the strict
// namespaces are read.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sheet_cells.h"
#include "workbook.h"
#include "workbook_parts.h"

namespace dovrin::workbook {

namespace {

constexpr std::string_view mainSpace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view strictMainSpace = "http://purl.oclc.org/ooxml/spreadsheetml/main";
constexpr std::string_view relationSpace =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view strictRelationSpace =
    "http://purl.oclc.org/ooxml/officeDocument/relationships";
constexpr std::string_view packageRelationSpace =
    "http://schemas.openxmlformats.org/package/2006/relationships";

constexpr std::string_view workbookPart = "xl/workbook.xml";
constexpr std::string_view workbookRelationsPart = "xl/_rels/workbook.xml.rels";

bool isMain(XmlName name, std::string_view local) {
    return name.local == local && (name.space == mainSpace || name.space == strictMainSpace);
}

std::optional<std::uint64_t> readCount(std::string_view text) {
    std::uint64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || text.empty())
        return std::nullopt;
    return value;
}

// A relationship's target as a part name: relative to the folder of xl/workbook.xml unless it
// starts with '/', with "." and ".." taken into account.
std::string resolvePart(std::string_view target) {
    std::vector<std::string_view> segments;
    if (!target.starts_with('/'))
        segments.push_back("xl");
    while (!target.empty()) {
        const std::size_t slash = target.find('/');
        const std::string_view segment = target.substr(0, slash);
        target = slash == std::string_view::npos ? std::string_view() : target.substr(slash + 1);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
    }
    std::string part;
    for (const std::string_view segment : segments)
        part += (part.empty() ? "" : "/") + std::string(segment);
    return part;
}

// --- The list of sheets, the relationships, the styles and the shared strings --------------

class SheetList final : public XmlHandler {
public:
    struct Entry {
        std::string name;
        std::string relation;
    };
    std::vector<Entry> sheets;
    bool from1904 = false;

    void start(XmlName name, const XmlAttributes& attributes) override {
        if (isMain(name, "workbookPr")) {
            const auto value = attributes.find({}, "date1904");
            from1904 = value && (*value == "1" || *value == "true");
        } else if (isMain(name, "sheet")) {
            auto relation = attributes.find(relationSpace, "id");
            if (!relation)
                relation = attributes.find(strictRelationSpace, "id");
            sheets.push_back({std::string(attributes.find({}, "name").value_or("")),
                              std::string(relation.value_or(""))});
        }
    }
    void end(XmlName) override {}
    void text(std::string_view) override {}
};

class Relations final : public XmlHandler {
public:
    struct Relation {
        std::string id;
        std::string type;
        std::string part;
    };
    std::vector<Relation> relations;

    // The part of the first relationship whose type ends so ("/worksheet"), or none.
    std::optional<std::string> partOfType(std::string_view typeEnd) const {
        for (const Relation& relation : relations)
            if (relation.type.ends_with(typeEnd))
                return relation.part;
        return std::nullopt;
    }

    void start(XmlName name, const XmlAttributes& attributes) override {
        if (!name.is(packageRelationSpace, "Relationship") ||
            attributes.find({}, "TargetMode") == "External")
            return;
        relations.push_back({std::string(attributes.find({}, "Id").value_or("")),
                             std::string(attributes.find({}, "Type").value_or("")),
                             resolvePart(attributes.find({}, "Target").value_or(""))});
    }
    void end(XmlName) override {}
    void text(std::string_view) override {}
};

// Which cell formats (the s attribute of a cell) show numbers as dates or times.
class Styles final : public XmlHandler {
public:
    std::vector<NumberShape> shapes() {
        // By id, the first of two formats with one id first, as a binary search finds it.
        std::ranges::stable_sort(custom_, {}, &std::pair<std::uint64_t, NumberShape>::first);
        std::vector<NumberShape> result;
        result.reserve(cellFormats_.size());
        for (const std::uint64_t id : cellFormats_) {
            const auto custom = std::ranges::lower_bound(
                custom_, id, {}, &std::pair<std::uint64_t, NumberShape>::first);
            result.push_back(custom != custom_.end() && custom->first == id
                                 ? custom->second
                                 : shapeOfBuiltInFormat(id));
        }
        return result;
    }

    void start(XmlName name, const XmlAttributes& attributes) override {
        if (isMain(name, "numFmt")) {
            const auto id = readCount(attributes.find({}, "numFmtId").value_or(""));
            if (id)
                custom_.emplace_back(*id,
                                     shapeOfFormat(attributes.find({}, "formatCode").value_or("")));
        } else if (isMain(name, "cellXfs")) {
            inCellFormats_ = true;
        } else if (inCellFormats_ && isMain(name, "xf")) {
            cellFormats_.push_back(
                readCount(attributes.find({}, "numFmtId").value_or("")).value_or(0));
        }
    }
    void end(XmlName name) override {
        if (isMain(name, "cellXfs"))
            inCellFormats_ = false;
    }
    void text(std::string_view) override {}

private:
    std::vector<std::pair<std::uint64_t, NumberShape>> custom_;
    std::vector<std::uint64_t> cellFormats_;
    bool inCellFormats_ = false;
};

// The texts of the shared strings part, one after the other, with the end of each: rich text
// runs joined, phonetic readings left out.
class SharedStrings final : public XmlHandler {
public:
    std::size_t count() const { return ends_.size(); }
    std::string_view at(std::size_t index) const {
        const std::size_t start = index == 0 ? 0 : ends_[index - 1];
        return std::string_view(text_).substr(start, ends_[index] - start);
    }
    std::uint64_t bytes() const { return text_.size(); }

    void start(XmlName name, const XmlAttributes&) override {
        if (isMain(name, "si")) {
            inString_ = true;
            stringStart_ = text_.size();
        } else if (isMain(name, "rPh")) {
            inPhonetic_ = true;
        } else if (inString_ && !inPhonetic_ && isMain(name, "t")) {
            inText_ = true;
        }
    }
    void end(XmlName name) override {
        if (isMain(name, "t")) {
            inText_ = false;
        } else if (isMain(name, "rPh")) {
            inPhonetic_ = false;
        } else if (isMain(name, "si")) {
            inString_ = false;
            decodeEscapes(text_, stringStart_);
            if (text_.size() > UINT32_MAX) {
                fail("the shared strings hold more than 4 GiB of text");
                return;
            }
            ends_.push_back(static_cast<std::uint32_t>(text_.size()));
        }
    }
    void text(std::string_view text) override {
        if (inText_)
            text_.append(text);
    }

private:
    std::string text_;
    std::vector<std::uint32_t> ends_;
    std::size_t stringStart_ = 0;
    bool inString_ = false;
    bool inPhonetic_ = false;
    bool inText_ = false;
};

// --- A worksheet ------------------------------------------------------------------------

class XlsxSheet final : public Sheet, private XmlHandler {
public:
    XlsxSheet(std::shared_ptr<const Archive> archive, const std::string& part, const Limits& limits,
              std::shared_ptr<const SharedStrings> strings,
              std::shared_ptr<const std::vector<NumberShape>> shapes, bool from1904)
        : Sheet(limits, strings ? strings->bytes() : 0)
        , strings_(std::move(strings))
        , shapes_(std::move(shapes))
        , from1904_(from1904)
        , builder_(limits.rowTextBytes)
        , stream_(std::move(archive), part, limits.sheetBytes, *this) {}

    std::uint64_t bytesRead() const override { return stream_.bytesRead(); }
    std::uint64_t bytesTotal() const override { return stream_.bytesTotal(); }

private:
    enum class CellType { number, sharedString, inlineString, boolean, error, formulaText, date };

    bool nextRow(Row& row) override {
        ready_ = false;
        for (;;) {
            const XmlStream::Step step = stream_.run();
            if (step == XmlStream::Step::failed) {
                error_ = stream_.error();
                return false;
            }
            if (ready_) {
                row.number = rowNumber_;
                row.fields = builder_.fields();
                return true;
            }
            if (step == XmlStream::Step::finished)
                return false;
        }
    }

    void start(XmlName name, const XmlAttributes& attributes) override {
        if (name.space != mainSpace && name.space != strictMainSpace)
            return;
        const std::string_view local = name.local;
        if (local == "sheetData") {
            inSheetData_ = true;
        } else if (!inSheetData_) {
            return;
        } else if (local == "row") {
            startRow(attributes);
        } else if (local == "c" && inRow_) {
            startCell(attributes);
        } else if (!inCell_) {
            return;
        } else if (local == "v") {
            collect_ = Collect::value;
        } else if (local == "is") {
            inInline_ = true;
        } else if (local == "rPh") {
            inPhonetic_ = true;
        } else if (local == "t" && inInline_ && !inPhonetic_) {
            collect_ = Collect::text;
        }
    }

    void end(XmlName name) override {
        if (name.space != mainSpace && name.space != strictMainSpace)
            return;
        const std::string_view local = name.local;
        if (local == "v" || local == "t") {
            collect_ = Collect::nothing;
        } else if (local == "rPh") {
            inPhonetic_ = false;
        } else if (local == "is") {
            inInline_ = false;
        } else if (local == "c" && inCell_) {
            inCell_ = false;
            collect_ = Collect::nothing;
            endCell();
        } else if (local == "row" && inRow_) {
            inRow_ = false;
            if (!builder_.empty()) {
                ready_ = true;
                pause();
            }
        } else if (local == "sheetData") {
            finish(); // what follows (merged cells, page setup) says nothing about the cells
        }
    }

    void text(std::string_view text) override {
        if (collect_ == Collect::value) {
            if (text.size() > limits_.rowTextBytes - value_.size())
                fail(rowTooLong());
            else
                value_.append(text);
        } else if (collect_ == Collect::text && !builder_.append(text)) {
            fail(rowTooLong());
        }
    }

    std::string rowTooLong() const {
        return "row " + std::to_string(rowNumber_) + " holds more than " +
               std::to_string(limits_.rowTextBytes) + " bytes of text";
    }

    std::string here() const { return "cell " + cellName(column_, rowNumber_); }

    void startRow(const XmlAttributes& attributes) {
        std::uint64_t number = rowNumber_ + 1;
        if (const auto written = attributes.find({}, "r")) {
            const auto read = readCount(*written);
            if (!read || *read == 0)
                return fail("row number " + quotedText(*written) + " is no row number");
            number = *read;
        }
        if (number > maxRows)
            return fail("row " + std::to_string(number) + " lies past the sheet's last row, " +
                        std::to_string(maxRows));
        if (number <= rowNumber_)
            return fail("row " + std::to_string(number) + " comes after row " +
                        std::to_string(rowNumber_) + ": the rows are out of order");
        rowNumber_ = number;
        builder_.clear();
        inRow_ = true;
    }

    void startCell(const XmlAttributes& attributes) {
        inCell_ = true;
        inInline_ = inPhonetic_ = false;
        collect_ = Collect::nothing;
        value_.clear();
        column_ = builder_.nextColumn();
        if (const auto written = attributes.find({}, "r")) {
            const auto reference = readCellReference(*written);
            if (!reference)
                return fail("cell reference " + quotedText(*written) + " in row " +
                            std::to_string(rowNumber_) + " is not a cell of A1:XFD" +
                            std::to_string(maxRows));
            if (reference->column < builder_.nextColumn())
                return fail("cell " + quotedText(*written) +
                            " comes after a cell to its right: the cells are out of order");
            column_ = reference->column;
        }
        const std::string_view type = attributes.find({}, "t").value_or("n");
        type_ = type == "s"           ? CellType::sharedString
                : type == "inlineStr" ? CellType::inlineString
                : type == "b"         ? CellType::boolean
                : type == "e"         ? CellType::error
                : type == "str"       ? CellType::formulaText
                : type == "d"         ? CellType::date
                                      : CellType::number;
        const auto style = readCount(attributes.find({}, "s").value_or("0"));
        shape_ =
            style && shapes_ && *style < shapes_->size() ? (*shapes_)[*style] : NumberShape::number;
    }

    // The text of the cell as a person sees it, from its type, its value and its format.
    bool cellText() {
        char space[32];
        switch (type_) {
        case CellType::sharedString: {
            if (value_.empty())
                return builder_.replaceCell({});
            if (!strings_) {
                fail(here() + " refers to a shared string, but the workbook has no shared strings");
                return true;
            }
            const auto index = readCount(value_);
            if (!index || *index >= strings_->count()) {
                fail(here() + " refers to shared string " + quotedText(value_) +
                     ", but the workbook has " + std::to_string(strings_->count()));
                return true;
            }
            return builder_.replaceCell(strings_->at(static_cast<std::size_t>(*index)));
        }
        case CellType::inlineString:
            builder_.decodeCellEscapes();
            return true;
        case CellType::boolean:
            return builder_.replaceCell(value_ == "1"   ? "TRUE"
                                        : value_ == "0" ? "FALSE"
                                                        : std::string_view(value_));
        case CellType::error:
            return builder_.replaceCell(value_);
        case CellType::formulaText:
            if (!builder_.replaceCell(value_))
                return false;
            builder_.decodeCellEscapes();
            return true;
        case CellType::date:
            return builder_.replaceCell(isoDateText(value_));
        case CellType::number:
            break;
        }
        if (shape_ != NumberShape::number) {
            double serial = 0;
            const char* const end = value_.data() + value_.size();
            const auto [stop, error] = std::from_chars(value_.data(), end, serial);
            if (error == std::errc() && stop == end)
                if (const auto text = serialText(serial, shape_, from1904_, space))
                    return builder_.replaceCell(*text);
        }
        return builder_.replaceCell(value_.empty() ? std::string_view()
                                                   : numberText(value_, space));
    }

    void endCell() {
        if (!cellText())
            return fail(rowTooLong());
        if (!builder_.endCell(column_))
            fail("a cell of row " + std::to_string(rowNumber_) +
                 " lies past the sheet's last column, XFD");
    }

    enum class Collect { nothing, value, text };

    std::shared_ptr<const SharedStrings> strings_;
    std::shared_ptr<const std::vector<NumberShape>> shapes_;
    bool from1904_;
    RowBuilder builder_;
    XmlStream stream_;

    bool ready_ = false; // a row that is not empty has been read
    bool inSheetData_ = false;
    bool inRow_ = false;
    bool inCell_ = false;
    bool inInline_ = false;
    bool inPhonetic_ = false;
    Collect collect_ = Collect::nothing;
    std::uint64_t rowNumber_ = 0;
    std::uint64_t column_ = 0;
    CellType type_ = CellType::number;
    NumberShape shape_ = NumberShape::number;
    std::string value_;
};

// --- The workbook -----------------------------------------------------------------------

class XlsxWorkbook final : public Workbook {
public:
    XlsxWorkbook(std::shared_ptr<const Archive> archive, const Limits& limits)
        : archive_(std::move(archive))
        , limits_(limits) {}

    bool load(std::string& error) {
        SheetList list;
        if (!parseWhole(archive_, std::string(workbookPart), limits_.otherPartBytes, list, error))
            return false;
        Relations relations;
        if (!parseWhole(archive_, std::string(workbookRelationsPart), limits_.otherPartBytes,
                        relations, error))
            return false;
        from1904_ = list.from1904;
        std::unordered_map<std::string_view, const Relations::Relation*> byId;
        for (const auto& relation : relations.relations)
            byId.emplace(relation.id, &relation);
        for (const auto& sheet : list.sheets) {
            const auto found = byId.find(sheet.relation);
            if (found != byId.end() && found->second->type.ends_with("/worksheet"))
                sheets_.push_back({sheet.name, found->second->part});
        }
        sharedStringsPart_ =
            relations.partOfType("/sharedStrings").value_or("xl/sharedStrings.xml");
        stylesPart_ = relations.partOfType("/styles").value_or("xl/styles.xml");
        return true;
    }

    Format format() const override { return Format::xlsx; }

    std::optional<std::vector<std::string>> sheetNames(std::string&) override {
        std::vector<std::string> names;
        for (const auto& sheet : sheets_)
            names.push_back(sheet.name);
        return names;
    }

protected:
    std::unique_ptr<Sheet> openSheet(std::size_t index, std::string& error) override {
        if (index >= sheets_.size()) {
            error = "the workbook has no worksheet";
            return nullptr;
        }
        if (!loadStylesAndStrings(error))
            return nullptr;
        return std::make_unique<XlsxSheet>(archive_, sheets_[index].part, limits_, strings_,
                                           shapes_, from1904_);
    }

private:
    struct SheetPart {
        std::string name;
        std::string part;
    };

    bool loadStylesAndStrings(std::string& error) {
        if (!shapes_) {
            Styles styles;
            if (archive_->find(stylesPart_) &&
                !parseWhole(archive_, stylesPart_, limits_.otherPartBytes, styles, error))
                return false;
            shapes_ = std::make_shared<const std::vector<NumberShape>>(styles.shapes());
        }
        if (!strings_ && archive_->find(sharedStringsPart_)) {
            auto strings = std::make_shared<SharedStrings>();
            if (!parseWhole(archive_, sharedStringsPart_, limits_.sharedStringsBytes, *strings,
                            error))
                return false;
            strings_ = std::move(strings);
        }
        return true;
    }

    std::shared_ptr<const Archive> archive_;
    Limits limits_;
    std::vector<SheetPart> sheets_;
    bool from1904_ = false;
    std::string sharedStringsPart_;
    std::string stylesPart_;
    std::shared_ptr<const SharedStrings> strings_;
    std::shared_ptr<const std::vector<NumberShape>> shapes_;
};

} // namespace

std::unique_ptr<Workbook> openXlsx(std::shared_ptr<const Archive> archive, const Limits& limits,
                                   std::string& error) {
    auto workbook = std::make_unique<XlsxWorkbook>(std::move(archive), limits);
    if (!workbook->load(error))
        return nullptr;
    return workbook;
}

} // namespace dovrin::workbook
