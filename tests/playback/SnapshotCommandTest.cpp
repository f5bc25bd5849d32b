#include "FrameNumber.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quello {
namespace {

struct SnapshotCase {
    const char* movie;
    const char* at;
    int exitCode;
    int frame; // shown in the JPEG, when written
};

TEST(SnapshotCommandTest, WritesTheFrameAtTheTimeAsked) {
    const SnapshotCase cases[] = {
        {"clip.mov", "0", 0, 0},      {"clip.mov", "1.2", 0, 30},  {"clip.mov", "2.96", 0, 74},
        {"silent.mov", "1.5", 0, 15}, {"clip.mov", "3.5", 1, -1}, // past the end
        {"audio.m4a", "1", 1, -1},                                // no picture
        {"text.txt", "1", 1, -1},     {"missing.mov", "1", 1, -1}, {"clip.mov", "-1", 2, -1},
        {"clip.mov", "1s", 2, -1},    {"clip.mov", "nan", 2, -1},
    };
    QTemporaryDir dir;
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.movie) + " --at " + c.at);
        const QString out = dir.filePath(QString("shot%1.jpg").arg(index++));
        QProcess quello;
        quello.start(QUELLO_CLI, {"snapshot", test::MediaPath(c.movie), "--at", c.at, "-o", out});
        ASSERT_TRUE(quello.waitForFinished(60000));
        EXPECT_EQ(quello.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(quello.exitCode(), c.exitCode) << quello.readAllStandardError().toStdString();
        EXPECT_EQ(QFile::exists(out), c.exitCode == 0);
        if (c.exitCode == 0) {
            EXPECT_EQ(test::FrameNumber(QImage(out)), c.frame);
        }
    }
}

} // namespace
} // namespace quello
