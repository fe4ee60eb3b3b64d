#include "number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "power_of_ten.h"

namespace dovrin {

namespace {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Large enough for any double written by to_chars with up to 17 significant digits.
using NumberBuffer = std::array<char, 40>;

// The number reader walks the text once. It notes where the number's characters lie and how
// many of them are not blanks (from_chars knows no blanks and no '+'), and the decimal
// magnitude, which tells an overflow from an underflow when the value is beyond a double's
// range. Most numbers hold no blank: from_chars then reads them in place, with no copy.
class NumberScanner {
public:
    explicit NumberScanner(std::string_view text)
        : text_(text) {}

    NumberRead scan() {
        skipBlanks();
        scanSign();
        scanInteger();
        scanFraction();
        if (!found_)
            return {};
        scanExponent();
        return {valueOf(), true, end_, true};
    }

private:
    void skipBlanks() {
        while (next_ < text_.size() && isBlank(text_[next_]))
            ++next_;
    }
    bool at(char c) const { return next_ < text_.size() && text_[next_] == c; }
    bool atDigit() const { return next_ < text_.size() && isDigit(text_[next_]); }

    // Takes the character at the cursor into the number and moves past it and any blanks.
    void take() {
        ++characters_;
        end_ = next_ + 1;
        ++next_;
        skipBlanks();
    }

    void scanSign() {
        if (at('-')) {
            negative_ = true;
            start_ = next_;
            ++characters_;
            ++next_;
            skipBlanks();
            return;
        }
        if (at('+')) {
            ++next_;
            skipBlanks();
        }
        start_ = next_;
    }

    void scanInteger() {
        while (atDigit()) {
            if (text_[next_] != '0' || significantIntegerDigits_ > 0)
                ++significantIntegerDigits_;
            found_ = true;
            take();
        }
    }

    // A "." with no digit on either side is no number; scan() then finds nothing.
    void scanFraction() {
        if (!at('.'))
            return;
        take();
        bool nonZeroSeen = false;
        while (atDigit()) {
            nonZeroSeen = nonZeroSeen || text_[next_] != '0';
            if (!nonZeroSeen)
                ++leadingFractionZeros_;
            found_ = true;
            take();
        }
    }

    // An exponent counts only when at least one digit follows the letter (and its sign).
    void scanExponent() {
        if (!at('E') && !at('e'))
            return;
        const std::size_t restart = next_;
        const std::size_t endBefore = end_;
        ++next_;
        skipBlanks();
        std::size_t exponentCharacters = 1; // the letter
        bool negativeExponent = false;
        if (at('-') || at('+')) {
            negativeExponent = at('-');
            ++exponentCharacters;
            ++next_;
            skipBlanks();
        }
        if (!atDigit()) {
            next_ = restart;
            end_ = endBefore;
            return;
        }
        characters_ += exponentCharacters;
        while (atDigit()) {
            // Saturates far beyond any text's length, so that the digits before the exponent
            // can never bring a saturated exponent back into a double's range.
            exponent_ = std::min(exponent_ * 10 + (text_[next_] - '0'), exponentLimit);
            take();
        }
        if (negativeExponent)
            exponent_ = -exponent_;
    }

    // The number's characters without the blanks inside it.
    std::string withoutBlanks() const {
        std::string number;
        number.reserve(characters_);
        for (const char c : text_.substr(start_, end_ - start_))
            if (!isBlank(c))
                number += c;
        return number;
    }

    double valueOf() const {
        double value = 0;
        const auto read = [&value](std::string_view number) {
            return std::from_chars(number.data(), number.data() + number.size(), value,
                                   std::chars_format::general)
                .ec;
        };
        const std::errc ec = end_ - start_ == characters_ ? read(text_.substr(start_, characters_))
                                                          : read(withoutBlanks());
        if (ec != std::errc::result_out_of_range)
            return value;
        const long long magnitude =
            exponent_ + (significantIntegerDigits_ > 0
                             ? static_cast<long long>(significantIntegerDigits_)
                             : -static_cast<long long>(leadingFractionZeros_));
        const double beyond = magnitude > 0 ? HUGE_VAL : 0.0;
        return negative_ ? -beyond : beyond;
    }

