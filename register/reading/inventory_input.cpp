#include "inventory_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "output_files.h"
#include "plain_text.h"

namespace dovrin {

namespace fs = std::filesystem;

namespace {

// Enough to tell a zip archive or an OLE compound file from text.
constexpr std::size_t peekedBytes = 4;

// The bytes read to tell what the file holds, then the rest of the file.
class PeekedSource final : public csv::ByteSource {
public:
    PeekedSource(std::string peeked, std::FILE* file)
        : peeked_(std::move(peeked))
        , file_(file) {}

    std::size_t read(std::span<char> into) override {
        if (given_ == peeked_.size())
            return file_.read(into);
        const std::size_t count = std::min(into.size(), peeked_.size() - given_);
        std::memcpy(into.data(), peeked_.data() + given_, count);
        given_ += count;
        return count;
    }
    std::string error() const override { return file_.error(); }

private:
    std::string peeked_;
    std::size_t given_ = 0;
    csv::FileSource file_;
};

std::string peek(std::FILE* file) {
    std::string bytes(peekedBytes, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    return bytes;
}

std::uint64_t sizeOf(std::FILE* file) {
    struct stat status {};
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode)
               ? static_cast<std::uint64_t>(status.st_size)
               : 0;
}

std::string nameOf(const std::string& path) {
    return path == standardStream ? std::string("standard input") : quotedPath(path);
}

// The rest of standard input after the bytes already read, or none with the reason.
std::optional<std::string> readWhole(std::FILE* file, std::string bytes, std::string& error) {
    constexpr std::size_t piece = 1 << 20;
    while (!std::feof(file) && !std::ferror(file)) {
        if (bytes.size() > largestWorkbookOnStandardInput) {
            error = "a workbook on standard input may take at most " +
                    std::to_string(largestWorkbookOnStandardInput >> 20) +
                    " MiB: give its file name instead";
            return std::nullopt;
        }
        const std::size_t start = bytes.size();
        bytes.resize(start + piece);
        bytes.resize(start + std::fread(bytes.data() + start, 1, piece, file));
    }
    if (std::ferror(file)) {
        error = systemError(errno != 0 ? errno : EIO);
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::optional<csv::Record> SheetRows::next() {
    workbook::Row row;
    if (!sheet_->next(row))
        return std::nullopt;
    csv::Record record;
    record.fields = row.fields;
    record.number = row.number;
    return record;
}

InventoryFile::InventoryFile()
    : file_(nullptr, &std::fclose) {}

InventoryFile::~InventoryFile() = default;

bool InventoryFile::open(const std::string& path, std::FILE* standardInput,
                         const InventoryOptions& options) {
    const bool fromStandardInput = path == standardStream;
    std::error_code folderError;
    if (!fromStandardInput && fs::is_directory(path, folderError)) {
        error_ = quotedPath(path) + " is a folder, not an inventory";
        return false;
    }
    if (!fromStandardInput) {
        file_.reset(std::fopen(path.c_str(), "rb"));
        if (!file_) {
            error_ = "cannot open " + quotedPath(path) + ": " + systemError(errno);
            return false;
        }
    }
    std::FILE* const input = fromStandardInput ? standardInput : file_.get();
    std::string first = peek(input);
    if (workbook::startsCompoundFile(first)) {
        error_ = "cannot read " + nameOf(path) +
                 ": it is an .xls workbook, or a workbook protected by a password; save it as "
                 ".xlsx, .ods or CSV";
        return false;
    }
    if (workbook::startsZip(first))
        return openWorkbook(path, input, std::move(first), options);
    const std::uint64_t size = sizeOf(input);
    bytes_ = std::make_unique<PeekedSource>(std::move(first), input);
    rows_ = std::make_unique<CsvRows>(*bytes_, options.separator, size);
    return true;
}

bool InventoryFile::openWorkbook(const std::string& path, std::FILE* input, std::string first,
                                 const InventoryOptions& options) {
    std::string why;
    if (path == standardStream) {
        auto bytes = readWhole(input, std::move(first), why);
        if (bytes)
            workbook_ = workbook::Workbook::openBytes(std::move(*bytes), why);
    } else {
        file_.reset(); // libzip reads the file by its name
        workbook_ = workbook::Workbook::openFile(path, why);
    }
    if (!workbook_) {
        error_ = "cannot read " + nameOf(path) + " as a workbook: " + why;
        return false;
    }
    auto sheet = workbook_->openSheet(options.sheet, why);
    if (!sheet) {
        error_ = "cannot read " + nameOf(path) + ": " + why;
        return false;
    }
    rows_ = std::make_unique<SheetRows>(std::move(sheet));
    return true;
}

std::optional<std::vector<std::string>> workbookSheets(const std::string& path,
                                                       std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file || !workbook::startsZip(peek(file.get())))
        return std::nullopt;
    file.reset();
    std::string why;
    auto book = workbook::Workbook::openFile(path, why);
    auto names = book ? book->sheetNames(why) : std::nullopt;
    if (!names)
        error = "cannot read " + quotedPath(path) + " as a workbook: " + why;
    return names;
}

} // namespace dovrin
