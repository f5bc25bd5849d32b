// The recording library: what it reads of each movie (its header, its telemetry file), its
// ordering, filtering and index rules, over real files.
#include "recordings/RecordingLibrary.h"
#include "recordings/MovieHeader.h"
#include "recordings/MovieListing.h"

#include "tests/support/MovieBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quello {
namespace {

namespace fs = std::filesystem;
using test::Be;
using test::Box;
using test::CameraMovie;
using test::kCameraFtyp;
using test::Mvhd;
using test::TempDir;
using Bytes = std::string;
using Paths = std::vector<std::string>;

// Count and current index of a library, then its first six slots ("-" when empty).
std::string State(const RecordingLibrary& lib) {
    std::string state =
        std::to_string(lib.entryCount()) + " " + std::to_string(lib.currentIndex()) + ":";
    for (int i = 0; i < 6; ++i)
        state += " " + (lib.entry(i).moviePath.empty() ? "-" : lib.entry(i).moviePath);
    return state;
}

Bytes LargeBox(const char* type, const Bytes& body) {
    return Be(1, 4) + type + Be(body.size() + 16, 8) + body;
}

// What the reader leaves in its outputs: the creation time as a row shows it ("-" when left
// alone), the duration and the read-only flag, these two preset to values it never writes.
std::string Read(const std::string& path) {
    std::tm t{};
    std::uint32_t duration = 12345;
    int readOnly = -1;
    ReadMovieHeader(path, t, duration, readOnly);
    return (t.tm_mday ? FormatRecordingTime(t) : "-") + " " + std::to_string(duration) + " " +
           std::to_string(readOnly);
}

TEST(ReadMovieHeader, ReadsTheMovieHeaderBoxWhereverItIs) {
    const std::uint64_t y2012 = 2082844800ull + 1330837567;
    const std::string at2012 = "05:06:07 03-04-2012 ";
    const struct {
        const char* name;
        Bytes content;
        std::string read;
        mode_t mode = 0644; // read-only means no write bit at all
    } cases[] = {
        {"camera layout", CameraMovie(y2012, 1000, 61500), at2012 + "61 0"},
        {"moov after mdat, mvhd not first",
         Box("ftyp", "qt  ") + Box("mdat", Bytes(3000, 'U')) +
             Box("moov", Box("trak", "t") + Mvhd(0, y2012, 90000, 900000)),
         at2012 + "10 0"},
        {"before 1970", CameraMovie(2082844799, 1000, 5000), "- 12345 0"},
        {"epoch start", CameraMovie(2082844800, 1, 5), "00:00:00 01-01-1970 5 0"},
        {"after 32-bit time", CameraMovie(4230328448, 600, 1200), "03:14:08 01-19-2038 2 0"},
        {"time scale 0", CameraMovie(y2012, 0, 95), at2012 + "95 0"},
        {"version 1 past 2106",
         kCameraFtyp + Box("moov", Mvhd(1, 2082844800ull + 4418409600, 10, 0x500000000ull)),
         "00:00:00 01-06-2110 2147483648 0"},
        {"version 1 duration saturates", kCameraFtyp + Box("moov", Mvhd(1, y2012, 1, ~0ull)),
         at2012 + "4294967295 0"},
        {"64-bit box sizes", LargeBox("mdat", "abc") + LargeBox("moov", Mvhd(0, y2012, 2, 8)),
         at2012 + "4 0"},
        {"moov size 0 runs to end", kCameraFtyp + Be(0, 4) + "moov" + Mvhd(0, y2012, 1, 3),
         at2012 + "3 0"},
        {"moov size overruns file",
         kCameraFtyp + Be(5000, 4) + "moov" + Mvhd(0, y2012, 1, 9) + "tail", at2012 + "9 0"},
        {"mvhd cut short", CameraMovie(y2012, 1000, 61500).substr(0, 58), "- 12345 0"},
        {"garbage box size", kCameraFtyp + Be(3, 4) + "junk" + Box("moov", Mvhd(0, y2012, 1, 3)),
         "- 12345 0"},
        {"mvhd outside moov", kCameraFtyp + Mvhd(0, y2012, 1, 3), "- 12345 0"},
        {"unknown mvhd version", kCameraFtyp + Box("moov", Mvhd(2, y2012, 1, 3)), "- 12345 0"},
        {"empty file", Bytes(), "- 12345 0"},
        {"read-only", CameraMovie(0, 1, 1), "- 12345 1", 0444},
        {"group may write", CameraMovie(0, 1, 1), "- 12345 0", 0460},
        {"others may write", CameraMovie(0, 1, 1), "- 12345 0", 0402},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(std::string(c.name) + ".MOV", c.content);
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(Read(path), c.read);
    }
    // What can't be opened as a file is left alone entirely.
    EXPECT_EQ(Read(dir.file("missing.MOV")), "- 12345 -1");
    EXPECT_EQ(Read(dir.makeDir("folder.MOV")), "- 12345 -1");
}

// Beside the movie, then in INFO one level up, names compared without case; the movie path is
// relative to the test folder, the current folder meanwhile, unless it starts with '/'.
TEST(FindTelemetryFile, LooksBesideThenInInfoIgnoringCase) {
    const struct {
        const char* name;
        std::vector<const char*> files; // created inside the test folder; M is a media folder
        const char* movie;
        const char* expected; // nullptr: not found
    } cases[] = {
        {"beside", {"DCIM/M/F1.DAT", "DCIM/INFO/F1.DAT"}, "DCIM/M/F1.MOV", "DCIM/M/F1.DAT"},
        {"info folder", {"DCIM/INFO/F1.DAT"}, "DCIM/M/F1.MOV", "DCIM/INFO/F1.DAT"},
        {"case-insensitive beside", {"DCIM/M/f1.dat"}, "DCIM/M/F1.mov", "DCIM/M/f1.dat"},
        {"case-insensitive info", {"DCIM/info/f1.Dat"}, "DCIM/M/F1.MOV", "DCIM/info/f1.Dat"},
        {"exact name first", {"DCIM/M/F1.DAT", "DCIM/M/f1.dat"}, "DCIM/M/F1.MOV", "DCIM/M/F1.DAT"},
        {"dot-dot resolved", {"INFO/F1.DAT"}, "DCIM/M/../F1.MOV", "INFO/F1.DAT"},
        {"a folder is no file", {"DCIM/M/F1.DAT/x"}, "DCIM/M/F1.MOV", nullptr},
        {"only two levels", {"INFO/F1.DAT"}, "DCIM/M/F1.MOV", nullptr},
        {"none", {"DCIM/INFO/F2.DAT"}, "DCIM/M/F1.MOV", nullptr},
        {"6 characters, 8 bytes", {"\xc3\xa9\xc3\xa9.DAT"}, "\xc3\xa9\xc3\xa9.MOV", nullptr},
        {"8 characters", {"abc\xc3\xa9.DAT"}, "abc\xc3\xa9.MOV", "abc\xc3\xa9.DAT"},
        {"last 3 characters go", {"ab/\xc3\xbf.DAT"}, "ab/\xc3\xbf.MO\xc3\xbf", "ab/\xc3\xbf.DAT"},
        {"empty", {}, "", nullptr},
        {"root is its own parent", {}, "/no-such-quello-movie.MOV", nullptr},
    };
    const auto previous = fs::current_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::current_path(dir.path());
        dir.write("DCIM/M/F1.MOV", "");
        for (const char* f : c.files)
            dir.write(f, "");
        std::string found = "untouched";
        EXPECT_EQ(FindTelemetryFile(c.movie, found), c.expected != nullptr);
        std::error_code ec;
        EXPECT_TRUE(c.expected ? fs::equivalent(found, dir.file(c.expected), ec)
                               : found == "untouched")
            << found;
    }
    fs::current_path(previous);
}

