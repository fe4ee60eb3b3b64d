#pragma once

// What the register's commands share (store_commands.cpp, store_import.cpp): their words, their
// one-line refusals, the day of an event.

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
#include "store.h"

namespace dovrin::store_words {

inline constexpr std::string_view programName = "dovrin-register";

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

// Writes "dovrin-register: why" on standard error and gives exit status 2.
int refuse(std::FILE* standardError, std::string_view why);

std::chrono::year_month_day dayOf(LocalTime moment);

// --on: a day, yyyy-mm-dd, not after today; none with error set otherwise.
std::optional<std::chrono::year_month_day> readOn(const Words& words, LocalTime now,
                                                  std::string& error);

// "register: last event N, hash HEX", or that it is unknown.
std::string headLine(const std::optional<store::Head>& head);

// import REGISTER INVENTORY --on DATE --by NAME [--commit] [--reason TEXT] [reading options]
int importInventory(std::span<const std::string_view> arguments, std::FILE* standardInput,
                    std::FILE* standardOutput, std::FILE* standardError, LocalTime now);

} // namespace dovrin::store_words
