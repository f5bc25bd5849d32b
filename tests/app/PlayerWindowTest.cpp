// The assembled window with the real engine on small generated movies and telemetry, driven
// through its widgets: clicks, key presses, drops and the file dialogs.
#include "app/CPlayerDlg.h"
#include "res/skin/WindowLayout.h"

#include "playback/CVideoHost.h"
#include "skin/CDashPanel.h"
#include "skin/CSkinSlider.h"
#include "views/CMyWaveForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace quello {
namespace {

// The map's browser engine needs these before it starts; set before any test runs.
const bool kEnvironmentReady = [] {
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false;js.*=false");
    return true;
}();

QString Media(const char* name) {
    return QStringLiteral(QUELLO_TEST_MEDIA_DIR "/") + name;
}

// Polls until pred() holds; the machine may be busy, so the limit is generous.
bool WaitFor(const std::function<bool()>& pred) {
    return QTest::qWaitFor(pred, 20000);
}

// Runs `action` on the next modal dialog of type T that opens while the returned handler
// lives (at most 30 s).
template <class T> std::unique_ptr<QTimer> OnNextModal(std::function<void(T*)> action) {
    auto poll = std::make_unique<QTimer>();
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QTimer* timer = poll.get();
    QObject::connect(timer, &QTimer::timeout, [timer, started, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            action(dialog);
        } else if (started->elapsed() > 30000) {
            timer->stop();
        }
    });
    poll->start(20);
    return poll;
}

// Three seconds of telemetry whose fix i belongs to second i: the GPS line comes before the
// ten G-sensor lines of its second. Fix 1 carries coordinates too short to show.
const QByteArray kTelemetry = "[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t11\t90\n" +
                              QByteArray("[S]\t100\t-200\t1000\n").repeated(10) +
                              "[G]\t2010/01/02\t03:04:06\tN1.5\tE2.5\t22\t45\n" +
                              QByteArray("[S]\t1\t2\t3\n").repeated(10) +
                              QByteArray("[S]\t4\t5\t6\n").repeated(10);

class PlayerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kEnvironmentReady);
        ASSERT_TRUE(QFile::exists(Media("clip.mov"))) << "the test_media fixture has not run";
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath("emptycard"));
        window = std::make_unique<CPlayerDlg>();
        window->engine().SetAudioOutput(QStringLiteral("null"));
        window->SetCardRoot(dir.filePath("emptycard"));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(WaitFor([&] { return window->cardScanned(); }));
    }
    void TearDown() override { window.reset(); }

    // Copies a test movie into the temporary folder under `name`.
    QString Movie(const QString& name, const char* source = "silent.mov") {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(Media(source), path));
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    void Text(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    template <class T = QWidget> T* Control(int id) {
        auto* w = qobject_cast<T*>(window->control(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    QTableWidget* List() { return Control<QTableWidget>(kIdLibrary); }
    CMyWaveForm* Waveform() { return Control<CMyWaveForm>(kIdWaveform); }
    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
    QPoint RowPoint(int row) { return List()->visualRect(List()->model()->index(row, 1)).center(); }
    void ClickRow(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
    }
    // A real double-click: press and release, then the second press that the window system
    // reports as a double-click.
    void DoubleClickRow(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
        QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, RowPoint(row));
    }
    QStringList Rows(int column = 1) {
        QStringList rows;
        for (int r = 0; r < List()->rowCount(); ++r)
            rows << List()->item(r, column)->text();
        return rows;
    }
    MediaState State() { return window->engine().GetState(); }
    void Drop(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at(500, 400);
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
    }
    // Adds the given movies by dropping them (in this order).
    void AddMovies(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        Drop(urls);
        ASSERT_EQ(window->library().entryCount(), paths.size());
    }
    // Clicks the waveform's plot where the sample index `index` lies.
    void ClickWaveformAt(int index) {
        CMyWaveForm* wave = Waveform();
        const int left = 20, right = wave->width();
        const double step = double(right - left) / (wave->sampleCount() - 1);
        const int x = left + int(std::ceil(index * step));
        QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(x, wave->height() / 2));
    }

    QTemporaryDir dir;
    std::unique_ptr<CPlayerDlg> window;
};

TEST_F(PlayerWindow, CardScanAddsMediaFoldersInCharacterOrderAndSkipsMissingOnes) {
    const QStringList names = {"card/DCIM/100MEDIA/FILE0002.MOV", "card/DCIM/100MEDIA/file0001.mov",
                               "card/DCIM/100MEDIA/FILE0003.MOV", "card/DCIM/103MEDIA/A.MOV",
                               "card/DCIM/105MEDIA/FILE0009.MOV", "card/DCIM/FILE0010.MOV"};
    for (const QString& n : names)
        Movie(n);
    QDir().mkpath(dir.filePath("card/DCIM/100MEDIA/SUB.MOV"));
    Text("card/DCIM/100MEDIA/FILE0002.DAT", "[S]\t1\t2\t3\n");

    CPlayerDlg scanned;
    scanned.SetCardRoot(dir.filePath("card"));
    ASSERT_TRUE(WaitFor([&] { return scanned.cardScanned(); }));
    auto* list = qobject_cast<QTableWidget*>(scanned.control(kIdLibrary));
    QStringList rows, markers;
    for (int r = 0; r < list->rowCount(); ++r) {
        rows << list->item(r, 1)->text();
        markers << list->item(r, 0)->text();
    }
    const QString root = QDir(dir.filePath("card")).absolutePath();
    EXPECT_EQ(rows, (QStringList{
                        root + "/DCIM/100MEDIA/FILE0002.MOV", root + "/DCIM/100MEDIA/FILE0003.MOV",
                        root + "/DCIM/100MEDIA/file0001.mov", root + "/DCIM/103MEDIA/A.MOV"}));
    EXPECT_EQ(markers, (QStringList{"", "*", "*", "*"}));
    EXPECT_EQ(scanned.library().entryCount(), 4);
}

TEST_F(PlayerWindow, FolderButtonAddsTheFolderIgnoringCaseStartingAtHome) {
    for (const char* n : {"f/FILE0002.MOV", "f/file0001.mov", "f/FILE0003.MOV", "f/sub/X.MOV"})
        Movie(n);
    Text("f/notes.txt", "x");
    QString startedIn;
    auto handler = OnNextModal<QFileDialog>([&](QFileDialog* d) {
        startedIn = d->directory().absolutePath();
        d->setDirectory(dir.filePath("f"));
        static_cast<QDialog*>(d)->accept();
    });
    Click(kIdAddFolder);
    EXPECT_EQ(startedIn, QDir::homePath());
    const QString f = QDir(dir.filePath("f")).absolutePath();
    EXPECT_EQ(Rows(), (QStringList{f + "/file0001.mov", f + "/FILE0002.MOV", f + "/FILE0003.MOV"}));

    // The next folder dialog starts where the last one ended; cancelling adds nothing.
    auto again = OnNextModal<QFileDialog>([&](QFileDialog* d) {
        startedIn = d->directory().absolutePath();
        d->reject();
    });
    Click(kIdAddFolder);
    EXPECT_EQ(startedIn, f);
    EXPECT_EQ(List()->rowCount(), 3);
}

TEST_F(PlayerWindow, DropsTakeExactMovieEndingsInDropOrder) {
    const QString b = Movie("d/b.mov");
    const QString first = Movie("d/FILE0001.MOV");
    const QString odd = Movie("d/clip.Mov");
    Text("d/notes.txt", "x");
    Drop({QUrl::fromLocalFile(b), QUrl::fromLocalFile(odd),
          QUrl::fromLocalFile(dir.filePath("d/notes.txt")),
          QUrl(QStringLiteral("https://example.org/FILE0002.MOV")), QUrl::fromLocalFile(first)});
    EXPECT_EQ(Rows(), (QStringList{b, first}));
}

// What the library is handed and cannot use: a movie that cannot be played or that has gone
// since it was listed; a folder of 20 000 files and a drop of 600 movies for a library of 512.
// Each is refused with a message, in bounded time, and a good recording plays afterwards.
TEST_F(PlayerWindow, WhatCannotBeUsedIsRefusedWithAMessageAndPlaybackGoesOn) {
    const QString bad = dir.filePath("bad/BAD.MOV");
    QDir().mkpath(dir.filePath("bad"));
    QFile::copy(Media("text.txt"), bad);
    // Made quickly: one movie first in folder order, empty files and hard links after it.
    Movie("big/A.MOV");
    for (int i = 0; i < 19999; ++i) {
        const QString name = dir.filePath(QStringLiteral("big/M%1.MOV").arg(i, 5, 10, QChar('0')));
        const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    QList<QUrl> dropped{QUrl::fromLocalFile(Movie("drop/M000.MOV"))};
    for (int i = 1; i < 600; ++i) {
        const QString link = dir.filePath(QStringLiteral("drop/M%1.MOV").arg(i, 3, 10, QChar('0')));
        ASSERT_EQ(::link(QFile::encodeName(dropped[0].toLocalFile()), QFile::encodeName(link)), 0);
        dropped << QUrl::fromLocalFile(link);
    }
    const QString full = "The library is full (512 recordings): %1 movies were not added.";
    const struct {
        const char* name;
        std::function<void()> act;
        int rows;
        QString message;
        int playRow; // a row that plays afterwards
    } cases[] = {
        {"a movie that cannot play",
         [&] {
             AddMovies({Movie("bad/A.MOV"), bad, Movie("bad/C.MOV")});
             ClickRow(1); // choosing the row opens it
         },
         3, "Play movie file failed!", 2},
        {"a movie gone since it was listed",
         [&] {
             AddMovies({Movie("gone/A.MOV"), Movie("gone/GONE.MOV"), Movie("gone/C.MOV")});
             QFile::remove(dir.filePath("gone/GONE.MOV"));
             ClickRow(1);
         },
         3, "Play movie file failed!", 2},
        {"a folder of 20 000 files",
         [&] {
             auto handler = OnNextModal<QFileDialog>([&](QFileDialog* d) {
                 d->setDirectory(dir.filePath("big"));
                 static_cast<QDialog*>(d)->accept();
             });
             Click(kIdAddFolder);
         },
         512, full.arg(20000 - 512), 0},
        {"600 movies dropped", [&] { Drop(dropped); }, 512, full.arg(600 - 512), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->ClearLibrary();
        QString message;
        auto box = OnNextModal<QMessageBox>([&](QMessageBox* b) {
            message = b->text();
            b->accept();
        });
        QElapsedTimer clock;
        clock.start();
        c.act();
        EXPECT_TRUE(WaitFor([&] { return !message.isEmpty(); }));
        std::printf("[ %s ] refused after %lld ms\n", c.name,
                    static_cast<long long>(clock.elapsed()));
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(window->library().entryCount(), c.rows);
        const QStringList rows = Rows();
        ASSERT_EQ(rows.size(), c.rows);
        for (int r = 0; r < c.rows; ++r)
            ASSERT_EQ(rows[r].toStdString(), window->library().entry(r).moviePath);
        if (c.rows == 3) { // the row that failed stays chosen
            EXPECT_EQ(window->library().currentIndex(), 1);
            EXPECT_EQ(List()->currentRow(), 1);
            EXPECT_TRUE(List()->item(1, 0)->isSelected());
        }
        DoubleClickRow(c.playRow);
        EXPECT_EQ(window->engine().FileName(), rows[c.playRow]);
        EXPECT_EQ(State(), MediaState::Running);
    }
}

TEST_F(PlayerWindow, RemovingRowTwoOfFiveKeepsThePlayingRecordingCurrent) {
    QStringList movies;
    for (int i = 0; i < 5; ++i)
        movies << Movie(QStringLiteral("r/M%1.MOV").arg(i), "clip.mov");
    AddMovies(movies);
    DoubleClickRow(4);
    ASSERT_TRUE(WaitFor([&] { return State() == MediaState::Running; }));
    ClickRow(2); // while running, a selection opens nothing
    EXPECT_EQ(window->library().currentIndex(), 4);
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(List()->rowCount(), 4);
    EXPECT_EQ(window->library().entryCount(), 4);
    EXPECT_EQ(window->library().currentIndex(), 3);
    EXPECT_EQ(window->library().entry(3).moviePath, movies[4].toStdString());
    EXPECT_EQ(window->engine().FileName(), movies[4]);
    EXPECT_EQ(State(), MediaState::Running);
    EXPECT_TRUE(QFile::exists(movies[2])) << "the Delete key never deletes files";
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(List()->item(r, 1)->text().toStdString(), window->library().entry(r).moviePath);
    // Additions land at the end.
    Drop({QUrl::fromLocalFile(movies[2])});
    EXPECT_EQ(Rows().last(), movies[2]);
}

TEST_F(PlayerWindow, RemovingThePlayingRowReleasesItOnlyWhenNotStopped) {
    const QString m0 = Movie("p/M0.MOV", "clip.mov"), m1 = Movie("p/M1.MOV", "clip.mov");
    Text("p/M0.DAT", kTelemetry);
    Text("p/M1.DAT", kTelemetry);
    struct Case {
        const char* name;
        bool stopFirst;
        MediaState after;
        QString fileAfter;
        int samplesAfter;
    };
    const Case cases[] = {{"running", false, MediaState::Closed, QString(), 0},
                          {"stopped", true, MediaState::Stopped, m0, 30}};
    for (const Case& c : cases) {
        window->ClearLibrary();
        AddMovies({m0, m1});
        DoubleClickRow(0);
        ASSERT_TRUE(WaitFor([&] { return State() == MediaState::Running; })) << c.name;
        if (c.stopFirst)
            Click(kIdStop);
        ClickRow(0);
        QTest::keyClick(List(), Qt::Key_Delete);
        EXPECT_EQ(State(), c.after) << c.name;
        EXPECT_EQ(window->engine().FileName(), c.fileAfter) << c.name;
        EXPECT_EQ(Waveform()->sampleCount(), c.samplesAfter) << c.name;
        EXPECT_EQ(Rows(), QStringList{m1}) << c.name;
        EXPECT_EQ(window->library().currentIndex(), 0) << c.name;
        EXPECT_TRUE(window->userStopped()) << c.name;
    }
}

TEST_F(PlayerWindow, MenuRemovesFilesFromDiskOnlyWhenAskedTo) {
    const QString keep = Movie("k/KEEP.MOV"), gone = Movie("k/GONE.MOV");
    Text("k/GONE.DAT", "[S]\t1\t2\t3\n");
    AddMovies({keep, gone});
    const struct {
        int row;
        const char* action;
        QString path;
        bool exists;
    } cases[] = {{0, "Remove", keep, true}, {0, "Remove files from disk", gone, false}};
    for (const auto& c : cases) {
        ClickRow(c.row);
        QTimer::singleShot(200, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions()) {
                if (a->text() == QLatin1String(c.action))
                    menu->setActiveAction(a);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, RowPoint(c.row),
                                List()->viewport()->mapToGlobal(RowPoint(c.row)));
        QApplication::sendEvent(List()->viewport(), &event);
        EXPECT_EQ(QFile::exists(c.path), c.exists) << c.action;
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("k/GONE.DAT")));
    EXPECT_EQ(List()->rowCount(), 0);
}

TEST_F(PlayerWindow, ClearingStopsButKeepsTheMovieOpen) {
    const QString m = Movie("c/M.MOV", "clip.mov");
    Text("c/M.DAT", kTelemetry);
    AddMovies({m});
    DoubleClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == MediaState::Running; }));
    Click(kIdClear);
    EXPECT_EQ(List()->rowCount(), 0);
    EXPECT_EQ(window->library().entryCount(), 0);
    EXPECT_EQ(State(), MediaState::Stopped);
    EXPECT_EQ(window->engine().FileName(), m);
    EXPECT_EQ(Waveform()->sampleCount(), 30);
    EXPECT_EQ(window->library().currentIndex(), 0);
}

