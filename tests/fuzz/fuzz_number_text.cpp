// numberText, formatScientific and activityBreakdown on every bit pattern of a double (the
// first eight bytes of the input; a shorter input is padded with zero bytes), NaNs, infinities,
// subnormals and negative zero included. The C library's correctly rounded "%.15G" and "%.14E"
// are the references.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "number_text.h"
#include "test_facts.h"

using namespace dovrin;
using dovrin::facts::printed;
using dovrin::fuzz::quoted;
using dovrin::fuzz::sameBits;
using dovrin::fuzz::show;

namespace {

void checkNumberText(double value) {
    const std::string text = numberText(value);
    const std::string context = show(value) + " written as " + quoted(text);
    if (!std::isfinite(value)) {
        FUZZ_REQUIRE(text == (std::isnan(value) ? "NaN"
                              : value < 0       ? "-Infinity"
                                                : "Infinity"),
                     context);
        FUZZ_REQUIRE(!readNumber(text).found, context);
        return;
    }
    // "%.15G" decides between the plain and the exponent form; negative zero is "0", and the
    // largest doubles, whose 15 digits round beyond the range of a double, are written rounded
    // toward zero so that their text reads back.
    std::string reference = value == 0 ? "0" : printed("%.15G", value);
    if (std::isinf(std::strtod(reference.c_str(), nullptr)))
        reference = value < 0 ? "-1.79769313486231E+308" : "1.79769313486231E+308";
    FUZZ_REQUIRE(text == reference, context + ", \"%.15G\" gives " + quoted(reference));

    const NumberRead read = readNumber(text);
    FUZZ_REQUIRE(read.found && read.end == text.size(), context);
    FUZZ_REQUIRE(read.finite, context + " reads back as " + show(read.value));
    const double nearest = std::strtod(reference.c_str(), nullptr);
    FUZZ_REQUIRE(sameBits(read.value, nearest), context + " reads back as " + show(read.value) +
                                                    ", strtod gives " + show(nearest));
    FUZZ_REQUIRE(numberText(read.value) == text,
                 context + ", read back and written again: " + quoted(numberText(read.value)));
    FUZZ_REQUIRE(sameBits(fifteenDigits(value), read.value),
                 context + ", fifteenDigits gives " + show(fifteenDigits(value)));
}

void checkScientific(double value) {
    const std::optional<std::string> text = formatScientific(value);
    if (!std::isfinite(value)) {
        FUZZ_REQUIRE(!text, show(value) + " formatted as " + quoted(*text));
        return;
    }
    const std::string context = show(value) + " formatted as " + (text ? quoted(*text) : "none");
    FUZZ_REQUIRE(text && fuzz::hasScientificShape(*text), context);
    const std::string expected = facts::expectedScientific(value);
    FUZZ_REQUIRE(*text == expected, context + ", expected " + quoted(expected));
}

void checkBreakdown(double becquerel) {
    const std::optional<std::string> tooltip = activityBreakdown(becquerel);
    if (!std::isfinite(becquerel)) {
        FUZZ_REQUIRE(!tooltip, show(becquerel) + ": " + quoted(*tooltip));
        return;
    }
    const std::string context = show(becquerel) + ": " + (tooltip ? quoted(*tooltip) : "none");
    FUZZ_REQUIRE(tooltip, context);
    const auto figures = fuzz::splitBreakdown(*tooltip);
    FUZZ_REQUIRE(figures, context);
    FUZZ_REQUIRE(figures->bq == *formatScientific(becquerel), context);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, data, size < sizeof bits ? size : sizeof bits);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    checkNumberText(value);
    checkScientific(value);
    checkBreakdown(value);
    return 0;
}
