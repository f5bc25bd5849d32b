#pragma once

#include "imaging/SnapshotFacts.h"

#include <string>

namespace quello {

// Writes a bottom-up frame (the first row in memory is the bottom row of the picture) as a
// baseline JPEG file at quality 80 with an Exif block (BuildExifBlock: the program, the
// picture's size, and what `facts` know of the moment) in an APP1 segment right after SOI, as a
// camera's file has it; a JFIF APP0 segment, which would claim that place too, is left out.
// The image data are exactly libjpeg's for those settings, whatever the facts. bitsPerPixel 32:
// blue, green, red and an ignored byte per pixel, rows exactly width * 4 bytes apart. bitsPerPixel
// 24: blue, green, red per pixel, rows padded to a multiple of 4 bytes (the DIB layout).
//
// The caller keeps ownership of pixels; they are only read. The file is replaced atomically:
// an existing file at path is overwritten, and on any failure (bad arguments, a width or height
// outside 1..65500, an unwritable folder, a libjpeg error such as a full disk) nothing is left
// behind and 0 is returned (also when memory for the Exif block runs out). Returns 1 when the
// file was written.
//
// Reentrant: calls on different threads share no state.
int WriteJpeg(const unsigned char* pixels, int width, int height, const std::string& path,
              int bitsPerPixel = 32, const SnapshotFacts& facts = {});

} // namespace quello
