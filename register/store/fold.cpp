#include "fold.h"

#include <algorithm>
#include <array>

#include "events.h"

namespace dovrin::store {

namespace {

// The fold reads an event's values alike whether it holds them as texts of their own (Event:
// one source's, for a record or a check) or in one text (FoldedEvent: a whole register's).
std::string_view valueOf(const Event& event, std::size_t field) {
    return event.values[field];
}
std::string_view valueOf(const FoldedEvent& event, std::size_t field) {
    return event.value(field);
}

// An event's values as it was recorded, not corrected.
template <typename AnyEvent> struct RecordedValues {
    const AnyEvent& event;
    std::string_view operator[](std::size_t field) const { return valueOf(event, field); }
};

// A state's value set to a text no event holds: a SourceState keeps it, a SourceView keeps it
// aside and views it.
void setMade(SourceState& state, std::size_t field, std::string text) {
    state.values[field] = std::move(text);
}
void setMade(SourceView& state, std::size_t field, std::string text) {
    state.made[field] = std::move(text);
    state.values[field] = state.made[field];
}

void clearValue(std::string& value) {
    value.clear();
}
void clearValue(std::string_view& value) {
    value = {};
}

template <typename AnyEvent> bool isCorrectionOrVoid(const AnyEvent& event) {
    return event.kind == Kind::correct || event.kind == Kind::voided;
}

// The later of a day already known (a receipt's last_leak_test, say) and an event's day; a text
// that is no day gives way.
template <typename State>
void keepLater(State& state, Field field, std::chrono::year_month_day on) {
    const auto index = static_cast<std::size_t>(field);
    const auto knownDay = readDay(state.values[index]);
    if (!knownDay || *knownDay < on)
        setMade(state, index, dayText(on));
}

template <typename AnyEvent, typename Values, typename State>
void apply(const AnyEvent& event, const Values& values, State& state) {
    const auto value = [&](Field field) -> std::string_view {
        return values[static_cast<std::size_t>(field)];
    };
    const auto set = [&](Field field, std::string_view text) {
        if (!text.empty())
            state.values[static_cast<std::size_t>(field)] = text;
    };
    switch (event.kind) {
    case Kind::receive:
        state.held = true;
        state.receivedBy = event.seq;
        for (const Field field : sourceFields())
            state.values[static_cast<std::size_t>(field)] = value(field);
        break;
    case Kind::recovered:
        state.held = true;
        set(Field::location, value(Field::location));
        break;
    case Kind::move:
        set(Field::location, value(Field::location));
        break;
    case Kind::leakTest:
        keepLater(state, Field::lastLeakTest, event.on);
        break;
    case Kind::inventoryCheck:
        keepLater(state, Field::lastInventory, event.on);
        break;
    case Kind::status:
        set(Field::status, value(Field::status));
        break;
    default:
        if (endsCustody(event.kind))
            state.held = false;
        break;
    }
}

template <typename AnyEvent, typename State>
void fold(std::span<const AnyEvent> events, std::optional<std::chrono::year_month_day> asOf,
          State& state) {
    state.held = false;
    state.receivedBy = 0;
    for (auto& value : state.values)
        clearValue(value);
    if (events.empty())
        return;
    state.id = events.front().source;
    const auto counts = [&](const AnyEvent& event) { return !asOf || event.on <= *asOf; };
    // Most sources have no correction or void: their events count as they were recorded.
    if (std::ranges::none_of(events, isCorrectionOrVoid<AnyEvent>)) {
        if (std::ranges::is_sorted(events, {}, &AnyEvent::on)) {
            for (const AnyEvent& event : events)
                if (counts(event))
                    apply(event, RecordedValues<AnyEvent>{event}, state);
            return;
        }
    }
    std::vector<std::uint64_t> voided;
    for (const AnyEvent& event : events)
        if (event.kind == Kind::voided)
            voided.push_back(event.target);
    const auto isVoided = [&](const AnyEvent& event) {
        return std::ranges::find(voided, event.seq) != voided.end();
    };
    // Each event's values as they stand, viewing the texts of the events that give them.
    struct Standing {
        const AnyEvent* event;
        std::array<std::string_view, fieldNames.size()> values;
    };
    std::vector<Standing> standing;
    for (const AnyEvent& event : events) {
        if (isCorrectionOrVoid(event) || isVoided(event))
            continue;
        Standing& s = standing.emplace_back(&event);
        for (std::size_t i = 0; i < fieldNames.size(); ++i)
            s.values[i] = valueOf(event, i);
    }
    for (const AnyEvent& correction : events) {
        if (correction.kind != Kind::correct || isVoided(correction))
            continue;
        const auto target = std::ranges::find(standing, correction.target,
                                              [](const Standing& s) { return s.event->seq; });
        if (target == standing.end())
            continue;
        for (std::size_t i = 0; i < fieldNames.size(); ++i)
            if (const std::string_view value = valueOf(correction, i); !value.empty())
                target->values[i] = value;
    }
    std::ranges::stable_sort(standing, {}, [](const Standing& s) { return s.event->on; });
    for (const Standing& s : standing)
        if (counts(*s.event))
            apply(*s.event, s.values, state);
}

} // namespace

void foldSource(std::span<const Event> events, std::optional<std::chrono::year_month_day> asOf,
                SourceState& state) {
    fold(events, asOf, state);
}

void foldSource(std::span<const FoldedEvent> events,
                std::optional<std::chrono::year_month_day> asOf, SourceView& state) {
    fold(events, asOf, state);
}

namespace {

bool isVoided(std::uint64_t seq, std::span<const Event> events) {
    return std::ranges::any_of(
        events, [&](const Event& e) { return e.kind == Kind::voided && e.target == seq; });
}

} // namespace

FieldValues correctedValues(const Event& target, std::span<const Event> events) {
    FieldValues values = target.values;
    for (const Event& event : events)
        if (event.kind == Kind::correct && event.target == target.seq &&
            !isVoided(event.seq, events))
            for (std::size_t i = 0; i < fieldNames.size(); ++i)
                if (!event.values[i].empty())
                    values[i] = event.values[i];
    return values;
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

namespace {

// Member by member: std::swap would move the whole event three times over.
void swapEvents(FoldedEvent& a, FoldedEvent& b) {
    std::swap(a.seq, b.seq);
    a.source.swap(b.source);
    std::swap(a.kind, b.kind);
    std::swap(a.on, b.on);
    std::swap(a.target, b.target);
    a.text.swap(b.text);
    std::swap(a.places, b.places);
}

} // namespace

// Field by field, as the fold reads them: a backend whose cursor gives whole events.
bool EventCursor::nextFolded(FoldedEvent& folded) {
    const Event* event = next();
    if (event == nullptr)
        return false;
    folded.seq = event->seq;
    folded.source = event->source;
    folded.kind = event->kind;
    folded.on = event->on;
    folded.target = event->target;
    folded.clearValues();
    for (std::size_t i = 0; i < fieldNames.size(); ++i) {
        const std::size_t start = folded.text.size();
        folded.text += event->values[i];
        folded.placeFrom(i, start);
    }
    return true;
}

std::span<const FoldedEvent> SourceEvents::source(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : sourceEnds[index - 1];
    return std::span(events).subspan(begin, sourceEnds[index] - begin);
}

bool SourceEventsReader::fill(SourceEvents& block, std::size_t sources) {
    block.sourceEnds.clear();
    std::size_t count = 0;
    const auto room = [&] {
        if (count == block.events.size())
            block.events.emplace_back();
        return &block.events[count];
    };
    if (isCarried_) {
        swapEvents(*room(), carried_);
        isCarried_ = false;
        ++count;
    }
    while (!ended_) {
        FoldedEvent* event = room();
        if (!cursor_->nextFolded(*event)) {
            ended_ = true;
            break;
        }
        if (count > 0 && event->source != block.events[count - 1].source) {
            block.sourceEnds.push_back(count);
            if (block.sourceEnds.size() == sources) {
                swapEvents(carried_, *event);
                isCarried_ = true;
                return true;
            }
        }
        ++count;
    }
    if (count > 0)
        block.sourceEnds.push_back(count);
    return count > 0;
}

SourceFolder::SourceFolder(std::unique_ptr<EventCursor> cursor,
                           std::optional<std::chrono::year_month_day> asOf)
    : reader_(std::move(cursor))
    , asOf_(asOf) {}

const SourceView* SourceFolder::next() {
    if (!reader_.fill(source_, 1))
        return nullptr;
    foldSource(source_.source(0), asOf_, state_);
    return &state_;
}

std::vector<std::string_view> inventoryHeader() {
    std::vector<std::string_view> header{"id"};
    for (const Field field : sourceFields())
        header.push_back(nameOf(field));
    return header;
}

namespace {

// Sources a block holds, and blocks the journal's thread may be ahead of the fold: memory for a
// few blocks, whatever the number of sources.
constexpr std::size_t blockSources = 256;
constexpr std::size_t blocksAhead = 4;

// The bytes that make a field need quotes: commas, quotes, line breaks. Counted through a table,
// a load and an add for each byte: the as-of of a large register counts every row's.
std::size_t quotingBytes(std::string_view text) {
    static constexpr auto quoting = [] {
        std::array<unsigned char, 256> table{};
        for (const char c : {',', '"', '\r', '\n'})
            table[static_cast<unsigned char>(c)] = 1;
        return table;
    }();
    std::size_t count = 0;
    for (const char c : text)
        count += quoting[static_cast<unsigned char>(c)];
    return count;
}

} // namespace

HeldSourceRows::HeldSourceRows(std::unique_ptr<EventCursor> cursor,
                               std::optional<std::chrono::year_month_day> asOf)
    : reader_(std::move(cursor))
    , asOf_(asOf)
    , reading_([this] { readEvents(); }) {}

HeldSourceRows::~HeldSourceRows() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reading_.join();
}

void HeldSourceRows::readEvents() {
    bool more = true;
    while (more) {
        SourceEvents block;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || full_.size() < blocksAhead; });
            if (stop_)
                return;
            if (!free_.empty()) {
                block = std::move(free_.back());
                free_.pop_back();
            }
        }
        more = reader_.fill(block, blockSources);
        {
            const std::lock_guard lock(mutex_);
            full_.push_back(std::move(block));
            if (!more) {
                error_ = reader_.error();
                done_ = true;
            }
        }
        changed_.notify_all();
    }
}

