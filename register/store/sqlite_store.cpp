#include "sqlite_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "csv.h"
#include "events.h"
#include "plain_text.h"

namespace dovrin::store {

namespace {

namespace fs = std::filesystem;

// "Dvrg" in the file's header, so that a register is known by its content, whatever its name.
constexpr std::uint32_t applicationId = 0x44767267;
constexpr int schemaVersion = 1;
constexpr int busyMilliseconds = 10000;
// Eight times SQLite's default. An as-of reads every event of the register, a page at a time:
// a million events take 0.91 of the time on 32 KiB pages that they take on 8 KiB ones, as on
// 64 KiB ones, while a record still writes its few pages in the same 8 ms.
constexpr int pageSize = 32768;

// The file header's offsets of user_version and application_id (sqlite.org, database file
// format, 1.3 The Database Header).
constexpr std::size_t userVersionOffset = 60;
constexpr std::size_t applicationIdOffset = 68;
constexpr std::string_view sqliteMagic{"SQLite format 3\0", 16};

// The journal's columns, in order. An event's fields are one JSON object of texts (readable
// with SQLite's json_extract), the old values of a correction another: a column per field would
// cost every write and read of an event a column for each field it does not have.
enum JournalColumn {
    seqColumn,
    sourceColumn,
    kindColumn,
    onColumn,
    recordedAtColumn,
    byColumn,
    reasonColumn,
    documentColumn,
    targetColumn,
    fieldsColumn,
    previousColumn,
    hashColumn,
    columnCount
};

std::string journalTable() {
    return "CREATE TABLE journal (seq INTEGER PRIMARY KEY, source TEXT NOT NULL, kind TEXT NOT "
           "NULL, on_day TEXT NOT NULL, recorded_at TEXT NOT NULL, recorded_by TEXT NOT NULL, "
           "reason TEXT, document TEXT, target INTEGER, fields TEXT NOT NULL, previous TEXT, "
           "hash BLOB NOT NULL)";
}

std::string refusal(std::string_view table, std::string_view what) {
    return "CREATE TRIGGER " + std::string(table) + "_no_" + std::string(what) + " BEFORE " +
           std::string(what) + " ON " + std::string(table) +
           " BEGIN SELECT RAISE(ABORT, 'the register is append-only: " + std::string(what) +
           " refused'); END";
}

// The schema, exactly: a file whose schema differs in any statement is not ours.
const std::vector<std::pair<std::string, std::string>>& schema() {
    static const std::vector<std::pair<std::string, std::string>> statements = [] {
        std::vector<std::pair<std::string, std::string>> list{
            {"journal", journalTable()},
            {"journal_by_source", "CREATE INDEX journal_by_source ON journal (source, seq)"},
            {"journal_no_delete", refusal("journal", "delete")},
            {"journal_no_update", refusal("journal", "update")},
            {"register", "CREATE TABLE register (holder TEXT NOT NULL, licence TEXT NOT NULL, "
                         "created_at TEXT NOT NULL)"},
            {"register_no_delete", refusal("register", "delete")},
            {"register_no_update", refusal("register", "update")},
        };
        std::ranges::sort(list);
        return list;
    }();
    return statements;
}

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, Closer>;

// A prepared statement, reset and kept for the next use.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()),
                               SQLITE_PREPARE_PERSISTENT, &statement_, nullptr) != SQLITE_OK)
            statement_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(Statement&& other) noexcept
        : statement_(std::exchange(other.statement_, nullptr)) {}
    Statement& operator=(Statement&& other) noexcept {
        std::swap(statement_, other.statement_);
        return *this;
    }
    explicit operator bool() const { return statement_ != nullptr; }
    sqlite3_stmt* get() const { return statement_; }

    void bind(int index, std::string_view text) {
        if (text.empty())
            sqlite3_bind_null(statement_, index);
        else
            sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_STATIC);
    }
    void bindNotNull(int index, std::string_view text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_STATIC);
    }
    // For a cursor's parameter, which may outlive the text given.
    void bindCopy(int index, std::string_view text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int index, std::uint64_t value) {
        sqlite3_bind_int64(statement_, index, static_cast<sqlite3_int64>(value));
    }
    int step() { return sqlite3_step(statement_); }
    void reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    std::string_view text(int column) const {
        const auto* bytes = sqlite3_column_text(statement_, column);
        return bytes == nullptr ? std::string_view()
                                : std::string_view(reinterpret_cast<const char*>(bytes),
                                                   static_cast<std::size_t>(
                                                       sqlite3_column_bytes(statement_, column)));
    }
    std::uint64_t integer(int column) const {
        return static_cast<std::uint64_t>(sqlite3_column_int64(statement_, column));
    }

private:
    sqlite3_stmt* statement_ = nullptr;
};

std::string databaseError(sqlite3* db) {
    return sqlite3_errmsg(db);
}

bool execute(sqlite3* db, const std::string& sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = message != nullptr ? message : databaseError(db);
    sqlite3_free(message);
    return false;
}

