#include "SetupRecord.h"

namespace quello {

namespace {

constexpr std::size_t kModeByte = 6;
constexpr std::size_t kTimeZoneByte = 7;
constexpr std::size_t kSensitivityByte = 8;
constexpr std::size_t kTrailerOffset = 124;

std::uint32_t ReadLe32(const std::array<std::uint8_t, SetupRecord::kSize>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

void WriteLe32(std::array<std::uint8_t, SetupRecord::kSize>& b, std::size_t at,
               std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        b[at + i] = std::uint8_t(value >> (8 * i));
}

bool ValidAxis(int axis) {
    return axis >= 0 && axis < SetupRecord::kAxes;
}

} // namespace

std::uint32_t SetupRecord::magic() const {
    return ReadLe32(bytes, 0);
}

std::uint32_t SetupRecord::trailer() const {
    return ReadLe32(bytes, kTrailerOffset);
}

bool SetupRecord::updateFlag() const {
    return (bytes[kModeByte] & 0x01) != 0;
}

int SetupRecord::resolutionCode() const {
    return (bytes[kModeByte] >> 1) & 0x3F;
}

int SetupRecord::timeZone() const {
    return static_cast<std::int8_t>(bytes[kTimeZoneByte]);
}

int SetupRecord::sensitivity(int axis) const {
    return ValidAxis(axis) ? bytes[kSensitivityByte + std::size_t(axis)] : 0;
}

void SetupRecord::SetMagic(std::uint32_t value) {
    WriteLe32(bytes, 0, value);
}

void SetupRecord::SetTrailer(std::uint32_t value) {
    WriteLe32(bytes, kTrailerOffset, value);
}

void SetupRecord::SetUpdateFlag(bool on) {
    bytes[kModeByte] = std::uint8_t((bytes[kModeByte] & ~0x01) | (on ? 0x01 : 0x00));
}

void SetupRecord::SetResolutionCode(int code) {
    bytes[kModeByte] = std::uint8_t((bytes[kModeByte] & 0x81) | ((code & 0x3F) << 1));
}

void SetupRecord::SetTimeZone(int hours) {
    bytes[kTimeZoneByte] = std::uint8_t(hours & 0xFF);
}

void SetupRecord::SetSensitivity(int axis, int value) {
    if (ValidAxis(axis))
        bytes[kSensitivityByte + std::size_t(axis)] = std::uint8_t(value & 0xFF);
}

bool SetupRecord::isValid() const {
    return magic() == kMagic && trailer() != 0;
}

std::string SetupRecord::hex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(kSize * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

} // namespace quello