// A dropped file is taken for a .mov or .MOV of at least 8 characters (the window's tests drop
// other kinds of files).
TEST(RecordingOrder, DroppedNames) {
    for (const char* taken : {"/x/a.mov", "ab/a.MOV", "/\xc3\xa9\xc3\xa9\xc3\xa9.mov"})
        EXPECT_TRUE(IsDroppedMovieName(taken)) << taken;
    for (const char* left : {"/xa.mov", "/m/clip.mov ", "/m/clip.MOv", "\xc3\xa9\xc3\xa9.mov", ""})
        EXPECT_FALSE(IsDroppedMovieName(left)) << left;
}

// A folder lists its own movie files, any case of the extension, a card its media folders 100
// to 104. The card compares character codes, a folder ignores case; folding to lower case puts
// '_' (0x5F) before letters, as the file system does; ties are ordered by bytes.
TEST(RecordingOrder, ListsMoviesAndCardFoldersInTheirOrders) {
    const auto sorted = [](bool card, Paths v) {
        card ? SortCardOrder(v) : SortFolderOrder(v);
        return v;
    };
    EXPECT_EQ(sorted(true, {"F2.MOV", "f1.mov", "F3.MOV"}), (Paths{"F2.MOV", "F3.MOV", "f1.mov"}));
    EXPECT_EQ(sorted(false, {"F2.MOV", "f1.mov", "F3.MOV"}), (Paths{"f1.mov", "F2.MOV", "F3.MOV"}));
    EXPECT_EQ(sorted(false, {"B.MOV", "_.MOV", "a.MOV"}), (Paths{"_.MOV", "a.MOV", "B.MOV"}));
    EXPECT_EQ(sorted(false, {"a.mov", "A.MOV", "A.mov"}), (Paths{"A.MOV", "A.mov", "a.mov"}));

    TempDir dir;
    for (const char* name : {"f/FILE0001.MOV", "f/clip.Mov", "f/.MOV", "f/MOV", "f/notes.txt",
                             "f/sub/FILE0009.MOV", "card/DCIM/101MEDIA"})
        dir.write(name, "x");
    for (const char* folder :
         {"f/folder.MOV", "card/DCIM/103MEDIA", "card/DCIM/100MEDIA", "card/DCIM/105MEDIA"})
        dir.makeDir(folder);
    EXPECT_EQ(sorted(true, ListMovieFiles(dir.file("f"))),
              (Paths{dir.file("f/.MOV"), dir.file("f/FILE0001.MOV"), dir.file("f/clip.Mov")}));
    EXPECT_TRUE(ListMovieFiles(dir.file("missing")).empty());
    EXPECT_EQ(CardMediaFolders(dir.file("card/")),
              (Paths{dir.file("card/DCIM/100MEDIA"), dir.file("card/DCIM/103MEDIA")}));
}

