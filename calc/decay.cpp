#include "decay.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "decay_constants.h"
#include "number_text.h"
#include "power_of_ten.h"

namespace dovrin {

namespace {

// A run of digits in the date text: its value and how many digits it has.
struct Field {
    unsigned value = 0;
    std::size_t digits = 0;
};

// Splits "a?b?c" into three digit fields with the same separator, '/' or '-', between them.
// Each field is one to four digits long.
struct DateFields {
    Field first, second, third;
    char separator = 0;
};

std::optional<Field> readField(std::string_view& text) {
    std::size_t length = 0;
    while (length < text.size() && length < 5 && text[length] >= '0' && text[length] <= '9')
        ++length;
    if (length == 0 || length > 4)
        return std::nullopt;
    Field field{0, length};
    std::from_chars(text.data(), text.data() + length, field.value);
    text.remove_prefix(length);
    return field;
}

std::optional<DateFields> splitDate(std::string_view text) {
    DateFields fields;
    const auto first = readField(text);
    if (!first || text.empty() || (text.front() != '/' && text.front() != '-'))
        return std::nullopt;
    fields.separator = text.front();
    text.remove_prefix(1);
    const auto second = readField(text);
    if (!second || text.empty() || text.front() != fields.separator)
        return std::nullopt;
    text.remove_prefix(1);
    const auto third = readField(text);
    if (!third || !text.empty())
        return std::nullopt;
    fields.first = *first;
    fields.second = *second;
    fields.third = *third;
    return fields;
}

// The latest year ending in the two digits that is not after the current year.
std::chrono::year expandTwoDigitYear(unsigned twoDigits, std::chrono::year currentYear) {
    const int current = static_cast<int>(currentYear);
    int year = current - current % 100 + static_cast<int>(twoDigits);
    if (year > current)
        year -= 100;
    return std::chrono::year{year};
}

} // namespace

std::optional<double> decayConstantOf(std::string_view radionuclide) {
    const auto row = std::ranges::find(decayConstants, radionuclide, &DecayConstant::radionuclide);
    if (row == decayConstants.end())
        return std::nullopt;
    return row->perDay();
}

std::optional<std::chrono::year_month_day>
readDate(std::string_view text, std::chrono::year currentYear, DateOrder order) {
    using namespace std::chrono;
    const auto fields = splitDate(trimBlanks(text)); // blanks around a date are allowed
    if (!fields)
        return std::nullopt;
    const auto [first, second, third, separator] = *fields;
    const bool isoOrder = separator == '-' && first.digits == 4;
    if (!isoOrder && order == DateOrder::unstated) {
        // Read only where one order alone gives the date: equal parts read alike either way.
        if (first.value > 12 && second.value <= 12)
            order = DateOrder::dayFirst;
        else if (second.value > 12 && first.value <= 12)
            order = DateOrder::monthFirst;
        else if (first.value == second.value)
            order = DateOrder::monthFirst;
        else
            return std::nullopt;
    }
    const bool dayFirst = !isoOrder && order == DateOrder::dayFirst;
    const Field yearField = isoOrder ? first : third;
    const Field monthField = isoOrder || dayFirst ? second : first;
    const Field dayField = isoOrder ? third : dayFirst ? first : second;
    if (monthField.digits > 2 || dayField.digits > 2)
        return std::nullopt;
    if (yearField.digits != 2 && yearField.digits != 4)
        return std::nullopt;
    const year y = yearField.digits == 2 ? expandTwoDigitYear(yearField.value, currentYear)
                                         : year{static_cast<int>(yearField.value)};
    const year_month_day date{y, month{monthField.value}, day{dayField.value}};
    if (!date.ok() || y < year{1})
        return std::nullopt;
    return date;
}

namespace {

// Whether the text is a time of day: h:mm or hh:mm, with :ss and a fraction of a second
// allowed.
bool isTimeOfDay(std::string_view text) {
    // The number of one to most digits at the start of the text, taken off it, when below limit.
    const auto part = [&text](std::size_t most, unsigned limit) {
        std::size_t count = 0;
        unsigned value = 0;
        while (count < text.size() && count < most && text[count] >= '0' && text[count] <= '9')
            value = value * 10 + static_cast<unsigned>(text[count++] - '0');
        text.remove_prefix(count);
        return count > 0 && value < limit;
    };
    const auto separator = [&text](char c) {
        const bool found = !text.empty() && text.front() == c;
        if (found)
            text.remove_prefix(1);
        return found;
    };
    if (!part(2, 24) || !separator(':') || !part(2, 60))
        return false;
    if (separator(':') && !part(2, 61)) // 61: a leap second
        return false;
    if (separator('.') && !part(9, 1'000'000'000))
        return false;
    return text.empty();
}

} // namespace

InventoryDate readInventoryDate(std::string_view text, std::chrono::year currentYear,
                                DateOrder order) {
    std::string_view date = trimBlanks(text);
    // Compared one by one: a search of the set would cost a call for every character.
    const auto gap = std::ranges::find_if(date, [](char c) { return c == ' ' || c == 'T'; });
    if (gap != date.end()) {
        const auto at = static_cast<std::size_t>(gap - date.begin());
        if (isTimeOfDay(trimBlanks(date.substr(at + 1))))
            date = date.substr(0, at);
    }
    InventoryDate read{readDate(date, currentYear, order)};
    read.ambiguous = !read.date && order == DateOrder::unstated &&
                     readDate(date, currentYear, DateOrder::monthFirst) &&
                     readDate(date, currentYear, DateOrder::dayFirst);
    return read;
}

std::string_view dateOrderText(DateOrder order) {
    switch (order) {
    case DateOrder::monthFirst:
        return "month/day/year";
    case DateOrder::dayFirst:
        return "day/month/year";
    case DateOrder::unstated:
        break;
    }
    return "day/month/year or month/day/year";
}

double elapsedDays(std::chrono::year_month_day manufactured, LocalTime now) {
    using namespace std::chrono;
    return duration<double, days::period>(local_days{manufactured} - now).count();
}

namespace {

struct Decayed {
    double tbq;       // carried to 15 significant digits
    double becquerel; // unrounded: the tooltip's figure
};

std::optional<Decayed> decay(double initialTBq, double decayConstant, double elapsedDays) {
    const double factor = std::exp(decayConstant * elapsedDays);
    const double current = initialTBq * factor;
    const double becquerel = current * powerOfTen(12);
    if (!std::isfinite(factor) || !std::isfinite(current) || !std::isfinite(becquerel))
        return std::nullopt;
    return Decayed{fifteenDigits(current), becquerel};
}

} // namespace

std::optional<double> decayedActivityTBq(double initialTBq, double decayConstant,
                                         double elapsedDays) {
    const auto decayed = decay(initialTBq, decayConstant, elapsedDays);
    if (!decayed)
        return std::nullopt;
    return decayed->tbq;
}

std::optional<CurrentActivity> currentActivity(double initialTBq, double decayConstant,
                                               double elapsedDays) {
    const auto decayed = decay(initialTBq, decayConstant, elapsedDays);
    if (!decayed)
        return std::nullopt;
    return CurrentActivity{decayed->tbq, *formatScientific(decayed->tbq),
                           *activityBreakdown(decayed->becquerel)};
}

} // namespace dovrin
