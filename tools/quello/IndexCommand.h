#pragma once

#include "Command.h"

namespace quello {

// `quello index LIBRARY`: rebuilds the library's index from its files.
class IndexCommand : public Command {
public:
    const char* name() const override { return "index"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
