#include "csv.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "plain_text.h"

namespace dovrin::csv {

namespace {

// Small enough for a reader made for one line; reads of 48 KiB or more cost the whole run no
// more than a few hundred system calls per 100 MB.
constexpr std::size_t firstCapacity = 1 << 16;
// A read asks for at least this much; less room than that makes the buffer move or grow.
constexpr std::size_t smallestRead = 1 << 14;
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

} // namespace

std::size_t FileSource::read(std::span<char> into) {
    if (errorNumber_ != 0)
        return 0;
    errno = 0;
    const std::size_t count = std::fread(into.data(), 1, into.size(), file_);
    if (count < into.size() && std::ferror(file_))
        errorNumber_ = errno != 0 ? errno : EIO;
    return count;
}

std::string FileSource::error() const {
    return errorNumber_ == 0 ? std::string() : std::strerror(errorNumber_);
}

std::size_t TextSource::read(std::span<char> into) {
    const std::size_t count = std::min({into.size(), text_.size(), maxPiece_});
    std::memcpy(into.data(), text_.data(), count);
    text_.remove_prefix(count);
    return count;
}

Reader::Reader(ByteSource& source, std::optional<char> separator)
    : source_(source)
    , separator_(separator)
    , buffer_(std::make_unique_for_overwrite<char[]>(firstCapacity + 1))
    , capacity_(firstCapacity) {
    buffer_[0] = '\n';
}

// Reads more input after the bytes in use, first dropping the records already returned and,
// when one record fills the buffer, doubling it. False at the end of the input.
bool Reader::fill() {
    if (atEnd_)
        return false;
    if (capacity_ - end_ < smallestRead) {
        if (recordStart_ > 0) {
            std::memmove(buffer_.get(), buffer_.get() + recordStart_, end_ - recordStart_);
            end_ -= recordStart_;
            read_ -= recordStart_;
            consumedBefore_ += recordStart_;
            recordStart_ = 0;
        }
        if (capacity_ - end_ < smallestRead) {
            auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2 + 1);
            std::memcpy(larger.get(), buffer_.get(), end_);
            buffer_ = std::move(larger);
            capacity_ *= 2;
        }
    }
    const std::size_t count = source_.read({buffer_.get() + end_, capacity_ - end_});
    end_ += count;
    buffer_[end_] = '\n'; // stops the scans of unquoted fields at the end of the bytes in use
    atEnd_ = count == 0;
    return !atEnd_;
}

void Reader::start() {
    if (started_)
        return;
    started_ = true;
    while (end_ < byteOrderMark.size() && fill()) {
    }
    if (std::string_view(buffer_.get(), std::min(end_, byteOrderMark.size())) == byteOrderMark) {
        byteOrderMark_ = true;
        recordStart_ = read_ = byteOrderMark.size();
    }
    if (!separator_)
        recogniseSeparator();
}

// The separator that occurs most often outside quotes on any one of the first lines that are
// not blank: a title above the header ("Sources; physics") has fewer separators than the header
// and its rows. Quotes are counted in pairs, which is enough to tell a name's text from the
// separators.
void Reader::recogniseSeparator() {
    constexpr std::size_t linesLookedAt = 50;
    constexpr std::size_t bytesLookedAt = firstCapacity; // the buffer need not grow for them
    std::array<std::size_t, separators.size()> counts{};
    std::array<std::size_t, separators.size()> most{};
    std::size_t lines = 0;
    bool quoted = false;
    bool content = false; // the line so far has more than line ends
    for (std::size_t offset = 0; offset < bytesLookedAt && lines < linesLookedAt; ++offset) {
        if (recordStart_ + offset == end_ && !fill())
            break;
        const char c = buffer_[recordStart_ + offset];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '\n') {
            if (content)
                ++lines;
            for (std::size_t i = 0; i < counts.size(); ++i)
                most[i] = std::max(most[i], counts[i]);
            counts = {};
            content = false;
            continue;
        } else if (!quoted) {
            const std::size_t which = separators.find(c);
            if (which != std::string_view::npos)
                ++counts[which];
        }
        content = content || c != '\r';
    }
    for (std::size_t i = 0; i < counts.size(); ++i)
        most[i] = std::max(most[i], counts[i]);
    const auto found = std::max_element(most.begin(), most.end());
    separator_ = *found == 0 ? ',' : separators[static_cast<std::size_t>(found - most.begin())];
}

char Reader::separator() {
    start();
    return *separator_;
}

