// The cameras of one moment: the file-name conventions (and names that only look like them),
// grouping by overlapping header times on tiny movies made with the ffmpeg command line, a
// TeslaCam drive with recent, saved and Sentry clips, missing cameras and broken event files,
// and `quello info` on them.
#include "cameras/CameraGroups.h"
#include "cameras/CameraName.h"
#include "cameras/TeslaCamTree.h"
#include "recordings/RecordingLibrary.h"
#include "recordings/RecordingTrip.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace quello::test {
namespace {

using json = nlohmann::json;

// A movie of `seconds` starting at `created` (UTC, ISO 8601; empty: none in the header).
std::string MakeMovie(const TempDir& dir, const std::string& relative, const std::string& created,
                      int seconds = 2) {
    const std::string path = dir.file(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<std::string> args{"ffmpeg", "-nostdin",
                                  "-v",     "error",
                                  "-f",     "lavfi",
                                  "-i",     "color=c=gray:size=64x64:rate=5",
                                  "-t",     std::to_string(seconds),
                                  "-c:v",   "mpeg4"};
    if (!created.empty())
        args.insert(args.end(), {"-metadata", "creation_time=" + created});
    args.push_back(path);
    const auto made = RunProgram(args);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
}

std::string Labels(const CameraGroup& group) {
    std::string labels;
    for (const auto& camera : group.cameras)
        labels += (labels.empty() ? "" : ",") + (camera.label.empty() ? "-" : camera.label);
    return labels;
}

TEST(CameraName, ConventionsAndLookAlikes) {
    struct Case {
        const char* name;
        const char* key; // nullptr: no camera
        const char* label;
        bool weak;
    };
    const Case cases[] = {
        {"20240501_101500F.MP4", "20240501_101500", "F", true},
        {"20240501-101500R.mov", "20240501-101500", "R", true},
        {"20240501_101500_F.MP4", "20240501_101500", "F", false},
        {"/card/DCIM/20240501_101500_I.MP4", "20240501_101500", "I", false},
        {"20240501_101500_NF.MP4", "20240501_101500_N", "F", false},
        {"20240501_101500_ER.MP4", "20240501_101500_E", "R", false},
        {"20240501_101500_PI.TS", "20240501_101500_P", "I", false},
        {"2024_0501_101500-front.mp4", "2024_0501_101500", "F", false},
        {"2024_0501_101500-back.mp4", "2024_0501_101500", "R", false},
        {"2024_0501_101500-REAR.MP4", "2024_0501_101500", "R", false},
        {"2024_0501_101500-inside.avi", "2024_0501_101500", "I", false},
        {"2024-05-01_10-15-00-front.mp4", "2024-05-01_10-15-00", "F", false},
        {"2024-05-01_10-15-00-back.mp4", "2024-05-01_10-15-00", "B", false},
        {"2024-05-01_10-15-00-left_repeater.mp4", "2024-05-01_10-15-00", "LR", false},
        {"2024-05-01_10-15-00-right_pillar.mp4", "2024-05-01_10-15-00", "RP", false},
        // Words and letters that end many names, with no time stamp before them.
        {"GOPRO.MP4", nullptr, "", false},
        {"BRIDGE.MOV", nullptr, "", false},
        {"HARBOR.MP4", nullptr, "", false},
        {"CLIP_F.MP4", nullptr, "", false},
        {"MY_NF.MP4", nullptr, "", false},
        {"car-front.mp4", nullptr, "", false},
        {"GH010123F.MP4", nullptr, "", false},
        {"1234567F.MP4", nullptr, "", false},
        {"20240501_101500X.MP4", nullptr, "", false},
        {"20240501_101500_F.DAT", nullptr, "", false},
        {"20240501_101500_QF.MP4", nullptr, "", false},
        {"2024-05-01_10-15-00-roof.mp4", nullptr, "", false},
        {"F.MP4", nullptr, "", false},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseCameraName(c.name);
        ASSERT_EQ(parsed.has_value(), c.key != nullptr) << c.name;
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->key, c.key) << c.name;
        EXPECT_EQ(parsed->label, c.label) << c.name;
        EXPECT_EQ(parsed->weak, c.weak) << c.name;
    }
}

// Views join when their spans overlap; a weak tag needs a partner; files without header times
// join by name only among themselves; `quello info` lists the views of a movie's moment.
TEST(CameraGroups, OverlappingSpansJoin) {
    const TempDir dir;
    const std::string start = "2024-05-01T10:15:00Z", later = "2024-05-01T10:15:30Z";
    const std::string front = MakeMovie(dir, "20240501_101500_NF.MP4", start);
    MakeMovie(dir, "20240501_101500_NR.MP4", "2024-05-01T10:15:01Z");
    MakeMovie(dir, "20240501_101500_NI.MP4", later); // a clock or name gone wrong
    MakeMovie(dir, "20240501_101500_EF.MP4", start); // the event recording is a moment of its own
    MakeMovie(dir, "20240502_090000R.MP4", start);
    MakeMovie(dir, "20240502_090000F.MP4", start);
    MakeMovie(dir, "20240503_090000F.MP4", start); // alone: no camera
    dir.write("20240504_090000-back.mp4", "");     // no header: joins the front by name
    dir.write("20240504_090000-front.mp4", "");
    MakeMovie(dir, "20240506_090000_F.MP4", "", 2); // no creation time: lengths compared
    MakeMovie(dir, "20240506_090000_R.MP4", "", 4);
    MakeMovie(dir, "20240506_090000_I.MP4", "", 9);
    MakeMovie(dir, "20240505_090000-front.mp4", start); // with times: the rear has none
    dir.write("20240505_090000-rear.mp4", "");
    dir.write("GOPRO.MP4", "");
    dir.write("notes.txt", "");

    std::vector<std::string> seen;
    for (const auto& group : FolderCameraGroups(dir.path())) {
        std::string names;
        for (const auto& camera : group.cameras)
            names += " " + std::filesystem::path(camera.path).filename().string();
        seen.push_back(group.key + " " + Labels(group) + ":" + names);
    }
    const std::vector<std::string> expected{
        "20240501_101500_E F: 20240501_101500_EF.MP4",
        "20240501_101500_N F,R: 20240501_101500_NF.MP4 20240501_101500_NR.MP4",
        "20240501_101500_N I: 20240501_101500_NI.MP4",
        "20240502_090000 F,R: 20240502_090000F.MP4 20240502_090000R.MP4",
        "20240503_090000F.MP4 -: 20240503_090000F.MP4",
        "20240504_090000 F,R: 20240504_090000-front.mp4 20240504_090000-back.mp4",
        "20240505_090000 R: 20240505_090000-rear.mp4",
        "20240505_090000 F: 20240505_090000-front.mp4",
        "20240506_090000 F,R: 20240506_090000_F.MP4 20240506_090000_R.MP4",
        "20240506_090000 I: 20240506_090000_I.MP4",
        "GOPRO.MP4 -: GOPRO.MP4",
    };
    EXPECT_EQ(seen, expected);

    const json info = json::parse(RunQuello({"info", front, dir.file("GOPRO.MP4")}).out);
    ASSERT_EQ(info.size(), 2u);
    ASSERT_EQ(info[0]["cameras"].size(), 2u);
    EXPECT_EQ(info[0]["cameras"][0]["path"], front);
    EXPECT_EQ(info[0]["cameras"][1]["label"], "R");
    EXPECT_EQ(info[0]["cameras"][1]["path"], dir.file("20240501_101500_NR.MP4"));
    EXPECT_TRUE(info[1]["cameras"].is_null());
    EXPECT_TRUE(info[1]["event"].is_null());
}

// A drive's moments in time order with their cameras and events; clips whose headers have no
// times (empty files here) take the name's time; what can't be used is reported.
TEST(TeslaCamTree, RecentSavedAndSentryClips) {
    const TempDir dir;
    const std::string cam = "TeslaCam/";
    for (const char* view : {"front", "back", "left_repeater"})
        dir.write(cam + "RecentClips/2024-05-01_10-15-00-" + view + ".mp4", "");
    dir.write(cam + "RecentClips/2024-05-01/2024-05-01_10-14-00-front.mp4", "");
    dir.write(cam + "RecentClips/notes.txt", "");
    const std::string saved = cam + "SavedClips/2024-05-01_11-00-00/";
    dir.write(saved + "2024-05-01_10-59-00-back.mp4", "");
    dir.write(saved + "2024-05-01_10-59-00-front.mp4", "");
    dir.write(saved + "thumb.png", "");
    dir.write(saved + "event.json",
              R"({"timestamp":"2024-05-01T10:59:40","city":"Fremont","est_lat":"37.49",)"
              R"("est_lon":"-121.94","reason":"user_interaction_honk","camera":"0"})");
    dir.write(cam + "SentryClips/2024-05-01_12-00-00/event.json", "{\"city\": ");
    dir.write(cam + "SentryClips/2024-05-01_12-00-00/2024-05-01_11-59-00-back.mp4", "");
    dir.write(cam + "SentryClips/2024-05-01_13-00-00/2024-05-01_12-59-00-right_repeater.mp4", "");
    dir.makeDir(cam + "SentryClips/2024-05-01_14-00-00");
    dir.makeDir(cam + "Music");

    const TeslaCamDrive drive = ScanTeslaCam(dir.path());
    EXPECT_EQ(drive.teslaCamFolder, dir.file("TeslaCam"));
    std::vector<std::string> moments;
    for (const auto& m : drive.moments)
        moments.push_back(m.key + " " + "RSX"[int(m.kind)] + " " + Labels({m.key, m.cameras}) +
                          (m.event ? " " + m.event->reason + "@" + m.event->city : ""));
    const std::vector<std::string> expected{
        "2024-05-01_10-14-00 R F",
        "2024-05-01_10-15-00 R F,B,LR",
        "2024-05-01_10-59-00 S F,B user_interaction_honk@Fremont",
        "2024-05-01_11-59-00 X B @",
        "2024-05-01_12-59-00 X RR @",
    };
    EXPECT_EQ(moments, expected);
    ASSERT_EQ(drive.moments.size(), expected.size());
    const TeslaEvent& event = *drive.moments[2].event;
    EXPECT_TRUE(drive.moments[2].startFromName);
    EXPECT_EQ(event.time, "2024-05-01T10:59:40");
    EXPECT_TRUE(event.hasPosition);
    EXPECT_DOUBLE_EQ(event.longitude, -121.94);
    EXPECT_EQ(event.thumbnailPath, dir.file(saved + "thumb.png"));
    EXPECT_EQ(drive.moments[3].event->time, "2024-05-01T12:00:00"); // the folder's name

    std::string problems;
    for (const auto& p : drive.problems)
        problems += p.substr(dir.path().size()) + "\n";
    EXPECT_EQ(problems, "/TeslaCam/Music: not a folder of TeslaCam clips\n"
                        "/TeslaCam/RecentClips/notes.txt: not a Tesla camera's clip\n"
                        "/TeslaCam/SentryClips/2024-05-01_12-00-00: event.json is not a JSON "
                        "object\n"
                        "/TeslaCam/SentryClips/2024-05-01_13-00-00: no event.json\n"
                        "/TeslaCam/SentryClips/2024-05-01_14-00-00: no event.json\n"
                        "/TeslaCam/SentryClips/2024-05-01_14-00-00: an event without clips\n");

    const json info =
        json::parse(RunQuello({"info", dir.file(saved + "2024-05-01_10-59-00-back.mp4")}).out)[0];
    EXPECT_EQ(info["cameras"][0]["label"], "F");
    EXPECT_EQ(info["event"]["kind"], "saved");
    EXPECT_EQ(info["event"]["reason"], "user_interaction_honk");
    EXPECT_EQ(info["event"]["time"], "2024-05-01T10:59:40");

    EXPECT_TRUE(ScanTeslaCam(dir.file("TeslaCam/RecentClips")).teslaCamFolder.empty());
    EXPECT_EQ(ScanTeslaCam(dir.file("TeslaCam")).moments.size(), expected.size());
}

// An event's position is taken only when both coordinates are numbers (or numbers as text) on
// the globe and not the zeros of a missing fix; anything else leaves the event without one, and
// no event file at all is no crash. The clip finds its event in the event's folder on a drive and
// beside it, under its own stem, in a library of drives; a recent clip has none.
TEST(TeslaCamTree, AnEventsPositionAndTheClipsItBelongsTo) {
    const struct {
        const char* name;
        const char* json;     // nullptr: no event.json
        const char* position; // "lat,lon"; "": none
        const char* problem;
    } cases[] = {
        {"numbers as text", R"({"est_lat":"37.4925","est_lon":"-121.9456"})", "37.4925,-121.9456",
         ""},
        {"numbers", R"({"est_lat":-33.8651,"est_lon":151.2099})", "-33.8651,151.2099", ""},
        {"at the edges", R"({"est_lat":"90","est_lon":"-180"})", "90,-180", ""},
        {"longitude absent", R"({"est_lat":"37.49","reason":"x"})", "", ""},
        {"not a number", R"({"est_lat":"37.49x","est_lon":"-121.9"})", "", ""},
        {"null", R"({"est_lat":null,"est_lon":"-121.9"})", "", ""},
        {"latitude beyond a pole", R"({"est_lat":"90.5","est_lon":"10"})", "", ""},
        {"longitude off the globe", R"({"est_lat":"10","est_lon":"180.1"})", "", ""},
        {"hexadecimal", R"({"est_lat":"0x25","est_lon":"-121.9"})", "", ""},
        {"not a number at all", R"({"est_lat":"nan","est_lon":"inf"})", "", ""},
        {"a missing fix", R"({"est_lat":"0.0","est_lon":"0.0"})", "", ""},
        {"broken", R"({"est_lat":"37.49",)", "", "event.json is not a JSON object"},
        {"an array", R"([37.49, -121.94])", "", "event.json is not a JSON object"},
        {"no event.json", nullptr, "", "no event.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const std::string folder = dir.makeDir("TeslaCam/SentryClips/2024-05-01_10-00-00");
        if (c.json)
            dir.write("TeslaCam/SentryClips/2024-05-01_10-00-00/event.json", c.json);
        const auto event = TeslaEventOfClip(folder + "/2024-05-01_09-59-00-front.mp4");
        ASSERT_TRUE(event);
        std::string position;
        if (event->hasPosition) {
            std::ostringstream text;
            text.precision(10);
            text << event->latitude << "," << event->longitude;
            position = text.str();
        }
        EXPECT_EQ(position, c.position);
        EXPECT_EQ(event->problem, c.problem);
        EXPECT_EQ(event->time, "2024-05-01T10:00:00"); // none in the file: the folder's
    }

    const TempDir dir;
    const std::string library = "2024/2024-05-01/100000_2024-05-01_10-00-00-front";
    dir.write(library + ".json", R"({"reason":"sentry_aware_object_detection","est_lat":"37.5",)"
                                 R"("est_lon":"-122","timestamp":"2024-05-01T10:00:30"})");
    dir.write(library + ".png", "");
    const auto imported = TeslaEventOfClip(dir.file(library + ".mp4"));
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->reason + " " + imported->time,
              "sentry_aware_object_detection 2024-05-01T10:00:30");
    EXPECT_TRUE(imported->hasPosition);
    EXPECT_EQ(imported->thumbnailPath, dir.file(library + ".png"));
    dir.makeDir("TeslaCam/RecentClips/2024-05-01");
    for (const char* none :
         {"TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-front.mp4",
          "2024/2024-05-01/100000_2024-05-01_10-01-00-front.mp4", "2024-05-01_10-00-00-front.mp4"})
        EXPECT_FALSE(TeslaEventOfClip(dir.file(none))) << none;
}

// Minutes that follow one another make one trip once in a library, by the clips' header times
// or, when the car wrote none, by their names' times and the headers' lengths.
TEST(TeslaCamTree, ClipsThatFollowOnAreOneTrip) {
    for (const bool headerTimes : {true, false}) {
        const TempDir dir;
        for (const char* time : {"10-15-00", "10-15-02", "10-20-00"}) {
            const std::string name = std::string("2024-05-01_") + time;
            const std::string created =
                "2024-05-01T08:" + name.substr(14, 2) + ":" + name.substr(17, 2) + "Z";
            MakeMovie(dir, "TeslaCam/RecentClips/" + name + "-front.mp4",
                      headerTimes ? created : "");
        }
        const TeslaCamDrive drive = ScanTeslaCam(dir.path());
        ASSERT_EQ(drive.moments.size(), 3u);
        RecordingLibrary library;
        for (const auto& moment : drive.moments) {
            EXPECT_EQ(moment.startFromName, !headerTimes);
            EXPECT_EQ(moment.durationSeconds, 2u);
            library.Add(TeslaMomentEntry(moment));
        }
        EXPECT_EQ(FindTrip(library, 1), (std::vector<int>{0, 1})) << headerTimes;
        EXPECT_EQ(FindTrip(library, 2), (std::vector<int>{2})) << headerTimes;
    }
}

} // namespace
} // namespace quello::test
