#pragma once

// The register's table of radionuclides: the common sealed-source radionuclides beyond the
// calculator's own, with each one's half-life, D-value and exemption level as published. The
// calculator's radionuclides stand here too, but the register keeps the calculator's decay
// constants, category table and exemption levels for them, so that the register and the window
// agree; their half-life here is a reference shown beside the constant's.
//
// Sources, named in the rows by these tags:
// DDEP  Decay Data Evaluation Project (LNE-LNHB), recommended data, as distributed in
//       GitHub nrc-cnrc/EGSnrc (commit 9edee3ebfda3d81d0e8eb033a7e76bf9a70e41ef, 2025-12-04),
//       HEN_HOUSE/spectra/lnhb/ensdf/<Nuclide>.txt; the same values stand in the older
//       HEN_HOUSE/spectra/lnhb/<Nuclide>.txt except where a row says otherwise. The half-life
//       is the parent record's ("P") T and DT as printed, e.g. '5.2711 Y 8' = 5.2711(8) y; DT
//       counts units of the last printed digit and is the standard uncertainty.
// SV18  Strahlenschutzverordnung 2018, Anlage 4 Tabelle 1 (BGBl. I 2018 S. 2108-2124), read
//       from the page images in GitHub bundestag/gesetze (commit 77abca2c),
//       s/strlschv_2018/bgbl1_2018_j2034-1_<NNNN>.jpg, NNNN given in the row: Sp. 2
//       "Freigrenze in Bq" (the activity exemption level), Sp. 4 "Aktivitaet HRQ in TBq" (the
//       level of a high-activity source: outside the radionuclides of EU3 it is the D-value of
//       IAEA EPR-D-VALUES 2006, as EU3 says), Sp. 15 "Halbwertszeit" (rounded; "a" = year). A
//       quoted label ('Sr-90+') is the row read when it differs from the name; "+" includes the
//       daughters of Anlage 4 Tabelle 2.
// SVX   the consolidated current text of the same table, GitHub padeken/irrad_spectroscopy
//       (commit dd635724), irrad_spectroscopy/tables/strlschv_anlage4.yaml, generated from
//       gesetze-im-internet.de. It agrees with every SV18 value below, so it checks the reading
//       and is not counted as a second source; "SVX only" marks a value the 2018 print lacks.
// EU3   Council Directive 2013/59/Euratom, Annex III (activity defining a high-activity sealed
//       source, TBq), https://gesetze.legal/eu/rl_2013_59_euratom/anhang_iii. For X/Be the
//       activity is that of the alpha emitter (its footnote 1).
// NRC   US NRC 10 CFR Part 73 Appendix I, Table (https://www.law.cornell.edu/cfr/text/10/
//       part-73/appendix-I), the same as 10 CFR Part 110 Appendix P Table 1: category 2
//       threshold / 10.
// CNSC  Canadian Nuclear Safety Commission REGDOC-2.13.2 version 2, section 10, Table 1
//       (GitHub canasa21/htmldomparser commit 776e3d5b, wwwroot/eng/acts-and-regulations/
//       consultation/comment/regdoc2-13-2-ver2.js): category 2 threshold / 10.
// IRR17 UK Ionising Radiations Regulations 2017, Schedule 7 Part 2, column 3 (legislation.gov.uk
//       /uksi/2017/1075/schedule/7/part/2/made).
// A year is 31556925.26 s, as EGSnrc converts the DDEP files' "Y" (HEN_HOUSE/egs++/
// egs_ensdf.cpp). A value no source gives is left out: no exemption level for the X/Be sources.
// I-129, Th-232 and U-238 have the D-value "UL", unlimited, in SV18 Sp. 4 (rows 'I-129',
// 'Th-232+', 'U-238+'): no quantity of them is dangerous, which unlimitedD stands for.

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string_view>

#include "d_values.h"
#include "table_checks.h"

namespace dovrin {

// The units a half-life is written in, and their length in days.
struct TimeUnit {
    std::string_view name;
    double days;
};

inline constexpr auto timeUnits = std::to_array<TimeUnit>({
    {"s", 1.0 / 86400},
    {"min", 1.0 / 1440},
    {"h", 1.0 / 24},
    {"d", 1},
    {"y", 31556925.26 / 86400}, // EGSnrc HEN_HOUSE/egs++/egs_ensdf.cpp: "Y" is 31556925.26 s
});

constexpr std::optional<double> daysPerUnit(std::string_view unit) {
    const auto known = std::ranges::find(timeUnits, unit, &TimeUnit::name);
    if (known == timeUnits.end())
        return std::nullopt;
    return known->days;
}

struct HalfLife {
    double value;
    double uncertainty; // the standard uncertainty, in the same unit
    std::string_view unit;

