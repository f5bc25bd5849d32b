// The recording library storage and its ordering, filtering and index rules, over real files.
#include "recordings/RecordingLibrary.h"
#include "recordings/MovieListing.h"

#include "tests/support/MovieBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace quello {
namespace {

namespace fs = std::filesystem;
using test::CameraMovie;
using test::kSecondsFrom1904To1970;
using test::TempDir;

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

TEST(RecordingOrder, FolderAndCardOrders) {
    const auto sorted = [](bool card, const char* names) {
        std::vector<std::string> v = Words(names);
        card ? SortCardOrder(v) : SortFolderOrder(v);
        return v;
    };
    // The card compares character codes, a folder ignores case; folding to lower case puts '_'
    // (0x5F) before letters, as the file system does; ties are ordered by bytes.
    EXPECT_EQ(sorted(true, "F2.MOV f1.mov F3.MOV"), Words("F2.MOV F3.MOV f1.mov"));
    EXPECT_EQ(sorted(false, "F2.MOV f1.mov F3.MOV"), Words("f1.mov F2.MOV F3.MOV"));
    EXPECT_EQ(sorted(false, "B.MOV _.MOV a.MOV"), Words("_.MOV a.MOV B.MOV"));
    EXPECT_EQ(sorted(false, "a.mov A.MOV A.mov"), Words("A.MOV A.mov a.mov"));
}

// A dropped file is taken for a .mov or .MOV of at least 8 characters.
TEST(RecordingOrder, DroppedNames) {
    for (const char* taken :
         {"/m/clip.MOV", "/m/clip.mov", "/x/a.mov", "ab/a.MOV", "/\xc3\xa9\xc3\xa9\xc3\xa9.mov"})
        EXPECT_TRUE(IsDroppedMovieName(taken)) << taken;
    for (const char* left : {"/m/clip.Mov", "/a.mov", "/xa.mov", "/m/clip.mp4", "/m/clip.mov ",
                             "/m/clip.MOv", "\xc3\xa9\xc3\xa9.mov", ""})
        EXPECT_FALSE(IsDroppedMovieName(left)) << left;
}

TEST(RecordingOrder, ListsMoviesOnlyAndCardFoldersInOrder) {
    TempDir dir;
    for (const char* name : {"FILE0001.MOV", "file0002.mov", "clip.Mov", ".MOV", "FILE0001.DAT",
                             "MOV", "notes.txt", "sub/FILE0009.MOV"})
        dir.write(std::string("f/") + name, "x");
    dir.makeDir("f/folder.MOV");
    std::vector<std::string> found = ListMovieFiles(dir.file("f"));
    SortCardOrder(found);
    EXPECT_EQ(found,
              (std::vector<std::string>{dir.file("f/.MOV"), dir.file("f/FILE0001.MOV"),
                                        dir.file("f/clip.Mov"), dir.file("f/file0002.mov")}));
    EXPECT_TRUE(ListMovieFiles(dir.file("missing")).empty());

    for (const char* folder : {"103MEDIA", "100MEDIA", "105MEDIA"})
        dir.makeDir(std::string("card/DCIM/") + folder);
    dir.write("card/DCIM/101MEDIA", "x"); // a file, not a folder
    EXPECT_EQ(
        CardMediaFolders(dir.file("card/")),
        (std::vector<std::string>{dir.file("card/DCIM/100MEDIA"), dir.file("card/DCIM/103MEDIA")}));
}

// A row's marker: "*" without telemetry, "+" for a read-only movie; the time when the header
// holds one.
TEST(RecordingLibrary, RowTextMarkersAndTime) {
    TempDir dir;
    // 2010-01-02 03:04:05 UTC, 59.9 s at scale 1000.
    const std::string header = CameraMovie(1262401445u + kSecondsFrom1904To1970, 1000, 59900);
    for (const char* name : {"WITHDAT", "NODAT", "READONLY"})
        dir.write(std::string("M/") + name + ".MOV", header);
    const std::string dat = dir.write("M/WITHDAT.DAT", "[S]\t1\t2\t3\n");
    fs::permissions(dir.file("M/READONLY.MOV"), fs::perms::owner_read);
    dir.write("M/UNSET.MOV", CameraMovie(0, 1, 5));
    const struct {
        const char* name;
        const char* marker;
        bool time, telemetry;
    } cases[] = {{"WITHDAT", "", true, true},
                 {"NODAT", "*", true, false},
                 {"READONLY", "+", true, false},
                 {"UNSET", "*", false, false},
                 {"GONE", "*", false, false}};
    RecordingLibrary lib;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string movie = dir.file(std::string("M/") + c.name + ".MOV");
        RecordingRow row;
        ASSERT_TRUE(lib.Add(movie, row));
        const RecordingEntry& e = lib.entry(lib.entryCount() - 1);
        EXPECT_EQ(row.marker, c.marker);
        EXPECT_EQ(row.path, movie);
        EXPECT_EQ(row.timeText, c.time ? "03:04:05 01-02-2010" : "");
        EXPECT_EQ(e.moviePath, movie);
        EXPECT_EQ(e.telemetryPath, c.telemetry ? dat : "");
    }
    EXPECT_EQ(lib.entryCount(), 5);
}

