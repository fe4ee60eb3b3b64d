#include "workbook_parts.h"

#include <expat.h>
#include <zip.h>

#include <cstdlib>
#include <utility>

namespace dovrin::workbook {

namespace {

// Expat names an element "namespace local-name" when it has a namespace.
constexpr char namespaceSeparator = ' ';
// Office files nest a few levels deep; far deeper nesting only costs memory.
constexpr int deepestNesting = 256;
// The most any one allocation of the parser may take: its buffer holds the longest tag, and no
// workbook has a tag or an attribute value anywhere near this long.
constexpr std::size_t largestParserAllocation = 32u << 20;
constexpr int pieceSize = 1 << 16;

void* cappedMalloc(std::size_t size) {
    return size > largestParserAllocation ? nullptr : std::malloc(size);
}

void* cappedRealloc(void* block, std::size_t size) {
    return size > largestParserAllocation ? nullptr : std::realloc(block, size);
}

const XML_Memory_Handling_Suite cappedMemory{cappedMalloc, cappedRealloc, std::free};

XmlName splitName(const char* name) {
    const std::string_view whole(name);
    const std::size_t separator = whole.rfind(namespaceSeparator);
    if (separator == std::string_view::npos)
        return {{}, whole};
    return {whole.substr(0, separator), whole.substr(separator + 1)};
}

std::string libzipError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string archiveError(int code) {
    switch (code) {
    case ZIP_ER_NOZIP:
        return "it is not a zip archive, or a truncated one (the directory at its end is missing)";
    case ZIP_ER_INCONS:
        return "its zip archive is damaged (its directory is inconsistent)";
    case ZIP_ER_MEMORY:
        return "its zip archive's directory is too large to hold";
    default:
        return "it cannot be read as a zip archive (" + libzipError(code) + ")";
    }
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes >= (1u << 30) && bytes % (1u << 30) == 0)
        return std::to_string(bytes >> 30) + " GiB";
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

Archive::Archive(zip* archive, std::string bytes)
    : archive_(archive)
    , bytes_(std::move(bytes)) {}

Archive::~Archive() {
    zip_discard(archive_);
}

std::shared_ptr<Archive> Archive::openFile(const std::string& path, std::string& error) {
    int code = 0;
    zip* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive == nullptr) {
        error = archiveError(code);
        return nullptr;
    }
    return std::shared_ptr<Archive>(new Archive(archive, {}));
}

std::shared_ptr<Archive> Archive::openBytes(std::string bytes, std::string& error) {
    // The archive keeps the bytes, which libzip reads where they are.
    std::shared_ptr<Archive> result(new Archive(nullptr, std::move(bytes)));
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source =
        zip_source_buffer_create(result->bytes_.empty() ? nullptr : result->bytes_.data(),
                                 result->bytes_.size(), 0, &zipError);
    zip* archive =
        source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &zipError);
    if (archive == nullptr) {
        if (source != nullptr)
            zip_source_free(source);
        error = archiveError(zip_error_code_zip(&zipError));
        zip_error_fini(&zipError);
        return nullptr;
    }
    zip_error_fini(&zipError);
    result->archive_ = archive;
    return result;
}

std::optional<std::uint64_t> Archive::find(std::string_view name) const {
    const zip_int64_t index = zip_name_locate(archive_, std::string(name).c_str(), ZIP_FL_NOCASE);
    if (index < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(index);
}

std::optional<std::string> Archive::readAll(std::string_view name, std::uint64_t cap,
                                            std::string& error) const {
    PartReader part(std::shared_ptr<const Archive>(std::shared_ptr<const Archive>{}, this),
                    std::string(name), cap);
    std::string text;
    for (;;) {
        const std::size_t start = text.size();
        text.resize(start + pieceSize);
        const std::size_t count = part.read({text.data() + start, pieceSize});
        text.resize(start + count);
        if (count == 0)
            break;
    }
    if (!part.error().empty()) {
        error = part.error();
        return std::nullopt;
    }
    return text;
}

PartReader::PartReader(std::shared_ptr<const Archive> archive, std::string name, std::uint64_t cap)
    : archive_(std::move(archive))
    , name_(std::move(name))
    , cap_(cap) {
    const auto index = archive_->find(name_);
    if (!index) {
        error_ = "the workbook has no part " + name_;
        return;
    }
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(archive_->handle(), *index, 0, &status) == 0 &&
        (status.valid & ZIP_STAT_SIZE) != 0) {
        declared_ = status.size;
        if (declared_ > cap_) {
            error_ = name_ + " inflates to " + std::to_string(declared_) +
                     " bytes, more than the " + sizeText(cap_) + " allowed";
            return;
        }
    }
    file_ = zip_fopen_index(archive_->handle(), *index, 0);
    if (file_ == nullptr) {
        const int code = zip_error_code_zip(zip_get_error(archive_->handle()));
        if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_ENCRNOTSUPP)
            error_ = name_ + " is encrypted: the workbook is protected by a password";
        else if (code == ZIP_ER_COMPNOTSUPP)
            error_ = name_ + " is compressed by a method that cannot be read here";
        else
            error_ = name_ + " cannot be read: " + libzipError(code);
    }
}