    std::string_view text_;
    std::size_t next_ = 0;
    std::size_t end_ = 0;
    std::size_t start_ = 0;      // where the number's characters begin: its '-' or first digit
    std::size_t characters_ = 0; // how many of them are not blanks
    bool found_ = false;
    bool negative_ = false;
    std::size_t significantIntegerDigits_ = 0;
    std::size_t leadingFractionZeros_ = 0;
    static constexpr long long exponentLimit = 100'000'000'000'000'000;
    long long exponent_ = 0;
};

// "0.00E+00" for a finite value.
std::string scientificText(double value) {
    if (value == 0)
        return "0.00E+00";
    // 15 significant digits: "d.dddddddddddddde+XX", with a leading '-' when negative.
    NumberBuffer digits;
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), value,
                                       std::chars_format::scientific, 14);
    std::string_view text(digits.data(), static_cast<std::size_t>(written.ptr - digits.data()));
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);

    int exponent = 0;
    std::from_chars(text.data() + 17 + (text[17] == '+'), text.data() + text.size(), exponent);
    int mantissa = (text[0] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
    if (text[4] >= '5') // halves, and everything above, go away from zero
        ++mantissa;
    if (mantissa == 1000) {
        mantissa = 100;
        ++exponent;
    }

    std::string result;
    result.reserve(10);
    if (negative)
        result += '-';
    result += static_cast<char>('0' + mantissa / 100);
    result += '.';
    result += static_cast<char>('0' + mantissa / 10 % 10);
    result += static_cast<char>('0' + mantissa % 10);
    result += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10)
        result += '0';
    result += std::to_string(magnitude);
    return result;
}

} // namespace

std::string numberText(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0)
        return "0";
    NumberBuffer buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::general, 15);
    std::string text(buffer.data(), written.ptr);
    if (const auto e = text.find('e'); e != std::string::npos)
        text[e] = 'E';
    // The largest doubles round, at 15 digits, to 1.79769313486232E+308, beyond a double's
    // range; they are written rounded toward zero instead, so that the text reads back.
    if (std::abs(value) > 1e308 && !readNumber(text).finite)
        return value < 0 ? "-1.79769313486231E+308" : "1.79769313486231E+308";
    return text;
}

NumberRead readNumber(std::string_view text) {
    NumberRead read = NumberScanner(text).scan();
    read.finite = std::isfinite(read.value);
    return read;
}

