#pragma once

// The activity units an inventory may name beyond those of the unit box.

#include <array>
#include <string_view>

#include "activity_units.h"

namespace dovrin {

// Industrial irradiators hold cobalt-60 by the megacurie, and their inventories say so; the
// calculator's unit box has no such unit. The size follows the curie of activity_units.h.
inline constexpr auto inventoryOnlyUnits = std::to_array<ActivityUnit>({
    {"MCi", curies(16)},
});
static_assert(inventoryOnlyUnits[0].sizeInBq == 3.7e16);

} // namespace dovrin
