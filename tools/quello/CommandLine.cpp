#include "CommandLine.h"

#include <ostream>

#include <charconv>

namespace quello {

CommandLine::CommandLine(const std::vector<std::string>& args, const std::set<std::string>& known) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            m_positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg.compare(0, 2, "--") != 0) {
            m_error = "unknown option '" + arg + "'";
            return;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
        if (!known.count(name)) {
            m_error = "unknown option '--" + name + "'";
            return;
        }
        if (eq != std::string::npos) {
            m_options[name] = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            m_options[name] = args[++i];
        } else {
            m_error = "option '--" + name + "' needs a value";
            return;
        }
    }
}

std::optional<std::string> CommandLine::option(const std::string& name) const {
    const auto it = m_options.find(name);
    if (it == m_options.end())
        return std::nullopt;
    return it->second;
}

std::optional<int> ParseInt(const std::string& text, int min, int max) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (begin == end || ec != std::errc() || ptr != end || value < min || value > max)
        return std::nullopt;
    return value;
}

bool OneFolderArgument(const char* command, const std::vector<std::string>& args,
                       std::string& folder, std::ostream& err) {
    const CommandLine line(args, {});
    if (!line.ok() || line.positional().size() != 1) {
        err << "quello " << command << ": "
            << (line.ok() ? "give exactly one library folder" : line.error()) << " (usage: quello "
            << command << " LIBRARY)\n";
        return false;
    }
    folder = line.positional().front();
    return true;
}

} // namespace quello
