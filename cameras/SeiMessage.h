#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quello {

// The car's own state for one video frame, as a Tesla front camera writes it into an SEI
// message of its H.264 stream (a Protocol Buffers message). A plain value type.
struct SeiMessage {
    // The message's field numbers; has() tells which of them the message carried.
    enum Field : int {
        kVersion = 1,
        kGear = 2,
        kFrameSequence = 3,
        kSpeed = 4,
        kAcceleratorPedal = 5,
        kSteeringAngle = 6,
        kLeftBlinker = 7,
        kRightBlinker = 8,
        kBrake = 9,
        kAssist = 10,
        kLatitude = 11,
        kLongitude = 12,
        kHeading = 13,
        kAccelerationX = 14,
        kAccelerationY = 15,
        kAccelerationZ = 16,
    };
    enum Gear : int { kPark = 0, kDrive = 1, kReverse = 2, kNeutral = 3 };
    enum Assist : int { kNoAssist = 0, kSelfDriving = 1, kAutosteer = 2, kAdaptiveCruise = 3 };

    std::uint32_t present = 0; // bit n set: field n was read
    std::uint32_t version = 0;
    int gear = kPark;
    std::uint64_t frameSequence = 0;
    float speed = 0;            // m/s
    float acceleratorPedal = 0; // as the car reports it
    float steeringAngle = 0;    // degrees of the steering wheel
    bool leftBlinker = false;
    bool rightBlinker = false;
    bool brake = false;
    int assist = kNoAssist;
    double latitude = 0;      // degrees
    double longitude = 0;     // degrees
    double heading = 0;       // degrees
    double accelerationX = 0; // m/s², the car's linear acceleration (gravity excluded)
    double accelerationY = 0;
    double accelerationZ = 0;

    bool has(Field field) const { return (present >> field) & 1u; }
};

// Decodes one serialized message. Unknown fields of any wire type are skipped; a known field
// sent with another wire type than its own counts as unknown. Returns nothing when the bytes
// are not a well-formed message (a truncated field, a length past the end, field number 0,
// wire types 6 and 7, unbalanced groups). Never reads outside [data, data + size). Pure.
std::optional<SeiMessage> DecodeSeiMessage(const std::uint8_t* data, std::size_t size);

} // namespace quello