TEST_F(PlayerWindow, SyncShowsTheFixOfThePreviousSecond) {
    const QString m = Movie("s/M.MOV", "clip.mov");
    Text("s/M.DAT", kTelemetry);
    AddMovies({m});
    ClickRow(0); // selecting while nothing runs opens the movie paused
    ASSERT_EQ(State(), MediaState::Paused);
    ASSERT_EQ(Waveform()->sampleCount(), 30);
    EXPECT_EQ(Control<CSkinSlider>(kIdPosition)->maximum(), 30);
    EXPECT_TRUE(Control(kIdVideo)->isVisible());

    auto* panel = Control<CDashPanel>(kIdPanel);
    auto* speed = Control<QLabel>(kIdSpeedText);
    const struct {
        int index;
        QString speedText;
        int needle, heading;
        bool mapShown;
    } cases[] = {
        {5, "0Km/H ", 0, 180, false},  // second 0: no fix yet
        {9, "0Km/H ", 0, 180, false},  // 0.9 s
        {10, "11Km/H ", 11, 90, true}, // second 1 shows fix 0
        {25, "11Km/H ", 0, 180, true}, // fix 1 has no usable position: gauges reset, text kept
        {12, "11Km/H ", 11, 90, true},
    };
    for (const auto& c : cases) {
        ClickWaveformAt(c.index);
        ASSERT_EQ(Waveform()->clickedIndex(), c.index);
        EXPECT_TRUE(WaitFor([&] { return Waveform()->cursorIndex() == c.index; }))
            << c.index << " cursor " << Waveform()->cursorIndex();
        EXPECT_NEAR(window->engine().GetPositionSeconds(), c.index / 10.0, 0.051);
        EXPECT_EQ(State(), MediaState::Paused);
        EXPECT_EQ(speed->text(), c.speedText) << c.index;
        EXPECT_EQ(panel->lastSpeed(), c.needle) << c.index;
        EXPECT_EQ(panel->lastHeading(), c.heading) << c.index;
        EXPECT_EQ(Control(kIdMapHost)->isVisible(), c.mapShown) << c.index;
    }
    // While paused the position slider is left alone; Stop rewinds it to 0.
    EXPECT_EQ(Control<CSkinSlider>(kIdPosition)->value(), 0);
    Click(kIdStop);
    EXPECT_EQ(State(), MediaState::Stopped);
    EXPECT_EQ(Waveform()->cursorIndex(), 0);
    EXPECT_EQ(Control<CSkinSlider>(kIdPosition)->value(), 0);
}

