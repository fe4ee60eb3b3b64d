#pragma once

// The security category of a source, from its radionuclide and its activity in TBq.

#include <optional>
#include <span>
#include <string_view>

#include "category_thresholds.h"
#include "d_values.h"
#include "nrc_thresholds.h"

namespace dovrin {

// The rows of the threshold table for the radionuclide (name matched exactly), which stand
// together in the table; empty for any other name.
std::span<const ThresholdRow> thresholdRowsOf(std::string_view radionuclide);

// The first of the rows whose band holds the activity; none when no band does (an activity that
// is not a number, or no rows).
const ThresholdRow* thresholdBandOf(std::span<const ThresholdRow> rows, double activityTBq);

// The row of the threshold table whose band holds the activity, for a radionuclide of the table
// (name matched exactly); none for any other name, or for an activity that is not a number.
const ThresholdRow* thresholdBandOf(std::string_view radionuclide, double activityTBq);

// "1" to "5", "Exempted" or "Not assigned" for a radionuclide of the threshold table (name
// matched exactly); no result for any other name, or for an activity that is not a number.
std::optional<std::string_view> categoriseActivity(std::string_view radionuclide,
                                                   double activityTBq);

// The same among a radionuclide's rows (thresholdRowsOf), for a caller that categorises many
// activities of one radionuclide.
std::optional<std::string_view> categoriseActivity(std::span<const ThresholdRow> rows,
                                                   double activityTBq);

// The exemption level in TBq among a radionuclide's rows: the upper end of its "Exempted" band,
// which holds every activity up to it; none without such a band.
std::optional<double> exemptionLevelOf(std::span<const ThresholdRow> rows);

// Whether the threshold table has bands for the radionuclide.
bool hasThresholds(std::string_view radionuclide);

// The D-value in TBq of the radionuclide whose name equals the text exactly.
std::optional<double> dValueOf(std::string_view radionuclide);

// The band of the ratio of an activity to its D-value; "5" for a ratio that is not a number.
const AOverDBand& aOverDBandOf(double aOverD);

// "1" to "5", the category of the ratio of an activity to its D-value.
std::string_view categoriseAOverD(double aOverD);

// The row of the US NRC's thresholds for the radionuclide (name matched exactly); none for a
// radionuclide outside that table.
const NrcThreshold* nrcThresholdOf(std::string_view radionuclide);

} // namespace dovrin
