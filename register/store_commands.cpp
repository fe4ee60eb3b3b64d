#include "store_commands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "calendar.h"
#include "command_line.h"
#include "csv.h"
#include "decay.h"
#include "events.h"
#include "fold.h"
#include "inventory_input.h"
#include "number_text.h"
#include "output_files.h"
#include "plain_text.h"
#include "postgres_store.h"

namespace dovrin {

namespace {

using namespace store;

constexpr std::string_view programName = "dovrin-register";
constexpr std::array<std::string_view, 6> commandNames{"init",    "import", "record",
                                                       "history", "export", "verify"};
constexpr std::size_t problemsListed = 10;

} // namespace

Words readWords(std::span<const std::string_view> words,
                std::initializer_list<std::string_view> flagNames,
                std::initializer_list<std::string_view> repeatable) {
    Words read;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (!word.starts_with('-') || word == "-") {
            read.operands.push_back(word);
            continue;
        }
        if (std::ranges::find(flagNames, word) != flagNames.end()) {
            read.flags.push_back(word);
            continue;
        }
        const std::size_t equals = word.starts_with("--") ? word.find('=') : word.npos;
        const std::string_view name = word.substr(0, equals);
        std::string_view value;
        if (equals != word.npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            read.error = std::string(name) + " needs a value";
            return read;
        }
        if (read.option(name) && std::ranges::find(repeatable, name) == repeatable.end()) {
            read.error = std::string(name) + " is given twice";
            return read;
        }
        read.options.emplace_back(name, value);
    }
    return read;
}

std::string unknownOption(const Words& words, std::initializer_list<std::string_view> names) {
    for (const auto& [name, value] : words.options)
        if (std::ranges::find(names, name) == names.end())
            return "unknown option '" + std::string(name) + "'";
    return {};
}

int refuse(std::FILE* standardError, std::string_view why) {
    std::fprintf(standardError, "%s: %.*s\n", programName.data(), static_cast<int>(why.size()),
                 why.data());
    return 2;
}

namespace {

std::chrono::year_month_day dayOf(LocalTime moment) {
    return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(moment)};
}

// --on: a day, yyyy-mm-dd, not after today.
std::optional<std::chrono::year_month_day> readOn(const Words& words, LocalTime now,
                                                  std::string& error) {
    const auto text = words.option("--on");
    if (!text) {
        error = "--on gives the day it happened (yyyy-mm-dd)";
        return std::nullopt;
    }
    const auto day = readDay(*text);
    if (!day)
        error = "--on takes yyyy-mm-dd, not '" + std::string(*text) + "'";
    else if (*day > dayOf(now))
        error = "--on " + std::string(*text) + " is after today: record what has happened";
    return error.empty() ? day : std::nullopt;
}

std::optional<std::uint64_t> readSeq(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
}

// All the events of one source, in seq order, from a cursor.
bool readAll(EventCursor& cursor, std::vector<Event>& events, std::string& error) {
    events.clear();
    while (const Event* event = cursor.next())
        events.push_back(*event);
    error = cursor.error();
    return error.empty();
}

// The fields of the event as they stand after the corrections among events.
FieldValues correctedValues(const Event& target, std::span<const Event> events) {
    FieldValues values = target.values;
    for (const Event& event : events)
        if (event.kind == Kind::correct && event.target == target.seq)
            for (std::size_t i = 0; i < fieldNames.size(); ++i)
                if (!event.values[i].empty())
                    values[i] = event.values[i];
    return values;
}

bool isVoided(std::uint64_t seq, std::span<const Event> events) {
    return std::ranges::any_of(
        events, [&](const Event& e) { return e.kind == Kind::voided && e.target == seq; });
}

// "field: old -> new; ..." of the fields that differ.
std::string changesText(const FieldValues& before, const FieldValues& after) {
    std::string text;
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        if (!after[i].empty() && after[i] != before[i])
            text += (text.empty() ? "" : "; ") + std::string(fieldNames[i]) + ": " +
                    (before[i].empty() ? "(none)" : before[i]) + " -> " + after[i];
    return text;
}

std::string headLine(const std::optional<Head>& head) {
    return head ? registerHeadText(*head) : std::string("register: last event unknown");
}

