#pragma once

// The recurring duties of a sealed source: the day a leak test or a physical inventory falls due
// after the last one, how that day stands at the as-of moment, the end of the working life, and
// the leak-test exemptions that the source's radionuclide and decayed activity earn.

#include <chrono>
#include <optional>
#include <string_view>

#include "decay.h"

namespace dovrin {

// The time between two tests or inventories: a whole number of months or of days.
struct Interval {
    enum class Unit { months, days };
    int count = 0;
    Unit unit = Unit::months;

    bool operator==(const Interval&) const = default;
};

// The interval a user types: a whole number from 1 to 9999, then "month", "months", "mo",
// "year", "years", "yr", "week", "weeks", "day" or "days", letter case ignored, with blanks
// around and between them allowed ("6 months", "180 days", "1 Year", "6mo"); or a schedule's
// word, "annual", "semi-annual", "quarterly", "monthly". A year is 12 months and a week 7 days,
// within 9999 of the unit. Anything else gives no result: a number without its unit ("12"),
// fractions ("1.5 months") are not guessed at.
inline constexpr int mostIntervalCount = 9999;
std::optional<Interval> readInterval(std::string_view text);

// The last day that the register writes: a later day would need a five-digit year.
inline constexpr std::chrono::year_month_day lastWrittenDay{std::chrono::year{9999} /
                                                            std::chrono::December / 31};

// The day the interval after date falls on. Months keep the day of the month where that month
// has it and otherwise take the month's last day (31 August + 6 months = 28 or 29 February).
// No result when that day lies after lastWrittenDay.
std::optional<std::chrono::year_month_day> addInterval(std::chrono::year_month_day date,
                                                       Interval interval);

// The end of the working life: the date of manufacture plus the years, a 29 February going to
// the 28th in a common year. No result after lastWrittenDay.
std::optional<std::chrono::year_month_day> workingLifeEnd(std::chrono::year_month_day manufactured,
                                                          int years);

// The working life a user types: a whole number of years from 1 to mostWorkingLifeYears,
// optionally followed by "year" or "years" ("10", "10 years"). A fraction ("7.5") gives no
// result: manufacturers state the recommended working life in whole years.
inline constexpr int mostWorkingLifeYears = 100;
std::optional<int> readWorkingLifeYears(std::string_view text);

// How a due day stands at the as-of moment: overdue once the day has passed; due within the
// window from the due day itself back to dueSoonDays before it; otherwise not due.
enum class DueStatus { overdue, dueSoon, notDue };
inline constexpr int dueSoonDays = 30;
DueStatus dueStatus(std::chrono::year_month_day due, LocalTime asOf);
std::string_view statusText(DueStatus status); // "overdue", "due within 30 days", "not due"

// What the exemptions from leak testing need to know of a source.
struct LeakTestFacts {
    std::string_view radionuclide; // the decay table's name, "Kr-85"
    double halfLifeDays = 0;
    double activityOnDueDayTBq = 0;  // decayed to 00:00 of the due day, 15 significant digits
    bool storedNotInUse = false;     // the inventory says the source is stored, not in use
    bool seedsInNylonRibbon = false; // the inventory says its form is seeds in nylon ribbon
};

// The exemption the source earns, as its reason ("exempt: ..."), or none when it must be tested.
std::optional<std::string_view> leakTestExemption(const LeakTestFacts& facts);

// ln 2 / the decay constant.
double halfLifeDays(double decayConstantPerDay);

} // namespace dovrin
