#include "CommandTable.h"

#include "CardCommand.h"
#include "ClipCommand.h"
#include "EventsCommand.h"
#include "EvidenceCommand.h"
#include "FindCommand.h"
#include "ImportCommand.h"
#include "IndexCommand.h"
#include "InfoCommand.h"
#include "KmlCommand.h"
#include "PrintCommand.h"
#include "SettingsCommand.h"
#include "SnapshotCommand.h"
#include "TelemetryCommand.h"
#include "VerifyCommand.h"

#include "quello/Version.h"

#include <algorithm>
#include <ostream>

namespace quello {

namespace {

template <typename T> std::unique_ptr<Command> Make() {
    return std::make_unique<T>();
}

// The dispatch table, in the order `quello --help` lists the commands.
constexpr std::unique_ptr<Command> (*kFactories[])() = {
    Make<InfoCommand>,     Make<TelemetryCommand>, Make<KmlCommand>,   Make<CardCommand>,
    Make<SettingsCommand>, Make<SnapshotCommand>,  Make<PrintCommand>, Make<EventsCommand>,
    Make<EvidenceCommand>, Make<ImportCommand>,    Make<IndexCommand>, Make<VerifyCommand>,
    Make<FindCommand>,     Make<ClipCommand>,
};

} // namespace

CommandTable::CommandTable() {
    for (auto make : kFactories)
        m_commands.push_back(make());
}

Command* CommandTable::find(const std::string& name) const {
    for (const auto& command : m_commands) {
        if (name == command->name())
            return command.get();
    }
    return nullptr;
}

std::string CommandTable::overview() const {
    std::string text = "usage: quello COMMAND [ARGS...]\n\n"
                       "Reads and writes the files of a dash-camera card.\n\nCommands:\n";
    for (const auto& command : m_commands) {
        std::string name = command->name();
        name.resize(std::max<std::size_t>(name.size(), 11), ' ');
        text += "  " + name + command->summary() + "\n";
    }
    text += "\nRun 'quello COMMAND --help' for the arguments of one command, 'quello --version' "
            "for the version.\n";
    return text;
}

int CommandTable::Run(const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err) const {
    if (args.empty()) {
        err << overview();
        return kExitUsage;
    }
    const std::string& word = args.front();
    if (word == "--version") {
        out << "quello " << kVersion << "\n";
        return kExitOk;
    }
    if (word == "--help" || word == "-h" || word == "help") {
        if (args.size() > 1) {
            if (Command* command = find(args[1])) {
                out << command->help();
                return kExitOk;
            }
        }
        out << overview();
        return kExitOk;
    }
    Command* command = find(word);
    if (!command) {
        err << "quello: unknown command '" << word << "' (try 'quello --help')\n";
        return kExitUsage;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const auto& arg : rest) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            out << command->help();
            return kExitOk;
        }
    }
    return command->Run(rest, out, err);
}

} // namespace quello
