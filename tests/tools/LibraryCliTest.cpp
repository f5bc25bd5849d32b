// The library through the real `quello` program: import from a card and from folders, the
// second import that reads nothing, find, verify and rebuild, and the faults of a real import
// (made to happen by tests/support/ImportFaults.c, preloaded).
#include "LibraryCard.h"

#include "tests/support/TmpfsMount.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace quello::test {
namespace {

TEST(LibraryCli, ImportsACardKeepsItUnchangedAndFindsItsMoments) {
    const TempDir dir;
    const std::string card = MakeCard(dir, "card");
    const std::string library = dir.file("library");
    const auto before = Tree(card);

    // A library whose parent is missing is a disk not plugged in: nothing is made.
    ProgramResult r = RunQuello({"import", card, "--to", dir.file("unplugged/library")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.file("unplugged")));

    r = RunQuello({"import", card, "--to", library});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("copied 5 files (2 recordings"), std::string::npos) << r.out;
    EXPECT_EQ(Tree(card), before);
    const std::string day = library + "/2026/2026-05-16/";
    EXPECT_EQ(TempDir::read(day + "094100_FILE0001.MOV"), Movie(kStart, 60, 1));
    EXPECT_EQ(TempDir::read(day + "094100_FILE0001.DAT"), Dat(60, 22.6, true));
    EXPECT_EQ(TempDir::read(day + "094200_FILE0002.DAT"), Dat(60, 22.606, false));
    EXPECT_TRUE(fs::exists(day + "GPSLOG/20260516.log"));
    struct stat st {};
    ASSERT_EQ(::stat((day + "094200_FILE0002.MOV").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u) << "the locked recording stays read-only";
    EXPECT_EQ(st.st_mtim.tv_sec, kStart + 120) << "the modification time is kept";

    // The second import recognises every file without reading one: reads of the card fail.
    r = RunFaulty({"QUELLO_FAULT_EIO=" + card + "/DCIM@0"}, {"import", card, "--to", library});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("copied 0 files"), std::string::npos) << r.out;
    EXPECT_EQ(Stored(library, "setup.cfg").size(), 1u) << "one record: the import that copied";

    const struct {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> paths;
    } queries[] = {
        {"near the first",
         {"--near", "22.6020,114.05", "--radius", "30"},
         {"2026/2026-05-16/094100_FILE0001.MOV"}},
        {"near both ends",
         {"--near", "22.6060,114.05", "--radius", "60"},
         {"2026/2026-05-16/094100_FILE0001.MOV", "2026/2026-05-16/094200_FILE0002.MOV"}},
        {"nowhere", {"--near", "48.85,2.35"}, {}},
        {"a braking", {"--events", "braking"}, {"2026/2026-05-16/094100_FILE0001.MOV"}},
        {"locked", {"--protected"}, {"2026/2026-05-16/094200_FILE0002.MOV"}},
        {"from the second minute",
         {"--from", "2026-05-16 09:42:30"},
         {"2026/2026-05-16/094200_FILE0002.MOV"}},
        {"the day before", {"--to", "2026-05-15"}, {}},
    };
    std::map<std::string, nlohmann::json> answers;
    for (const auto& q : queries) {
        SCOPED_TRACE(q.name);
        answers[q.name] = Find(library, q.args);
        EXPECT_EQ(Paths(answers[q.name]), q.paths);
    }
    const auto near = answers["near the first"];
    ASSERT_EQ(near.size(), 1u);
    EXPECT_EQ(near[0]["seconds"].dump(), R"([{"from":20,"to":24}])");

    // The index is rebuilt from the files alone, damaged or not, to the same answers.
    for (const bool damage : {false, true}) {
        SCOPED_TRACE(damage ? "damaged" : "removed");
        if (damage)
            dir.write("library/library.sqlite", std::string(8192, 'x'));
        else
            fs::remove(library + "/library.sqlite");
        if (damage) {
            r = RunQuello({"find", library, "--events"});
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.err.find("quello index"), std::string::npos) << r.err;
        }
        r = RunQuello({"index", library});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        for (const auto& q : queries)
            EXPECT_EQ(Find(library, q.args), answers[q.name]) << q.name;
    }
    EXPECT_EQ(TempDir::read(day + "094100_FILE0001.MOV"), Movie(kStart, 60, 1));

    // A byte that changed on the disk is found by verify.
    r = RunQuello({"verify", library});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    dir.write("library/2026/2026-05-16/094100_FILE0001.DAT", Dat(60, 22.7, true));
    r = RunQuello({"verify", library});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("094100_FILE0001.DAT: changed since import"), std::string::npos) << r.out;
}

