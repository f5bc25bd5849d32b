// The recording library storage and its ordering, filtering and index rules, over real files.
#include "recordings/RecordingLibrary.h"
#include "recordings/MovieListing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quello {
namespace {

namespace fs = std::filesystem;

class LibraryFolder {
public:
    LibraryFolder() {
        std::string pattern = (fs::temp_directory_path() / "quello-library-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
    }
    ~LibraryFolder() {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }
    std::string Write(const std::string& rel, const std::string& bytes = "x") const {
        const std::string p = path(rel);
        fs::create_directories(fs::path(p).parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::string root_;
};

void PutBe32(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v >> 24);
    s[at + 1] = static_cast<char>(v >> 16);
    s[at + 2] = static_cast<char>(v >> 8);
    s[at + 3] = static_cast<char>(v);
}

// The camera's layout: a 24-byte ftyp, then moov whose first child is a version-0 mvhd.
std::string CameraMovieHeader(std::uint32_t created1904, std::uint32_t scale,
                              std::uint32_t duration) {
    std::string s(24 + 8 + 108, '\0');
    PutBe32(s, 0, 24);
    s.replace(4, 4, "ftyp");
    s.replace(8, 4, "qt  ");
    PutBe32(s, 24, 8 + 108);
    s.replace(28, 4, "moov");
    PutBe32(s, 32, 108);
    s.replace(36, 4, "mvhd");
    PutBe32(s, 44, created1904);
    PutBe32(s, 48, created1904);
    PutBe32(s, 52, scale);
    PutBe32(s, 56, duration);
    return s;
}

constexpr std::uint32_t kSecondsTo1970 = 2082844800u;

TEST(RecordingOrder, FolderAndCardOrders) {
    struct Case {
        const char* name;
        bool card;
        std::vector<std::string> in, out;
    };
    const Case cases[] = {
        {"folder ignores case",
         false,
         {"/d/FILE0002.MOV", "/d/file0001.mov", "/d/FILE0003.MOV"},
         {"/d/file0001.mov", "/d/FILE0002.MOV", "/d/FILE0003.MOV"}},
        {"card compares character codes",
         true,
         {"/d/FILE0002.MOV", "/d/file0001.mov", "/d/FILE0003.MOV"},
         {"/d/FILE0002.MOV", "/d/FILE0003.MOV", "/d/file0001.mov"}},
        // Lower-case folding puts '_' (0x5F) before letters, as the file system's
        // case-blind comparison does.
        {"folder folds to lower case",
         false,
         {"/d/B.MOV", "/d/_.MOV", "/d/a.MOV"},
         {"/d/_.MOV", "/d/a.MOV", "/d/B.MOV"}},
        {"folder ties are stable by bytes",
         false,
         {"/d/a.mov", "/d/A.MOV", "/d/A.mov"},
         {"/d/A.MOV", "/d/A.mov", "/d/a.mov"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> v = c.in;
        if (c.card)
            SortCardOrder(v);
        else
            SortFolderOrder(v);
        EXPECT_EQ(v, c.out) << c.name;
    }
}

TEST(RecordingOrder, DroppedNames) {
    const struct {
        const char* path;
        bool taken;
    } cases[] = {
        {"/m/clip.Mov", false},
        {"/m/clip.MOV", true},
        {"/m/clip.mov", true},
        {"/a.mov", false},
        {"/x/a.mov", true},
        {"/xa.mov", false},
        {"ab/a.MOV", true},
        {"/m/clip.mp4", false},
        {"/m/clip.mov ", false},
        {"/m/clip.MOv", false},
        {"\xc3\xa9\xc3\xa9.mov", false}, // 6 characters, 8 bytes
        {"/\xc3\xa9\xc3\xa9\xc3\xa9.mov", true},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDroppedMovieName(c.path), c.taken) << c.path;
}

TEST(RecordingOrder, ListsMoviesOnlyAndCardFoldersInOrder) {
    LibraryFolder dir;
    dir.Write("f/FILE0001.MOV");
    dir.Write("f/file0002.mov");
    dir.Write("f/clip.Mov");
    dir.Write("f/FILE0001.DAT");
    dir.Write("f/notes.txt");
    dir.Write("f/sub/FILE0009.MOV");
    fs::create_directories(dir.path("f/folder.MOV"));
    std::vector<std::string> found = ListMovieFiles(dir.path("f"));
    SortCardOrder(found);
    EXPECT_EQ(found, (std::vector<std::string>{dir.path("f/FILE0001.MOV"), dir.path("f/clip.Mov"),
                                               dir.path("f/file0002.mov")}));
    EXPECT_TRUE(ListMovieFiles(dir.path("missing")).empty());

    fs::create_directories(dir.path("card/DCIM/103MEDIA"));
    fs::create_directories(dir.path("card/DCIM/100MEDIA"));
    fs::create_directories(dir.path("card/DCIM/105MEDIA"));
    dir.Write("card/DCIM/101MEDIA"); // a file, not a folder
    EXPECT_EQ(
        CardMediaFolders(dir.path("card/")),
        (std::vector<std::string>{dir.path("card/DCIM/100MEDIA"), dir.path("card/DCIM/103MEDIA")}));
}

TEST(RecordingLibrary, RowTextMarkersAndTime) {
    LibraryFolder dir;
    // 2010-01-02 03:04:05 UTC, 59.9 s at scale 1000.
    const std::string header = CameraMovieHeader(1262401445u + kSecondsTo1970, 1000, 59900);
    const std::string withDat = dir.Write("c/DCIM/100MEDIA/FILE0001.MOV", header);
    dir.Write("c/DCIM/100MEDIA/FILE0001.DAT", "[S]\t1\t2\t3\n");
    const std::string inInfo = dir.Write("c/DCIM/100MEDIA/FILE0002.MOV", header);
    dir.Write("c/DCIM/INFO/FILE0002.DAT", "[S]\t1\t2\t3\n");
    const std::string noDat = dir.Write("c/DCIM/100MEDIA/FILE0003.MOV", header);
    const std::string readOnlyNoDat = dir.Write("c/DCIM/100MEDIA/FILE0004.MOV", header);
    fs::permissions(readOnlyNoDat, fs::perms::all, fs::perm_options::remove);
    fs::permissions(readOnlyNoDat, fs::perms::owner_read, fs::perm_options::add);
    const std::string unset = dir.Write("c/DCIM/100MEDIA/FILE0005.MOV", CameraMovieHeader(0, 1, 5));
    const std::string missing = dir.path("c/DCIM/100MEDIA/GONE0001.MOV");

    const struct {
        std::string movie;
        std::string marker, time, telemetry;
    } cases[] = {
        {withDat, "", "03:04:05 01-02-2010", dir.path("c/DCIM/100MEDIA/FILE0001.DAT")},
        {inInfo, "", "03:04:05 01-02-2010", dir.path("c/DCIM/INFO/FILE0002.DAT")},
        {noDat, "*", "03:04:05 01-02-2010", ""},
        {readOnlyNoDat, "+", "03:04:05 01-02-2010", ""},
        {unset, "*", "", ""},
        {missing, "*", "", ""},
    };
    RecordingLibrary lib;
    for (const auto& c : cases) {
        RecordingRow row;
        ASSERT_TRUE(lib.Add(c.movie, row));
        const RecordingEntry& e = lib.entry(lib.entryCount() - 1);
        EXPECT_EQ(row.marker, c.marker) << c.movie;
        EXPECT_EQ(row.path, c.movie);
        EXPECT_EQ(row.timeText, c.time) << c.movie;
        EXPECT_EQ(e.moviePath, c.movie);
        EXPECT_EQ(e.telemetryPath, c.telemetry) << c.movie;
    }
    EXPECT_EQ(lib.entryCount(), 6);
}

TEST(RecordingLibrary, CapacityAndDuplicates) {
    RecordingLibrary lib;
    RecordingRow row;
    for (int i = 0; i < RecordingLibrary::kCapacity; ++i)
        ASSERT_TRUE(lib.Add("/nowhere/same.MOV", row)) << i; // the 512th still succeeds
    EXPECT_TRUE(lib.isFull());
    row.path = "untouched";
    EXPECT_FALSE(lib.Add("/nowhere/513.MOV", row));
    EXPECT_EQ(row.path, "untouched");
    EXPECT_EQ(lib.entryCount(), 512);
    EXPECT_EQ(lib.entry(511).moviePath, "/nowhere/same.MOV");
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
        lib.setCurrentIndex(c.current);
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

TEST(RecordingLibrary, ClearKeepsCurrentAndAddsLandAtTheEnd) {
    RecordingLibrary lib;
    RecordingRow row;
    for (int i = 0; i < 3; ++i)
        lib.Add("/m/" + std::to_string(i) + ".MOV", row);
    lib.setCurrentIndex(2);
    lib.Clear();
    EXPECT_EQ(lib.entryCount(), 0);
    EXPECT_EQ(lib.currentIndex(), 2);
    EXPECT_TRUE(lib.entry(0).moviePath.empty());
    lib.Add("/m/new.MOV", row);
    EXPECT_EQ(lib.entry(0).moviePath, "/m/new.MOV");
}

TEST(RecordingLibrary, DeletingFilesSparesFolders) {
    LibraryFolder dir;
    const std::string movie = dir.Write("a/FILE0001.MOV");
    const std::string dat = dir.Write("a/FILE0001.DAT");
    DeleteRecordingFiles({movie, dat});
    EXPECT_FALSE(fs::exists(movie));
    EXPECT_FALSE(fs::exists(dat));
    fs::create_directories(dir.path("b/EMPTY.MOV"));
    DeleteRecordingFiles({dir.path("b/EMPTY.MOV"), dir.path("b/missing.DAT")});
    EXPECT_TRUE(fs::is_directory(dir.path("b/EMPTY.MOV")));
}

} // namespace
} // namespace quello
