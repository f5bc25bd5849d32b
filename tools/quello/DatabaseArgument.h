#pragma once

#include "CommandLine.h"

#include "library/DatabaseUrl.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quello {

// The server of a library's index when `--db URL` is given (nullopt when not): false, with a
// one-line message on `err`, for a URL that cannot be used.
bool DatabaseArgument(const char* command, const CommandLine& line,
                      std::optional<DatabaseUrl>& database, std::ostream& err);

// The one library folder a command takes, and its --db URL ("quello index LIBRARY [--db URL]"):
// false, with a one-line message on `err`, for anything else.
bool LibraryArguments(const char* command, const std::vector<std::string>& args,
                      std::string& folder, std::optional<DatabaseUrl>& database, std::ostream& err);

} // namespace quello
