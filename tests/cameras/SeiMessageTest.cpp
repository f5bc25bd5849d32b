// The car's SEI message decoder and the NAL-unit steps before it, on hand-built bytes: unknown
// fields of every wire type are skipped, malformed or truncated input gives nothing.
#include "cameras/SeiMessage.h"
#include "cameras/SeiPayload.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quello {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Varint(std::uint64_t v) {
    Bytes out;
    for (; v >= 0x80; v >>= 7)
        out.push_back(std::uint8_t(v | 0x80));
    out.push_back(std::uint8_t(v));
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Tag(int field, int wireType) {
    return Varint(std::uint64_t(field) << 3 | std::uint64_t(wireType));
}

Bytes Double(int field, double value) {
    Bytes out = Tag(field, 1);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        out.push_back(std::uint8_t(bits >> (8 * i)));
    return out;
}

Bytes Float(int field, float value) {
    Bytes out = Tag(field, 5);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(bits >> (8 * i)));
    return out;
}

// Speed 12.5 m/s, brake on, latitude 0 (eight zero bytes: the NAL unit needs escaping).
const Bytes kMessage = Tag(2, 0) + Varint(1) + Float(4, 12.5f) + Tag(9, 0) + Varint(1) +
                       Double(11, 0.0) + Double(12, -122.25) + Tag(3, 0) + Varint(300);

TEST(SeiMessage, DecodesKnownFieldsAndSkipsTheRest) {
    const struct {
        const char* name;
        Bytes bytes;
        bool ok;
    } cases[] = {
        {"plain", kMessage, true},
        {"unknown varint, bytes, fixed32, fixed64, group",
         Tag(40, 0) + Varint(1ull << 62) + kMessage + Tag(41, 2) + Varint(2) + Bytes{7, 7} +
             Tag(42, 5) + Bytes{1, 2, 3, 4} + Tag(43, 1) + Bytes(8, 9) + Tag(44, 3) + Tag(1, 0) +
             Varint(5) + Tag(44, 4),
         true},
        {"known field with another wire type", Tag(4, 0) + Varint(99) + kMessage, true},
        {"empty", {}, true},
        {"truncated varint", kMessage + Tag(1, 0) + Bytes{0x80}, false},
        {"truncated double", Bytes(kMessage.begin(), kMessage.end() - 8), false},
        {"length past the end", Tag(41, 2) + Varint(5) + Bytes{1, 2}, false},
        {"field number 0", Tag(0, 0) + Varint(1), false},
        {"wire type 7", Tag(5, 7) + Varint(1), false},
        {"end of a group never opened", kMessage + Tag(44, 4), false},
        {"group never closed", Tag(44, 3) + Tag(1, 0) + Varint(1), false},
        {"eleven-byte varint", Tag(1, 0) + Bytes(10, 0xFF) + Bytes{1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto m = DecodeSeiMessage(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(m.has_value(), c.ok);
        if (!c.ok || c.bytes.empty())
            continue;
        EXPECT_TRUE(m->has(SeiMessage::kLongitude));
        EXPECT_EQ(m->gear, SeiMessage::kDrive);
        EXPECT_EQ(m->speed, 12.5f);
        EXPECT_TRUE(m->brake);
        EXPECT_TRUE(m->has(SeiMessage::kLatitude));
        EXPECT_EQ(m->longitude, -122.25);
        EXPECT_EQ(m->frameSequence, 300u);
        EXPECT_FALSE(m->has(SeiMessage::kHeading));
    }
}

// An SEI NAL unit as a camera writes it: user data unregistered, the marker, the message,
// the RBSP trailing bits, with emulation prevention.
Bytes SeiUnit(const Bytes& message) {
    const Bytes data = Bytes{0x42, 0x42, 0x42, 0x69} + message;
    Bytes rbsp{5};
    std::size_t size = data.size();
    for (; size >= 255; size -= 255)
        rbsp.push_back(0xFF);
    rbsp.push_back(std::uint8_t(size));
    rbsp = rbsp + data + Bytes{0x80};
    Bytes unit{0x06};
    int zeros = 0;
    for (std::uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            unit.push_back(3);
            zeros = 0;
        }
        unit.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return unit;
}

TEST(SeiPayload, FindsTheMessageInItsNalUnit) {
    const Bytes long_ = kMessage + Tag(41, 2) + Varint(300) + Bytes(300, 0);
    const Bytes otherUserData = Bytes{0x06, 0x05, 0x03, 0x11, 0x22, 0x33};
    const Bytes unit = SeiUnit(kMessage);
    const Bytes afterHeader(unit.begin() + 1, unit.end());
    const struct {
        const char* name;
        Bytes unit;
        bool found;
    } cases[] = {
        {"escaped zeros", unit, true},
        {"size over 255", SeiUnit(long_), true},
        {"after another SEI message", Bytes{0x06, 0x01, 0x01, 0x00} + afterHeader, true},
        {"other user data", otherUserData + Bytes{0x80}, false},
        {"no 0x69 after the run", Bytes{0x06, 0x05, 0x02, 0x42, 0x08, 0x80}, false},
        {"a slice, not SEI", Bytes{0x65} + afterHeader, false},
        {"payload size past the unit", Bytes{0x06, 0x05, 0x40, 0x42, 0x69, 0x08, 0x01}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto m = SeiPayload::FromNalUnit(c.unit.data(), c.unit.size());
        ASSERT_EQ(m.has_value(), c.found);
        if (c.found) {
            EXPECT_EQ(m->speed, 12.5f);
        }
    }
}

TEST(SeiPayload, TruncatedUnitsGiveNothing) {
    // Cut anywhere before the trailing bits, the payload no longer fits its declared size.
    const Bytes unit = SeiUnit(kMessage);
    for (std::size_t size = 0; size + 1 < unit.size(); ++size)
        EXPECT_FALSE(SeiPayload::FromNalUnit(unit.data(), size)) << size;
}

TEST(SeiPayload, SplitsAvccPacketsAndStopsAtALyingLength) {
    const Bytes packet = Bytes{0, 0, 0, 2, 0x09, 0xF0} + Bytes{0, 0, 0, 1, 0x65};
    const struct {
        Bytes bytes;
        int lengthSize;
        bool ok;
        std::vector<std::size_t> sizes;
    } cases[] = {
        {packet, 4, true, {2, 1}},
        {Bytes{0, 2, 0x09, 0xF0}, 2, true, {2}},
        {packet + Bytes{0, 0, 0, 9, 1}, 4, false, {2, 1}},
        {packet + Bytes{0, 0}, 4, false, {2, 1}},
        {packet, 5, false, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::size_t> sizes;
        EXPECT_EQ(SeiPayload::ForEachAvccUnit(
                      c.bytes.data(), c.bytes.size(), c.lengthSize,
                      [&](const std::uint8_t*, std::size_t size) { sizes.push_back(size); }),
                  c.ok);
        EXPECT_EQ(sizes, c.sizes);
    }
}

} // namespace
} // namespace quello