void Reader::startRecord() {
    recordStart_ = read_;
    state_ = State::fieldStart;
    literalQuotesFrom_ = SIZE_MAX;
    problem_ = RecordProblem::none;
    problemField_ = 0;
    text_.clear();
    fieldStart_ = 0;
    bounds_.clear();
}

// Ends the field being read: an unquoted one is the raw bytes up to rawEnd, any other is in
// text_.
void Reader::endField(std::size_t rawEnd) {
    if (state_ == State::unquoted) {
        bounds_.push_back({fieldRawStart_, rawEnd - recordStart_ - fieldRawStart_, false});
        return;
    }
    bounds_.push_back({fieldStart_, text_.size() - fieldStart_, true});
    fieldStart_ = text_.size();
}

// A quote opened a field and the input ended before it closed: the record is read again from
// its start, with every quote from that field on an ordinary character.
void Reader::readAgainWithLiteralQuotes() {
    const std::size_t field = bounds_.size();
    const std::size_t start = recordStart_;
    read_ = start;
    startRecord();
    literalQuotesFrom_ = field;
    problem_ = RecordProblem::unterminatedQuote;
    problemField_ = field;
}

// A line with nothing but its line end: one empty field, read without quotes.
bool Reader::isBlankLine() const {
    return bounds_.size() == 1 && bounds_[0].length == 0 && state_ == State::unquoted;
}

Record Reader::finishRecord() {
    fields_.clear();
    const char* const raw = buffer_.get() + recordStart_;
    for (const Bound& bound : bounds_)
        fields_.emplace_back((bound.inText ? text_.data() : raw) + bound.offset, bound.length);
    Record record;
    record.fields = fields_;
    record.number = recordNumber_;
    record.problem = problem_;
    record.problemField = problemField_;
    return record;
}

std::optional<Record> Reader::next() {
    start();
    startRecord();
    for (;;) {
        if (read_ == end_ && !fill()) {
            if (state_ == State::quoted) { // a quote never closed
                readAgainWithLiteralQuotes();
                continue;
            }
            return recordAtEndOfInput();
        }
        if (!step())
            continue;
        ++recordNumber_;
        if (isBlankLine()) {
            startRecord();
            continue;
        }
        return takeRecord();
    }
}

std::optional<std::string_view> Reader::nextPlainLine() {
    start();
    for (;;) {
        const char* const from = buffer_.get() + read_;
        const void* lineEnd = std::memchr(from, '\n', end_ - read_);
        if (lineEnd == nullptr)
            return std::nullopt; // past the bytes read in: next() refills
        const auto length = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - from);
        const std::size_t content = length > 0 && from[length - 1] == '\r' ? length - 1 : length;
        if (std::memchr(from, '"', content) != nullptr ||
            std::memchr(from, '\r', content) != nullptr)
            return std::nullopt;
        read_ += length + 1;
        recordStart_ = read_;
        ++recordNumber_;
        if (content > 0)
            return std::string_view(from, content);
        // A blank line is no record, but it is counted.
    }
}

std::optional<Record> Reader::recordAtEndOfInput() {
    if (state_ == State::fieldStart && bounds_.empty() && read_ == recordStart_)
        return std::nullopt;
    endField(read_);
    ++recordNumber_;
    return takeRecord();
}

Record Reader::takeRecord() {
    Record record = finishRecord();
    recordStart_ = read_; // the bytes consumed include this record's line end
    return record;
}

bool Reader::step() {
    switch (state_) {
    case State::fieldStart:
        return stepFieldStart();
    case State::unquoted:
        return stepUnquoted();
    case State::quoted:
        stepQuoted();
        return false;
    case State::quoteInQuoted:
        return stepQuoteInQuoted();
    case State::quoteThenCR:
        return stepQuoteThenCR();
    case State::afterQuote:
        return stepAfterQuote();
    }
    return false;
}

bool Reader::stepFieldStart() {
    if (buffer_[read_] == '"' && bounds_.size() < literalQuotesFrom_) {
        ++read_;
        state_ = State::quoted;
        return false;
    }
    state_ = State::unquoted;
    fieldRawStart_ = read_ - recordStart_;
    return stepUnquoted();
}

bool Reader::stepUnquoted() {
    const char* const bytes = buffer_.get();
    std::size_t stop = read_;
    while (bytes[stop] != *separator_ && bytes[stop] != '\n')
        ++stop;
    read_ = stop;
    if (stop == end_)
        return false; // the sentinel: more input is needed
    ++read_;
    if (bytes[stop] == *separator_) {
        endField(stop);
        state_ = State::fieldStart;
        return false;
    }
    // A CR before the line end belongs to the line end, not to the field.
    const bool crlf = stop > recordStart_ + fieldRawStart_ && bytes[stop - 1] == '\r';
    endField(crlf ? stop - 1 : stop);
    return true;
}

