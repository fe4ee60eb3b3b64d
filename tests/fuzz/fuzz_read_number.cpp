// readNumber on arbitrary bytes, checked against the grammar of the number texts worked out
// here on its own, with the C library's strtod giving the value; then readActivity and
// convertActivity on the same text.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "activity_units.h"
#include "conversion.h"
#include "fuzz_check.h"
#include "number_text.h"

using namespace dovrin;
using dovrin::fuzz::quoted;
using dovrin::fuzz::sameBits;
using dovrin::fuzz::show;

namespace {

// The longest start of the text, blanks ignored, that matches
//     [+-]? ( digits [ "." digits? ] | "." digits ) ( [Ee] [+-]? digits )?
// as a small automaton: where the number ends and its characters without the blanks.
struct ExpectedNumber {
    bool found = false;
    std::size_t end = 0;
    std::string characters;
};

enum class State {
    start,
    sign,
    integer,
    point,
    pointFirst,
    fraction,
    exponentLetter,
    exponentSign,
    exponentDigits,
    stop
};

State after(State state, char c) {
    const bool digit = c >= '0' && c <= '9';
    const bool sign = c == '+' || c == '-';
    const bool letter = c == 'e' || c == 'E';
    switch (state) {
    case State::start:
        return sign       ? State::sign
               : digit    ? State::integer
               : c == '.' ? State::pointFirst
                          : State::stop;
    case State::sign:
        return digit ? State::integer : c == '.' ? State::pointFirst : State::stop;
    case State::integer:
        return digit      ? State::integer
               : c == '.' ? State::point
               : letter   ? State::exponentLetter
                          : State::stop;
    case State::point:
    case State::fraction:
        return digit ? State::fraction : letter ? State::exponentLetter : State::stop;
    case State::pointFirst:
        return digit ? State::fraction : State::stop;
    case State::exponentLetter:
        return sign ? State::exponentSign : digit ? State::exponentDigits : State::stop;
    case State::exponentSign:
    case State::exponentDigits:
        return digit ? State::exponentDigits : State::stop;
    case State::stop:
        break;
    }
    return State::stop;
}

bool accepts(State state) {
    return state == State::integer || state == State::point || state == State::fraction ||
           state == State::exponentDigits;
}

ExpectedNumber expectedNumber(std::string_view text) {
    ExpectedNumber expected;
    std::string taken;
    std::size_t takenWhenAccepted = 0;
    State state = State::start;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (fuzz::isBlank(text[i]))
            continue;
        state = after(state, text[i]);
        if (state == State::stop)
            break;
        taken += text[i];
        if (accepts(state)) {
            expected.found = true;
            expected.end = i + 1;
            takenWhenAccepted = taken.size();
        }
    }
    taken.resize(takenWhenAccepted);
    expected.characters = std::move(taken);
    return expected;
}

void checkRead(std::string_view text) {
    const NumberRead read = readNumber(text);
    const ExpectedNumber expected = expectedNumber(text);
    const std::string context = quoted(text);

    FUZZ_REQUIRE(read.found == expected.found, context);
    FUZZ_REQUIRE(read.end == expected.end, context + ": ends at " + std::to_string(read.end) +
                                               ", expected " + std::to_string(expected.end));
    FUZZ_REQUIRE(read.finite == std::isfinite(read.value), context + ": " + show(read.value));
    if (!expected.found) {
        FUZZ_REQUIRE(sameBits(read.value, 0.0), context + ": " + show(read.value));
        return;
    }
    // strtod reads the same grammar (it also takes the '+'), correctly rounded, with +-HUGE_VAL
    // past the range of a double and a zero of the number's sign below it.
    const double reference = std::strtod(expected.characters.c_str(), nullptr);
    FUZZ_REQUIRE(sameBits(read.value, reference), context + ": " + show(read.value) + ", strtod(" +
                                                      quoted(expected.characters) + ") is " +
                                                      show(reference));
}

void checkActivity(std::string_view text) {
    const NumberRead read = readNumber(text);
    const auto activity = readActivity(text);
    const bool onlyBlanksAfter = std::all_of(text.begin() + static_cast<std::ptrdiff_t>(read.end),
                                             text.end(), fuzz::isBlank);
    const bool acceptable = read.found && read.finite && !(read.value < 0) && onlyBlanksAfter;
    FUZZ_REQUIRE(activity.has_value() == acceptable, quoted(text));
    if (activity)
        FUZZ_REQUIRE(sameBits(*activity, read.value), quoted(text) + ": " + show(*activity));
}

void checkConversion(std::string_view text) {
    const std::string_view unit = activityUnits[text.size() % activityUnits.size()].name;
    const auto conversion = convertActivity(text, unit);
    const std::string context = quoted(text) + " in " + std::string(unit);
    const double becquerel = *unitSizeInBq(unit) * readNumber(text).value;
    FUZZ_REQUIRE(conversion.has_value() == std::isfinite(becquerel), context);
    if (!conversion)
        return;
    FUZZ_REQUIRE(std::isfinite(conversion->shownActivityTBq), context);
    FUZZ_REQUIRE(
        sameBits(fifteenDigits(conversion->shownActivityTBq), conversion->shownActivityTBq),
        context + ": " + show(conversion->shownActivityTBq));
    FUZZ_REQUIRE(fuzz::hasScientificShape(conversion->shownText),
                 context + ": " + quoted(conversion->shownText));
    FUZZ_REQUIRE(fuzz::splitBreakdown(conversion->tooltip).has_value(),
                 context + ": " + quoted(conversion->tooltip));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkRead(text);
    checkActivity(text);
    checkConversion(text);
    return 0;
}
