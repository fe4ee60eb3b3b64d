#include "output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "plain_text.h"

namespace dovrin {

namespace fs = std::filesystem;

namespace {

// Whether the two names reach one file: the same file where both exist, the same path where
// they do not (yet).
bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error))
        return fs::equivalent(a, b, error);
    return fs::weakly_canonical(fs::absolute(a, error), error) ==
           fs::weakly_canonical(fs::absolute(b, error), error);
}

// Whether an open stream is the file of that name.
bool streamIsFile(std::FILE* stream, const fs::path& path) {
    struct stat streamStatus {};
    struct stat fileStatus {};
    return stream != nullptr && fstat(fileno(stream), &streamStatus) == 0 &&
           stat(path.c_str(), &fileStatus) == 0 && streamStatus.st_dev == fileStatus.st_dev &&
           streamStatus.st_ino == fileStatus.st_ino;
}

// Two open streams on one file (standard input and standard output sent to the same file).
bool sameStream(std::FILE* a, std::FILE* b) {
    struct stat aStatus {};
    struct stat bStatus {};
    return a != nullptr && b != nullptr && fstat(fileno(a), &aStatus) == 0 &&
           fstat(fileno(b), &bStatus) == 0 && S_ISREG(aStatus.st_mode) &&
           aStatus.st_dev == bStatus.st_dev && aStatus.st_ino == bStatus.st_ino;
}

// The permissions a new file gets from this process: 0666 less the umask, read from the
// kernel's status (setting the umask to read it would race with other threads).
mode_t newFileMode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("Umask:"))
            continue;
        const std::size_t digits = line.find_first_not_of(" \t", 6);
        unsigned mask = 0;
        if (digits != std::string::npos &&
            std::from_chars(line.data() + digits, line.data() + line.size(), mask, 8).ec ==
                std::errc())
            return static_cast<mode_t>(0666 & ~mask);
    }
    return 0644;
}

// Asks the kernel to start writing those bytes of the file to the disk, without waiting: only
// a hint, where the system has it.
void startWritingToDisk([[maybe_unused]] int descriptor, [[maybe_unused]] off_t from,
                        [[maybe_unused]] off_t to) {
#ifdef SYNC_FILE_RANGE_WRITE
    sync_file_range(descriptor, from, to - from, SYNC_FILE_RANGE_WRITE);
#endif
}

} // namespace

// A file written beside its final name and renamed into place by commit(); removed when it
// is dropped before that.
class PendingFile {
public:
    // False with error() when the file cannot be created.
    bool create(const fs::path& target) {
        target_ = target;
        const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
        std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
        const int descriptor = mkstemp(name.data());
        if (descriptor < 0)
            return fail("cannot write " + quotedPath(target.string()) + ": " + systemError(errno));
        temporary_ = name;
        file_ = fdopen(descriptor, "wb");
        if (file_ == nullptr) {
            close(descriptor);
            return fail("cannot write " + quotedPath(target.string()) + ": " + systemError(errno));
        }
        return true;
    }

    std::FILE* file() const { return file_; }

    // Starts writing the file to the disk once another few MiB are written, without waiting
    // for it, so that finish() has the last few MiB and the file system's journal left to wait
    // for rather than the whole output. finish() reports any error.
    void startWriteBack() {
        constexpr off_t step = 4 << 20;
        const off_t written = lseek(fileno(file_), 0, SEEK_CUR);
        if (written - writeBackStarted_ < step)
            return;
        startWritingToDisk(fileno(file_), writeBackStarted_, written);
        writeBackStarted_ = written;
    }

    // Gives the file the permissions of the file it replaces (or of a new file), writes it to
    // the disk and closes it. False with error() on failure.
    bool finish() {
        struct stat existing {};
        const mode_t mode =
            stat(target_.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
        const bool written = std::fflush(file_) == 0 && fchmod(fileno(file_), mode) == 0 &&
                             fsync(fileno(file_)) == 0;
        const int writeError = errno;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!written || !closed)
            return fail("cannot write " + quotedPath(target_.string()) + ": " +
                        systemError(written ? errno : writeError));
        return true;
    }

