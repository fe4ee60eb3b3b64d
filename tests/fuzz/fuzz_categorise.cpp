// categoriseActivity on arbitrary radionuclide texts and activities. The input is the
// radionuclide text followed by two activities of eight bytes each (zero bytes when the input is
// shorter), every bit pattern allowed. The labels are checked against the bands of test_facts.h.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "categorise.h"
#include "category_thresholds.h"
#include "fuzz_check.h"
#include "test_facts.h"

using namespace dovrin;
using dovrin::fuzz::quoted;
using dovrin::fuzz::show;

namespace {

using Label = std::optional<std::string_view>;

// 1 for category "1", the most severe, to 7 for "Exempted", the least.
int severityRank(std::string_view label) {
    if (label == facts::exempted)
        return 7;
    if (label == facts::notAssigned)
        return 6;
    return label[0] - '0';
}

std::string shown(const Label& label) {
    return label ? quoted(*label) : "no result";
}

void checkOne(std::string_view radionuclide, double activity) {
    const Label label = categoriseActivity(radionuclide, activity);
    const Label expected = facts::expectedLabel(radionuclide, activity);
    const std::string context = quoted(radionuclide) + " at " + show(activity) + " TBq gives " +
                                shown(label) + ", expected " + shown(expected);
    FUZZ_REQUIRE(label == expected, context);
    const bool known = facts::bandsOf(radionuclide) != nullptr;
    FUZZ_REQUIRE(hasThresholds(radionuclide) == known, context);
    if (known && !std::isnan(activity)) {
        const std::size_t rows = facts::labelsOfMatchingRows(radionuclide, activity).size();
        FUZZ_REQUIRE(rows == 1, context + ", matching rows: " + std::to_string(rows));
    }
}

// A larger activity never gives a less severe category.
void checkOrder(std::string_view radionuclide, std::vector<double> activities) {
    std::erase_if(activities, [](double a) { return std::isnan(a); });
    std::ranges::sort(activities);
    for (std::size_t i = 1; i < activities.size(); ++i) {
        const Label lower = categoriseActivity(radionuclide, activities[i - 1]);
        const Label higher = categoriseActivity(radionuclide, activities[i]);
        FUZZ_REQUIRE(lower && higher && severityRank(*higher) <= severityRank(*lower),
                     quoted(radionuclide) + ": " + show(activities[i - 1]) + " gives " +
                         shown(lower) + ", " + show(activities[i]) + " gives " + shown(higher));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SplitInput<16> input(data, size);
    const double a = input.next<double>();
    const double b = input.next<double>();
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double activity : {a, b, std::nextafter(a, -inf), std::nextafter(a, inf)})
        checkOne(input.text, activity);
    if (input.text == "Co-60" || input.text == "Sr-90" || input.text == "Cs-137" ||
        input.text == "Pu-238" || input.text == "Ir-192")
        checkOrder(input.text, {a, b, std::nextafter(a, -inf), std::nextafter(a, inf)});
    return 0;
}
