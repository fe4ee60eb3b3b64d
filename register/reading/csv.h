#pragma once

// Comma-separated values as RFC 4180 writes them: quoted fields, doubled quotes, line breaks
// inside quotes, LF or CRLF line ends, an optional UTF-8 byte-order mark. The reader streams:
// it reads the input in large chunks and holds only the record being read, so its memory grows
// with the longest record, never with the number of records. Every byte of a field is carried
// through unchanged: NUL bytes, invalid UTF-8, a lone CR.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dovrin::csv {

// The separators an inventory may use.
inline constexpr std::string_view separators = ",;\t";

// Where the bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Fills the start of into with the next bytes and returns how many; 0 only at the end of the
    // input or after a read error.
    virtual std::size_t read(std::span<char> into) = 0;
    // Why the input could not be read to its end; empty when it could.
    virtual std::string error() const { return {}; }
};

// A file opened by the caller (or standard input), read with large reads; not closed here.
class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file)
        : file_(file) {}
    std::size_t read(std::span<char> into) override;
    std::string error() const override;

private:
    std::FILE* file_;
    int errorNumber_ = 0;
};

// Bytes already in memory, handed out in pieces of at most maxPiece bytes (tests use small
// pieces to reach every place where a record is split between two reads).
class TextSource final : public ByteSource {
public:
    explicit TextSource(std::string_view text, std::size_t maxPiece = SIZE_MAX)
        : text_(text)
        , maxPiece_(maxPiece) {}
    std::size_t read(std::span<char> into) override;

private:
    std::string_view text_;
    std::size_t maxPiece_;
};

// A record that is not well formed. Its fields still hold every byte that was read.
enum class RecordProblem {
    none,
    // A quoted field is still open at the end of the input. The record is then read again, its
    // fields before that one as they were, and from that one on with every quote an ordinary
    // character, so that it ends at the first line end after that quote and the records after
    // it are not swallowed.
    unterminatedQuote,
    // A closing quote is followed by something other than a separator or a line end
    // ("ab"cd). The field keeps the closing quote and what follows it: ab"cd.
    textAfterQuote,
};

struct Record {
    std::span<const std::string_view> fields; // valid until the next call of next()
    std::uint64_t number = 0; // 1 for the first record (the header), counting blank lines
    RecordProblem problem = RecordProblem::none;
    std::size_t problemField = 0; // the index of the field that has the problem
};

class Reader {
public:
    // separator: one of the separators, or none to recognise it from the first lines: the one
    // of the three that occurs most often outside quotes on any one of them (a comma when none
    // occurs).
    explicit Reader(ByteSource& source, std::optional<char> separator = std::nullopt);

    // The next record, or none at the end of the input. A blank line (no byte between two line
    // ends) is no record, but it is counted in the record numbers, as a spreadsheet counts it.
    std::optional<Record> next();

    // The next record when it is one plain line already read in: no quote and no CR in it but
    // one before its line end. Its bytes without the line end, valid until the next call of
    // either function; next() would read its fields as they stand between the separators.
    // Blank lines before it are passed over and counted, as next() does. None, and no record
    // consumed, when next() must read the record.
    std::optional<std::string_view> nextPlainLine();

    // The number of the last record returned.
    std::uint64_t recordNumber() const { return recordNumber_; }

    // The separator in use; recognised on the first call of next().
    char separator();

    // The bytes of the input consumed up to the end of the last record returned.
    std::uint64_t bytesConsumed() const { return consumedBefore_ + recordStart_; }

    // Why the input could not be read to its end; empty when it was.
    std::string error() const { return source_.error(); }

    // Whether the input began with a UTF-8 byte-order mark (known after the first next()).
    bool hadByteOrderMark() const { return byteOrderMark_; }

private:
    enum class State { fieldStart, unquoted, quoted, quoteInQuoted, quoteThenCR, afterQuote };