PartReader::~PartReader() {
    if (file_ != nullptr)
        zip_fclose(file_);
}

std::size_t PartReader::read(std::span<char> into) {
    if (file_ == nullptr || !error_.empty())
        return 0;
    const zip_int64_t count = zip_fread(file_, into.data(), into.size());
    if (count < 0) {
        error_ = name_ + " is damaged: " + zip_file_strerror(file_);
        return 0;
    }
    inflated_ += static_cast<std::uint64_t>(count);
    if (inflated_ > cap_) {
        error_ = name_ + " inflates to more than the " + sizeText(cap_) +
                 " allowed (and more than its declared size)";
        return 0;
    }
    return static_cast<std::size_t>(count);
}

void XmlHandler::pause() {
    stream_->pause();
}

void XmlHandler::fail(std::string why) {
    stream_->fail(std::move(why));
}

void XmlHandler::finish() {
    stream_->finish();
}

std::optional<std::string_view> XmlAttributes::find(std::string_view space,
                                                    std::string_view local) const {
    if (space.empty()) {
        // A name without a namespace is the whole name, which has no separator.
        for (const char** attribute = list_; *attribute != nullptr; attribute += 2)
            if (std::string_view(attribute[0]) == local)
                return std::string_view(attribute[1]);
        return std::nullopt;
    }
    for (const char** attribute = list_; *attribute != nullptr; attribute += 2)
        if (splitName(attribute[0]).is(space, local))
            return std::string_view(attribute[1]);
    return std::nullopt;
}

XmlStream::XmlStream(std::shared_ptr<const Archive> archive, std::string name, std::uint64_t cap,
                     XmlHandler& handler)
    : part_(std::move(archive), std::move(name), cap)
    , handler_(handler)
    , parser_(XML_ParserCreate_MM(nullptr, &cappedMemory, &namespaceSeparator)) {
    handler_.stream_ = this;
    if (parser_ == nullptr) {
        error_ = "out of memory";
        return;
    }
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlStream::onStart, &XmlStream::onEnd);
    XML_SetCharacterDataHandler(parser_, &XmlStream::onText);
    XML_SetStartDoctypeDeclHandler(parser_, &XmlStream::onDoctype);
    // Never reached while the declaration is refused; a second guard should that change.
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
#if defined(XML_DTD) &&                                                                            \
    (XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 4))
    // Expat's own guard against entity expansion, also only a second line behind the refusal.
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, 10.0f);
#endif
}

XmlStream::~XmlStream() {
    if (parser_ != nullptr)
        XML_ParserFree(parser_);
}

void XmlStream::onStart(void* self, const char* name, const char** attributes) {
    auto& stream = *static_cast<XmlStream*>(self);
    if (!stream.error_.empty() || stream.finished_)
        return;
    if (++stream.depth_ > deepestNesting) {
        stream.fail(stream.name() + " nests its elements more than " +
                    std::to_string(deepestNesting) + " deep");
        return;
    }
    stream.handler_.start(splitName(name), XmlAttributes(attributes));
}

void XmlStream::onEnd(void* self, const char* name) {
    auto& stream = *static_cast<XmlStream*>(self);
    --stream.depth_;
    if (!stream.error_.empty() || stream.finished_)
        return;
    stream.handler_.end(splitName(name));
}