// init REGISTER --holder NAME [--licence TEXT]
int init(const Words& words, std::FILE* standardError, LocalTime now) {
    if (std::string why = unknownOption(words, {"--holder", "--licence"}); !why.empty())
        return refuse(standardError, why);
    if (words.operands.size() != 1)
        return refuse(standardError, "init takes one register file: init REGISTER --holder NAME");
    const auto holder = words.option("--holder");
    if (!holder || trimBlanks(*holder).empty())
        return refuse(standardError, "init needs the register's holder (--holder NAME)");
    const std::string path(words.operands[0]);
    if (isRegistryAddress(path))
        return refuse(standardError, "a registry's holder is added by its owner: registry "
                                     "add-holder URI NAME --role ROLE");
    if (std::string why =
            createRegisterFile(path,
                               {std::string(trimBlanks(*holder)),
                                std::string(trimBlanks(words.option("--licence").value_or("")))},
                               universalTime(now));
        !why.empty())
        return refuse(standardError, why);
    std::fprintf(standardError, "made the register %s, held by %.*s\n", quotedPath(path).c_str(),
                 static_cast<int>(holder->size()), holder->data());
    return 0;
}

// Why the event cannot follow the source's events; empty when it can. Fills a correction's old
// values.
std::string registerProblem(Event& event, std::span<const Event> events) {
    const std::string source = "source '" + event.source + "'";
    if (events.empty() && event.kind != Kind::receive)
        return "no " + source + " in the register (a receive records it first)";
    SourceState state;
    foldSource(events, std::nullopt, state);
    if (event.kind == Kind::receive && state.held)
        return source + " is held already (received by event " + std::to_string(state.receivedBy) +
               "): a correct changes its receipt";
    if (event.kind == Kind::recovered && state.held)
        return source + " is held: only a source lost, stolen or sent away is recovered";
    if (endsCustody(event.kind) && !state.held)
        return source + " is not held, so it cannot be " + std::string(nameOf(event.kind)) +
               (event.kind == Kind::transfer || event.kind == Kind::dispose ? "d" : "");
    if (event.kind != Kind::correct && event.kind != Kind::voided)
        return {};
    const auto target = std::ranges::find(events, event.target, &Event::seq);
    if (target == events.end())
        return "event " + std::to_string(event.target) + " is not one of " + source + "'s";
    if (target->kind == Kind::voided)
        return "event " + std::to_string(event.target) + " is a void, and a void cannot be voided";
    if (isVoided(target->seq, events))
        return "event " + std::to_string(event.target) + " is voided already";
    if (event.kind == Kind::voided)
        return {};
    if (target->kind == Kind::correct)
        return "event " + std::to_string(event.target) +
               " is a correction: correct the event it corrects";
    const std::span<const Field> allowed = fieldsOf(target->kind);
    const FieldValues current = correctedValues(*target, events);
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        if (event.values[i].empty())
            continue;
        if (std::ranges::find(allowed, static_cast<Field>(i)) == allowed.end())
            return "event " + std::to_string(event.target) + " is a " +
                   std::string(nameOf(target->kind)) + ", which has no " +
                   std::string(fieldNames[i]);
        event.previous[i] = current[i];
    }
    return {};
}

