// A clip of what is on screen: In and Out across the recordings of a trip, the export that runs
// beside playback, and the camera shown as the main view.
#include "PlayerWindow.h"

#include "app/ClipController.h"
#include "app/ClipExportJob.h"
#include "app/MultiViewController.h"
#include "cameras/SeiTelemetry.h"

namespace quello {
namespace {

using namespace test;
using enum MediaState;
using Marks = std::pair<std::optional<int>, std::optional<int>>;

// In set in one recording and Out in the next of its trip are drawn on the slider and the strip
// of each (a mark in the other recording lies off the edge); the clip joins the two, and a
// cancelled export or cleared marks leave nothing behind.
TEST_F(PlayerWindow, ClipMarksSpanTheTripAndTheExportCanBeCancelled) {
    QFile source(Media("long.mov"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray movie = source.readAll();
    constexpr quint32 kStart = 3862000000u; // long.mov lasts 12 s: B follows A
    const QString a = Write("A.MOV", Dated(movie, kStart));
    const QString b = Write("B.MOV", Dated(movie, kStart + 12));
    ASSERT_TRUE(window->AddRecording(a));
    ASSERT_TRUE(window->AddRecording(b));
    auto* slider = Control<CSkinSlider>(kIdPosition);
    ClipController& clips = window->clips();
    const auto markAt = [&](int row, double seconds, Qt::Key key) {
        ClickRow(row);
        ASSERT_TRUE(WaitFor([&] { return List()->currentRow() == row && State() == Paused; }));
        window->engine().SetPositionSeconds(seconds);
        ASSERT_TRUE(WaitFor([&] { return std::abs(Position() - seconds) < 0.05; }));
        QTest::keyClick(window.get(), key);
    };
    markAt(0, 8.0, Qt::Key_I);
    EXPECT_EQ(slider->clipMarks(), (Marks{80, std::nullopt}));
    markAt(1, 3.0, Qt::Key_O);
    EXPECT_EQ(slider->clipMarks(), (Marks{-1, 30}));
    EXPECT_EQ(Waveform()->clipMarks(), slider->clipMarks());
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return List()->currentRow() == 0 && State() == Paused; }));
    EXPECT_EQ(slider->clipMarks().first, 80);
    EXPECT_GT(slider->clipMarks().second.value_or(0), slider->maximum());

    const ClipSpan span = clips.CurrentSpan();
    ASSERT_TRUE(span.ok) << span.error;
    ASSERT_EQ(span.pieces.size(), 2u);
    EXPECT_EQ(span.pieces[0].from, 8.0);
    EXPECT_EQ(span.pieces[1].moviePath, b.toStdString());
    EXPECT_EQ(span.pieces[1].to, 3.0);

    const QString saved = dir.filePath("saved.MOV"), cancelled = dir.filePath("cancelled.mp4");
    ASSERT_TRUE(clips.StartExport(saved, false));
    EXPECT_FALSE(clips.StartExport(cancelled, false)) << "one export at a time";
    EXPECT_TRUE(window->findChild<QProgressDialog*>("clipProgress"));
    ASSERT_TRUE(WaitFor([&] { return !clips.exporting(); }));
    ASSERT_TRUE(clips.job().report().ok) << clips.job().report().error;
    auto* box = window->findChild<QMessageBox*>("clipSavedBox");
    ASSERT_TRUE(box && box->isVisible() && !box->isModal()) << "the window plays on";
    EXPECT_EQ(box->text(), "Clip saved.");
    box->close();
    EXPECT_TRUE(QFile::exists(saved));
    EXPECT_NEAR(clips.job().report().length, 7.0, 0.1);

