#pragma once

// The D-value of each radionuclide (the activity above which a source is dangerous) and the
// categories of the ratio A/D of an activity A to it. The threshold table gives the category of
// one source; A/D also categorises the radionuclides without threshold rows, and a sum of A/D
// categorises sources kept together.

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

#include "category_thresholds.h"
#include "decay_constants.h"
#include "table_checks.h"

namespace dovrin {

struct DValue {
    std::string_view radionuclide; // as the decay constant table writes it
    double tbq;
};

inline constexpr auto dValues = std::to_array<DValue>({
    // IAEA Safety Standards Series No. RS-G-1.9, Categorization of Radioactive Sources (2005),
    // Annex I, Table I-1, and IAEA EPR-D-Values 2006. They are the reference activities on
    // which the threshold table is built.
    {"Co-60", 0.03},
    {"Sr-90", 1},
    {"Cs-137", 0.1},
    {"Pu-238", 0.06},
    {"Ir-192", 0.08},
    {"Cf-252", 0.02},
    {"Am-241/Be", 0.06},
    {"Am-241", 0.06},
    {"Kr-85", 30},
    {"I-125", 0.2},
    {"Po-210", 0.06},
    {"Ra-226", 0.04},
    {"Co-57", 0.7},
    {"Ge-68", 0.7},
    // US NRC 10 CFR Part 37, Appendix A, Table 1: the category 2 threshold divided by 10. These
    // three have a decay constant but no threshold rows.
    {"Se-75", 0.2},
    {"Yb-169", 0.3},
    {"Tm-170", 20},
});

// The category of A/D: the first band whose lower end A/D reaches. IAEA RS-G-1.9 (2005),
// Table 1.
struct AOverDBand {
    double atLeast;
    std::string_view label;
};

inline constexpr auto aOverDBands = std::to_array<AOverDBand>({
    {1000, "1"},
    {10, "2"},
    {1, "3"},
    {0.01, "4"},
    {-std::numeric_limits<double>::infinity(), "5"},
});

namespace tableChecks {

// Indices rather than pointers: with the sanitizers, GCC cannot compare a table's address with
// null at compile time.
constexpr std::size_t indexOfD(std::string_view radionuclide) {
    std::size_t i = 0;
    while (i < dValues.size() && dValues[i].radionuclide != radionuclide)
        ++i;
    return i;
}

constexpr std::size_t indexOfBand(std::string_view label) {
    std::size_t i = 0;
    while (i < aOverDBands.size() && aOverDBands[i].label != label)
        ++i;
    return i;
}

constexpr bool oneDForEachDecayConstant() {
    if (dValues.size() != decayConstants.size())
        return false;
    return std::ranges::all_of(decayConstants, [](const DecayConstant& constant) {
        return std::ranges::count(dValues, constant.radionuclide, &DValue::radionuclide) == 1;
    });
}

constexpr bool bandsDescend() {
    for (std::size_t i = 1; i < aOverDBands.size(); ++i)
        if (!(aOverDBands[i].atLeast < aOverDBands[i - 1].atLeast))
            return false;
    return aOverDBands.back().atLeast == -std::numeric_limits<double>::infinity();
}

// A category band's lower bound is D times the floor of its A/D band, and its upper bound D
// times the floor of the next more severe band, to the last bit of the quotient. The lower end
// of category 5 is the exemption level, which D does not give. Sr-90 alone places its border
// between categories 4 and 5 at 0.02 TBq, twice D / 100.
constexpr bool boundsFollowFromD() {
    for (const ThresholdRow& row : categoryThresholds) {
        const std::size_t band = indexOfBand(row.label);
        if (band == aOverDBands.size())
            continue; // "Exempted" and "Not assigned"
        const std::size_t d = indexOfD(row.radionuclide);
        if (d == dValues.size())
            return false;
        const double dTBq = dValues[d].tbq;
        const bool srBorder = row.radionuclide == "Sr-90" && (row.label == "4" || row.label == "5");
        const bool lowerFollows = row.label == "5" || row.lower.kind == BoundKind::none ||
                                  row.lower.value / dTBq == aOverDBands[band].atLeast ||
                                  (srBorder && row.lower.value == 0.02);
        const bool upperFollows =
            row.upper.kind == BoundKind::none ||
            (band > 0 && row.upper.value / dTBq == aOverDBands[band - 1].atLeast) ||
            (srBorder && row.upper.value == 0.02);
        if (!lowerFollows || !upperFollows)
            return false;
    }
    return true;
}

} // namespace tableChecks

static_assert(tableChecks::eachKeyOnce(dValues, &DValue::radionuclide));
static_assert(tableChecks::oneDForEachDecayConstant(),
              "every radionuclide with a decay constant has exactly one D-value");
static_assert(std::ranges::all_of(dValues, [](const DValue& d) { return d.tbq > 0; }));
static_assert(tableChecks::bandsDescend(), "the A/D bands descend to no lower end");
static_assert(tableChecks::boundsFollowFromD(),
              "the threshold table's category bounds are the A/D bands times D");

} // namespace dovrin
