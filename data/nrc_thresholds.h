#pragma once

// The US NRC's category 1 and category 2 thresholds of 10 CFR 37, Appendix A, Table 1, in TBq,
// the regulatory unit. A US licensee adds, over the sources aggregated at one location, the
// activity of each radionuclide of the table divided by its threshold (the "sum of fractions");
// a sum of 1.0 or more is a category 1 or category 2 quantity. Radionuclides outside the table
// do not count. The activity of an Am-241/Be or Pu-239/Be source is that of its alpha emitter.
//
// Read in 10 CFR Part 73, Appendix I, "Category 1 and 2 Radioactive Materials"
// (law.cornell.edu/cfr/text/10/part-73/appendix-I), which lists the same thresholds, and checked
// against 10 CFR Part 110, Appendix P, Table 1
// (law.cornell.edu/cfr/text/10/appendix-P_to_part_110): every value agrees. The text of Part 37,
// Appendix A (its sum-of-fractions rule: "greater than or equal to 1.0", in TBq) was read at
// kanterella.com/10_CFR_37_Appendix_A, whose copy lacks the table's rows.

#include <algorithm>
#include <array>
#include <string_view>

#include "d_values.h"
#include "table_checks.h"

namespace dovrin {

struct NrcThreshold {
    std::string_view radionuclide; // as the decay constant table writes it
    double category1TBq;
    double category2TBq;
};

inline constexpr auto nrcThresholds = std::to_array<NrcThreshold>({
    {"Am-241", 60, 0.6},
    {"Am-241/Be", 60, 0.6},
    {"Cf-252", 20, 0.2},
    {"Cm-244", 50, 0.5},
    {"Co-60", 30, 0.3},
    {"Cs-137", 100, 1},
    {"Gd-153", 1000, 10},
    {"Ir-192", 80, 0.8},
    {"Pm-147", 40000, 400},
    {"Pu-238", 60, 0.6},
    {"Pu-239/Be", 60, 0.6},
    {"Ra-226", 40, 0.4},
    {"Se-75", 200, 2},
    {"Sr-90", 1000, 10}, // "Strontium-90 (Y-90)"
    {"Tm-170", 20000, 200},
    {"Yb-169", 300, 3},
});

namespace tableChecks {

// The NRC's thresholds and the D-values come from the same IAEA work: category 2 is 10 D.
constexpr bool nrcCategory2IsTenD() {
    return std::ranges::all_of(nrcThresholds, [](const NrcThreshold& threshold) {
        const auto d = std::ranges::find(dValues, threshold.radionuclide, &DValue::radionuclide);
        return d == dValues.end() || threshold.category2TBq == 10 * d->tbq;
    });
}

} // namespace tableChecks

static_assert(tableChecks::eachKeyOnce(nrcThresholds, &NrcThreshold::radionuclide));
static_assert(std::ranges::all_of(nrcThresholds,
                                  [](const NrcThreshold& threshold) {
                                      return threshold.category2TBq > 0 &&
                                             threshold.category1TBq == 100 * threshold.category2TBq;
                                  }),
              "every category 1 threshold is 100 times its category 2 threshold");
static_assert(tableChecks::nrcCategory2IsTenD(),
              "every category 2 threshold of a radionuclide with a D-value is 10 D");

} // namespace dovrin
