#pragma once

// Small text helpers the register's files share: letter case of ASCII letters, and the parts of
// its one-line error messages.

#include <cstring>
#include <string>
#include <string_view>

namespace dovrin {

// Only ASCII letters change: a UTF-8 byte of another character stays as it is.
constexpr char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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
