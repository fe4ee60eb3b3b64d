#pragma once

// Small text helpers the register's files share: letter case of ASCII letters, ISO dates, and
// the parts of its one-line error messages.

#include <algorithm>
#include <charconv>
#include <chrono>
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

} // namespace dovrin
