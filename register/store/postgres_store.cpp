#include "postgres_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <optional>
#include <span>
#include <utility>

#include "events.h"

namespace dovrin::store {

namespace {

// Everything of the registry lives in the schema dovrin, named in full in every statement, so
// that no role's search_path can put another table in its place.
constexpr int schemaVersion = 1;
// "Dvrg": the first key of the advisory lock a holder's writers take turns on; the second is the
// hash of the holder's role.
constexpr std::string_view lockKey = "1148613223";
// How long a writer waits for its holder's other writers, and how many times it tries again when
// the server gives up on it (a lock waited for too long, a deadlock broken).
constexpr std::string_view lockWait = "10s";
constexpr int writeAttempts = 3;
// Events sent to the server in one statement: few round trips, and well below the 65,535
// parameters a statement may have.
constexpr std::size_t appendRows = 100;
// Rows fetched from a cursor at a time: few round trips, little memory.
constexpr int fetchRows = 4096;

// The journal's columns before the fields, and the events' fields' old values after them.
constexpr std::array<std::string_view, 9> leadingColumns{"seq",    "source",      "kind",
                                                         "on_day", "recorded_at", "recorded_by",
                                                         "reason", "document",    "target"};
constexpr std::size_t columnCount = leadingColumns.size() + 2 * fieldNames.size() + 1;

std::string quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}
std::string oldName(std::string_view field) {
    return quoted("old_" + std::string(field));
}

// An event's fields as one text, "length:bytes" for each in order (":" for one not given): the
// journal keeps it beside the fields' own columns, made by the server as a row is added, so that
// reading an event costs a few columns rather than fifty, most of them empty. Built of
// immutable operators alone, as a stored generated column must be.
std::string packed(std::string_view prefix) {
    std::string sql;
    for (const std::string_view field : fieldNames) {
        const std::string column = quoted(std::string(prefix) + std::string(field));
        sql +=
            (sql.empty() ? "" : " || ") + ("coalesce(octet_length(" + column +
                                           ")::text, '') || ':' || coalesce(" + column + ", '')");
    }
    return sql;
}

// The schema, in the order it is made. Only constants of this program are spliced in (names of
// fields and kinds); every value a person gives goes in as a parameter.
std::string schemaSql() {
    std::string kinds;
    for (const std::string_view kind : kindNames)
        kinds += (kinds.empty() ? "'" : ", '") + std::string(kind) + "'";
    std::string fields;
    for (const std::string_view field : fieldNames)
        fields += ", " + quoted(field) + " text";
    for (const std::string_view field : fieldNames)
        fields += ", " + oldName(field) + " text";
    const std::string lock = "pg_advisory_xact_lock(" + std::string(lockKey) + ", hashtext(";
    return R"(
CREATE SCHEMA dovrin;
CREATE TABLE dovrin.about (schema_version integer NOT NULL, created_at timestamptz NOT NULL);
CREATE TABLE dovrin.holder (
    role text COLLATE "C" PRIMARY KEY, licence text NOT NULL,
    -- No colon: the national totals name a holder's location "HOLDER: LOCATION" (national.h).
    name text NOT NULL UNIQUE
        CONSTRAINT holder_name_has_no_colon CHECK (position(':' IN name) = 0),
    added_at timestamptz NOT NULL);
CREATE TABLE dovrin.journal (
    holder text COLLATE "C" NOT NULL DEFAULT current_user REFERENCES dovrin.holder (role),
    seq bigint NOT NULL CHECK (seq > 0),
    source text COLLATE "C" NOT NULL,
    kind text NOT NULL CHECK (kind IN ()" +
           kinds + R"()),
    on_day date NOT NULL, recorded_at timestamptz NOT NULL, recorded_by text NOT NULL,
    reason text NOT NULL, document text NOT NULL, target bigint NOT NULL)" +
           fields + R"(,
    hash bytea NOT NULL CHECK (length(hash) = 32),
    packed_fields text GENERATED ALWAYS AS ()" +
           packed("") + R"() STORED,
    packed_old text GENERATED ALWAYS AS (CASE WHEN kind = 'correct' THEN )" +
           packed("old_") + R"( END) STORED,
    PRIMARY KEY (holder, seq));
CREATE INDEX journal_by_source ON dovrin.journal (holder, source, seq);

-- A holder's writers take turns, whichever program writes; and each event follows its holder's
-- last one: its predecessor is there, and the key (holder, seq) lets no number be used twice, so
-- that a holder's sequence has no gap (the look-up of one key, however long the journal). The
-- lock is taken again, harmlessly, by a writer that took it to read the last event first.
CREATE FUNCTION dovrin.journal_in_turn() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    PERFORM )" +
           lock +
           R"(NEW.holder));
    IF NEW.seq > 1 AND NOT EXISTS (
            SELECT FROM dovrin.journal WHERE holder = NEW.holder AND seq = NEW.seq - 1) THEN
        RAISE EXCEPTION 'event % of % does not follow its holder''s last event', NEW.seq, NEW.holder
            USING ERRCODE = 'integrity_constraint_violation';
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER journal_in_turn BEFORE INSERT ON dovrin.journal
    FOR EACH ROW EXECUTE FUNCTION dovrin.journal_in_turn();

-- Nothing written is changed or taken away, by anyone who is not the owner dropping these.
CREATE FUNCTION dovrin.append_only() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION 'the registry is append-only: % refused on %', TG_OP, TG_TABLE_NAME
        USING ERRCODE = 'insufficient_privilege';
END $$;
CREATE TRIGGER journal_no_change BEFORE UPDATE OR DELETE ON dovrin.journal
    FOR EACH ROW EXECUTE FUNCTION dovrin.append_only();
CREATE TRIGGER journal_no_truncate BEFORE TRUNCATE ON dovrin.journal
    FOR EACH STATEMENT EXECUTE FUNCTION dovrin.append_only();
CREATE TRIGGER holder_no_change BEFORE UPDATE OR DELETE ON dovrin.holder
    FOR EACH ROW EXECUTE FUNCTION dovrin.append_only();
CREATE TRIGGER holder_no_truncate BEFORE TRUNCATE ON dovrin.holder
    FOR EACH STATEMENT EXECUTE FUNCTION dovrin.append_only();

-- The two kinds of people besides the owner. The group roles are the cluster's, shared by its
-- registries; a holder's rows are its own role's wherever it is.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'dovrin_holder') THEN
        CREATE ROLE dovrin_holder NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'dovrin_inspector') THEN
        CREATE ROLE dovrin_inspector NOLOGIN;
    END IF;
