// The date of manufacture and the decay: readDate on arbitrary text, elapsedDays for arbitrary
// dates and clocks, currentActivity for arbitrary activities and decay constants.
//
// The input is the date text followed by a tail of 31 bytes (zero bytes when the input is
// shorter), in the machine's byte order:
//   int16   current year, as an offset from 2026, brought into 1..32767
//   int32   the clock's day, as an offset from 2026-01-01, brought into the calendar's range
//   uint32  the clock's millisecond of the day, modulo one day
//   int32   the date of manufacture when the text is no date, as an offset from the clock's day
//   uint8   below 128: the decay constant of that row of the table; otherwise the next eight
//           bytes as a double
//   8 bytes the decay constant's bits (when chosen above)
//   8 bytes the initial activity's bits, exclusive-or 1.0 (so zero bytes give 1.0)

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "decay.h"
#include "decay_constants.h"
#include "fuzz_check.h"
#include "number_text.h"

using namespace dovrin;
using dovrin::fuzz::quoted;
using dovrin::fuzz::show;

namespace {

constexpr std::int64_t millisecondsPerDay = 86'400'000;

// Days since 0001-01-01 of the proleptic Gregorian calendar, counted year by year and month by
// month, independently of std::chrono. Years before 1 count backwards.
std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

bool isLeapYear(std::int64_t year) {
    return floorDivide(year, 4) * 4 == year &&
           (floorDivide(year, 100) * 100 != year || floorDivide(year, 400) * 400 == year);
}

int daysInMonth(std::int64_t year, int month) {
    constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

std::int64_t dayNumber(std::int64_t year, int month, int day) {
    const std::int64_t before = year - 1;
    std::int64_t days =
        365 * before + floorDivide(before, 4) - floorDivide(before, 100) + floorDivide(before, 400);
    for (int m = 1; m < month; ++m)
        days += daysInMonth(year, m);
    return days + day - 1;
}

std::int64_t dayNumber(std::chrono::year_month_day date) {
    return dayNumber(static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                     static_cast<int>(unsigned(date.day())));
}

// The date forms, worked out on the pattern of the text: every digit becomes 'd', the
// separators stay, anything else becomes '*'. Month and day have one or two digits;
// month/day/year with '/' or '-' and a year of two or four digits, or year-month-day with a
// four-digit year.
struct ExpectedDate {
    std::int64_t year;
    int month;
    int day;
};

bool matchesPattern(std::string_view shape, char separator, std::string_view pattern) {
    if (shape.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] != (pattern[i] == '?' ? separator : pattern[i]))
            return false;
    return true;
}

int number(std::string_view digits) {
    int value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

std::optional<ExpectedDate> expectedDate(std::string_view text, int currentYear) {
    while (!text.empty() && fuzz::isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && fuzz::isBlank(text.back()))
        text.remove_suffix(1);
    if (text.size() < 6 || text.size() > 10)
        return std::nullopt;
    std::string shape(text);
    for (char& c : shape)
        c = c >= '0' && c <= '9' ? 'd' : c == '/' || c == '-' ? c : '*';
    const std::size_t firstSeparator = shape.find_first_not_of('d');
    if (firstSeparator == std::string::npos)
        return std::nullopt;
    const char separator = shape[firstSeparator];
    if (separator != '/' && separator != '-')
        return std::nullopt;
    const std::size_t secondSeparator = shape.find(separator, firstSeparator + 1);
    if (secondSeparator == std::string::npos)
        return std::nullopt;
    const std::string_view first = text.substr(0, firstSeparator);
    const std::string_view second =
        text.substr(firstSeparator + 1, secondSeparator - firstSeparator - 1);
    const std::string_view third = text.substr(secondSeparator + 1);

    std::int64_t year = 0;
    int month = 0, day = 0;
    bool known = false;
    for (const std::string_view pattern : {"dddd?d?d", "dddd?dd?d", "dddd?d?dd", "dddd?dd?dd"})
        if (separator == '-' && matchesPattern(shape, separator, pattern)) {
            year = number(first);
            month = number(second);
            day = number(third);
            known = true;
        }
    for (const std::string_view monthDay : {"d?d?", "dd?d?", "d?dd?", "dd?dd?"})
        for (const std::string_view yearPattern : {"dd", "dddd"})
            if (!known && matchesPattern(shape, separator,
                                         std::string(monthDay) + std::string(yearPattern))) {
                month = number(first);
                day = number(second);
                year = number(third);
                if (yearPattern.size() == 2) // the latest such year that is not after this one
                    year = currentYear - ((currentYear - year) % 100 + 100) % 100;
                known = true;
            }
    // Year 0 and the years before it are no dates of manufacture.
    if (!known || year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    return ExpectedDate{year, month, day};
}

void checkReadDate(std::string_view text, int currentYear) {
    using namespace std::chrono;
    const auto date = readDate(text, year{currentYear});
    const auto expected = expectedDate(text, currentYear);
    const std::string context = quoted(text) + " in " + std::to_string(currentYear);
    FUZZ_REQUIRE(date.has_value() == expected.has_value(), context);
    if (!date)
        return;
    FUZZ_REQUIRE(date->ok(), context);
    FUZZ_REQUIRE(static_cast<int>(date->year()) == expected->year &&
                     unsigned(date->month()) == static_cast<unsigned>(expected->month) &&
                     unsigned(date->day()) == static_cast<unsigned>(expected->day),
                 context + " reads as " + std::to_string(static_cast<int>(date->year())) + "-" +
                     std::to_string(unsigned(date->month())) + "-" +
                     std::to_string(unsigned(date->day())));
}

void checkElapsedDays(std::chrono::year_month_day made, std::chrono::year_month_day today,
                      std::int64_t millisecond) {
    using namespace std::chrono;
    const LocalTime now = local_days{today} + milliseconds{millisecond};
    const double t = elapsedDays(made, now);
    const std::int64_t exact =
        (dayNumber(made) - dayNumber(today)) * millisecondsPerDay - millisecond;
    const std::string context = std::to_string(dayNumber(made)) + " - (" +
                                std::to_string(dayNumber(today)) + " + " +
                                std::to_string(millisecond) + " ms) gives " + show(t);
    FUZZ_REQUIRE(std::isfinite(t), context);
    // One rounding to a double of the milliseconds, one of the division by a day.
    const double tolerance = std::abs(static_cast<double>(exact)) * 0x1p-51;
    FUZZ_REQUIRE(std::abs(t * millisecondsPerDay - static_cast<double>(exact)) <= tolerance,
                 context);
    if (dayNumber(made) == dayNumber(today))
        FUZZ_REQUIRE(t > -1 && t <= 0, context);
    const auto nextDay = year_month_day{local_days{made} + days{1}};
    if (nextDay.ok())
        FUZZ_REQUIRE(elapsedDays(nextDay, now) > t, context);
}

void checkCurrentActivity(double initial, double constant, double t) {
    const auto current = currentActivity(initial, constant, t);
    const std::string context =
        show(initial) + " TBq, " + show(constant) + " per day, " + show(t) + " days";
    // The same quantity in long double, whose wider range tells an overflow of a double apart.
    const long double factor = std::exp(static_cast<long double>(constant * t));
    const long double becquerel = std::abs(static_cast<long double>(initial) * factor * 1e12L);
    constexpr long double largest = std::numeric_limits<double>::max();
    // A product constant * t beyond the range is +-infinity, and e^-infinity is a factor of 0.
    const bool finiteInputs = std::isfinite(initial) && !std::isnan(constant * t);
    if (!current) {
        FUZZ_REQUIRE(!finiteInputs || factor > largest || becquerel > largest * (1 - 1e-12L),
                     context + ": no result");
        return;
    }
    FUZZ_REQUIRE(finiteInputs && becquerel <= largest * (1 + 1e-12L), context);
    FUZZ_REQUIRE(std::isfinite(current->tbq), context + ": " + show(current->tbq));
    FUZZ_REQUIRE(!(current->tbq < 0 && initial > 0) && !(current->tbq > 0 && initial < 0),
                 context + ": " + show(current->tbq));
    // A factor below the normal range of a double (e^-708 and less) keeps only the bits above
    // 2^-1074: the product with the initial activity carries that absolute error.
    const long double exact = static_cast<long double>(initial) * factor;
    const long double tolerance =
        std::abs(exact) * 1e-13L + std::abs(static_cast<long double>(initial)) * 0x1p-1074L;
    if (std::abs(exact) >= std::numeric_limits<double>::min())
        FUZZ_REQUIRE(std::abs(current->tbq - exact) <= tolerance,
                     context + ": " + show(current->tbq));
    FUZZ_REQUIRE(fuzz::hasScientificShape(current->shownText),
                 context + ": " + quoted(current->shownText));
    const auto figures = fuzz::splitBreakdown(current->tooltip);
    FUZZ_REQUIRE(figures, context + ": " + quoted(current->tooltip));
    // The tooltip's becquerel figure is the current activity to three digits.
    const double bq = readNumber(figures->bq).value;
    const long double wanted = static_cast<long double>(current->tbq) * 1e12L;
    if (std::abs(wanted) >= std::numeric_limits<double>::min())
        FUZZ_REQUIRE(std::abs(bq - wanted) <= std::abs(wanted) * 0.0051L,
                     context + ": " + quoted(current->tooltip));
}

// n brought into first..last, wrapping around.
std::int64_t wrapInto(std::int64_t n, std::int64_t first, std::int64_t last) {
    const std::int64_t span = last - first + 1;
    return first + ((n - first) % span + span) % span;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace std::chrono;
    fuzz::SplitInput<31> input(data, size);
    const int currentYear = static_cast<int>(wrapInto(2026 + input.next<std::int16_t>(), 1, 32767));
    const local_days firstDay{year::min() / January / 1};
    const local_days lastDay{year::max() / December / 31};
    const local_days newYear2026{year{2026} / January / 1};
    const auto dayInRange = [&](local_days from, std::int64_t offset) {
        return local_days{days{wrapInto(from.time_since_epoch().count() + offset,
                                        firstDay.time_since_epoch().count(),
                                        lastDay.time_since_epoch().count())}};
    };
    const local_days today = dayInRange(newYear2026, input.next<std::int32_t>());
    const std::int64_t millisecond = input.next<std::uint32_t>() % millisecondsPerDay;
    const std::int32_t madeOffset = input.next<std::int32_t>();
    const std::uint8_t constantChoice = input.next<std::uint8_t>();
    const double constantBits = input.next<double>();
    const std::uint64_t initialBits = input.next<std::uint64_t>() ^ 0x3ff0000000000000;
    double initial;
    std::memcpy(&initial, &initialBits, sizeof initial);
    const double constant = constantChoice < 128
                                ? decayConstants[constantChoice % decayConstants.size()].perDay()
                                : constantBits;

    checkReadDate(input.text, currentYear);
    const auto typed = readDate(input.text, year{currentYear});
    const year_month_day made = typed ? *typed : year_month_day{dayInRange(today, madeOffset)};
    checkElapsedDays(made, year_month_day{today}, millisecond);
    const LocalTime now = today + milliseconds{millisecond};
    checkCurrentActivity(initial, constant, elapsedDays(made, now));
    return 0;
}