// Each fault fails what it hits and nothing else: no partial file under any name, no index row
// for a file that is not there, a non-zero exit; the next import completes the library.
TEST(LibraryCli, AFaultMidImportLeavesNothingHalfDoneAndTheNextImportCompletes) {
    const struct {
        const char* name;
        std::vector<std::string> env;
        int exitCode;
        const char* says; // in the output
        int moviesStored; // after the faulty import
        int indexed = moviesStored;
    } cases[] = {
        {"a file vanished", {"QUELLO_FAULT_GONE=FILE0002.MOV"}, 1, "FILE0002.MOV: open", 1},
        {"a read error", {"QUELLO_FAULT_EIO=FILE0001.MOV@65536"}, 1, "FILE0001.MOV: read", 1},
        {"a copy read back wrong once", {"QUELLO_FAULT_FLIP=FILE0001:1"}, 0, "copied 5", 2},
        {"a copy always read back wrong",
         {"QUELLO_FAULT_FLIP=FILE0001:2"},
         1,
         "read back differs",
         1},
        {"killed mid-copy", {"QUELLO_FAULT_KILL=65536"}, 128 + 9, "", 0},
        {"killed between the rename and the index",
         {"QUELLO_FAULT_KILL_RENAMED=1"},
         128 + 9,
         "",
         1,
         0},
        {"Ctrl+C mid-copy", {"QUELLO_FAULT_INTERRUPT=65536"}, 1, "stopped; run it again", 0},
        {"too little space", {"QUELLO_FAULT_FREE=100000000"}, 1, "not enough free space", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const std::string card = MakeCard(dir, "card");
        const std::string library = dir.file("library");
        ProgramResult r = RunFaulty(c.env, {"import", card, "--to", library});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
        EXPECT_EQ(int(Stored(library, ".MOV").size()), c.moviesStored);
        if (c.exitCode != 128 + 9) {
            EXPECT_EQ(Leftovers(library), std::vector<std::string>());
        }
        if (c.indexed > 0) {
            EXPECT_EQ(Find(library, {}).size(), std::size_t(c.indexed));
        }

        r = RunQuello({"import", card, "--to", library});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(Stored(library, ".MOV").size(), 2u);
        EXPECT_EQ(Stored(library, ".DAT").size(), 2u);
        EXPECT_EQ(Leftovers(library), std::vector<std::string>());
        r = RunQuello({"verify", library});
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    }
}

TEST(LibraryCli, AFullLibraryDiskStopsTheImportCleanly) {
    const TempDir dir;
    const std::string card = MakeCard(dir, "card");
    const std::string library = dir.makeDir("library");
    const TmpfsMount disk(library, 300000); // room for the first recording only
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    const ProgramResult r =
        RunFaulty({"QUELLO_FAULT_FREE=10000000000"}, {"import", card, "--to", library});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("disk is full"), std::string::npos) << r.out;
    EXPECT_EQ(Leftovers(library), std::vector<std::string>());
    EXPECT_EQ(Stored(library, ".MOV").size(), Find(library, {}).size());
}

// Two imports at once of sources that share a recording; a card whose clock was reset and
// whose names repeat those in the library with other content: every content once, every
// recording kept.
TEST(LibraryCli, OverlappingImportsAndRepeatedNamesKeepEveryContentOnce) {
    const TempDir dir;
    const std::string card = MakeCard(dir, "card");
    dir.write("folder/FILE0002.MOV", Movie(kStart + 60, 60, 2));
    dir.write("folder/FILE0003.MOV", Movie(kStart + 120, 60, 3));
    const std::string library = dir.file("library");
    ProgramResult first, second;
    std::thread other([&] { first = RunQuello({"import", card, "--to", library}); });
    second = RunQuello({"import", dir.file("folder"), "--to", library});
    other.join();
    EXPECT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
    EXPECT_EQ(Stored(library, ".MOV").size(), 3u);

    // Reset clock: two recordings at the same moment of 2000 with the names of the card's.
    dir.write("reset/DCIM/100MEDIA/FILE0001.MOV", Movie(946684800, 60, 11));
    dir.write("reset/DCIM/100MEDIA/FILE0002.MOV", Movie(946684800, 60, 12));
    dir.write("again/FILE0001.MOV", Movie(kStart, 60, 13));
    const ProgramResult third =
        RunQuello({"import", dir.file("reset"), dir.file("again"), "--to", library});
    EXPECT_EQ(third.exitCode, 0) << third.out << third.err;
    EXPECT_EQ(Stored(library, ".MOV"),
              (std::vector<std::string>{
                  "2000/2000-01-01/000000_FILE0001.MOV", "2000/2000-01-01/000000_FILE0002.MOV",
                  "2026/2026-05-16/094100_FILE0001-2.MOV", "2026/2026-05-16/094100_FILE0001.MOV",
                  "2026/2026-05-16/094200_FILE0002.MOV", "2026/2026-05-16/094300_FILE0003.MOV"}));
    EXPECT_EQ(RunQuello({"verify", library}).exitCode, 0);
}

} // namespace
} // namespace quello::test
