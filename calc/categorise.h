#pragma once

// The security category of a source, from its radionuclide and its activity in TBq.

#include <optional>
#include <string_view>

namespace dovrin {

// "1" to "5", "Exempted" or "Not assigned" for a radionuclide of the threshold table (name
// matched exactly); no result for any other name, or for an activity that is not a number.
std::optional<std::string_view> categoriseActivity(std::string_view radionuclide,
                                                   double activityTBq);

// Whether the threshold table has bands for the radionuclide.
bool hasThresholds(std::string_view radionuclide);

} // namespace dovrin
