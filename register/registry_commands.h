#pragma once

// dovrin-register's commands for a regulator's registry on PostgreSQL: its owner's (init,
// add-holder, add-inspector) and the national inventory (registry URI [OPTION]...), which the
// command line runs as it runs an inventory.

#include <cstdio>
#include <span>
#include <string_view>

#include "decay.h"

namespace dovrin {

// Whether the words are one of the registry owner's commands: registry init, add-holder or
// add-inspector.
bool isRegistryOwnerCommand(std::span<const std::string_view> words);

// Runs the owner's command the words after "registry" name. Returns the exit status: 0 done, 2
// not done (with one line on standard error).
int runRegistryOwnerCommand(std::span<const std::string_view> words, std::FILE* standardOutput,
                            std::FILE* standardError, LocalTime now);

} // namespace dovrin
