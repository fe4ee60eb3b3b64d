#pragma once

// dovrin-register's commands that keep a register: init, import, record, history, export and
// verify (store/ holds the register itself). The command line hands them their words.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "decay.h"

namespace dovrin {

// Whether the word names one of the register's commands.
bool isStoreCommand(std::string_view word);

// Runs the command the first word names with the words after it; now is the present moment,
// which every event recorded takes as its moment. Returns the exit status: 0 done, 1 done with
// something left undone (conflicts not recorded) or found wrong (verify), 2 not done.
int runStoreCommand(std::span<const std::string_view> words, std::FILE* standardInput,
                    std::FILE* standardOutput, std::FILE* standardError, LocalTime now);

// --known-at: yyyy-mm-ddThh:mm or yyyy-mm-ddThh:mm:ss in local time, or the same with a final Z
// in UTC; none for any other text.
std::optional<std::chrono::sys_seconds> readKnownAt(std::string_view text);

// A command's words: its operands, its options by name ("--on") with their values, and its
// flags.
struct Words {
    std::vector<std::string_view> operands;
    std::vector<std::pair<std::string_view, std::string_view>> options;
    std::vector<std::string_view> flags;
    std::string error;

    std::optional<std::string_view> option(std::string_view name) const {
        const auto found = std::ranges::find(options, name, &decltype(options)::value_type::first);
        return found == options.end() ? std::nullopt : std::optional(found->second);
    }
    bool flag(std::string_view name) const { return std::ranges::find(flags, name) != flags.end(); }
};

// Every word that starts with - is an option with a value (the next word, or after '='), but
// for the flags named. An option is given once, but for those named repeatable.
Words readWords(std::span<const std::string_view> words,
                std::initializer_list<std::string_view> flagNames,
                std::initializer_list<std::string_view> repeatable = {});

// Why the options are not those the command takes; empty when they are.
std::string unknownOption(const Words& words, std::initializer_list<std::string_view> names);

// Writes why the command cannot be done, on one line, and gives its exit status (2).
int refuse(std::FILE* standardError, std::string_view why);

} // namespace dovrin
