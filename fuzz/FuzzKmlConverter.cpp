// The GPS-log to KML converter on arbitrary bytes stored as a log; the input's first line, up
// to 64 bytes, is also the description. The document must be well-formed XML.

#include "FuzzSupport.h"

#include "outputs/KmlConverter.h"

#include <libxml/parser.h>

#include <filesystem>

using namespace quello;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string logPath = fuzz::WriteScratchFile("20260516.log", data, size);
    const std::string outputDir = fuzz::ScratchDir() + "kml";
    std::filesystem::create_directory(outputDir);
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string description = input.substr(0, std::min(input.find('\n'), std::size_t(64)));

    std::string kmlPath;
    const int result = ConvertLogToKml(logPath, description, outputDir, kmlPath);
    if (result != 0)
        fuzz::Fail("conversion failed with " + std::to_string(result));
    if (kmlPath != outputDir + "/20260516.kml")
        fuzz::Fail("document written to " + kmlPath);
    for (const auto& entry : std::filesystem::directory_iterator(outputDir)) {
        if (entry.path() != kmlPath)
            fuzz::Fail("stray file left in the output folder: " + entry.path().string());
    }

    const std::string document = fuzz::ReadWholeFile(kmlPath);
    if (document.rfind("\xEF\xBB\xBF", 0) == 0)
        fuzz::Fail("document starts with a byte-order mark");
    for (std::size_t at = document.find('\n'); at != std::string::npos;
         at = document.find('\n', at + 1)) {
        if (at == 0 || document[at - 1] != '\r')
            fuzz::Fail("a line does not end in CR LF at byte " + std::to_string(at));
    }
    fuzz::CheckWellFormedXml(document, "kml");
    return 0;
}