    void start();
    bool fill();
    void recogniseSeparator();
    void startRecord();
    void endField(std::size_t rawEnd);
    void readAgainWithLiteralQuotes();
    Record finishRecord();
    bool isBlankLine() const;

    // One step of the state machine over the bytes from read_ on, which hold at least one;
    // true when it ended the record's line.
    bool step();
    bool stepFieldStart();
    bool stepUnquoted();
    void stepQuoted();
    bool stepQuoteInQuoted();
    bool stepQuoteThenCR();
    bool stepAfterQuote();
    void textAfterQuote(std::string_view kept); // the quote and what was read after it
    std::optional<Record> recordAtEndOfInput();
    Record takeRecord();

    ByteSource& source_;
    std::optional<char> separator_;
    std::unique_ptr<char[]> buffer_; // the raw input, from the record being read on
    std::size_t capacity_ = 0;
    std::size_t end_ = 0;              // bytes of buffer_ in use
    bool atEnd_ = false;               // the source has nothing more
    bool started_ = false;             // the byte-order mark has been looked for
    bool byteOrderMark_ = false;       // the input began with one
    std::uint64_t consumedBefore_ = 0; // input bytes dropped from the front of buffer_
    std::uint64_t recordNumber_ = 0;

    // The record being read: its raw bytes from recordStart_ on, parsed up to read_. An unquoted
    // field is its raw bytes; the text of any other, quotes removed, is copied into text_.
    std::size_t recordStart_ = 0;
    std::size_t read_ = 0;
    State state_ = State::fieldStart;
    // Reading an unterminated record again: from this field on, a quote is an ordinary character.
    std::size_t literalQuotesFrom_ = SIZE_MAX;
    RecordProblem problem_ = RecordProblem::none;
    std::size_t problemField_ = 0;
    std::string text_;
    std::size_t fieldStart_ = 0;    // in text_
    std::size_t fieldRawStart_ = 0; // from recordStart_
    struct Bound {
        std::size_t offset; // from recordStart_, or in text_
        std::size_t length;
        bool inText;
    };
    std::vector<Bound> bounds_;
    std::vector<std::string_view> fields_;
};

// The room writeField needs for the field: every byte twice and two quotes for a short field
// (quick to reckon), the exact count for a long one (so that a field of 100 MB does not take
// 200 MB).
std::size_t fieldRoom(std::string_view field);

// Writes the field at to, which has room for fieldRoom(field) bytes, quoted as appendField
// quotes it, and returns the end of what it wrote.
char* writeField(char* to, std::string_view field, char separator);

// Appends the field to a record being written: quoted, with its quotes doubled, only when it
// holds the separator, a quote, a CR or an LF.
void appendField(std::string& out, std::string_view field, char separator);

// Appends a whole record and its line end (LF). A record of one empty field is written as ""
// so that it does not read back as a blank line.
void appendRecord(std::string& out, std::span<const std::string_view> fields, char separator);

// Writes text to a file in large blocks. Errors are remembered, never thrown.
class Writer {
public:
    explicit Writer(std::FILE* file)
        : file_(file) {
        buffer_.reserve(blockSize + margin);
    }
    ~Writer() { flush(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // The text to append to; write() passes it on once it holds a block.
    std::string& text() { return buffer_; }
    void write() {
        if (buffer_.size() >= blockSize)
            flush();
    }
    // Passes on everything and flushes the file; false when any write failed.
    bool flush();
    bool failed() const { return failed_; }

private:
    // Passed on once it holds a block. The room beyond it takes the record that crosses the mark,
    // which would otherwise reallocate the buffer and, for that moment, hold it twice: the
    // memory would then grow with the output up to three blocks, not stay at one.
    static constexpr std::size_t blockSize = 256 << 10;
    static constexpr std::size_t margin = 64 << 10;
    std::FILE* file_;
    std::string buffer_;
    bool failed_ = false;
};

} // namespace dovrin::csv
