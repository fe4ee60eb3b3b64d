#pragma once

// Radioactive decay from the date of manufacture to the present moment.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace dovrin {

// A local date and time of day, as the system clock gives it.
using LocalTime = std::chrono::local_time<std::chrono::milliseconds>;

// The decay constant per day of the radionuclide whose name equals the text exactly.
std::optional<double> decayConstantOf(std::string_view radionuclide);

// How a date whose year comes last is read: month first, as the window's hint "mm/dd/yy" says,
// or day first, as an inventory written in most of the world has it; or, where no one has
// said, only as the date can be read one way: a part above 12 is the day, and a date whose two
// parts could each be the month (01/08/2026) is no date, never a guess.
enum class DateOrder { monthFirst, dayFirst, unstated };

// The date of manufacture typed by the user: month/day/year (or day/month/year when order says
// so) with '/' or '-' between them and a two- or four-digit year, or year-month-day with a
// four-digit year, which order does not change. Blanks around the date are allowed. A two-digit
// year is the latest year ending in those digits that is not after currentYear. Impossible days
// (02/30/2021) and anything else give no result; a date impossible in the chosen order is never
// read in the other one.
std::optional<std::chrono::year_month_day> readDate(std::string_view text,
                                                    std::chrono::year currentYear,
                                                    DateOrder order = DateOrder::monthFirst);

// A date as an inventory writes it, read by readDate, a time of day after it allowed and
// dropped ("2008-09-01 10:30", "2008-09-01T10:30:00", "01/09/2008 10:30:15"), as a
// spreadsheet writes a date cell that holds a time. ambiguous: a slash date that the unstated
// order cannot read because it reads both ways.
struct InventoryDate {
    std::optional<std::chrono::year_month_day> date;
    bool ambiguous = false;
};
InventoryDate readInventoryDate(std::string_view text, std::chrono::year currentYear,
                                DateOrder order);

// The order's hint in a message: "day/month/year", "month/day/year", or both for the unstated
// order.
std::string_view dateOrderText(DateOrder order);

// manufactured (at 00:00 of its day) minus now, in days with a fraction: negative for a date
// in the past, between -1 and 0 for today. Local calendar arithmetic: every day has 24 hours.
double elapsedDays(std::chrono::year_month_day manufactured, LocalTime now);

// initial * e^(decayConstant * elapsedDays) carried to 15 significant digits: the current
// activity as a number alone. No result when the decay factor or the activity (in TBq or in Bq)
// lies beyond the range of a double.
std::optional<double> decayedActivityTBq(double initialTBq, double decayConstant,
                                         double elapsedDays);

struct CurrentActivity {
    double tbq;            // the current activity carried to 15 significant digits
    std::string shownText; // as "0.00E+00"
    std::string tooltip;   // in GBq, MBq, kBq and Bq
};

// decayedActivityTBq with its display texts.
std::optional<CurrentActivity> currentActivity(double initialTBq, double decayConstant,
                                               double elapsedDays);

} // namespace dovrin
