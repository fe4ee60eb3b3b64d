#pragma once

// The register file: one SQLite database, known by its content (its application id, and its
// schema version in user_version), holding the journal of events. Only init creates one; opening
// never does, and a file that is not a register of exactly this schema is refused untouched.

#include <chrono>
#include <memory>
#include <string>

#include "store.h"

namespace dovrin::store {

// Opens the register file at path; for Access::write, refuses one that cannot be written.
Opening openRegisterFile(const std::string& path, Access access);

// Creates a new register file at path for the holder, recording when; refuses a path that
// exists. Empty on success, else one line.
std::string createRegisterFile(const std::string& path, const Holder& holder,
                               std::chrono::sys_seconds now);

// Whether the file's first bytes are those of an SQLite database: a run given one as its
// inventory reads it as a register (and refuses one that is not a register).
bool isDatabaseFile(const std::string& path);

} // namespace dovrin::store
