#pragma once

#include "Command.h"

namespace quello {

// `quello card [ROOT...]`: finds the camera's card (by its setup.cfg) among the given folders
// or the removable mounts and prints its settings record as JSON.
class CardCommand : public Command {
public:
    const char* name() const override { return "card"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
