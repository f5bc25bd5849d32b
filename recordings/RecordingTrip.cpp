#include "RecordingTrip.h"

#include "RecordingLibrary.h"

#include <cstdint>
#include <cstdlib>

namespace quello {

namespace {

std::int64_t EndOf(const RecordingEntry& e) {
    return e.startTime + static_cast<std::int64_t>(e.durationSeconds);
}

bool Joins(std::int64_t end, const RecordingEntry& next) {
    return next.hasStartTime && std::llabs(next.startTime - end) <= kTripJoinSeconds;
}

} // namespace

std::vector<int> FindTrip(const RecordingLibrary& library, int index) {
    const int count = library.entryCount();
    if (index < 0 || index >= count)
        return {};
    std::vector<int> trip{index};
    if (!library.entry(index).hasStartTime)
        return trip;
    // A recording joins once: without this, a movie shorter than the join window, or the same
    // movie added twice, would make the trip go round in a circle.
    std::vector<bool> taken(static_cast<std::size_t>(count), false);
    taken[static_cast<std::size_t>(index)] = true;
    const auto find = [&](auto joins) {
        for (int i = 0; i < count; ++i)
            if (!taken[static_cast<std::size_t>(i)] && joins(library.entry(i))) {
                taken[static_cast<std::size_t>(i)] = true;
                return i;
            }
        return -1;
    };
    // An entry without length has no end another could start at.
    for (int last = index; library.entry(last).durationSeconds > 0;) {
        last = find([&](const RecordingEntry& e) { return Joins(EndOf(library.entry(last)), e); });
        if (last < 0)
            break;
        trip.push_back(last);
    }
    std::vector<int> before;
    for (int first = index;;) {
        first = find([&](const RecordingEntry& e) {
            return e.hasStartTime && e.durationSeconds > 0 && Joins(EndOf(e), library.entry(first));
        });
        if (first < 0)
            break;
        before.push_back(first);
    }
    trip.insert(trip.begin(), before.rbegin(), before.rend());
    return trip;
}

} // namespace quello
