#pragma once

#include <QLoggingCategory>

namespace quello {

// The media engine's trace hook: a logging category named "quello.engine" whose messages are
// off by default (enable with QT_LOGGING_RULES="quello.engine.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcEngine)

// Hands one failure text to the trace hook. `format` is printf-style with one %x (or %08lx)
// taking the result code, e.g. "FAILED(hr=0x%x) in mpv_initialize(mpv)\n".
// GUI thread or any thread: the logging category is thread-safe.
void TraceFailure(const char* format, int result);

} // namespace quello
