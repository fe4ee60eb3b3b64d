#pragma once

// Small text helpers the register's files share: letter case of ASCII letters, ISO dates, the
// parts of its one-line error messages, and bytes searched eight at a time.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dovrin {

// Only ASCII letters change: a UTF-8 byte of another character stays as it is.
constexpr char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// yyyy-mm-dd, written into space; a year beyond four digits keeps all of its digits.
inline std::string_view isoDate(std::chrono::year_month_day date, std::span<char, 32> space) {
    char* out = space.data();
    const int year = static_cast<int>(date.year());
    if (year < 0)
        *out++ = '-';
    const unsigned magnitude =
        year < 0 ? static_cast<unsigned>(-year) : static_cast<unsigned>(year);
    char* const yearStart = out;
    if (magnitude < 1000)
        for (unsigned power = 1000; power > std::max(magnitude, 1u); power /= 10)
            *out++ = '0';
    out = std::to_chars(out, yearStart + 8, magnitude).ptr;
    const auto twoDigits = [&out](unsigned value) {
        *out++ = static_cast<char>('0' + value / 10);
        *out++ = static_cast<char>('0' + value % 10);
    };
    *out++ = '-';
    twoDigits(unsigned(date.month()));
    *out++ = '-';
    twoDigits(unsigned(date.day()));
    return {space.data(), out};
}

// The number written by exactly length digits of text from from, as in "2026-12-08"; none for a
// sign, another character or a text too short.
inline std::optional<int> fixedDigits(std::string_view text, std::size_t from, std::size_t length) {
    if (from + length > text.size())
        return std::nullopt;
    int value = 0;
    const char* first = text.data() + from;
    const auto [end, error] = std::from_chars(first, first + length, value);
    if (error != std::errc() || end != first + length || *first == '-' || *first == '+')
        return std::nullopt;
    return value;
}

// A file's name as a message quotes it: 'inventory.csv'.
inline std::string quotedPath(std::string_view path) {
    return "'" + std::string(path) + "'";
}

// What the system says of an errno value, "No such file or directory".
inline std::string systemError(int number) {
    return std::strerror(number);
}

// ---- Eight bytes at a time ----
//
// Where most of a text's bytes are none of the few sought (a quote, a separator, a line break),
// it is searched a word of eight bytes at a time, and byte by byte only in a word that holds one.

inline constexpr std::uint64_t byteOnes = 0x0101010101010101; // 1 in every byte

// The eight bytes at from, as one word.
inline std::uint64_t wordAt(const char* from) {
    std::uint64_t word = 0;
    std::memcpy(&word, from, sizeof word);
    return word;
}

// The high bit set in each byte of word below n (1 <= n <= 128), and maybe in bytes above the
// first such one, where the subtraction borrowed: nonzero exactly when some byte is below n, and
// then, on a little-endian machine, its lowest set bit is the first such byte's.
constexpr std::uint64_t bytesBelow(std::uint64_t word, unsigned char n) {
    return (word - byteOnes * n) & ~word & (byteOnes << 7);
}

// The same for the bytes of word equal to c.
constexpr std::uint64_t bytesEqual(std::uint64_t word, unsigned char c) {
    return bytesBelow(word ^ (byteOnes * c), 1);
}

} // namespace dovrin
