#pragma once

#include "Command.h"

namespace quello {

// `quello events DAT [--threshold G]`: the G-force events of one telemetry file as JSON.
class EventsCommand : public Command {
public:
    const char* name() const override { return "events"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
