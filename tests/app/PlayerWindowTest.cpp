// The assembled window with the real engine on small generated movies and telemetry, driven
// as a user drives it: clicks, keys, drops, menus and dialogs. The engine, the waveform, the
// gauges and the library on their own are checked in their own test folders.
#include "app/CPlayerDlg.h"
#include "playback/CVideoHost.h"
#include "res/skin/WindowLayout.h"
#include "skin/CDashPanel.h"
#include "skin/CSkinSlider.h"
#include "tests/support/SetupCfg.h"
#include "views/CDlgGMap.h"
#include "views/CMyWaveForm.h"

#include <QWebEnginePage>
#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace quello {
namespace {

using enum MediaState;
using Act = std::function<void()>;

// The machine may be busy: the limit only guards against a hang.
bool WaitFor(const std::function<bool()>& pred, int limitMs = 20000) {
    return QTest::qWaitFor(pred, limitMs);
}

// Runs `action` on the next menu or modal dialog of type T while the returned handler lives.
template <class T> std::unique_ptr<QTimer> OnNext(std::function<void(T*)> action) {
    auto poll = std::make_unique<QTimer>();
    QObject::connect(poll.get(), &QTimer::timeout, [timer = poll.get(), action] {
        QWidget* top = QApplication::activePopupWidget();
        if (auto* widget = qobject_cast<T*>(top ? top : QApplication::activeModalWidget())) {
            timer->stop();
            action(widget);
        }
    });
    poll->start(20);
    return poll;
}

std::unique_ptr<QTimer> OnNextMenuChoose(const QString& text) {
    return OnNext<QMenu>([text](QMenu* menu) {
        for (QAction* a : menu->actions())
            if (a->text() == text)
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
    });
}

// Accepts the next message box, keeping its texts in `message`.
std::unique_ptr<QTimer> OnNextMessage(QString& message) {
    return OnNext<QMessageBox>([&message](QMessageBox* b) {
        message = (b->text() + " " + b->informativeText()).trimmed();
        b->accept();
    });
}

QStringList Column(const CPlayerDlg& window, int column = 1) {
    auto* list = qobject_cast<QTableWidget*>(window.control(kIdLibrary));
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r)
        rows << list->item(r, column)->text();
    return rows;
}

// Three seconds of telemetry whose fix i belongs to second i: the GPS line comes before the
// ten G-sensor lines of its second. Fix 1 carries coordinates too short to show.
const QByteArray kTelemetry = "[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t11\t90\n" +
                              QByteArray("[S]\t100\t-200\t1000\n").repeated(10) +
                              "[G]\t2010/01/02\t03:04:06\tN1.5\tE2.5\t22\t45\n" +
                              QByteArray("[S]\t1\t2\t3\n").repeated(20);

class PlayerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(Media("clip.mov"))) << "the test_media fixture has not run";
        QDir().mkpath(dir.filePath("emptycard"));
        window = std::make_unique<CPlayerDlg>();
        window->engine().SetAudioOutput(QStringLiteral("null"));
        window->SetCardRoot(dir.filePath("emptycard"));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(WaitFor([&] { return window->cardScanned(); }));
    }
    static QString Media(const char* name) { return QUELLO_TEST_MEDIA_DIR "/" + QString(name); }
    QString Movie(const QString& name, const char* source = "silent.mov") {
        QFile media(Media(source));
        EXPECT_TRUE(media.open(QIODevice::ReadOnly));
        return Write(name, media.readAll());
    }
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        QDir().mkpath(QFileInfo(f).absolutePath());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        return f.fileName();
    }
    // A movie with the three seconds of telemetry beside it.
    QString Recording(const QString& name) {
        Write(name + ".DAT", kTelemetry);
        return Movie(name + ".MOV", "clip.mov");
    }
    template <class T = QWidget> T* Control(int id) {
        return qobject_cast<T*>(window->control(id));
    }
    QTableWidget* List() { return Control<QTableWidget>(kIdLibrary); }
    CMyWaveForm* Waveform() { return Control<CMyWaveForm>(kIdWaveform); }
    QStringList Rows() { return Column(*window); }
    MediaState State() { return window->engine().GetState(); }
    double Position() { return window->engine().GetPositionSeconds(); }
    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
    QPoint RowPoint(int row) { return List()->visualRect(List()->model()->index(row, 1)).center(); }
    void ClickRow(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
    }
    // As the window system reports it: a click, then the press that makes it a double-click.
    void DoubleClickRow(int row) {
        ClickRow(row);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
        QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
    }
    // Drops local files, or the items given as URLs; returns the rows afterwards.
    QStringList Drop(const QStringList& items) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& item : items)
            urls << (item.startsWith("https:") ? QUrl(item) : QUrl::fromLocalFile(item));
        mime.setUrls(urls);
        QDragEnterEvent enter({500, 400}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop({500, 400}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        return Rows();
    }
    void AddMovies(const QStringList& paths) { ASSERT_EQ(Drop(paths), paths); }
    // Answers the folder dialog with `folder` (empty: cancels); returns where the dialog
    // started, then the rows.
    QStringList AddFolder(const QString& folder) {
        QString startedIn;
        auto answer = OnNext<QFileDialog>([&](QFileDialog* d) {
            startedIn = d->directory().absolutePath();
            d->setDirectory(folder);
            folder.isEmpty() ? d->reject() : static_cast<QDialog*>(d)->accept();
        });
        Click(kIdAddFolder);
        return QStringList{startedIn} + Rows();
    }
    void ClickWaveformAt(int sample) {
        const double step = double(Waveform()->width() - 20) / (Waveform()->sampleCount() - 1);
        QTest::mouseClick(Waveform(), Qt::LeftButton, {},
                          QPoint(20 + int(std::ceil(sample * step)), Waveform()->height() / 2));
    }

    QTemporaryDir dir;
    std::unique_ptr<CPlayerDlg> window;
};

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
    const Act rate4 = [this] { Control<QAbstractButton>(kIdRate4)->click(); };
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
        Control<QAbstractButton>(kIdRate4)->click();
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

