#pragma once

#include "imaging/SnapshotFacts.h"

#include <cstddef>
#include <string>

namespace quello {

// Packed device-independent bitmaps (DIB) as handed out by the media engine's frame capture:
// a 40-byte BITMAPINFOHEADER (little-endian) followed directly by the pixels, rows bottom-up.
// Plain functions without shared state; safe on any thread.

inline constexpr int kDibHeaderSize = 40;

// Bytes of a packed 32-bit DIB of width x height pixels; 0 when either side is < 1 or the size
// does not fit in an int.
int PackedDibSize(int width, int height);

// Writes a packed 32-bit DIB (blue, green, red, 0 per pixel) of a frame given as top-down rows
// of 4-byte B,G,R,X pixels, `stride` bytes apart. Returns false, writing nothing, when the
// frame is empty or `outSize` is smaller than PackedDibSize(width, height).
bool PackDib(const unsigned char* topDownRows, int width, int height, std::size_t stride,
             unsigned char* out, int outSize);

// Writes the DIB's picture as a JPEG file, `facts` in its Exif block, through WriteJpeg when the
// DIB is one the writer takes: 24 or 32 bits per pixel and size exactly width * (bits / 8) * height
// + 40 (so 24-bit rows carry no padding). Returns the writer's result (1 written, 0 failed), or 0
// without writing anything for any other DIB.
int WriteDibAsJpeg(const unsigned char* dib, int size, const std::string& path,
                   const SnapshotFacts& facts = {});

} // namespace quello