bool HeldSourceRows::nextHeld() {
    for (;;) {
        while (source_ == block_.sourceEnds.size()) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return done_ || !full_.empty(); });
            if (full_.empty())
                return false;
            free_.push_back(std::move(block_));
            block_ = std::move(full_.front());
            full_.pop_front();
            source_ = 0;
            lock.unlock();
            changed_.notify_all();
        }
        foldSource(block_.source(source_++), asOf_, state_);
        if (state_.held) {
            writeRow();
            return true;
        }
    }
}

// In one piece, into room made once: the as-of of a large register writes a million rows.
void HeldSourceRows::writeRow() {
    const std::span<const Field> fields = sourceFields();
    std::size_t size = state_.id.size() + fields.size(); // with a comma before each field
    for (const Field field : fields)
        size += state_.values[static_cast<std::size_t>(field)].size();
    row_.resize(size);
    ends_.clear();
    std::size_t at = 0;
    const auto put = [&](std::string_view field) {
        field.copy(row_.data() + at, field.size());
        at += field.size();
        ends_.push_back(at);
    };
    put(state_.id);
    for (const Field field : fields) {
        row_[at++] = ',';
        put(state_.values[static_cast<std::size_t>(field)]);
    }
    // No field needs quotes when the commas between them are the row's only such bytes.
    plain_ = quotingBytes(row_) == fields.size();
}

std::string HeldSourceRows::error() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

std::optional<csv::Record> HeldSourceRows::next() {
    static const std::vector<std::string_view> header = inventoryHeader();
    if (number_ == 0) {
        number_ = 1;
        return csv::Record{header, number_};
    }
    if (!pending_ && !nextHeld())
        return std::nullopt;
    pending_ = false;
    fields_.clear();
    std::size_t start = 0;
    for (const std::size_t end : ends_) {
        fields_.push_back(std::string_view(row_).substr(start, end - start));
        start = end + 1; // after the comma
    }
    return csv::Record{fields_, ++number_};
}

std::optional<PlainLine> HeldSourceRows::nextPlainLine() {
    if (number_ == 0 || (!pending_ && !nextHeld()))
        return std::nullopt;
    pending_ = !plain_;
    if (pending_)
        return std::nullopt; // next() gives it, as a record
    return PlainLine{++number_, row_};
}

} // namespace dovrin::store
