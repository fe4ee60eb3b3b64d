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
    if (everyExemptionKnown && sumAOverE <= 1)
        return labels::exempted;
    return categoriseAOverD(sumAOverD);
}

std::string_view LocationTotal::nrcQuantity() const {
    if (nrcFractionCategory1 >= 1)
        return "1";
    if (nrcFractionCategory2 >= 1)
        return "2";
    return {};
}

bool LocationTotal::raisedByAggregation() const {
    const std::string_view sum = categoryByAOverD();
    return !sum.empty() && moreSevere(sum, mostSevereSingleCategory);
}

std::size_t LocationTotals::add(std::string_view location, const SourceResult& source) {
    auto entry = index_.find(location);
    if (entry == index_.end()) {
        entry = index_.emplace(std::string(location), totals_.size()).first;
        totals_.emplace_back().location = location;
    }
    const std::size_t place = entry->second;
    LocationTotal& total = totals_[place];
    ++total.sources;
    if (!source.categorised) {
        ++total.sourcesWithErrors;
        return place;
    }
    total.sumAOverD += source.aOverD;
    if (source.aOverE)
        total.sumAOverE += *source.aOverE;
    else
        total.everyExemptionKnown = false;
    total.nrcFractionCategory1 += source.nrcFractionCategory1;
    total.nrcFractionCategory2 += source.nrcFractionCategory2;
    if (source.categoryByAOverD != total.mostSevereSingleCategory &&
        moreSevere(source.categoryByAOverD, total.mostSevereSingleCategory))
        total.mostSevereSingleCategory = source.categoryByAOverD;
    return place;
}

} // namespace dovrin
