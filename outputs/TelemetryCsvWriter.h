#pragma once

#include "recordings/TelemetrySet.h"

#include <iosfwd>

namespace quello {

// One CSV row per second of video after a header row: second, the fix fields of that second,
// then x,y,z of its ten samples. Cells the file did not fill stay empty; a cell holding a
// separator, a quote or a line break is quoted (RFC 4180). Texts are written as the file held
// them, byte for byte. Rows end in LF.
//
// Pure function of its inputs; writes to out only, whose errors the caller checks.
void WriteTelemetryCsv(std::ostream& out, const TelemetrySet& set);

} // namespace quello
