// The assembled window with the real engine on small generated movies and telemetry, driven
// as a user drives it: clicks, keys, drops, menus and dialogs. The engine, the waveform, the
// gauges and the library on their own are checked in their own test folders.
#include "PlayerWindow.h"

namespace quello {
namespace {

using namespace test;
using enum MediaState;

TEST_F(PlayerWindow, LibraryFillsFromTheCardTheFolderButtonAndDropsInTheirOrders) {
    const QString card = dir.filePath("card"), media = card + "/DCIM/100MEDIA";
    for (const char* n : {"100MEDIA/FILE0002.MOV", "100MEDIA/file0001.mov", "103MEDIA/A.MOV"})
        Movie(QStringLiteral("card/DCIM/") + n);
    Write("card/DCIM/100MEDIA/FILE0002.DAT", "[S]\t1\t2\t3\n");
    const QStringList dropped = {Movie("d/b.mov"), Movie("d/clip.Mov"),
                                 "https://example.org/FILE0002.MOV", Movie("d/FILE0001.MOV")};
    const QStringList inFolder = {media + "/file0001.mov", media + "/FILE0002.MOV"};
    auto scanCard = [&] {
        CPlayerDlg scanned;
        scanned.SetCardRoot(card);
        EXPECT_TRUE(WaitFor([&] { return scanned.cardScanned(); }));
        return Column(scanned, 0) + Column(scanned);
    };
    using Case = std::tuple<const char*, std::function<QStringList()>, QStringList>;
    const Case cases[] = {
        {"the card's media folders in character order: markers (* no telemetry), paths",
         scanCard,
         {"", "*", "*", media + "/FILE0002.MOV", media + "/file0001.mov",
          card + "/DCIM/103MEDIA/A.MOV"}},
        {"the folder button, from home, ignoring case", [&] { return AddFolder(media); },
         QStringList{QDir::homePath()} + inFolder},
        {"the folder dialog cancelled, opened where the last one ended",
         [&] { return AddFolder({}); }, QStringList{media} + inFolder},
        {"a drop of exact movie endings in drop order, after the others",
         [&] { return Drop(dropped).mid(2); },
         {dropped[0], dropped[3]}},
    };
    for (const auto& [name, act, expected] : cases)
        EXPECT_EQ(act(), expected) << name;
}

// What the command line names (a file manager's "Open with" names one movie): the rows, the
// movie that plays ("" none), the names refused. Until a movie opens, the empty video area
// says how to play one.
TEST_F(PlayerWindow, AMovieNamedAtStartBringsItsFolderAndPlays) {
    const QString a = Movie("f/a.MOV"), b = Movie("f/b.MOV"), c = Movie("f/c.mov");
    Write("f/notes.txt", "not a movie");
    const QString x = Movie("g/x.MOV"), d = Movie("h/d.MOV"), e = Movie("h/e.mp4");
    const QString onCard = Movie("card/DCIM/100MEDIA/FILE0001.MOV");
    const QString missing = dir.filePath("f/missing.MOV");
    // The arguments, the card root ("" searches the drives), the rows, what plays, refused.
    using Case = std::tuple<QStringList, QString, QStringList, QString, QStringList>;
    const Case cases[] = {
        {{b}, "", {a, b, c}, b, {}},
        {{b, a, dir.filePath("g"), missing}, "emptycard", {a, b, c, x}, b, {missing}},
        {{dir.filePath("g")}, "card", {x, onCard}, "", {}},
        {{e}, "emptycard", {d, e}, e, {}},
    };
    for (const auto& [args, card, rows, plays, refused] : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        CPlayerDlg started;
        started.engine().SetAudioOutput(QStringLiteral("null"));
        started.SetCardRoot(card.isEmpty() ? card : dir.filePath(card));
        EXPECT_EQ(started.AddStartupPaths(args), refused);
        started.show();
        ASSERT_TRUE(WaitFor([&] { return started.cardScanned(); }));
        EXPECT_EQ(Column(started), rows);
        EXPECT_EQ(started.engine().FileName(), plays);
        EXPECT_EQ(started.engine().GetState() == Running, !plays.isEmpty());
        auto* hint = started.findChild<QLabel*>(QStringLiteral("videoPlaceholder"));
        ASSERT_TRUE(hint);
        EXPECT_EQ(
            std::tuple(hint->text(), hint->isHidden(), hint->palette().color(QPalette::WindowText)),
            std::tuple(QStringLiteral("Double-click a recording to play it"), !plays.isEmpty(),
                       started.control(kIdTitleText)->palette().color(QPalette::WindowText)));
    }
}

// The cameras of one moment make one row, the main camera's, with their labels after the
// time; a Tesla drive (named at start or as the card) lists its minutes in time order, an
// event's with why it was kept. A view other than the main one named at start adds no row.
TEST_F(PlayerWindow, TheCamerasOfOneMomentShareARow) {
    const QString front = Movie("pair/20240501_101500_F.MOV");
    const QString rear = Movie("pair/20240501_101500_R.MOV");
    const QString single = Movie("pair/FILE0003.MOV");
    const QString tesla = dir.filePath("tesla");
    ASSERT_EQ(QProcess::execute(MAKE_TESLACAM, {tesla, "--minutes", "2", "--clip-seconds", "2",
                                                "--size", "64x48", "--cameras", "front,back"}),
              0);
    const QString day = tesla + "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-0";
    const QString event = tesla + "/TeslaCam/%1/2024-05-01_10-00-0%2/2024-05-01_10-00-0%2";
    // silent.mov has no creation time: the labels stand alone.
    const QStringList pair = {front + " F R", single + " "};
    const QStringList teslaRows = {
        day + "0-front.mp4 10:00:00 05-01-2024  F B",
        event.arg("SentryClips", "0") +
            "-front.mp4 10:00:00 05-01-2024  F B  sentry: sentry_aware_object_detection",
        day + "2-front.mp4 10:00:02 05-01-2024  F B",
        event.arg("SavedClips", "2") +
            "-front.mp4 10:00:02 05-01-2024  F B  saved: user_interaction_dashcam_icon_tapped"};
    // The arguments, the card root, the rows: path, then the time column.
    using Case = std::tuple<QStringList, QString, QStringList>;
    const Case cases[] = {
        {{dir.filePath("pair")}, "emptycard", pair},
        {{rear}, "emptycard", pair},
        {{tesla}, "emptycard", teslaRows},
        // A car's .mp4 given alone comes with its moment's other cameras.
        {{day + "0-back.mp4"}, "emptycard", {teslaRows[0]}},
        {{}, "tesla", teslaRows},
    };
    for (const auto& [args, card, expected] : cases) {
        SCOPED_TRACE((args.join(' ') + " card " + card).toStdString());
        CPlayerDlg started;
        started.engine().SetAudioOutput(QStringLiteral("null"));
        started.SetCardRoot(dir.filePath(card));
        EXPECT_EQ(started.AddStartupPaths(args), QStringList());
        ASSERT_TRUE(WaitFor([&] { return started.cardScanned(); }));
        const QStringList paths = Column(started), times = Column(started, 2);
        QStringList rows;
        for (int r = 0; r < paths.size(); ++r)
            rows << paths[r] + " " + times[r];
        EXPECT_EQ(rows.join(QLatin1Char('\n')).toStdString(),
                  expected.join(QLatin1Char('\n')).toStdString());
    }
    // Dropped together, in any order, a pair is one row too.
    EXPECT_EQ(Drop({rear, single, front}), QStringList({single, front}));
}

TEST_F(PlayerWindow, WhatCannotBeUsedIsRefusedWithAMessageAndPlaybackGoesOn) {
    // Made quickly: one movie first in folder order, then empty files; the first 600 dropped.
    QStringList dropped = {Movie("big/A.MOV")};
    for (int i = 1; i < 20000; ++i) {
        const QString name = dir.filePath(QString("big/M%1.MOV").arg(i, 5, 10, QChar('0')));
        ::close(::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT, 0600));
        if (i < 600)
            dropped << name;
    }
    const QStringList bad = {Movie("bad/A.MOV"), Movie("bad/BAD.MOV", "text.txt"),
                             Movie("bad/C.MOV")};
    const QString full = "The library is full (512 recordings): %1 movies were not added.";
    using Case = std::tuple<const char*, Act, int, QString>; // then the rows and the message
    const Case cases[] = {
        {"a movie that cannot play", [&] { AddMovies(bad); }, 3, "Play movie file failed!"},
        {"a folder of 20 000 files", [&] { AddFolder(dir.filePath("big")); }, 512,
         full.arg(20000 - 512)},
        {"600 movies dropped", [&] { Drop(dropped); }, 512, full.arg(600 - 512)},
    };
    for (const auto& [name, act, rowCount, expectedMessage] : cases) {
        SCOPED_TRACE(name);
        window->ClearLibrary();
        QString message;
        auto box = OnNextMessage(message);
        act();
        if (rowCount == 3)
            ClickRow(1); // choosing the row opens it
        EXPECT_TRUE(WaitFor([&] { return !message.isEmpty(); }, 120000)) << "a hang guard only";
        EXPECT_EQ(message, expectedMessage);
        ASSERT_EQ(window->library().entryCount(), rowCount);
        EXPECT_TRUE(rowCount != 3 ||
                    (window->library().currentIndex() == 1 && List()->item(1, 0)->isSelected()))
            << "the row that failed stays chosen";
        const int good = rowCount == 3 ? 2 : 0;
        DoubleClickRow(good);
        EXPECT_EQ(window->engine().FileName(), Rows()[good]);
        EXPECT_EQ(State(), Running);
    }
}

// Row 0 is chosen and removed, or the list cleared, while a row is open.
TEST_F(PlayerWindow, RemovingRowsAndClearingKeepTheOpenRecordingUnlessItsRowGoesUnstopped) {
    auto removeRow0 = [this](const QString& how) -> Act {
        return [this, how] {
            ClickRow(0); // a selection while a movie runs opens nothing
            if (how.isEmpty())
                return QTest::keyClick(List(), Qt::Key_Delete);
            auto menu = OnNextMenuChoose(how);
            QContextMenuEvent event(QContextMenuEvent::Mouse, RowPoint(0),
                                    List()->viewport()->mapToGlobal(RowPoint(0)));
            QApplication::sendEvent(List()->viewport(), &event);
        };
    };
    // The row played first (and stopped), the rows and the current row left, the state, the
    // row of the movie left open (-1: none), and whether the first movie is kept on disk.
    using Case = std::tuple<const char*, int, bool, Act, int, int, MediaState, int, bool>;
    const Case cases[] = {
        {"Delete on another row", 2, false, removeRow0({}), 2, 1, Running, 2, true},
        {"Delete on the running row", 0, false, removeRow0({}), 2, 0, Closed, -1, true},
        {"Delete on the stopped row", 0, true, removeRow0({}), 2, 0, Stopped, 0, true},
        {"menu Remove", 2, false, removeRow0("Remove"), 2, 1, Running, 2, true},
        {"menu Remove files", 2, false, removeRow0("Remove files from disk"), 2, 1, Running, 2, 0},
        {"Clear", 0, false, [&] { Click(kIdClear); }, 0, 0, Stopped, 0, true},
    };
    for (const auto& [name, playing, stop, act, rows, current, state, open, kept] : cases) {
        SCOPED_TRACE(name);
        QStringList m;
        for (const QString movie : {"M0", "M1", "M2"})
            m << Recording(QString("%1/%2").arg(name, movie));
        window->ClearLibrary();
        AddMovies(m);
        DoubleClickRow(playing);
        ASSERT_TRUE(WaitFor([&] { return State() == Running; }));
        if (stop)
            Click(kIdStop);
        act();
        EXPECT_EQ(Rows(), m.mid(3 - rows));
        EXPECT_EQ(window->library().currentIndex(), current);
        EXPECT_EQ(State(), state);
        EXPECT_EQ(window->engine().FileName(), open < 0 ? QString() : m[open]);
        EXPECT_EQ(Waveform()->sampleCount(), open < 0 ? 0 : 30);
        EXPECT_EQ(QFile::exists(m[0]), kept);
    }
}

// Step by step on two 12 s recordings; the play and pause buttons take turns with the state.
// The window manager's close leaves the window open (the close button ends the program under
// Xvfb).
TEST_F(PlayerWindow, ControlsKeysAndMenusDrivePlaybackAndTheWindowManagersCloseIsIgnored) {
    const QStringList m = {Movie("t/M0.MOV", "long.mov"), Movie("t/M1.MOV", "long.mov")};
    AddMovies(m);
    auto* slider = Control<CSkinSlider>(kIdPosition);
    auto* volume = Control<CSkinSlider>(kIdVolume);
    auto* video = Control<CVideoHost>(kIdVideo);
    auto click = [this](int id) -> Act { return [this, id] { Click(id); }; };
    auto key = [this](Qt::Key k) -> Act { return [this, k] { QTest::keyClick(window.get(), k); }; };
    // "4X" is hidden in the layout; its command still works when given.
    const Act rate4 = [this] { Trigger(kIdRate4); };
    auto fromPause = [this](int id) -> Act {
        return [this, id] {
            Click(kIdPause);
            window->engine().SetPositionSeconds(6);
            Click(id);
        };
    };
    const Act stepRight = [this] {
        const double before = Position();
        QTest::keyClick(window.get(), Qt::Key_Right);
        EXPECT_TRUE(WaitFor([&] { return Position() > before + 0.02; }));
    };
    const Act runOut = [this] {
        const QString playing = window->engine().FileName();
        window->engine().SetPositionSeconds(11.6);
        EXPECT_TRUE(
            WaitFor([&] { return State() != Running || window->engine().FileName() != playing; }));
        QTest::qWait(300);
        EXPECT_TRUE(State() != Stopped || Position() < 0.05) << "stopped on the first frame";
    };
    auto grab = [this, slider](int quarter) -> Act {
        return [=, this] {
            const QPoint at(slider->width() * quarter / 4, slider->height() / 2);
            QTest::mousePress(slider, Qt::LeftButton, {}, at);
            EXPECT_EQ(State(), Paused);
            QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
            EXPECT_GE(Position(), slider->value() * 0.1 - 0.05);
            EXPECT_LT(Position(), slider->value() * 0.1 + (State() == Paused ? 0.05 : 1));
        };
    };
    const Act setVolume = [=, this] {
        QTest::mouseClick(volume, Qt::LeftButton, {},
                          {volume->width() * 3 / 10, volume->height() / 2});
        EXPECT_EQ(window->engine().GetVolumeLevel(), volume->value());
    };
    auto opensDialog = [](const Act& open, const QString& title) -> Act {
        return [=] {
            QString shown;
            auto handler = OnNext<QDialog>([&](QDialog* d) {
                shown = d->windowTitle();
                d->reject();
            });
            open();
            EXPECT_EQ(shown, title);
        };
    };
    const Act windowMenu = [this] {
        auto menu = OnNextMenuChoose(QStringLiteral("关于 Movastra(&A)..."));
        window->activateWindow(); // the menu key reaches only the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    };
    // The settings dialog reads the card the window was started with.
    Write("emptycard/setup.cfg", QByteArray::fromStdString(test::SetupCfg()));
    const Act doubleClick = [video] { QTest::mouseDClick(video, Qt::LeftButton); };
    const Act escape = [video] { QTest::keyClick(video, Qt::Key_Escape); };
    // Then the state, the row open, the engine's rate, the rate slider's position and whether
    // the picture fills the screen.
    using Step = std::tuple<const char*, Act, MediaState, int, double, int, bool>;
    const Step steps[] = {
        {"Next with nothing open plays the first row", click(kIdNext), Running, 0, 1, 3, false},
        {"Previous stays on the first row", click(kIdPrevious), Running, 0, 1, 3, false},
        {"Space pauses", key(Qt::Key_Space), Paused, 0, 1, 3, false},
        {"Right steps one frame", stepRight, Paused, 0, 1, 3, false},
        {"4X from pause plays", rate4, Running, 0, 4, 3, false},
        {"Stop", click(kIdStop), Stopped, 0, 4, 3, false},
        {"4X while stopped only sets the rate", rate4, Stopped, 0, 4, 3, false},
        {"Play plays at 1x", click(kIdPlay), Running, 0, 1, 3, false},
        {"4X while running changes the rate", rate4, Running, 0, 4, 3, false},
        {"Pause", click(kIdPause), Paused, 0, 4, 3, false},
        {"Space plays at 1x", key(Qt::Key_Space), Running, 0, 1, 3, false},
        {"the end without Recycle stops", runOut, Stopped, 0, 1, 3, false},
        {"Recycle", click(kIdRecycle), Stopped, 0, 1, 3, false},
        {"Stop", click(kIdStop), Stopped, 0, 1, 3, false},
        {"Next", click(kIdNext), Running, 1, 1, 3, false},
        {"the end after Stop then Next stops", runOut, Stopped, 1, 1, 3, false},
        {"Next stays on the last row", click(kIdNext), Stopped, 1, 1, 3, false},
        {"Previous", click(kIdPrevious), Running, 0, 1, 3, false},
        {"the end with Recycle plays the next row", runOut, Running, 1, 1, 3, false},
        {"the end of the last row stops", runOut, Stopped, 1, 1, 3, false},
        {"Previous", click(kIdPrevious), Running, 0, 1, 3, false},
        {"Faster from pause plays", fromPause(kIdFaster), Running, 0, 2, 4, false},
        {"Faster", fromPause(kIdFaster), Running, 0, 4, 5, false},
        {"Faster at the end does nothing", fromPause(kIdFaster), Paused, 0, 4, 5, false},
        {"Slower", fromPause(kIdSlower), Running, 0, 2, 4, false},
        {"Slower to 1x", fromPause(kIdSlower), Running, 0, 1, 3, false},
        {"Slower to -2x", fromPause(kIdSlower), Running, 0, -2, 2, false},
        {"Slower to -4x", fromPause(kIdSlower), Running, 0, -4, 1, false},
        {"Slower at the end does nothing", fromPause(kIdSlower), Paused, 0, -4, 1, false},
        {"Faster back to -2x", fromPause(kIdFaster), Running, 0, -2, 2, false},
        {"Faster while running", click(kIdFaster), Running, 0, 1, 3, false},
        {"the position slider grabbed while running", grab(3), Running, 0, 1, 3, false},
        {"Stop", click(kIdStop), Stopped, 0, 1, 3, false},
        {"Faster while stopped only sets the rate", click(kIdFaster), Stopped, 0, 2, 4, false},
        {"the position slider grabbed while stopped", grab(1), Paused, 0, 2, 4, false},
        {"the volume slider", setVolume, Paused, 0, 2, 4, false},
        {"Next, at that volume", click(kIdNext), Running, 1, 1, 3, false},
        {"F", key(Qt::Key_F), Running, 1, 1, 3, true},
        {"Esc", escape, Running, 1, 1, 3, false},
        {"a double-click on the picture", doubleClick, Running, 1, 1, 3, true},
        {"another double-click", doubleClick, Running, 1, 1, 3, false},
        {"the window manager's close", [this] { window->close(); }, Running, 1, 1, 3, false},
        {"settings", opensDialog(click(kIdSettings), "System setting"), Running, 1, 1, 3, false},
        {"KML", opensDialog(click(kIdKml), "KML Converter"), Running, 1, 1, 3, false},
        {"about", opensDialog(windowMenu, QStringLiteral("关于 Movastra")), Running, 1, 1, 3,
         false},
    };
    for (const auto& [name, act, state, open, rate, rateSlider, fullScreen] : steps) {
        SCOPED_TRACE(name);
        act();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(State(), state);
        EXPECT_EQ(window->engine().FileName(), m[open]);
        EXPECT_EQ(window->library().currentIndex(), open);
        EXPECT_EQ(List()->currentRow(), open);
        EXPECT_DOUBLE_EQ(window->engine().GetRate(), rate);
        EXPECT_EQ(Control<CSkinSlider>(kIdRate)->value(), rateSlider);
        EXPECT_EQ(video->IsFullScreen(), fullScreen);
        EXPECT_TRUE(WaitFor([&, running = state == Running] {
            return Control(kIdPause)->isVisible() == running &&
                   Control(kIdPlay)->isVisible() != running;
        }));
    }
    EXPECT_LT(volume->value(), 10);
    EXPECT_EQ(window->engine().GetVolumeLevel(), volume->value());
}

TEST_F(PlayerWindow, ReadOutsFollowThePlayingSecondAndStayIdleWithoutAFix) {
    AddMovies({Recording("s/M")});
    ClickRow(0); // a selection while nothing runs opens the movie paused
    auto* position = Control<CSkinSlider>(kIdPosition);
    auto* panel = Control<CDashPanel>(kIdPanel);
    ASSERT_EQ(State(), Paused);
    ASSERT_EQ(Waveform()->sampleCount(), 30);
    EXPECT_EQ(position->maximum(), 30);
    // The sample clicked, then the speed text, the needle, the heading and the map shown.
    using Case = std::tuple<int, QString, int, int, bool>;
    const Case cases[] = {
        {5, "0Km/H ", 0, 180, false},  // second 0: no fix yet
        {9, "0Km/H ", 0, 180, false},  // 0.9 s
        {10, "11Km/H ", 11, 90, true}, // second 1 shows fix 0
        {25, "11Km/H ", 0, 180, true}, // fix 1 has no usable position: gauges reset, text kept
        {12, "11Km/H ", 11, 90, true},
    };
    for (const auto& [sample, speedText, needle, heading, mapShown] : cases) {
        SCOPED_TRACE(sample);
        ClickWaveformAt(sample);
        EXPECT_TRUE(WaitFor([&] { return Waveform()->cursorIndex() == sample; }));
        EXPECT_NEAR(Position(), sample / 10.0, 0.051);
        EXPECT_EQ(State(), Paused);
        EXPECT_EQ(Control<QLabel>(kIdSpeedText)->text(), speedText);
        EXPECT_EQ(panel->lastSpeed(), needle);
        EXPECT_EQ(panel->lastHeading(), heading);
        EXPECT_EQ(Control(kIdMapHost)->isVisible(), mapShown);
        EXPECT_EQ(position->value(), 0) << "paused, the slider is left alone";
    }
    Click(kIdPlay);
    EXPECT_TRUE(WaitFor([&] { return position->value() > 15 && Waveform()->cursorIndex() > 15; }));
    Click(kIdStop);
    EXPECT_EQ(Waveform()->cursorIndex(), 0);
    EXPECT_EQ(position->value(), 0);
    // Clicks seek neither while stopped nor left of the plot; a right click switches the view.
    ClickWaveformAt(20);
    Click(kIdPlay);
    Click(kIdPause);
    const double paused = Position();
    QTest::mouseClick(Waveform(), Qt::LeftButton, {}, QPoint(5, 40));
    QTest::qWait(300);
    EXPECT_LT(paused, 1.0);
    EXPECT_NEAR(Position(), paused, 0.001);
    const bool speedView = Waveform()->isSpeedView();
    QTest::mouseClick(Waveform(), Qt::RightButton, {}, QPoint(100, 40));
    EXPECT_NE(Waveform()->isSpeedView(), speedView);
}

// The card pulled while a recording plays at 4x: its movie cut short or removed (what was
// read keeps playing), its telemetry removed. The window ends stopped with idle read-outs (no
// speed or heading of a second no longer shown) and plays the next recording.
TEST_F(PlayerWindow, ACardPulledWhilePlayingEndsStoppedAndTheNextRecordingPlays) {
    const QByteArray second = "[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t30\t45\n" +
                              QByteArray("[S]\t1\t2\t3\n").repeated(10);
    using Case = std::pair<const char*, std::function<void(const QString&)>>;
    const Case cases[] = {
        {"cut short", [](const QString& m) { QFile::resize(m, QFileInfo(m).size() / 5); }},
        {"cut to nothing", [](const QString& m) { QFile::resize(m, 0); }},
        {"removed", [](const QString& m) { QFile::remove(m); }},
    };
    auto* speed = Control<QLabel>(kIdSpeedText);
    auto* panel = Control<CDashPanel>(kIdPanel);
    for (const auto& [name, pull] : cases) {
        SCOPED_TRACE(name);
        window->ClearLibrary();
        const QString dat = Write(QString("%1/M0.DAT").arg(name), second.repeated(12));
        const QStringList m = {Movie(QString("%1/M0.MOV").arg(name), "long.mov"),
                               Movie(QString("%1/M1.MOV").arg(name))};
        AddMovies(m);
        DoubleClickRow(0);
        Trigger(kIdRate4);
        ASSERT_TRUE(WaitFor([&] { return speed->text() == "30Km/H "; }));
        pull(m[0]);
        QFile::remove(dat);
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longestGap = 0;
        EXPECT_TRUE(WaitFor([&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
            return State() == Stopped;
        }));
        EXPECT_LT(longestGap, 2000) << "events stopped flowing";
        QTest::qWait(300); // sync ticks after the end
        EXPECT_EQ(
            QString("%1%2/%3").arg(speed->text()).arg(panel->lastSpeed()).arg(panel->lastHeading()),
            "0Km/H 0/180");
        EXPECT_TRUE(Control(kIdPlay)->isVisible());
        Click(kIdNext);
        EXPECT_EQ(window->engine().FileName(), m[1]);
        EXPECT_EQ(State(), Running);
        EXPECT_TRUE(WaitFor([&] { return Position() > 0.3; }));
        EXPECT_EQ(speed->text(), "0Km/H ");
    }
}

// Snapshot and print pause a running movie while their dialog is open and resume it after;
// they do nothing while stopped. A file is written whole or not at all. What the printed page
// shows is checked on the print command, which captures the page the same way.
TEST_F(PlayerWindow, SnapshotAndPrintHoldTheMovieAndWriteWholeFilesOrNone) {
    AddMovies({Recording("j/M")});
    ClickRow(0);
    const QString out = dir.filePath("out");
    QFile(Write("out/old.jpg", "old")).setPermissions(QFile::ReadOwner);
    // The button, the state around it, the name typed into its dialog ("-": no dialog is
    // expected, "": cancelled) and the failure reported.
    using Case = std::tuple<const char*, int, MediaState, QString, QString>;
    const Case cases[] = {
        {"snapshot while stopped", kIdSnapshot, Stopped, "-", ""},
        {"snapshot cancelled", kIdSnapshot, Running, "", ""},
        {"snapshot while running", kIdSnapshot, Running, "running.jpg", ""},
        {"snapshot over a read-only file", kIdSnapshot, Paused, "old.jpg",
         "Save image failed! " + out + "/old.jpg"},
        {"snapshot while paused", kIdSnapshot, Paused, "paused.jpg", ""},
        {"print to a PDF", kIdPrint, Paused, "page.pdf", ""},
    };
    for (const auto& [name, button, state, typed, expectedFailure] : cases) {
        SCOPED_TRACE(name);
        if (state == Stopped || State() != Running)
            Click(state == Stopped ? kIdStop : kIdPlay);
        if (state == Paused)
            Click(kIdPause);
        QString failure;
        auto box = OnNextMessage(failure);
        std::optional<MediaState> during;
        auto dialog = OnNext<QDialog>([&](QDialog* d) {
            during = State();
            auto* files = qobject_cast<QFileDialog*>(d);
            if (files)
                files->setDirectory(out);
            if (auto* edit = d->findChild<QLineEdit*>(files ? "fileNameEdit" : "filename"))
                edit->setText(files ? typed : out + "/" + typed);
            typed.isEmpty() || typed == "-" ? d->reject() : d->accept();
            if (d->isVisible()) {
                ADD_FAILURE() << "the name was refused";
                d->reject();
            }
        });
        Click(button);
        QTest::qWait(typed == "-" ? 200 : 0);
        EXPECT_EQ(during, typed == "-" ? std::nullopt : std::optional(Paused));
        EXPECT_EQ(State(), state);
        EXPECT_EQ(failure, expectedFailure);
    }
    QFile old(out + "/old.jpg");
    EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"old.jpg", "page.pdf", "paused.jpg", "running.jpg"}));
}