END $$;
REVOKE ALL ON SCHEMA dovrin FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA dovrin FROM PUBLIC;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA dovrin FROM PUBLIC;
GRANT USAGE ON SCHEMA dovrin TO dovrin_holder, dovrin_inspector;
GRANT SELECT ON dovrin.about, dovrin.holder TO dovrin_holder, dovrin_inspector;
GRANT SELECT, INSERT ON dovrin.journal TO dovrin_holder;
GRANT SELECT ON dovrin.journal TO dovrin_inspector;

-- A holder's role sees and adds only its own holder's rows; an inspector sees every row.
ALTER TABLE dovrin.journal ENABLE ROW LEVEL SECURITY;
ALTER TABLE dovrin.holder ENABLE ROW LEVEL SECURITY;
CREATE POLICY own_events ON dovrin.journal FOR SELECT TO dovrin_holder
    USING (holder = current_user);
CREATE POLICY own_new_events ON dovrin.journal FOR INSERT TO dovrin_holder
    WITH CHECK (holder = current_user);
CREATE POLICY every_event ON dovrin.journal FOR SELECT TO dovrin_inspector USING (true);
CREATE POLICY own_holder ON dovrin.holder FOR SELECT TO dovrin_holder
    USING (role = current_user);
CREATE POLICY every_holder ON dovrin.holder FOR SELECT TO dovrin_inspector USING (true);

-- The owner's commands, run with the owner's rights and named by parameters: a role's name is
-- quoted by the server (%I), never spliced by the program.
CREATE FUNCTION dovrin.add_holder(role_name text, holder_name text, holder_licence text,
                                  added timestamptz) RETURNS void LANGUAGE plpgsql
SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    PERFORM dovrin.refuse_mighty(role_name);
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = role_name) THEN
        EXECUTE format('CREATE ROLE %I LOGIN', role_name);
    END IF;
    EXECUTE format('GRANT dovrin_holder TO %I', role_name);
    INSERT INTO dovrin.holder (role, name, licence, added_at)
        VALUES (role_name, holder_name, holder_licence, added);
END $$;
CREATE FUNCTION dovrin.add_inspector(role_name text) RETURNS void LANGUAGE plpgsql
SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    PERFORM dovrin.refuse_mighty(role_name);
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = role_name) THEN
        EXECUTE format('CREATE ROLE %I LOGIN', role_name);
    END IF;
    EXECUTE format('GRANT dovrin_inspector TO %I', role_name);
END $$;
-- The owner and superusers pass every policy: they are no one's holder or inspector.
CREATE FUNCTION dovrin.refuse_mighty(role_name text) RETURNS void LANGUAGE plpgsql
SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF role_name = current_user OR EXISTS (
            SELECT FROM pg_roles WHERE rolname = role_name AND (rolsuper OR rolbypassrls)) THEN
        RAISE EXCEPTION 'the role % passes every policy: a holder or inspector is a role of its own',
            role_name USING ERRCODE = 'invalid_parameter_value';
    END IF;
END $$;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA dovrin FROM PUBLIC;
)";
}

struct ResultFree {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;
struct ConnectionFree {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};

// A parameter's text; none is NULL.
using Parameter = std::optional<std::string>;

// libpq's message for a connection, on one line.
std::string firstLine(const char* message) {
    std::string_view text = message != nullptr ? message : "";
    text = text.substr(0, text.find('\n'));
    return std::string(text);
}

// One connection to the server, with the last error of what it ran.
class Connection {
public:
    explicit Connection(PGconn* connection)
        : connection_(connection) {}

