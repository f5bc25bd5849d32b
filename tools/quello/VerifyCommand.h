#pragma once

#include "Command.h"

namespace quello {

// `quello verify LIBRARY`: re-hashes every stored file against its hash at import.
class VerifyCommand : public Command {
public:
    const char* name() const override { return "verify"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
