#pragma once

// An inventory file opened by what it holds, whatever its name: a sheet of a workbook (.xlsx or
// .ods) when it is a zip archive, CSV text otherwise. The register's run and its window open
// inventories so, and read the rows through the same InventoryReader.

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inventory.h"
#include "workbook.h"

namespace dovrin {

// The most of a workbook read from standard input, which must be held whole.
inline constexpr std::uint64_t largestWorkbookOnStandardInput = 256ull << 20;

// The rows of a workbook's sheet: a row ends at its last cell that is not empty, and the output
// separates the fields with commas.
class SheetRows final : public RowSource {
public:
    explicit SheetRows(std::unique_ptr<workbook::Sheet> sheet)
        : sheet_(std::move(sheet)) {}
    std::optional<csv::Record> next() override;
    std::string error() const override { return sheet_->error(); }
    char separator() override { return ','; }
    bool hadByteOrderMark() const override { return false; }
    std::uint64_t bytesConsumed() const override { return sheet_->bytesRead(); }
    std::uint64_t bytesTotal() const override { return sheet_->bytesTotal(); }
    bool rowsEndAtLastCell() const override { return true; }

private:
    std::unique_ptr<workbook::Sheet> sheet_;
};

class InventoryFile {
public:
    InventoryFile();
    ~InventoryFile();
    InventoryFile(const InventoryFile&) = delete;
    InventoryFile& operator=(const InventoryFile&) = delete;

    // Opens the file ("-": standardInput) and, for a workbook, the sheet options.sheet names (the
    // first when it names none). False when that cannot be done: error() then says why in one
    // line, naming the file.
    bool open(const std::string& path, std::FILE* standardInput, const InventoryOptions& options);
    const std::string& error() const { return error_; }

    RowSource& rows() { return *rows_; }
    bool isWorkbook() const { return workbook_ != nullptr; }

private:
    bool openWorkbook(const std::string& path, std::FILE* input, std::string first,
                      const InventoryOptions& options);

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    std::unique_ptr<csv::ByteSource> bytes_;
    std::unique_ptr<workbook::Workbook> workbook_;
    std::unique_ptr<RowSource> rows_;
    std::string error_;
};

// The names of the sheets of the file when it is a workbook, in order; none for a file of any
// other kind, and none with error set when it is a workbook whose sheets cannot be listed.
std::optional<std::vector<std::string>> workbookSheets(const std::string& path, std::string& error);

} // namespace dovrin
