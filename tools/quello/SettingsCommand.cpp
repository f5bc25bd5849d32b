#include "SettingsCommand.h"

#include "CommandLine.h"

#include "device/DeviceDrive.h"
#include "device/ResolutionCodeTable.h"
#include "device/SettingsSaveRule.h"

#include <ostream>
#include <sstream>

namespace quello {

namespace {

constexpr int kMaxTimeZone = 12;
constexpr int kMaxSensitivity = 10;

// "X,Y,Z": three whole numbers 0..10.
bool ParseSensitivity(const std::string& text, int (&values)[3]) {
    std::stringstream in(text);
    std::string part;
    int count = 0;
    while (std::getline(in, part, ',')) {
        if (count == 3)
            return false;
        const auto value = ParseInt(part, 0, kMaxSensitivity);
        if (!value)
            return false;
        values[count++] = *value;
    }
    return count == 3 && text.back() != ',';
}

} // namespace

const char* SettingsCommand::summary() const {
    return "save resolution, time zone and G-sensor sensitivity to the card";
}

std::string SettingsCommand::help() const {
    std::string text = "usage: quello settings ROOT [--resolution INDEX] [--timezone HOURS]\n"
                       "                        [--sensitivity X,Y,Z]\n\n"
                       "Saves settings to ROOT/setup.cfg as the settings dialog's Save does;\n"
                       "options not given keep the stored values. An unchanged record is not\n"
                       "written. Prints \"Success!\", or exits with 1 and \"Save data failed!\"\n"
                       "(\"Can't find device!\" when ROOT holds no valid setup.cfg).\n\n"
                       "  --resolution INDEX   one of\n";
    for (std::size_t i = 0; i < ResolutionCodeTable.size(); ++i)
        text += "                         " + std::to_string(i) + "  " +
                ResolutionCodeTable[i].text + "\n";
    text += "  --timezone HOURS     -12 .. 12\n"
            "  --sensitivity X,Y,Z  each 0 .. 10\n";
    return text;
}

int SettingsCommand::Run(const std::vector<std::string>& args, std::ostream& out,
                         std::ostream& err) {
    const CommandLine line(args, {"resolution", "timezone", "sensitivity"});
    if (!line.ok()) {
        err << "quello settings: " << line.error() << "\n";
        return kExitUsage;
    }
    if (line.positional().size() != 1) {
        err << "quello settings: give exactly one card folder (usage: quello settings ROOT "
               "[--resolution INDEX] [--timezone HOURS] [--sensitivity X,Y,Z])\n";
        return kExitUsage;
    }

    // Every option is checked before the card is touched.
    std::optional<int> resolution, timeZone;
    int sensitivity[3] = {};
    if (const auto text = line.option("resolution")) {
        resolution = ParseInt(*text, 0, int(ResolutionCodeTable.size()) - 1);
        if (!resolution) {
            err << "quello settings: --resolution must be 0.." << ResolutionCodeTable.size() - 1
                << ", not '" << *text << "'\n";
            return kExitUsage;
        }
    }
    if (const auto text = line.option("timezone")) {
        timeZone = ParseInt(*text, -kMaxTimeZone, kMaxTimeZone);
        if (!timeZone) {
            err << "quello settings: --timezone must be -12..12, not '" << *text << "'\n";
            return kExitUsage;
        }
    }
    const auto sensitivityText = line.option("sensitivity");
    if (sensitivityText && !ParseSensitivity(*sensitivityText, sensitivity)) {
        err << "quello settings: --sensitivity must be X,Y,Z with each 0..10, not '"
            << *sensitivityText << "'\n";
        return kExitUsage;
    }

    std::string root;
    SetupRecord stored;
    if (!FindDeviceDrive({DriveRoot{line.positional().front(), true, false}}, root, stored)) {
        err << "Can't find device!\n";
        return kExitFailed;
    }
    SettingsChoice choice = ChoiceFromRecord(stored);
    if (resolution)
        choice.resolutionIndex = *resolution;
    if (timeZone)
        choice.timeZoneIndex = *timeZone + kMaxTimeZone;
    if (sensitivityText) {
        for (int axis = 0; axis < 3; ++axis)
            choice.sensitivity[axis] = sensitivity[axis];
    } else {
        choice.keepSensitivity = true;
    }
    const SaveDecision decision = ApplySaveRule(stored, choice);
    if (decision.write && !WriteSetupRecord(root, decision.record)) {
        err << "Save data failed!\n";
        return kExitFailed;
    }
    out << "Success!\n";
    return kExitOk;
}

} // namespace quello