std::string selectEvents() {
    return "SELECT seq, source, kind, on_day, recorded_at, recorded_by, reason, document, target, "
           "fields, previous, hash FROM journal";
}

// Each field's name as a member of a JSON object begins, after the one before: ,"name":" (the
// first member without its comma). Made once, so that an import appends one text for the name
// of each of its events' fields rather than three.
const std::array<std::string, fieldNames.size()>& jsonNames() {
    static const std::array<std::string, fieldNames.size()> names = [] {
        std::array<std::string, fieldNames.size()> made;
        for (std::size_t i = 0; i < fieldNames.size(); ++i)
            made[i] = ",\"" + std::string(fieldNames[i]) + "\":\"";
        return made;
    }();
    return names;
}

// {"name":"value",...} of the values given: the fields, or a correction's old values.
void appendJson(std::string& out, const FieldValues& values, const FieldValues& given) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '{';
    bool first = true;
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        if (given[i].empty())
            continue;
        out += std::string_view(jsonNames()[i]).substr(first ? 1 : 0);
        first = false;
        const std::string_view value = values[i];
        std::size_t plain = 0; // the bytes up to here that need no escape, appended at once
        for (std::size_t at = 0; at < value.size(); ++at) {
            const char c = value[at];
            const auto byte = static_cast<unsigned char>(c);
            if (c != '"' && c != '\\' && byte >= 0x20)
                continue;
            out.append(value.substr(plain, at - plain));
            plain = at + 1;
            if (byte >= 0x20) {
                out += '\\';
                out += c;
            } else {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 15];
            }
        }
        out.append(value.substr(plain));
        out += '"';
    }
    out += '}';
}

// Where the first quote or backslash at or after from is in text; text's size when none is.
// Eight bytes at a time where the machine is little-endian: the as-of of a large register reads
// every byte of its events' fields through here.
std::size_t quoteOrBackslash(std::string_view text, std::size_t from) {
    if constexpr (std::endian::native == std::endian::little) {
        for (; from + 8 <= text.size(); from += 8) {
            const std::uint64_t word = wordAt(text.data() + from);
            // The first byte found is the lowest bit set.
            const std::uint64_t found = bytesEqual(word, '"') | bytesEqual(word, '\\');
            if (found != 0)
                return from + static_cast<std::size_t>(std::countr_zero(found)) / 8;
        }
    }
    while (from < text.size() && text[from] != '"' && text[from] != '\\')
        ++from;
    return from;
}

