// A library whose index lives on a PostgreSQL server (the suite's own, started for these tests):
// the same cases give the same answers as on SQLite, several importers at once store each file
// once, and a server that goes away stops an import that the next one completes.
#include "LibraryCard.h"

#include "tests/support/PgTestServer.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace quello::test {
namespace {

// One server for the binary's tests: starting one costs over a second. The libraries' databases
// belong to `keeper`, a plain user: nothing here needs a superuser once the database exists.
class LibraryServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new PgTestServer;
        if (server->ok()) {
            EXPECT_TRUE(server->CreateUser("keeper")) << server->error();
        }
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (server->ok())
            return;
        if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
            FAIL() << "no PostgreSQL server could be started: " << server->error();
        GTEST_SKIP() << "no PostgreSQL server could be started: " << server->error();
    }
    // A new database of the server, owned by the library's user.
    static std::string Database(const std::string& name) {
        EXPECT_TRUE(server->CreateDatabase(name, "keeper")) << server->error();
        return server->Url(name, "keeper");
    }
    static PgTestServer* server;
};

PgTestServer* LibraryServer::server = nullptr;

// What a command printed, without what differs from run to run: its progress, time and rate,
// and FFmpeg's notes with their addresses.
std::string Said(const ProgramResult& r) {
    static const std::regex kProgress("^[0-9]+/[0-9]+ files, .*\n|^\\[.* @ 0x.*\n",
                                      std::regex::multiline);
    static const std::regex kTime(" in [0-9:.]+( \\([^)]*/s\\))?");
    return std::to_string(r.exitCode) + "\n" +
           std::regex_replace(std::regex_replace(r.out + r.err, kProgress, ""), kTime, " in T");
}

TEST_F(LibraryServer, EveryCaseGivesWhatSqliteGives) {
    const TempDir dir;
    const std::string card = MakeCard(dir, "card");
    // Another folder: a copy of the card's second recording, and one of its own.
    dir.write("folder/FILE0002.MOV", Movie(kStart + 60, 60, 2));
    dir.write("folder/FILE0003.MOV", Movie(kStart + 120, 60, 3));
    const struct {
        std::vector<std::string> args; // LIB and CARD stand for the library and the card
        int exitCode;
        const char* says;
    } steps[] = {
        {{"import", "CARD", "--to", "LIB"}, 0, "copied 5 files (2 recordings"},
        {{"import", "CARD", "--to", "LIB"}, 0, "copied 0 files"},
        {{"import", dir.file("folder"), "--to", "LIB"}, 0, "skipped 1"},
        {{"find", "LIB", "--near", "22.6003,114.05", "--radius", "30"}, 0, "\"from\": 3"},
        {{"find", "LIB", "--from", "2026-05-16 09:42:30", "--to", "2026-05-16 09:43:10"},
         0,
         "094300_FILE0003"},
        {{"find", "LIB", "--events", "braking"}, 0, "\"kind\": \"braking\""},
        {{"find", "LIB", "--protected"}, 0, "094200_FILE0002"},
        {{"verify", "LIB"}, 0, "checked 6 files"},
        {{"index", "LIB"}, 0, "indexed 3 recordings"},
        {{"find", "LIB", "--near", "22.6063,114.05", "--events"}, 0, "\"from\": 57"},
        {{"verify", "LIB"}, 0, "0 changed or missing"},
    };
    // The same story on SQLite, on the server by --db, and on the server by library.conf.
    std::vector<std::vector<std::string>> told;
    for (int backend = 0; backend < 3; ++backend) {
        SCOPED_TRACE(backend);
        const std::string library = dir.file("library" + std::to_string(backend));
        std::vector<std::string> db;
        if (backend == 1)
            db = {"--db", Database("by_option")};
        if (backend == 2)
            dir.write("library2/library.conf",
                      "# the shared index\ndatabase = " + Database("by_conf") + "\n");
        std::vector<std::string> transcript;
        for (const auto& step : steps) {
            std::vector<std::string> args;
            for (const std::string& a : step.args)
                args.push_back(a == "LIB" ? library : a == "CARD" ? card : a);
            args.insert(args.end(), db.begin(), db.end());
            const ProgramResult r = RunQuello(args);
            EXPECT_EQ(r.exitCode, step.exitCode) << args[0] << ": " << r.out << r.err;
            EXPECT_NE(r.out.find(step.says), std::string::npos) << args[0] << ": " << r.out;
            transcript.push_back(Said(r));
        }
        told.push_back(transcript);
    }
    EXPECT_EQ(told[1], told[0]);
    EXPECT_EQ(told[2], told[0]);
    EXPECT_FALSE(fs::exists(dir.file("library1/library.sqlite")));
}

