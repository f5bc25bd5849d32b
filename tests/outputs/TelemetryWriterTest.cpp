#include "outputs/TelemetryCsvWriter.h"
#include "outputs/TelemetryGpxWriter.h"
#include "recordings/TelemetryParser.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace quello {
namespace {

using test::TempDir;

// Every telemetry file of golden/ as the parser reads it, against the CSV and GPX documents
// committed beside it, byte for byte; a second writing gives the same bytes, and each GPX
// document is valid against the GPX 1.1 schema.
TEST(TelemetryWriters, GoldenDocumentsWrittenTwiceIdentically) {
    const struct {
        const char* input; // golden/<input>.DAT, .csv and .gpx
        const char* trackName;
    } cases[] = {
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
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const std::string golden = std::string(QUELLO_OUTPUTS_TEST_DATA_DIR "/golden/") + c.input;
        ASSERT_TRUE(ParseTelemetryFile(golden + ".DAT", *set));
        for (int run = 0; run < 2; ++run) {
            std::ostringstream csv, gpx;
            WriteTelemetryCsv(csv, *set);
            WriteTelemetryGpx(gpx, *set, c.trackName);
            EXPECT_EQ(csv.str(), TempDir::read(golden + ".csv")) << "run " << run;
            EXPECT_EQ(gpx.str(), TempDir::read(golden + ".gpx")) << "run " << run;
        }
        const auto valid =
            test::RunProgram({"xmllint", "--noout", "--schema", QUELLO_GPX_XSD, golden + ".gpx"});
        EXPECT_EQ(valid.exitCode, 0) << valid.err;
    }
    // Year 0 is no xsd:dateTime year, year 1 is: only the second fix gets a time.
    const TempDir dir;
    ASSERT_TRUE(ParseTelemetryFile(dir.write("y.DAT", "[G]\t0000/01/01\t00:00:00\tN1\tE1\t0\t0\n"
                                                      "[G]\t0001/01/01\t00:00:00\tN1\tE1\t0\t0\n"),
                                   *set));
    std::ostringstream gpx;
    WriteTelemetryGpx(gpx, *set, "y");
    EXPECT_EQ(gpx.str().find("<time>"), gpx.str().find("<time>0001-01-01T00:00:00"));
    EXPECT_NE(gpx.str().find("<time>0001-01-01T00:00:00"), std::string::npos);
    // gpsbabel reads back the same coordinates, with a time where the fix had a valid one.
    const auto back = test::RunProgram({"gpsbabel", "-t", "-i", "gpx", "-f",
                                        QUELLO_OUTPUTS_TEST_DATA_DIR "/golden/drive-full.gpx", "-o",
                                        "unicsv", "-F", "-"});
    EXPECT_EQ(back.out, "No,Latitude,Longitude,Date,Time\r\n"
                        "1,40.766955,-73.971129,2026/05/16,09:41:08\r\n"
                        "2,40.767012,-73.971003,2026/05/16,09:41:09\r\n"
                        "3,-33.856784,151.215297,,\r\n")
        << back.err;
}

} // namespace
} // namespace quello
