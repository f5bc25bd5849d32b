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

// Each telemetry file of golden/ as parsed, written as the CSV and GPX documents beside it, byte
// for byte, each GPX valid against the GPX 1.1 schema. drive-full: a fix every ten samples, a
// time holding a comma (quoted in the CSV, no GPX time). drive-gaps: CR LF, no fix for two
// seconds, coordinates no number or out of range, a month 13, an empty fix, fixes beyond the
// samples, the years 0 (no xsd:dateTime year: no GPX time) and 1. drive-text: UTF-8 and
// single-byte letters, quotes, XML specials, in the fields and in the track name (whose bytes
// that are no UTF-8 are read as Latin-1). drive-empty: no line at all.
TEST(TelemetryWriters, WriteTheGoldenDocuments) {
    auto set = std::make_unique<TelemetrySet>();
    for (const std::string input : {"drive-full", "drive-gaps", "drive-text", "drive-empty"}) {
        SCOPED_TRACE(input);
        const std::string golden = QUELLO_OUTPUTS_TEST_DATA_DIR "/golden/" + input;
        ASSERT_TRUE(ParseTelemetryFile(golden + ".DAT", *set));
        const std::string track =
            input == "drive-text" ? "drive <&>\"' \xC3\xA9 \xF5\x80\x80" : input;
        std::ostringstream csv, gpx;
        WriteTelemetryCsv(csv, *set);
        WriteTelemetryGpx(gpx, *set, track);
        EXPECT_EQ(csv.str(), TempDir::read(golden + ".csv"));
        EXPECT_EQ(gpx.str(), TempDir::read(golden + ".gpx"));
        const auto valid =
            test::RunProgram({"xmllint", "--noout", "--schema", QUELLO_GPX_XSD, golden + ".gpx"});
        EXPECT_EQ(valid.exitCode, 0) << valid.err;
    }
}

} // namespace
} // namespace quello