void XmlStream::onText(void* self, const char* text, int length) {
    auto& stream = *static_cast<XmlStream*>(self);
    if (!stream.error_.empty() || stream.finished_)
        return;
    stream.handler_.text({text, static_cast<std::size_t>(length)});
}

void XmlStream::onDoctype(void* self, const char*, const char*, const char*, int) {
    auto& stream = *static_cast<XmlStream*>(self);
    stream.fail(stream.name() +
                " has a document type declaration, which no workbook has: refused, so that no "
                "entity is expanded or fetched");
}

void XmlStream::pause() {
    if (error_.empty() && !finished_)
        XML_StopParser(parser_, XML_TRUE);
}

void XmlStream::fail(std::string why) {
    if (!error_.empty() || finished_)
        return;
    error_ = std::move(why);
    stop();
}

void XmlStream::finish() {
    if (!error_.empty() || finished_)
        return;
    finished_ = true;
    stop();
}

void XmlStream::stop() {
    // Stopping a parser that a handler has just paused is refused, so it is resumed first.
    XML_ParsingStatus status;
    XML_GetParsingStatus(parser_, &status);
    if (status.parsing == XML_SUSPENDED)
        return; // the flags set above make the next run() report it
    XML_StopParser(parser_, XML_FALSE);
}

std::string XmlStream::parseError() const {
    const XML_Error code = XML_GetErrorCode(parser_);
    if (code == XML_ERROR_NO_MEMORY)
        return name() + " has a tag or value longer than the " + sizeText(largestParserAllocation) +
               " allowed";
    const std::string why =
        code == XML_ERROR_INVALID_TOKEN ? "invalid token or invalid UTF-8" : XML_ErrorString(code);
    return name() + " is not well-formed XML at line " +
           std::to_string(XML_GetCurrentLineNumber(parser_)) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(parser_) + 1) + ": " + why;
}

XmlStream::Step XmlStream::run() {
    const auto ended = [this] {
        if (!error_.empty())
            return Step::failed;
        return finished_ ? Step::finished : Step::paused;
    };
    if (!error_.empty() || finished_)
        return ended();
    if (!part_.error().empty()) {
        error_ = part_.error();
        return Step::failed;
    }
    for (;;) {
        XML_Status status;
        if (suspended_) {
            suspended_ = false;
            status = XML_ResumeParser(parser_);
        } else {
            if (lastPiece_) {
                finished_ = true;
                return Step::finished;
            }
            void* buffer = XML_GetBuffer(parser_, pieceSize);
            if (buffer == nullptr) {
                error_ = parseError();
                return Step::failed;
            }
            const std::size_t count =
                part_.read({static_cast<char*>(buffer), static_cast<std::size_t>(pieceSize)});
            if (!part_.error().empty()) {
                error_ = part_.error();
                return Step::failed;
            }
            lastPiece_ = count == 0;
            status = XML_ParseBuffer(parser_, static_cast<int>(count), lastPiece_);
        }
        if (!error_.empty() || finished_) {
            if (status == XML_STATUS_SUSPENDED)
                suspended_ = true;
            return ended();
        }
        if (status == XML_STATUS_SUSPENDED) {
            suspended_ = true;
            return Step::paused;
        }
        if (status == XML_STATUS_ERROR) {
            error_ = parseError();
            return Step::failed;
        }
        if (lastPiece_) {
            finished_ = true;
            return Step::finished;
        }
    }
}

std::string quotedText(std::string_view text) {
    constexpr std::size_t longest = 100;
    std::string quoted = "'";
    for (const char c : text.substr(0, longest))
        quoted += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return quoted + (text.size() > longest ? "...'" : "'");
}

bool parseWhole(std::shared_ptr<const Archive> archive, std::string name, std::uint64_t cap,
                XmlHandler& handler, std::string& error) {
    XmlStream stream(std::move(archive), std::move(name), cap, handler);
    XmlStream::Step step;
    while ((step = stream.run()) == XmlStream::Step::paused) {
    }
    if (step == XmlStream::Step::failed)
        error = stream.error();
    return step == XmlStream::Step::finished;
}

} // namespace dovrin::workbook
