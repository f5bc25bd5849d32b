#pragma once

#include <cstddef>

namespace quello {

// All size bytes to a descriptor the caller owns, at its current position, resumed after a
// signal interrupts the write and after short writes. False on an error, errno set (ENOSPC when
// the system wrote nothing without saying why). Plain function, reentrant; never closes the
// descriptor.
bool WriteFully(int fd, const void* data, std::size_t size);

} // namespace quello
