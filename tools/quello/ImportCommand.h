#pragma once

#include "Command.h"

namespace quello {

// `quello import SOURCE... --to LIBRARY`: copies cards or folders of recordings into a library,
// each file checked by SHA-256, with a live progress line in a terminal.
class ImportCommand : public Command {
public:
    const char* name() const override { return "import"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