// Copies a test movie with its header's creation time set (QuickTime seconds since 1904), so
// that recordings can follow one another as a camera writes them.
QByteArray Dated(const QByteArray& movie, quint32 created1904) {
    QByteArray bytes = movie;
    const qsizetype mvhd = bytes.indexOf("mvhd");
    if (mvhd >= 0)
        for (int i = 0; i < 4; ++i)
            bytes[mvhd + 8 + i] = char(created1904 >> (24 - 8 * i));
    return bytes;
}

QByteArray Fix(const char* lat, const char* lon) {
    return QByteArray("[G]\t2026/05/16\t09:41:07\tN") + lat + "\tE" + lon + "\t40\t90\n";
}

// The route of the recording and of the one that follows it is drawn from the usable fixes; a
// click on it plays on from the clicked fix's second, in the recording it belongs to.
TEST_F(PlayerWindow, RouteClicksSeekAndOpenTheTripsRecording) {
    QFile source(Media("long.mov"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray movie = source.readAll();
    constexpr quint32 kStart = 3862000000u; // 2026, 12 s apart: long.mov lasts 12 s
    Write("A.DAT",
          Fix("1.5", "2.5") + Fix("24.100000", "121.600000") + Fix("24.110000", "121.610000"));
    Write("B.DAT", Fix("24.200000", "121.700000") + Fix("24.210000", "121.710000"));
    ASSERT_TRUE(window->AddRecording(Write("A.MOV", Dated(movie, kStart))));
    ASSERT_TRUE(window->AddRecording(Write("B.MOV", Dated(movie, kStart + 12))));
    CDlgGMap* map = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (map = window->findChild<CDlgGMap*>()) && map->pageLoaded(); }));
    ClickRow(0);
    const auto eval = [&](const QString& script) {
        std::optional<QVariant> result;
        map->page()->runJavaScript(script, [&](const QVariant& v) { result = v; });
        EXPECT_TRUE(WaitFor([&] { return result.has_value(); })) << script.toStdString();
        return result.value_or(QVariant());
    };
    const QString lines =
        "routeLayer.getLayers().map(function (l) { return l.getLatLngs().length; })";
    ASSERT_TRUE(WaitFor([&] {
        return eval(lines).toList() == QVariantList{2, 2};
    })) << "the trip's other recording first, then this one without its junk fix";
    const struct {
        int line;
        const char* at;
        int row;
        double second;
    } clicks[] = {
        {1, "24.1101, 121.6099", 0, 3}, {0, "24.2, 121.7", 1, 1}, {0, "24.1, 121.6", 0, 2}};
    for (const auto& c : clicks) {
        eval(QString("routeLayer.getLayers()[%1].fire('click', {latlng: L.latLng(%2)}); 0")
                 .arg(c.line)
                 .arg(c.at));
        EXPECT_TRUE(WaitFor([&] {
            return List()->currentRow() == c.row && std::abs(Position() - c.second) < 0.05;
        })) << c.at
            << ": row " << List()->currentRow() << " at " << Position();
    }
}

