#include "recordings/GpsFolderSettings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quello {
namespace {

using test::TempDir;

// A hand-edited file: what can be understood is kept, the rest ignored; saved and read again
// it holds the same choices, and a name that can't be stored changes nothing.
TEST(GpsFolderSettings, ReadsTolerantlyAndRoundTrips) {
    const TempDir dir;
    dir.write(".quello-gps", "# notes\r\n"
                             "offset\tFILE0001.MOV\t-3600\r\n"
                             "offset\tFILE0002.MOV\t12x\n"
                             "offset\tFILE0003.MOV\t999999999\n"
                             "offset\tFILE0004.MOV\t30\textra\n"
                             "offset\tFILE0004.MOV\t+-30\n"
                             "gpx\tFILE0001.MOV\t/tracks/drive.gpx\n"
                             "gpx\tFILE0002.MOV\tlocal \xc3\xa9t\xc3\xa9.gpx\n"
                             "gpx\tFILE0002.MOV\n"
                             "folder-gpx\tall.gpx\n"
                             "colour\tred\n\xff\xfe\n\n"
                             "offset\tFILE0005.MOV\t+7200");
    const struct {
        const char* name;
        std::int64_t offset;
        std::string gpx;
    } expected[] = {
        {"FILE0001.MOV", -3600, "/tracks/drive.gpx"},
        {"FILE0002.MOV", 0, dir.path() + "/local \xc3\xa9t\xc3\xa9.gpx"},
        {"FILE0003.MOV", 0, dir.path() + "/all.gpx"},
        {"FILE0004.MOV", 0, dir.path() + "/all.gpx"},
        {"FILE0005.MOV", 7200, dir.path() + "/all.gpx"},
    };
    GpsFolderSettings settings;
    ASSERT_TRUE(settings.Load(dir.path()));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round ? "saved and read again" : "as written by hand");
        for (const auto& e : expected) {
            EXPECT_EQ(settings.offsetSeconds(e.name), e.offset) << e.name;
            EXPECT_EQ(settings.userGpx(e.name), e.gpx) << e.name;
        }
        EXPECT_FALSE(settings.SetOffsetSeconds("A\tB.MOV", 5));
        EXPECT_FALSE(settings.SetOffsetSeconds("FILE0001.MOV", 8 * 24 * 3600));
        EXPECT_FALSE(settings.SetUserGpx("sub/FILE0001.MOV", "x.gpx"));
        EXPECT_FALSE(settings.SetFolderGpx("line\nbreak.gpx"));
        ASSERT_TRUE(settings.Save());
        ASSERT_TRUE(settings.Load(dir.path()));
    }
    EXPECT_EQ(TempDir::entries(dir.path()), std::set<std::string>{".quello-gps"});
}

// Choices set and cleared through the API reach the file; a read-only file is not replaced.
TEST(GpsFolderSettings, SavesWhatWasSetAndKeepsTheOldFileOnFailure) {
    const TempDir dir;
    GpsFolderSettings settings;
    EXPECT_FALSE(settings.Load(dir.path()));
    ASSERT_TRUE(settings.SetOffsetSeconds("A.MOV", 3600 + 30));
    ASSERT_TRUE(settings.SetUserGpx("A.MOV", "a.gpx"));
    ASSERT_TRUE(settings.SetOffsetSeconds("B.MOV", -5));
    ASSERT_TRUE(settings.SetOffsetSeconds("B.MOV", 0));
    ASSERT_TRUE(settings.Save());
    const std::string saved = TempDir::read(dir.file(".quello-gps"));
    GpsFolderSettings again;
    ASSERT_TRUE(again.Load(dir.path()));
    EXPECT_EQ(again.offsetSeconds("A.MOV"), 3630);
    EXPECT_EQ(again.offsetSeconds("B.MOV"), 0);
    EXPECT_EQ(again.userGpx("B.MOV"), "");
    ASSERT_EQ(chmod(dir.file(".quello-gps").c_str(), 0444), 0);
    ASSERT_TRUE(again.SetFolderGpx("all.gpx"));
    EXPECT_FALSE(again.Save());
    EXPECT_EQ(TempDir::read(dir.file(".quello-gps")), saved);
}

} // namespace
} // namespace quello
