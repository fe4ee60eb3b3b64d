#pragma once

// The initial activity: a typed number in a chosen unit, converted to TBq.

#include <optional>
#include <string>
#include <string_view>

namespace dovrin {

// The size in becquerel of the unit whose name equals the text exactly; no result otherwise.
std::optional<double> unitSizeInBq(std::string_view unit);

struct Conversion {
    double enteredActivity;    // the number at the start of the activity text, in the unit
    double unitInBq;           // the size of the unit
    double initialActivityTBq; // (unitInBq * enteredActivity) * 1e-12, unrounded
    double shownActivityTBq;   // initialActivityTBq carried to 15 significant digits
    std::string shownText;     // the TBq figure as "0.00E+00"
    std::string tooltip;       // the activity in GBq, MBq, kBq and Bq
};

// The activity in TBq as numbers alone, for callers that show no text.
struct ActivityInTBq {
    double becquerel;          // unitInBq * enteredActivity
    double initialActivityTBq; // becquerel * 1e-12, unrounded
    double shownActivityTBq;   // initialActivityTBq carried to 15 significant digits
};

// The conversion of an activity already read, in a unit of the given size. No result when the
// activity in becquerel lies beyond the range of a double.
std::optional<ActivityInTBq> activityInTBq(double enteredActivity, double unitInBq);

// Converts the activity text in the unit. No result when the unit is unknown, or when the
// activity or its size in becquerel lies beyond the range of a double; the activity text
// itself is read leniently, as readNumber does (no number reads as 0).
std::optional<Conversion> convertActivity(std::string_view activityText, std::string_view unit);

// The activity that a categorisation accepts: the text, blanks aside, is one number, finite
// and not negative. No result for anything else ("abc", "l00", "1,5", "-3", "1e999", "").
std::optional<double> readActivity(std::string_view activityText);

} // namespace dovrin
