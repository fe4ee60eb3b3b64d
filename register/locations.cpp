#include "locations.h"

#include <algorithm>

#include "categories.h"
#include "categorise.h"
#include "category_thresholds.h"
#include "d_values.h"

namespace dovrin {

std::string_view LocationTotal::categoryByAOverD() const {
    if (sources == sourcesWithErrors)
        return {}; // nothing categorised
    if (allExempted)
        return labels::exempted;
    return categoriseAOverD(sumAOverD);
}

bool LocationTotal::raisedByAggregation() const {
    const std::string_view sum = categoryByAOverD();
    return !sum.empty() && moreSevere(sum, mostSevereSingleCategory);
}

void LocationTotals::add(std::string_view location, const SourceResult& source) {
    auto entry = index_.find(location);
    if (entry == index_.end()) {
        entry = index_.emplace(std::string(location), totals_.size()).first;
        totals_.emplace_back().location = location;
    }
    LocationTotal& total = totals_[entry->second];
    ++total.sources;
    if (!source.categorised) {
        ++total.sourcesWithErrors;
        return;
    }
    total.sumAOverD += source.aOverD;
    total.allExempted = total.allExempted && source.categoryByAOverD == labels::exempted;
    if (moreSevere(source.categoryByAOverD, total.mostSevereSingleCategory))
        total.mostSevereSingleCategory = source.categoryByAOverD;
}

} // namespace dovrin
