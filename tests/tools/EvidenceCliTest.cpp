// `quello evidence` run as a user runs it, on the demo card's recordings: each pack checks out
// with sha256sum, holds the originals byte for byte and files that their own readers accept;
// a failed export leaves nothing. The refusals of the command line sit in the table of
// QuelloCliTest.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include "quello/Version.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>

namespace quello::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::size_t Count(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += word.size())
        ++n;
    return n;
}

// The events of a pack's events.csv as `quello events` prints them.
json CsvEvents(const std::string& csv) {
    json events = json::array();
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "start_s,peak_s,end_s,kind,peak_g");
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        std::string start, peak, end, kind, g;
        std::getline(cells, start, ',');
        std::getline(cells, peak, ',');
        std::getline(cells, end, ',');
        std::getline(cells, kind, ',');
        std::getline(cells, g);
        events.push_back({{"start", std::stod(start)},
                          {"peak", std::stod(peak)},
                          {"end", std::stod(end)},
                          {"kind", kind},
                          {"peakG", std::stod(g)}});
    }
    return events;
}

// A new folder, an existing empty one (it keeps its mode) and a name with a trailing '/'; a
// movie with its telemetry beside it, one with it in INFO, one without any, one whose name
// the manifest has to escape, and one whose GPS comes from a GPX beside it.
TEST(QuelloEvidence, APackChecksOutAndHoldsTheOriginalsAndTheMoment) {
    const std::string card = QUELLO_DEMO_CARD "/DCIM/";
    const TempDir names;
    fs::copy_file(card + "100MEDIA/FILE0003.MOV", names.file("a\\b\nc.MOV"));
    fs::copy_file(card + "101MEDIA/FILE0004.MOV", names.file("side.MOV"));
    names.write("side.gpx",
                RunQuello({"telemetry", card + "101MEDIA/FILE0004.DAT", "--format", "gpx"}).out);
    const struct {
        std::string movie;
        std::string telemetry; // empty: none
        std::string tracked;   // what the tracks and events come from (empty: none)
        const char* dir;
        bool existing;
        const char* at;
        const char* position;       // as the README gives it
        const char* clip = nullptr; // --clip-seconds
    } cases[] = {
        {card + "101MEDIA/FILE0004.MOV", card + "101MEDIA/FILE0004.DAT",
         card + "101MEDIA/FILE0004.DAT", "pack", false, "12.7", "12.700 s into the movie (0:12.7)",
         "2"},
        {card + "100MEDIA/FILE0002.MOV", card + "INFO/FILE0002.DAT", card + "INFO/FILE0002.DAT",
         "empty", true, "3", "3.000 s into the movie (0:03.0)"},
        {card + "100MEDIA/FILE0003.MOV", "", "", "bare/", false, "0",
         "0.000 s into the movie (0:00.0)"},
        {names.file("a\\b\nc.MOV"), "", "", "odd", false, "1", "1.000 s into the movie (0:01.0)"},
        {names.file("side.MOV"), "", names.file("side.MOV"), "side", false, "5",
         "5.000 s into the movie (0:05.0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie);
        const TempDir dir;
        const std::string pack = dir.file(c.dir);
        if (c.existing) {
            fs::create_directory(pack);
            fs::permissions(pack, fs::perms(0750));
        }
        std::vector<std::string> args = {"evidence", c.movie, "--at", c.at, "-o", pack};
        if (c.clip)
            args.insert(args.end(), {"--clip-seconds", c.clip});
        const ProgramResult r = RunQuello(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, pack + "\n");
        EXPECT_EQ(dir.entries().size(), 1u) << "a hidden folder was left";
        if (c.existing) {
            EXPECT_EQ(fs::status(pack).permissions(), fs::perms(0750));
        }
        EXPECT_EQ(RunProgram({"sha256sum", "--quiet", "--strict", "-c", "MANIFEST.sha256"}, pack)
                      .exitCode,
                  0);

        std::set<std::string> expected = {"snapshot.jpg", "page.pdf", "README.txt",
                                          "MANIFEST.sha256"};
        std::vector<std::string> originals = {c.movie};
        if (!c.telemetry.empty())
            originals.push_back(c.telemetry);
        if (!c.tracked.empty())
            expected.insert({"track.gpx", "track.kml", "events.csv"});
        for (const std::string& original : originals) {
            const std::string name = fs::path(original).filename().string();
            expected.insert(name);
            EXPECT_EQ(TempDir::read(pack + "/" + name), TempDir::read(original));
            EXPECT_EQ(fs::last_write_time(pack + "/" + name), fs::last_write_time(original));
        }
        if (c.clip) {
            // The clip is the one `quello clip` cuts of the same span, byte for byte.
            expected.insert({"clip.MOV", "clip.DAT"});
            const std::string clip = dir.file("clip.MOV");
            const double at = std::stod(c.at), around = std::stod(c.clip);
            ASSERT_EQ(RunQuello({"clip", c.movie, "--from", std::to_string(at - around), "--to",
                                 std::to_string(at + around), "-o", clip})
                          .exitCode,
                      0);
            EXPECT_EQ(TempDir::read(pack + "/clip.MOV"), TempDir::read(clip));
            EXPECT_EQ(TempDir::read(pack + "/clip.DAT"), TempDir::read(dir.file("clip.DAT")));
        }
        EXPECT_EQ(TempDir::entries(pack), expected);
        // Every file but the manifest is in it, each once.
        const std::string manifest = TempDir::read(pack + "/MANIFEST.sha256");
        EXPECT_EQ(Count(manifest, "\n"), expected.size() - 1);

        const std::string readme = TempDir::read(pack + "/README.txt");
        EXPECT_TRUE(
            std::regex_search(readme, std::regex("Made: +\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:"
                                                 "\\d\\dZ \\(UTC\\)")))
            << readme;
        for (const std::string& word : {std::string("Quello Player ") + kVersion,
                                        "Movie:     " + fs::path(c.movie).filename().string(),
                                        std::string("Position:  ") + c.position})
            EXPECT_NE(readme.find(word), std::string::npos) << word;
        EXPECT_EQ(readme.find("Telemetry: none") == std::string::npos, !c.tracked.empty());
        EXPECT_EQ(RunProgram({"djpeg", "-pnm", pack + "/snapshot.jpg"}).exitCode, 0);
        // The same bytes, Exif block included, as `quello snapshot` saves for the moment.
        const std::string shot = dir.file("shot.jpg");
        EXPECT_EQ(RunQuello({"snapshot", c.movie, "--at", c.at, "-o", shot}).exitCode, 0);
        EXPECT_EQ(TempDir::read(pack + "/snapshot.jpg"), TempDir::read(shot));
        const std::string page = RunProgram({"pdftotext", pack + "/page.pdf", "-"}).out;
        EXPECT_NE(page.find("G-Sensor [x:"), std::string::npos) << page;
        if (c.tracked.empty())
            continue;

        // The page shows the fix of the second on screen.
        const std::string& dat = c.tracked;
        const json fix = json::parse(RunQuello({"telemetry", dat}).out)["fixes"][std::stoi(c.at)];
        const std::string latitude = fix["latitude"];
        EXPECT_NE(page.find("Latitude: " + latitude), std::string::npos) << page;
        // Both tracks hold the points the telemetry command's GPX holds.
        const std::string gpx = TempDir::read(pack + "/track.gpx");
        EXPECT_EQ(gpx, RunQuello({"telemetry", dat, "--format", "gpx"}).out);
        EXPECT_EQ(
            RunProgram({"xmllint", "--noout", "--schema", QUELLO_GPX_XSD, pack + "/track.gpx"})
                .exitCode,
            0);
        EXPECT_EQ(RunProgram({"xmllint", "--noout", pack + "/track.kml"}).exitCode, 0);
        EXPECT_EQ(Count(TempDir::read(pack + "/track.kml"), ",0\n"), Count(gpx, "<trkpt"));
        EXPECT_GT(Count(gpx, "<trkpt"), 1u);
        // The demo card's sensitivity asks 0.7 g across the car, not the command's default.
        EXPECT_EQ(CsvEvents(TempDir::read(pack + "/events.csv")),
                  json::parse(RunQuello({"events", dat, "--threshold", "0.7"}).out));
    }
}

// A pack that cannot be made leaves nothing, not even its hidden folder: neither when the room
// is found lacking before anything is written (a disk that holds the copies but not the rest),
// nor when a step fails after the movie was copied (a movie without a picture to save).
TEST(QuelloEvidence, AFailedExportLeavesNothing) {
    const struct {
        std::string movie;
        bool smallDisk;
        const char* message;
    } cases[] = {
        {QUELLO_TEST_MEDIA_DIR "/audio.m4a", false, "frame on screen could not be saved"},
        {QUELLO_DEMO_CARD "/DCIM/101MEDIA/FILE0004.MOV", true, "not enough room on its disk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie);
        const TempDir dir;
        const std::string disk = dir.makeDir("disk");
        std::optional<TmpfsMount> mount;
        if (c.smallDisk) {
            mount.emplace(disk, fs::file_size(c.movie) + (4 << 20));
            if (!mount->error().empty())
                GTEST_SKIP() << mount->error();
        }
        const ProgramResult r = RunQuello({"evidence", c.movie, "--at", "1", "-o", disk + "/pack"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(Count(r.err, "\n"), 1u);
        EXPECT_TRUE(TempDir::entries(disk).empty());
    }
}

} // namespace
} // namespace quello::test
