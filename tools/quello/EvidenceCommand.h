#pragma once

#include "HelperCommand.h"

namespace quello {

// `quello evidence MOVIE --at SECONDS -o DIR`: writes the evidence pack of that moment (see
// outputs/EvidencePack.h) into DIR, a new or empty folder. The work is done by the helper
// program `quello-evidence`.
class EvidenceCommand : public HelperCommand {
public:
    const char* name() const override { return "evidence"; }
    const char* summary() const override;
    std::string help() const override;
};

} // namespace quello
