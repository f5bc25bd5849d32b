#include "SeiMessage.h"

#include <cstring>

namespace quello {

namespace {

// Groups nest; a bound keeps a hostile message from recursing deep.
constexpr int kMaxGroupDepth = 16;

enum WireType : int {
    kVarint = 0,
    kFixed64 = 1,
    kBytes = 2,
    kGroupStart = 3,
    kGroupEnd = 4,
    kFixed32 = 5
};

class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size) : m_p(data), m_end(data + size) {}

    bool atEnd() const { return m_p == m_end; }

    bool varint(std::uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_p == m_end)
                return false;
            const std::uint8_t byte = *m_p++;
            value |= std::uint64_t(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return true;
        }
        return false; // more than ten bytes
    }

    bool fixed(std::uint64_t& value, int bytes) {
        if (std::size_t(m_end - m_p) < std::size_t(bytes))
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint64_t(m_p[i]) << (8 * i);
        m_p += bytes;
        return true;
    }

    bool skip(std::uint64_t bytes) {
        if (std::uint64_t(m_end - m_p) < bytes)
            return false;
        m_p += bytes;
        return true;
    }

private:
    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
};

// Reads one field's value into `value` (varints and fixed values); length-delimited values and
// groups are skipped. False on malformed input.
bool ReadValue(Cursor& in, int wireType, std::uint64_t fieldNumber, std::uint64_t& value,
               int depth);

bool SkipGroup(Cursor& in, std::uint64_t fieldNumber, int depth) {
    if (depth >= kMaxGroupDepth)
        return false;
    while (!in.atEnd()) {
        std::uint64_t tag = 0;
        if (!in.varint(tag) || (tag >> 3) == 0)
            return false;
        const int wireType = int(tag & 7);
        if (wireType == kGroupEnd)
            return (tag >> 3) == fieldNumber;
        std::uint64_t value = 0;
        if (!ReadValue(in, wireType, tag >> 3, value, depth + 1))
            return false;
    }
    return false;
}

bool ReadValue(Cursor& in, int wireType, std::uint64_t fieldNumber, std::uint64_t& value,
               int depth) {
    switch (wireType) {
    case kVarint:
        return in.varint(value);
    case kFixed64:
        return in.fixed(value, 8);
    case kFixed32:
        return in.fixed(value, 4);
    case kBytes: {
        std::uint64_t length = 0;
        return in.varint(length) && in.skip(length);
    }
    case kGroupStart:
        return SkipGroup(in, fieldNumber, depth);
    default: // an end-group tag outside its group, or the undefined wire types 6 and 7
        return false;
    }
}

int WireTypeOf(std::uint64_t field) {
    switch (field) {
    case SeiMessage::kSpeed:
    case SeiMessage::kAcceleratorPedal:
    case SeiMessage::kSteeringAngle:
        return kFixed32;
    case SeiMessage::kLatitude:
    case SeiMessage::kLongitude:
    case SeiMessage::kHeading:
    case SeiMessage::kAccelerationX:
    case SeiMessage::kAccelerationY:
    case SeiMessage::kAccelerationZ:
        return kFixed64;
    default:
        return kVarint;
    }
}

float AsFloat(std::uint64_t bits) {
    const std::uint32_t narrow = std::uint32_t(bits);
    float value = 0;
    std::memcpy(&value, &narrow, sizeof value);
    return value;
}

double AsDouble(std::uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void Store(SeiMessage& m, std::uint64_t field, std::uint64_t v) {
    switch (field) {
    case SeiMessage::kVersion:
        m.version = std::uint32_t(v);
        break;
    case SeiMessage::kGear:
        m.gear = int(std::uint32_t(v));
        break;
    case SeiMessage::kFrameSequence:
        m.frameSequence = v;
        break;
    case SeiMessage::kSpeed:
        m.speed = AsFloat(v);
        break;
    case SeiMessage::kAcceleratorPedal:
        m.acceleratorPedal = AsFloat(v);
        break;
    case SeiMessage::kSteeringAngle:
        m.steeringAngle = AsFloat(v);
        break;
    case SeiMessage::kLeftBlinker:
        m.leftBlinker = v != 0;
        break;
    case SeiMessage::kRightBlinker:
        m.rightBlinker = v != 0;
        break;
    case SeiMessage::kBrake:
        m.brake = v != 0;
        break;
    case SeiMessage::kAssist:
        m.assist = int(std::uint32_t(v));
        break;
    case SeiMessage::kLatitude:
        m.latitude = AsDouble(v);
        break;
    case SeiMessage::kLongitude:
        m.longitude = AsDouble(v);
        break;
    case SeiMessage::kHeading:
        m.heading = AsDouble(v);
        break;
    case SeiMessage::kAccelerationX:
        m.accelerationX = AsDouble(v);
        break;
    case SeiMessage::kAccelerationY:
        m.accelerationY = AsDouble(v);
        break;
    case SeiMessage::kAccelerationZ:
        m.accelerationZ = AsDouble(v);
        break;
    default:
        return;
    }
    m.present |= 1u << field;
}

} // namespace

std::optional<SeiMessage> DecodeSeiMessage(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr && size != 0)
        return std::nullopt;
    Cursor in(data, size);
    SeiMessage message;
    while (!in.atEnd()) {
        std::uint64_t tag = 0;
        if (!in.varint(tag))
            return std::nullopt;
        const std::uint64_t field = tag >> 3;
        const int wireType = int(tag & 7);
        if (field == 0 || field > 0x1FFFFFFF)
            return std::nullopt;
        std::uint64_t value = 0;
        if (!ReadValue(in, wireType, field, value, 0))
            return std::nullopt;
        if (field <= SeiMessage::kAccelerationZ && wireType == WireTypeOf(field))
            Store(message, field, value);
    }
    return message;
}

} // namespace quello
