#pragma once

#include <cstddef>
#include <string>

namespace quello {

// Reads a whole regular file into `content` (replaced). False, with `content` empty, when the
// path is no regular file, can't be read, or holds more than maxBytes: a side file that large
// is not what the caller looks for, and is not held in memory. Plain function, reentrant.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& content);

} // namespace quello
