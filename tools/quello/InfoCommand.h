#pragma once

#include "Command.h"

namespace quello {

// `quello info MOVIE...`: start time, length, read-only flag and telemetry file of each movie,
// as one JSON array.
class InfoCommand : public Command {
public:
    const char* name() const override { return "info"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