// record REGISTER KIND --source ID --on DATE --by NAME [--FIELD VALUE]... [--reason TEXT]
int record(const Words& words, std::FILE* standardError, LocalTime now) {
    if (words.operands.size() != 2)
        return refuse(standardError, "record takes a register and a kind: record REGISTER KIND "
                                     "--source ID --on DATE --by NAME");
    const auto kind = kindNamed(words.operands[1]);
    if (!kind) {
        std::string list;
        for (const std::string_view name : kindNames)
            list += (list.empty() ? "" : ", ") + std::string(name);
        return refuse(standardError, "no kind of event '" + std::string(words.operands[1]) +
                                         "' (one of " + list + ")");
    }
    Event event;
    event.kind = *kind;
    std::string error;
    for (const auto& [name, value] : words.options) {
        std::string fieldName(name.substr(name.starts_with("--") ? 2 : 0));
        std::ranges::replace(fieldName, '-', '_');
        if (name == "--source") {
            event.source = trimBlanks(value);
        } else if (name == "--by") {
            event.by = trimBlanks(value);
        } else if (name == "--reason") {
            event.reason = trimBlanks(value);
        } else if (name == "--document") {
            event.document = trimBlanks(value);
        } else if (name == "--event") {
            const auto seq = readSeq(value);
            if (!seq)
                return refuse(standardError,
                              "--event takes an event's number, not '" + std::string(value) + "'");
            event.target = *seq;
        } else if (name == "--on") {
            const auto on = readOn(words, now, error);
            if (!on)
                return refuse(standardError, error);
            event.on = *on;
        } else if (const auto field = fieldNamed(fieldName); field && name.starts_with("--")) {
            event[*field] = trimBlanks(value);
            if (event[*field].empty())
                return refuse(standardError,
                              std::string(name) + " is empty: an empty value never clears one");
        } else {
            return refuse(standardError, "unknown option '" + std::string(name) + "'");
        }
    }
    if (!words.option("--on"))
        return refuse(standardError, "--on gives the day it happened (yyyy-mm-dd)");
    for (const Field field : {Field::manufactured, Field::lastLeakTest, Field::lastInventory})
        if (!event[field].empty() && !readDay(event[field]))
            return refuse(standardError, "--" + std::string(nameOf(field)) +
                                             " takes yyyy-mm-dd, not '" + event[field] + "'");
    if (std::string why = eventProblem(event); !why.empty())
        return refuse(standardError, why);

    const Opening opening = openStore(std::string(words.operands[0]), Access::write);
    if (!opening.store)
        return refuse(standardError, opening.error);
    const auto transaction = opening.store->beginWrite(universalTime(now));
    if (!transaction)
        return refuse(standardError, opening.store->error());
    std::vector<Event> events;
    if (!readAll(*transaction->eventsOf(event.source), events, error))
        return refuse(standardError, error);
    if (std::string why = registerProblem(event, events); !why.empty())
        return refuse(standardError, why);
    if (!transaction->append(event) || !transaction->commit())
        return refuse(standardError, "nothing recorded: " + transaction->error());
    std::fprintf(standardError, "recorded event %llu: %s of '%s'\n%s\n",
                 static_cast<unsigned long long>(event.seq), nameOf(event.kind).data(),
                 event.source.c_str(), headLine(transaction->head()).c_str());
    return 0;
}

// --known-at, when given: into filter.
bool readKnownAtOption(const Words& words, EventFilter& filter, std::string& error) {
    const auto text = words.option("--known-at");
    if (!text)
        return true;
    filter.recordedUpTo = readKnownAt(*text);
    if (!filter.recordedUpTo)
        error = "--known-at takes yyyy-mm-ddThh:mm[:ss], local time, or the same with a final Z "
                "for UTC; not '" +
                std::string(*text) + "'";
    return filter.recordedUpTo.has_value();
}

// history REGISTER [--source ID] [--from DATE] [--to DATE] [--known-at MOMENT]
int history(const Words& words, std::FILE* standardOutput, std::FILE* standardError) {
    if (std::string why = unknownOption(words, {"--source", "--from", "--to", "--known-at"});
        !why.empty())
        return refuse(standardError, why);
    if (words.operands.size() != 1)
        return refuse(standardError, "history takes one register: history REGISTER");
    EventFilter filter;
    std::string error;
    if (!readKnownAtOption(words, filter, error))
        return refuse(standardError, error);
    if (const auto source = words.option("--source"))
        filter.source = std::string(*source);
    std::optional<std::chrono::year_month_day> from, to;
    for (const auto& [name, day] : {std::pair{"--from", &from}, std::pair{"--to", &to}}) {
        if (const auto text = words.option(name)) {
            *day = readDay(*text);
            if (!*day)
                return refuse(standardError, std::string(name) + " takes yyyy-mm-dd, not '" +
                                                 std::string(*text) + "'");
        }
    }
    const Opening opening = openStore(std::string(words.operands[0]), Access::read);
    if (!opening.store)
        return refuse(standardError, opening.error);
    const auto events = opening.store->events(filter);
    csv::Writer writer(standardOutput);
    std::vector<std::string_view> header{"seq", "id",     "kind",     "on",   "recorded_at",
                                         "by",  "reason", "document", "event"};
    header.insert(header.end(), fieldNames.begin(), fieldNames.end());
    header.insert(header.end(), {"was", "hash"});
    csv::appendRecord(writer.text(), header, ',');
    std::vector<std::string> texts;
    std::vector<std::string_view> fields;
    while (const Event* event = events->next()) {
        if ((from && event->on < *from) || (to && event->on > *to))
            continue;
        texts = {std::to_string(event->seq),
                 event->source,
                 std::string(nameOf(event->kind)),
                 dayText(event->on),
                 momentText(event->recordedAt),
                 event->by,
                 event->reason,
                 event->document,
                 event->target == 0 ? std::string() : std::to_string(event->target)};
        texts.insert(texts.end(), event->values.begin(), event->values.end());
        texts.push_back(previousText(*event));
        texts.push_back(hexText(event->hash));
        fields.assign(texts.begin(), texts.end());
        csv::appendRecord(writer.text(), fields, ',');
        writer.write();
    }
    if (!events->error().empty())
        return refuse(standardError, "cannot read the register: " + events->error());
    if (!writer.flush())
        return refuse(standardError, "cannot write the history: " + systemError(errno));
    return 0;
}

