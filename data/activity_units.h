#pragma once

// The activity units of the unit box, in list order, with their size in becquerel.

#include <array>
#include <string_view>

#include "power_of_ten.h"

namespace dovrin {

struct ActivityUnit {
    std::string_view name;
    double sizeInBq;
};

// One curie is 3.7e10 Bq; the power of ten is taken first, then the 3.7. Every size below is
// an exact integer in double precision.
constexpr double curies(int powerOfTenOfBq) {
    return powerOfTen(powerOfTenOfBq) * 3.7;
}

inline constexpr std::array<ActivityUnit, 9> activityUnits{{
    {"uCi", curies(4)},
    {"mCi", curies(7)},
    {"Ci", curies(10)},
    {"kCi", curies(13)},
    {"Bq", 1},
    {"kBq", powerOfTen(3)},
    {"MBq", powerOfTen(6)},
    {"GBq", powerOfTen(9)},
    {"TBq", powerOfTen(12)},
}};

} // namespace dovrin
