#pragma once

#include "SeiMessage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace quello {

// The byte-level steps from an MP4 video packet to the car's SEI message. Pure functions,
// safe on any thread; none reads outside the bytes it is given.
class SeiPayload {
public:
    // Calls `unit` for each NAL unit of an AVCC packet (each prefixed by its big-endian length
    // in `lengthSize` bytes, 1 to 4, as the avcC record says). Returns false when a length
    // runs past the packet or `lengthSize` is out of range; the units before it were handed out.
    static bool ForEachAvccUnit(const std::uint8_t* packet, std::size_t size, int lengthSize,
                                const std::function<void(const std::uint8_t*, std::size_t)>& unit);

    // The car's message in one NAL unit (header byte included): an SEI unit (type 6) whose
    // user-data-unregistered payload (type 5) is a run of 0x42 bytes, one 0x69 and a
    // well-formed message. Nothing for any other unit or a malformed one.
    static std::optional<SeiMessage> FromNalUnit(const std::uint8_t* unit, std::size_t size);
};

} // namespace quello