TEST_F(PlayerWindow, ClicksOnTheWaveformSeekOnlyWhenNotStopped) {
    const QString m = Movie("w/M.MOV", "clip.mov");
    Text("w/M.DAT", kTelemetry);
    AddMovies({m});
    ClickRow(0);
    Click(kIdStop);
    ASSERT_EQ(State(), MediaState::Stopped);
    ClickWaveformAt(20);
    QTest::qWait(300);
    EXPECT_NEAR(window->engine().GetPositionSeconds(), 0.0, 0.001);
    // Outside the plot (left of it) nothing happens either.
    Click(kIdPlay);
    Click(kIdPause);
    const double before = window->engine().GetPositionSeconds();
    QTest::mouseClick(Waveform(), Qt::LeftButton, {}, QPoint(5, 40));
    EXPECT_EQ(Waveform()->clickedIndex(), -1);
    QTest::qWait(300);
    EXPECT_NEAR(window->engine().GetPositionSeconds(), before, 0.001);
    // A right click switches between the G view and the speed view.
    const bool view = Waveform()->isSpeedView();
    QTest::mouseClick(Waveform(), Qt::RightButton, {}, QPoint(100, 40));
    EXPECT_NE(Waveform()->isSpeedView(), view);
}

TEST_F(PlayerWindow, RecycleAdvancesButNotPastTheLastRow) {
    const QString m0 = Movie("a/M0.MOV"), m1 = Movie("a/M1.MOV");
    AddMovies({m0, m1});
    Control<QCheckBox>(kIdRecycle)->setChecked(true);
    DoubleClickRow(0);
    ASSERT_EQ(State(), MediaState::Running);
    // The 2 s movie runs out and the next one starts.
    ASSERT_TRUE(WaitFor([&] { return window->engine().FileName() == m1; }));
    EXPECT_EQ(window->library().currentIndex(), 1);
    EXPECT_EQ(State(), MediaState::Running);
    EXPECT_EQ(List()->currentRow(), 1);
    // At the last row it stays on the first frame, stopped.
    ASSERT_TRUE(WaitFor([&] { return State() == MediaState::Stopped; }));
    QTest::qWait(300);
    EXPECT_EQ(window->engine().FileName(), m1);
    EXPECT_EQ(window->library().currentIndex(), 1);
    EXPECT_NEAR(window->engine().GetPositionSeconds(), 0.0, 0.05);
}

