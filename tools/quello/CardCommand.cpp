#include "CardCommand.h"

#include "CommandLine.h"
#include "JsonOutput.h"

#include "device/DeviceDrive.h"
#include "device/ResolutionCodeTable.h"

#include <ostream>

namespace quello {

const char* CardCommand::summary() const {
    return "find the camera's card and show its settings record (JSON)";
}

std::string CardCommand::help() const {
    return "usage: quello card [ROOT...]\n\n"
           "Looks for the camera's settings file setup.cfg in each ROOT folder in order (the\n"
           "last valid one wins), or, without ROOT, on the removable drives. Prints\n"
           "  {\"root\", \"record\": <256 hex digits>, \"resolutionIndex\": n|null,\n"
           "   \"timeZone\", \"sensitivity\": [x,y,z], \"updateFlag\": 0|1}\n"
           "or exits with 1 and \"Can't find device!\".\n";
}

int CardCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line(args, {});
    if (!line.ok()) {
        err << "quello card: " << line.error() << "\n";
        return kExitUsage;
    }
    std::string root;
    SetupRecord record;
    bool found = false;
    if (line.positional().empty()) {
        found = FindDeviceDrive(root, record);
    } else {
        std::vector<DriveRoot> drives;
        for (const auto& folder : line.positional())
            drives.push_back(DriveRoot{folder, true, false});
        found = FindDeviceDrive(drives, root, record);
    }
    if (!found) {
        err << "Can't find device!\n";
        return kExitFailed;
    }
    nlohmann::ordered_json doc;
    doc["root"] = root;
    doc["record"] = record.hex();
    const int index = ResolutionIndexForCode(record.resolutionCode());
    doc["resolutionIndex"] =
        index >= 0 ? nlohmann::ordered_json(index) : nlohmann::ordered_json(nullptr);
    doc["timeZone"] = record.timeZone();
    doc["sensitivity"] = {record.sensitivity(0), record.sensitivity(1), record.sensitivity(2)};
    doc["updateFlag"] = record.updateFlag() ? 1 : 0;
    WriteJson(out, doc);
    return kExitOk;
}

} // namespace quello
