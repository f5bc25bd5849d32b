// The telemetry exporters on whatever the parser makes of arbitrary bytes: the JSON must parse
// back, every CSV row must have the header's column count, the GPX must be well-formed XML.

#include "FuzzSupport.h"

#include "outputs/TelemetryCsvWriter.h"
#include "outputs/TelemetryGpxWriter.h"
#include "recordings/TelemetryParser.h"
#include "tools/quello/TelemetryJson.h"

#include <libxml/parser.h>
#include <nlohmann/json.hpp>

#include <sstream>

using namespace quello;

namespace {

// Cells per RFC 4180 row: separators inside quotes do not count, a doubled quote is one quote.
// Rows end in LF (optionally after CR) outside quotes.
std::vector<std::size_t> CsvColumnCounts(const std::string& text) {
    std::vector<std::size_t> counts;
    std::size_t cells = 1;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                ++i;
            else if (c == '"')
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            ++cells;
        } else if (c == '\n') {
            counts.push_back(cells);
            cells = 1;
        }
    }
    if (quoted)
        fuzz::Fail("CSV ends inside a quoted cell");
    if (!text.empty() && text.back() != '\n')
        fuzz::Fail("CSV does not end with a line end");
    return counts;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteScratchFile("FILE0001.DAT", data, size);
    static TelemetrySet set;
    if (!ParseTelemetryFile(path, set))
        fuzz::Fail("a readable regular file was refused");

    // As the command line prints it: bytes that are not UTF-8 replaced.
    const std::string json = TelemetryJson(set, true).dump(
        -1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    const auto parsed = nlohmann::json::parse(json, nullptr, false);
    if (parsed.is_discarded())
        fuzz::Fail("JSON does not parse back:\n" + json);
    if (parsed.at("samples").size() != std::size_t(set.sampleCount) ||
        parsed.at("fixes").size() != std::size_t(set.fixCount))
        fuzz::Fail("JSON counts differ from the set's");

    std::ostringstream csv;
    WriteTelemetryCsv(csv, set);
    const std::vector<std::size_t> counts = CsvColumnCounts(csv.str());
    if (counts.empty())
        fuzz::Fail("CSV without a header row");
    for (std::size_t row = 1; row < counts.size(); ++row) {
        if (counts[row] != counts[0])
            fuzz::Fail("CSV row " + std::to_string(row) + " has " + std::to_string(counts[row]) +
                       " cells, the header " + std::to_string(counts[0]) + ":\n" + csv.str());
    }

    std::ostringstream gpx;
    WriteTelemetryGpx(gpx, set, "FILE0001 <&>\"'");
    fuzz::CheckWellFormedXml(gpx.str(), "gpx");
    return 0;
}
