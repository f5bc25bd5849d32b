#pragma once

#include <string>

namespace quello {

// Converts one camera GPS log (one position per line: tab-separated fields, the second a
// latitude such as N22.543210, the third a longitude such as E114.057800) into a KML document
// <outputDir>/<log name without its last extension>.kml holding one placemark with the track
// as a line string. The document is UTF-8 without a byte-order mark, lines end in CR LF, and
// every text taken from the inputs is XML-escaped; log bytes that are not valid UTF-8 are read
// as Latin-1. A line whose latitude or longitude field is longer than 31 characters holds no
// coordinate and is skipped; names and paths are never shortened. The file is replaced atomically:
// on any failure no new or partial file is left and an existing file keeps its old content.
//
// Paths are UTF-8 with '/' separators. Returns
//    0  success; kmlPath holds the path of the document written,
//   -1  the log does not exist,
//   -2  the log cannot be opened or read (also: a directory or another non-regular file),
//   -3  the log path holds no '/',
//   -4  the KML file cannot be created or written (also: empty output folder).
// On failure kmlPath is cleared. A log without any usable line (no GPS reception) still gives
// a well-formed document, its placemark without LookAt and without line string, and 0.
//
// Stateless and reentrant: calls on different threads do not share anything.
int ConvertLogToKml(const std::string& logPath, const std::string& description,
                    const std::string& outputDir, std::string& kmlPath);

} // namespace quello