    // Runs one statement, its values as parameters. None on an error (error() says why).
    Result run(const std::string& sql, std::span<const Parameter> parameters = {}) {
        park();
        std::vector<const char*> values;
        values.reserve(parameters.size());
        for (const Parameter& parameter : parameters)
            values.push_back(parameter ? parameter->c_str() : nullptr);
        return check(PQexecParams(connection_.get(), sql.c_str(), static_cast<int>(values.size()),
                                  nullptr, values.data(), nullptr, nullptr, 0));
    }
    Result runPrepared(const char* name, std::span<const Parameter> parameters) {
        park();
        std::vector<const char*> values;
        values.reserve(parameters.size());
        for (const Parameter& parameter : parameters)
            values.push_back(parameter ? parameter->c_str() : nullptr);
        return check(PQexecPrepared(connection_.get(), name, static_cast<int>(values.size()),
                                    values.data(), nullptr, nullptr, 0));
    }
    bool prepare(const char* name, const std::string& sql) {
        park();
        return check(PQprepare(connection_.get(), name, sql.c_str(), 0, nullptr)) != nullptr;
    }
    // Statements without parameters, one or several: the program's own constants alone.
    bool execute(const std::string& sql) {
        park();
        return check(PQexec(connection_.get(), sql.c_str())) != nullptr;
    }

    // Sends a statement without waiting for its result, which owner takes later (take()), so
    // that the server works while the program does. Another statement run meanwhile first
    // waits for the result and keeps it for its owner.
    bool send(const std::string& sql, const void* owner) {
        park();
        if (PQsendQuery(connection_.get(), sql.c_str()) != 1) {
            error_ = firstLine(PQerrorMessage(connection_.get()));
            return false;
        }
        sentFor_ = owner;
        return true;
    }
    // The result of the statement sent for owner; none on an error, or when none was sent.
    Result take(const void* owner) {
        if (sentFor_ == owner)
            park();
        const auto kept = parked_.find(owner);
        if (kept == parked_.end()) {
            error_ = "no statement was sent";
            return nullptr;
        }
        Result result = std::move(kept->second.result);
        if (!result)
            error_ = std::move(kept->second.error);
        parked_.erase(kept);
        return result;
    }
    // Forgets what was sent for owner, its result waited for if need be.
    void drop(const void* owner) {
        if (sentFor_ == owner)
            park();
        parked_.erase(owner);
    }

    const std::string& error() const { return error_; }
    const std::string& state() const { return state_; }
    void fail(std::string why) { error_ = std::move(why); }

    // Whether the server gave up on the statement for another writer's sake (a lock waited for
    // too long, a deadlock, a serialization failure): the write may be tried again.
    bool lostRace() const { return state_ == "55P03" || state_ == "40P01" || state_ == "40001"; }

private:
    // Waits for the result of the statement sent, if any, and keeps it for its owner.
    void park() {
        if (sentFor_ == nullptr)
            return;
        Result last;
        while (PGresult* raw = PQgetResult(connection_.get()))
            last.reset(raw);
        Parked& parked = parked_[sentFor_];
        parked.result = check(last.release());
        if (!parked.result)
            parked.error = error_;
        sentFor_ = nullptr;
    }

    Result check(PGresult* raw) {
        Result result(raw);
        const auto status = PQresultStatus(raw);
        if (raw != nullptr && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK))
            return result;
        const char* primary =
            raw != nullptr ? PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        const char* state = raw != nullptr ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
        error_ = primary != nullptr ? primary : firstLine(PQerrorMessage(connection_.get()));
        state_ = state != nullptr ? state : "";
        return nullptr;
    }

    std::unique_ptr<PGconn, ConnectionFree> connection_;
    std::string error_;
    std::string state_;
    // The statement sent and not yet waited for, and the results waited for and not yet taken,
    // by their owners.
    struct Parked {
        Result result;
        std::string error; // when it failed
    };
    const void* sentFor_ = nullptr;
    std::map<const void*, Parked> parked_;
};

std::string_view text(const PGresult* result, int row, int column) {
    return {PQgetvalue(result, row, column),
            static_cast<std::size_t>(PQgetlength(result, row, column))};
}

