#pragma once

// Recording one event, as the command line's record and the window's record dialogs both do:
// the checks of the event against the source's events, then one write that lands whole or not
// at all.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store.h"

namespace dovrin {
class RadionuclideTable;
}

namespace dovrin::store {

// Which part of an event a problem is about, so that a form names it beside its field.
enum class EventPart { field, day, whole };

struct EventProblem {
    EventPart part = EventPart::whole;
    Field field = Field::text; // when part is EventPart::field
    std::string text;
};

// What is wrong with the event's day or fields against the source's events (given in seq
// order), beyond what eventProblem and registerProblem refuse: a day before the source's receipt,
// a day after its custody ended (a move, test, check or status of a source sent away, lost or
// disposed of), a move to the location the source is in on that day. Every record is refused on
// them; a person filling a form is told each one beside its field. Empty when there is none.
std::vector<EventProblem> sequenceProblems(const Event& event, std::span<const Event> events);

// sequenceProblems, and a radionuclide the table does not know: the form's table is the one the
// window shows categories by, where the command line's register takes the radionuclides of
// --nuclides when it is read, after the receipt is recorded.
std::vector<EventProblem> fieldProblems(const Event& event, std::span<const Event> events,
                                        const RadionuclideTable& radionuclides);

// The outcome of recording an event.
struct Recording {
    std::string error;        // one line when nothing was recorded; empty when it was
    std::optional<Head> head; // the register's last event after the write
};

// Records the event at now in one write: reads the source's events inside the write, so that
// an event another writer recorded a moment before is checked against too (registerProblem),
// then appends and commits. The event gets its seq, moment and hash. A write that waits past
// the store's busy timeout is refused, never half done.
Recording recordEvent(Store& store, Event& event, std::chrono::sys_seconds now);

} // namespace dovrin::store
