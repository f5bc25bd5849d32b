#pragma once

#include "HelperCommand.h"

namespace quello {

// `quello snapshot MOVIE --at SECONDS [--camera NAME|all] -o OUT.jpg`: opens the movie (or
// another camera's file of its moment, or each of them) with the media engine (no window),
// seeks exactly to SECONDS and saves the frame on screen as a JPEG file. The work is done by
// the helper program `quello-snapshot`.
class SnapshotCommand : public HelperCommand {
public:
    const char* name() const override { return "snapshot"; }
    const char* summary() const override;
    std::string help() const override;
};

} // namespace quello