// The snapshot's Exif block tells the moment on screen: the recording's start as its camera
// stored it, run on by the whole seconds of the position, and the fix that the read-outs show
// for that second.
TEST_F(PlayerWindow, SnapshotCarriesTheMomentOnScreen) {
    QFile source(Media("clip.mov"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    Write("x/M.DAT", kTelemetry);
    AddMovies({Write("x/M.MOV", Dated(source.readAll(), 3861769267u))}); // 2026-05-16 09:41:07
    ClickRow(0);
    Click(kIdPlay);
    Click(kIdPause);
    window->engine().SetPositionSeconds(1.5);
    auto dialog = OnNext<QDialog>([&](QDialog* d) {
        qobject_cast<QFileDialog*>(d)->setDirectory(dir.path());
        d->findChild<QLineEdit*>("fileNameEdit")->setText("shot.jpg");
        d->accept();
    });
    Click(kIdSnapshot);
    QProcess exiftool;
    exiftool.start("exiftool", {"-s3", "-n", "-DateTimeOriginal", "-GPSLatitude", "-GPSLongitude",
                                dir.filePath("shot.jpg")});
    ASSERT_TRUE(exiftool.waitForFinished());
    EXPECT_EQ(exiftool.readAllStandardOutput(), "2026:05:16 09:41:08\n24.123456\n121.654321\n");
}

} // namespace
} // namespace quello
