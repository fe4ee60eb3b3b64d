#include "record.h"

#include <algorithm>
#include <iterator>

#include "events.h"
#include "fold.h"
#include "radionuclides.h"

namespace dovrin::store {

namespace {

// The receipt that opened the source's custody last, by seq; none when it has none.
const Event* lastReceipt(std::span<const Event> events) {
    const Event* receipt = nullptr;
    for (const Event& event : events)
        if (event.kind == Kind::receive)
            receipt = &event;
    return receipt;
}

// The kinds that happen to a source in its holder's hands: each needs the source held.
bool keptInCustody(Kind kind) {
    return kind == Kind::move || kind == Kind::leakTest || kind == Kind::inventoryCheck ||
           kind == Kind::status;
}

// Whether the source is held on the day, or was until the day began: a source is leak-tested or
// moved to the dock on the day it is sent away, and an event dated D counts from the start of D.
bool heldThatDay(std::span<const Event> events, std::chrono::year_month_day day) {
    SourceState state;
    foldSource(events, day, state);
    if (state.held)
        return true;
    foldSource(events,
               std::chrono::year_month_day(std::chrono::sys_days(day) - std::chrono::days(1)),
               state);
    return state.held;
}

} // namespace

std::vector<EventProblem> sequenceProblems(const Event& event, std::span<const Event> events) {
    std::vector<EventProblem> problems;
    if (event.kind == Kind::receive || event.kind == Kind::correct || event.kind == Kind::voided)
        return problems;
    if (const Event* receipt = lastReceipt(events); receipt && event.on < receipt->on)
        problems.push_back({EventPart::day, Field::text,
                            "before the source's receipt on " + dayText(receipt->on)});
    else if (keptInCustody(event.kind) && receipt && !heldThatDay(events, event.on))
        problems.push_back({EventPart::day, Field::text, "after the source's custody ended"});
    if (event.kind == Kind::move && !event[Field::location].empty()) {
        SourceState state;
        foldSource(events, event.on, state);
        if (state.held &&
            state.values[static_cast<std::size_t>(Field::location)] == event[Field::location])
            problems.push_back({EventPart::field, Field::location,
                                "the source is in '" + event[Field::location] + "' already"});
    }
    return problems;
}

std::vector<EventProblem> fieldProblems(const Event& event, std::span<const Event> events,
                                        const RadionuclideTable& radionuclides) {
    std::vector<EventProblem> problems;
    const std::string& radionuclide = event[Field::radionuclide];
    if (!radionuclide.empty() && radionuclides.find(radionuclide) == nullptr)
        problems.push_back({EventPart::field, Field::radionuclide,
                            "no radionuclide '" + radionuclide + "' is known"});
    std::ranges::move(sequenceProblems(event, events), std::back_inserter(problems));
    return problems;
}

Recording recordEvent(Store& store, Event& event, std::chrono::sys_seconds now) {
    const auto transaction = store.beginWrite(now);
    if (!transaction)
        return {store.error(), std::nullopt};
    std::vector<Event> events;
    if (std::string error; !readAll(*transaction->eventsOf(event.source), events, error))
        return {std::move(error), std::nullopt};
    if (std::string why = registerProblem(event, events); !why.empty())
        return {std::move(why), std::nullopt};
    if (const auto problems = sequenceProblems(event, events); !problems.empty())
        return {"nothing recorded: " + std::string(nameOf(event.kind)) + " of source '" +
                    event.source + "' on " + dayText(event.on) + ": " + problems.front().text,
                std::nullopt};
    if (!transaction->append(event) || !transaction->commit())
        return {"nothing recorded: " + transaction->error(), std::nullopt};
    return {{}, transaction->head()};
}

} // namespace dovrin::store
