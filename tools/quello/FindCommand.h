#pragma once

#include "Command.h"

namespace quello {

// `quello find LIBRARY [--near LAT,LON [--radius METRES]] [--from DATETIME] [--to DATETIME]
// [--events [KIND]] [--protected]`: the recordings of an imported library that match every
// condition given, from its index, as JSON. Reads the index only (it never creates one).
class FindCommand : public Command {
public:
    const char* name() const override { return "find"; }
    const char* summary() const override;
    std::string help() const override;
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) override;
};

} // namespace quello