TEST_F(PlayerWindow, WithoutRecycleOrAfterStopNothingAdvances) {
    const QString m0 = Movie("n/M0.MOV"), m1 = Movie("n/M1.MOV"), m2 = Movie("n/M2.MOV");
    AddMovies({m0, m1, m2});
    auto* recycle = Control<QCheckBox>(kIdRecycle);

    // Unchecked: the end of a movie leaves it stopped.
    DoubleClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == MediaState::Stopped; }));
    QTest::qWait(300);
    EXPECT_EQ(window->engine().FileName(), m0);

    // Checked, but Stop then Next: that movie's end does not advance...
    QTest::mouseClick(recycle, Qt::LeftButton);
    ASSERT_TRUE(recycle->isChecked());
    DoubleClickRow(0);
    Click(kIdStop);
    EXPECT_TRUE(window->userStopped());
    Click(kIdNext);
    ASSERT_EQ(window->engine().FileName(), m1);
    ASSERT_EQ(State(), MediaState::Running);
    ASSERT_TRUE(WaitFor([&] { return State() == MediaState::Stopped; }));
    QTest::qWait(300);
    EXPECT_EQ(window->engine().FileName(), m1);
    EXPECT_FALSE(window->userStopped());
    // ...and playing on makes the next end advance again.
    Click(kIdPlay);
    ASSERT_TRUE(WaitFor([&] { return window->engine().FileName() == m2; }));
    EXPECT_EQ(window->library().currentIndex(), 2);
}

// The card pulled while a recording plays at 4x: its movie is cut short or removed (what
// was read keeps playing), and its telemetry removed. The window keeps handling events, ends
// stopped with idle read-outs (no speed or heading of a second no longer shown) and plays the
// next recording.
TEST_F(PlayerWindow, ACardPulledWhilePlayingEndsStoppedAndTheNextRecordingPlays) {
    QByteArray telemetry;
    for (int s = 0; s < 12; ++s)
        telemetry += QStringLiteral("[G]\t2010/01/02\t03:04:%1\tN24.123456\tE121.654321\t%2\t45\n")
                         .arg(10 + s)
                         .arg(30 + s)
                         .toLatin1() +
                     QByteArray("[S]\t1\t2\t3\n").repeated(10);
    const struct {
        const char* name;
        std::function<void(const QString&)> pull;
    } cases[] = {
        {"cut short", [](const QString& m) { QFile::resize(m, QFileInfo(m).size() / 5); }},
        {"cut to nothing", [](const QString& m) { QFile::resize(m, 0); }},
        {"removed", [](const QString& m) { QFile::remove(m); }},
    };
    auto* speed = Control<QLabel>(kIdSpeedText);
    auto* panel = Control<CDashPanel>(kIdPanel);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window->ClearLibrary();
        const QString pulled = Movie(QStringLiteral("%1/M0.MOV").arg(c.name), "long.mov");
        const QString next = Movie(QStringLiteral("%1/M1.MOV").arg(c.name));
        Text(QStringLiteral("%1/M0.DAT").arg(c.name), telemetry);
        AddMovies({pulled, next});
        DoubleClickRow(0);
        Control<QAbstractButton>(kIdRate4)->click();
        ASSERT_TRUE(WaitFor([&] { return speed->text() != "0Km/H "; }));

        c.pull(pulled);
        QFile::remove(dir.filePath(QStringLiteral("%1/M0.DAT").arg(c.name)));
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longestGap = 0;
        EXPECT_TRUE(WaitFor([&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
            return State() == MediaState::Stopped;
        })) << int(State());
        EXPECT_LT(longestGap, 2000) << "events stopped flowing";
        QTest::qWait(300); // sync ticks after the end
        EXPECT_EQ(speed->text(), "0Km/H ");
        EXPECT_EQ(panel->lastSpeed(), 0);
        EXPECT_EQ(panel->lastHeading(), 180);
        EXPECT_TRUE(Control(kIdPlay)->isVisible());
        EXPECT_EQ(List()->currentRow(), 0);

        Click(kIdNext);
        EXPECT_EQ(window->engine().FileName(), next);
        EXPECT_EQ(State(), MediaState::Running);
        EXPECT_TRUE(WaitFor([&] { return window->engine().GetPositionSeconds() > 0.3; }));
        EXPECT_EQ(speed->text(), "0Km/H ");
    }
}

