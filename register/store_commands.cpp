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
#include "number_text.h"
#include "output_files.h"
#include "plain_text.h"
#include "record.h"
#include "store_words.h"

namespace dovrin {

namespace {

using namespace store;
using namespace store_words;

constexpr std::array<std::string_view, 6> commandNames{"init",    "import", "record",
                                                       "history", "export", "verify"};

std::optional<std::uint64_t> readSeq(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0)
        return std::nullopt;
    return value;
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
    if (std::string why =
            createStore(path,
                        {std::string(trimBlanks(*holder)),
                         std::string(trimBlanks(words.option("--licence").value_or("")))},
                        universalTime(now));
        !why.empty())
        return refuse(standardError, why);
    std::fprintf(standardError, "made the register %s, held by %.*s\n", quotedPath(path).c_str(),
                 static_cast<int>(holder->size()), holder->data());
    return 0;
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
    const Recording recording = recordEvent(*opening.store, event, universalTime(now));
    if (!recording.error.empty())
        return refuse(standardError, recording.error);
    std::fprintf(standardError, "recorded event %llu: %s of '%s'\n%s\n",
                 static_cast<unsigned long long>(event.seq), nameOf(event.kind).data(),
                 event.source.c_str(), headLine(recording.head).c_str());
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
        std::fprintf(standardOutput, "%s: %s\n", shownLocation(path).c_str(), why.c_str());
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
    std::fprintf(standardOutput, "%s: sound, %llu events chained\n%s\n",
                 shownLocation(path).c_str(), static_cast<unsigned long long>(head.seq),
                 registerHeadText(head).c_str());
    return 0;
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
        return importInventory(rest, standardInput, standardOutput, standardError, now);
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