// Reads a JSON object of texts as appendJson writes it (and any other escapes JSON has, for a
// text of the basic plane); false for any other text. Calls take(field, value, standing) for
// each member: standing, the value is a view of text itself, as it stands there without an
// escape (as most are); else it is unescaped elsewhere, valid until the next member.
template <typename Take> bool readJsonMembers(std::string_view text, Take take) {
    std::size_t at = 0;
    const auto skip = [&](char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    std::string unescaped;
    // The string at `at`, as it stands or unescaped.
    const auto readString = [&](std::string_view& out, bool& standing) {
        if (!skip('"'))
            return false;
        std::size_t end = quoteOrBackslash(text, at);
        if (end < text.size() && text[end] == '"') {
            out = text.substr(at, end - at);
            standing = true;
            at = end + 1;
            return true;
        }
        unescaped.clear();
        standing = false;
        while (at < text.size()) {
            end = quoteOrBackslash(text, at);
            if (end == text.size())
                return false;
            unescaped.append(text.substr(at, end - at));
            at = end + 1;
            if (text[end] == '"') {
                out = unescaped;
                return true;
            }
            if (at >= text.size())
                return false;
            const char escape = text[at++];
            static constexpr std::string_view plain = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
            if (const std::size_t index = plain.find(escape); index != std::string_view::npos) {
                unescaped += meaning[index];
                continue;
            }
            unsigned code = 0;
            if (escape != 'u' || at + 4 > text.size() ||
                std::from_chars(text.data() + at, text.data() + at + 4, code, 16).ptr !=
                    text.data() + at + 4)
                return false;
            at += 4;
            if (code < 0x80) {
                unescaped += static_cast<char>(code);
            } else if (code < 0x800) {
                unescaped += static_cast<char>(0xC0 | code >> 6);
                unescaped += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                unescaped += static_cast<char>(0xE0 | code >> 12);
                unescaped += static_cast<char>(0x80 | (code >> 6 & 0x3F));
                unescaped += static_cast<char>(0x80 | (code & 0x3F));
            }
        }
        return false;
    };
    if (!skip('{'))
        return false;
    std::string_view name;
    std::string_view value;
    bool standing = false;
    const auto& written = jsonNames();
    std::size_t expected = 0; // appendJson writes the fields in their order: the next one is first
    for (bool first = true; !skip('}'); first = false) {
        // A member as appendJson writes it is recognised whole, from its comma to the quote that
        // opens its value, as one of the names from the next on: the as-of of a large register
        // reads every name of every event.
        const std::string_view ahead = text.substr(at);
        const std::size_t letter = first ? 1 : 2; // the name's first, in ahead
        const auto isNext = [&](std::size_t field) {
            const std::string_view member = std::string_view(written[field]).substr(first ? 1 : 0);
            return ahead.size() > letter && ahead[letter] == fieldNames[field][0] &&
                   ahead.starts_with(member);
        };
        std::size_t field = expected;
        while (field < fieldNames.size() && !isNext(field))
            ++field;
        if (field < fieldNames.size()) {
            at += written[field].size() - (first ? 2 : 1); // to the quote that opens the value
            expected = field;
        } else {
            if ((!first && !skip(',')) || !readString(name, standing) || !skip(':'))
                return false;
            while (expected < fieldNames.size() && fieldNames[expected] != name)
                ++expected;
            if (expected == fieldNames.size()) {
                const auto named = fieldNamed(name);
                if (!named)
                    return false;
                expected = static_cast<std::size_t>(*named);
            }
        }
        if (!readString(value, standing))
            return false;
        take(expected, value, standing);
    }
    return at == text.size();
}

// Into values, one text each.
bool readJson(std::string_view text, FieldValues& values) {
    for (std::string& value : values)
        value.clear();
    return readJsonMembers(text, [&](std::size_t field, std::string_view value, bool) {
        values[field] = value; // a name given twice: the last value
    });
}

// Into the event's one text: a copy of the JSON text, where most values stand as they are,
// followed by the values that had escapes, unescaped.
bool readJson(std::string_view text, FoldedEvent& event) {
    event.text.assign(text);
    event.places.fill({});
    return readJsonMembers(text, [&](std::size_t field, std::string_view value, bool standing) {
        if (standing) {
            event.places[field] = {static_cast<std::size_t>(value.data() - text.data()),
                                   value.size()};
            return;
        }
        const std::size_t start = event.text.size();
        event.text += value;
        event.placeFrom(field, start);
    });
}

// Reads the statement's row into event; false with why for a row that is not an event.
// The last day and moment read, with their texts: the events of one write share their moment,
// and often their day, which are then read once.
struct LastRead {
    std::string dayText;
    std::optional<std::chrono::year_month_day> day;
    std::string momentText;
    std::optional<std::chrono::sys_seconds> moment;
};

template <typename Value, typename Read>
Value readOnce(std::string_view text, std::string& lastText, Value& last, Read read) {
    if (text != lastText || !last) {
        lastText = text;
        last = read(text);
    }
    return last;
}

// An event's fields and a correction's old values, from their JSON texts.
bool readValues(std::string_view fields, std::string_view previous, Event& event,
                std::string& why) {
    if (!readJson(fields, event.values)) {
        why = "event " + std::to_string(event.seq) + " has fields that cannot be read";
        return false;
    }
    if (previous.empty()) {
        for (std::string& value : event.previous)
            value.clear();
    } else if (!readJson(previous, event.previous)) {
        why = "event " + std::to_string(event.seq) + " has old values that cannot be read";
        return false;
    }
    return true;
}

bool readEvent(const Statement& row, Event& event, LastRead& lastRead, std::string& why) {
    event.seq = row.integer(seqColumn);
    event.source = row.text(sourceColumn);
    const auto kind = kindNamed(row.text(kindColumn));
    const auto on = readOnce(row.text(onColumn), lastRead.dayText, lastRead.day, readDay);
    const auto recordedAt =
        readOnce(row.text(recordedAtColumn), lastRead.momentText, lastRead.moment, readMomentText);
    if (!kind || !on || !recordedAt) {
        why = "event " + std::to_string(event.seq) + " cannot be read (its kind, day or moment)";
        return false;
    }
    event.kind = *kind;
    event.on = *on;
    event.recordedAt = *recordedAt;
    event.by = row.text(byColumn);
    event.reason = row.text(reasonColumn);
    event.document = row.text(documentColumn);
    event.target = row.integer(targetColumn);
    if (!readValues(row.text(fieldsColumn), row.text(previousColumn), event, why))
        return false;
    const int hashIndex = static_cast<int>(hashColumn);
    const void* hash = sqlite3_column_blob(row.get(), hashIndex);
    if (hash == nullptr ||
        sqlite3_column_bytes(row.get(), hashIndex) != static_cast<int>(event.hash.size())) {
        event.hash.fill(0); // verify names the event
    } else {
        std::memcpy(event.hash.data(), hash, event.hash.size());
    }
    return true;
}

// What the fold of a source reads of its events, and no more: who recorded them, why, their
// documents, moments and hashes are a tenth of the journal's bytes and a third of its columns,
// and the as-of of a large register reads every event. A correction's old values are left out
// too: the fold takes the new ones, and the column after the fields costs SQLite a tenth of its
// time in stepping a million events.
std::string selectFoldedEvents() {
    return "SELECT seq, source, kind, on_day, target, fields FROM journal";
}
enum FoldedColumn { foldedSeq, foldedSource, foldedKind, foldedOn, foldedTarget, foldedFields };

// Where the parts a fold reads stand in a cursor's rows: selectEvents()'s or
// selectFoldedEvents()'s.
struct FoldedColumns {
    int seq;
    int source;
    int kind;
    int on;
    int target;
    int fields;
};
constexpr FoldedColumns inEvents{seqColumn, sourceColumn, kindColumn,
                                 onColumn,  targetColumn, fieldsColumn};
constexpr FoldedColumns inFoldedEvents{foldedSeq, foldedSource, foldedKind,
                                       foldedOn,  foldedTarget, foldedFields};

// Its seq, source, kind, day and target, into an Event or a FoldedEvent.
template <typename AnyEvent>
bool readFoldedParts(const Statement& row, const FoldedColumns& columns, AnyEvent& event,
                     LastRead& lastRead, std::string& why) {
    event.seq = row.integer(columns.seq);
    event.source = row.text(columns.source);
    const auto kind = kindNamed(row.text(columns.kind));
    const auto on = readOnce(row.text(columns.on), lastRead.dayText, lastRead.day, readDay);
    if (!kind || !on) {
        why = "event " + std::to_string(event.seq) + " cannot be read (its kind or day)";
        return false;
    }
    event.kind = *kind;
    event.on = *on;
    event.target = row.integer(columns.target);
    return true;
}

bool readFoldedEvent(const Statement& row, Event& event, LastRead& lastRead, std::string& why) {
    return readFoldedParts(row, inFoldedEvents, event, lastRead, why) &&
           readValues(row.text(foldedFields), {}, event, why);
}

// What the fold reads of the row: a correction's old values are not among it.
bool readFolded(const Statement& row, const FoldedColumns& columns, FoldedEvent& event,
                LastRead& lastRead, std::string& why) {
    if (!readFoldedParts(row, columns, event, lastRead, why))
        return false;
    if (!readJson(row.text(columns.fields), event)) {
        why = "event " + std::to_string(event.seq) + " has fields that cannot be read";
        return false;
    }
    return true;
}

using ReadRow = bool (*)(const Statement&, Event&, LastRead&, std::string&);

class SqliteCursor final : public EventCursor {
public:
    // read and columns: of the rows sql selects.
    SqliteCursor(sqlite3* db, const std::string& sql, ReadRow read = readEvent,
                 const FoldedColumns& columns = inEvents)
        : db_(db)
        , statement_(db, sql)
        , read_(read)
        , columns_(columns) {
        if (!statement_)
            error_ = databaseError(db);
    }
    Statement& statement() { return statement_; }
    // Ready to be bound and stepped again from the start.
    void restart() {
        statement_.reset();
        error_.clear();
    }
    Event* next() override {
        return step() && read_(statement_, event_, lastRead_, error_) ? &event_ : nullptr;
    }
    bool nextFolded(FoldedEvent& event) override {
        return step() && readFolded(statement_, columns_, event, lastRead_, error_);
    }
    std::string error() const override { return error_; }

private:
    // To the next row; false at the end or on an error.
    bool step() {
        if (!statement_ || !error_.empty())
            return false;
        const int status = statement_.step();
        if (status == SQLITE_ROW)
            return true;
        if (status != SQLITE_DONE)
            error_ = databaseError(db_);
        return false;
    }

    sqlite3* db_;
    Statement statement_;
    ReadRow read_;
    FoldedColumns columns_;
    Event event_;
    LastRead lastRead_;
    std::string error_;
};

// A cursor kept for many uses, one at a time (one source's events per row of an import): its
// statement is prepared once. Ends its use when destroyed.
class ReusedCursor final : public EventCursor {
public:
    explicit ReusedCursor(SqliteCursor& cursor)
        : cursor_(cursor) {}
    ~ReusedCursor() override { cursor_.restart(); }
    ReusedCursor(const ReusedCursor&) = delete;
    ReusedCursor& operator=(const ReusedCursor&) = delete;
    Event* next() override { return cursor_.next(); }
    bool nextFolded(FoldedEvent& event) override { return cursor_.nextFolded(event); }
    std::string error() const override { return cursor_.error(); }

private:
    SqliteCursor& cursor_;
};

// The last event recorded up to the moment (none: of all), and its moment.
struct LastEvent {
    Head head;
    std::string recordedAt; // empty without events
};
std::optional<LastEvent> readLast(sqlite3* db, std::string& error,
                                  std::optional<std::chrono::sys_seconds> recordedUpTo = {}) {
    Statement last(db, std::string("SELECT seq, hash, recorded_at FROM journal") +
                           (recordedUpTo ? " WHERE recorded_at <= ?1" : "") +
                           " ORDER BY seq DESC LIMIT 1");
    if (!last) {
        error = databaseError(db);
        return std::nullopt;
    }
    if (recordedUpTo)
        last.bindCopy(1, momentText(*recordedUpTo));
    LastEvent found;
    const int status = last.step();
    if (status == SQLITE_ROW) {
        found.head.seq = last.integer(0);
        if (const void* hash = sqlite3_column_blob(last.get(), 1);
            hash != nullptr &&
            sqlite3_column_bytes(last.get(), 1) == static_cast<int>(found.head.hash.size()))
            std::memcpy(found.head.hash.data(), hash, found.head.hash.size());
        found.recordedAt = last.text(2);
    } else if (status != SQLITE_DONE) {
        error = databaseError(db);
        return std::nullopt;
    }
    return found;
}

// The events one insert statement writes when a write has that many.
constexpr std::size_t batchRows = 64;

std::string insertRows(std::size_t rows) {
    std::string sql = "INSERT OR ROLLBACK INTO journal VALUES ";
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row == 0 ? "(?" : ", (?";
        for (std::size_t i = 1; i < columnCount; ++i)
            sql += ", ?";
        sql += ')';
    }
    return sql;
}