TEST_F(LibraryServer, FourImportersAtOnceStoreEachFileOnce) {
    const TempDir dir;
    // Four folders of overlapping content: six recordings in all, each in two folders.
    const int holds[4][3] = {{1, 2, 3}, {2, 3, 4}, {4, 5, 6}, {5, 6, 1}};
    for (int f = 0; f < 4; ++f)
        for (int n : holds[f])
            dir.write("in" + std::to_string(f) + "/FILE000" + std::to_string(n) + ".MOV",
                      Movie(kStart + 60 * n, 60, n, 2000000));
    const std::string library = dir.file("library");
    const std::string url = Database("shared");
    ProgramResult results[4];
    std::vector<std::thread> importers;
    for (int f = 0; f < 4; ++f)
        importers.emplace_back([&, f] {
            results[f] = RunQuello(
                {"import", dir.file("in" + std::to_string(f)), "--to", library, "--db", url});
        });
    for (auto& t : importers)
        t.join();
    int copied = 0;
    for (const auto& r : results) {
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        copied += std::stoi(r.out.substr(r.out.rfind("copied ") + 7));
    }
    EXPECT_EQ(copied, 6);
    EXPECT_EQ(Stored(library, ".MOV").size(), 6u);
    EXPECT_EQ(Leftovers(library), std::vector<std::string>());
    EXPECT_EQ(Find(library, {"--db", url}).size(), 6u);
    const ProgramResult verify = RunQuello({"verify", library, "--db", url});
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
    EXPECT_NE(verify.out.find("checked 6 files"), std::string::npos) << verify.out;
}

TEST_F(LibraryServer, AServerGoneMidImportStopsItAndTheNextImportCompletes) {
    const TempDir dir;
    const std::string card = MakeCard(dir, "card");
    const std::string library = dir.file("library");
    const std::string url = Database("gone");
    // The server stops right after the first movie took its name, before its row is written.
    ProgramResult r = RunFaulty({"QUELLO_FAULT_RENAMED_RUN=" + server->StopCommand()},
                                {"import", card, "--to", library, "--db", url});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("lost the connection to the library's database postgresql://keeper@/"
                         "gone"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("the next import completes its index"), std::string::npos) << r.out;
    EXPECT_EQ(Stored(library, ".MOV").size(), 1u) << "the file moved into place stays";
    EXPECT_EQ(Leftovers(library), std::vector<std::string>());

    r = RunQuello({"find", library, "--db", url});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot reach the library's database"), std::string::npos) << r.err;

    ASSERT_TRUE(server->Start()) << server->error();
    r = RunQuello({"import", card, "--to", library, "--db", url});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Stored(library, ".MOV").size(), 2u);
    EXPECT_EQ(Find(library, {"--db", url}).size(), 2u);
    r = RunQuello({"verify", library, "--db", url});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

TEST_F(LibraryServer, AServerThatCannotBeUsedIsNamedWithTheReason) {
    const TempDir dir;
    const std::string library = dir.file("library");
    fs::create_directories(library);
    ASSERT_TRUE(server->CreateUser("viewer")) << server->error();
    std::string viewer = Database("not_viewers");
    viewer.replace(viewer.find("keeper@"), 7, "viewer@");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string says; // on stderr
    } cases[] = {
        {{"find", library, "--db", "postgresql://quello:secret@/x"}, 2, "~/.pgpass or PGPASSWORD"},
        {{"verify", library, "--db", "mysql://quello@/x"}, 2, "postgresql://"},
        {{"find", library, "--db", server->Url("missing")},
         1,
         "cannot reach the library's database postgresql://quello@/missing"},
        // A user that may not create the tables in a database it does not own.
        {{"import", library, "--to", library, "--db", viewer},
         1,
         "the database should belong to the user the library connects as"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = RunQuello(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    // A library.conf that cannot be read is no library on SQLite instead.
    dir.write("library/library.conf", "database = postgresql://quello:pw@/x\n");
    const ProgramResult r = RunQuello({"find", library});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("library.conf"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(library + "/library.sqlite"));
}

} // namespace
} // namespace quello::test