// export REGISTER --as-of DATE -o FILE [--known-at MOMENT]
int exportInventory(const Words& words, std::FILE* standardOutput, std::FILE* standardError) {
    if (std::string why = unknownOption(words, {"--as-of", "-o", "--output", "--known-at"});
        !why.empty())
        return refuse(standardError, why);
    if (words.operands.size() != 1)
        return refuse(standardError, "export takes one register: export REGISTER --as-of DATE "
                                     "-o FILE");
    const auto asOfText = words.option("--as-of");
    const auto asOf = asOfText ? readDay(*asOfText) : std::nullopt;
    if (!asOf)
        return refuse(standardError, "export needs the day of its inventory (--as-of yyyy-mm-dd)");
    const auto output = words.option("-o") ? words.option("-o") : words.option("--output");
    if (!output || output->empty())
        return refuse(standardError, "export needs the file to write (-o FILE, or - for "
                                     "standard output)");
    EventFilter filter;
    std::string error;
    if (!readKnownAtOption(words, filter, error))
        return refuse(standardError, error);
    const std::string path(words.operands[0]);
    const std::vector<NamedOutput> outputs{{"inventory", std::string(*output)}};
    if (std::string why = outputRefusal(path, outputs, nullptr, standardOutput); !why.empty())
        return refuse(standardError, why);
    const Opening opening = openStore(path, Access::read);
    if (!opening.store)
        return refuse(standardError, opening.error);
    OutputFile file;
    if (!file.open(std::string(*output), standardOutput))
        return refuse(standardError, file.error());
    HeldSourceRows rows(opening.store->eventsBySource(filter), *asOf);
    {
        csv::Writer writer(file.stream());
        while (const auto record = rows.next()) {
            csv::appendRecord(writer.text(), record->fields, ',');
            writer.write();
        }
        if (!rows.error().empty())
            return refuse(standardError, "cannot read the register: " + rows.error());
        if (!writer.flush())
            return refuse(standardError, "cannot write " + file.name() + ": " + systemError(errno));
    }
    if (!file.finish() || !file.commit())
        return refuse(standardError, file.error());
    return 0;
}

// verify REGISTER
int verify(const Words& words, std::FILE* standardOutput, std::FILE* standardError) {
    if (std::string why = unknownOption(words, {}); !why.empty())
        return refuse(standardError, why);
    if (words.operands.size() != 1)
        return refuse(standardError, "verify takes one register: verify REGISTER");
    const std::string path(words.operands[0]);
    const Opening opening = openStore(path, Access::read);
    if (!opening.store)
        return refuse(standardError, opening.error);
    const auto found = [&](std::string why) {
        std::fprintf(standardOutput, "%s: %s\n", quotedPath(path).c_str(), why.c_str());
        return 1;
    };
    if (std::string why = opening.store->checkStorage(); !why.empty())
        return found("the database is damaged: " + why);
    const auto events = opening.store->events({});
    Head head;
    while (const Event* event = events->next()) {
        if (event->seq != head.seq + 1)
            return found("event " + std::to_string(head.seq + 1) + " is missing");
        if (chainHash(head.hash, *event) != event->hash)
            return found("event " + std::to_string(event->seq) +
                         " does not match its hash: it was changed after it was recorded, or an "
                         "event before it was");
        head = {event->seq, event->hash};
    }
    if (!events->error().empty())
        return found(events->error());
    std::fprintf(standardOutput, "%s: sound, %llu events chained\n%s\n", quotedPath(path).c_str(),
                 static_cast<unsigned long long>(head.seq), registerHeadText(head).c_str());
    return 0;
}

// The fields an import compares as a source's record: a change is a conflict, recorded only as
// a correction with a reason. The location, the status and the dates of the last leak test and
// inventory are what happens to a source, recorded as events of their own.
bool isRecordField(Field field) {
    return field != Field::location && field != Field::status && field != Field::lastLeakTest &&
           field != Field::lastInventory;
}

