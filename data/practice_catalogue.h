#pragma once

// The practices offered in the practice box, each with the radionuclides typical of it.
// Texts are matched exactly (case and blanks count), so they stand here exactly as shown.

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "category_thresholds.h"
#include "decay_constants.h"
#include "table_checks.h"

namespace dovrin {

struct Practice {
    std::string_view name;
    std::span<const std::string_view> radionuclides;
};

namespace radionuclideLists {
// Practices come in five groups that share one list; each group's order differs slightly.
inline constexpr auto highActivity =
    std::to_array<std::string_view>({"Co-60", "Sr-90", "Cs-137", "Pu-238"});
inline constexpr auto radiographyAndBrachytherapy =
    std::to_array<std::string_view>({"Co-60", "Sr-90", "Cs-137", "Ir-192", "Pu-238"});
inline constexpr auto highActivityGauges =
    std::to_array<std::string_view>({"Co-60", "Sr-90", "Cs-137", "Pu-238", "Am-241/Be", "Cf-252"});
inline constexpr auto lowActivityGauges = std::to_array<std::string_view>(
    {"Co-60", "Kr-85", "Sr-90", "I-125", "Cs-137", "Po-210", "Ra-226", "Pu-238", "Am-241"});
inline constexpr auto checkAndLaboratorySources =
    std::to_array<std::string_view>({"Co-60", "Co-57", "Ge-68", "Sr-90", "Cs-137", "Pu-238"});
} // namespace radionuclideLists

inline constexpr auto practiceCatalogue = std::to_array<Practice>({
    {"Radioisotope thermoelectric generators (RTGs)", radionuclideLists::highActivity},
    {"Irradiators", radionuclideLists::highActivity},
    {"Teletherapy sources", radionuclideLists::highActivity},
    {"Fixed, multi-beam teletherapy (gamma knife) sources", radionuclideLists::highActivity},
    {"Industrial gamma radiography sources", radionuclideLists::radiographyAndBrachytherapy},
    {"High/medium dose rate brachytherapy sources", radionuclideLists::radiographyAndBrachytherapy},
    {"Fixed industrial gauges that incorporate high activity sources",
     radionuclideLists::highActivityGauges},
    {"Well logging gauges", radionuclideLists::highActivityGauges},
    {"Low dose rate brachytherapy sources (except eye plaques & permanent implants)",
     radionuclideLists::lowActivityGauges},
    {"Industrial gauges that do not incorporate high activity sources",
     radionuclideLists::lowActivityGauges},
    {"Moisture/density gauges", radionuclideLists::lowActivityGauges},
    {"Bone densitometers", radionuclideLists::lowActivityGauges},
    {"Static eliminators", radionuclideLists::lowActivityGauges},
    {"Low dose rate brachytherapy eye plaques & permanent implant sources",
     radionuclideLists::checkAndLaboratorySources},
    {"X-ray fluorescence (XRF) devices", radionuclideLists::checkAndLaboratorySources},
    {"Electron capture devices", radionuclideLists::checkAndLaboratorySources},
    {"Mossbauer spectrometry sources", radionuclideLists::checkAndLaboratorySources},
    {"Positron emission tomography (PET) check sources",
     radionuclideLists::checkAndLaboratorySources},
});

namespace tableChecks {

constexpr bool decayedAndCategorised(std::string_view radionuclide) {
    return std::ranges::count(decayConstants, radionuclide, &DecayConstant::radionuclide) == 1 &&
           std::ranges::count(categoryThresholds, radionuclide, &ThresholdRow::radionuclide) > 0;
}

constexpr bool everyOfferedRadionuclideKnown() {
    return std::ranges::all_of(practiceCatalogue, [](const Practice& practice) {
        return std::ranges::all_of(practice.radionuclides, decayedAndCategorised);
    });
}

constexpr bool eachPracticeOffersEachRadionuclideOnce() {
    return std::ranges::all_of(practiceCatalogue, [](const Practice& practice) {
        return !practice.radionuclides.empty() &&
               eachKeyOnce(practice.radionuclides, std::identity{});
    });
}

} // namespace tableChecks

static_assert(tableChecks::eachKeyOnce(practiceCatalogue, &Practice::name),
              "each practice stands in the practice box once");
static_assert(tableChecks::eachPracticeOffersEachRadionuclideOnce(),
              "each practice offers radionuclides, each of them once");
static_assert(tableChecks::everyOfferedRadionuclideKnown(),
              "every radionuclide a practice offers has a decay constant and category rows");

} // namespace dovrin
