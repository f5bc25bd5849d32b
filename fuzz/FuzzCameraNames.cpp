// What a car's drive or a camera card names and writes beside its clips, on arbitrary bytes. The
// first byte picks the layer: even, a file name for ParseCameraName; odd, an event.json for
// ReadTeslaEvent (written to a scratch folder, as the drive holds it).

#include "FuzzSupport.h"

#include "cameras/CameraName.h"
#include "cameras/TeslaCamTree.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace quello;

namespace {

void CheckName(const std::string& name) {
    const auto parsed = ParseCameraName(name);
    if (!parsed)
        return;
    if (parsed->camera.empty() || parsed->label.empty() || parsed->key.empty())
        fuzz::Fail("a camera without its name, label or moment");
    // The moment is the name without its camera tag and extension: never longer than the name.
    if (parsed->key.size() >= name.size())
        fuzz::Fail("a moment longer than its file name");
}

void CheckEvent(const std::string& json) {
    static const std::filesystem::path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        auto path = std::filesystem::path(tmp ? tmp : "/tmp") /
                    ("fuzz-event-" + std::to_string(::getpid())) / "2024-05-01_10-00-00";
        std::filesystem::create_directories(path);
        return path;
    }();
    if (std::FILE* file = std::fopen((folder / "event.json").c_str(), "wb")) {
        std::fwrite(json.data(), 1, json.size(), file);
        std::fclose(file);
    }
    const TeslaEvent event = ReadTeslaEvent(folder.string());
    if (event.hasPosition && (!std::isfinite(event.latitude) || !std::isfinite(event.longitude) ||
                              std::abs(event.latitude) > 90 || std::abs(event.longitude) > 180 ||
                              (event.latitude == 0 && event.longitude == 0)))
        fuzz::Fail("a position off the globe taken");
    if (event.problem.empty() == false && event.hasPosition)
        fuzz::Fail("a position taken from an event file that could not be read");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 0)
        CheckName(body);
    else
        CheckEvent(body);
    return 0;
}
