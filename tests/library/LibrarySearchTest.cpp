// The library list's searches, the passings of a place and the thresholds of a library movie,
// on an index filled through its own interface.
#include "library/LibrarySearch.h"
#include "library/RecordingThresholds.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quello {
namespace {

using test::TempDir;

constexpr std::int64_t kSaturday = 1778922000; // 2026-05-16 09:00:00 on the camera clock
constexpr std::int64_t kDay = 86400;

// A drive north from (lat, 114.05), a fix a second, 0.0001 degrees (about 11 m) apart.
struct Drive {
    const char* path;
    std::int64_t start;
    int seconds;
    double lat;
    std::vector<GForceEvent> events;
    bool isProtected = false;
};

const Drive kDrives[] = {
    {"2026/2026-05-16/090000_FILE0001.MOV", kSaturday, 60, 22.600, {}},
    // Follows on without a gap: the same drive.
    {"2026/2026-05-16/090100_FILE0002.MOV",
     kSaturday + 60,
     60,
     22.606,
     {{10, 11, 12, GForceKind::Braking, -0.7}}},
    {"2026/2026-05-16/170000_FILE0003.MOV",
     kSaturday + 8 * 3600,
     30,
     22.600,
     {{3, 4, 5, GForceKind::RightTurn, 0.5}},
     true},
    {"2026/2026-05-18/080000_FILE0004.MOV",
     kSaturday + 2 * kDay - 3600,
     45,
     40.0,
     {{5, 6, 7, GForceKind::LeftTurn, -0.5}, {20, 21, 22, GForceKind::Impact, 2.1}}},
    {"2026/2026-06-01/120000_FILE0005.MOV", kSaturday + 16 * kDay + 3 * 3600, 20, 40.0, {}},
};

class LibrarySearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(index.Open(dir.path()), LibraryIndex::OpenResult::Ok) << index.error();
        int n = 0;
        for (const Drive& d : kDrives) {
            LibraryRecording r;
            r.path = d.path;
            r.sha256 = "sha-" + std::to_string(++n);
            r.size = 1000 + n;
            r.hasStart = true;
            r.start = d.start;
            r.length = static_cast<std::uint32_t>(d.seconds);
            r.card = "card";
            r.isProtected = d.isProtected;
            r.thresholds = {0.3 + n * 0.1, 0.9};
            std::vector<LibraryFix> fixes;
            for (int s = 0; s < d.seconds; ++s)
                fixes.push_back({s, d.lat + s * 0.0001, 114.05, 40, 0});
            ASSERT_TRUE(index.AddRecording(r, {}, fixes, d.events)) << index.error();
        }
        ASSERT_TRUE(index.UpdateTrips()) << index.error();
    }

    // Each day as "date drives seconds: names", newest first.
    std::vector<std::string> List(const std::string& text) {
        const auto search = ParseLibrarySearch(text);
        EXPECT_TRUE(search) << text;
        LibraryIndex fresh;
        EXPECT_EQ(fresh.Open(dir.path()), LibraryIndex::OpenResult::Ok);
        std::vector<LibraryDay> days;
        std::string error;
        EXPECT_TRUE(search && ListLibrary(fresh, *search, days, error)) << error;
        std::vector<std::string> out;
        for (const LibraryDay& day : days) {
            std::string line = day.date + " " + std::to_string(day.drives) + " " +
                               std::to_string(day.seconds) + ":";
            for (const LibraryMatch& m : day.recordings)
                line += " " + m.recording.path.substr(27, 4);
            out.push_back(line);
        }
        return out;
    }

    TempDir dir;
    LibraryIndex index;
};

