#include "due_dates.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>

#include "leak_test_rules.h"
#include "number_text.h"
#include "power_of_ten.h"

namespace dovrin {

namespace {

using namespace std::chrono;

char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view text, std::string_view word) {
    return std::ranges::equal(text, word, {}, lowerCase);
}

// The whole number at the start of the text, from 1 to most, and the text after it; the number
// has no sign and at most four digits.
struct Count {
    int value;
    std::string_view rest;
};

std::optional<Count> readCount(std::string_view text, int most) {
    const std::size_t digits = text.find_first_not_of("0123456789");
    const std::size_t length = digits == std::string_view::npos ? text.size() : digits;
    if (length == 0 || length > 4)
        return std::nullopt;
    int value = 0;
    std::from_chars(text.data(), text.data() + length, value);
    if (value < 1 || value > most)
        return std::nullopt;
    return Count{value, trimBlanks(text.substr(length))};
}

bool oneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::ranges::any_of(words,
                               [word](std::string_view w) { return equalIgnoringCase(word, w); });
}

// The day itself where the month has it, otherwise the month's last day.
year_month_day orLastOfMonth(year_month_day date) {
    if (date.ok())
        return date;
    return year_month_day{year_month_day_last{date.year(), month_day_last{date.month()}}};
}

std::optional<year_month_day> notAfterLastWrittenDay(year_month_day date) {
    if (date > lastWrittenDay)
        return std::nullopt;
    return date;
}

} // namespace

std::optional<Interval> readInterval(std::string_view text) {
    const std::string_view words = trimBlanks(text);
    // The words of a schedule, as inventories write them.
    if (oneOf(words, {"annual", "annually", "yearly"}))
        return Interval{12, Interval::Unit::months};
    if (oneOf(words, {"semi-annual", "semiannual", "semi-annually", "semiannually", "biannual"}))
        return Interval{6, Interval::Unit::months};
    if (oneOf(words, {"quarterly"}))
        return Interval{3, Interval::Unit::months};
    if (oneOf(words, {"monthly"}))
        return Interval{1, Interval::Unit::months};
    const auto count = readCount(words, mostIntervalCount);
    if (!count)
        return std::nullopt;
    const auto inUnits = [&count](int per, Interval::Unit unit) -> std::optional<Interval> {
        if (count->value > mostIntervalCount / per)
            return std::nullopt;
        return Interval{count->value * per, unit};
    };
    if (oneOf(count->rest, {"month", "months", "mo", "mos"}))
        return inUnits(1, Interval::Unit::months);
    if (oneOf(count->rest, {"year", "years", "yr", "yrs"}))
        return inUnits(12, Interval::Unit::months);
    if (oneOf(count->rest, {"week", "weeks", "wk", "wks"}))
        return inUnits(7, Interval::Unit::days);
    if (oneOf(count->rest, {"day", "days"}))
        return inUnits(1, Interval::Unit::days);
    return std::nullopt;
}

std::optional<year_month_day> addInterval(year_month_day date, Interval interval) {
    if (interval.unit == Interval::Unit::days)
        return notAfterLastWrittenDay(year_month_day{sys_days{date} + days{interval.count}});
    return notAfterLastWrittenDay(orLastOfMonth(date + months{interval.count}));
}

std::optional<year_month_day> workingLifeEnd(year_month_day manufactured, int years) {
    return notAfterLastWrittenDay(orLastOfMonth(manufactured + std::chrono::years{years}));
}

std::optional<int> readWorkingLifeYears(std::string_view text) {
    const auto count = readCount(trimBlanks(text), mostWorkingLifeYears);
    if (!count || !(count->rest.empty() || oneOf(count->rest, {"year", "years"})))
        return std::nullopt;
    return count->value;
}

DueStatus dueStatus(year_month_day due, LocalTime asOf) {
    const local_days today = floor<days>(asOf);
    const local_days dueDay{due};
    if (dueDay < today)
        return DueStatus::overdue;
    if (dueDay - today <= days{dueSoonDays})
        return DueStatus::dueSoon;
    return DueStatus::notDue;
}

static_assert(dueSoonDays == 30, "the status text names 30 days");

std::string_view statusText(DueStatus status) {
    switch (status) {
    case DueStatus::overdue:
        return "overdue";
    case DueStatus::dueSoon:
        return "due within 30 days";
    case DueStatus::notDue:
        break;
    }
    return "not due";
}

std::optional<std::string_view> leakTestExemption(const LeakTestFacts& facts) {
    namespace rules = leakTestRules;
    if (facts.halfLifeDays > 0 && facts.halfLifeDays < rules::halfLifeBelowDays)
        return rules::shortHalfLifeReason;
    if (std::ranges::find(rules::gaseousRadionuclides, facts.radionuclide) !=
        rules::gaseousRadionuclides.end())
        return rules::gasReason;
    // The limits carried to 15 significant digits as the activity is, so that an activity of
    // exactly 3.7 MBq on the due day meets the limit of 3.7 MBq.
    static const double betaGammaMostTBq = fifteenDigits(rules::betaGammaMostBq * powerOfTen(-12));
    static const double alphaMostTBq = fifteenDigits(rules::alphaMostBq * powerOfTen(-12));
    const bool alpha =
        std::ranges::find(rules::alphaEmitters, facts.radionuclide) != rules::alphaEmitters.end();
    // What the source is before what decay leaves of it; the exemption of a stored source,
    // which lasts only until it is used, last of all.
    if (facts.seedsInNylonRibbon && facts.radionuclide == rules::nylonRibbonSeeds)
        return rules::nylonRibbonReason;
    if (facts.activityOnDueDayTBq <= (alpha ? alphaMostTBq : betaGammaMostTBq))
        return alpha ? rules::alphaReason : rules::betaGammaReason;
    if (facts.storedNotInUse)
        return rules::storedReason;
    return std::nullopt;
}

double halfLifeDays(double decayConstantPerDay) {
    return std::log(2.0) / decayConstantPerDay;
}

} // namespace dovrin