// Where an inventory's row gives the register's fields that are no column of an inventory's
// evaluation (status, device, ...): by their names in the header.
std::array<std::optional<std::size_t>, fieldNames.size()>
extraColumns(std::span<const std::string_view> header) {
    std::array<std::optional<std::size_t>, fieldNames.size()> columns;
    for (std::size_t i = 0; i < header.size(); ++i) {
        std::string name(trimBlanks(header[i]));
        std::ranges::transform(name, name.begin(), lowerCase);
        const auto field = fieldNamed(name);
        if (field && !columnNamed(name))
            columns[static_cast<std::size_t>(*field)] = i;
    }
    return columns;
}

struct ImportReading {
    DateOrder dateOrder = DateOrder::monthFirst;
    bool decimalComma = false;
    std::chrono::year currentYear{};
    std::array<std::optional<std::size_t>, fieldNames.size()> extras;
};

// "the columns 'a', 'b'" of the inventory that give no field of the register (its
// recorded_category among them), which an import names so that nothing is dropped unsaid.
std::string columnsNotKept(const InventoryReader& reader, const ImportReading& reading) {
    std::string list;
    std::size_t count = 0;
    const std::span<const std::string_view> header = reader.header();
    for (std::size_t i = 0; i < header.size(); ++i) {
        const bool read = std::ranges::find(reader.columns().index, std::optional(i)) !=
                          reader.columns().index.end();
        const auto recorded = reader.columns()[Column::recordedCategory];
        const bool kept =
            (read && recorded != std::optional(i)) ||
            std::ranges::find(reading.extras, std::optional(i)) != reading.extras.end();
        if (!kept) {
            list += (list.empty() ? "'" : ", '") + std::string(header[i]) + "'";
            ++count;
        }
    }
    return count == 0 ? list : (count == 1 ? "the column " : "the columns ") + list;
}

// A date as the register keeps it, yyyy-mm-dd, when it can be read; else the text as it is, so
// that the run gives the row the error the file would.
std::string keptDate(std::string_view text, const ImportReading& reading) {
    const auto date = readDate(text, reading.currentYear, reading.dateOrder);
    return date ? dayText(*date) : std::string(text);
}

void readRowValues(const InventoryRow& row, const ImportReading& reading, FieldValues& values) {
    const auto set = [&](Field field, std::string_view text) {
        values[static_cast<std::size_t>(field)] = trimBlanks(text);
    };
    for (std::string& value : values)
        value.clear();
    set(Field::radionuclide, row.source.radionuclide);
    set(Field::activity, row.source.activity);
    if (reading.decimalComma)
        std::ranges::replace(values[static_cast<std::size_t>(Field::activity)], ',', '.');
    set(Field::unit, row.source.unit);
    set(Field::location, row.location);
    set(Field::leakTestInterval, row.source.duties.leakTestInterval);
    set(Field::inventoryInterval, row.source.duties.inventoryInterval);
    set(Field::workingLife, row.source.duties.workingLife);
    for (const auto& [field, text] :
         {std::pair{Field::manufactured, row.source.manufactured},
          std::pair{Field::lastLeakTest, row.source.duties.lastLeakTest},
          std::pair{Field::lastInventory, row.source.duties.lastInventory}})
        if (const std::string_view trimmed = trimBlanks(text); !trimmed.empty())
            values[static_cast<std::size_t>(field)] = keptDate(trimmed, reading);
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        if (const auto column = reading.extras[i]; column && *column < row.fields.size())
            values[i] = trimBlanks(row.fields[*column]);
}

// One import: reads the rows, plans each one's events against the register and, with
// --commit, records them, all in one write.
class Import {
public:
    Import(Transaction& transaction, const Words& words, std::chrono::year_month_day on,
           LocalTime now, std::FILE* plan)
        : transaction_(transaction)
        , commit_(words.flag("--commit"))
        , reason_(trimBlanks(words.option("--reason").value_or("")))
        , by_(trimBlanks(words.option("--by").value_or("")))
        , document_(trimBlanks(words.option("--document").value_or("")))
        , on_(on)
        , today_(dayOf(now))
        , startedEmpty_(transaction.head().seq == 0)
        , plan_(plan) {
        constexpr std::array<std::string_view, 5> header{"row", "id", "kind", "seq", "detail"};
        csv::appendRecord(plan_.text(), header, ',');
    }