// An event's row of the journal, its texts kept until it is inserted.
struct JournalRow {
    std::uint64_t seq = 0;
    std::string source;
    std::string_view kind;
    std::string day;
    std::string by;
    std::string reason;
    std::string document;
    std::uint64_t target = 0;
    std::string fields;
    std::string previous;
    Hash hash{};
};

// Binds the row's columns from the parameter after offset on.
void bindRow(Statement& insert, std::size_t offset, const JournalRow& row,
             const std::string& recordedAt) {
    const auto at = [&](JournalColumn column) {
        return static_cast<int>(offset + static_cast<std::size_t>(column) + 1);
    };
    insert.bind(at(seqColumn), row.seq);
    insert.bindNotNull(at(sourceColumn), row.source);
    insert.bindNotNull(at(kindColumn), row.kind);
    insert.bindNotNull(at(onColumn), row.day);
    insert.bindNotNull(at(recordedAtColumn), recordedAt);
    insert.bindNotNull(at(byColumn), row.by);
    insert.bind(at(reasonColumn), row.reason);
    insert.bind(at(documentColumn), row.document);
    if (row.target != 0)
        insert.bind(at(targetColumn), row.target);
    insert.bindNotNull(at(fieldsColumn), row.fields);
    insert.bind(at(previousColumn), row.previous);
    sqlite3_bind_blob(insert.get(), at(hashColumn), row.hash.data(),
                      static_cast<int>(row.hash.size()), SQLITE_STATIC);
}