// Events found in the telemetry are marked on the strip and the slider; N and Shift+N and the
// window menu jump to 2 s before their peaks.
TEST_F(PlayerWindow, GForceEventsAreMarkedAndJumpedTo) {
    QByteArray telemetry;
    for (int tenth = 0; tenth < 120; ++tenth) {
        const bool braking = tenth >= 60 && tenth < 63, turning = tenth == 95;
        telemetry += QString("[S]\t%1\t%2\t1000\n")
                         .arg(braking ? -600 - 100 * (tenth == 61) : 10)
                         .arg(turning ? -700 : 0)
                         .toLatin1();
    }
    Write("E.DAT", telemetry);
    ASSERT_TRUE(window->AddRecording(Movie("E.MOV", "long.mov")));
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == Paused; }));
    EXPECT_EQ(Waveform()->eventMarks(), (std::vector<int>{61, 95}));
    EXPECT_EQ(Control<CSkinSlider>(kIdPosition)->marks(), (std::vector<int>{61, 95}));

    const struct {
        Qt::KeyboardModifiers modifiers;
        double position;
    } jumps[] = {{Qt::NoModifier, 4.1},
                 {Qt::NoModifier, 7.5},
                 {Qt::NoModifier, 7.5},
                 {Qt::ShiftModifier, 4.1},
                 {Qt::ShiftModifier, 4.1}};
    for (const auto& j : jumps) {
        QTest::keyClick(window.get(), Qt::Key_N, j.modifiers);
        EXPECT_TRUE(WaitFor([&] { return std::abs(Position() - j.position) < 0.05; }))
            << Position() << " instead of " << j.position;
    }
    QStringList items;
    auto chooser = OnNext<QMenu>([&](QMenu* menu) {
        QMenu* events = menu->findChild<QMenu*>("eventsMenu");
        for (QAction* a : events->actions())
            items << a->text();
        events->actions().value(1)->trigger();
        menu->close();
    });
    QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(items, (QStringList{"0:06.1  braking  -0.70 g", "0:09.5  left turn  -0.70 g"}));
    EXPECT_TRUE(WaitFor([&] { return std::abs(Position() - 7.5) < 0.05; }));
}

// The keys of video players, on a 12-second movie; a focused slider keeps its arrows and a
// focused button its Space.
TEST_F(PlayerWindow, KeysMoveThroughTheRecording) {
    ASSERT_TRUE(window->AddRecording(Movie("K.MOV", "long.mov")));
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == Paused; }));
    auto* rate = Control<CSkinSlider>(kIdRate);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        double position;
    } keys[] = {{Qt::Key_Right, Qt::NoModifier, 0.04},     {Qt::Key_Right, Qt::ShiftModifier, 5.04},
                {Qt::Key_Left, Qt::NoModifier, 5.0},       {Qt::Key_Right, Qt::ShiftModifier, 10.0},
                {Qt::Key_Right, Qt::ShiftModifier, 11.96}, {Qt::Key_Left, Qt::ShiftModifier, 6.96},
                {Qt::Key_Home, Qt::NoModifier, 0.0},       {Qt::Key_End, Qt::NoModifier, 11.96}};
    for (const auto& k : keys) {
        QTest::keyClick(window.get(), k.key, k.modifiers);
        EXPECT_TRUE(WaitFor([&] { return std::abs(Position() - k.position) < 0.021; }))
            << QKeySequence(k.key | k.modifiers).toString().toStdString() << ": " << Position();
    }
    EXPECT_EQ(State(), Paused);

    auto* volume = Control<CSkinSlider>(kIdVolume);
    volume->setFocus();
    const int level = volume->value();
    QTest::keyClick(window.get(), Qt::Key_Left);
    EXPECT_EQ(volume->value(), level - 1);
    auto* recycle = Control<QCheckBox>(kIdRecycle);
    recycle->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_TRUE(recycle->isChecked());
    EXPECT_EQ(State(), Paused);
    EXPECT_NEAR(Position(), 11.96, 0.021) << "the keys went to the focused controls";
    // A time that is not in the recording is said, and asked for again.
    QStringList answers{"9:99", "0:07.5"};
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            d && !answers.isEmpty()) {
            d->setTextValue(answers.takeFirst());
            d->accept();
        } else if (auto* b = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            b->accept();
        }
    });
    answering.start(20);
    auto menu = OnNextMenuChoose(QStringLiteral("Go to time..."));
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(answers.isEmpty());
    EXPECT_TRUE(WaitFor([&] { return std::abs(Position() - 7.5) < 0.021; })) << Position();
    window->activateWindow(); // the keys reach only an active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // As the Faster and Slower buttons: a step of the rate slider, which plays.
    const int normal = rate->value();
    QTest::keyClick(window.get(), Qt::Key_BracketRight);
    EXPECT_EQ(rate->value(), normal + 1);
    QTest::keyClick(window.get(), Qt::Key_BracketLeft);
    EXPECT_EQ(rate->value(), normal);

    QString title;
    auto dialog = OnNext<QFileDialog>([&](QFileDialog* d) {
        title = d->windowTitle();
        d->reject();
    });
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(title, "Open Record File...");
}

} // namespace
} // namespace quello
