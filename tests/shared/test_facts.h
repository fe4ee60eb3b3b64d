#pragma once

// What the tests of the calculation core and the fuzz targets expect, worked out here on its own
// and never read from data/: the category bands of each radionuclide, and the display text
// "0.00E+00" from the C library's correctly rounded decimal form. Plain C++, no Qt, so that the
// fuzz targets can use it too.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "category_thresholds.h"
#include "decay.h"

namespace dovrin::facts {

// The day the tests run on: 7 December 2026, from midnight, local time; the as-of moment of
// --as-of 2026-12-07.
inline const LocalTime midnight =
    std::chrono::local_days{std::chrono::year{2026} / std::chrono::December / 7};

// A value as the C library writes it with a printf format.
inline std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "0.00E+00" from the 15-digit decimal form, the fourth digit deciding, halves away from zero.
inline std::string expectedScientific(double value) {
    const std::string digits = printed("%.14e", value); // [-]d.dddddddddddddde[+-]xx[x]
    const bool negative = digits[0] == '-';
    const char* d = digits.c_str() + (negative ? 1 : 0);
    int mantissa = (d[0] - '0') * 100 + (d[2] - '0') * 10 + (d[3] - '0') + (d[4] >= '5' ? 1 : 0);
    int exponent = std::atoi(d + 17);
    if (mantissa == 0)
        return "0.00E+00";
    if (mantissa == 1000) {
        mantissa = 100;
        ++exponent;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%s%d.%02dE%c%02d", negative ? "-" : "", mantissa / 100,
                  mantissa % 100, exponent < 0 ? '-' : '+', std::abs(exponent));
    return text;
}

inline const char* const exempted = "Exempted";
inline const char* const notAssigned = "Not assigned";

// A cut between two neighbouring bands; an activity equal to it gets the label below it or
// the label above it.
struct Cut {
    double at;
    bool equalGoesBelow;
};
inline constexpr bool below = true, above = false;

struct Bands {
    const char* radionuclide;
    std::vector<const char*> labels; // from the lowest activities up; one more than the cuts
    std::vector<Cut> cuts;           // ascending
};

// Activities in TBq, from the category bands of each radionuclide, in the table's order.
inline const std::vector<Bands> bandTable = [] {
    const char* const ex = exempted;
    const char* const na = notAssigned;
    // clang-format off
    return std::vector<Bands>{
        {"Co-60",     {ex, "5", "4", "3", "2", "1"}, {{1e-7, below}, {0.0003, above}, {0.03, above}, {0.3, above}, {30, above}}},
        {"Sr-90",     {ex, "5", "4", "3", "2", "1"}, {{1e-8, below}, {0.02, above}, {1, above}, {10, above}, {1000, above}}},
        {"Cs-137",    {ex, "5", "4", "3", "2", "1"}, {{1e-8, below}, {0.001, above}, {0.1, above}, {1, above}, {100, above}}},
        {"Pu-238",    {ex, "5", "4", "3", "2", "1"}, {{1e-8, below}, {0.0006, above}, {0.06, above}, {0.6, above}, {60, above}}},
        {"Ir-192",    {ex, na, "2", "1"},            {{1e-8, below}, {0.8, above}, {80, above}}},
        {"Cf-252",    {ex, na, "3", na},             {{1e-8, below}, {0.02, above}, {0.2, below}}},
        {"Am-241/Be", {ex, na, "3", na},             {{1e-8, below}, {0.06, above}, {0.6, below}}},
        {"Am-241",    {ex, na, "3", na},             {{1e-8, below}, {0.06, above}, {0.6, below}}},
        {"Kr-85",     {ex, na, "4", na},             {{1e-8, below}, {0.3, above}, {30, below}}},
        {"I-125",     {ex, na, "4", na},             {{1e-6, below}, {0.002, above}, {0.2, below}}},
        {"Po-210",    {ex, na, "4", na},             {{1e-8, below}, {0.0006, above}, {0.06, below}}},
        {"Ra-226",    {ex, na, "4", na},             {{1e-8, below}, {0.0004, above}, {0.04, below}}},
        {"Co-57",     {ex, "5", na},                 {{1e-6, below}, {0.007, below}}},
        {"Ge-68",     {ex, "5", na},                 {{1e-7, below}, {0.007, below}}},
    };
    // clang-format on
}();

inline const Bands* bandsOf(std::string_view radionuclide) {
    for (const Bands& bands : bandTable)
        if (bands.radionuclide == radionuclide)
            return &bands;
    return nullptr;
}

inline const char* bandLabel(const Bands& bands, double activity) {
    std::size_t band = 0;
    while (band < bands.cuts.size() &&
           (activity > bands.cuts[band].at ||
            (activity == bands.cuts[band].at && !bands.cuts[band].equalGoesBelow)))
        ++band;
    return bands.labels[band];
}

// The label the bands give, or no result for a text that names none of the fourteen and for NaN.
inline std::optional<std::string_view> expectedLabel(std::string_view radionuclide,
                                                     double activity) {
    const Bands* bands = bandsOf(radionuclide);
    if (!bands || std::isnan(activity))
        return std::nullopt;
    return bandLabel(*bands, activity);
}

// The labels of the rows of the category table that take the activity for the radionuclide:
// exactly one when the rows of a radionuclide neither overlap nor leave a gap.
inline std::vector<std::string_view> labelsOfMatchingRows(std::string_view radionuclide,
                                                          double activity) {
    const auto holds = [activity](Bound bound, bool isLower) {
        switch (bound.kind) {
        case BoundKind::none:
            return true;
        case BoundKind::inclusive:
            return isLower ? activity >= bound.value : activity <= bound.value;
        case BoundKind::exclusive:
            return isLower ? activity > bound.value : activity < bound.value;
        }
        return false;
    };
    std::vector<std::string_view> labels;
    for (const ThresholdRow& row : categoryThresholds)
        if (row.radionuclide == radionuclide && holds(row.lower, true) && holds(row.upper, false))
            labels.push_back(row.label);
    return labels;
}

} // namespace dovrin::facts
