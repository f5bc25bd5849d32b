#pragma once

#include "app/CPlayerDlg.h"

#include <QString>

#include <memory>

namespace quello::bench {

// The assembled window playing a fresh 1080p bench movie of `seconds` (with 300 s of
// telemetry) made in `folder`, shown, without sound, with its map page loaded (or 30 s
// waited for it). Null, with a message on stderr, when the movie cannot be made or does not
// play. GUI thread; the caller owns the window.
std::unique_ptr<CPlayerDlg> PlayBenchMovieInWindow(const QString& folder, int seconds);

} // namespace quello::bench
