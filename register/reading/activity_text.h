#pragma once

// An activity as an inventory writes it: a number, its unit in a column of its own, glued to it
// or after it in the same cell ("150mCi", "250 uCi"), or in the activity's header
// ("Activity (mCi)"). A text that could be read two ways is refused with both readings, never
// guessed: a blank inside a number ("1 5"), a unit whose letter case is its meaning ("MCI").

#include <optional>
#include <string>
#include <string_view>

namespace dovrin {

struct UnitRead {
    std::string_view name; // as the unit tables write it: "mCi"
    double sizeInBq = 0;
};

// The unit the text names, blanks around it ignored: exactly as the unit tables write it, with
// the micro sign or mu for 'u', or in another letter case where that changes nothing ("ci",
// "GBQ", "uci"). None, with why (one clause naming the known units, or both readings of an m
// that may be milli or mega), for any other text.
std::optional<UnitRead> readUnitText(std::string_view text, std::string* why = nullptr);

// The texts that give one row's activity.
struct ActivityTexts {
    std::string_view activity;   // the number, perhaps with its unit
    std::string_view unit;       // the unit column's cell; empty without one
    std::string_view headerUnit; // the unit in the activity's header; empty without one
    bool decimalComma = false;   // "3,7" reads as 3.7
};

struct ActivityRead {
    double value = 0; // in the unit, finite and not negative
    UnitRead unit;
};

// The activity and its unit, or none with the reason appended to problems (as "activity: ...",
// "unit: ..." clauses joined by "; ").
std::optional<ActivityRead> readActivityTexts(const ActivityTexts& texts, std::string& problems);

// The unit in a header's trailing brackets or after its last slash ("Activity (mCi)",
// "Activity [GBq]", "Activity / MBq"), as written; empty when it holds none.
std::string_view unitInHeader(std::string_view header);

} // namespace dovrin