TEST(LibrarySearchParse, FormsTheFieldUnderstands) {
    using K = LibrarySearch::Kind;
    // The text, the kind ("-": not understood), the date, the place, the event kinds.
    struct Case {
        const char* text;
        std::optional<K> kind;
        std::string date = {};
        double lat = 0, lon = 0;
        std::vector<GForceKind> kinds = {};
    };
    const Case cases[] = {
        {"", K::All},
        {"   ", K::All},
        {"2026-05-16", K::Date, "2026-05-16"},
        {" 2026-05 ", K::Date, "2026-05"},
        {"2026", K::Date, "2026"},
        {"2026-13", std::nullopt},
        {"2026-05-32", std::nullopt},
        {"2026-5-16", std::nullopt},
        {"40.7646,-73.9729", K::Place, "", 40.7646, -73.9729},
        {"+22.6 , 114", K::Place, "", 22.6, 114},
        {"91,0", std::nullopt},
        {"1e1,2", std::nullopt},
        {"40.7,", std::nullopt},
        {"Braking", K::Events, "", 0, 0, {GForceKind::Braking}},
        {"turn", K::Events, "", 0, 0, {GForceKind::LeftTurn, GForceKind::RightTurn}},
        {"right  turn", K::Events, "", 0, 0, {GForceKind::RightTurn}},
        {"impact", K::Events, "", 0, 0, {GForceKind::Impact}},
        {"events", K::Events},
        {"LOCKED", K::Protected},
        {"fifth avenue", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto s = ParseLibrarySearch(c.text);
        ASSERT_EQ(s.has_value(), c.kind.has_value());
        if (!s)
            continue;
        EXPECT_EQ(s->kind, *c.kind);
        EXPECT_EQ(s->datePrefix, c.date);
        EXPECT_DOUBLE_EQ(s->latitude, c.lat);
        EXPECT_DOUBLE_EQ(s->longitude, c.lon);
        EXPECT_EQ(s->eventKinds, c.kinds);
    }
}

TEST_F(LibrarySearchTest, DaysNewestFirstWithTheirDrivesForEachKindOfSearch) {
    // 0001 and 0002 are one drive; 0003 another on the same day.
    const std::string may16 = "2026-05-16 2 150:";
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {"2026-06-01 1 20: 0005", "2026-05-18 1 45: 0004", may16 + " 0001 0002 0003"}},
        {"2026-05", {"2026-05-18 1 45: 0004", may16 + " 0001 0002 0003"}},
        {"2026-05-16", {may16 + " 0001 0002 0003"}},
        {"2025", {}},
        // 22.6059 is 0001's last second and within 100 m of 0002's first.
        {"22.6059,114.05", {"2026-05-16 1 120: 0001 0002"}},
        {"40.0,114.05", {"2026-06-01 1 20: 0005", "2026-05-18 1 45: 0004"}},
        {"braking", {"2026-05-16 1 60: 0002"}},
        {"turn", {"2026-05-18 1 45: 0004", "2026-05-16 1 30: 0003"}},
        {"impact", {"2026-05-18 1 45: 0004"}},
        {"protected", {"2026-05-16 1 30: 0003"}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(List(text), expected) << text;
}

TEST_F(LibrarySearchTest, PassingsGiveTheSecondNearestToThePlace) {
    // About 0.00505 degrees north of the start: 0001 passes near its second 50, 0003 too.
    std::vector<LibraryPassing> passings;
    std::string error;
    ASSERT_TRUE(FindPassings(index, 22.60505, 114.05, passings, error)) << error;
    std::vector<std::pair<std::string, int>> found;
    for (const LibraryPassing& p : passings)
        found.emplace_back(p.recording.path.substr(27, 4), p.second);
    EXPECT_EQ(found, (std::vector<std::pair<std::string, int>>{{"0001", 50}}));
    EXPECT_FALSE(FindPassings(index, 95, 0, passings, error));
}

TEST_F(LibrarySearchTest, ALibraryMovieTakesTheThresholdsStoredForIt) {
    const std::string root = dir.path();
    // The movie, where the index expects it or not, and the horizontal threshold found.
    const std::pair<std::string, double> cases[] = {
        {root + "/2026/2026-05-16/090100_FILE0002.MOV", 0.5},
        {root + "/2026/2026-05-18/080000_FILE0004.MOV", 0.7},
        {root + "/2026/2026-05-18/somethingelse.MOV", 0.4},
        {root + "/2025/2026-05-16/090100_FILE0002.MOV", 0.4},
        {root + "/2026/2026-05-16/x/090100_FILE0002.MOV", 0.4},
        {"090100_FILE0002.MOV", 0.4},
    };
    for (const auto& [movie, horizontal] : cases)
        EXPECT_DOUBLE_EQ(ThresholdsForRecording(movie).horizontal, horizontal) << movie;
    const auto place = FindLibraryAbove(cases[0].first);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->root, root);
    EXPECT_EQ(place->relative, "2026/2026-05-16/090100_FILE0002.MOV");
    EXPECT_FALSE(FindLibraryAbove(dir.path() + "/elsewhere/2026/2026-05-16/a.MOV"));
}

} // namespace
} // namespace quello
