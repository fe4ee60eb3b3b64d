#pragma once

// An inventory: a CSV file whose header row names the columns. Six of them describe a source,
// five more its recurring duties, and one the category a person recorded for it; every other
// column is carried through unchanged. Rows are read one at a time, so that a caller (the
// command line, or the register window from a background thread) keeps only the row at hand.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "column_names.h"
#include "csv.h"
#include "source.h"

namespace dovrin {

// The column of that name, letter case and surrounding blanks ignored; none for another text.
std::optional<Column> columnNamed(std::string_view name);

// A header of the user's own file taken for one of the names (--column NAME=HEADER).
struct ColumnChoice {
    Column column;
    std::string header; // matched as the synonyms are: letter case, blanks, punctuation ignored
};

// Where each of the columns is in the header.
struct ColumnMap {
    std::array<std::optional<std::size_t>, columnNames.size()> index;
    std::size_t width = 0;    // the header's number of fields
    bool dutyColumns = false; // whether any column from last_leak_test on is there

    std::optional<std::size_t> operator[](Column column) const {
        return index[static_cast<std::size_t>(column)];
    }
    bool unitWithActivity = false; // the activity's column holds the unit too, "100 mCi"
    std::string headerUnit;        // the unit in the activity's header, "mCi"; empty: none
};

// The header's columns, or why the inventory cannot be read: required columns missing, two
// columns of one header, one column for two names, a chosen header that is not there. The one
// column that may have two names is the activity's, when the unit is chosen for it: each of
// its fields is then a number and a unit ("9.99E+02 GBq").
struct HeaderReading {
    std::optional<ColumnMap> columns;
    std::string error;          // one line, when columns is empty
    std::size_t recognised = 0; // the fields that name a column, even when columns is empty
    // What the summary says of the header: a header taken where another names the same column
    // too, and the fields carried through unrecognised.
    std::vector<std::string> remarks;
};
HeaderReading mapColumns(std::span<const std::string_view> header,
                         std::span<const ColumnChoice> choices);

// The texts of a row for the columns, by the map; an absent column gives an empty text. A field
// that holds the activity and its unit is split at its last run of blanks.
struct RowTexts {
    SourceText source;
    std::string_view location;
    std::string_view id;
};
RowTexts textsOf(std::span<const std::string_view> fields, const ColumnMap& columns);

// The text of one column of a row, by the map; empty for an absent column.
inline std::string_view textOf(std::span<const std::string_view> fields, const ColumnMap& columns,
                               Column column) {
    const auto index = columns[column];
    return index && *index < fields.size() ? fields[*index] : std::string_view();
}

// The rows looked at for the header when no row is named: title and blank rows above it are
// common, pages of them are not.
inline constexpr std::uint64_t headerSearchRows = 50;

struct InventoryOptions {
    std::optional<char> separator; // none: recognised from the first lines
    std::vector<ColumnChoice> columns;
    std::string sheet{};                      // the sheet of a workbook; empty: its first sheet
    std::optional<std::uint64_t> headerRow{}; // none: the first row that names the columns
};

// A data row that is one line without quotes, not yet split into fields.
struct PlainLine {
    std::uint64_t number = 0; // as InventoryRow numbers it
    std::string_view bytes;   // without its line end
};

// Where the rows of an inventory come from: CSV text, or a sheet of a workbook
// (inventory_input.h). One call per row, whatever the number of fields.
class RowSource {
public:
    virtual ~RowSource() = default;
    // The next row; none at the end of the input, or when it cannot be read further (error()
    // then says why). Its fields stay valid until the next call.
    virtual std::optional<csv::Record> next() = 0;
    virtual std::string error() const = 0;
    // The separator of the input, which the output uses too.
    virtual char separator() = 0;
    // Whether the input began with a UTF-8 byte-order mark (known after the first next()).
    virtual bool hadByteOrderMark() const = 0;
    // The input read so far and its whole size (0 when unknown), for a progress bar.
    virtual std::uint64_t bytesConsumed() const = 0;
    virtual std::uint64_t bytesTotal() const = 0;
    // Whether a row ends at its last field that is not empty, as a sheet's rows do: a row
    // shorter than the header is then whole, its missing fields empty.
    virtual bool rowsEndAtLastCell() const = 0;
    // The next row when it is one line of CSV without quotes, not yet split; none when next()
    // must read it.
    virtual std::optional<PlainLine> nextPlainLine() { return std::nullopt; }
    // The threads the source keeps busy making rows, beside the one that asks for them: those
    // who evaluate the rows are as many fewer, so that the threads do not outnumber the cores.
    virtual unsigned threadsOfItsOwn() const { return 0; }
};

// The records of CSV text.
class CsvRows final : public RowSource {
public:
    CsvRows(csv::ByteSource& source, std::optional<char> separator, std::uint64_t size = 0)
        : reader_(source, separator)
        , size_(size) {}
    std::optional<csv::Record> next() override { return reader_.next(); }
    std::string error() const override { return reader_.error(); }
    char separator() override { return reader_.separator(); }
    bool hadByteOrderMark() const override { return reader_.hadByteOrderMark(); }
    std::uint64_t bytesConsumed() const override { return reader_.bytesConsumed(); }
    std::uint64_t bytesTotal() const override { return size_; }
    bool rowsEndAtLastCell() const override { return false; }
    std::optional<PlainLine> nextPlainLine() override {
        const auto line = reader_.nextPlainLine();
        if (!line)
            return std::nullopt;
        return PlainLine{reader_.recordNumber(), *line};
    }

private:
    csv::Reader reader_;
    std::uint64_t size_;
};

// One data row of an inventory.
struct InventoryRow {
    std::uint64_t number = 0; // as a spreadsheet numbers it: the first row is row 1
    // Exactly the header's number of fields: a short row is padded with empty fields, a long
    // one keeps its first fields (its extra fields are quoted in problem).
    std::span<const std::string_view> fields;
    SourceText source;         // the source's texts; empty for an absent column
    std::string_view location; // empty without a location column
    std::string_view id;       // empty without an id column
    // Why the row cannot be read as a source (too few or too many fields, a broken quote);
    // empty for a well-formed row. A row with a problem is an error row.
    std::string problem;
};

// Why a row of that many fields does not fit a header of width fields (the extra fields
// quoted); empty when it fits.
std::string widthProblem(std::span<const std::string_view> fields, std::size_t width,
                         char separator);

// Appends the fields of a plain line, split at the separator, padded with empty fields or cut
// to exactly width of them, as next() gives a row; problem says why when they did not fit.
void splitPlainLine(std::string_view line, char separator, std::size_t width,
                    std::vector<std::string_view>& fields, std::string& problem);

// All views of a row stay valid until the next call of next() or nextPlainLine().
class InventoryReader {
public:
    // The rows of CSV text, or of another source.
    InventoryReader(csv::ByteSource& source, InventoryOptions options);
    InventoryReader(RowSource& rows, InventoryOptions options);