// The 512th add still succeeds, the 513th is refused; Clear empties the list but keeps the
// current index, and adds land at the front again.
TEST(RecordingLibrary, CapacityClearAndDuplicates) {
    RecordingLibrary lib;
    RecordingRow row;
    for (int i = 0; i < RecordingLibrary::kCapacity; ++i)
        ASSERT_TRUE(lib.Add("/nowhere/same.MOV", row)) << i;
    EXPECT_TRUE(lib.isFull());
    row.path = "untouched";
    EXPECT_FALSE(lib.Add("/nowhere/513.MOV", row));
    EXPECT_EQ(row.path, "untouched");
    EXPECT_EQ(lib.entryCount(), 512);
    EXPECT_EQ(lib.entry(511).moviePath, "/nowhere/same.MOV");
    lib.SetCurrentIndex(2);
    lib.Clear();
    EXPECT_EQ(lib.entryCount(), 0);
    EXPECT_EQ(lib.currentIndex(), 2);
    EXPECT_TRUE(lib.entry(0).moviePath.empty());
    lib.Add("/m/new.MOV", row);
    EXPECT_EQ(lib.entry(0).moviePath, "/m/new.MOV");
}

TEST(RecordingLibrary, RemovalKeepsCurrentOnTheSameRecording) {
    const struct {
        const char* name;
        int count, current, remove;
        int countAfter, currentAfter;
    } cases[] = {
        {"row 2 of 5 while row 4 is current", 5, 4, 2, 4, 3},
        {"current row moves to its predecessor", 5, 3, 3, 4, 2},
        {"current row 0 stays 0", 5, 0, 0, 4, 0},
        {"row after current leaves it", 5, 1, 3, 4, 1},
        {"nothing chosen stays -1", 5, -1, 2, 4, -1},
        {"last row", 5, 4, 4, 4, 3},
        {"out of range changes nothing", 5, 2, 5, 5, 2},
        {"negative changes nothing", 5, 2, -1, 5, 2},
    };
    for (const auto& c : cases) {
        RecordingLibrary lib;
        RecordingRow row;
        for (int i = 0; i < c.count; ++i)
            lib.Add("/m/" + std::to_string(i) + ".MOV", row);
        lib.SetCurrentIndex(c.current);
        const std::string currentPath =
            c.current >= 0 ? lib.entry(c.current).moviePath : std::string();
        lib.Remove(c.remove);
        EXPECT_EQ(lib.entryCount(), c.countAfter) << c.name;
        EXPECT_EQ(lib.currentIndex(), c.currentAfter) << c.name;
        if (c.current >= 0 && c.current != c.remove && c.remove >= 0 && c.remove < c.count) {
            EXPECT_EQ(lib.entry(lib.currentIndex()).moviePath, currentPath) << c.name;
        }
        // Entries stay contiguous and the freed slot is empty.
        for (int i = 0, expect = 0; i < lib.entryCount(); ++i, ++expect) {
            if (expect == c.remove)
                ++expect;
            EXPECT_EQ(lib.entry(i).moviePath, "/m/" + std::to_string(expect) + ".MOV") << c.name;
        }
        if (lib.entryCount() < c.count) {
            EXPECT_TRUE(lib.entry(lib.entryCount()).moviePath.empty()) << c.name;
        }
    }
}

TEST(RecordingLibrary, DeletingFilesSparesFolders) {
    TempDir dir;
    const std::string movie = dir.write("a/FILE0001.MOV", "x");
    const std::string dat = dir.write("a/FILE0001.DAT", "x");
    DeleteRecordingFiles({movie, dat});
    EXPECT_FALSE(fs::exists(movie));
    EXPECT_FALSE(fs::exists(dat));
    dir.makeDir("b/EMPTY.MOV");
    DeleteRecordingFiles({dir.file("b/EMPTY.MOV"), dir.file("b/missing.DAT")});
    EXPECT_TRUE(fs::is_directory(dir.file("b/EMPTY.MOV")));
}

} // namespace
} // namespace quello
