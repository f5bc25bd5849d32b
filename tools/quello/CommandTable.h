#pragma once

#include "Command.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace quello {

// The commands of the `quello` program and the dispatch from a command line to one of them.
// Adding a command: one class (Command subclass) and one row in CommandTable.cpp.
class CommandTable {
public:
    CommandTable();

    // Runs `quello <args...>` (args without the program name); returns the exit code.
    int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) const;

private:
    Command* find(const std::string& name) const;
    std::string overview() const;

    std::vector<std::unique_ptr<Command>> m_commands;
};

} // namespace quello
