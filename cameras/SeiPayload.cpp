#include "SeiPayload.h"

#include <vector>

namespace quello {

namespace {

constexpr int kNalSei = 6;
constexpr int kUserDataUnregistered = 5;
constexpr std::uint8_t kMarkerRun = 0x42;
constexpr std::uint8_t kMarkerEnd = 0x69;
constexpr std::uint8_t kTrailingBits = 0x80;

// The unit's payload without its emulation-prevention bytes (the 0x03 of each 00 00 03).
std::vector<std::uint8_t> Unescape(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    out.reserve(size);
    int zeros = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (zeros >= 2 && data[i] == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = data[i] == 0 ? zeros + 1 : 0;
        out.push_back(data[i]);
    }
    return out;
}

// An SEI message's type or size: 0xFF bytes each add 255, the first other byte ends it.
bool ReadSeiNumber(const std::vector<std::uint8_t>& rbsp, std::size_t& pos, std::size_t& value) {
    value = 0;
    while (pos < rbsp.size()) {
        const std::uint8_t byte = rbsp[pos++];
        value += byte;
        if (byte != 0xFF)
            return true;
        if (value > rbsp.size() + 255)
            return false;
    }
    return false;
}

std::optional<SeiMessage> FromUserData(const std::uint8_t* data, std::size_t size) {
    std::size_t pos = 0;
    while (pos < size && data[pos] == kMarkerRun)
        ++pos;
    if (pos == 0 || pos >= size || data[pos] != kMarkerEnd)
        return std::nullopt;
    ++pos;
    if (auto message = DecodeSeiMessage(data + pos, size - pos))
        return message;
    // Some writers count the RBSP trailing bits into the payload: a message can't end in 0x80
    // (a varint's continuation), so without it is the only other reading.
    if (size - pos > 0 && data[size - 1] == kTrailingBits)
        return DecodeSeiMessage(data + pos, size - pos - 1);
    return std::nullopt;
}

} // namespace

bool SeiPayload::ForEachAvccUnit(
    const std::uint8_t* packet, std::size_t size, int lengthSize,
    const std::function<void(const std::uint8_t*, std::size_t)>& unit) {
    if (lengthSize < 1 || lengthSize > 4 || (packet == nullptr && size != 0))
        return false;
    std::size_t pos = 0;
    while (pos < size) {
        if (size - pos < std::size_t(lengthSize))
            return false;
        std::size_t length = 0;
        for (int i = 0; i < lengthSize; ++i)
            length = (length << 8) | packet[pos + i];
        pos += lengthSize;
        if (length > size - pos)
            return false;
        if (length > 0)
            unit(packet + pos, length);
        pos += length;
    }
    return true;
}

std::optional<SeiMessage> SeiPayload::FromNalUnit(const std::uint8_t* unit, std::size_t size) {
    if (unit == nullptr || size < 2 || (unit[0] & 0x1F) != kNalSei)
        return std::nullopt;
    const std::vector<std::uint8_t> rbsp = Unescape(unit + 1, size - 1);
    std::size_t pos = 0;
    // More SEI messages follow while bytes remain before the trailing bits.
    while (pos < rbsp.size() && !(rbsp.size() - pos == 1 && rbsp[pos] == kTrailingBits)) {
        std::size_t type = 0, length = 0;
        if (!ReadSeiNumber(rbsp, pos, type) || !ReadSeiNumber(rbsp, pos, length) ||
            length > rbsp.size() - pos)
            return std::nullopt;
        if (type == kUserDataUnregistered)
            if (auto message = FromUserData(rbsp.data() + pos, length))
                return message;
        pos += length;
    }
    return std::nullopt;
}

} // namespace quello
