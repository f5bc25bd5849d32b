#include "playback/EngineTrace.h"

#include <cstdio>
#include <cstring>

namespace quello {

Q_LOGGING_CATEGORY(lcEngine, "quello.engine", QtInfoMsg)

void TraceFailure(const char* format, int result) {
    if (!lcEngine().isDebugEnabled())
        return;
    char text[512];
    // The format is one of the engine's own literal texts with a single integer conversion;
    // %08lx needs a long, %x an unsigned int.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (std::strstr(format, "%08lx"))
        std::snprintf(text, sizeof text, format, static_cast<unsigned long>(unsigned(result)));
    else
        std::snprintf(text, sizeof text, format, unsigned(result));
#pragma GCC diagnostic pop
    qCDebug(lcEngine).noquote() << text;
}

} // namespace quello
