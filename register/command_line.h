#pragma once

// dovrin-register's command line: its options, its progress bar and the summary it writes on
// standard error, on the run of run.h.

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "run.h"

namespace dovrin {

// The command line: the arguments (without the program name), the standard streams, whether
// standard error is a terminal (for a progress bar), and the present moment. Returns the exit
// status.
int runRegister(std::span<const std::string_view> arguments, std::FILE* standardInput,
                std::FILE* standardOutput, std::FILE* standardError, bool errorIsTerminal,
                LocalTime now);

// Reads one of the run's options that takes a value (--separator, --column, ...) into options:
// empty, or why the value cannot be used. The register's import reads its reading options so.
std::string applyRunOption(std::string_view name, std::string_view value, RunOptions& options);

// yyyy-mm-dd (at 00:00) or yyyy-mm-ddThh:mm, digits exactly where shown; none for another text.
std::optional<LocalTime> readMoment(std::string_view text);

// The summary for people, as the command line writes it on standard error.
std::string summaryText(const RunSummary& summary);

} // namespace dovrin
