#pragma once

#include "Command.h"

namespace quello {

// `quello settings ROOT [--resolution INDEX] [--timezone HOURS] [--sensitivity X,Y,Z]`: saves
// settings to the card's setup.cfg by the settings dialog's Save rule.
class SettingsCommand : public Command {
public:
    const char* name() const override { return "settings"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