template <typename Number> std::optional<Number> number(std::string_view digits) {
    Number value{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

// bytea as the server writes it in hex: \x and two digits a byte. Read by a table, as every
// event's hash is: a national inventory reads a million of them.
std::optional<Hash> readHash(std::string_view text) {
    static constexpr auto values = [] {
        std::array<signed char, 256> table{};
        table.fill(-1);
        for (std::size_t digit = 0; digit < 10; ++digit)
            table['0' + digit] = static_cast<signed char>(digit);
        for (std::size_t digit = 0; digit < 6; ++digit)
            table['a' + digit] = static_cast<signed char>(10 + digit);
        return table;
    }();
    Hash hash{};
    if (text.size() != 2 + 2 * hash.size() || !text.starts_with("\\x"))
        return std::nullopt;
    int invalid = 0;
    for (std::size_t i = 0; i < hash.size(); ++i) {
        const int high = values[static_cast<unsigned char>(text[2 + 2 * i])];
        const int low = values[static_cast<unsigned char>(text[3 + 2 * i])];
        invalid |= high | low;
        hash[i] = static_cast<unsigned char>(high << 4 | low);
    }
    if (invalid < 0)
        return std::nullopt;
    return hash;
}

// The columns an event is read from, in the order readEvent() takes them.
enum ReadColumn {
    readSeq,
    readSource,
    readKind,
    readOn,
    readRecordedAt,
    readBy,
    readReason,
    readDocument,
    readTarget,
    readFields,
    readOldValues,
    readHashColumn,
};

std::string selectEvents() {
    // The day as the session's ISO DateStyle writes it; the moment in seconds since the epoch.
    return "SELECT seq, source, kind, on_day, extract(epoch FROM recorded_at)::bigint, "
           "recorded_by, reason, document, target, packed_fields, packed_old, hash FROM "
           "dovrin.journal";
}

// Reads the fields as packed() packs them; false for any other text. An empty text gives none.
bool readPacked(std::string_view text, FieldValues& values) {
    if (text.empty()) {
        for (std::string& value : values)
            value.clear();
        return true;
    }
    for (std::string& value : values) {
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos)
            return false;
        const auto length =
            colon == 0 ? std::optional<std::size_t>(0) : number<std::size_t>(text.substr(0, colon));
        if (!length || *length > text.size() - colon - 1)
            return false;
        value.assign(text.substr(colon + 1, *length));
        text.remove_prefix(colon + 1 + *length);
    }
    return text.empty();
}

// Reads a row of selectEvents() into event; false with why for a row that is not an event.
bool readEvent(const PGresult* rows, int row, Event& event, std::string& why) {
    const auto column = [&](ReadColumn read) { return text(rows, row, read); };
    const auto seq = number<std::uint64_t>(column(readSeq));
    const auto kind = kindNamed(column(readKind));
    const auto on = readDay(column(readOn));
    const auto seconds = number<std::int64_t>(column(readRecordedAt));
    const auto target = number<std::uint64_t>(column(readTarget));
    if (!seq || !kind || !on || !seconds || !target) {
        why = "event " + std::string(column(readSeq)) + " cannot be read (its kind, day or moment)";
        return false;
    }
    event.seq = *seq;
    event.source = column(readSource);
    event.kind = *kind;
    event.on = *on;
    event.recordedAt = std::chrono::sys_seconds(std::chrono::seconds(*seconds));
    event.by = column(readBy);
    event.reason = column(readReason);
    event.document = column(readDocument);
    event.target = *target;
    if (!readPacked(column(readFields), event.values) ||
        !readPacked(column(readOldValues), event.previous)) {
        why = "event " + std::to_string(event.seq) + " has fields that cannot be read";
        return false;
    }
    if (const auto hash = readHash(column(readHashColumn)))
        event.hash = *hash;
    else
        event.hash.fill(0); // verify names the event
    return true;
}

// The open reads of a connection outside a write: they share one read-only snapshot, begun with
// the first and ended with the last, so that a long read sees the registry of one moment. A read
// begun while a write is open lives in the write's transaction instead, which it must not end.
struct Reads {
    int open = 0;
    bool writing = false;
    unsigned named = 0; // cursors named so far on the connection
};

// Events a few thousand rows at a time from a cursor on the server, so that a registry of any
// size is read in little memory; or, for one source's few, all at once in one round trip.
class PostgresCursor final : public EventCursor {
public:
    enum class Reading { inBatches, atOnce };
    // inWrite: the cursor lives in the write's transaction; else it begins, or joins, a read.
    PostgresCursor(Connection& connection, Reads& reads, bool inWrite, const std::string& sql,
                   std::span<const Parameter> parameters, Reading reading = Reading::inBatches)
        : connection_(connection)
        , reads_(reads)
        , ownsRead_(!inWrite && !reads.writing)
        , name_("events_" + std::to_string(++reads.named)) {
        if (ownsRead_ && reads_.open++ == 0 &&
            !connection_.execute("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) {
            error_ = connection_.error();
            return;
        }
        if (reading == Reading::atOnce) {
            rows_ = connection_.run(sql, parameters);
            done_ = true;
        } else {
            declared_ = static_cast<bool>(
                connection_.run("DECLARE " + name_ + " NO SCROLL CURSOR FOR " + sql, parameters));
            sent_ = declared_ && fetchNext();
        }
        if (!rows_ && !sent_)
            error_ = connection_.error();
    }
    ~PostgresCursor() override {
        if (sent_)
            connection_.drop(this);
        if (declared_)
            connection_.execute("CLOSE " + name_);
        if (ownsRead_ && --reads_.open == 0)
            connection_.execute("COMMIT");
    }
    PostgresCursor(const PostgresCursor&) = delete;
    PostgresCursor& operator=(const PostgresCursor&) = delete;

    Event* next() override {
        if (!error_.empty())
            return nullptr;
        if (row_ == PQntuples(rows_.get())) {
            if (done_)
                return nullptr;
            rows_ = connection_.take(this);
            sent_ = false;
            row_ = 0;
            done_ = PQntuples(rows_.get()) < fetchRows;
            // The next rows are fetched while these are read.
            if (!rows_ || (!done_ && !(sent_ = fetchNext()))) {
                error_ = connection_.error();
                return nullptr;
            }
            if (PQntuples(rows_.get()) == 0)
                return nullptr;
        }
        return readEvent(rows_.get(), row_++, event_, error_) ? &event_ : nullptr;
    }
    std::string error() const override { return error_; }

private:
    bool fetchNext() {
        return connection_.send("FETCH FORWARD " + std::to_string(fetchRows) + " FROM " + name_,
                                this);
    }

    Connection& connection_;
    Reads& reads_;
    bool ownsRead_;
    std::string name_;
    bool declared_ = false;
    bool sent_ = false; // a fetch is on its way
    Result rows_;
    int row_ = 0;
    bool done_ = false;
    Event event_;
    std::string error_;
};

// The SQL and parameters of a cursor over one holder's events: the given role's, or none for
// the connecting role's own.
struct Query {
    std::string sql;
    std::vector<Parameter> parameters;
};
Query holderEvents(const std::optional<std::string>& role, const EventFilter& filter,
                   std::string_view order) {
    Query query{selectEvents() + " WHERE holder = ", {}};
    const auto parameter = [&](const std::string& value) {
        query.parameters.emplace_back(value);
        return "$" + std::to_string(query.parameters.size());
    };
    query.sql += role ? parameter(*role) : "current_user";
    if (filter.source)
        query.sql += " AND source = " + parameter(*filter.source);
    if (filter.recordedUpTo)
        query.sql +=
            " AND recorded_at <= " + parameter(momentText(*filter.recordedUpTo)) + "::timestamptz";
    query.sql += " ORDER BY " + std::string(order);
    return query;
}

// The connecting holder's last event recorded up to the moment (none: of all), and its moment.
struct LastEvent {
    Head head;
    std::optional<std::chrono::sys_seconds> recordedAt; // none without events
};
std::optional<LastEvent> readLast(Connection& connection,
                                  std::optional<std::chrono::sys_seconds> recordedUpTo = {}) {
    std::vector<Parameter> upTo;
    if (recordedUpTo)
        upTo.emplace_back(momentText(*recordedUpTo));
    // In the key's order, so that the server reads the key backwards from its end, whatever it
    // knows of the table's size.
    const Result last =
        connection.run(std::string("SELECT seq, hash, extract(epoch FROM recorded_at)::bigint FROM "
                                   "dovrin.journal WHERE holder = current_user") +
                           (recordedUpTo ? " AND recorded_at <= $1::timestamptz" : "") +
                           " ORDER BY holder DESC, seq DESC LIMIT 1",
                       upTo);
    if (!last)
        return std::nullopt;
    LastEvent found;
    if (PQntuples(last.get()) == 0)
        return found;
    const auto seq = number<std::uint64_t>(text(last.get(), 0, 0));
    const auto hash = readHash(text(last.get(), 0, 1));
    const auto seconds = number<std::int64_t>(text(last.get(), 0, 2));
    if (!seq || !seconds) {
        connection.fail("the last event's number or moment cannot be read");
        return std::nullopt;
    }
    found.head.seq = *seq;
    if (hash)
        found.head.hash = *hash;
    found.recordedAt = std::chrono::sys_seconds(std::chrono::seconds(*seconds));
    return found;
}

std::string hexBytea(const Hash& hash) {
    return "\\x" + hexText(hash);
}

// The statement that appends rows events of the connecting role's holder.
std::string insertEvents(std::size_t rows) {
    std::string columns;
    for (const std::string_view column : leadingColumns)
        columns += std::string(column) + ", ";
    for (const std::string_view field : fieldNames)
        columns += quoted(field) + ", ";
    for (const std::string_view field : fieldNames)
        columns += oldName(field) + ", ";
    std::string sql = "INSERT INTO dovrin.journal (" + columns + "hash) VALUES ";
    std::size_t count = 0;
    const auto next = [&](std::string_view cast = {}) {
        return "$" + std::to_string(++count) + std::string(cast);
    };
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row == 0 ? "(" : ", (";
        for (const std::string_view column : leadingColumns)
            sql += next(column == "on_day"        ? "::date"
                        : column == "recorded_at" ? "::timestamptz"
                                                  : "") +
                   ", ";
        for (std::size_t i = 0; i < 2 * fieldNames.size(); ++i)
            sql += next() + ", ";
        sql += next("::bytea") + ")";
    }
    return sql;
}

// A value the server would cut short at its first zero byte: refused rather than stored changed.
bool holdsZeroByte(const Event& event) {
    const auto zero = [](const std::string& text) { return text.find('\0') != std::string::npos; };
    return zero(event.source) || zero(event.by) || zero(event.reason) || zero(event.document) ||
           std::ranges::any_of(event.values, zero) || std::ranges::any_of(event.previous, zero);
}

class PostgresTransaction final : public Transaction {
public:
    PostgresTransaction(Connection& connection, Reads& reads, Head head,
                        std::chrono::sys_seconds now)
        : connection_(connection)
        , reads_(reads)
        , head_(head)
        , now_(now) {
        reads_.writing = true;
    }
    ~PostgresTransaction() override {
        if (!committed_)
            connection_.execute("ROLLBACK");
        reads_.writing = false;
    }
    PostgresTransaction(const PostgresTransaction&) = delete;
    PostgresTransaction& operator=(const PostgresTransaction&) = delete;

    bool append(Event& event) override {
        if (holdsZeroByte(event)) {
            error_ = "a value of event of " + event.source + " holds a zero byte";
            return false;
        }
        sealEvent(event, head_, now_);
        pending_.emplace_back(std::to_string(event.seq));
        pending_.emplace_back(event.source);
        pending_.emplace_back(std::string(nameOf(event.kind)));
        pending_.emplace_back(dayText(event.on));
        pending_.emplace_back(momentText(event.recordedAt));
        pending_.emplace_back(event.by);
        pending_.emplace_back(event.reason);
        pending_.emplace_back(event.document);
        pending_.emplace_back(std::to_string(event.target));
        const auto orNull = [](const std::string& value) {
            return value.empty() ? Parameter() : Parameter(value);
        };
        std::ranges::transform(event.values, std::back_inserter(pending_), orNull);
        std::ranges::transform(event.previous, std::back_inserter(pending_), orNull);
        pending_.emplace_back(hexBytea(event.hash));
        head_ = {event.seq, event.hash};
        return pending_.size() < appendRows * columnCount || send();
    }

    std::unique_ptr<EventCursor> eventsOf(std::string_view source) override {
        if (!send())
            return std::make_unique<FailedCursor>(error_);
        EventFilter filter;
        filter.source = std::string(source);
        const Query query = holderEvents(std::nullopt, filter, "seq");
        return std::make_unique<PostgresCursor>(connection_, reads_, true, query.sql,
                                                query.parameters, PostgresCursor::Reading::atOnce);
    }

    std::unique_ptr<EventCursor> eventsBySource() override {
        if (!send())
            return std::make_unique<FailedCursor>(error_);
        const Query query = holderEvents(std::nullopt, {}, "source, seq");
        return std::make_unique<PostgresCursor>(connection_, reads_, true, query.sql,
                                                query.parameters);
    }

    // A write's ids are few next to the registry's, and kept in memory: a temporary table would
    // cost a round trip to the server for each.
    std::optional<std::uint64_t> meet(std::string_view source, std::uint64_t row) override {
        const auto [met, added] = met_.try_emplace(std::string(source), row);
        return added ? std::nullopt : std::optional(met->second);
    }
    bool met(std::string_view source) override { return met_.contains(std::string(source)); }

    Head head() const override { return head_; }

    bool commit() override {
        if (!send())
            return false;
        if (!connection_.execute("COMMIT")) {
            error_ = connection_.error();
            return false;
        }
        committed_ = true;
        return true;
    }

    std::string error() const override { return error_; }

private:
    // Sends the events appended and not yet sent, in one statement: a full batch by the
    // statement prepared for it. An event the server refuses fails the write when it is sent
    // (at the latest on commit), and the whole write rolls back.
    bool send() {
        if (!error_.empty())
            return false;
        if (pending_.empty())
            return true;
        const bool full = pending_.size() == appendRows * columnCount;
        const bool sent = full ? static_cast<bool>(connection_.runPrepared("append", pending_))
                               : static_cast<bool>(connection_.run(
                                     insertEvents(pending_.size() / columnCount), pending_));
        pending_.clear();
        if (!sent)
            error_ = connection_.error();
        return sent;
    }

    Connection& connection_;
    Reads& reads_;
    Head head_;
    std::chrono::sys_seconds now_;
    std::vector<Parameter> pending_; // the values of events appended, not yet sent
    bool committed_ = false;
    std::map<std::string, std::uint64_t> met_;
    std::string error_;
};

// Who the connecting role is in the registry.
struct Standing {
    std::string role;
    bool mighty = false; // the owner or a superuser, whom no policy holds back
    std::optional<Holder> holder;
};

std::unique_ptr<Connection> connect(const std::string& address, std::string& error) {
    std::unique_ptr<PGconn, ConnectionFree> raw(PQconnectdb(address.c_str()));
    if (!raw || PQstatus(raw.get()) != CONNECTION_OK) {
        error = "cannot connect to the registry: " +
                (raw ? firstLine(PQerrorMessage(raw.get())) : std::string("out of memory"));
        return nullptr;
    }
    // Texts as they are, byte for byte: the fields' lengths the server counts are then the
    // program's.
    if (const char* encoding = PQparameterStatus(raw.get(), "server_encoding");
        encoding == nullptr || std::string_view(encoding) != "UTF8") {
        error = "the database's encoding is " + std::string(encoding ? encoding : "unknown") +
                ": a registry keeps its texts in UTF8";
        return nullptr;
    }
    auto connection = std::make_unique<Connection>(raw.release());
    if (!connection->execute("SET client_encoding = 'UTF8'; SET lock_timeout = '" +
                             std::string(lockWait) +
                             "'; SET client_min_messages = error; SET DateStyle = ISO")) {
        error = "cannot set up the connection: " + connection->error();
        return nullptr;
    }
    return connection;
}

// The registry's version and the role's standing in it; none, with why, for a database without
// a registry of this schema.
std::optional<Standing> readStanding(Connection& connection, std::string& error) {
    const Result about = connection.run(
        "SELECT current_user, (SELECT rolsuper OR rolbypassrls FROM pg_roles WHERE rolname = "
        "current_user) OR pg_has_role(current_user, (SELECT relowner FROM pg_class WHERE oid = "
        "to_regclass('dovrin.journal')), 'USAGE'), to_regclass('dovrin.about') IS NOT NULL");
    if (!about) {
        error = "cannot read the registry: " + connection.error();
        return std::nullopt;
    }
    Standing standing{std::string(text(about.get(), 0, 0)), text(about.get(), 0, 1) == "t", {}};
    if (text(about.get(), 0, 2) != "t") {
        error = "the database holds no registry (registry init makes one)";
        return std::nullopt;
    }
    const Result version = connection.run("SELECT schema_version FROM dovrin.about");
    if (!version || PQntuples(version.get()) != 1) {
        error = "cannot read the registry: " +
                (version ? std::string("its version is missing") : connection.error());
        return std::nullopt;
    }
    const auto found = number<int>(text(version.get(), 0, 0));
    if (found != schemaVersion) {
        error = "the registry has schema version " + std::string(text(version.get(), 0, 0)) +
                ", and this dovrin-register reads version " + std::to_string(schemaVersion);
        return std::nullopt;
    }
    const Result holder =
        connection.run("SELECT name, licence FROM dovrin.holder WHERE role = current_user");
    if (!holder) {
        error = "cannot read the registry's holders: " + connection.error();
        return std::nullopt;
    }
    if (PQntuples(holder.get()) == 1)
        standing.holder =
            Holder{std::string(text(holder.get(), 0, 0)), std::string(text(holder.get(), 0, 1))};
    return standing;
}

std::string mightyRefusal(const std::string& role) {
    return "the role " + role +
           " owns the registry or passes its policies: connect as a holder's or an inspector's "
           "own role";
}

class PostgresStore final : public Store {
public:
    PostgresStore(std::unique_ptr<Connection> connection, Holder holder, Access access)
        : connection_(std::move(connection))
        , holder_(std::move(holder))
        , access_(access) {}

    const Holder& holder() const override { return holder_; }

    std::optional<Head> head(std::optional<std::chrono::sys_seconds> recordedUpTo) override {
        const auto last = readLast(*connection_, recordedUpTo);
        if (!last)
            error_ = connection_->error();
        return last ? std::optional(last->head) : std::nullopt;
    }

    std::unique_ptr<EventCursor> events(const EventFilter& filter) override {
        return cursor(filter, "seq");
    }
    std::unique_ptr<EventCursor> eventsBySource(const EventFilter& filter) override {
        return cursor(filter, "source, seq");
    }

    std::unique_ptr<Transaction> beginWrite(std::chrono::sys_seconds now) override {
        if (access_ != Access::write || reads_.open > 0) {
            error_ = access_ != Access::write ? "the registry was opened to be read"
                                              : "a read of the registry is still open";
            return nullptr;
        }
        if (!prepared_) {
            prepared_ = connection_->prepare("append", insertEvents(appendRows));
            if (!prepared_) {
                error_ = connection_->error();
                return nullptr;
            }
        }
        for (int attempt = 1;; ++attempt) {
            if (const auto last = beginTurn()) {
                if (last->recordedAt && *last->recordedAt > now) {
                    connection_->execute("ROLLBACK");
                    error_ = "the clock says " + momentText(now) + ", before " + holder_.name +
                             "'s last event (recorded " + momentText(*last->recordedAt) +
                             "): set the clock right first";
                    return nullptr;
                }
                return std::make_unique<PostgresTransaction>(*connection_, reads_, last->head, now);
            }
            connection_->execute("ROLLBACK");
            if (!connection_->lostRace() || attempt == writeAttempts)
                break;
        }
        error_ = connection_->lostRace()
                     ? "the registry is busy: another writer of " + holder_.name +
                           " kept it past the wait (" + std::string(lockWait) + ")"
                     : connection_->error();
        return nullptr;
    }

    std::string checkStorage() override {
        const Result check = connection_->run(
            "SELECT (SELECT count(*) FROM pg_trigger WHERE tgrelid = 'dovrin.journal'::regclass "
            "AND NOT tgisinternal AND tgenabled <> 'D'), (SELECT relrowsecurity FROM pg_class "
            "WHERE oid = 'dovrin.journal'::regclass)");
        if (!check)
            return connection_->error();
        if (text(check.get(), 0, 0) != "3")
            return "the journal's triggers are not all in place (" +
                   std::string(text(check.get(), 0, 0)) + " of 3 enabled)";
        if (text(check.get(), 0, 1) != "t")
            return "the journal's row-level security is off";
        return {};
    }

    std::string error() const override { return error_; }

private:
    // Begins the write once the holder's other writers are done: the last event read after the
    // lock is the one this write follows.
    std::optional<LastEvent> beginTurn() {
        if (!connection_->execute("BEGIN; SELECT pg_advisory_xact_lock(" + std::string(lockKey) +
                                  ", hashtext(current_user))"))
            return std::nullopt;
        return readLast(*connection_);
    }

    std::unique_ptr<EventCursor> cursor(const EventFilter& filter, std::string_view order) {
        const Query query = holderEvents(std::nullopt, filter, order);
        return std::make_unique<PostgresCursor>(*connection_, reads_, false, query.sql,
                                                query.parameters);
    }

    std::unique_ptr<Connection> connection_;
    Holder holder_;
    Access access_;
    Reads reads_;
    bool prepared_ = false;
    std::string error_;
};

class PostgresNational final : public NationalRegistry {
public:
    // Every holder is read in one snapshot: the national inventory of one moment.
    explicit PostgresNational(std::unique_ptr<Connection> connection)
        : connection_(std::move(connection)) {
        if (connection_->execute("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))
            reads_.open = 1; // the cursors join it, and none ends it
    }

    std::optional<std::vector<RegistryHolder>> holders() override {
        const Result rows = connection_->run(
            "SELECT role, name, licence FROM dovrin.holder ORDER BY name COLLATE \"C\"");
        if (!rows) {
            error_ = connection_->error();
            return std::nullopt;
        }
        std::vector<RegistryHolder> holders;
        for (int row = 0; row < PQntuples(rows.get()); ++row)
            holders.push_back(
                {std::string(text(rows.get(), row, 0)),
                 {std::string(text(rows.get(), row, 1)), std::string(text(rows.get(), row, 2))}});
        return holders;
    }

    std::unique_ptr<EventCursor> eventsBySource(const std::string& role,
                                                const EventFilter& filter) override {
        const Query query = holderEvents(role, filter, "source, seq");
        return std::make_unique<PostgresCursor>(*connection_, reads_, false, query.sql,
                                                query.parameters);
    }

    std::string error() const override { return error_; }

private:
    std::unique_ptr<Connection> connection_;
    Reads reads_;
    std::string error_;
};

// Connects as the registry's owner for one of the owner's commands.
std::unique_ptr<Connection> connectAsOwner(const std::string& address, std::string& error) {
    auto connection = connect(address, error);
    if (!connection)
        return nullptr;
    std::string why;
    const auto standing = readStanding(*connection, why);
    if (!standing) {
        error = why;
        return nullptr;
    }
    if (!standing->mighty) {
        error = "the role " + standing->role +
                " does not own the registry: its owner adds holders "
                "and inspectors";
        return nullptr;
    }
    return connection;
}

} // namespace

bool isRegistryAddress(std::string_view text) {
    if (text.starts_with("postgresql://") || text.starts_with("postgres://"))
        return true;
    // libpq's key=value words, known by their first word being one of libpq's keys (service,
    // host, dbname, ...): a file's name may hold an '=' too, and "./host=x" names such a file.
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return false;
    std::string_view key = text.substr(0, equals);
    while (key.ends_with(' '))
        key.remove_suffix(1);
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> names;
        const std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
            PQconndefaults(), &PQconninfoFree);
        for (const PQconninfoOption* option = options.get(); option && option->keyword; ++option)
            names.emplace_back(option->keyword);
        return names;
    }();
    return std::ranges::find(keys, key) != keys.end();
}

