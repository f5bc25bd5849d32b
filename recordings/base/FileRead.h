#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace quello {

// Reads from a descriptor the caller owns, resumed after a signal interrupts them. Plain
// functions, reentrant; none of them closes the descriptor.

// The next bytes, at most size: their count, 0 at the end of the file, -1 on an error.
ssize_t ReadSome(int fd, void* data, std::size_t size);

// All size bytes from the current position, resuming after short reads. False on an error or
// an end of file before size bytes.
bool ReadFully(int fd, void* data, std::size_t size);

// All size bytes at offset, leaving the descriptor's position alone; false as ReadFully().
bool ReadFullyAt(int fd, std::uint64_t offset, void* data, std::size_t size);

} // namespace quello
