#pragma once

// The parts of a workbook: a zip archive (libzip) whose XML parts are parsed as a stream (expat),
// each within a cap on its inflated size, so that a hostile file costs a bounded amount of
// memory and time. Used by the .xlsx and .ods readers; not a public interface.
//
// Why expat and not libxml2's reader: expat parses a part pushed to it in pieces (what libzip's
// reads give), keeps no tree, can be paused after any element and resumed (a sheet is read one
// row per call, however many rows a piece of input holds), takes its memory from functions we
// give it (each allocation is capped), and refuses a document type declaration before any entity
// is defined, so entity expansion and external entities cannot happen at all. libxml2's reader
// pulls its input through callbacks and is built to offer the DTD machinery that workbooks never
// need.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

struct zip;
struct zip_file;
struct XML_ParserStruct;

namespace dovrin::workbook {

// A zip archive, read from a file or from bytes in memory.
class Archive {
public:
    // The archive, or none with the reason (not a zip archive, damaged, truncated).
    static std::shared_ptr<Archive> openFile(const std::string& path, std::string& error);
    static std::shared_ptr<Archive> openBytes(std::string bytes, std::string& error);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // The entry of that name, letter case ignored as the package formats want.
    std::optional<std::uint64_t> find(std::string_view name) const;
    // The whole of a small entry (at most cap bytes inflated), or none with the reason.
    std::optional<std::string> readAll(std::string_view name, std::uint64_t cap,
                                       std::string& error) const;

    zip* handle() const { return archive_; }

private:
    explicit Archive(zip* archive, std::string bytes);
    zip* archive_;
    std::string bytes_; // the archive itself when it was opened from memory
};

// One entry of the archive, inflated piece by piece; an error once it inflates past its cap
// (checked against the size the archive declares, and against the bytes actually inflated).
class PartReader {
public:
    PartReader(std::shared_ptr<const Archive> archive, std::string name, std::uint64_t cap);
    ~PartReader();
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;

    // Fills the start of into; 0 at the end of the entry or on an error (then error() is set).
    std::size_t read(std::span<char> into);
    const std::string& error() const { return error_; }
    const std::string& name() const { return name_; }
    std::uint64_t inflated() const { return inflated_; }
    std::uint64_t declaredSize() const { return declared_; }

private:
    std::shared_ptr<const Archive> archive_;
    std::string name_;
    std::uint64_t cap_;
    zip_file* file_ = nullptr;
    std::uint64_t declared_ = 0;
    std::uint64_t inflated_ = 0;
    std::string error_;
};

// An element's or attribute's name: its namespace and its local name.
struct XmlName {
    std::string_view space;
    std::string_view local;

    bool is(std::string_view wantedSpace, std::string_view wantedLocal) const {
        return local == wantedLocal && space == wantedSpace;
    }
};

// The attributes of an element, as expat hands them over.
class XmlAttributes {
public:
    explicit XmlAttributes(const char** list)
        : list_(list) {}
    std::optional<std::string_view> find(std::string_view space, std::string_view local) const;

private:
    const char** list_;
};

class XmlStream;

// What a reader does with the elements of a part, called by the stream that parses it.
class XmlHandler {
public:
    virtual void start(XmlName name, const XmlAttributes& attributes) = 0;
    virtual void end(XmlName name) = 0;
    virtual void text(std::string_view text) = 0;

protected:
    ~XmlHandler() = default;
    // The stream's run() returns once the handler returns, and goes on at the next run().
    void pause();
    // The part cannot be read: run() fails with this reason.
    void fail(std::string why);
    // The rest of the part is not needed: run() says it is finished.
    void finish();

private:
    friend class XmlStream;
    XmlStream* stream_ = nullptr;
};

// An XML part parsed as it inflates. Refused: a document type declaration (no workbook has one;
// refusing it refuses every entity), elements nested deeper than a bound, any single allocation
// of the parser beyond a cap (an endless tag), and everything that is not well-formed XML,
// invalid UTF-8 included.
class XmlStream {
public:
    XmlStream(std::shared_ptr<const Archive> archive, std::string name, std::uint64_t cap,
              XmlHandler& handler);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    enum class Step { paused, finished, failed };
    // Parses on until the handler pauses, the part ends, or something is wrong (error() says
    // what).
    Step run();
    void pause();
    void fail(std::string why);
    void finish();

    const std::string& error() const { return error_; }
    std::uint64_t bytesRead() const { return part_.inflated(); }
    std::uint64_t bytesTotal() const { return part_.declaredSize(); }
    const std::string& name() const { return part_.name(); }

private:
    static void onStart(void* self, const char* name, const char** attributes);
    static void onEnd(void* self, const char* name);
    static void onText(void* self, const char* text, int length);
    static void onDoctype(void* self, const char*, const char*, const char*, int);
    void stop();
    std::string parseError() const;

    PartReader part_;
    XmlHandler& handler_;
    XML_ParserStruct* parser_ = nullptr;
    int depth_ = 0;
    bool suspended_ = false; // paused inside a piece of input, which resuming goes on with
    bool lastPiece_ = false; // the piece being parsed is the last
    bool finished_ = false;
    std::string error_;
};

// A text from the file, quoted for a message of one line: control characters become '?', and a
// long text is cut short.
std::string quotedText(std::string_view text);

// Parses a whole part whose handler never pauses; false with the reason when it cannot.
bool parseWhole(std::shared_ptr<const Archive> archive, std::string name, std::uint64_t cap,
                XmlHandler& handler, std::string& error);

class Workbook;
struct Limits;
// The readers of the two formats, given an archive that holds the format's main part.
std::unique_ptr<Workbook> openXlsx(std::shared_ptr<const Archive> archive, const Limits& limits,
                                   std::string& error);
std::unique_ptr<Workbook> openOds(std::shared_ptr<const Archive> archive, const Limits& limits,
                                  std::string& error);

} // namespace dovrin::workbook