Opening openRegistry(const std::string& address, Access access) {
    Opening opening;
    auto connection = connect(address, opening.error);
    if (!connection)
        return opening;
    const auto standing = readStanding(*connection, opening.error);
    if (!standing)
        return opening;
    if (standing->mighty) {
        opening.error = mightyRefusal(standing->role);
        return opening;
    }
    if (!standing->holder) {
        opening.error = "the role " + standing->role +
                        " holds no register in the registry (an inspector reads the national "
                        "inventory: registry URI --as-of DATE)";
        return opening;
    }
    if (access == Access::read &&
        !connection->execute("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")) {
        opening.error = connection->error();
        return opening;
    }
    opening.store =
        std::make_unique<PostgresStore>(std::move(connection), *standing->holder, access);
    return opening;
}

NationalOpening openNationalRegistry(const std::string& address) {
    NationalOpening opening;
    auto connection = connect(address, opening.error);
    if (!connection)
        return opening;
    const auto standing = readStanding(*connection, opening.error);
    if (!standing)
        return opening;
    if (standing->mighty) {
        opening.error = mightyRefusal(standing->role);
        return opening;
    }
    if (!connection->execute("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")) {
        opening.error = connection->error();
        return opening;
    }
    opening.registry = std::make_unique<PostgresNational>(std::move(connection));
    return opening;
}

