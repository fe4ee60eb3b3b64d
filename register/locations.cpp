#include "locations.h"

namespace dovrin {

std::string_view LocationTotal::categoryByAOverD() const {
    return {};
}

bool LocationTotal::raisedByAggregation() const {
    return false;
}

void LocationTotals::add(std::string_view location, const SourceResult& source) {
    (void)location;
    (void)source;
}

} // namespace dovrin
