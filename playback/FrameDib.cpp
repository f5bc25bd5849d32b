#include "playback/FrameDib.h"

#include "imaging/JpegWriter.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace quello {

namespace {

void PutLe(unsigned char* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t GetLe(const unsigned char* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

} // namespace

int PackedDibSize(int width, int height) {
    if (width < 1 || height < 1)
        return 0;
    const std::int64_t size = std::int64_t(width) * height * 4 + kDibHeaderSize;
    return size > INT_MAX ? 0 : int(size);
}

bool PackDib(const unsigned char* topDownRows, int width, int height, std::size_t stride,
             unsigned char* out, int outSize) {
    const int size = PackedDibSize(width, height);
    if (!topDownRows || !out || size == 0 || outSize < size || stride < std::size_t(width) * 4)
        return false;

    std::memset(out, 0, kDibHeaderSize);
    PutLe(out + 0, kDibHeaderSize, 4);                        // biSize
    PutLe(out + 4, std::uint32_t(width), 4);                  // biWidth
    PutLe(out + 8, std::uint32_t(height), 4);                 // biHeight > 0: bottom-up rows
    PutLe(out + 12, 1, 2);                                    // biPlanes
    PutLe(out + 14, 32, 2);                                   // biBitCount
    PutLe(out + 20, std::uint32_t(size - kDibHeaderSize), 4); // biSizeImage; BI_RGB, rest 0

    const std::size_t rowBytes = std::size_t(width) * 4;
    unsigned char* pixels = out + kDibHeaderSize;
    for (int y = 0; y < height; ++y) {
        const unsigned char* source = topDownRows + stride * std::size_t(height - 1 - y);
        unsigned char* target = pixels + rowBytes * std::size_t(y);
        std::memcpy(target, source, rowBytes);
        // The capture's fourth byte is padding of unspecified value; a DIB keeps it 0.
        for (std::size_t x = 3; x < rowBytes; x += 4)
            target[x] = 0;
    }
    return true;
}

int WriteDibAsJpeg(const unsigned char* dib, int size, const std::string& path,
                   const SnapshotFacts& facts) {
    if (!dib || size < kDibHeaderSize)
        return 0;
    const auto width = std::int32_t(GetLe(dib + 4, 4));
    const auto height = std::int32_t(GetLe(dib + 8, 4));
    const int bitCount = int(GetLe(dib + 14, 2));
    if (width < 1 || height < 1 || (bitCount != 24 && bitCount != 32))
        return 0;
    if (std::int64_t(width) * (bitCount / 8) * height + kDibHeaderSize != size)
        return 0;
    return WriteJpeg(dib + kDibHeaderSize, width, height, path, bitCount, facts);
}

} // namespace quello
