#pragma once

// Decay constants per day, looked up by the exact radionuclide text, first equal key wins.

#include <algorithm>
#include <array>
#include <string_view>

#include "power_of_ten.h"
#include "table_checks.h"

namespace dovrin {

struct DecayConstant {
    std::string_view radionuclide;
    double mantissa;
    int exponent;

    // The power of ten first, then the mantissa, in double precision.
    constexpr double perDay() const { return powerOfTen(exponent) * mantissa; }
};

inline constexpr auto decayConstants = std::to_array<DecayConstant>({
    {"Co-60", 3.6, -4},
    {"Ge-68", 2.4, -3},
    {"Sr-90", 6.5, -5},
    {"Cs-137", 6.33, -5},
    {"Pu-238", 2.16, -5},
    {"Ir-192", 9.36, -3},
    {"Se-75", 5.785, -3},
    {"Yb-169", 2.165, -2},
    {"Am-241", 4.393, -6},
    {"Am-241/Be", 4.393, -6},
    {"Cf-252", 7.19, -4},
    {"Tm-170", 5.388, -3},
    {"Kr-85", 1.7711, -4},
    {"Ra-226", 1.18664, -6},
    {"I-125", 1.15323, -2},
    {"Po-210", 5.008, -3},
    {"Co-57", 2.5581, -3},
});

static_assert(tableChecks::eachKeyOnce(decayConstants, &DecayConstant::radionuclide),
              "each radionuclide has one decay constant");
// One way of writing each constant, with a power of ten that is exact in a double.
static_assert(std::ranges::all_of(decayConstants,
                                  [](const DecayConstant& constant) {
                                      return constant.mantissa >= 1 && constant.mantissa < 10 &&
                                             constant.exponent >= -22 && constant.exponent <= 22;
                                  }),
              "every mantissa lies in [1, 10) and every exponent within 22");

} // namespace dovrin
