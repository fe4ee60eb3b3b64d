#pragma once

// dovrin-register's commands that keep a register: init, import, record, history, export and
// verify (store/ holds the register itself). The command line hands them their words.

#include <chrono>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

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

} // namespace dovrin
