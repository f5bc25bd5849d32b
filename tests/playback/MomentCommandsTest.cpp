// `quello snapshot` and `quello print`: the real programs on generated movies.
#include "FrameNumber.h"
#include "tests/support/ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quello {
namespace {

using test::RunProgram;

// The pixel sizes `pdfimages -list` reports, in page order.
QStringList PdfImageSizes(const QString& pdf) {
    QStringList sizes;
    const auto list = RunProgram({"pdfimages", "-list", pdf.toStdString()}).out;
    for (const QString& line : QString::fromStdString(list).split('\n').mid(2)) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() > 4)
            sizes << f[3] + "x" + f[4];
    }
    return sizes;
}

TEST(MomentCommandsTest, WriteTheMomentAskedForOrNothing) {
    const struct {
        const char *command, *movie, *at;
        int exitCode;
        int frame;              // snapshot: frame in the JPEG; print: images on the page
        bool badOutput = false; // the output's folder does not exist
    } cases[] = {
        {"snapshot", "clip.mov", "0", 0, 0},
        {"snapshot", "clip.mov", "2.96", 0, 74},
        {"snapshot", "silent.mov", "1.5", 0, 15},
        {"snapshot", "clip.mov", "3.5", 1, -1}, // past the end
        {"snapshot", "audio.m4a", "1", 1, -1},  // no picture
        {"snapshot", "missing.mov", "1", 1, -1},
        {"snapshot", "clip.mov", "-1", 2, -1},
        {"print", "clip.mov", "2.96", 0, 2}, // frame and strip
        {"print", "audio.m4a", "1", 0, 1},   // the strip only
        {"print", "clip.mov", "3.5", 1, -1},
        {"print", "clip.mov", "1", 1, -1, true},
        {"print", "clip.mov", "x", 2, -1},
    };
    QTemporaryDir dir;
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.movie + " --at " + c.at);
        const bool print = QByteArray(c.command) == "print";
        const QString out = dir.filePath(QString(c.badOutput ? "missing/%1.%2" : "%1.%2")
                                             .arg(index++)
                                             .arg(print ? "pdf" : "jpg"));
        const auto run = RunProgram({QUELLO_CLI, c.command, test::MediaPath(c.movie).toStdString(),
                                     "--at", c.at, "-o", out.toStdString()});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(QFile::exists(out), c.exitCode == 0);
        if (c.exitCode != 0)
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        else if (print)
            EXPECT_EQ(PdfImageSizes(out).size(), c.frame);
        else
            EXPECT_EQ(test::FrameNumber(QImage(out)), c.frame);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3 + 2)
        << "no temporary file is left behind";
}

bool Dark(const QImage& page, int x, int y) {
    return qGray(page.pixel(x, y)) < 96;
}

TEST(MomentCommandsTest, PrintedPageShowsTheSecondOnScreenInItsPlaces) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(test::MediaPath("clip.mov"), dir.filePath("drive.mov")));
    QFile dat(dir.filePath("drive.DAT"));
    ASSERT_TRUE(dat.open(QIODevice::WriteOnly) &&
                dat.write("[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t11\t90\n" +
                          QByteArray("[S]\t100\t-200\t1000\n").repeated(10) +
                          "[G]\t2010/01/02\t03:04:06\tS24.500000\tW121.750000\t22\t45\n" +
                          QByteArray("[S]\t-250\t500\t980\n").repeated(10)) > 0);
    dat.close();
    const QString pdf = dir.filePath("page.pdf");
    const auto run = RunProgram({QUELLO_CLI, "print", dir.filePath("drive.mov").toStdString(),
                                 "--at", "1.2", "-o", pdf.toStdString()});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    // The fix of second 1 itself, and the samples under the cursor at 1.2 s.
    const QString text =
        QString::fromStdString(RunProgram({"pdftotext", "-raw", pdf.toStdString(), "-"}).out)
            .simplified();
    EXPECT_TRUE(QRegularExpression(
                    "^Movastra print service.\\(V1.0\\) G-Sensor \\[x: -0.250 y: 0.500 z: 0.980\\] "
                    "GPS speed: 22Km/H GPS coordinate \\[Longitude: -121.750000 Latitude: "
                    "-24.500000\\] Print time: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(text)
                    .hasMatch())
        << text.toStdString();

    EXPECT_EQ(PdfImageSizes(pdf), (QStringList{"320x240", "642x141"}));
    const auto ok = [](std::vector<std::string> args) { return RunProgram(args).exitCode == 0; };
    ASSERT_TRUE(ok({"pdfimages", "-png", "-f", "1", "-l", "1", pdf.toStdString(),
                    dir.filePath("img").toStdString()}));
    EXPECT_EQ(test::FrameNumber(QImage(dir.filePath("img-000.png"))), 30);

    // At 300 dpi the rendered page has the printer's pixels; the paint area starts at the
    // margins, found from the rule drawn at y = 60 from x = 10.
    ASSERT_TRUE(ok({"pdftoppm", "-r", "300", "-png", "-singlefile", pdf.toStdString(),
                    dir.filePath("p").toStdString()}));
    const QImage page(dir.filePath("p.png"));
    ASSERT_FALSE(page.isNull());
    const int mid = page.width() / 2;
    int rule = 0;
    while (rule < page.height() / 4 && !(Dark(page, mid, rule) && Dark(page, mid + 400, rule)))
        ++rule;
    int left = 0;
    while (left < mid && !Dark(page, left, rule))
        ++left;
    const int mx = left - 10, my = rule - 60;
    const int w = page.width() - 2 * mx;
    const int pictureBottom = 250 + int(240.0 / 320.0 * (w - 160));
    auto red = [&](int x, int y) {
        const QRgb p = page.pixel(mx + x, my + y);
        return qRed(p) > 200 && qGreen(p) < 60;
    };
    EXPECT_TRUE(red(82, pictureBottom - 3) && red(w - 83, pictureBottom - 3));
    EXPECT_FALSE(red(77, pictureBottom - 3) || red(w - 77, pictureBottom - 3));
    EXPECT_FALSE(red(400, pictureBottom + 2)) << "strip 10 pixels below the picture";
    EXPECT_TRUE(Dark(page, mx + 400, my + pictureBottom + 13));
    EXPECT_FALSE(Dark(page, mx + 400, my + pictureBottom + 6));
}

} // namespace
} // namespace quello