// The rows handed to the writer at once: many statements' worth, so that the two threads wait
// on each other seldom.
constexpr std::size_t handedRows = 16 * batchRows;
using Batch = std::array<JournalRow, handedRows>;

// Inserts count rows from first on, as many as it can batchRows at a time.
int insertRows(Statement& batchInsert, Statement& oneInsert, const JournalRow* first,
               std::size_t count, const std::string& recordedAt) {
    for (std::size_t done = 0; done < count;) {
        const bool whole = count - done >= batchRows;
        Statement& insert = whole ? batchInsert : oneInsert;
        const std::size_t rows = whole ? batchRows : 1;
        for (std::size_t i = 0; i < rows; ++i)
            bindRow(insert, i * columnCount, first[done + i], recordedAt);
        const int status = insert.step();
        insert.reset();
        if (status != SQLITE_DONE)
            return status;
        done += rows;
    }
    return SQLITE_DONE;
}

// Inserts whole batches of an import on a thread of its own, one at a time, while the next one
// is filled: the events' hashes and JSON are made beside SQLite's inserts. The connection is the
// writer's while a batch is under way: idle() waits for it before the connection is used again.
class BatchWriter {
public:
    BatchWriter(sqlite3* db, Statement& batchInsert, Statement& oneInsert,
                const std::string& recordedAt)
        : db_(db)
        , batchInsert_(batchInsert)
        , oneInsert_(oneInsert)
        , recordedAt_(recordedAt)
        , thread_([this] { work(); }) {}
    ~BatchWriter() {
        idle();
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    // Hands the batch over once the one before is inserted; false when that one failed. The
    // batch is the writer's until the next call of write or idle.
    bool write(const Batch& batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return batch_ == nullptr; });
        if (!error_.empty())
            return false;
        batch_ = &batch;
        lock.unlock();
        changed_.notify_all();
        return true;
    }
    // Waits for the batch under way; false when any failed.
    bool idle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return batch_ == nullptr; });
        return error_.empty();
    }
    std::string error() const {
        const std::lock_guard lock(mutex_);
        return error_;
    }

private:
    void work() {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(lock, [&] { return stop_ || batch_ != nullptr; });
            if (batch_ == nullptr)
                return;
            const Batch& batch = *batch_;
            lock.unlock();
            const int status =
                insertRows(batchInsert_, oneInsert_, batch.data(), batch.size(), recordedAt_);
            lock.lock();
            if (status != SQLITE_DONE && error_.empty())
                error_ = databaseError(db_);
            batch_ = nullptr;
            changed_.notify_all();
        }
    }

    sqlite3* db_;
    Statement& batchInsert_;
    Statement& oneInsert_;
    const std::string& recordedAt_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    const Batch* batch_ = nullptr; // under way
    bool stop_ = false;
    std::string error_;  // of the first batch that failed
    std::thread thread_; // last: it starts once the rest is made
};

