#include "ClipMedia.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cstdio>
#include <cstring>
#include <ctime>
#include <strings.h>

namespace quello {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string CreationTimeText(std::int64_t microseconds) {
    const std::time_t seconds = std::time_t(microseconds / 1000000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%06dZ", int(microseconds % 1000000));
    return text;
}

bool EndsWithNoCase(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return text.size() > n && ::strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

} // namespace quello
