#include "outputs/TelemetryCsvWriter.h"
#include "outputs/TelemetryGpxWriter.h"
#include "recordings/TelemetryParser.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace quello {
namespace {

using test::RunProgram;
using test::TempDir;

const std::string kGoldenDir = std::string(QUELLO_OUTPUTS_TEST_DATA_DIR) + "/golden";

struct Written {
    std::string csv, gpx;
};

Written Write(const TelemetrySet& set, const std::string& trackName) {
    std::ostringstream csv, gpx;
    WriteTelemetryCsv(csv, set);
    WriteTelemetryGpx(gpx, set, trackName);
    return {csv.str(), gpx.str()};
}

// Every telemetry file of golden/ as the parser reads it, against the CSV and GPX documents
// committed beside it, byte for byte; a second writing gives the same bytes, and each GPX
// document is valid against the GPX 1.1 schema.
TEST(TelemetryWriters, GoldenDocumentsWrittenTwiceIdentically) {
    struct Case {
        const char* input; // golden/<input>.DAT, .csv and .gpx
        std::string trackName;
    };
    const std::vector<Case> cases = {
        // A fix after every ten samples; one time holds a comma: quoted in the CSV, no GPX time.
        {"drive-full", "drive-full"},
        // CR LF line ends; no fix for the first two seconds, coordinates that are no number or
        // out of range, a month 13, an empty fix, fixes beyond the samples.
        {"drive-gaps", "drive-gaps"},
        // UTF-8 and single-byte letters, quotes and XML specials in the fields; a track name
        // with XML specials and bytes that are no UTF-8 (then read as Latin-1).
        {"drive-text", "drive <&>\"' \xC3\xA9 \xF5\x80\x80"},
        // No line at all: the header row only, an empty track.
        {"drive-empty", "drive-empty"},
    };
    const TempDir dir;
    auto set = std::make_unique<TelemetrySet>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string golden = kGoldenDir + "/" + c.input;
        ASSERT_TRUE(ParseTelemetryFile(golden + ".DAT", *set));
        const Written first = Write(*set, c.trackName);
        EXPECT_EQ(first.csv, TempDir::read(golden + ".csv"));
        EXPECT_EQ(first.gpx, TempDir::read(golden + ".gpx"));
        const Written second = Write(*set, c.trackName);
        EXPECT_EQ(second.csv, first.csv);
        EXPECT_EQ(second.gpx, first.gpx);

        const std::string gpxPath = dir.write(std::string(c.input) + ".gpx", first.gpx);
        const auto valid = RunProgram({"xmllint", "--noout", "--schema", QUELLO_GPX_XSD, gpxPath});
        EXPECT_EQ(valid.exitCode, 0) << valid.err;
    }
}

} // namespace
} // namespace quello
