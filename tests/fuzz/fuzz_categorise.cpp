// categoriseActivity on arbitrary radionuclide texts and activities. The input is the
// radionuclide text followed by two activities of eight bytes each (zero bytes when the input is
// shorter), every bit pattern allowed.

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

using namespace dovrin;
using dovrin::fuzz::quoted;
using dovrin::fuzz::show;

namespace {

using Label = std::optional<std::string_view>;

constexpr std::string_view exempted = "Exempted";
constexpr std::string_view notAssigned = "Not assigned";

// The bands of each radionuclide, written the way the category table reads: the lower bound of
// each category, and the exemption level at or below which a source is exempted.
struct EveryCategory { // "1" to "5"
    std::string_view radionuclide;
    std::array<double, 4> categoryFrom; // categories 1 to 4, closed below
    double exemption;                   // category 5 lies between it and category 4
};

constexpr std::array<EveryCategory, 4> everyCategory{{
    {"Co-60", {30, 0.3, 0.03, 0.0003}, 1e-7},
    {"Sr-90", {1000, 10, 1, 0.02}, 1e-8},
    {"Cs-137", {100, 1, 0.1, 0.001}, 1e-8},
    {"Pu-238", {60, 0.6, 0.06, 0.0006}, 1e-8},
}};

struct OneCategory { // one band, closed at both ends; "Not assigned" above and below it
    std::string_view radionuclide;
    std::string_view label;
    double from, to;
    double exemption;
};

const std::array<OneCategory, 9> oneCategory{{
    {"Cf-252", "3", 0.02, 0.2, 1e-8},
    {"Am-241/Be", "3", 0.06, 0.6, 1e-8},
    {"Am-241", "3", 0.06, 0.6, 1e-8},
    {"Kr-85", "4", 0.3, 30, 1e-8},
    {"I-125", "4", 0.002, 0.2, 1e-6},
    {"Po-210", "4", 0.0006, 0.06, 1e-8},
    {"Ra-226", "4", 0.0004, 0.04, 1e-8},
    // Category 5 starts right above the exemption level.
    {"Co-57", "5", std::nextafter(1e-6, 1.0), 0.007, 1e-6},
    {"Ge-68", "5", std::nextafter(1e-7, 1.0), 0.007, 1e-7},
}};

constexpr std::array<std::string_view, 5> categoryNames{"1", "2", "3", "4", "5"};

// The label the bands give, or no result for a text that names none of the fourteen and for NaN.
Label expectedLabel(std::string_view radionuclide, double activity) {
    if (std::isnan(activity))
        return std::nullopt;
    for (const EveryCategory& bands : everyCategory)
        if (bands.radionuclide == radionuclide) {
            for (std::size_t i = 0; i < bands.categoryFrom.size(); ++i)
                if (activity >= bands.categoryFrom[i])
                    return categoryNames[i];
            return activity > bands.exemption ? "5" : exempted;
        }
    if (radionuclide == "Ir-192")
        return activity >= 80    ? "1"
               : activity >= 0.8 ? "2"
               : activity > 1e-8 ? notAssigned
                                 : exempted;
    for (const OneCategory& band : oneCategory)
        if (band.radionuclide == radionuclide) {
            if (activity > band.to)
                return notAssigned;
            if (activity >= band.from)
                return band.label;
            return activity > band.exemption ? notAssigned : exempted;
        }
    return std::nullopt;
}

bool isOneOfTheFourteen(std::string_view radionuclide) {
    return radionuclide == "Ir-192" ||
           std::ranges::any_of(everyCategory,
                               [&](const auto& b) { return b.radionuclide == radionuclide; }) ||
           std::ranges::any_of(oneCategory,
                               [&](const auto& b) { return b.radionuclide == radionuclide; });
}

bool withinLower(Bound bound, double activity) {
    return bound.kind == BoundKind::none ||
           (bound.kind == BoundKind::inclusive ? activity >= bound.value : activity > bound.value);
}

bool withinUpper(Bound bound, double activity) {
    return bound.kind == BoundKind::none ||
           (bound.kind == BoundKind::inclusive ? activity <= bound.value : activity < bound.value);
}

// How many rows of the table take the activity for the radionuclide: the rows of one
// radionuclide must not overlap.
long matchingRows(std::string_view radionuclide, double activity) {
    return std::ranges::count_if(categoryThresholds, [&](const ThresholdRow& row) {
        return row.radionuclide == radionuclide && withinLower(row.lower, activity) &&
               withinUpper(row.upper, activity);
    });
}

// 1 for category "1", the most severe, to 7 for "Exempted", the least.
int severityRank(std::string_view label) {
    if (label == exempted)
        return 7;
    if (label == notAssigned)
        return 6;
    return label[0] - '0';
}

std::string shown(const Label& label) {
    return label ? quoted(*label) : "no result";
}

void checkOne(std::string_view radionuclide, double activity) {
    const Label label = categoriseActivity(radionuclide, activity);
    const Label expected = expectedLabel(radionuclide, activity);
    const std::string context = quoted(radionuclide) + " at " + show(activity) + " TBq gives " +
                                shown(label) + ", expected " + shown(expected);
    FUZZ_REQUIRE(label == expected, context);
    const bool known = isOneOfTheFourteen(radionuclide);
    FUZZ_REQUIRE(hasThresholds(radionuclide) == known, context);
    if (known && !std::isnan(activity))
        FUZZ_REQUIRE(
            matchingRows(radionuclide, activity) == 1,
            context + ", matching rows: " + std::to_string(matchingRows(radionuclide, activity)));
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
