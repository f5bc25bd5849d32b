#pragma once

#include "recordings/TelemetrySet.h"

#include <nlohmann/json.hpp>

namespace quello {

// The command line's JSON rendering of a loaded TelemetrySet (the CSV and GPX writers are
// part of outputs_core; this one stays here, where nlohmann_json is linked). Pure function.
//
// {"loaded", "sampleCount", "fixCount", "samples": [[x,y,z],...], "fixes": [{...},...]} with
// exactly sampleCount samples and fixCount fixes, empty slots included.
nlohmann::ordered_json TelemetryJson(const TelemetrySet& set, bool loaded);

} // namespace quello