class SqliteTransaction final : public Transaction {
public:
    SqliteTransaction(sqlite3* db, std::chrono::sys_seconds now)
        : db_(db)
        , now_(momentText(now))
        , nowMoment_(now) {}
    ~SqliteTransaction() override {
        writer_.reset(); // done with the connection first
        if (begun_ && !committed_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    bool begin() {
        if (!execute(db_, "BEGIN IMMEDIATE", error_)) {
            if (sqlite3_errcode(db_) == SQLITE_BUSY)
                error_ = "the register is busy: someone else is recording in it (waited " +
                         std::to_string(busyMilliseconds / 1000) + " s)";
            return false;
        }
        begun_ = true;
        const auto last = readLast(db_, error_);
        if (!last)
            return false;
        if (last->recordedAt > now_) {
            error_ = "the clock says " + now_ + ", before the register's last event (recorded " +
                     last->recordedAt + "): set the clock right first";
            return false;
        }
        head_ = last->head;
        // OR ROLLBACK: an insert that fails ends the write, which is then dropped whole; SQLite
        // then keeps no journal of each statement, which an insert into a table with an index
        // would otherwise cost.
        insertOne_ = Statement(db_, insertRows(1));
        insertBatch_ = Statement(db_, insertRows(batchRows));
        if (!insertOne_ || !insertBatch_) {
            error_ = databaseError(db_);
            return false;
        }
        return true;
    }

    bool append(Event& event) override {
        sealEvent(event, head_, nowMoment_);
        JournalRow& row = batches_[filling_][pendingCount_++];
        row.seq = event.seq;
        row.source = event.source;
        row.kind = nameOf(event.kind);
        row.day = dayText(event.on);
        row.by = event.by;
        row.reason = event.reason;
        row.document = event.document;
        row.target = event.target;
        row.fields.clear();
        appendJson(row.fields, event.values, event.values);
        row.previous.clear();
        if (event.kind == Kind::correct)
            appendJson(row.previous, event.previous, event.values);
        row.hash = event.hash;
        head_ = {event.seq, event.hash};
        return pendingCount_ < handedRows || writeBatch();
    }

    std::unique_ptr<EventCursor> eventsOf(std::string_view source) override {
        if (!writePending())
            return std::make_unique<FailedCursor>(error_);
        if (!eventsOf_)
            eventsOf_ = std::make_unique<SqliteCursor>(db_, selectEvents() +
                                                                " WHERE source = ?1 ORDER BY seq");
        eventsOf_->restart();
        eventsOf_->statement().bindCopy(1, source);
        return std::make_unique<ReusedCursor>(*eventsOf_);
    }

    std::unique_ptr<EventCursor> eventsBySource() override {
        if (!writePending())
            return std::make_unique<FailedCursor>(error_);
        return std::make_unique<SqliteCursor>(db_, selectEvents() + " ORDER BY source, seq");
    }

    std::optional<std::uint64_t> meet(std::string_view source, std::uint64_t row) override {
        if (!writerIdle() || (!meetings_ && !startMeetings()))
            return std::nullopt;
        meetInsert_.bindNotNull(1, source);
        meetInsert_.bind(2, row);
        meetInsert_.step();
        meetInsert_.reset();
        if (sqlite3_changes(db_) > 0)
            return std::nullopt;
        return firstMeeting(source);
    }

    bool met(std::string_view source) override {
        return writerIdle() && meetings_ && firstMeeting(source).has_value();
    }

    Head head() const override { return head_; }

    bool commit() override {
        if (!writePending() || !execute(db_, "COMMIT", error_))
            return false;
        committed_ = true;
        return true;
    }

    std::string error() const override { return error_; }

private:
    // A whole batch of events to the writer, and the other batch to fill meanwhile: a statement
    // inserts many at once, which spares SQLite a statement's start and end for each event.
    bool writeBatch() {
        if (!writer_)
            writer_ = std::make_unique<BatchWriter>(db_, insertBatch_, insertOne_, now_);
        if (!writer_->write(batches_[filling_])) {
            error_ = writer_->error();
            return false;
        }
        filling_ = 1 - filling_;
        pendingCount_ = 0;
        return true;
    }

    // Every event appended inserted, before the journal is read or the write ends.
    bool writePending() {
        if (!writerIdle())
            return false;
        if (insertRows(insertBatch_, insertOne_, batches_[filling_].data(), pendingCount_, now_) !=
            SQLITE_DONE) {
            error_ = databaseError(db_);
            return false;
        }
        pendingCount_ = 0;
        return true;
    }

    // The connection back from the writer; false when one of its batches failed.
    bool writerIdle() {
        if (writer_ && !writer_->idle()) {
            error_ = writer_->error();
            return false;
        }
        return true;
    }

    bool startMeetings() {
        if (!execute(db_,
                     "CREATE TEMP TABLE IF NOT EXISTS met (source TEXT PRIMARY KEY, first_row "
                     "INTEGER NOT NULL) WITHOUT ROWID",
                     error_))
            return false;
        meetInsert_ = Statement(db_, "INSERT INTO temp.met VALUES (?1, ?2) ON CONFLICT DO NOTHING");
        meetFind_ = Statement(db_, "SELECT first_row FROM temp.met WHERE source = ?1");
        meetings_ = meetInsert_ && meetFind_;
        return meetings_;
    }

    std::optional<std::uint64_t> firstMeeting(std::string_view source) {
        meetFind_.bindNotNull(1, source);
        std::optional<std::uint64_t> row;
        if (meetFind_.step() == SQLITE_ROW)
            row = meetFind_.integer(0);
        meetFind_.reset();
        return row;
    }

    sqlite3* db_;
    std::string now_;
    std::chrono::sys_seconds nowMoment_;
    bool begun_ = false;
    bool committed_ = false;
    Head head_;
    Statement insertOne_;
    Statement insertBatch_;
    std::array<Batch, 2> batches_; // one filled while the writer inserts the other
    std::size_t filling_ = 0;
    std::size_t pendingCount_ = 0;        // of the batch being filled
    std::unique_ptr<BatchWriter> writer_; // started by the first whole batch
    std::unique_ptr<SqliteCursor> eventsOf_;
    bool meetings_ = false;
    Statement meetInsert_;
    Statement meetFind_;
    std::string error_;
};

class SqliteStore final : public Store {
public:
    SqliteStore(Database db, Holder holder)
        : db_(std::move(db))
        , holder_(std::move(holder)) {}

    const Holder& holder() const override { return holder_; }

    std::optional<Head> head(std::optional<std::chrono::sys_seconds> recordedUpTo) override {
        const auto last = readLast(db_.get(), error_, recordedUpTo);
        return last ? std::optional(last->head) : std::nullopt;
    }

    std::unique_ptr<EventCursor> events(const EventFilter& filter) override {
        return cursor(filter, selectEvents(), "seq", readEvent, inEvents);
    }

    std::unique_ptr<EventCursor> eventsBySource(const EventFilter& filter) override {
        return cursor(filter, selectFoldedEvents(), "source, seq", readFoldedEvent, inFoldedEvents);
    }

    std::unique_ptr<Transaction> beginWrite(std::chrono::sys_seconds now) override {
        auto transaction = std::make_unique<SqliteTransaction>(db_.get(), now);
        if (!transaction->begin()) {
            error_ = transaction->error();
            return nullptr;
        }
        return transaction;
    }

    std::string checkStorage() override {
        Statement check(db_.get(), "PRAGMA integrity_check");
        if (!check)
            return databaseError(db_.get());
        std::string problems;
        while (check.step() == SQLITE_ROW) {
            const std::string_view line = check.text(0);
            if (line != "ok")
                problems += (problems.empty() ? "" : "; ") + std::string(line);
        }
        return problems;
    }

    std::string error() const override { return error_; }

private:
    std::unique_ptr<EventCursor> cursor(const EventFilter& filter, std::string sql,
                                        std::string_view order, ReadRow read,
                                        const FoldedColumns& columns) {
        std::string_view joint = " WHERE ";
        if (filter.source) {
            sql += std::string(joint) + "source = ?1";
            joint = " AND ";
        }
        if (filter.recordedUpTo)
            sql += std::string(joint) + "recorded_at <= ?2";
        auto events = std::make_unique<SqliteCursor>(
            db_.get(), sql + " ORDER BY " + std::string(order), read, columns);
        if (filter.source)
            events->statement().bindCopy(1, *filter.source);
        if (filter.recordedUpTo)
            events->statement().bindCopy(2, momentText(*filter.recordedUpTo));
        return events;
    }

    Database db_;
    Holder holder_;
    std::string error_;
};

std::uint32_t bigEndian(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

// The application id and schema version of an SQLite file's header; none for another file.
struct FileHeader {
    std::uint32_t application = 0;
    std::uint32_t version = 0;
};
std::optional<FileHeader> readFileHeader(const std::string& path) {
    std::array<unsigned char, 100> bytes{};
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file || std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::memcmp(bytes.data(), sqliteMagic.data(), sqliteMagic.size()) != 0)
        return std::nullopt;
    return FileHeader{bigEndian(bytes.data() + applicationIdOffset),
                      bigEndian(bytes.data() + userVersionOffset)};
}

// The connection's safety settings, before anything is read: no writes to the schema through
// the back door, no functions run from the schema.
bool makeDefensive(sqlite3* db) {
    return sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
           sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) == SQLITE_OK &&
           sqlite3_busy_timeout(db, busyMilliseconds) == SQLITE_OK &&
           sqlite3_extended_result_codes(db, 1) == SQLITE_OK;
}

// Why the open database's schema is not exactly the register's; empty when it is.
std::string schemaProblem(sqlite3* db) {
    Statement rows(db, "SELECT name, sql FROM sqlite_schema ORDER BY name");
    if (!rows)
        return databaseError(db);
    std::vector<std::pair<std::string, std::string>> found;
    while (rows.step() == SQLITE_ROW)
        found.emplace_back(rows.text(0), rows.text(1));
    if (found == schema())
        return {};
    for (const auto& statement : found)
        if (std::ranges::find(schema(), statement) == schema().end())
            return "its schema is not a register's ('" + statement.first + "' differs)";
    return "its schema lacks part of a register's";
}

std::optional<Holder> readHolder(sqlite3* db) {
    Statement row(db, "SELECT holder, licence FROM register");
    if (!row || row.step() != SQLITE_ROW)
        return std::nullopt;
    return Holder{std::string(row.text(0)), std::string(row.text(1))};
}

} // namespace

