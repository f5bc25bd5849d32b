#pragma once

#include "DatabaseUrl.h"

#include <optional>
#include <string>

namespace quello {

// Where a library folder's index lives. A library on a server names it in its library.conf, so
// that every computer opening the shared folder uses the same server; a program may name one
// for a folder instead (the player's --db), for the rest of the process.
//
// Safe on any thread.

// The server of the folder's index: the one set for it in this process, else the one its
// library.conf names; nullopt with `error` empty for the folder's own library.sqlite, with
// `error` set when library.conf can't be used.
std::optional<DatabaseUrl> LibraryDatabase(const std::string& folder, std::string& error);

// Names the server of a folder's index for this process (nullopt: library.conf decides again).
void SetLibraryDatabase(const std::string& folder, std::optional<DatabaseUrl> database);

// Whether the folder holds a library: its library.sqlite, its library.conf, or a server set
// for it.
bool IsLibrary(const std::string& folder);

} // namespace quello
