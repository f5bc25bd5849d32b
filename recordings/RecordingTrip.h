#pragma once

#include <vector>

namespace quello {

class RecordingLibrary;

// The trip of library entry `index`: the recordings that follow one another without a break,
// each starting where the one before ended (its start plus its length, within
// kTripJoinSeconds). Returns their indexes in time order, `index` among them; just `index`
// when it has no start time or no neighbour; empty when `index` is out of range. An entry that
// could join twice (the same movie added twice) joins once, the first in library order.
// Plain function; reads the library only.
inline constexpr int kTripJoinSeconds = 3;
std::vector<int> FindTrip(const RecordingLibrary& library, int index);

} // namespace quello
