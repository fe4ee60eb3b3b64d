#pragma once

// Where a run writes: standard output, or a file written beside its final name and renamed
// into place once complete, so that a run that fails leaves no half-written file and an
// existing file of that name as it was.

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace dovrin {

class PendingFile;

// "-" names standard input and standard output.
inline constexpr std::string_view standardStream = "-";

class OutputFile {
public:
    OutputFile();
    ~OutputFile(); // removes a file not renamed into place
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the output of that name: standard output for "-"; a device or pipe (/dev/null, a
    // named pipe) directly; any other file as a temporary file beside it, in the folder of the
    // file a symbolic link names. False with error() when it cannot be opened.
    bool open(const std::string& path, std::FILE* standardOutput);
    std::FILE* stream() const { return stream_; }
    const std::string& name() const { return name_; } // for messages

    // Starts writing to the disk what a temporary file holds so far, once every few MiB, so
    // that finish() has less left to wait for; call it after each large write.
    void startWriteBack();
    // Writes a temporary file to the disk, with the permissions of the file it replaces (or of
    // a new file), and closes it. False with error() on failure.
    bool finish();
    // Renames a finished temporary file into place. False with error() on failure.
    bool commit();
    const std::string& error() const { return error_; }

private:
    std::unique_ptr<PendingFile> pending_;
    std::FILE* direct_ = nullptr; // a device or pipe, closed here
    std::FILE* stream_ = nullptr;
    std::string name_;
    std::string error_;
};

// One file a run writes, and what it holds as a message names it ("results").
struct NamedOutput {
    std::string_view what;
    std::string path; // a file, or "-" for standard output
};

// Why a run cannot write its outputs: an output would be the input (also through standard
// input or standard output), or two outputs one file; empty when it can.
std::string outputRefusal(const std::string& input, std::span<const NamedOutput> outputs,
                          std::FILE* standardInput, std::FILE* standardOutput);

} // namespace dovrin
