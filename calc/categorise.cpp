#include "categorise.h"

#include <algorithm>

#include "category_thresholds.h"

namespace dovrin {

namespace {

bool aboveLower(Bound bound, double activity) {
    switch (bound.kind) {
    case BoundKind::inclusive:
        return activity >= bound.value;
    case BoundKind::exclusive:
        return activity > bound.value;
    case BoundKind::none:
        break;
    }
    return true;
}

bool belowUpper(Bound bound, double activity) {
    switch (bound.kind) {
    case BoundKind::inclusive:
        return activity <= bound.value;
    case BoundKind::exclusive:
        return activity < bound.value;
    case BoundKind::none:
        break;
    }
    return true;
}

} // namespace

std::optional<std::string_view> categoriseActivity(std::string_view radionuclide,
                                                   double activityTBq) {
    for (const ThresholdRow& row : categoryThresholds)
        if (row.radionuclide == radionuclide && aboveLower(row.lower, activityTBq) &&
            belowUpper(row.upper, activityTBq))
            return row.label;
    return std::nullopt;
}

bool hasThresholds(std::string_view radionuclide) {
    return std::ranges::find(categoryThresholds, radionuclide, &ThresholdRow::radionuclide) !=
           categoryThresholds.end();
}

} // namespace dovrin
