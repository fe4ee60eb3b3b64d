#include "inventory.h"

#include <algorithm>
#include <utility>

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

// The header fields that carry the name, by index.
std::vector<std::size_t> fieldsNamed(std::span<const std::string_view> header,
                                     std::string_view name) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (sameName(header[i], name))
            found.push_back(i);
    return found;
}

std::string columnNumbers(const std::vector<std::size_t>& indices) {
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

// "9.99E+02 GBq": the number before the last blanks, the unit after them; with no blank, all
// of it is the number, and the unit is missing.
[[gnu::noinline]] void splitUnit(SourceText& source) {
    const std::string_view both = trimBlanks(source.activity);
    const std::size_t blank = both.find_last_of(blanks);
    source.activity = trimBlanks(both.substr(0, blank));
    source.unit = blank == std::string_view::npos ? std::string_view() : both.substr(blank + 1);
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
    if (columns.dutyColumns) // most inventories have none: their rows skip the look-ups
        texts.source.duties = {text(Column::lastLeakTest), text(Column::leakTestInterval),
                               text(Column::lastInventory), text(Column::inventoryInterval),
                               text(Column::workingLife)};
    if (columns.unitWithActivity) [[unlikely]]
        splitUnit(texts.source);
    return texts;
}

HeaderReading mapColumns(std::span<const std::string_view> header,
                         std::span<const ColumnChoice> choices) {
    ColumnMap map;
    map.width = header.size();
    const auto fail = [](std::string error) {
        return HeaderReading{std::nullopt, std::move(error)};
    };
    for (std::size_t c = 0; c < columnNames.size(); ++c) {
        const auto column = static_cast<Column>(c);
        const auto chosen = std::ranges::find(choices, column, &ColumnChoice::column);
        if (chosen != choices.end() &&
            std::find_if(chosen + 1, choices.end(), [column](const auto& other) {
                return other.column == column;
            }) != choices.end())
            return fail("--column " + std::string(nameOf(column)) + " is given twice");
        const std::string_view wanted = chosen != choices.end() ? chosen->header : nameOf(column);
        const std::vector<std::size_t> found = fieldsNamed(header, wanted);
        if (found.size() > 1)
            return fail("columns " + columnNumbers(found) + " are both named " +
                        quotedName(trimmed(wanted)) + ": which one is the " +
                        std::string(nameOf(column)) + " is not known");
        if (found.empty() && chosen != choices.end())
            return fail("the header has no column " + quotedName(trimmed(wanted)) + " for " +
                        std::string(nameOf(column)));
        if (found.empty() && c < requiredColumns)
            return fail("the header has no column " + quotedName(nameOf(column)) +
                        ", which is required (name another with --column " +
                        std::string(nameOf(column)) + "=HEADER)");
        if (!found.empty()) {
            map.index[c] = found.front();
            map.dutyColumns = map.dutyColumns || column >= Column::lastLeakTest;
        }
    }
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
    return {map, {}};
}

InventoryReader::InventoryReader(csv::ByteSource& source, InventoryOptions options)
    : ownRows_(std::make_unique<CsvRows>(source, options.separator))
    , rows_(*ownRows_)
    , options_(std::move(options)) {}

InventoryReader::InventoryReader(RowSource& rows, InventoryOptions options)
    : rows_(rows)
    , options_(std::move(options)) {}

bool InventoryReader::readHeader() {
    const auto header = rows_.next();
    if (!header) {
        const std::string readError = rows_.error();
        error_ = readError.empty() ? "the inventory is empty: it has no header row"
                                   : "the inventory cannot be read: " + readError;
        return false;
    }
    if (header->problem != csv::RecordProblem::none) {
        error_ = "the header row is not well formed: a quote in its field " +
                 std::to_string(header->problemField + 1) + " does not close where it should";
        return false;
    }
    headerTexts_.assign(header->fields.begin(), header->fields.end());
    headerFields_.assign(headerTexts_.begin(), headerTexts_.end());
    HeaderReading reading = mapColumns(headerFields_, options_.columns);
    if (!reading.columns) {
        error_ = std::move(reading.error);
        return false;
    }
    columns_ = *reading.columns;
    return true;
}

bool InventoryReader::next(InventoryRow& row) {
    const auto record = rows_.next();
    if (!record)
        return false;
    row.number = record->number;
    row.problem.clear();
    const std::size_t width = columns_.width;
    const std::size_t count = record->fields.size();
    const auto fieldName = [this](std::size_t index) {
        return index < headerFields_.size() ? quotedName(headerFields_[index])
                                            : "field " + std::to_string(index + 1);
    };
    if (record->problem == csv::RecordProblem::unterminatedQuote)
        row.problem = "the quote that opens " + fieldName(record->problemField) +
                      " never closes: the row is read up to its line end, quotes as text";
    else if (record->problem == csv::RecordProblem::textAfterQuote)
        row.problem = "text follows the closing quote in " + fieldName(record->problemField);
    // A sheet's row ends at its last cell that is not empty: a short one is whole.
    const bool whole = count < width && rows_.rowsEndAtLastCell();
    const std::string widthNote =
        whole ? std::string() : widthProblem(record->fields, width, rows_.separator());
    if (!widthNote.empty())
        row.problem += (row.problem.empty() ? "" : "; ") + widthNote;
    if (count >= width) {
        row.fields = record->fields.first(width);
    } else {
        padded_.assign(record->fields.begin(), record->fields.end());
        padded_.resize(width);
        row.fields = padded_;
    }
    const RowTexts texts = textsOf(row.fields, columns_);
    row.source = texts.source;
    row.location = texts.location;
    row.id = texts.id;
    return true;
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
