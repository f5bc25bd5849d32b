#pragma once

#include "Command.h"

namespace quello {

// `quello clip MOVIE --from S --to S -o OUT`: cuts a span of one recording into a new movie
// without re-encoding, with the span's telemetry beside it.
class ClipCommand : public Command {
public:
    const char* name() const override { return "clip"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