    // Plans and records the events of one row; false when the import cannot go on.
    bool add(const InventoryRow& row, const ImportReading& reading) {
        const std::string rowName = "row " + std::to_string(row.number);
        const std::string_view id = trimBlanks(row.id);
        if (!row.problem.empty())
            return problem(rowName + ": " + row.problem);
        if (id.empty())
            return problem(rowName + " has no id");
        if (startedEmpty_) {
            // An id met twice is found as a source of this write already: no list of the ids
            // met is kept. The write goes on, problems or not, so that every one is found.
            if (!readAll(*transaction_.eventsOf(id), events_, error_))
                return false;
            if (!events_.empty())
                return problem("id '" + std::string(id) + "' again on row " +
                               std::to_string(row.number) + " (an id once per file)");
        } else {
            if (const auto first = transaction_.meet(id, row.number))
                return problem("id '" + std::string(id) + "' on rows " + std::to_string(*first) +
                               " and " + std::to_string(row.number));
            if (problemCount_ > 0)
                return true; // refused already: only the problems are looked for
            if (!readAll(*transaction_.eventsOf(id), events_, error_))
                return false;
        }
        readRowValues(row, reading, values_);
        foldSource(events_, std::nullopt, state_);
        row_ = row.number;
        if (!state_.held)
            return receive(id, rowName);
        return changes(id);
    }

    // The sources held and not met in the file.
    bool listAbsent() {
        if (startedEmpty_)
            return true;
        SourceFolder folder(transaction_.eventsBySource(), std::nullopt);
        while (const SourceState* state = folder.next()) {
            if (!state->held || transaction_.met(state->id))
                continue;
            ++absent_;
            planRow("", state->id, "absent", "",
                    "held, not in the file: stays held until what became of it is recorded");
        }
        error_ = folder.error();
        return error_.empty();
    }

    bool finish() {
        if (commit_ && !transaction_.commit()) {
            error_ = "nothing recorded: " + transaction_.error();
            return false;
        }
        plan_.flush();
        return true;
    }

    std::uint64_t problemCount() const { return problemCount_; }
    // "refused, nothing recorded: row 3 has no id; ..."
    std::string problems() const {
        std::string text = "refused, nothing recorded: " + problems_;
        if (problemCount_ > problemsListed)
            text += "; and " + std::to_string(problemCount_ - problemsListed) + " more";
        return text;
    }
    std::string error() const { return error_.empty() ? transaction_.error() : error_; }
    std::uint64_t conflictsLeft() const { return conflicts_; }

    std::string summary() const {
        std::string text = commit_ ? "recorded " : "would record ";
        std::uint64_t total = 0;
        std::string counts;
        for (std::size_t i = 0; i < kindNames.size(); ++i) {
            total += recorded_[i];
            if (recorded_[i] > 0)
                counts += (counts.empty() ? "" : ", ") + std::to_string(recorded_[i]) + " " +
                          std::string(kindNames[i]);
        }
        text += std::to_string(total) + (total == 1 ? " event" : " events");
        if (!counts.empty())
            text += " (" + counts + ")";
        if (conflicts_ > 0)
            text += "; " + std::to_string(conflicts_) +
                    (conflicts_ == 1 ? " conflict" : " conflicts") +
                    " not recorded (--commit with --reason records them as corrections)";
        if (absent_ > 0)
            text += "; " + std::to_string(absent_) + " held and absent from the file";
        return text + "\n" + headLine(transaction_.head()) + "\n";
    }

private:
    bool problem(std::string text) {
        if (problemCount_++ < problemsListed)
            problems_ += (problems_.empty() ? "" : "; ") + text;
        return true;
    }

    Event newEvent(std::string_view id, Kind kind, std::chrono::year_month_day on) const {
        Event event;
        event.source = id;
        event.kind = kind;
        event.on = on;
        event.by = by_;
        event.document = document_;
        return event;
    }

    void planRow(std::string_view row, std::string_view id, std::string_view kind,
                 std::string_view seq, std::string_view detail) {
        const std::array<std::string_view, 5> fields{row, id, kind, seq, detail};
        csv::appendRecord(plan_.text(), fields, ',');
        plan_.write();
    }

    bool record(Event& event, const std::string& detail) {
        if (commit_ && !transaction_.append(event))
            return false;
        ++recorded_[static_cast<std::size_t>(event.kind)];
        planRow(std::to_string(row_), event.source, nameOf(event.kind),
                commit_ ? std::to_string(event.seq) : std::string(), detail);
        return true;
    }

    bool receive(std::string_view id, const std::string& rowName) {
        Event event = newEvent(id, Kind::receive, on_);
        for (const Field field : sourceFields())
            event[field] = values_[static_cast<std::size_t>(field)];
        if (std::string why = eventProblem(event); !why.empty())
            return problem(rowName + ": " + why);
        return record(event, "");
    }