    // The overlay export takes seconds: long enough to be cancelled from its dialog.
    ASSERT_TRUE(clips.StartExport(cancelled, true));
    auto* progress = window->findChild<QProgressDialog*>("clipProgress");
    ASSERT_TRUE(progress);
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !clips.exporting(); }));
    EXPECT_FALSE(clips.job().report().ok);
    EXPECT_FALSE(QFile::exists(cancelled));
    EXPECT_EQ(
        QDir(dir.path()).entryList({"*cancelled*", ".*cancelled*"}, QDir::Files | QDir::Hidden),
        QStringList());

    // Painted on a worker thread while the window plays on.
    const QString overlay = dir.filePath("overlay.mp4");
    ASSERT_TRUE(clips.StartExport(overlay, true));
    ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return !clips.exporting(); }, 120000));
    EXPECT_TRUE(clips.job().report().ok) << clips.job().report().error;
    EXPECT_NEAR(clips.job().report().length, 7.0, 0.1);
    EXPECT_TRUE(QFile::exists(overlay));
    delete window->findChild<QMessageBox*>("clipSavedBox");

    window->activateWindow(); // from the closed dialogs, for the window's keys
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto clear = OnNextMenuChoose("Clear In/Out");
    QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return !clips.hasMarks(); }));
    EXPECT_EQ(slider->clipMarks(), (Marks{}));
    // Without marks: 10 s either side of the position in B, cut at the trip's end.
    window->engine().SetPositionSeconds(5.0);
    ASSERT_TRUE(WaitFor([&] { return std::abs(Position() - 5.0) < 0.05; }));
    const ClipSpan around = clips.CurrentSpan();
    ASSERT_TRUE(around.ok) << around.error;
    ASSERT_EQ(around.pieces.size(), 2u);
    EXPECT_NEAR(around.pieces.front().from, 7.0, 0.05);
    EXPECT_NEAR(around.pieces.back().to, 12.0, 0.05);
}

// With the back view made the main one by a click, a clip of the car's two-clip drive takes the
// back camera's files, with the front's telemetry.
TEST_F(PlayerWindow, AClipTakesTheCameraOfTheMainView) {
    SeiTelemetry::Register(); // as the program does at start: the front's GPS is in its video
    const QString tesla = dir.filePath("tesla");
    ASSERT_EQ(QProcess::execute(MAKE_TESLACAM, {tesla, "--minutes", "2", "--clip-seconds", "3",
                                                "--size", "320x240", "--fps", "30", "--cameras",
                                                "front,back", "--no-events"}),
              0);
    EXPECT_EQ(window->AddStartupPaths({tesla}), QStringList());
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == Paused && window->engine().composed(); }));
    MultiViewController& views = window->views();
    auto* host = window->findChild<CVideoHost*>();
    const ViewLayout& layout = views.layout();
    const ViewRect& back = layout.viewSlots()[1];
    const QRect rect = host->videoRect();
    QTest::mouseClick(host, Qt::LeftButton, {},
                      rect.topLeft() +
                          QPoint((back.x + back.w / 2) * rect.width() / layout.width(),
                                 (back.y + back.h / 2) * rect.height() / layout.height()));
    ASSERT_TRUE(WaitFor([&] { return views.camera(views.layout().main()) == "back"; }));

    ClipController& clips = window->clips();
    const ClipSpan span = clips.CurrentSpan();
    ASSERT_TRUE(span.ok) << span.error;
    ASSERT_EQ(span.pieces.size(), 2u) << "10 s from the start: the drive's two clips";
    for (const ClipPiece& piece : span.pieces) {
        EXPECT_TRUE(piece.moviePath.ends_with("-back.mp4")) << piece.moviePath;
        EXPECT_TRUE(piece.telemetryPath.ends_with("-front.mp4")) << piece.telemetryPath;
    }
    ASSERT_TRUE(clips.StartExport(dir.filePath("back.MOV"), false));
    ASSERT_TRUE(WaitFor([&] { return !clips.exporting(); }));
    EXPECT_TRUE(clips.job().report().ok) << clips.job().report().error;
    EXPECT_EQ(clips.job().report().telemetryPath, dir.filePath("back.gpx").toStdString());
}

} // namespace
} // namespace quello
