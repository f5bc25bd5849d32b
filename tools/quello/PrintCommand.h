#pragma once

#include "HelperCommand.h"

namespace quello {

// `quello print MOVIE --at SECONDS -o OUT.pdf`: prints the page the player's print command
// makes for that moment (frame, telemetry of that second, waveform strip) into a one-page A4
// PDF at 300 dpi. The work is done by the helper program `quello-print`.
class PrintCommand : public HelperCommand {
public:
    const char* name() const override { return "print"; }
    const char* summary() const override;
    std::string help() const override;
};

} // namespace quello
