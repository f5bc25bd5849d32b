#pragma once

#include "Command.h"

namespace quello {

// `quello kml --output DIR LOG...`: converts GPS logs to KML tracks as the converter dialog
// does, one status line per log.
class KmlCommand : public Command {
public:
    const char* name() const override { return "kml"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
