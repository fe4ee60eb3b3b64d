#pragma once

// Shared by the fuzz targets: the entry point that libFuzzer (or replay_main.cpp) calls, the
// check that stops the run on a broken property, and small readers for the input bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace dovrin::fuzz {

// Prints the broken property with its input and aborts, which libFuzzer reports as a crash and
// saves the input of.
[[noreturn]] inline void fail(const char* property, const std::string& detail) {
    std::fprintf(stderr, "\nproperty broken: %s\n  %s\n", property, detail.c_str());
    std::abort();
}

// The detail argument is only evaluated when the property does not hold.
#define FUZZ_REQUIRE(condition, detail)                                                            \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::dovrin::fuzz::fail(#condition, (detail));                                            \
    } while (false)

// Bit for bit, so that 0 and -0 differ.
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The blanks that the number texts and the dates may carry.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// A double as "%.17g" and its bit pattern, for failure messages.
inline std::string show(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char text[64];
    std::snprintf(text, sizeof text, "%.17g (0x%016llx)", value,
                  static_cast<unsigned long long>(bits));
    return text;
}

inline std::string quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text.substr(0, 200)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
            result += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            result += escaped;
        }
    }
    if (text.size() > 200)
        result += "...";
    return result + "\" (" + std::to_string(text.size()) + " bytes)";
}

// The input split into a text at the front and a fixed-size tail of numbers at the back, so that
// a corpus file reads as its text followed by a few binary bytes. An input shorter than the tail
// is all text, and its numbers are read as zero bytes.
template <std::size_t TailSize> struct SplitInput {
    std::string_view text;
    unsigned char tail[TailSize] = {};
    std::size_t read = 0;

    SplitInput(const std::uint8_t* data, std::size_t size) {
        const char* chars = reinterpret_cast<const char*>(data);
        if (size < TailSize) {
            text = std::string_view(chars, size);
            return;
        }
        text = std::string_view(chars, size - TailSize);
        std::memcpy(tail, data + size - TailSize, TailSize);
    }

    // The next bytes of the tail as a T, in the machine's byte order.
    template <typename T> T next() {
        static_assert(sizeof(T) <= TailSize);
        T value;
        std::memcpy(&value, tail + read, sizeof value);
        read += sizeof value;
        return value;
    }
};

// Whether the text has the display pattern "0.00E+00": an optional '-', one digit, '.', two
// digits, 'E', the exponent's sign and two digits, or three when the exponent is 100 or more.
// Zero is only "0.00E+00"; any other value starts with a digit other than 0.
inline bool hasScientificShape(std::string_view text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.size() != 8 && text.size() != 9)
        return false;
    if (!digit(text[0]) || text[1] != '.' || !digit(text[2]) || !digit(text[3]) || text[4] != 'E' ||
        (text[5] != '+' && text[5] != '-'))
        return false;
    const std::string_view exponent = text.substr(6);
    if (!std::ranges::all_of(exponent, digit))
        return false;
    if (exponent.size() == 3 && exponent[0] == '0')
        return false;
    if (text[0] == '0')
        return !negative && text == "0.00E+00";
    return true;
}

// The four "0.00E+00" figures of an activity tooltip, in GBq, MBq, kBq and Bq, or no result when
// the text is not "<figure> GBq  , <figure> MBq  , <figure> kBq  , <figure> Bq ".
struct Breakdown {
    std::string_view gbq, mbq, kbq, bq;
};

inline std::optional<Breakdown> splitBreakdown(std::string_view text) {
    std::string_view figures[4];
    constexpr std::string_view suffixes[4] = {" GBq  , ", " MBq  , ", " kBq  , ", " Bq "};
    for (int i = 0; i < 4; ++i) {
        const std::size_t at = text.find(suffixes[i]);
        if (at == std::string_view::npos || !hasScientificShape(text.substr(0, at)))
            return std::nullopt;
        figures[i] = text.substr(0, at);
        text.remove_prefix(at + suffixes[i].size());
    }
    if (!text.empty())
        return std::nullopt;
    return Breakdown{figures[0], figures[1], figures[2], figures[3]};
}

} // namespace dovrin::fuzz
