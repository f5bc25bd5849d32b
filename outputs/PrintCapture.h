#pragma once

#include "outputs/PrintPage.h"

#include <QString>

#include <optional>

namespace quello {

class CMediaGraph;
class CMyWaveForm;
struct TelemetrySet;

// The fix texts of the printed second, in the order the map takes them.
struct PrintedFix {
    QString latitude;
    QString longitude;
    QString speed;
};

// Reads the moment on screen the way the print command documents it, in this order: the G
// values under the waveform's cursor as the last sync tick left it; the cursor moved to the
// engine's position (tenths of a second, truncated), where it stays; the fix of the position's
// own second when both its coordinate texts are longer than 6 characters (then also written
// to `fix`, for the map marker); the frame on screen; the strip as the waveform draws it. The
// print time is the current local time.
//
// The engine and waveform are not owned; GUI thread only.
PrintPageContent CapturePrintContent(CMediaGraph& engine, CMyWaveForm& waveform,
                                     const TelemetrySet& telemetry, std::optional<PrintedFix>& fix);

} // namespace quello
