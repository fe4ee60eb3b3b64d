#pragma once

// A regulator's registry: the kept register of many holders in one PostgreSQL database, through
// Debian's libpq. Each holder's events form their own gap-free sequence and hash chain, exactly
// as a register file's do. The database itself keeps everyone where they belong (roles, grants,
// row-level security, triggers: docs/registry.md); the program connects as the person's own
// role, which is the holder it writes for, and never as the registry's owner.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store.h"

namespace dovrin::store {

// Whether the text names a database server rather than a file: a postgresql:// or postgres://
// URI, or libpq's key=value connection words (service=NAME, host=... dbname=...).
bool isRegistryAddress(std::string_view text);

// Opens the register of the connecting role's holder in the registry at address (any libpq
// connection text). Refused, with one line, for a role that holds no register there (an
// inspector reads the national inventory instead), for the registry's owner or a superuser
// (whom the database's policies would not hold back), and for a database without a registry.
Opening openRegistry(const std::string& address, Access access);

// One holder of a registry, as the owner added it.
struct RegistryHolder {
    std::string role; // the database role that writes for it
    Holder holder;
};

// The registry as a whole, read by an inspector (or a holder, who sees only its own): what the
// regulator's national inventory reads.
class NationalRegistry {
public:
    virtual ~NationalRegistry() = default;
    // Every holder the connecting role may see, by name; none on an error.
    virtual std::optional<std::vector<RegistryHolder>> holders() = 0;
    // One holder's events, as Store::eventsBySource gives a register's.
    virtual std::unique_ptr<EventCursor> eventsBySource(const std::string& role,
                                                        const EventFilter& filter) = 0;
    virtual std::string error() const = 0;
};

struct NationalOpening {
    std::unique_ptr<NationalRegistry> registry; // none when refused
    std::string error;
};
// Opens the registry at address to read it whole, in one snapshot: the national inventory of one
// moment. Refused, with one line, for the owner or a superuser and for a database without one.
NationalOpening openNationalRegistry(const std::string& address);

// The owner's commands. Each connects as the registry's owner (who runs init and so owns what it
// creates) and gives an empty text when done, else one line.
// Creates the registry's schema, its two group roles (holders, inspectors), their grants and
// policies in the database at address; refuses a database that has one.
std::string createRegistry(const std::string& address, std::chrono::sys_seconds now);
// Adds a holder named name, with its licence, written for by role (made, able to log in, when
// the server has no such role).
std::string addRegistryHolder(const std::string& address, const RegistryHolder& holder,
                              std::chrono::sys_seconds now);
// Lets role read every holder's events and write none.
std::string addRegistryInspector(const std::string& address, const std::string& role);

} // namespace dovrin::store