// A row's marker: "*" without telemetry, "+" for a read-only movie; the time when the header
// holds one (2010-01-02 03:04:05 UTC here).
TEST(RecordingLibrary, RowTextMarkersAndTime) {
    TempDir dir;
    for (const char* name : {"WITHDAT", "NODAT", "READONLY"})
        dir.write(std::string("M/") + name + ".MOV",
                  CameraMovie(1262401445u + test::kSecondsFrom1904To1970, 1000, 59900));
    const std::string dat = dir.write("M/WITHDAT.DAT", "[S]\t1\t2\t3\n");
    fs::permissions(dir.file("M/READONLY.MOV"), fs::perms::owner_read);
    RecordingLibrary lib;
    std::string rows; // marker, time and telemetry file of each row
    for (const char* name : {"WITHDAT", "NODAT", "READONLY", "GONE"}) {
        const std::string movie = dir.file(std::string("M/") + name + ".MOV");
        RecordingRow row;
        ASSERT_TRUE(lib.Add(movie, row));
        const RecordingEntry& e = lib.entry(lib.entryCount() - 1);
        EXPECT_TRUE(row.path == movie && e.moviePath == movie) << name;
        rows += row.marker + "|" + row.timeText + "|" + e.telemetryPath + "\n";
    }
    const std::string time = "03:04:05 01-02-2010";
    EXPECT_EQ(rows, "|" + time + "|" + dat + "\n*|" + time + "|\n+|" + time + "|\n*||\n");
}

// The same movie may be added again (the window's tests fill the library to its 512 rows);
// Clear empties the list but keeps the current index, and adds land at the front again.
TEST(RecordingLibrary, DuplicatesAndClear) {
    RecordingLibrary lib;
    RecordingRow row;
    for (int i = 0; i < 3; ++i)
        lib.Add("/a", row);
    lib.SetCurrentIndex(2);
    EXPECT_EQ(State(lib), "3 2: /a /a /a - - -");
    lib.Clear();
    lib.Add("/b", row);
    EXPECT_EQ(State(lib), "1 2: /b - - - - -");
}

// Removing a row moves the later ones up, empties the freed slot and keeps the current index
// on the same recording where it can (the window's tests remove rows before and at it). The
// library takes 512 rows and refuses the next; a full one still removes and clears without
// touching a slot past its last.
TEST(RecordingLibrary, RemovalKeepsCurrentOnTheSameRecording) {
    const struct {
        const char* name;
        int added; // "/a" to "/e", then "/5", "/6"...
        int current, remove;
        const char* after; // State()
    } cases[] = {
        {"current row moves to its predecessor", 5, 3, 3, "4 2: /a /b /c /e - -"},
        {"row after current leaves it", 5, 1, 3, "4 1: /a /b /c /e - -"},
        {"nothing chosen stays -1", 5, -1, 2, "4 -1: /a /b /d /e - -"},
        {"last row", 5, 4, 4, "4 3: /a /b /c /d - -"},
        {"out of range changes nothing", 5, 2, 5, "5 2: /a /b /c /d /e -"},
        {"negative changes nothing", 5, 2, -1, "5 2: /a /b /c /d /e -"},
        {"first row of a full library", 512, 511, 0, "511 510: /b /c /d /e /5 /6"},
        {"513th row refused, 512 out of range", 513, 7, 512, "512 7: /a /b /c /d /e /5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto lib = std::make_unique<RecordingLibrary>();
        RecordingRow row;
        for (int i = 0; i < c.added; ++i) {
            const std::string path =
                i < 5 ? std::string("/") + char('a' + i) : "/" + std::to_string(i);
            ASSERT_EQ(lib->Add(path, row), i < RecordingLibrary::kCapacity) << path;
        }
        lib->SetCurrentIndex(c.current);
        lib->Remove(c.remove);
        EXPECT_EQ(State(*lib), c.after);
        lib->Clear();
        EXPECT_EQ(lib->entryCount(), 0);
    }
}

TEST(RecordingLibrary, DeletingFilesSparesFolders) {
    TempDir dir;
    const std::string movie = dir.write("a/FILE0001.MOV", "x");
    const std::string dat = dir.write("a/FILE0001.DAT", "x");
    DeleteRecordingFiles({movie, dat});
    DeleteRecordingFiles({dir.makeDir("b/EMPTY.MOV"), dir.file("b/missing.DAT")});
    EXPECT_FALSE(fs::exists(movie) || fs::exists(dat));
    EXPECT_TRUE(fs::is_directory(dir.file("b/EMPTY.MOV")));
}

} // namespace
} // namespace quello
