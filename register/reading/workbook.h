#pragma once

// Spreadsheet workbooks: Office Open XML (.xlsx) and OpenDocument (.ods), recognised by what
// their zip archive holds. A sheet is read one row at a time, each cell as a person sees it:
// text (shared, inline, rich), numbers as the shortest text that reads back to the same double,
// TRUE and FALSE, a formula's last value, dates as ISO texts. Memory stays the same whatever the
// number of rows; only an .xlsx file's shared strings are held, within a cap.
//
// Hostile files are refused with one line saying why, never read without end: each part has a
// cap on its inflated size (the size the archive declares and the bytes actually inflated), no
// entity is expanded or fetched, cells past XFD1048576 are refused, and so is a sheet whose
// repeated or shared cells would expand to far more text than its XML holds.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dovrin::workbook {

// The last column (XFD) and the last row of a sheet, as in Excel and LibreOffice.
inline constexpr std::uint64_t maxColumns = 16384;
inline constexpr std::uint64_t maxRows = 1048576;

struct Limits {
    std::uint64_t sheetBytes = 1ull << 30;           // a sheet's XML (all of .ods content.xml)
    std::uint64_t sharedStringsBytes = 256ull << 20; // the shared strings' XML, held in memory
    std::uint64_t otherPartBytes = 64ull << 20;      // the workbook's list, styles, relations
    std::uint64_t rowTextBytes = 64ull << 20;        // the text of one row
    // A sheet yields at most this many bytes of cell text (counting one per cell for the
    // separators) per byte of XML they come from, plus the allowance: repeated, shared and
    // skipped cells cannot turn a small file into an endless output.
    std::uint64_t expansion = 16;
    std::uint64_t expansionAllowance = 64ull << 20;
};

enum class Format { xlsx, ods };

// Whether the first bytes of a file (four are enough) begin a zip archive, which may be a
// workbook; and whether they begin an OLE compound file: an .xls workbook, or an encrypted one.
bool startsZip(std::string_view firstBytes);
bool startsCompoundFile(std::string_view firstBytes);

struct Row {
    std::uint64_t number = 0; // as the sheet numbers it, from 1
    // From column A to the last cell that is not empty: a cell never written or empty is an
    // empty field. Valid until the next call of next().
    std::span<const std::string_view> fields;
};

// One sheet being read.
class Sheet {
public:
    virtual ~Sheet() = default;
    // The next row that has a cell that is not empty; false at the end of the sheet, or when it
    // cannot be read further (error() then says why in one line).
    bool next(Row& row);
    const std::string& error() const { return error_; }
    // The sheet's XML read so far and its size as the archive declares it, for a progress bar.
    virtual std::uint64_t bytesRead() const = 0;
    virtual std::uint64_t bytesTotal() const = 0;

protected:
    explicit Sheet(const Limits& limits, std::uint64_t heldBytes = 0)
        : limits_(limits)
        , heldBytes_(heldBytes) {}
    // The next row with a cell that is not empty, or false (error_ set on an error).
    virtual bool nextRow(Row& row) = 0;

    Limits limits_;
    std::string error_;

private:
    std::uint64_t heldBytes_; // the shared strings' bytes, which a sheet's cells may repeat
    std::uint64_t yielded_ = 0;
};

class Workbook {
public:
    // The workbook in a file, or in bytes in memory; none when it is not one or cannot be
    // opened, error then saying why.
    static std::unique_ptr<Workbook> openFile(const std::string& path, std::string& error,
                                              const Limits& limits = {});
    static std::unique_ptr<Workbook> openBytes(std::string bytes, std::string& error,
                                               const Limits& limits = {});
    virtual ~Workbook() = default;

    virtual Format format() const = 0;
    // The names of the sheets, in order (an .ods file's content is read through for them).
    virtual std::optional<std::vector<std::string>> sheetNames(std::string& error) = 0;
    // The sheet of that name (letter case ignored when no name matches exactly), or the first
    // sheet for an empty name. None when there is no such sheet (error then lists the names)
    // or it cannot be read.
    std::unique_ptr<Sheet> openSheet(std::string_view name, std::string& error);

protected:
    virtual std::unique_ptr<Sheet> openSheet(std::size_t index, std::string& error) = 0;
};

} // namespace dovrin::workbook
