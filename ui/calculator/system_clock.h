#pragma once

#include "decay.h"

// The present local date and time of day, from the system clock.
dovrin::LocalTime systemLocalTime();
