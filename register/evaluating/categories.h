#pragma once

// The labels a source's category can take, in one list in their order of severity: the
// summary counts by it, the locations rank by it, and the register window keeps a label as its
// place in it.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "category_thresholds.h"
#include "d_values.h"

namespace dovrin {

// Most severe first. "Not assigned" (below the category table's range for a practice) comes
// after "Exempted", as the summary has always listed it.
inline constexpr std::array<std::string_view, 7> categoryLabels{
    "1", "2", "3", "4", "5", labels::exempted, labels::notAssigned};

// The place of a label in categoryLabels; categoryLabels.size() for an empty or unknown text,
// which thus ranks below every category.
constexpr std::size_t severityOf(std::string_view label) {
    return static_cast<std::size_t>(std::ranges::find(categoryLabels, label) -
                                    categoryLabels.begin());
}

// Whether a is more severe than b.
constexpr bool moreSevere(std::string_view a, std::string_view b) {
    return severityOf(a) < severityOf(b);
}

namespace tableChecks {
constexpr bool everyLabelListed() {
    const auto listed = [](std::string_view label) {
        return severityOf(label) < categoryLabels.size();
    };
    return std::ranges::all_of(categoryThresholds,
                               [&](const ThresholdRow& row) { return listed(row.label); }) &&
           std::ranges::all_of(aOverDBands,
                               [&](const AOverDBand& band) { return listed(band.label); });
}

constexpr bool aOverDBandsInSeverityOrder() {
    for (std::size_t i = 0; i < aOverDBands.size(); ++i)
        if (severityOf(aOverDBands[i].label) != i)
            return false;
    return true;
}
} // namespace tableChecks

static_assert(tableChecks::everyLabelListed(),
              "every label of the category table and of the A/D bands is a known category");
static_assert(tableChecks::aOverDBandsInSeverityOrder(),
              "the A/D bands, most severe first, follow categoryLabels");

} // namespace dovrin
