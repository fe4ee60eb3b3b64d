#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "activity_text.h"
#include "calendar.h"
#include "command_line.h"
#include "csv.h"
#include "events.h"
#include "fold.h"
#include "inventory_input.h"
#include "number_text.h"
#include "plain_text.h"
#include "store_import.h"
#include "store_words.h"

// import: an inventory compared with the register, row by row, and the events that make the
// register agree with it, recorded in one write.

namespace dovrin::store_import {

namespace {

using namespace store;
using store_words::dayOf;
using store_words::headLine;

constexpr std::size_t problemsListed = 10;
// The rows read between two reports of progress: often enough for a progress bar, seldom
// enough to cost nothing beside the rows' own work.
constexpr std::uint64_t rowsPerProgress = 4096;

// "field: old -> new; ..." of the fields that differ.
std::string changesText(const FieldValues& before, const FieldValues& after) {
    std::string text;
    for (std::size_t i = 0; i < fieldNames.size(); ++i)
        if (!after[i].empty() && after[i] != before[i])
            text += (text.empty() ? "" : "; ") + std::string(fieldNames[i]) + ": " +
                    (before[i].empty() ? "(none)" : before[i]) + " -> " + after[i];
    return text;
}

// The fields an import compares as a source's record: a change is a conflict, recorded only as
// a correction with a reason. The location, the status and the dates of the last leak test and
// inventory are what happens to a source, recorded as events of their own.
bool isRecordField(Field field) {
    return field != Field::location && field != Field::status && field != Field::lastLeakTest &&
           field != Field::lastInventory;
}

// Where an inventory's row gives a source's fields that are no column of an inventory's
// evaluation (status, device, ...): by their names in the header. The fields of other events
// (a column "text", say) are not a source's.
std::array<std::optional<std::size_t>, fieldNames.size()>
extraColumns(std::span<const std::string_view> header) {
    std::array<std::optional<std::size_t>, fieldNames.size()> columns;
    for (std::size_t i = 0; i < header.size(); ++i) {
        std::string name(trimBlanks(header[i]));
        std::ranges::transform(name, name.begin(), lowerCase);
        const auto field = fieldNamed(name);
        if (field && !columnNamed(name) &&
            std::ranges::find(sourceFields(), *field) != sourceFields().end())
            columns[static_cast<std::size_t>(*field)] = i;
    }
    return columns;
}

struct ImportReading {
    DateOrder dateOrder = DateOrder::unstated;
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

// The activity's number and its unit as the register keeps them: the unit from its column, else
// from the activity's cell ("250 uCi", "150mCi"), else from the activity's header ("Activity
// (mCi)"), each as the unit tables write it. Texts that cannot be read are kept as they are, so
// that the run gives the row the error the file would.
void keepActivity(const SourceText& source, bool decimalComma, FieldValues& values) {
    std::string& activity = values[static_cast<std::size_t>(Field::activity)];
    std::string& unit = values[static_cast<std::size_t>(Field::unit)];
    activity = trimBlanks(source.activity);
    unit = trimBlanks(source.unit);
    if (decimalComma)
        std::ranges::replace(activity, ',', '.');
    if (!unit.empty())
        return; // the unit's column gives it: the activity's text is kept as it is, unread
    std::string problems;
    const auto read = readActivityTexts(
        {source.activity, source.unit, source.headerUnit, decimalComma}, problems);
    if (!read)
        return;
    // The unit came with the number, or from the header: the number alone, and the unit named.
    const auto unitStart = activity.find_last_of("0123456789.") + 1;
    activity = trimBlanks(std::string_view(activity).substr(0, unitStart));
    unit = read->unit.name;
}

void readRowValues(const InventoryRow& row, const ImportReading& reading, FieldValues& values) {
    const auto set = [&](Field field, std::string_view text) {
        values[static_cast<std::size_t>(field)] = trimBlanks(text);
    };
    for (std::string& value : values)
        value.clear();
    set(Field::radionuclide, row.source.radionuclide);
    keepActivity(row.source, reading.decimalComma, values);
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

// One import: reads the rows, plans each one's events against the register and, when it
// commits, records them, all in one write.
class Import {
public:
    Import(Transaction& transaction, const ImportSetting& setting, bool commit,
           std::string_view reason, LocalTime now, const ImportCalls& calls)
        : transaction_(transaction)
        , commit_(commit)
        , reason_(trimBlanks(reason))
        , by_(trimBlanks(setting.by))
        , document_(trimBlanks(setting.document))
        , on_(setting.on)
        , today_(dayOf(now))
        , startHead_(transaction.head())
        , startedEmpty_(startHead_.seq == 0)
        , planRow_(calls.planRow) {}

    // Plans and records the events of one row; false when the import cannot go on.
    bool add(const InventoryRow& row, const ImportReading& reading) {
        const std::string_view id = trimBlanks(row.id);
        if (!row.problem.empty())
            return problem(rowName(row.number) + ": " + row.problem);
        if (id.empty())
            return problem(rowName(row.number) + " has no id");
        if (startedEmpty_) {
            // An id met twice is found as a source of this write already (see record): no
            // list of the ids met is kept. The write goes on, problems or not, so that every
            // one is found. An id above every one met before (a file sorted by id) is none of
            // them: it is not looked for, and the write's inserts are not held up by a read.
            events_.clear();
            if (id <= highestId_ && !readAll(*transaction_.eventsOf(id), events_, error_))
                return false;
            if (!events_.empty())
                return problem("id '" + std::string(id) + "' again on row " +
                               std::to_string(row.number) + " (an id once per file)");
            if (id > highestId_)
                highestId_ = id;
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
            return receive(id);
        return changes(id);
    }

    // The sources held and not met in the file.
    bool listAbsent() {
        if (startedEmpty_)
            return true;
        SourceFolder folder(transaction_.eventsBySource(), std::nullopt);
        while (const SourceView* state = folder.next()) {
            if (!state->held || transaction_.met(state->id))
                continue;
            ++absent_;
            planRow(std::nullopt, state->id, "absent", std::nullopt,
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
    Head startHead() const { return startHead_; }

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
        // A plan's write is dropped: the register stays at its head before it.
        return text + "\n" + headLine(commit_ ? transaction_.head() : startHead_) + "\n";
    }

private:
    // Made only for a problem's message: most rows have none.
    static std::string rowName(std::uint64_t number) { return "row " + std::to_string(number); }

    bool problem(std::string text) {
        if (problemCount_++ < problemsListed)
            problems_ += (problems_.empty() ? "" : "; ") + text;
        return true;
    }

    // The event to record next: one, made anew in place so that its texts keep their room.
    Event& newEvent(std::string_view id, Kind kind, std::chrono::year_month_day on) {
        Event& event = event_;
        event.source = id;
        event.kind = kind;
        event.on = on;
        event.by = by_;
        event.reason.clear();
        event.document = document_;
        event.target = 0;
        for (std::size_t i = 0; i < fieldNames.size(); ++i) {
            event.values[i].clear();
            event.previous[i].clear();
        }
        return event;
    }

    void planRow(std::optional<std::uint64_t> row, std::string_view id, std::string_view kind,
                 std::optional<std::uint64_t> seq, std::string_view detail) {
        if (planRow_)
            planRow_({row, id, kind, seq, detail});
    }

    bool record(Event& event, const std::string& detail) {
        // Into a register empty at the start, every event is written, even when only planned
        // (the write is then dropped): an id met twice is found so.
        if ((commit_ || startedEmpty_) && !transaction_.append(event))
            return false;
        ++recorded_[static_cast<std::size_t>(event.kind)];
        planRow(row_, event.source, nameOf(event.kind),
                commit_ ? std::optional(event.seq) : std::nullopt, detail);
        return true;
    }

    bool receive(std::string_view id) {
        Event& event = newEvent(id, Kind::receive, on_);
        event.values.swap(values_); // the row's own fields, read anew for the next row
        if (std::string why = eventProblem(event); !why.empty())
            return problem(rowName(row_) + ": " + why);
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
            planRow(row_, id, "conflict", std::nullopt,
                    std::string(fieldNames[index]) + ": " + values_[index] + " is after today");
            return true;
        }
        Event& event = newEvent(id, kind, *day);
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
            Event& event = newEvent(id, kind, on_);
            event[field] = value;
            if (std::string why = eventProblem(event); !why.empty())
                return problem(rowName(row_) + ": " + why);
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
            planRow(row_, id, "conflict", std::nullopt, detail);
            return true;
        }
        Event& event = newEvent(id, Kind::correct, on_);
        event.values = changed;
        event.target = state_.receivedBy;
        event.reason = reason_;
        if (std::string why = registerProblem(event, events_); !why.empty())
            return problem(rowName(row_) + ": " + why);
        return record(event, detail);
    }

    Transaction& transaction_;
    bool commit_;
    std::string reason_;
    std::string by_;
    std::string document_;
    std::chrono::year_month_day on_;
    std::chrono::year_month_day today_;
    Head startHead_;
    bool startedEmpty_;
    std::string highestId_; // of the rows read so far, into a register empty at the start
    std::function<void(const PlanRow&)> planRow_;
    std::uint64_t row_ = 0;
    FieldValues values_;
    Event event_;
    std::vector<Event> events_;
    SourceState state_;
    std::array<std::uint64_t, kindNames.size()> recorded_{};
    std::uint64_t conflicts_ = 0;
    std::uint64_t absent_ = 0;
    std::uint64_t problemCount_ = 0;
    std::string problems_;
    std::string error_;
};

bool sameHead(const Head& one, const Head& other) {
    return one.seq == other.seq && one.hash == other.hash;
}

ImportResult runImport(const ImportSetting& setting, bool commit, std::string_view reason,
                       std::optional<Head> expectedHead, LocalTime now, const ImportCalls& calls) {
    ImportResult result;
    const auto refused = [&result](std::string why) {
        result.error = std::move(why);
        return result;
    };
    if (trimBlanks(setting.by).empty())
        return refused("an import needs who records it");
    if (setting.on > dayOf(now))
        return refused(dayText(setting.on) +
                       " is after today: an import records what has happened");
    const Opening opening = openStore(setting.registerLocation, Access::write);
    if (!opening.store)
        return refused(opening.error);
    InventoryFile input;
    if (!input.open(setting.inventoryPath, setting.standardInput, setting.reading.inventory))
        return refused(input.error());
    InventoryReader reader(input.rows(), setting.reading.inventory);
    if (!reader.readHeader())
        return refused(reader.error());
    if (!reader.columns()[Column::id])
        return refused(quotedPath(setting.inventoryPath) +
                       " has no id column: an import keys its sources by id");
    const ImportReading reading{setting.reading.dateOrder, setting.reading.decimalComma,
                                dayOf(now).year(), extraColumns(reader.header())};

    const auto transaction = opening.store->beginWrite(universalTime(now));
    if (!transaction)
        return refused(opening.store->error());
    if (expectedHead && !sameHead(transaction->head(), *expectedHead)) {
        result.stale = true;
        return refused("nothing recorded: events were recorded after the plan was made (the "
                       "register's last event is now " +
                       std::to_string(transaction->head().seq) + ", was " +
                       std::to_string(expectedHead->seq) + ")");
    }
    Import import(*transaction, setting, commit, reason, now, calls);
    InventoryRow row;
    for (std::uint64_t count = 1; reader.next(row); ++count) {
        if (!import.add(row, reading))
            return refused("nothing recorded: " + import.error());
        if (calls.progress && count % rowsPerProgress == 0 &&
            !calls.progress(reader.bytesConsumed(), reader.bytesTotal()))
            return refused("stopped, nothing recorded");
    }
    if (const std::string why = reader.readError(); !why.empty())
        return refused("cannot read " + quotedPath(setting.inventoryPath) + ": " + why);
    if (import.problemCount() > 0)
        return refused(quotedPath(setting.inventoryPath) + " " + import.problems());
    if (!import.listAbsent() || !import.finish())
        return refused(import.error());
    result.summary = import.summary();
    result.columnsNotKept = columnsNotKept(reader, reading);
    result.conflictsLeft = import.conflictsLeft();
    result.startHead = import.startHead();
    return result;
}

} // namespace

ImportResult planImport(const ImportSetting& setting, LocalTime now, const ImportCalls& calls) {
    return runImport(setting, false, {}, std::nullopt, now, calls);
}

ImportResult commitImport(const ImportSetting& setting, std::string_view reason,
                          std::optional<store::Head> expectedHead, LocalTime now,
                          const ImportCalls& calls) {
    return runImport(setting, true, reason, expectedHead, now, calls);
}

} // namespace dovrin::store_import

namespace dovrin::store_words {

namespace {

bool copyFile(std::FILE* from, std::FILE* to) {
    std::rewind(from);
    char block[1 << 16];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, from)) > 0;)
        if (std::fwrite(block, 1, count, to) != count)
            return false;
    return std::ferror(from) == 0 && std::fflush(to) == 0;
}

std::string numberText(std::optional<std::uint64_t> number) {
    return number ? std::to_string(*number) : std::string();
}

} // namespace

// import REGISTER INVENTORY --on DATE --by NAME [--commit] [--reason TEXT] [reading options]
int importInventory(std::span<const std::string_view> arguments, std::FILE* standardInput,
                    std::FILE* standardOutput, std::FILE* standardError, LocalTime now) {
    const Words words = readWords(arguments, {"--commit", "--decimal-comma"}, {"--column"});
    if (!words.error.empty())
        return refuse(standardError, words.error);
    if (words.operands.size() != 2)
        return refuse(standardError, "import takes a register and an inventory: import REGISTER "
                                     "INVENTORY --on DATE --by NAME");
    store_import::ImportSetting setting;
    RunOptions& options = setting.reading;
    options.decimalComma = words.flag("--decimal-comma");
    for (const auto& [name, value] : words.options) {
        if (name == "--on" || name == "--by" || name == "--reason" || name == "--document")
            continue;
        if (name != "--separator" && name != "--column" && name != "--sheet" &&
            name != "--date-order" && name != "--header-row")
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
    setting.registerLocation = words.operands[0];
    setting.inventoryPath = words.operands[1];
    setting.standardInput = standardInput;
    setting.on = *on;
    setting.by = words.option("--by").value_or("");
    setting.document = words.option("--document").value_or("");

    // The plan is printed only once the import has gone through: a refused one prints none.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> planFile(std::tmpfile(), &std::fclose);
    if (!planFile)
        return refuse(standardError, "cannot make a temporary file: " + systemError(errno));
    csv::Writer plan(planFile.get());
    constexpr std::array<std::string_view, 5> header{"row", "id", "kind", "seq", "detail"};
    csv::appendRecord(plan.text(), header, ',');
    store_import::ImportCalls calls;
    calls.planRow = [&plan](const store_import::PlanRow& row) {
        const std::string number = numberText(row.row), seq = numberText(row.seq);
        const std::array<std::string_view, 5> fields{number, row.id, row.kind, seq, row.detail};
        csv::appendRecord(plan.text(), fields, ',');
        plan.write();
    };
    const store_import::ImportResult result =
        words.flag("--commit")
            ? store_import::commitImport(setting, words.option("--reason").value_or(""),
                                         std::nullopt, now, calls)
            : store_import::planImport(setting, now, calls);
    if (!result.error.empty())
        return refuse(standardError, result.error);
    if (!plan.flush() || !copyFile(planFile.get(), standardOutput))
        return refuse(standardError, "cannot write the import's events: " + systemError(errno));
    std::fputs(result.summary.c_str(), standardError);
    if (!result.columnsNotKept.empty())
        std::fprintf(standardError, "not kept by the register: %s\n",
                     result.columnsNotKept.c_str());
    return result.conflictsLeft > 0 ? 1 : 0;
}

} // namespace dovrin::store_words
