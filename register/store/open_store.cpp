#include <algorithm>
#include <string>

#include "postgres_store.h"
#include "sqlite_store.h"
#include "store.h"

// The backends by their locations: a regulator's registry by its connection (a postgresql://
// URI or libpq's key=value words), a register file by its path.

namespace dovrin::store {

Opening openStore(const std::string& location, Access access) {
    return isRegistryAddress(location) ? openRegistry(location, access)
                                       : openRegisterFile(location, access);
}

std::string createStore(const std::string& location, const Holder& holder,
                        std::chrono::sys_seconds now) {
    if (isRegistryAddress(location))
        return "a registry's holders are added by its owner: registry add-holder URI NAME "
               "--role ROLE";
    return createRegisterFile(location, holder, now);
}

namespace {

// The connection text with the value of every password in it replaced by ***: the one after the
// user in a URI's authority, a URI's password=... parameter, and libpq's password=... word
// (quoted or not).
std::string withoutPassword(std::string_view address) {
    std::string shown(address);
    if (const auto scheme = shown.find("://"); scheme != std::string::npos) {
        const auto start = scheme + 3;
        const auto authorityEnd = std::min(shown.find_first_of("/?", start), shown.size());
        const auto at = shown.rfind('@', authorityEnd);
        if (at != std::string::npos && at > start)
            if (const auto colon = shown.find(':', start); colon < at)
                shown.replace(colon + 1, at - colon - 1, "***");
    }
    for (auto key = shown.find("password"); key != std::string::npos;
         key = shown.find("password", key + 1)) {
        auto value = key + 8;
        while (value < shown.size() && shown[value] == ' ')
            ++value;
        if (value >= shown.size() || shown[value] != '=')
            continue;
        ++value;
        while (value < shown.size() && shown[value] == ' ')
            ++value;
        auto end = value;
        if (end < shown.size() && shown[end] == '\'') {
            for (++end; end < shown.size() && shown[end] != '\''; ++end)
                if (shown[end] == '\\')
                    ++end;
            end = std::min(end + 1, shown.size());
        } else {
            end = std::min(shown.find_first_of(" &", value), shown.size());
        }
        shown.replace(value, end - value, "***");
    }
    return shown;
}

} // namespace

std::string shownLocation(std::string_view location) {
    return "'" + (isRegistryAddress(location) ? withoutPassword(location) : std::string(location)) +
           "'";
}

bool isStoreLocation(const std::string& input) {
    return isRegistryAddress(input) || isDatabaseFile(input);
}

} // namespace dovrin::store
