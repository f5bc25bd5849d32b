#pragma once

#include "recordings/TelemetrySources.h"

#include <cstdint>
#include <string>

namespace quello {

// The GPS options the player uses for a movie: the user's choices saved in the movie's folder
// (a GPX chosen for it or for the folder, a clock offset), plus the time zone of the card the
// movie lies on, when it lies on one. The camera stamps its movies with its local clock while
// GPS tracks keep UTC; the zone brings the two together. Reads files only; plain function, safe
// on any thread.
GpsOptions GpsOptionsForMovie(const std::string& moviePath);

// The card's part of that offset alone: its time zone in seconds, 0 off a card.
std::int64_t CardClockOffsetSeconds(const std::string& moviePath);

} // namespace quello
