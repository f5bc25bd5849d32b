#pragma once

#include <string>
#include <sys/stat.h>

namespace quello {

// Opens path read-only when it is a regular file. The open does not block, so a FIFO planted
// under the name cannot hang the caller; a folder, FIFO or device is refused after the open,
// on the descriptor itself, so a file swapped in after an earlier check is judged as it is.
// Returns the descriptor, which the caller owns and closes, or -1. When status is given it
// receives the file's status. Plain function, reentrant.
int OpenRegular(const std::string& path, struct stat* status = nullptr);

} // namespace quello
