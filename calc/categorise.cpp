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

const ThresholdRow* thresholdBandOf(std::string_view radionuclide, double activityTBq) {
    for (const ThresholdRow& row : categoryThresholds)
        if (row.radionuclide == radionuclide && aboveLower(row.lower, activityTBq) &&
            belowUpper(row.upper, activityTBq))
            return &row;
    return nullptr;
}

std::optional<std::string_view> categoriseActivity(std::string_view radionuclide,
                                                   double activityTBq) {
    if (const ThresholdRow* row = thresholdBandOf(radionuclide, activityTBq))
        return row->label;
    return std::nullopt;
}

bool hasThresholds(std::string_view radionuclide) {
    return std::ranges::find(categoryThresholds, radionuclide, &ThresholdRow::radionuclide) !=
           categoryThresholds.end();
}

std::optional<double> dValueOf(std::string_view radionuclide) {
    const auto row = std::ranges::find(dValues, radionuclide, &DValue::radionuclide);
    if (row == dValues.end())
        return std::nullopt;
    return row->tbq;
}

const AOverDBand& aOverDBandOf(double aOverD) {
    const auto band = std::ranges::find_if(
        aOverDBands, [aOverD](const AOverDBand& candidate) { return aOverD >= candidate.atLeast; });
    return band == aOverDBands.end() ? aOverDBands.back() : *band;
}

std::string_view categoriseAOverD(double aOverD) {
    return aOverDBandOf(aOverD).label;
}

} // namespace dovrin