std::string createRegistry(const std::string& address, std::chrono::sys_seconds now) {
    std::string error;
    auto connection = connect(address, error);
    if (!connection)
        return error;
    const Result exists = connection->run("SELECT to_regnamespace('dovrin') IS NOT NULL");
    if (!exists)
        return "cannot read the database: " + connection->error();
    if (text(exists.get(), 0, 0) == "t")
        return "the database already holds a registry: init makes a new one only";
    const std::vector<Parameter> created{momentText(now), std::to_string(schemaVersion)};
    if (!connection->execute("BEGIN") || !connection->execute(schemaSql()) ||
        !connection->run("INSERT INTO dovrin.about VALUES ($2::integer, $1::timestamptz)",
                         created) ||
        !connection->execute("COMMIT"))
        return "cannot make the registry: " + connection->error();
    return {};
}

std::string addRegistryHolder(const std::string& address, const RegistryHolder& holder,
                              std::chrono::sys_seconds now) {
    std::string error;
    auto connection = connectAsOwner(address, error);
    if (!connection)
        return error;
    const std::vector<Parameter> values{holder.role, holder.holder.name, holder.holder.licence,
                                        momentText(now)};
    if (!connection->run("SELECT dovrin.add_holder($1, $2, $3, $4::timestamptz)", values))
        return "cannot add the holder " + holder.holder.name + ": " + connection->error();
    return {};
}

std::string addRegistryInspector(const std::string& address, const std::string& role) {
    std::string error;
    auto connection = connectAsOwner(address, error);
    if (!connection)
        return error;
    const std::vector<Parameter> values{role};
    if (!connection->run("SELECT dovrin.add_inspector($1)", values))
        return "cannot add the inspector " + role + ": " + connection->error();
    return {};
}

} // namespace dovrin::store