    // A later day of the file's column than the register's: an event of that kind on it.
    bool laterDay(std::string_view id, Field field, Kind kind) {
        const std::size_t index = static_cast<std::size_t>(field);
        const auto day = readDay(values_[index]);
        const auto known = readDay(state_.values[index]);
        if (!day || (known && *day <= *known))
            return true;
        if (*day > today_) {
            ++conflicts_;
            planRow(std::to_string(row_), id, "conflict", "",
                    std::string(fieldNames[index]) + ": " + values_[index] + " is after today");
            return true;
        }
        Event event = newEvent(id, kind, *day);
        if (kind == Kind::inventoryCheck)
            event[Field::found] = "present";
        return record(event, std::string(fieldNames[index]) + ": " +
                                 (state_.values[index].empty() ? "(none)" : state_.values[index]) +
                                 " -> " + values_[index]);
    }

    // The events of a held source whose row differs from what the register knows.
    bool changes(std::string_view id) {
        for (const auto& [field, kind] :
             {std::pair{Field::location, Kind::move}, std::pair{Field::status, Kind::status}}) {
            const std::string& value = values_[static_cast<std::size_t>(field)];
            if (value.empty() || value == state_.values[static_cast<std::size_t>(field)])
                continue;
            Event event = newEvent(id, kind, on_);
            event[field] = value;
            if (std::string why = eventProblem(event); !why.empty())
                return problem("row " + std::to_string(row_) + ": " + why);
            FieldValues after{};
            after[static_cast<std::size_t>(field)] = value;
            if (!record(event, changesText(state_.values, after)))
                return false;
        }
        if (!laterDay(id, Field::lastLeakTest, Kind::leakTest) ||
            !laterDay(id, Field::lastInventory, Kind::inventoryCheck))
            return false;
        FieldValues changed{};
        bool conflict = false;
        for (const Field field : sourceFields()) {
            const std::size_t index = static_cast<std::size_t>(field);
            if (isRecordField(field) && !values_[index].empty() &&
                values_[index] != state_.values[index]) {
                changed[index] = values_[index];
                conflict = true;
            }
        }
        if (!conflict)
            return true;
        const std::string detail = changesText(state_.values, changed);
        if (!commit_ || reason_.empty()) {
            ++conflicts_;
            planRow(std::to_string(row_), id, "conflict", "", detail);
            return true;
        }
        Event event = newEvent(id, Kind::correct, on_);
        event.values = changed;
        event.target = state_.receivedBy;
        event.reason = reason_;
        if (std::string why = registerProblem(event, events_); !why.empty())
            return problem("row " + std::to_string(row_) + ": " + why);
        return record(event, detail);
    }

    Transaction& transaction_;
    bool commit_;
    std::string reason_;
    std::string by_;
    std::string document_;
    std::chrono::year_month_day on_;
    std::chrono::year_month_day today_;
    bool startedEmpty_;
    csv::Writer plan_;
    std::uint64_t row_ = 0;
    FieldValues values_;
    std::vector<Event> events_;
    SourceState state_;
    std::array<std::uint64_t, kindNames.size()> recorded_{};
    std::uint64_t conflicts_ = 0;
    std::uint64_t absent_ = 0;
    std::uint64_t problemCount_ = 0;
    std::string problems_;
    std::string error_;
};

bool copyFile(std::FILE* from, std::FILE* to) {
    std::rewind(from);
    char block[1 << 16];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, from)) > 0;)
        if (std::fwrite(block, 1, count, to) != count)
            return false;
    return std::ferror(from) == 0 && std::fflush(to) == 0;
}

