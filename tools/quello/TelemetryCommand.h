#pragma once

#include "Command.h"

namespace quello {

// `quello telemetry MOVIE|DAT [--gps FILE] [--offset SECONDS] [--format json|csv|gpx]`: the
// G-sensor samples and GPS fixes of a movie from the source the player would load them from
// (LoadMovieTelemetry(), with the folder's GPS settings), or of one telemetry file, parsed
// exactly as the player loads it.
class TelemetryCommand : public Command {
public:
    const char* name() const override { return "telemetry"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
