#pragma once

// The recurring duties of a sealed source and the exemptions from leak testing, from the US NRC
// rules for medical licensees, 10 CFR 35.67 "Requirements for possession of sealed sources and
// brachytherapy sources".
//
// Read in: Code of Federal Regulations, Title 10, Volume 1, revised as of January 1, 2005, GPO
// Access, 10CFR35.67, pages 576-577 (edocket.access.gpo.gov/cfr_2005/janqtr/10cfr35.67.htm):
//   "(b) A licensee in possession of a sealed source shall-- [...]
//    (2) Test the source for leakage at intervals not to exceed 6 months or at other intervals
//    approved by the Commission or an Agreement State in the Sealed Source and Device Registry."
//   "(f) A licensee need not perform a leak test on the following sources:
//    (1) Sources containing only byproduct material with a half-life of less than 30 days;"
// The copy read breaks off after (f)(1); no copy of the later paragraphs could be reached. The
// five exemptions of (f), in the order of their paragraphs, and the two activity limits were
// read where a state's rule restates them word for word, Nevada Administrative Code 459.307
// "Testing sealed sources for leakage" (nvrules.elaws.us/NAC/459.307, updated 2015-01-06):
//   "(a) The source contains only radioactive material with a half-life of less than 30 days;
//    (b) The source contains only radioactive material as a gas;
//    (c) The source contains 100 microcuries (3.7 megabecquerels) or less of beta- or
//    gamma-emitting material or 10 microcuries (370 kilobecquerels) or less of alpha-emitting
//    material;
//    (d) The sealed source is stored and is not being used. The sources must be tested for
//    leakage before any use or transfer unless they have been leak tested within 6 months
//    before the date of use or transfer; or
//    (e) The source is seeds of iridium-192 encased in nylon ribbon."
// Their numbers in 35.67(f): (1) the half-life, (2) the gas, (3) the activity limits,
// (4) the iridium-192 seeds in nylon ribbon, (5) the sources stored and not being used.
// The physical inventory: 10 CFR 35.2067(b) (law.cornell.edu/cfr/text/10/35.2067, Title 10
// published on 2014-01-01): "the semi-annual physical inventory of sealed sources and
// brachytherapy sources required by § 35.67(g)".

#include <array>
#include <string_view>

#include "activity_units.h"
#include "table_checks.h"

namespace dovrin::leakTestRules {

// 35.67(b)(2): at intervals not to exceed 6 months; 35.2067(b): a semi-annual inventory.
inline constexpr int defaultLeakTestMonths = 6;
inline constexpr int defaultInventoryMonths = 6;

// 35.67(f)(1): a half-life of less than 30 days.
inline constexpr double halfLifeBelowDays = 30;

// At most 100 µCi of a beta or gamma emitter, at most 10 µCi of an alpha emitter, in becquerel
// through the curie of the unit box.
inline constexpr double betaGammaMostBq = 100 * tableChecks::sizeOf("uCi");
inline constexpr double alphaMostBq = 10 * tableChecks::sizeOf("uCi");
static_assert(betaGammaMostBq == 3.7e6 && alphaMostBq == 3.7e5,
              "the limits are 3.7 MBq and 0.37 MBq, as the reasons below say");

// The reasons written in the leak-test status.
inline constexpr std::string_view shortHalfLifeReason =
    "exempt: half-life of less than 30 days (10 CFR 35.67(f)(1))";
inline constexpr std::string_view gasReason =
    "exempt: only radioactive material as a gas (10 CFR 35.67(f)(2))";
inline constexpr std::string_view betaGammaReason =
    "exempt: beta/gamma emitter of at most 3.7 MBq (100 \u00B5Ci) on the due date "
    "(10 CFR 35.67(f)(3))";
inline constexpr std::string_view alphaReason =
    "exempt: alpha emitter of at most 0.37 MBq (10 \u00B5Ci) on the due date "
    "(10 CFR 35.67(f)(3))";
inline constexpr std::string_view nylonRibbonReason =
    "exempt: seeds of Ir-192 encased in nylon ribbon (10 CFR 35.67(f)(4))";
inline constexpr std::string_view storedReason =
    "exempt while stored and not being used: test before any use or transfer unless tested "
    "within 6 months before it (10 CFR 35.67(f)(5))";

// 35.67(f)(4): the radionuclide of the seeds.
inline constexpr std::string_view nylonRibbonSeeds = "Ir-192";

// The alpha emitters, each with the decay mode of its evaluation in the DDEP/LNE-LNHB recommended
// data as distributed in GitHub nrc-cnrc/EGSnrc, HEN_HOUSE/spectra/lnhb/<name>.txt, line 1 (the
// ENSDF identification record; commit in brackets). A neutron source of an alpha emitter and
// beryllium is an alpha emitter: its activity is that of the alpha emitter. Every other
// radionuclide counts as a beta or gamma emitter.
inline constexpr auto alphaEmitters = std::to_array<std::string_view>({
    "Pu-238",    // Pu-238.txt: "238PU A DECAY (87.74 Y)" [c6b7f075]
    "Am-241",    // Am-241.txt: "241AM A DECAY (432.6 Y)" [d8588d43]
    "Am-241/Be", // as Am-241
    "Cf-252",    // Cf-252.txt: "252CF A DECAY (2.6470 Y)", alpha branch 0.96914 [c6b7f075]
    "Ra-226",    // Ra-226.txt: "226RA A DECAY (1600 Y)" [d8588d43]
    "Po-210",    // Po-210.txt: "210PO A DECAY (138.3763 D)" [d8588d43]
    "Cm-244",    // Cm-244.txt: "244CM A DECAY (18.11 Y)" [d8588d43]
    "Pu-239",    // Pu-239.txt: "239PU A DECAY (24100 Y)" [d8588d43]
    "Pu-239/Be", // as Pu-239
    "U-235",     // U-235.txt: "235U  A DECAY (704E6 Y)" [d8588d43]
    "U-238",     // U-238.txt: "238U A DECAY (4.468E9 Y)" [c6b7f075]
    "Th-232",    // Th-232.txt: "232TH A DECAY (14.02E9 Y)" [d8588d43]
});
static_assert(tableChecks::eachKeyOnce(alphaEmitters, [](std::string_view name) { return name; }),
              "each alpha emitter is listed once");

// The radionuclides whose sealed sources hold the material as a gas. Krypton is a noble gas and
// Kr-85 sources are filled with it: "Kr-85 is condensed and then used to make low pressure beta
// sources for thickness gauges [...] in stark contrast to Sr-90 or other beta emitters that are
// not gases" (M. Kay, Health Physics Society mailing list, "Re: Kr-85", December 1996,
// health.phys.iit.edu/extended_archive/9612/msg00115.html). Tritium is left out on purpose: its
// sources may hold it as a solid, "The tritium gas is absorbed in a thin layer of titanium,
// forming a stable compound at room temperature" ("Advances in the design of vacuum gauges using
// radioactive materials", abstract), so treating it as a gas could exempt a source that must be
// tested.
inline constexpr auto gaseousRadionuclides = std::to_array<std::string_view>({"Kr-85"});

} // namespace dovrin::leakTestRules
