#pragma once

// The number texts of the window: how numbers are written into boxes and read back from them.
// The decimal point is always '.', whatever the user's locale.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dovrin {

// The plain text of a finite number: at most 15 significant digits, trailing zeros dropped,
// a leading '-' when negative, and the exponent form ("3.7E-08", "1.5E+20") for very small or
// very large magnitudes, as C's "%.15G" chooses. Zero, negative zero included, is "0".
// readNumber reads every such text back as a finite value: the few largest doubles, which
// "%.15G" would round up beyond a double's range, are written rounded toward zero.
// A value that is not finite gives "Infinity", "-Infinity" or "NaN", which readNumber does not
// take for a number; the window never shows them.
std::string numberText(double value);

// The blanks that number texts may carry before and inside a number: blanks, tabs, line feeds.
inline constexpr std::string_view blanks = " \t\n";

// Whether the character is one of those blanks; compared one by one, which costs less than a
// search of the set.
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// The text without the blanks around it: dates and the texts of an inventory may carry them.
constexpr std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

struct NumberRead {
    double value = 0;    // the number read; 0 when none was found; +-infinity past a double's range
    bool found = false;  // whether the text begins, after blanks, with a number
    std::size_t end = 0; // index just past the number's last character; 0 when none was found
    bool finite = true;  // false when the number lies beyond the range of a double

    bool operator==(const NumberRead&) const = default;
};

// The number at the start of a text. Leading blanks are skipped; blanks, tabs and line feeds
// inside the number are ignored ("1 000" is 1000); then an optional sign, digits with at most
// one '.', and an optional exponent: 'E' or 'e', an optional sign and digits. Reading stops at
// the first character that cannot continue the number ("12abc" is 12, "1,5" is 1). A number
// too small for a double reads as zero of its sign.
NumberRead readNumber(std::string_view text);

// The value as numberText writes it and readNumber reads it back: carried to 15 significant
// digits.
double fifteenDigits(double value);

// The display pattern "0.00E+00": the 15-significant-digit form of the value rounded to three
// digits, halves away from zero, with a two- or three-digit exponent. No result for a value
// that is not finite: such a value never reaches the screen.
std::optional<std::string> formatScientific(double value);

// The tooltip of an activity given in becquerel, as GBq, MBq, kBq and Bq, e.g.
// "3.70E+01 GBq  , 3.70E+04 MBq  , 3.70E+07 kBq  , 3.70E+10 Bq ". No result when the
// activity is not finite.
std::optional<std::string> activityBreakdown(double becquerel);

} // namespace dovrin
