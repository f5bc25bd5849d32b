#pragma once

#include <nlohmann/json.hpp>

#include <iosfwd>

namespace quello {

// Writes one JSON document and a newline. Texts taken from files (paths, telemetry tokens)
// need not be valid UTF-8: invalid bytes are written as U+FFFD instead of failing the
// command. `indent` < 0 writes the document on one line.
void WriteJson(std::ostream& out, const nlohmann::ordered_json& document, int indent = 2);

} // namespace quello