// import REGISTER INVENTORY --on DATE --by NAME [--commit] [--reason TEXT] [reading options]
int import(std::span<const std::string_view> arguments, std::FILE* standardInput,
           std::FILE* standardOutput, std::FILE* standardError, LocalTime now) {
    const Words words = readWords(arguments, {"--commit", "--decimal-comma"}, {"--column"});
    if (!words.error.empty())
        return refuse(standardError, words.error);
    if (words.operands.size() != 2)
        return refuse(standardError, "import takes a register and an inventory: import REGISTER "
                                     "INVENTORY --on DATE --by NAME");
    RunOptions options;
    options.decimalComma = words.flag("--decimal-comma");
    for (const auto& [name, value] : words.options) {
        if (name == "--on" || name == "--by" || name == "--reason" || name == "--document")
            continue;
        if (name != "--separator" && name != "--column" && name != "--sheet" &&
            name != "--date-order")
            return refuse(standardError, "unknown option '" + std::string(name) + "'");
        if (std::string why = applyRunOption(name, value, options); !why.empty())
            return refuse(standardError, why);
    }
    std::string error;
    const auto on = readOn(words, now, error);
    if (!on)
        return refuse(standardError, error);
    if (trimBlanks(words.option("--by").value_or("")).empty())
        return refuse(standardError, "import needs who records it (--by NAME)");

    const std::string registerPath(words.operands[0]);
    const std::string inventoryPath(words.operands[1]);
    const Opening opening = openStore(registerPath, Access::write);
    if (!opening.store)
        return refuse(standardError, opening.error);
    InventoryFile input;
    if (!input.open(inventoryPath, standardInput, options.inventory))
        return refuse(standardError, input.error());
    InventoryReader reader(input.rows(), options.inventory);
    if (!reader.readHeader())
        return refuse(standardError, reader.error());
    if (!reader.columns()[Column::id])
        return refuse(standardError, quotedPath(inventoryPath) +
                                         " has no id column: an import keys its sources by id");
    const ImportReading reading{options.dateOrder, options.decimalComma, dayOf(now).year(),
                                extraColumns(reader.header())};

    const auto transaction = opening.store->beginWrite(universalTime(now));
    if (!transaction)
        return refuse(standardError, opening.store->error());
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> planFile(std::tmpfile(), &std::fclose);
    if (!planFile)
        return refuse(standardError, "cannot make a temporary file: " + systemError(errno));
    Import import(*transaction, words, *on, now, planFile.get());
    InventoryRow row;
    while (reader.next(row))
        if (!import.add(row, reading))
            return refuse(standardError, "nothing recorded: " + import.error());
    if (const std::string why = reader.readError(); !why.empty())
        return refuse(standardError, "cannot read " + quotedPath(inventoryPath) + ": " + why);
    if (import.problemCount() > 0)
        return refuse(standardError, quotedPath(inventoryPath) + " " + import.problems());
    if (!import.listAbsent() || !import.finish())
        return refuse(standardError, import.error());
    if (!copyFile(planFile.get(), standardOutput))
        return refuse(standardError, "cannot write the import's events: " + systemError(errno));
    std::fputs(import.summary().c_str(), standardError);
    if (const std::string left = columnsNotKept(reader, reading); !left.empty())
        std::fprintf(standardError, "not kept by the register: %s\n", left.c_str());
    return import.conflictsLeft() > 0 ? 1 : 0;
}

} // namespace

bool isStoreCommand(std::string_view word) {
    return std::ranges::find(commandNames, word) != commandNames.end();
}

std::optional<std::chrono::sys_seconds> readKnownAt(std::string_view text) {
    const bool universal = text.ends_with('Z');
    if (universal)
        text.remove_suffix(1);
    std::string full(text);
    if (full.size() == 16)
        full += ":00";
    if (full.size() != 19 || full[16] != ':')
        return std::nullopt;
    const auto minute = readMoment(std::string_view(full).substr(0, 16));
    int seconds = 0;
    const auto [end, error] = std::from_chars(full.data() + 17, full.data() + 19, seconds);
    if (!minute || error != std::errc() || end != full.data() + 19 || seconds > 59 ||
        full[17] == '-' || full[17] == '+')
        return std::nullopt;
    const LocalTime moment = *minute + std::chrono::seconds{seconds};
    if (universal)
        return std::chrono::sys_seconds{
            std::chrono::floor<std::chrono::seconds>(moment.time_since_epoch())};
    return universalTime(moment);
}

int runStoreCommand(std::span<const std::string_view> words, std::FILE* standardInput,
                    std::FILE* standardOutput, std::FILE* standardError, LocalTime now) {
    const std::string_view command = words.front();
    const auto rest = words.subspan(1);
    if (command == "import")
        return import(rest, standardInput, standardOutput, standardError, now);
    const Words read = readWords(rest, {});
    if (!read.error.empty())
        return refuse(standardError, read.error);
    if (command == "init")
        return init(read, standardError, now);
    if (command == "record")
        return record(read, standardError, now);
    if (command == "history")
        return history(read, standardOutput, standardError);
    if (command == "export")
        return exportInventory(read, standardOutput, standardError);
    return verify(read, standardOutput, standardError);
}

} // namespace dovrin
