#pragma once

// The due dates as an iCalendar file (RFC 5545): one all-day event per duty, each with a UID made
// from the source and the kind of duty, so that a calendar importing the file again replaces its
// events rather than adding them twice. Lines end in CRLF and are folded at 75 octets.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "decay.h"

namespace dovrin {

enum class Duty { leakTest, inventory, workingLifeEnd };

// Which source an event belongs to: its id, or its row number when it has no id.
struct SourceKey {
    std::string_view id;   // empty: the row number names the source
    std::uint64_t row = 0; // as a spreadsheet numbers it
};

// "leak-test-id-<id>@dovrin-register" or "inventory-row-<row>@dovrin-register". The id is kept
// as it is where it is a letter, a digit, '-' or '.', every other byte written as _XX in hex, so
// two different sources or duties never share a UID, and one source keeps its UID run after run.
// Not %XX: some parsers take %2C and the like for the escapes of ',', ';', ':' and '\'.
std::string eventUid(SourceKey source, Duty duty);

struct CalendarEvent {
    SourceKey source;
    Duty duty;
    std::chrono::year_month_day on;
    std::string_view radionuclide;
    std::string_view location; // may be empty
};

// BEGIN:VCALENDAR with VERSION and PRODID.
void appendCalendarStart(std::string& out);

// One VEVENT. stamp is the moment the file is made (DTSTAMP, in UTC): the run's present moment,
// so that two runs at the same moment write the same file.
void appendCalendarEvent(std::string& out, const CalendarEvent& event,
                         std::chrono::sys_seconds stamp);

// END:VCALENDAR.
void appendCalendarEnd(std::string& out);

// The local moment in UTC, as the C library's time zone has it.
std::chrono::sys_seconds universalTime(LocalTime local);

} // namespace dovrin
