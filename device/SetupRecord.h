#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace quello {

// The camera's 128-byte settings file `setup.cfg`, kept byte for byte so that every byte this
// type does not interpret is written back unchanged. Multi-byte fields are little-endian.
// A plain value type.
struct SetupRecord {
    static constexpr std::size_t kSize = 128;
    static constexpr std::uint32_t kMagic = 0x5052010E;
    static constexpr std::uint32_t kTrailer = 0x53050E50;
    static constexpr int kAxes = 3;

    std::array<std::uint8_t, kSize> bytes{};

    std::uint32_t magic() const;     // bytes 0..3
    std::uint32_t trailer() const;   // bytes 124..127
    bool updateFlag() const;         // bit 0 of byte 6
    int resolutionCode() const;      // bits 1..6 of byte 6
    int timeZone() const;            // byte 7, signed whole hours
    int sensitivity(int axis) const; // bytes 8..10 for axis 0..2; 0 for another axis

    void SetMagic(std::uint32_t value);
    void SetTrailer(std::uint32_t value);
    void SetUpdateFlag(bool on);
    void SetResolutionCode(int code);         // low 6 bits; bits 0 and 7 of byte 6 kept
    void SetTimeZone(int hours);              // stored as a signed byte
    void SetSensitivity(int axis, int value); // stored as a byte; another axis is ignored

    // The magic is right and the trailer is non-zero: the card accepts the file.
    bool isValid() const;

    // 256 lowercase hex digits, byte 0 first.
    std::string hex() const;

    bool operator==(const SetupRecord&) const = default;
};

} // namespace quello
