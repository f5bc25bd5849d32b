#pragma once

#include "Command.h"

namespace quello {

// `quello snapshot MOVIE --at SECONDS -o OUT.jpg`: opens the movie with the media engine (no
// window), seeks exactly to SECONDS and saves the frame on screen as a JPEG file. The work is
// done by the helper program `quello-snapshot` beside this one (run with the same arguments,
// its exit code is the command's), so that `quello` itself never loads Qt or libmpv.
class SnapshotCommand : public Command {
public:
    const char* name() const override { return "snapshot"; }
    const char* summary() const override;
    std::string help() const override;
    int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
