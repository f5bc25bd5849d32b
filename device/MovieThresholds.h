#pragma once

#include "recordings/GForceEvents.h"

#include <string>

namespace quello {

// The thresholds a movie's G-force events are found at: its card's sensitivity levels when the
// movie lies on a camera card (ROOT/DCIM/1xxMEDIA/), else the defaults. Reads the card's
// settings file only; plain function, safe on any thread.
GForceThresholds ThresholdsForMovie(const std::string& moviePath);

} // namespace quello
