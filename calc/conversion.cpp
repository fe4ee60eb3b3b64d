#include "conversion.h"

#include <algorithm>
#include <cmath>

#include "activity_units.h"
#include "number_text.h"

namespace dovrin {

std::optional<double> unitSizeInBq(std::string_view unit) {
    const auto row = std::ranges::find(activityUnits, unit, &ActivityUnit::name);
    if (row == activityUnits.end())
        return std::nullopt;
    return row->sizeInBq;
}

std::optional<Conversion> convertActivity(std::string_view activityText, std::string_view unit) {
    const auto unitInBq = unitSizeInBq(unit);
    if (!unitInBq)
        return std::nullopt;
    const double enteredActivity = readNumber(activityText).value;
    const auto tbq = activityInTBq(enteredActivity, *unitInBq);
    if (!tbq)
        return std::nullopt;
    return Conversion{enteredActivity,
                      *unitInBq,
                      tbq->initialActivityTBq,
                      tbq->shownActivityTBq,
                      *formatScientific(tbq->shownActivityTBq),
                      *activityBreakdown(tbq->becquerel)};
}

std::optional<ActivityInTBq> activityInTBq(double enteredActivity, double unitInBq) {
    const double becquerel = unitInBq * enteredActivity;
    if (!std::isfinite(becquerel))
        return std::nullopt;
    const double initialActivityTBq = becquerel * powerOfTen(-12);
    return ActivityInTBq{becquerel, initialActivityTBq, fifteenDigits(initialActivityTBq)};
}

std::optional<double> readActivity(std::string_view activityText) {
    const NumberRead read = readNumber(activityText);
    const bool onlyBlanksAfter =
        activityText.find_first_not_of(blanks, read.end) == std::string_view::npos;
    if (!read.found || !read.finite || !onlyBlanksAfter || read.value < 0)
        return std::nullopt;
    return read.value;
}

} // namespace dovrin
