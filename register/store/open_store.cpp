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

bool isStoreLocation(const std::string& input) {
    return isRegistryAddress(input) || isDatabaseFile(input);
}

} // namespace dovrin::store
