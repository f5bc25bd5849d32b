// `quello snapshot` and `quello print`: the real programs on generated movies. What the printed
// page says the window's tests read; a full disk is met in the command-line tests.
#include "FrameNumber.h"
#include "tests/support/ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quello {
namespace {

using test::RunProgram;

TEST(MomentCommandsTest, WriteTheMomentAskedForOrNothing) {
    const struct {
        const char *command, *movie, *at;
        int exitCode;
        int frame; // in the JPEG, or in the picture above the page's strip; -1: none
    } cases[] = {
        {"snapshot", "clip.mov", "0", 0, 0},
        {"snapshot", "clip.mov", "2.96", 0, 74},
        {"snapshot", "silent.mov", "1.5", 0, 15},
        {"snapshot", "clip.mov", "3.5", 1, -1}, // past the end
        {"snapshot", "audio.m4a", "1", 1, -1},  // no picture
        {"snapshot", "missing.mov", "1", 1, -1},
        {"snapshot", "clip.mov", "-1", 2, -1},
        {"print", "clip.mov", "1.2", 0, 30},
        {"print", "audio.m4a", "1", 0, -1}, // the strip only
        {"print", "clip.mov", "3.5", 1, -1},
        {"print", "clip.mov", "x", 2, -1},
    };
    QTemporaryDir dir;
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.movie + " --at " + c.at);
        const bool print = QByteArray(c.command) == "print";
        const std::string out =
            dir.filePath(QString("%1.%2").arg(index++).arg(print ? "pdf" : "jpg")).toStdString();
        const auto run = RunProgram({QUELLO_CLI, c.command, test::MediaPath(c.movie).toStdString(),
                                     "--at", c.at, "-o", out});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(QFile::exists(QString::fromStdString(out)), c.exitCode == 0);
        QTemporaryDir images; // the page's images, the picture at its own size
        if (c.exitCode != 0) {
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        } else if (print) {
            ASSERT_EQ(
                RunProgram({"pdfimages", "-png", out, images.filePath("i").toStdString()}).exitCode,
                0);
            EXPECT_EQ(QDir(images.path()).entryList(QDir::Files).size(), c.frame < 0 ? 1 : 2);
            const QImage picture(images.filePath("i-000.png"));
            EXPECT_EQ(test::FrameNumber(picture), c.frame);
            EXPECT_TRUE(c.frame < 0 || picture.size() == QSize(320, 240));
        } else {
            EXPECT_EQ(test::FrameNumber(QImage(QString::fromStdString(out))), c.frame);
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3 + 2)
        << "no temporary file is left behind";
}

} // namespace
} // namespace quello
