// Every camera of a moment on one picture: layouts, the main view chosen by a click, and every
// view showing the same frame whatever the window asked the engine to do.
#include "PlayerWindow.h"

#include "app/MultiViewController.h"
#include "library/LibraryImport.h"
#include "tests/support/FrameCode.h"

namespace quello {
namespace {

using namespace test;
using enum MediaState;

// The frame number of every view shown, main view first.
std::vector<int> Codes(CPlayerDlg& window) {
    const ViewLayout& layout = window.views().layout();
    const QImage shown =
        window.engine().composed() ? window.findChild<CVideoHost*>()->frame() : QImage();
    std::vector<int> codes;
    for (int v = 0; v < int(layout.pictures().size()); ++v)
        if (!layout.viewSlots()[v].empty())
            codes.push_back(FrameCode(shown, layout, v));
    return codes;
}

TEST_F(PlayerWindow, TheViewsOfAMomentPlayFrameLockedInEveryLayout) {
    const QString tesla = dir.filePath("tesla");
    ASSERT_EQ(QProcess::execute(MAKE_TESLACAM, {tesla, "--minutes", "2", "--clip-seconds", "3",
                                                "--size", "320x240", "--fps", "30", "--no-events"}),
              0);
    const QString day = tesla + "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-";
    // The right repeater stops after 1 s: its view goes dark, the others play on.
    ASSERT_EQ(QProcess::execute("ffmpeg",
                                {"-loglevel", "error", "-y", "-i", day + "right_repeater.mp4", "-t",
                                 "1", "-c", "copy", "-metadata",
                                 "creation_time=2024-05-01T10:00:00Z", dir.filePath("short.mp4")}),
              0);
    ASSERT_TRUE(QFile::remove(day + "right_repeater.mp4"));
    ASSERT_TRUE(QFile::rename(dir.filePath("short.mp4"), day + "right_repeater.mp4"));
    // The second moment has lost its left repeater's file.
    ASSERT_TRUE(
        QFile::remove(QString(day).replace("10-00-00-", "10-00-03-") + "left_repeater.mp4"));
    EXPECT_EQ(window->AddStartupPaths({tesla}), QStringList());
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == Paused && window->engine().composed(); }))
        << int(State()) << window->engine().composed() << List()->rowCount();
    MultiViewController& views = window->views();
    ASSERT_EQ(views.viewCount(), 4);
    // Every view on the main view's frame, that of the position: an exact seek to a time a few
    // microseconds past a frame's (this drive's front stores frame 21 at 0.699993 s) may show
    // that frame or the next, as libmpv rounds; the views must agree either way.
    const auto locked = [&](int frame) {
        QTest::qWait(150); // the picture of a finished seek or step reaches the host
        const std::vector<int> codes = Codes(*window);
        return std::abs(codes[0] - frame) <= 1 &&
               std::all_of(codes.begin(), codes.end(), [&](int c) { return c == codes[0]; });
    };
    const auto frameOnScreen = [&] { return int(std::lround(Position() * 30)); };

    // Each layout: how many views show, the composed picture's size.
    struct Layout {
        ViewArrangement arrangement;
        int shown;
        QSize size;
    };
    const Layout layouts[] = {
        {ViewArrangement::Main, 4, {320, 318}},   // the main view over a strip of three
        {ViewArrangement::Grid, 4, {320, 240}},   // 2 x 2
        {ViewArrangement::Single, 1, {320, 240}}, // the main view alone
        {ViewArrangement::Main, 4, {320, 318}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(int(layout.arrangement));
        while (views.layout().arrangement() != layout.arrangement)
            QTest::keyClick(window.get(), Qt::Key_V);
        ASSERT_TRUE(
            WaitFor([&] { return window->findChild<CVideoHost*>()->videoSize() == layout.size; }));
        const double at = 0.5 + int(layout.arrangement) * 0.3;
        window->engine().SetPositionSeconds(at);
        EXPECT_TRUE(WaitFor([&] { return locked(int(std::lround(at * 30))); }));
        EXPECT_EQ(Codes(*window).size(), std::size_t(layout.shown));
    }

    // Steps both ways, seeks and playing backward: every view on the main view's frame.
    const std::function<void()> moves[] = {
        [&] { window->engine().StepFrameExact(+1); },
        [&] { window->engine().StepFrameExact(-1); },
        [&] { window->engine().SetPositionSeconds(0.7); },
        [&] {
            window->engine().SetRateIndex(int(PlayRate::Backward1x));
            window->engine().TogglePlayPause();
            QTest::qWait(300);
            window->engine().Pause();
        },
        [&] { window->engine().StepFrameExact(-1); },
    };
    for (const auto& move : moves) {
        move();
        EXPECT_TRUE(WaitFor([&] { return locked(frameOnScreen()); }))
            << "at " << Position() << ": " << testing::PrintToString(Codes(*window));
    }

    // A seek while paused in reverse, then a new main view while still in reverse.
    window->engine().SetPositionSeconds(0.5);
    EXPECT_TRUE(WaitFor([&] { return locked(15); }))
        << "at " << Position() << ": " << testing::PrintToString(Codes(*window));
    // A click on the first small view makes it the main one; snapshots then take it.
    const int back = views.layout().ViewAt(0, 250);
    ASSERT_GT(back, 0);
    const QRect rect = window->findChild<CVideoHost*>()->videoRect();
    QTest::mouseClick(window->findChild<CVideoHost*>(), Qt::LeftButton, {},
                      rect.topLeft() + QPoint(4, rect.height() * 250 / 318));
    ASSERT_TRUE(WaitFor([&] { return views.layout().main() == back; }));
    EXPECT_EQ(views.camera(back), "back");
    const QString shot = dir.filePath("main.jpg");
    ASSERT_EQ(window->engine().SaveFrameAsJpeg(shot), 1);
    EXPECT_EQ(QImage(shot).size(), QSize(320, 240)) << "the main view alone, at its own size";
    const QString all = dir.filePath("all.jpg");
    ASSERT_EQ(window->engine().SaveAllViewsAsJpeg(all), 1);
    EXPECT_EQ(QImage(all).size(), QSize(320, 318));
    window->engine().SetPositionSeconds(0.4);
    EXPECT_TRUE(WaitFor([&] { return locked(12); })) << testing::PrintToString(Codes(*window));
    EXPECT_TRUE(window->findChild<CVideoHost*>()->captions().empty());

    // Past the right repeater's end: "No picture" over its view, the others still locked.
    window->engine().SetPositionSeconds(2.0);
    ASSERT_TRUE(WaitFor([&] { return window->findChild<CVideoHost*>()->captions().size() == 1; }));
    EXPECT_EQ(window->findChild<CVideoHost*>()->captions()[0].text, "No picture");
    // The next moment keeps the missing camera's place, dark, in the same layout.
    ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return List()->currentRow() == 1 && State() == Paused; }));
    EXPECT_EQ(views.viewCount(), 4);
    EXPECT_EQ(views.camera(2), "left_repeater");
    ASSERT_EQ(window->findChild<CVideoHost*>()->captions().size(), 1u);
    EXPECT_EQ(window->findChild<CVideoHost*>()->captions()[0].area.x(),
              views.layout().viewSlots()[2].x);

    // The choices hold for the next window.
    window.reset();
    CPlayerDlg next;
    next.engine().SetAudioOutput(QStringLiteral("null"));
    EXPECT_EQ(next.AddStartupPaths({tesla}), QStringList());
    next.views().Prepare(0);
    EXPECT_EQ(next.views().layout().arrangement(), ViewArrangement::Main);
    EXPECT_EQ(next.views().camera(next.views().layout().main()), "back");

    // Imported into a library, the moment is one row with its cameras, played together.
    LibraryImport import(dir.filePath("library").toStdString(), {tesla.toStdString()});
    ASSERT_TRUE(import.Run().ok());
    next.OpenLibrary(dir.filePath("library"));
    ASSERT_TRUE(WaitFor([&] { return next.library().entryCount() == 2; }));
    EXPECT_TRUE(Column(next, 2).join(' ').contains("  F B LR RR "))
        << Column(next, 2).join(' ').toStdString();
    next.views().Prepare(0);
    EXPECT_EQ(next.views().viewCount(), 4);
}

} // namespace
} // namespace quello
