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

// Looking a band up among one radionuclide's rows finds the row that the whole table, tried in
// order, would find, because a radionuclide's rows stand together (asserted beside the table).
std::span<const ThresholdRow> thresholdRowsOf(std::string_view radionuclide) {
    const auto first =
        std::ranges::find(categoryThresholds, radionuclide, &ThresholdRow::radionuclide);
    const auto end = std::find_if(first, categoryThresholds.end(), [=](const ThresholdRow& row) {
        return row.radionuclide != radionuclide;
    });
    return {first, end};
}

const ThresholdRow* thresholdBandOf(std::span<const ThresholdRow> rows, double activityTBq) {
    for (const ThresholdRow& row : rows)
        if (aboveLower(row.lower, activityTBq) && belowUpper(row.upper, activityTBq))
            return &row;
    return nullptr;
}

const ThresholdRow* thresholdBandOf(std::string_view radionuclide, double activityTBq) {
    return thresholdBandOf(thresholdRowsOf(radionuclide), activityTBq);
}

std::optional<std::string_view> categoriseActivity(std::string_view radionuclide,
                                                   double activityTBq) {
    return categoriseActivity(thresholdRowsOf(radionuclide), activityTBq);
}

std::optional<std::string_view> categoriseActivity(std::span<const ThresholdRow> rows,
                                                   double activityTBq) {
    if (const ThresholdRow* row = thresholdBandOf(rows, activityTBq))
        return row->label;
    return std::nullopt;
}

std::optional<double> exemptionLevelOf(std::span<const ThresholdRow> rows) {
    const auto row = std::ranges::find(rows, labels::exempted, &ThresholdRow::label);
    if (row == rows.end() || row->upper.kind != BoundKind::inclusive)
        return std::nullopt;
    return row->upper.value;
}

bool hasThresholds(std::string_view radionuclide) {
    return !thresholdRowsOf(radionuclide).empty();
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

const NrcThreshold* nrcThresholdOf(std::string_view radionuclide) {
    const auto row = std::ranges::find(nrcThresholds, radionuclide, &NrcThreshold::radionuclide);
    return row == nrcThresholds.end() ? nullptr : &*row;
}

} // namespace dovrin
