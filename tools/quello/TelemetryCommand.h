#pragma once

#include "Command.h"

namespace quello {

// `quello telemetry DAT [--format json|csv|gpx]`: the G-sensor samples and GPS fixes of one
// telemetry file, parsed exactly as the player loads them.
class TelemetryCommand : public Command {
public:
    const char* name() const override { return "telemetry"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
