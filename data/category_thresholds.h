#pragma once

// The security category bands of each radionuclide, activity in TBq. Rows are tried in order
// and the first whose radionuclide and bounds both match gives the label. The rows of one
// radionuclide cover every finite activity exactly once. Bounds are the literal decimals of
// the category table, never derived from a reference activity: for Co-57 and Ge-68 the bound
// 0.007 differs in its last bit from 0.7 / 100, and that bit decides an activity of 0.007.

#include <algorithm>
#include <array>
#include <string_view>

#include "table_checks.h"

namespace dovrin {

enum class BoundKind { none, inclusive, exclusive };

struct Bound {
    BoundKind kind = BoundKind::none;
    double value = 0;
};

struct ThresholdRow {
    std::string_view radionuclide;
    Bound lower;
    Bound upper;
    std::string_view label;
};

namespace bounds {
constexpr Bound none{};
constexpr Bound incl(double value) {
    return {BoundKind::inclusive, value};
}
constexpr Bound excl(double value) {
    return {BoundKind::exclusive, value};
}
} // namespace bounds

namespace labels {
inline constexpr std::string_view exempted = "Exempted";
inline constexpr std::string_view notAssigned = "Not assigned";
} // namespace labels

inline constexpr auto categoryThresholds = [] {
    using namespace bounds;
    using labels::exempted, labels::notAssigned;
    return std::to_array<ThresholdRow>({
        {"Co-60", incl(30), none, "1"},
        {"Co-60", incl(0.3), excl(30), "2"},
        {"Co-60", incl(0.03), excl(0.3), "3"},
        {"Co-60", incl(0.0003), excl(0.03), "4"},
        {"Co-60", excl(1e-7), excl(0.0003), "5"},
        {"Co-60", none, incl(1e-7), exempted},

        {"Sr-90", incl(1000), none, "1"},
        {"Sr-90", incl(10), excl(1000), "2"},
        {"Sr-90", incl(1), excl(10), "3"},
        {"Sr-90", incl(0.02), excl(1), "4"},
        {"Sr-90", excl(1e-8), excl(0.02), "5"},
        {"Sr-90", none, incl(1e-8), exempted},

        {"Cs-137", incl(100), none, "1"},
        {"Cs-137", incl(1), excl(100), "2"},
        {"Cs-137", incl(0.1), excl(1), "3"},
        {"Cs-137", incl(0.001), excl(0.1), "4"},
        {"Cs-137", excl(1e-8), excl(0.001), "5"},
        {"Cs-137", none, incl(1e-8), exempted},

        {"Pu-238", incl(60), none, "1"},
        {"Pu-238", incl(0.6), excl(60), "2"},
        {"Pu-238", incl(0.06), excl(0.6), "3"},
        {"Pu-238", incl(0.0006), excl(0.06), "4"},
        {"Pu-238", excl(1e-8), excl(0.0006), "5"},
        {"Pu-238", none, incl(1e-8), exempted},

        {"Ir-192", incl(80), none, "1"},
        {"Ir-192", incl(0.8), excl(80), "2"},
        {"Ir-192", excl(1e-8), excl(0.8), notAssigned},
        {"Ir-192", none, incl(1e-8), exempted},

        {"Cf-252", excl(0.2), none, notAssigned},
        {"Cf-252", incl(0.02), incl(0.2), "3"},
        {"Cf-252", excl(1e-8), excl(0.02), notAssigned},
        {"Cf-252", none, incl(1e-8), exempted},

        {"Am-241/Be", excl(0.6), none, notAssigned},
        {"Am-241/Be", incl(0.06), incl(0.6), "3"},
        {"Am-241/Be", excl(1e-8), excl(0.06), notAssigned},
        {"Am-241/Be", none, incl(1e-8), exempted},

        {"Am-241", excl(0.6), none, notAssigned},
        {"Am-241", incl(0.06), incl(0.6), "3"},
        {"Am-241", excl(1e-8), excl(0.06), notAssigned},
        {"Am-241", none, incl(1e-8), exempted},

        {"Kr-85", excl(30), none, notAssigned},
        {"Kr-85", incl(0.3), incl(30), "4"},
        {"Kr-85", excl(1e-8), excl(0.3), notAssigned},
        {"Kr-85", none, incl(1e-8), exempted},

        {"I-125", excl(0.2), none, notAssigned},
        {"I-125", incl(0.002), incl(0.2), "4"},
        {"I-125", excl(1e-6), excl(0.002), notAssigned},
        {"I-125", none, incl(1e-6), exempted},

        {"Po-210", excl(0.06), none, notAssigned},
        {"Po-210", incl(0.0006), incl(0.06), "4"},
        {"Po-210", excl(1e-8), excl(0.0006), notAssigned},
        {"Po-210", none, incl(1e-8), exempted},

        {"Ra-226", excl(0.04), none, notAssigned},
        {"Ra-226", incl(0.0004), incl(0.04), "4"},
        {"Ra-226", excl(1e-8), excl(0.0004), notAssigned},
        {"Ra-226", none, incl(1e-8), exempted},

        {"Co-57", excl(0.007), none, notAssigned},
        {"Co-57", excl(1e-6), incl(0.007), "5"},
        {"Co-57", none, incl(1e-6), exempted},

        {"Ge-68", excl(0.007), none, notAssigned},
        {"Ge-68", excl(1e-7), incl(0.007), "5"},
        {"Ge-68", none, incl(1e-7), exempted},
    });
}();

namespace tableChecks {

// Whether the row is the first or the last of its radionuclide's rows.
constexpr bool opensGroup(std::size_t row) {
    return row == 0 ||
           categoryThresholds[row - 1].radionuclide != categoryThresholds[row].radionuclide;
}
constexpr bool closesGroup(std::size_t row) {
    return row + 1 == categoryThresholds.size() ||
           categoryThresholds[row + 1].radionuclide != categoryThresholds[row].radionuclide;
}

// A radionuclide's rows run from its highest band down: the first is open above, the last open
// below, and every band between them has both bounds.
constexpr bool bandsOpenOnlyAtTheEnds() {
    for (std::size_t row = 0; row < categoryThresholds.size(); ++row) {
        const ThresholdRow& band = categoryThresholds[row];
        if ((band.upper.kind == BoundKind::none) != opensGroup(row) ||
            (band.lower.kind == BoundKind::none) != closesGroup(row))
            return false;
    }
    return true;
}

// Each band's lower bound is the upper bound of the band below it, and exactly one of the two
// takes the value itself: no activity falls between two bands, none into both.
constexpr bool bandsJoin() {
    for (std::size_t row = 0; row + 1 < categoryThresholds.size(); ++row) {
        if (closesGroup(row))
            continue;
        const Bound lower = categoryThresholds[row].lower;
        const Bound nextUpper = categoryThresholds[row + 1].upper;
        const bool complementary =
            (lower.kind == BoundKind::inclusive && nextUpper.kind == BoundKind::exclusive) ||
            (lower.kind == BoundKind::exclusive && nextUpper.kind == BoundKind::inclusive);
        if (lower.value != nextUpper.value || !complementary)
            return false;
    }
    return true;
}

// A band with both bounds holds more than one activity, so the bounds fall as the rows go down.
constexpr bool bandsNotEmpty() {
    return std::ranges::all_of(categoryThresholds, [](const ThresholdRow& band) {
        return band.lower.kind == BoundKind::none || band.upper.kind == BoundKind::none ||
               band.lower.value < band.upper.value;
    });
}

// A radionuclide's lowest band is "Exempted", up to and including its exemption level, which the
// register reads there; no other band is.
constexpr bool exemptedBandLowestAndInclusive() {
    for (std::size_t row = 0; row < categoryThresholds.size(); ++row) {
        const ThresholdRow& band = categoryThresholds[row];
        const bool exempted = band.label == labels::exempted;
        if (exempted != closesGroup(row) || (exempted && band.upper.kind != BoundKind::inclusive))
            return false;
    }
    return true;
}

} // namespace tableChecks

static_assert(tableChecks::rowsOfOneKeyStandTogether(categoryThresholds,
                                                     &ThresholdRow::radionuclide),
              "the rows of one radionuclide stand together");
static_assert(tableChecks::bandsOpenOnlyAtTheEnds(),
              "each radionuclide's top band is open above and its bottom band open below");
static_assert(tableChecks::bandsJoin(),
              "each band meets the next one down, one bound inclusive and the other exclusive");
static_assert(tableChecks::bandsNotEmpty(), "each band's lower bound lies below its upper bound");
static_assert(tableChecks::exemptedBandLowestAndInclusive(),
              "each radionuclide's lowest band, and only it, is Exempted, its upper end included");

} // namespace dovrin