    constexpr double days() const {
        return value * daysPerUnit(unit).value_or(std::numeric_limits<double>::quiet_NaN());
    }
};

// The D-value "UL" of SV18 Sp. 4: unlimited, so that A/D is 0 for any activity.
inline constexpr double unlimitedD = std::numeric_limits<double>::infinity();

struct Nuclide {
    std::string_view name; // as the tables write it: "Co-60", "Tc-99m", "Am-241/Be"
    HalfLife halfLife;
    std::optional<double> dTBq;        // none: no source gives one
    std::optional<double> exemptionBq; // none: no source gives one

    constexpr double halfLifeDays() const { return halfLife.days(); }
};

inline constexpr auto nuclides = std::to_array<Nuclide>({
    // H-3: T½ DDEP '12.312 Y 25', SV18 '12,3 a'; D SV18 0040; E SV18 0040
    {"H-3", {12.312, 0.025, "y"}, 2e3, 1e9},
    // C-14: T½ DDEP '5700 Y 30', SV18 '5,7 E+3 a'; D SV18 0040; E SV18 0040
    {"C-14", {5700, 30, "y"}, 5e1, 1e7},
    // Na-22: T½ DDEP '2.6029 Y 8', SV18 '2,6 a'; D SV18 0040; E SV18 0040
    {"Na-22", {2.6029, 0.0008, "y"}, 3e-2, 1e6},
    // P-32: T½ DDEP '14.284 D 36', SV18 '14,3 d'; D SV18 0040; E SV18 0040
    {"P-32", {14.284, 0.036, "d"}, 1e1, 1e5},
    // Cl-36: T½ DDEP '302E3 Y 4', SV18 '3,0 E+5 a'; D SV18 0040; E SV18 0040
    {"Cl-36", {302e3, 4e3, "y"}, 2e1, 1e6},
    // Fe-55: T½ DDEP '2.747 Y 8', SV18 '2,7 a'; D SV18 0040; E SV18 0040
    {"Fe-55", {2.747, 0.008, "y"}, 8e2, 1e6},
    // Mn-54: T½ DDEP '312.19 D 3' (SV18 '312,1 d' differs); D SV18 0040; E SV18 0040
    {"Mn-54", {312.19, 0.03, "d"}, 8e-2, 1e6},
    // Co-57: T½ DDEP '271.81 D 4' (the 2017 file: '271.80 D 5'), SV18 '271,8 d'; D SV18 0050;
    //     E SV18 0050
    {"Co-57", {271.81, 0.04, "d"}, 7e-1, 1e6},
    // Co-60: T½ DDEP '5.2711 Y 8', SV18 '5,3 a'; D EU3, NRC, CNSC, SV18 0050; E SV18 0050
    {"Co-60", {5.2711, 0.0008, "y"}, 3e-2, 1e5},
    // Ni-63: T½ DDEP '98.7 Y 24' (SV18 '100,6 a' differs); D SV18 0050; E SV18 0050
    {"Ni-63", {98.7, 2.4, "y"}, 6e1, 1e8},
    // Zn-65: T½ DDEP '244.01 D 9' (SV18 '244,2 d' differs); D SV18 0050; E SV18 0050
    {"Zn-65", {244.01, 0.09, "d"}, 1e-1, 1e6},
    // Ge-68: T½ DDEP '270.95 D 26', SV18 '271,0 d';
    //     D SV18 0050 'Ge-68+' (the calculator: 0.7, see dValuesApart); E SV18 0050 'Ge-68+'
    {"Ge-68", {270.95, 0.26, "d"}, 7e-2, 1e5},
    // Se-75: T½ DDEP '119.781 D 24' (SV18 '119,6 d' differs); D EU3, NRC, CNSC, SV18 0050;
    //     E SV18 0050
    {"Se-75", {119.781, 0.024, "d"}, 2e-1, 1e6},
    // Kr-85: T½ DDEP '10.752 Y 23', SV18 '10,8 a'; D SV18 0060; E SV18 0060
    {"Kr-85", {10.752, 0.023, "y"}, 3e1, 1e4},
    // Sr-90: T½ DDEP '28.80 Y 7', SV18 '28,8 a'; D EU3, NRC, CNSC, SV18 0060 'Sr-90+';
    //     E SV18 0060 'Sr-90+'
    {"Sr-90", {28.80, 0.07, "y"}, 1, 1e4},
    // Y-88: T½ DDEP '106.63 D 5', SV18 '106,6 d'; D SV18 0060; E SV18 0060
    {"Y-88", {106.63, 0.05, "d"}, 3e-2, 1e6},
    // Y-90: T½ DDEP '2.6684 D 13' (SV18 '64,1 h' differs); D SV18 0060; E SV18 0060
    {"Y-90", {2.6684, 0.0013, "d"}, 5, 1e5},
    // Mo-99: T½ DDEP '2.7479 D 6', SV18 '65,9 h'; D SV18 0060 'Mo-99+'; E SV18 0060 'Mo-99+'
    {"Mo-99", {2.7479, 0.0006, "d"}, 3e-1, 1e6},
    // Tc-99m: T½ DDEP '6.0067 H 10', SV18 '6,0 h'; D SV18 0070; E SV18 0070
    {"Tc-99m", {6.0067, 0.001, "h"}, 7e-1, 1e7},
    // Ru-106: T½ DDEP '371.5 D 21' (SV18 '372,6 d' differs); D SV18 0070 'Ru-106+';
    //     E SV18 0070 'Ru-106+'
    {"Ru-106", {371.5, 2.1, "d"}, 3e-1, 1e5},
    // Cd-109: T½ DDEP '461.9 D 4' (SV18 '462,6 d' differs); D SV18 0070 'Cd-109+';
    //     E SV18 0070 'Cd-109+'
    {"Cd-109", {461.9, 0.4, "d"}, 2e1, 1e6},
    // I-125: T½ DDEP '59.388 D 28', SV18 '59,4 d'; D SV18 0080; E SV18 0080
    {"I-125", {59.388, 0.028, "d"}, 2e-1, 1e6},
    // I-129: T½ DDEP '16.1E6 Y 7', SV18 '1,6 E+7 a'; D SV18 0080 Sp.4 'UL'; E SV18 0080
    {"I-129", {16.1e6, 0.7e6, "y"}, unlimitedD, 1e5},
    // I-131: T½ DDEP '8.0233 D 19', SV18 '8,0 d'; D SV18 0080; E SV18 0080
    {"I-131", {8.0233, 0.0019, "d"}, 2e-1, 1e6},
    // Ba-133: T½ DDEP '10.539 Y 6', SV18 '10,5 a'; D SVX only; E SV18 0090
    {"Ba-133", {10.539, 0.006, "y"}, 2e-1, 1e6},
    // Cs-134: T½ DDEP '2.0644 Y 14', SV18 '2,1 a'; D SVX only; E SV18 0090
    {"Cs-134", {2.0644, 0.0014, "y"}, 4e-2, 1e4},
    // Cs-137: T½ DDEP '30.05 Y 8', SV18 '30,0 a'; D EU3, NRC, CNSC, SV18 0090 'Cs-137+';
    //     E SV18 0090 'Cs-137+'
    {"Cs-137", {30.05, 0.08, "y"}, 1e-1, 1e4},
    // Pm-147: T½ DDEP '2.6234 Y 4', SV18 '2,6 a'; D EU3, NRC, CNSC, SV18 0100; E SV18 0100
    {"Pm-147", {2.6234, 0.0004, "y"}, 4e1, 1e7},
    // Eu-152: T½ DDEP '13.522 Y 16', SV18 '13,5 a'; D SV18 0100; E SV18 0100
    {"Eu-152", {13.522, 0.016, "y"}, 6e-2, 1e6},
    // Eu-154: T½ DDEP '8.601 Y 4', SV18 '8,6 a'; D SV18 0100; E SV18 0100
    {"Eu-154", {8.601, 0.004, "y"}, 6e-2, 1e6},
    // Eu-155: T½ DDEP '4.753 Y 14', SV18 '4,8 a'; D SV18 0100; E SV18 0100
    {"Eu-155", {4.753, 0.014, "y"}, 2, 1e7},
    // Gd-153: T½ DDEP '240.4 D 10', SV18 '240,4 d'; D EU3, NRC, CNSC, SV18 0100; E SV18 0100
    {"Gd-153", {240.4, 1, "d"}, 1, 1e7},
    // Ho-166m: T½ DDEP '1133 Y 8' (SV18 '1,2 E+3 a' differs); D SV18 0110; E SV18 0110
    {"Ho-166m", {1133, 8, "y"}, 4e-2, 1e6},
    // Yb-169: T½ DDEP '32.018 D 5', SV18 '32,0 d'; D EU3, NRC, CNSC, SV18 0110; E SV18 0110
    {"Yb-169", {32.018, 0.005, "d"}, 3e-1, 1e7},
    // Tm-170: T½ DDEP '127.8 D 6' (SV18 '128,6 d' differs); D EU3, NRC, CNSC, SV18 0110;
    //     E SV18 0110
    {"Tm-170", {127.8, 0.6, "d"}, 2e1, 1e6},
    // Ir-192: T½ DDEP '73.827 D 13', SV18 '73,8 d'; D EU3, NRC, CNSC, SV18 0120; E SV18 0120
    {"Ir-192", {73.827, 0.013, "d"}, 8e-2, 1e4},
    // Au-198: T½ DDEP '2.6943 D 3', SV18 '2,7 d'; D SV18 0120; E SV18 0120
    {"Au-198", {2.6943, 0.0003, "d"}, 2e-1, 1e6},
    // Tl-204: T½ DDEP '3.788 Y 15', SV18 '3,8 a'; D SV18 0130; E SV18 0130
    {"Tl-204", {3.788, 0.015, "y"}, 2e1, 1e4},
    // Bi-207: T½ DDEP '32.9 Y 14' (SV18 '31,8 a' differs); D SV18 0130; E SV18 0130
    {"Bi-207", {32.9, 1.4, "y"}, 5e-2, 1e6},
    // Po-210: T½ DDEP '138.3763 D 17', SV18 '138,4 d'; D SV18 0130; E SV18 0130, IRR17
    {"Po-210", {138.3763, 0.0017, "d"}, 6e-2, 1e4},
    // Ra-226: T½ DDEP '1600 Y 7', SV18 '1,6 E+3 a'; D EU3, NRC, CNSC, SV18 0130 'Ra-226+';
    //     E SV18 0130 'Ra-226+', IRR17
    {"Ra-226", {1600, 7, "y"}, 4e-2, 1e4},
    // Th-232: T½ DDEP '14.02E9 Y 6', SV18 '1,4 E+10 a'; D SV18 0140 'Th-232+' Sp.4 'UL' (the
    //     plain row's Sp.4 is empty); E SV18 0140
    {"Th-232", {14.02e9, 0.06e9, "y"}, unlimitedD, 1e4},
    // U-235: T½ DDEP '704E6 Y 1', SV18 '7,0 E+8 a'; D SV18 0140 'U-235+'; E SV18 0140 'U-235+'
    {"U-235", {704e6, 1e6, "y"}, 8e-5, 1e4},
    // U-238: T½ DDEP '4.468E9 Y 5', SV18 '4,5 E+9 a'; D SV18 0140 'U-238+' Sp.4 'UL';
    //     E SV18 0140 'U-238+'
    {"U-238", {4.468e9, 0.005e9, "y"}, unlimitedD, 1e4},
    // Pu-238: T½ DDEP '87.74 Y 3', SV18 '87,7 a'; D EU3, NRC, CNSC, SV18 0140; E SV18 0140
    {"Pu-238", {87.74, 0.03, "y"}, 6e-2, 1e4},
    // Pu-239: T½ DDEP '24100 Y 11', SV18 '2,4 E+4 a'; D SV18 0140 'Pu-239+'; E SV18 0140 'Pu-239+'
    {"Pu-239", {24100, 11, "y"}, 6e-2, 1e4},
    // Pu-239/Be: T½ of Pu-239: DDEP '24100 Y 11', SV18 '2,4 E+4 a'; D EU3, NRC, CNSC;
    //     no E (no row for an X/Be source)
    {"Pu-239/Be", {24100, 11, "y"}, 6e-2, std::nullopt},
    // Am-241: T½ DDEP '432.6 Y 6' (SV18 '432,8 a' differs); D EU3, NRC, CNSC, SV18 0140;
    //     E SV18 0140
    {"Am-241", {432.6, 0.6, "y"}, 6e-2, 1e4},
    // Am-241/Be: T½ of Am-241: DDEP '432.6 Y 6' (SV18 '432,8 a' differs); D EU3, NRC, CNSC;
    //     no E (no row for an X/Be source)
    {"Am-241/Be", {432.6, 0.6, "y"}, 6e-2, std::nullopt},
    // Cm-244: T½ DDEP '18.11 Y 3' (SV18 '18,0 a' differs); D EU3, NRC, CNSC, SV18 0140; E SV18 0140
    {"Cm-244", {18.11, 0.03, "y"}, 5e-2, 1e4},
    // Cf-252: T½ DDEP '2.6470 Y 26', SV18 '2,6 a'; D EU3, NRC, CNSC, SV18 0150; E SV18 0150
    {"Cf-252", {2.6470, 0.0026, "y"}, 2e-2, 1e4},
});

// The radionuclide of the table whose name equals the text exactly; none for any other text.
constexpr const Nuclide* nuclideNamed(std::string_view name) {
    const auto found = std::ranges::find(nuclides, name, &Nuclide::name);
    return found == nuclides.end() ? nullptr : &*found;
}

// The calculator's D-values that this table's sources do not confirm. Ge-68: the calculator's
// category table is built on 0.7 TBq (its bound 0.007 TBq is D / 100), while SV18 Sp. 4 gives
// 0.07 TBq for 'Ge-68+', which transcribes IAEA EPR-D-Values 2006 (EU3 lists no Ge-68 and points
// to EPR-D-Values for the radionuclides it does not list). The register takes this table's value
// for A/D and keeps the calculator's category table, and says on each such row that the two
// differ.
inline constexpr auto dValuesApart = std::to_array<std::string_view>({"Ge-68"});

// Where the D-value comes from, beside the rows' comments for the register's source column: the
// radionuclides of EU3 (the same in NRC and CNSC, and in SV18 but for the X/Be sources), and the
// two whose D-value only SVX gives. All others with a D-value have it from SV18 Sp. 4.
inline constexpr auto dInAnnexIII = std::to_array<std::string_view>(
    {"Am-241", "Am-241/Be", "Cf-252", "Cm-244", "Co-60", "Cs-137", "Gd-153", "Ir-192", "Pm-147",
     "Pu-238", "Pu-239/Be", "Ra-226", "Se-75", "Sr-90", "Tm-170", "Yb-169"});
inline constexpr auto dInConsolidatedTextOnly =
    std::to_array<std::string_view>({"Ba-133", "Cs-134"});

namespace tableChecks {

// Indices rather than pointers, as in d_values.h.
constexpr std::size_t indexOfNuclide(std::string_view name) {
    return static_cast<std::size_t>(std::ranges::find(nuclides, name, &Nuclide::name) -
                                    nuclides.begin());
}

// Every radionuclide of the calculator stands in this table, and its D-value here equals the
// calculator's, except for exactly the ones set apart above.
constexpr bool dValuesAgreeWithTheCalculator() {
    return std::ranges::all_of(dValues, [](const DValue& calculator) {
        const std::size_t i = indexOfNuclide(calculator.radionuclide);
        if (i == nuclides.size())
            return false;
        const bool equal = nuclides[i].dTBq && *nuclides[i].dTBq == calculator.tbq;
        const bool apart = std::ranges::count(dValuesApart, calculator.radionuclide) == 1;
        return equal != apart;
    });
}

// Where both tables give an exemption level (the calculator's is the upper bound of its
// "Exempted" row, in TBq), they agree to the rounding of the conversion to Bq.
constexpr bool exemptionLevelsAgreeWithTheCalculator() {
    return std::ranges::all_of(categoryThresholds, [](const ThresholdRow& row) {
        if (row.label != labels::exempted)
            return true;
        const std::size_t i = indexOfNuclide(row.radionuclide);
        if (i == nuclides.size() || !nuclides[i].exemptionBq)
            return true;
        const double bq = row.upper.value * 1e12;
        const double difference = bq - *nuclides[i].exemptionBq;
        return (difference < 0 ? -difference : difference) <= 1e-9 * bq;
    });
}

} // namespace tableChecks

static_assert(tableChecks::eachKeyOnce(nuclides, &Nuclide::name), "each radionuclide once");
static_assert(std::ranges::all_of(nuclides,
                                  [](const Nuclide& n) {
                                      return daysPerUnit(n.halfLife.unit).has_value() &&
                                             n.halfLife.value > 0 && n.halfLife.uncertainty > 0 &&
                                             n.halfLife.uncertainty < n.halfLife.value;
                                  }),
              "every half-life positive, in a known unit, with an uncertainty below itself");
static_assert(std::ranges::all_of(nuclides,
                                  [](const Nuclide& n) {
                                      return n.dTBq.value_or(1) > 0 &&
                                             n.exemptionBq.value_or(1) > 0;
                                  }),
              "every D-value and exemption level positive");
static_assert(std::ranges::all_of(dInAnnexIII,
                                  [](std::string_view name) {
                                      return tableChecks::indexOfNuclide(name) < nuclides.size();
                                  }) &&
                  std::ranges::all_of(dInConsolidatedTextOnly,
                                      [](std::string_view name) {
                                          return tableChecks::indexOfNuclide(name) <
                                                 nuclides.size();
                                      }),
              "the lists of D-value sources name radionuclides of the table");
static_assert(tableChecks::dValuesAgreeWithTheCalculator(),
              "the calculator's D-values agree with the sources, but for the ones set apart");
static_assert(tableChecks::exemptionLevelsAgreeWithTheCalculator(),
              "the calculator's exemption levels agree with the sources");

} // namespace dovrin