bool isDatabaseFile(const std::string& path) {
    // Only a regular file: the first bytes of a pipe, once read, would be lost to the run.
    std::error_code code;
    if (!fs::is_regular_file(path, code))
        return false;
    return readFileHeader(path).has_value();
}

Opening openRegisterFile(const std::string& path, Access access) {
    Opening opening;
    const std::string name = quotedPath(path);
    const auto fail = [&](std::string why) {
        opening.store.reset();
        opening.error = std::move(why);
        return std::move(opening);
    };
    std::error_code code;
    if (!fs::exists(path, code))
        return fail("no register " + name + " (init creates one)");
    if (fs::is_directory(path, code))
        return fail(name + " is a folder, not a register");
    // The header read first, by hand: SQLite is not let near a file that is not a register.
    const auto header = readFileHeader(path);
    if (!header || header->application != applicationId)
        return fail(name + " is not a register (no register's mark in its header)");
    if (header->version > static_cast<std::uint32_t>(schemaVersion))
        return fail(name + " is a register of a newer schema (" + std::to_string(header->version) +
                    ") than this dovrin-register reads (" + std::to_string(schemaVersion) + ")");
    if (header->version != static_cast<std::uint32_t>(schemaVersion))
        return fail(name + " is a register of an unknown schema version (" +
                    std::to_string(header->version) + ")");
    // Read and write, even to read: a write killed halfway leaves its journal behind, which the
    // next connection must roll back before it reads. SQLite opens a file that cannot be
    // written for reading alone.
    sqlite3* raw = nullptr;
    const int status =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(raw);
    if (status != SQLITE_OK)
        return fail("cannot open " + name + ": " +
                    (db ? databaseError(db.get()) : std::string(sqlite3_errstr(status))));
    if (!makeDefensive(db.get()))
        return fail("cannot open " + name + " safely: " + databaseError(db.get()));
    if (std::string why = schemaProblem(db.get()); !why.empty())
        return fail(name + " is not a register: " + why);
    if (access == Access::write && sqlite3_db_readonly(db.get(), "main") == 1)
        return fail("cannot write to " + name + ": it is read-only");
    const auto holder = readHolder(db.get());
    if (!holder)
        return fail(name + " is not a register: it names no holder");
    opening.store = std::make_unique<SqliteStore>(std::move(db), *holder);
    return opening;
}

