#include "store_words.h"

#include <algorithm>

#include "events.h"
#include "run.h"

namespace dovrin::store_words {

using namespace store;

// Every word that starts with - is an option with a value (the next word, or after '='), but
// for the flags named. An option is given once, but for those named repeatable.
Words readWords(std::span<const std::string_view> words,
                std::initializer_list<std::string_view> flagNames,
                std::initializer_list<std::string_view> repeatable) {
    Words read;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (!word.starts_with('-') || word == "-") {
            read.operands.push_back(word);
            continue;
        }
        if (std::ranges::find(flagNames, word) != flagNames.end()) {
            read.flags.push_back(word);
            continue;
        }
        const std::size_t equals = word.starts_with("--") ? word.find('=') : word.npos;
        const std::string_view name = word.substr(0, equals);
        std::string_view value;
        if (equals != word.npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            read.error = std::string(name) + " needs a value";
            return read;
        }
        if (read.option(name) && std::ranges::find(repeatable, name) == repeatable.end()) {
            read.error = std::string(name) + " is given twice";
            return read;
        }
        read.options.emplace_back(name, value);
    }
    return read;
}

// Why the options are not those the command takes; empty when they are.
std::string unknownOption(const Words& words, std::initializer_list<std::string_view> names) {
    for (const auto& [name, value] : words.options)
        if (std::ranges::find(names, name) == names.end())
            return "unknown option '" + std::string(name) + "'";
    return {};
}

int refuse(std::FILE* standardError, std::string_view why) {
    std::fprintf(standardError, "%s: %.*s\n", programName.data(), static_cast<int>(why.size()),
                 why.data());
    return 2;
}

std::chrono::year_month_day dayOf(LocalTime moment) {
    return std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(moment)};
}

// --on: a day, yyyy-mm-dd, not after today.
std::optional<std::chrono::year_month_day> readOn(const Words& words, LocalTime now,
                                                  std::string& error) {
    const auto text = words.option("--on");
    if (!text) {
        error = "--on gives the day it happened (yyyy-mm-dd)";
        return std::nullopt;
    }
    const auto day = readDay(*text);
    if (!day)
        error = "--on takes yyyy-mm-dd, not '" + std::string(*text) + "'";
    else if (*day > dayOf(now))
        error = "--on " + std::string(*text) + " is after today: record what has happened";
    return error.empty() ? day : std::nullopt;
}

std::string headLine(const std::optional<Head>& head) {
    return head ? registerHeadText(*head) : std::string("register: last event unknown");
}

} // namespace dovrin::store_words
