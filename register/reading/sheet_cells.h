#pragma once

// The cells of a sheet as texts, shared by the .xlsx and .ods readers: numbers, dates and times,
// cell references, and the row being put together. Not a public interface.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dovrin::workbook {

// How a number format shows a number.
enum class NumberShape { number, date, time }; // date: a date, with or without a time of day

// The shape of an .xlsx number format code: a date when its first section has a day or year
// field, or a month field without hours or seconds (with them, "m" is minutes); a time when it
// has hours, minutes or seconds alone.
NumberShape shapeOfFormat(std::string_view code);
// The shape of a built-in .xlsx number format (14-17 and 22 dates, 18-21 and 45-47 times).
NumberShape shapeOfBuiltInFormat(std::uint64_t id);

// Room for the texts below.
using TextSpace = std::span<char, 32>;

// A number as the shortest text that reads back to the same double; the text as it is when it
// is not a finite number.
std::string_view numberText(std::string_view number, TextSpace space);

// A serial number of a date system as an ISO date (yyyy-mm-dd, or yyyy-mm-ddThh:mm:ss when it
// has a time of day, to the nearest second) or a time (hh:mm:ss). The 1900 system counts from
// 1 for 1900-01-01 and has Excel's 29 February 1900 (serial 60); the 1904 system counts from
// 0 for 1904-01-01. None when the serial lies outside the years 1900 (or 1904) to 9999, or is
// not a time of day for a time.
std::optional<std::string_view> serialText(double serial, NumberShape shape, bool from1904,
                                           TextSpace space);

// An ISO date and time as an .ods date value or an .xlsx date cell holds it: a whole day
// ("2011-03-15T00:00:00") as the date alone, anything else unchanged.
std::string_view isoDateText(std::string_view text);

// An .xlsx cell reference ("B3"): the column from 0 and the row from 1; none when it is not
// one or lies past XFD1048576.
struct CellReference {
    std::uint64_t column;
    std::uint64_t row;
};
std::optional<CellReference> readCellReference(std::string_view text);
// A cell's name for messages: "B3".
std::string cellName(std::uint64_t column, std::uint64_t row);

// Replaces the escapes _xHHHH_ of .xlsx texts by the characters they stand for, from offset
// from on ("_x000D_" is a carriage return, "_x005F_" an underscore).
void decodeEscapes(std::string& text, std::size_t from);

// A row's fields as its cells are read: the text of the cell being read grows at the end; an
// empty cell only moves the next column on, so that empty cells after the last one that is not
// empty (which .ods files repeat to the sheet's last column) cost nothing.
class RowBuilder {
public:
    explicit RowBuilder(std::uint64_t textCap)
        : textCap_(textCap) {}

    // Starts a row, forgetting the last one.
    void clear();
    // Adds to the text of the cell being read; false past the row's cap on text.
    bool append(std::string_view piece);
    bool append(std::size_t count, char c);
    // Replaces the text of the cell being read.
    bool replaceCell(std::string_view text);
    // Replaces the escapes _xHHHH_ in the text of the cell being read.
    void decodeCellEscapes() { decodeEscapes(text_, cellStart_); }
    std::string_view cellText() const { return std::string_view(text_).substr(cellStart_); }
    // Ends the cell being read, at column (from 0) and repeated to the columns after it. False
    // when a cell that is not empty would lie past the last column.
    bool endCell(std::uint64_t column, std::uint64_t repeat = 1);
    // The column after the last cell ended.
    std::uint64_t nextColumn() const { return nextColumn_; }

    // Whether no cell of the row has text.
    bool empty() const { return bounds_.empty(); }
    // The fields up to the last cell that is not empty; valid until the row is cleared.
    std::span<const std::string_view> fields();
    // The bytes of the fields, one more for each field (its separator).
    std::uint64_t size() const { return finished_ + bounds_.size(); }

private:
    std::uint64_t textCap_;
    std::string text_;
    std::size_t cellStart_ = 0;
    std::uint64_t nextColumn_ = 0;
    std::uint64_t finished_ = 0;                              // text bytes of the fields
    std::vector<std::pair<std::size_t, std::size_t>> bounds_; // offset and length in text_
    std::vector<std::string_view> fields_;
};

} // namespace dovrin::workbook
