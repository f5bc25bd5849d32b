#pragma once

#include "imaging/SnapshotFacts.h"

#include <vector>

namespace quello {

// The payload of a JPEG's APP1 Exif segment ("Exif\0\0" and the TIFF structure, built by
// libexif) for a width x height picture: Software "Quello Player <version>", the orientation,
// resolution and pixel dimensions a camera writes, and from `facts` the original date and time
// (with its sub-seconds) when the clock is known and the GPS position, speed (km/h) and image
// direction (true north) when a fix is. Latitude and longitude are stored as degrees, minutes
// and seconds in ten-thousandths, so six decimals of a degree come back unchanged. A fix or
// clock whose values are out of range is left out rather than written wrong.
//
// Returns an empty vector only when memory ran out. Plain function: safe on any thread.
std::vector<unsigned char> BuildExifBlock(const SnapshotFacts& facts, int width, int height);

} // namespace quello
