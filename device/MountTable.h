#pragma once

#include "DeviceDrive.h"

#include <string>
#include <string_view>
#include <vector>

namespace quello {

// Turns the text of a mount table in /proc/self/mounts form into drive roots, in table order.
// `sysfsRoot` is where the kernel's sysfs is mounted ("/sys"); the backing block device of
// each mount is looked up there to tell a removable card from a fixed disk. Malformed lines
// are skipped. Plain function: reads sysfs only.
std::vector<DriveRoot> ParseMountTable(std::string_view mountsText, const std::string& sysfsRoot);

} // namespace quello
