// The car's SEI messages on arbitrary bytes. The first byte picks the layer: 0 the message
// decoder alone, 1 one NAL unit, 2..5 an AVCC packet with 1..4-byte lengths split into units.

#include "FuzzSupport.h"

#include "cameras/SeiMessage.h"
#include "cameras/SeiPayload.h"

#include <string>

using namespace quello;

namespace {

constexpr std::uint32_t kKnownFields = 0x1FFFEu; // bits 1..16

void Check(const std::optional<SeiMessage>& message) {
    if (message && (message->present & ~kKnownFields) != 0)
        fuzz::Fail("a field outside the message's numbers marked present");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int mode = data[0] % 6;
    const std::uint8_t* body = data + 1;
    const std::size_t length = size - 1;
    if (mode == 0) {
        Check(DecodeSeiMessage(body, length));
        return 0;
    }
    if (mode == 1) {
        Check(SeiPayload::FromNalUnit(body, length));
        return 0;
    }
    const int lengthSize = mode - 1;
    std::size_t covered = 0;
    SeiPayload::ForEachAvccUnit(body, length, lengthSize,
                                [&](const std::uint8_t* unit, std::size_t unitSize) {
                                    if (unit < body || unit + unitSize > body + length)
                                        fuzz::Fail("a unit outside its packet");
                                    covered += std::size_t(lengthSize) + unitSize;
                                    Check(SeiPayload::FromNalUnit(unit, unitSize));
                                });
    if (covered > length)
        fuzz::Fail("units cover more than the packet: " + std::to_string(covered));
    return 0;
}