TEST_F(PlayerWindow, PreviousAndNextStopAtTheEnds) {
    const QString m0 = Movie("e/M0.MOV"), m1 = Movie("e/M1.MOV");
    AddMovies({m0, m1});
    Click(kIdNext); // nothing opened yet: next opens row 0
    EXPECT_EQ(window->engine().FileName(), m0);
    Click(kIdPrevious);
    EXPECT_EQ(window->library().currentIndex(), 0);
    EXPECT_EQ(window->engine().FileName(), m0);
    Click(kIdNext);
    EXPECT_EQ(window->engine().FileName(), m1);
    Click(kIdNext);
    EXPECT_EQ(window->library().currentIndex(), 1);
    EXPECT_EQ(window->engine().FileName(), m1);
}

TEST_F(PlayerWindow, FixedRatesStartPlaybackOnlyFromPause) {
    AddMovies({Movie("x/M.MOV", "clip.mov")});
    const struct {
        const char* name;
        bool stopFirst;
        MediaState after;
    } cases[] = {{"paused", false, MediaState::Running}, {"stopped", true, MediaState::Stopped}};
    for (const auto& c : cases) {
        window->ClearLibrary();
        AddMovies({dir.filePath("x/M.MOV")});
        ClickRow(0);
        if (c.stopFirst)
            Click(kIdStop);
        else
            window->engine().Pause();
        // "4X" is hidden in the layout; its command still works when given.
        qobject_cast<QAbstractButton*>(window->control(kIdRate4))->click();
        EXPECT_EQ(State(), c.after) << c.name;
        EXPECT_DOUBLE_EQ(window->engine().GetRate(), 4.0) << c.name;
        if (c.stopFirst) {
            // Play then resets the rate.
            Click(kIdPlay);
            EXPECT_DOUBLE_EQ(window->engine().GetRate(), 1.0) << c.name;
            EXPECT_EQ(State(), MediaState::Running) << c.name;
        }
        Click(kIdPause);
    }
}

TEST_F(PlayerWindow, RateButtonsWalkTheRateSliderAndStopAtItsEnds) {
    AddMovies({Movie("q/M.MOV", "clip.mov")});
    DoubleClickRow(0);
    auto* rate = Control<CSkinSlider>(kIdRate);
    ASSERT_EQ(rate->value(), 3);
    const struct {
        int button;
        int value;
        double engineRate;
    } steps[] = {{kIdFaster, 4, 2.0},  {kIdFaster, 5, 4.0},  {kIdFaster, 5, 4.0},
                 {kIdSlower, 4, 2.0},  {kIdSlower, 3, 1.0},  {kIdSlower, 2, -2.0},
                 {kIdSlower, 1, -4.0}, {kIdSlower, 1, -4.0}, {kIdFaster, 2, -2.0}};
    // Each step from pause: a step that moves the slider starts playback at the new rate, one
    // at either end changes nothing.
    int last = rate->value();
    for (const auto& s : steps) {
        Click(kIdPause);
        window->engine().SetPositionSeconds(1.5);
        Click(s.button);
        EXPECT_EQ(rate->value(), s.value);
        EXPECT_DOUBLE_EQ(window->engine().GetRate(), s.engineRate) << s.value;
        EXPECT_EQ(State(), s.value != last ? MediaState::Running : MediaState::Paused) << s.value;
        last = s.value;
    }
    // While running the step changes the rate on the fly; while stopped it only sets it.
    Click(kIdFaster);
    EXPECT_EQ(State(), MediaState::Running);
    EXPECT_DOUBLE_EQ(window->engine().GetRate(), 1.0);
    Click(kIdStop);
    Click(kIdFaster);
    EXPECT_EQ(State(), MediaState::Stopped);
    EXPECT_DOUBLE_EQ(window->engine().GetRate(), 2.0);
}

TEST_F(PlayerWindow, GrabbingThePositionSliderPausesAndReleaseSeeksAndResumes) {
    AddMovies({Movie("g/M.MOV", "clip.mov")});
    DoubleClickRow(0);
    auto* slider = Control<CSkinSlider>(kIdPosition);
    const QPoint at(slider->width() / 2, slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, at);
    EXPECT_EQ(State(), MediaState::Paused);
    EXPECT_EQ(window->stateBeforeSeek(), MediaState::Running);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
    const int value = slider->value();
    EXPECT_GT(value, 5);
    EXPECT_EQ(State(), MediaState::Running);
    EXPECT_FALSE(window->stateBeforeSeek().has_value());
    EXPECT_GE(window->engine().GetPositionSeconds(), value * 0.1 - 0.05);

    // Grabbing while stopped leaves the movie paused where the slider was let go.
    Click(kIdStop);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() / 4, at.y()));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() / 4, at.y()));
    EXPECT_EQ(State(), MediaState::Paused);
    EXPECT_NEAR(window->engine().GetPositionSeconds(), slider->value() * 0.1, 0.051);
}