    bool commit() {
        if (std::rename(temporary_.c_str(), target_.c_str()) != 0)
            return fail("cannot write " + quotedPath(target_.string()) + ": " + systemError(errno));
        temporary_.clear();
        return true;
    }

    const std::string& error() const { return error_; }

    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        if (file_ != nullptr)
            std::fclose(file_);
        if (!temporary_.empty())
            std::remove(temporary_.c_str());
    }

private:
    bool fail(std::string error) {
        error_ = std::move(error);
        return false;
    }

    fs::path target_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    off_t writeBackStarted_ = 0; // the bytes before it are being written to the disk
    std::string error_;
};

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    if (direct_ != nullptr)
        std::fclose(direct_);
}

bool OutputFile::open(const std::string& path, std::FILE* standardOutput) {
    name_ = path == standardStream ? "standard output" : quotedPath(path);
    if (path == standardStream) {
        stream_ = standardOutput;
        return true;
    }
    std::error_code failed;
    const fs::file_status status = fs::status(path, failed);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        // /dev/null, a named pipe: nothing to replace, and no temporary file beside it.
        direct_ = std::fopen(path.c_str(), "wb");
        if (direct_ == nullptr) {
            error_ = "cannot write " + name_ + ": " + systemError(errno);
            return false;
        }
        stream_ = direct_;
        return true;
    }
    // Through a symbolic link, the file it names is replaced, and the link stays.
    const fs::path target = fs::exists(status) ? fs::canonical(path, failed) : fs::path(path);
    pending_ = std::make_unique<PendingFile>();
    if (!pending_->create(failed ? fs::path(path) : target)) {
        error_ = pending_->error();
        return false;
    }
    stream_ = pending_->file();
    return true;
}

bool OutputFile::finish() {
    if (direct_ != nullptr) {
        const bool closed = std::fclose(direct_) == 0;
        direct_ = nullptr;
        if (!closed)
            error_ = "cannot write " + name_ + ": " + systemError(errno);
        return closed;
    }
    if (pending_ && !pending_->finish()) {
        error_ = pending_->error();
        return false;
    }
    return true;
}

void OutputFile::startWriteBack() {
    if (pending_)
        pending_->startWriteBack();
}

bool OutputFile::commit() {
    if (pending_ && !pending_->commit()) {
        error_ = pending_->error();
        return false;
    }
    return true;
}

std::string outputRefusal(const std::string& input, std::span<const NamedOutput> outputs,
                          std::FILE* standardInput, std::FILE* standardOutput) {
    const bool fromStandardInput = input == standardStream;
    for (std::size_t a = 0; a < outputs.size(); ++a)
        for (std::size_t b = a + 1; b < outputs.size(); ++b) {
            const std::string& first = outputs[a].path;
            const std::string& second = outputs[b].path;
            if (first == second ||
                (first != standardStream && second != standardStream && sameFile(first, second)))
                return "the " + std::string(outputs[a].what) + " and the " +
                       std::string(outputs[b].what) + " would be written to one file, " +
                       (first == standardStream ? std::string("standard output")
                                                : quotedPath(first));
        }
    for (const NamedOutput& output : outputs) {
        const std::string& written = output.path;
        const bool toStandardOutput = written == standardStream;
        const bool overwrites = fromStandardInput
                                    ? (toStandardOutput ? sameStream(standardInput, standardOutput)
                                                        : streamIsFile(standardInput, written))
                                    : (toStandardOutput ? streamIsFile(standardOutput, input)
                                                        : sameFile(input, written));
        if (overwrites)
            return "the output " +
                   (toStandardOutput ? std::string("(standard output)") : quotedPath(written)) +
                   " is the inventory itself: it would be written over while it is read";
    }
    return {};
}

} // namespace dovrin