void Reader::stepQuoted() {
    const char* const bytes = buffer_.get();
    const void* quote = std::memchr(bytes + read_, '"', end_ - read_);
    const std::size_t stop =
        quote == nullptr ? end_ : static_cast<std::size_t>(static_cast<const char*>(quote) - bytes);
    text_.append(bytes + read_, stop - read_);
    read_ = stop;
    if (stop < end_) {
        ++read_;
        state_ = State::quoteInQuoted;
    }
}

bool Reader::stepQuoteInQuoted() {
    const char c = buffer_[read_++];
    if (c == '"') { // a doubled quote stands for one
        text_ += '"';
        state_ = State::quoted;
        return false;
    }
    if (c == *separator_ || c == '\n') {
        endField(read_);
        state_ = State::fieldStart;
        return c == '\n';
    }
    if (c == '\r') {
        state_ = State::quoteThenCR;
        return false;
    }
    --read_;
    textAfterQuote("\"");
    return false;
}

bool Reader::stepQuoteThenCR() {
    if (buffer_[read_] == '\n') {
        ++read_;
        endField(read_);
        return true;
    }
    // The CR is text after the closing quote; what follows it is read as such.
    textAfterQuote("\"\r");
    return false;
}

bool Reader::stepAfterQuote() {
    const char* const bytes = buffer_.get();
    std::size_t stop = read_;
    while (bytes[stop] != *separator_ && bytes[stop] != '\n')
        ++stop;
    text_.append(bytes + read_, stop - read_);
    read_ = stop;
    if (stop == end_)
        return false;
    ++read_;
    if (bytes[stop] != *separator_ && bytes[stop - 1] == '\r')
        text_.pop_back(); // the CR of a CRLF line end; the text holds at least "\"\r"
    endField(stop);
    state_ = State::fieldStart;
    return bytes[stop] == '\n';
}

void Reader::textAfterQuote(std::string_view kept) {
    text_ += kept;
    state_ = State::afterQuote;
    if (problem_ == RecordProblem::none) {
        problem_ = RecordProblem::textAfterQuote;
        problemField_ = bounds_.size();
    }
}

std::size_t fieldRoom(std::string_view field) {
    constexpr std::size_t longField = 4096;
    if (field.size() < longField)
        return 2 * field.size() + 2;
    return field.size() + 2 + static_cast<std::size_t>(std::ranges::count(field, '"'));
}

char* writeField(char* to, std::string_view field, char separator) {
    // Most bytes lie above '"' and are not the separator: two comparisons each.
    const auto special = [separator](char c) {
        return c == separator ||
               (static_cast<unsigned char>(c) <= '"' && (c == '"' || c == '\n' || c == '\r'));
    };
    const char* const from = field.data();
    const std::size_t size = field.size();
    std::size_t i = 0;
    // Eight bytes at a time while none of them is special, then byte by byte. CR and LF are the
    // bytes below 14 that matter; others below 14 only send the word to the byte loop.
    const auto separatorByte = static_cast<unsigned char>(separator);
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t word = wordAt(from + i);
        if ((bytesBelow(word, 14) | bytesEqual(word, separatorByte) | bytesEqual(word, '"')) != 0)
            break;
        std::memcpy(to + i, &word, 8);
    }
    for (; i < size && !special(from[i]); ++i)
        to[i] = from[i];
    if (i == size)
        return to + size;
    *to++ = '"';
    for (const char c : field) {
        if (c == '"')
            *to++ = '"';
        *to++ = c;
    }
    *to++ = '"';
    return to;
}

void appendField(std::string& out, std::string_view field, char separator) {
    const std::size_t start = out.size();
    out.resize(start + fieldRoom(field));
    out.resize(
        static_cast<std::size_t>(writeField(out.data() + start, field, separator) - out.data()));
}

void appendRecord(std::string& out, std::span<const std::string_view> fields, char separator) {
    if (fields.size() == 1 && fields[0].empty()) {
        out += "\"\"\n";
        return;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += separator;
        appendField(out, fields[i], separator);
    }
    out += '\n';
}

bool Writer::flush() {
    if (!buffer_.empty() && !failed_)
        failed_ = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size();
    buffer_.clear();
    if (!failed_)
        failed_ = std::fflush(file_) != 0;
    return !failed_;
}

} // namespace dovrin::csv
