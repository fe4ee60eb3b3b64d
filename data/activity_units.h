#pragma once

// The activity units of the unit box, in list order, with their size in becquerel.

#include <algorithm>
#include <array>
#include <string_view>

#include "power_of_ten.h"
#include "table_checks.h"

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

inline constexpr auto activityUnits = std::to_array<ActivityUnit>({
    {"uCi", curies(4)},
    {"mCi", curies(7)},
    {"Ci", curies(10)},
    {"kCi", curies(13)},
    {"Bq", 1},
    {"kBq", powerOfTen(3)},
    {"MBq", powerOfTen(6)},
    {"GBq", powerOfTen(9)},
    {"TBq", powerOfTen(12)},
});

static_assert(tableChecks::eachKeyOnce(activityUnits, &ActivityUnit::name),
              "each unit stands in the unit box once");

namespace tableChecks {
constexpr double sizeOf(std::string_view unit) {
    const auto row = std::ranges::find(activityUnits, unit, &ActivityUnit::name);
    return row == activityUnits.end() ? 0 : row->sizeInBq;
}
} // namespace tableChecks

// Each size is the exact integer number of becquerel, to the last bit.
static_assert(tableChecks::sizeOf("uCi") == 37'000.0);
static_assert(tableChecks::sizeOf("mCi") == 37'000'000.0);
static_assert(tableChecks::sizeOf("Ci") == 37'000'000'000.0);
static_assert(tableChecks::sizeOf("kCi") == 37'000'000'000'000.0);
static_assert(tableChecks::sizeOf("Bq") == 1.0);
static_assert(tableChecks::sizeOf("kBq") == 1'000.0);
static_assert(tableChecks::sizeOf("MBq") == 1'000'000.0);
static_assert(tableChecks::sizeOf("GBq") == 1'000'000'000.0);
static_assert(tableChecks::sizeOf("TBq") == 1'000'000'000'000.0);

} // namespace dovrin
