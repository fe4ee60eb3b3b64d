#include "locations.h"

#include <algorithm>

#include "categorise.h"
#include "category_thresholds.h"
#include "d_values.h"

namespace dovrin {

namespace {

// 0 for "1", the most severe, up to 4 for "5", then 5 for "Exempted"; an empty label (no
// category) ranks below all of them.
std::size_t severityOf(std::string_view category) {
    if (category.empty())
        return aOverDBands.size() + 1;
    const auto band = std::ranges::find(aOverDBands, category, &AOverDBand::label);
    return static_cast<std::size_t>(band - aOverDBands.begin());
}

} // namespace

std::string_view LocationTotal::categoryByAOverD() const {
    if (sources == sourcesWithErrors)
        return {}; // nothing categorised
    if (allExempted)
        return labels::exempted;
    return categoriseAOverD(sumAOverD);
}

bool LocationTotal::raisedByAggregation() const {
    const std::string_view sum = categoryByAOverD();
    return !sum.empty() && severityOf(sum) < severityOf(mostSevereSingleCategory);
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
    if (severityOf(source.categoryByAOverD) < severityOf(total.mostSevereSingleCategory))
        total.mostSevereSingleCategory = source.categoryByAOverD;
}

} // namespace dovrin