    // Reads up to the header row: the row the options name, or the first of the first
    // headerSearchRows rows that names the required columns, the rows above it skipped. False
    // when the inventory cannot be read (empty, or bad columns): error() then says why in one
    // line, naming the row taken as the header.
    bool readHeader();
    const std::string& error() const { return error_; }

    // Valid once readHeader() has succeeded, for the reader's whole life; after it has failed,
    // the row that came nearest to a header (empty when none was read).
    std::span<const std::string_view> header() const { return headerFields_; }
    const ColumnMap& columns() const { return columns_; }
    std::uint64_t headerRow() const { return headerRow_; }
    // What the summary says of the header's columns, one line each.
    std::span<const std::string> headerRemarks() const { return headerRemarks_; }

    // The rows next() and nextPlainLine() pass over, as no source: rows whose every field is
    // empty, and totals rows (no radionuclide, the first text "Total", "Subtotal" or "Sum").
    std::uint64_t blankRowsSkipped() const { return blankRows_; }
    std::span<const std::uint64_t> totalsRows() const { return totalsRows_; }
    char separator() { return rows_.separator(); }
    // Whether the input began with a UTF-8 byte-order mark, which the output then repeats.
    bool hadByteOrderMark() const { return rows_.hadByteOrderMark(); }

    // The next data row; false at the end of the input. When the input could not be read to
    // its end, readError() says so after next() has returned false.
    bool next(InventoryRow& row);
    std::string readError() const { return rows_.error(); }

    // The next data row when it is one plain line (see csv::Reader::nextPlainLine), for a
    // caller that splits it with splitPlainLine later, on another thread; none when next()
    // must read the row (always for a sheet).
    std::optional<PlainLine> nextPlainLine();

    // The bytes read so far and the input's size (0 when unknown), for a progress bar.
    std::uint64_t bytesConsumed() const { return rows_.bytesConsumed(); }
    std::uint64_t bytesTotal() const { return rows_.bytesTotal(); }

private:
    void readRow(const csv::Record& record, InventoryRow& row);
    // Whether a row is no source, and counted as such.
    bool skipped(std::uint64_t number, std::span<const std::string_view> fields);

    std::unique_ptr<CsvRows> ownRows_; // when the reader reads CSV text of its own
    RowSource& rows_;
    InventoryOptions options_;
    std::string error_;
    std::vector<std::string> headerTexts_;
    std::vector<std::string_view> headerFields_;
    ColumnMap columns_;
    std::uint64_t headerRow_ = 0;
    std::vector<std::string> headerRemarks_;
    std::vector<std::string_view> padded_;
    std::vector<std::string_view> lineFields_; // a plain line split to look for a totals row
    std::string lineProblem_;
    std::uint64_t blankRows_ = 0;
    std::vector<std::uint64_t> totalsRows_;
};

// Whether a text begins with "Total", "Subtotal" or "Sum", in any letter case.
bool beginsWithTotalsWord(std::string_view text);
// Whether a row is a totals row: no radionuclide, and its first field that is not empty
// begins with "Total", "Subtotal" or "Sum" in any letter case.
bool isTotalsRow(std::span<const std::string_view> fields, const ColumnMap& columns);
// Whether every field of a row is empty, blanks aside.
bool isBlankRow(std::span<const std::string_view> fields);

// The row's evaluation: an error row with its problem as the note when the row is not well
// formed, otherwise evaluateSource of its texts.
SourceResult evaluateRow(const InventoryRow& row, const Evaluation& evaluation);
// The same for a row's texts and its problem (empty for a well-formed row).
SourceResult evaluateRow(const SourceText& source, std::string_view problem,
                         const Evaluation& evaluation);
// The same into result, whose note keeps its room (see evaluateSource).
void evaluateRow(const SourceText& source, std::string_view problem, const Evaluation& evaluation,
                 SourceResult& result);

} // namespace dovrin
