// `quello` on Tesla clips from tools/make-teslacam and on the views of other multi-camera
// moments: the car's signals per second beside the telemetry, the main camera's telemetry from
// any camera's file, the snapshots of one camera or of all, every view in the evidence pack.
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace quello::test {
namespace {

namespace fs = std::filesystem;

// A drive of one three-second minute with a front and a back view, made once for the tests
// that only read it.
const std::string& FrontAndBack() {
    static const TempDir dir;
    static const std::string folder = [] {
        const auto made =
            RunProgram({MAKE_TESLACAM, dir.path(), "--clip-seconds", "3", "--size", "160x120",
                        "--fps", "30", "--cameras", "front,back", "--no-events"});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return dir.path() + "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-";
    }();
    return folder;
}

// A JPEG file's pixels, through djpeg; empty when it can't be read.
struct Picture {
    int width = 0, height = 0;
    std::string rgb;

    explicit Picture(const std::string& jpeg) {
        const auto ppm = RunProgram({"djpeg", "-pnm", jpeg});
        std::istringstream in(ppm.out);
        std::string magic;
        int most = 0;
        if (!(in >> magic >> width >> height >> most) || magic != "P6")
            return;
        in.get();
        rgb = ppm.out.substr(std::size_t(in.tellg()));
    }
    // "r", "g", "b", "k" (black) or "w" for a clear colour, else "?".
    std::string At(int x, int y) const {
        const std::size_t at = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
        if (at + 2 >= rgb.size())
            return "?";
        std::string name;
        for (int c = 0; c < 3; ++c)
            name += (unsigned char)rgb[at + std::size_t(c)] > 160  ? '1'
                    : (unsigned char)rgb[at + std::size_t(c)] < 60 ? '0'
                                                                   : '?';
        return name == "100"   ? "r"
               : name == "010" ? "g"
               : name == "001" ? "b"
               : name == "000" ? "k"
               : name == "111" ? "w"
                               : "?";
    }
    // Pixels of the rectangle that are bright (any channel above 160).
    int BrightIn(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += At(x, y) != "k";
        return n;
    }
};

// A one-colour movie of `seconds` with no clock in its header, as the views of one moment.
void ColourMovie(const std::string& path, const char* colour, const char* size, int seconds) {
    const auto made = RunProgram(
        {"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
         std::string("color=c=") + colour + ":s=" + size + ":r=10:d=" + std::to_string(seconds),
         "-c:v", "libx264", "-pix_fmt", "yuv420p", path});
    ASSERT_EQ(made.exitCode, 0) << made.err;
}

TEST(TeslaCamCli, TelemetryPrintsTheCarsSignals) {
    const TempDir dir;
    const auto made = RunProgram({MAKE_TESLACAM, dir.path(), "--clip-seconds", "3", "--size",
                                  "160x120", "--fps", "30", "--cameras", "front", "--no-events"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string clip =
        dir.path() + "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-front.mp4";

    const auto run = RunQuello({"telemetry", clip});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out);
    EXPECT_EQ(doc["source"], "sei");
    ASSERT_EQ(doc["car"].size(), 3u);
    // The generator's drive at second 2: brake and right blinker on, autosteer.
    EXPECT_EQ(doc["car"][2], nlohmann::json::parse(R"({"gear": "drive", "pedal": 22.0,
        "steering": -6.0, "leftBlinker": false, "rightBlinker": true, "brake": true,
        "assist": "autosteer"})"));

    const auto csv = RunQuello({"telemetry", clip, "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_NE(csv.out.find(",z9,gear,pedal,steering,leftBlinker,rightBlinker,brake,assist\n"),
              std::string::npos);
    EXPECT_NE(csv.out.find(",1000,drive,21,-8,1,0,0,self-driving\n"), std::string::npos) << csv.out;
}

// A drive imports moment by moment: the front camera's movie with the other cameras' movies
// and an event's event.json and thumb.png under its name, whichever folder holds them.
TEST(TeslaCamCli, ImportKeepsEachMomentsFilesTogether) {
    const TempDir dir;
    const auto made =
        RunProgram({MAKE_TESLACAM, dir.path() + "/car", "--minutes", "2", "--clip-seconds", "2",
                    "--size", "64x48", "--cameras", "front,back", "--no-sei"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string library = dir.path() + "/library";
    const auto run = RunQuello({"import", dir.path() + "/car", "--to", library});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> files;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(library + "/2024/2024-05-01"))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    // The event copies of the recent clips come first: the recent ones are then stored already.
    std::vector<std::string> expected;
    for (const char* start : {"100000_2024-05-01_10-00-00", "100002_2024-05-01_10-00-02"})
        for (const char* ending : {"-back.mp4", "-front.json", "-front.mp4", "-front.png"})
            expected.push_back(std::string(start) + ending);
    EXPECT_EQ(files, expected) << run.out;
    EXPECT_NE(run.out.find("copied 8 files (2 recordings"), std::string::npos) << run.out;
}

// The moment's telemetry is the front's whichever view's file is given; so are the Exif clock
// and GPS of a snapshot of the back view or of all views, and the printed page's read-outs.
TEST(TeslaCamCli, EveryViewGivesTheFrontsTelemetry) {
    const std::string front = FrontAndBack() + "front.mp4", back = FrontAndBack() + "back.mp4";
    const TempDir dir;
    const std::vector<std::vector<std::string>> commands = {
        {"telemetry"}, {"telemetry", "--format", "gpx"}, {"events", "--threshold", "0.1"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        auto args = command;
        args.insert(args.begin() + 1, front);
        const auto ofFront = RunQuello(args);
        args[1] = back;
        const auto ofBack = RunQuello(args);
        ASSERT_EQ(ofBack.exitCode, 0) << ofBack.err;
        EXPECT_EQ(ofBack.out, ofFront.out);
    }
    EXPECT_EQ(nlohmann::json::parse(RunQuello({"telemetry", back}).out)["source"], "sei");

    const auto exif = [&](const std::string& movie, const char* camera) {
        const std::string shot = dir.file("shot.jpg");
        std::vector<std::string> args = {"snapshot", movie, "--at", "2.5", "-o", shot};
        if (*camera)
            args.insert(args.end(), {"--camera", camera});
        EXPECT_EQ(RunQuello(args).exitCode, 0) << camera;
        return nlohmann::json::parse(
                   RunProgram({"exiftool", "-j", "-n", "-DateTimeOriginal", "-GPSLatitude", shot})
                       .out)[0]
            .dump();
    };
    const std::string ofFront = exif(front, "");
    EXPECT_NE(ofFront.find("GPSLatitude"), std::string::npos) << ofFront;
    EXPECT_EQ(exif(back, ""), ofFront);
    EXPECT_EQ(exif(back, "all"), ofFront);

    const auto page = [&](const std::string& movie) {
        const std::string pdf = dir.file("page.pdf");
        EXPECT_EQ(RunQuello({"print", movie, "--at", "2.5", "-o", pdf}).exitCode, 0);
        const std::string text = RunProgram({"pdftotext", pdf, "-"}).out;
        return text.substr(0, text.find("Print time"));
    };
    const std::string frontPage = page(front);
    EXPECT_NE(frontPage.find("Latitude: 37.0002"), std::string::npos) << frontPage;
    EXPECT_EQ(page(back), frontPage);
}

// --camera picks a view of the moment by name or label, in any case, or composes all of them:
// 2 x 2 for four, each view fitted into its cell (the wide one between black bars), "No
// picture" for the view whose file ends before. A camera the moment lacks is refused.
TEST(TeslaCamCli, SnapshotOfOneCameraOrOfAll) {
    const TempDir dir;
    const std::string tesla = dir.file("2024-05-01_10-00-00-"), pair = dir.file("20240501_101500_");
    ColourMovie(tesla + "front.mp4", "red", "320x240", 3);
    ColourMovie(tesla + "back.mp4", "blue", "320x240", 3);
    ColourMovie(tesla + "left_repeater.mp4", "lime", "320x160", 3);
    ColourMovie(tesla + "right_repeater.mp4", "white", "320x240", 1);
    ColourMovie(pair + "F.MOV", "red", "320x240", 3);
    ColourMovie(pair + "R.MOV", "blue", "320x240", 3);
    const struct {
        std::string movie;
        const char* camera;
        int width, height;
        std::vector<std::pair<int, int>> at; // points of the picture
        std::string colours;                 // Picture::At of each
    } cases[] = {
        {tesla + "front.mp4", "back", 320, 240, {{160, 120}}, "b"},
        {tesla + "front.mp4", "b", 320, 240, {{160, 120}}, "b"},
        {tesla + "back.mp4", "", 320, 240, {{160, 120}}, "b"},
        {tesla + "back.mp4", "Front", 320, 240, {{160, 120}}, "r"},
        {pair + "F.MOV", "r", 320, 240, {{160, 120}}, "b"},
        {pair + "R.MOV", "REAR", 320, 240, {{160, 120}}, "b"},
        {pair + "R.MOV", "all", 320, 120, {{80, 60}, {240, 60}}, "rb"},
        // The wide view: 160 x 80 from y 140 to 220, black above and below.
        {tesla + "back.mp4",
         "ALL",
         320,
         240,
         {{80, 60}, {240, 60}, {80, 180}, {80, 130}, {80, 230}, {200, 140}},
         "rbgkkk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.movie + " --camera " + c.camera);
        const std::string shot = dir.file("shot.jpg");
        std::vector<std::string> args = {"snapshot", c.movie, "--at", "2", "-o", shot};
        if (*c.camera)
            args.insert(args.end(), {"--camera", c.camera});
        const auto run = RunQuello(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Picture picture(shot);
        EXPECT_EQ(picture.width, c.width);
        EXPECT_EQ(picture.height, c.height);
        std::string colours;
        for (const auto& [x, y] : c.at)
            colours += picture.At(x, y);
        EXPECT_EQ(colours, c.colours);
        if (std::string(c.camera) == "ALL") {
            // "No picture" in white, centred in the last cell.
            EXPECT_GT(picture.BrightIn(200, 170, 280, 190), 20);
            EXPECT_EQ(picture.BrightIn(165, 125, 315, 160) + picture.BrightIn(165, 200, 315, 235),
                      0);
        }
        fs::remove(shot);
    }

    const auto refused = RunQuello({"snapshot", tesla + "back.mp4", "--at", "1", "--camera",
                                    "pillar", "-o", dir.file("x.jpg")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(
        refused.err.find("no camera 'pillar' in this moment (its cameras: front (F), back (B), "
                         "left_repeater (LR), right_repeater (RR))"),
        std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir.file("x.jpg")));
}

// The evidence pack of the back view holds both views' movies, byte for byte, each with its
// SHA-256 line, and its README lists them; its track and snapshot are those of the back file.
TEST(TeslaCamCli, EvidencePackHoldsEveryCamerasMovie) {
    const TempDir dir;
    const std::string pack = dir.file("pack");
    const auto run = RunQuello({"evidence", FrontAndBack() + "back.mp4", "--at", "1", "-o", pack});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string manifest = TempDir::read(pack + "/MANIFEST.sha256");
    const std::string readme = TempDir::read(pack + "/README.txt");
    for (const char* view : {"back", "front"}) {
        const std::string movie = FrontAndBack() + view + ".mp4";
        const std::string name = fs::path(movie).filename().string();
        EXPECT_EQ(TempDir::read(pack + "/" + name), TempDir::read(movie));
        const std::string line = RunProgram({"sha256sum", movie}).out.substr(0, 64) + "  " + name;
        EXPECT_NE(manifest.find(line + "\n"), std::string::npos) << manifest;
        EXPECT_NE(readme.find("  " + name + "\n"), std::string::npos) << readme;
    }
    EXPECT_EQ(
        RunProgram({"sha256sum", "--quiet", "--strict", "-c", "MANIFEST.sha256"}, pack).exitCode,
        0);
    EXPECT_NE(readme.find("-front.mp4\n      the main camera's movie"), std::string::npos);
    // The front's telemetry gives the track, and its clock and GPS the snapshot's Exif block.
    EXPECT_EQ(TempDir::read(pack + "/track.gpx"),
              RunQuello({"telemetry", FrontAndBack() + "back.mp4", "--format", "gpx"}).out);
    const std::string shot = dir.file("shot.jpg");
    ASSERT_EQ(
        RunQuello({"snapshot", FrontAndBack() + "back.mp4", "--at", "1", "-o", shot}).exitCode, 0);
    EXPECT_EQ(TempDir::read(pack + "/snapshot.jpg"), TempDir::read(shot));
}

} // namespace
} // namespace quello::test