std::string createRegisterFile(const std::string& path, const Holder& holder,
                               std::chrono::sys_seconds now) {
    const std::string name = quotedPath(path);
    std::error_code code;
    if (fs::exists(fs::symlink_status(path, code)))
        return name + " exists: init makes a new register only, never over a file";
    // Built beside its name and linked into place whole, so that no half-made register is ever
    // seen, nor a file that appeared meanwhile replaced.
    const std::string building = path + ".init-" + std::to_string(getpid());
    std::remove(building.c_str());
    std::string error;
    {
        sqlite3* raw = nullptr;
        const int status = sqlite3_open_v2(building.c_str(), &raw,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Database db(raw);
        if (status != SQLITE_OK) {
            error = db ? databaseError(db.get()) : std::string(sqlite3_errstr(status));
        } else if (makeDefensive(db.get())) {
            std::string sql = "PRAGMA page_size = " + std::to_string(pageSize) +
                              "; PRAGMA application_id = " + std::to_string(applicationId) +
                              "; PRAGMA user_version = " + std::to_string(schemaVersion) +
                              "; BEGIN";
            for (const auto& statement : schema())
                sql += "; " + statement.second;
            if (execute(db.get(), sql, error)) {
                Statement insert(db.get(), "INSERT INTO register VALUES (?1, ?2, ?3)");
                const std::string created = momentText(now);
                insert.bindNotNull(1, holder.name);
                insert.bindNotNull(2, holder.licence);
                insert.bindNotNull(3, created);
                if (!insert || insert.step() != SQLITE_DONE)
                    error = databaseError(db.get());
                else
                    execute(db.get(), "COMMIT", error);
            }
        } else {
            error = databaseError(db.get());
        }
    }
    if (error.empty() && link(building.c_str(), path.c_str()) != 0)
        error = errno == EEXIST ? "it appeared meanwhile" : systemError(errno);
    std::remove(building.c_str());
    return error.empty() ? std::string() : "cannot make the register " + name + ": " + error;
}

} // namespace dovrin::store