TEST_F(PlayerWindow, VolumeSliderSetsTheLevelForThisAndLaterMovies) {
    const QString m0 = Movie("v/M0.MOV", "clip.mov"), m1 = Movie("v/M1.MOV", "clip.mov");
    AddMovies({m0, m1});
    DoubleClickRow(0);
    auto* volume = Control<CSkinSlider>(kIdVolume);
    EXPECT_EQ(window->volumeLevel(), 10);
    EXPECT_EQ(volume->value(), 10);
    const QPoint at(volume->width() * 3 / 10, volume->height() / 2);
    QTest::mouseClick(volume, Qt::LeftButton, {}, at);
    const int level = volume->value();
    ASSERT_LT(level, 10);
    EXPECT_EQ(window->volumeLevel(), level);
    EXPECT_EQ(window->engine().GetVolumeLevel(), level);
    Click(kIdNext);
    EXPECT_EQ(window->engine().FileName(), m1);
    EXPECT_EQ(window->engine().GetVolumeLevel(), level);
}

TEST_F(PlayerWindow, KeyboardPlaysPausesAndSteps) {
    AddMovies({Movie("kb/M.MOV", "clip.mov")});
    ClickRow(0);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(State(), MediaState::Running);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(State(), MediaState::Paused);
    const double before = window->engine().GetPositionSeconds();
    QTest::keyClick(window.get(), Qt::Key_Right);
    EXPECT_TRUE(WaitFor([&] { return window->engine().GetPositionSeconds() > before + 0.02; }));
    EXPECT_EQ(State(), MediaState::Paused);
    // F and a double-click on the picture enter full screen; Esc and a double-click leave it.
    auto* video = Control<CVideoHost>(kIdVideo);
    QTest::keyClick(window.get(), Qt::Key_F);
    EXPECT_TRUE(video->IsFullScreen()) << "F";
    QTest::keyClick(video, Qt::Key_Escape);
    EXPECT_FALSE(video->IsFullScreen()) << "Esc";
    for (const bool fullScreen : {true, false}) {
        QTest::mouseDClick(video, Qt::LeftButton);
        EXPECT_EQ(video->IsFullScreen(), fullScreen) << "double-click";
    }
    // The sync timer shows play while not running and pause while running.
    EXPECT_TRUE(
        WaitFor([&] { return Control(kIdPlay)->isVisible() && !Control(kIdPause)->isVisible(); }));
    Click(kIdPlay);
    EXPECT_TRUE(
        WaitFor([&] { return Control(kIdPause)->isVisible() && !Control(kIdPlay)->isVisible(); }));
}

TEST_F(PlayerWindow, SnapshotAsksForANameAndResumesOnlyWhatWasRunning) {
    AddMovies({Movie("j/M.MOV", "clip.mov")});
    ClickRow(0);

    // Stopped: nothing happens, no dialog.
    Click(kIdStop);
    {
        bool dialogShown = false;
        auto handler = OnNextModal<QFileDialog>([&](QFileDialog* d) {
            dialogShown = true;
            d->reject();
        });
        Click(kIdSnapshot);
        QTest::qWait(200);
        EXPECT_FALSE(dialogShown);
    }

    const struct {
        const char* name;
        bool running;
        bool accept;
        MediaState after;
        bool unsavable = false; // the name of a read-only file, which is never replaced
    } cases[] = {{"running, saved", true, true, MediaState::Running},
                 {"running, cancelled", true, false, MediaState::Running},
                 {"paused, saved", false, true, MediaState::Paused},
                 {"paused, cannot be saved", false, true, MediaState::Paused, true}};
    int shot = 0;
    for (const auto& c : cases) {
        if (State() != MediaState::Running)
            Click(kIdPlay);
        if (!c.running)
            Click(kIdPause);
        ASSERT_EQ(State(), c.running ? MediaState::Running : MediaState::Paused) << c.name;
        const QString target = dir.filePath(QStringLiteral("shot%1").arg(shot++));
        if (c.unsavable) {
            Text(QFileInfo(target).fileName() + ".jpg", "old");
            QFile(target + ".jpg").setPermissions(QFile::ReadOwner);
        }
        MediaState during = MediaState::Closed;
        QString startedIn, failure;
        auto failureBox = OnNextModal<QMessageBox>([&](QMessageBox* b) {
            failure = b->text() + " " + b->informativeText();
            b->accept();
        });
        auto handler = OnNextModal<QFileDialog>([&](QFileDialog* d) {
            during = State();
            startedIn = d->directory().absolutePath();
            if (!c.accept) {
                d->reject();
                return;
            }
            // Type the name as a user does.
            d->setDirectory(dir.path());
            auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QFileInfo(target).fileName());
            static_cast<QDialog*>(d)->accept();
            if (d->isVisible()) {
                ADD_FAILURE() << "the name was refused: "
                              << d->selectedFiles().join(' ').toStdString();
                d->reject();
            }
        });
        Click(kIdSnapshot);
        EXPECT_EQ(during, MediaState::Paused) << c.name;
        EXPECT_EQ(State(), c.after) << c.name;
        EXPECT_EQ(QFile::exists(target + ".jpg"), c.accept) << c.name;
        if (c.unsavable) {
            QFile old(target + ".jpg");
            EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "old") << c.name;
        }
        EXPECT_EQ(failure, c.unsavable ? "Save image failed! " + target + ".jpg" : "") << c.name;
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp").isEmpty())
            << c.name << ": a temporary file was left";
        if (shot == 1) {
            EXPECT_EQ(startedIn, QDir::homePath());
        } else {
            EXPECT_EQ(startedIn, QDir(dir.path()).absolutePath()) << c.name;
        }
    }
}

