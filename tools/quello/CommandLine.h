#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quello {

// The words after a command name, split into options ("--name VALUE" or "--name=VALUE") and
// positional arguments. Every option takes a value; "--" ends the options. A plain value type,
// used on one thread.
class CommandLine {
public:
    // Parses `args` accepting only the options named in `known` (without the dashes).
    // On a wrong command line `ok()` is false and `error()` says why in one line.
    CommandLine(const std::vector<std::string>& args, const std::set<std::string>& known);

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }

    const std::vector<std::string>& positional() const { return m_positional; }
    // The value of option `name`, when given (the last one wins).
    std::optional<std::string> option(const std::string& name) const;

private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
    std::string m_error;
};

// The one folder a command takes and nothing else ("quello index LIBRARY"): false, with a
// one-line message on `err`, for anything else.
bool OneFolderArgument(const char* command, const std::vector<std::string>& args,
                       std::string& folder, std::ostream& err);

// Parses a whole decimal integer (optional sign, digits, nothing else) within [min, max].
std::optional<int> ParseInt(const std::string& text, int min, int max);

} // namespace quello