namespace {

// The powers of ten that a double holds exactly.
constexpr auto exactPowersOfTen = [] {
    std::array<double, 23> powers{};
    for (std::size_t i = 0; i < powers.size(); ++i)
        powers[i] = powerOfTen(static_cast<int>(i));
    return powers;
}();

constexpr int largestExactPower = exactPowersOfTen.size() - 1;

double exactPowerOfTen(int exponent) {
    return exactPowersOfTen[static_cast<std::size_t>(exponent)];
}

// The magnitude times 10^shift: one rounding for |shift| <= 22, two for a larger shift.
double scaledByPowerOfTen(double magnitude, int shift) {
    if (shift < 0)
        return magnitude / exactPowerOfTen(-shift);
    if (shift <= largestExactPower)
        return magnitude * exactPowerOfTen(shift);
    return magnitude * exactPowerOfTen(largestExactPower) *
           exactPowerOfTen(shift - largestExactPower);
}

// digits * 10^-exponent, correctly rounded, as reading its text does.
double decimalValue(std::uint64_t digits, int negativeExponent) {
    std::array<char, 32> text; // up to 20 digits, "e-" and the exponent
    char* end = std::to_chars(text.data(), text.data() + 20, digits).ptr;
    *end++ = 'e';
    *end++ = '-';
    end = std::to_chars(end, text.data() + text.size(), negativeExponent).ptr;
    double value = 0;
    std::from_chars(text.data(), end, value);
    return value;
}

// Whether the 15 digits round up from the integer part of the scaled magnitude; no result for a
// tie, which is left to the printer.
//  - Scaled by one exact power up: the one rounding's error is exact by fma, so the true
//    fraction is compared with one half exactly.
//  - Scaled by one exact power down: within 1/16 of the true value, so only a fraction near one
//    half needs the printer.
//  - Scaled by two exact powers up: within 1/4 of the true value, so the digits are the integer
//    part or the next; the magnitude against the correctly rounded half-way decimal tells which
//    (a double between the half-way decimal and its rounding would be nearer to it).
std::optional<bool> roundsUp(double magnitude, int shift, double scaled, double whole) {
    const double aboveHalf = scaled - whole - 0.5; // exact: scaled is a multiple of 2^-6
    if (shift < 0) {
        if (std::abs(aboveHalf) <= 0.0625)
            return std::nullopt;
        return aboveHalf > 0;
    }
    if (shift <= largestExactPower) {
        const double error = std::fma(magnitude, exactPowerOfTen(shift), -scaled);
        if (aboveHalf == -error)
            return std::nullopt;
        return aboveHalf > -error;
    }
    if (std::abs(aboveHalf) > 0.25)
        return aboveHalf > 0;
    const double halfWay = decimalValue(static_cast<std::uint64_t>(whole) * 10 + 5, shift + 1);
    if (magnitude == halfWay)
        return std::nullopt;
    return magnitude > halfWay;
}

// A positive magnitude carried to 15 significant digits by arithmetic, for the many values
// where that is provably what printing and reading back give; no result for the others. The
// magnitude is scaled by powers of ten into [1e14, 1e15), whose integer part, rounded as
// roundsUp says, is the 15 digits; scaled back by one exact power, or read as a decimal, they
// are the double that reading their text gives. Near the ends of the range the digit count
// itself is in doubt: no result.
std::optional<double> fifteenDigitsByArithmetic(double magnitude) {
    // floor(log10(magnitude)) or one off, from the binary exponent
    const int binaryExponent = std::ilogb(magnitude);
    int exponent = binaryExponent * 78913 / 262144 - (binaryExponent < 0 ? 1 : 0);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int shift = 14 - exponent;
        if (shift < -largestExactPower || shift > 2 * largestExactPower)
            return std::nullopt;
        const double scaled = scaledByPowerOfTen(magnitude, shift);
        if (scaled < 1e14) {
            --exponent;
            continue;
        }
        if (scaled >= 1e15) {
            ++exponent;
            continue;
        }
        if (scaled < 1e14 + 1 || scaled >= 1e15 - 1)
            return std::nullopt;
        const double whole = std::floor(scaled);
        const auto up = roundsUp(magnitude, shift, scaled, whole);
        if (!up)
            return std::nullopt;
        const double digits = *up ? whole + 1 : whole;
        if (shift > largestExactPower)
            return decimalValue(static_cast<std::uint64_t>(digits), shift);
        return shift >= 0 ? digits / exactPowerOfTen(shift) : digits * exactPowerOfTen(-shift);
    }
    return std::nullopt;
}

} // namespace

// readNumber(numberText(value)).value, without building either text: by arithmetic where that
// is exact, otherwise the same digits read back from a buffer on the stack. Called several
// times for every source of an inventory, so it allocates nothing.
double fifteenDigits(double value) {
    if (!std::isfinite(value) || value == 0)
        return 0; // "NaN", "Infinity" and "0" read as no number, or as a positive zero
    if (const auto magnitude = fifteenDigitsByArithmetic(std::abs(value)))
        return value < 0 ? -*magnitude : *magnitude;
    NumberBuffer buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::general, 15);
    double read = 0;
    const auto [ptr, ec] = std::from_chars(buffer.data(), written.ptr, read);
    (void)ptr;
    if (ec != std::errc::result_out_of_range)
        return read;
    // As readNumber reads a number beyond the range: zero of its sign when tiny. The largest
    // doubles round beyond the range at 15 digits; numberText writes them rounded toward zero.
    if (std::abs(value) < 1)
        return value < 0 ? -0.0 : 0.0;
    return value < 0 ? -1.79769313486231e308 : 1.79769313486231e308;
}

std::optional<std::string> formatScientific(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    return scientificText(value);
}

std::optional<std::string> activityBreakdown(double becquerel) {
    if (!std::isfinite(becquerel))
        return std::nullopt;
    return scientificText(becquerel * powerOfTen(-9)) + " GBq " + " , " +
           scientificText(becquerel * powerOfTen(-6)) + " MBq " + " , " +
           scientificText(becquerel * powerOfTen(-3)) + " kBq " + " , " +
           scientificText(becquerel) + " Bq ";
}

} // namespace dovrin