TEST_F(PlayerWindow, PrintHoldsARunningMovieAndPrintsTheSecondOnScreen) {
    const QString m = Movie("p/M.MOV", "clip.mov");
    Text("p/M.DAT", kTelemetry);
    AddMovies({m});
    ClickRow(0);
    const QString pdf = dir.filePath("page.pdf");
    const struct {
        const char* name;
        MediaState before;
        bool dialog, accept;
    } cases[] = {{"stopped", MediaState::Stopped, false, false},
                 {"running, cancelled", MediaState::Running, true, false},
                 {"paused, printed", MediaState::Paused, true, true}};
    for (const auto& c : cases) {
        if (c.before == MediaState::Stopped)
            Click(kIdStop);
        else
            Click(kIdPlay);
        if (c.before == MediaState::Paused) {
            Click(kIdPause);
            ClickWaveformAt(5);
            ASSERT_TRUE(WaitFor([&] { return Waveform()->cursorIndex() == 5; }));
        }
        ASSERT_EQ(State(), c.before) << c.name;
        MediaState during = MediaState::Closed;
        bool shown = false;
        auto handler = OnNextModal<QPrintDialog>([&](QPrintDialog* d) {
            shown = true;
            during = State();
            auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename"));
            if (!c.accept || !file)
                return d->reject();
            file->setText(pdf);
            d->accept();
        });
        Click(kIdPrint);
        QTest::qWait(c.dialog ? 0 : 200);
        EXPECT_EQ(shown, c.dialog) << c.name;
        if (c.dialog) {
            EXPECT_EQ(during, MediaState::Paused) << c.name;
        }
        EXPECT_EQ(State(), c.before) << c.name;
    }
    // At 0.5 s the page shows fix 0 itself (the read-outs show none before second 1).
    ASSERT_TRUE(QFile::exists(pdf));
    QProcess text;
    text.start("pdftotext", {"-raw", pdf, "-"});
    ASSERT_TRUE(text.waitForFinished());
    EXPECT_TRUE(text.readAllStandardOutput().simplified().contains(
        "G-Sensor [x: 0.100 y: -0.200 z: 1.000] GPS speed: 11Km/H GPS coordinate [Longitude: "
        "121.654321 Latitude: 24.123456]"));
    EXPECT_EQ(Waveform()->cursorIndex(), 5);

    // A PDF that cannot be written fails the print and leaves any old file as it was.
    Text("old.pdf", "old");
    QFile(dir.filePath("old.pdf")).setPermissions(QFile::ReadOwner);
    for (const char* name : {"missing/page.pdf", "old.pdf"}) {
        QPrinter broken;
        broken.setOutputFileName(dir.filePath(name));
        EXPECT_FALSE(window->PrintCurrentFrameOn(broken)) << name;
    }
    QFile old(dir.filePath("old.pdf"));
    EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp").isEmpty());
}

TEST_F(PlayerWindow, SideDialogsOpenFromTheirButtons) {
    // The settings dialog reads the card the window was started with.
    QByteArray record(128, '\0');
    record.replace(0, 4, "\x0e\x01\x52\x50");
    record.replace(124, 4, "\x50\x0e\x05\x53");
    Text("emptycard/setup.cfg", record);
    for (const auto& [id, title] :
         {std::pair{kIdSettings, "System setting"}, {kIdKml, "KML Converter"}}) {
        QString shown;
        auto handler = OnNextModal<QDialog>([&](QDialog* d) {
            shown = d->windowTitle();
            d->reject();
        });
        Click(id);
        EXPECT_EQ(shown, QString::fromUtf8(title)) << id;
    }
}

TEST_F(PlayerWindow, EscapeAndWindowCloseKeepTheWindowOpenCloseButtonEndsIt) {
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    window->close();
    EXPECT_TRUE(window->isVisible());
    Click(kIdClose);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(PlayerWindow, AboutBoxFromTheWindowMenu) {
    QString title, ok;
    auto handler = OnNextModal<QDialog>([&](QDialog* about) {
        title = about->windowTitle();
        for (auto* b : about->findChildren<QAbstractButton*>())
            ok = b->text();
        about->accept();
    });
    QTimer::singleShot(300, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu->setActiveAction(menu->actions().last());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(title, QStringLiteral("关于 Movastra"));
    EXPECT_EQ(ok, QStringLiteral("确定"));
}

} // namespace
} // namespace quello
