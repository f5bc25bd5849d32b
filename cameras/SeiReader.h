#pragma once

#include "SeiMessage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quello {

// One video frame's message; `seconds` is the packet's presentation time from the start of the
// video stream.
struct SeiRecord {
    double seconds = 0;
    SeiMessage message;
};

// What the movie holds: its messages in packet order (at most one per packet) and its header's
// facts.
struct SeiTrack {
    std::vector<SeiRecord> records;
    bool hasCreationTime = false;
    std::int64_t creationTime = 0; // the header's creation time, seconds since 1970 (UTC)
};

// Reads the car's SEI messages from a movie's H.264 video packets with libavformat, without
// decoding any picture. Stateless; each call opens its own demuxer, so calls on distinct
// threads are safe.
class SeiReader {
public:
    // Packets within the first `giveUpSeconds` of video without any message end the read early:
    // such a movie has none; the read also ends past `stopSeconds`. Returns false when the movie
    // can't be opened, has no H.264 stream stored with an avcC record, or holds no message; `out`
    // then has no records.
    static bool Read(const std::string& moviePath, SeiTrack& out, double giveUpSeconds = 2.0,
                     double stopSeconds = 1e9);
};

} // namespace quello
