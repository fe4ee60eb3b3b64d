#include "sqlite_store.h"
#include "store.h"

// The backends by their locations: a register file's path, for now the only kind.

namespace dovrin::store {

Opening openStore(const std::string& location, Access access) {
    return openRegisterFile(location, access);
}

std::string createStore(const std::string& location, const Holder& holder,
                        std::chrono::sys_seconds now) {
    return createRegisterFile(location, holder, now);
}

bool isStoreLocation(const std::string& input) {
    return isDatabaseFile(input);
}

} // namespace dovrin::store
