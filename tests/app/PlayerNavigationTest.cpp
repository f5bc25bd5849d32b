// The window's ways through a drive: the route on the map, the G-force events, the keys.
#include "PlayerWindow.h"

#include "cameras/SeiTelemetry.h"
#include "recordings/TelemetrySources.h"
#include "tests/support/NmeaText.h"
#include "views/CDlgGMap.h"

#include <QWebEnginePage>

namespace quello {
namespace {

using namespace test;
using enum MediaState;

QByteArray Fix(const char* lat, const char* lon) {
    return QByteArray("[G]\t2026/05/16\t09:41:07\tN") + lat + "\tE" + lon + "\t40\t90\n";
}

// The route of the recording and of those that follow it (one with a .DAT, one with an undated
// NMEA log beside it, read off the GUI thread) is drawn from the usable fixes; a click on it
// plays on from the clicked fix's second, in the recording it belongs to.
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
    // C starts at 01:47:04 UTC; its log has no date, so it is put on C's.
    Write("C.nmea", QByteArray::fromStdString(
                        NmeaSentence("GPGGA,014705.00,2418.000,N,12148.000,E,1,08,1.0,10,M,,M,,") +
                        NmeaSentence("GPGGA,014706.00,2418.600,N,12148.600,E,1,08,1.0,10,M,,M,,")));
    ASSERT_TRUE(window->AddRecording(Write("C.MOV", Dated(movie, kStart + 24))));
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
    const struct {
        int line; // the trip's other recordings first, then this one
        const char* at;
        int row;
        double second;
    } clicks[] = {{2, "24.1101, 121.6099", 0, 3},
                  {0, "24.2, 121.7", 1, 1},
                  {0, "24.1, 121.6", 0, 2},
                  {1, "24.31, 121.81", 2, 3}};
    for (const auto& c : clicks) {
        ASSERT_TRUE(WaitFor([&] {
            return eval(lines).toList() == QVariantList{2, 2, 2};
        })) << "every recording of the trip without its junk fix";
        eval(QString("routeLayer.getLayers()[%1].fire('click', {latlng: L.latLng(%2)}); 0")
                 .arg(c.line)
                 .arg(c.at));
        EXPECT_TRUE(WaitFor([&] {
            return List()->currentRow() == c.row && std::abs(Position() - c.second) < 0.05;
        })) << c.at
            << ": row " << List()->currentRow() << " at " << Position();
    }
}

// A car's Sentry event without its own data (no SEI) is marked on the map where event.json
// places it, with why and when, and nothing pretends to be a fix: no route, no fix marker, the
// speed idle, the note saying so. With the car's data the route takes its place.
TEST_F(PlayerWindow, ASentryEventWithoutGpsIsMarkedWhereTheCarPlacedIt) {
    // The car's data is read as the program reads it; the other tests read none.
    struct CarData {
        CarData() { SeiTelemetry::Register(); }
        ~CarData() { SetMovieStreamTelemetry(nullptr); }
    } carData;
    for (const bool sei : {false, true}) {
        const QString drive = dir.filePath(sei ? "sei" : "nosei");
        // An hour apart, so that the two are no trip of each other.
        const QString start = sei ? "2024-05-01_11-00-00" : "2024-05-01_10-00-00";
        QStringList args = {drive,     "--minutes", "1",  "--clip-seconds", "3",     "--size",
                            "320x240", "--fps",     "30", "--cameras",      "front", "--start",
                            start};
        if (!sei)
            args << "--no-sei";
        ASSERT_EQ(QProcess::execute(MAKE_TESLACAM, args), 0);
        ASSERT_TRUE(window->AddRecording(drive + "/TeslaCam/SentryClips/" + start + "/" + start +
                                         "-front.mp4"));
    }
    CDlgGMap* map = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (map = window->findChild<CDlgGMap*>()) && map->pageLoaded(); }));
    const auto eval = [&](const QString& script) {
        std::optional<QVariant> result;
        map->page()->runJavaScript(script, [&](const QVariant& v) { result = v; });
        EXPECT_TRUE(WaitFor([&] { return result.has_value(); })) << script.toStdString();
        return result.value_or(QVariant()).toString();
    };
    const QString shown =
        "(eventMarker ? [eventMarker.getLatLng().lat, eventMarker.getLatLng().lng,"
        " eventMarker.getTooltip().getContent().textContent].join(' ') : '-')"
        " + ' fix ' + (marker ? 1 : 0) + ' lines ' + "
        "routeLayer.getLayers().length";
    auto* note = window->findChild<QLabel*>(QStringLiteral("gpsNote"));

    DoubleClickRow(0);
    const QString place = "37 -122 sentry_aware_object_detection\n2024-05-01 10:00:00, Palo Alto";
    EXPECT_TRUE(WaitFor([&] { return eval(shown) == place + " fix 0 lines 0"; }))
        << eval(shown).toStdString();
    EXPECT_TRUE(map->isVisible());
    EXPECT_TRUE(WaitFor([&] { return Position() > 1.5; }));
    EXPECT_EQ(Control<QLabel>(kIdSpeedText)->text(), "0Km/H ");
    EXPECT_EQ(std::pair(note->text(), note->isVisible()),
              std::pair(QStringLiteral("No GPS: the map shows the event's place"), true));
    EXPECT_EQ(eval(shown), place + " fix 0 lines 0");

    DoubleClickRow(1);
    EXPECT_TRUE(WaitFor([&] { return eval(shown) == "- fix 1 lines 1"; }))
        << eval(shown).toStdString();
    EXPECT_EQ(note->text(), "GPS: the car's own data");
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

// A movie without the camera's file takes its GPS from the GPX beside it, once that has loaded
// off the GUI thread; a shift chosen from the library's menu is saved beside the movie and
// moves the fixes; the window says both.
TEST_F(PlayerWindow, GpsOfAnotherCameraFromASideFileShiftedFromTheLibraryMenu) {
    // Created 2010-01-02 03:04:05 (seconds since 1904); fixes at its seconds 0 and 1.
    QFile clip(Media("clip.mov"));
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QString movie = Write("trip.MOV", Dated(clip.readAll(), 3345246245u));
    Write("trip.gpx", R"(<?xml version="1.0"?><gpx version="1.1" creator="t"
        xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>
        <trkpt lat="24.5" lon="121.25"><time>2010-01-02T03:04:05Z</time></trkpt>
        <trkpt lat="24.5001" lon="121.25"><time>2010-01-02T03:04:06Z</time></trkpt>
        </trkseg></trk></gpx>)");
    AddMovies({movie});
    EXPECT_EQ(Column(*window, 0), QStringList{"*"});
    DoubleClickRow(0);
    auto* note = window->findChild<QLabel*>(QStringLiteral("gpsNote"));
    ASSERT_TRUE(WaitFor([&] { return note->isVisible(); }));
    EXPECT_EQ(note->text(), "GPS: GPX file");
    EXPECT_EQ(Column(*window, 0), QStringList{""});
    EXPECT_STREQ(window->telemetry().fixes[0].latitude, "24.500000");
    // No G-sensor in a GPX: the strip shows the speed curve with a cursor over its seconds.
    EXPECT_TRUE(Waveform()->isSpeedView());
    EXPECT_EQ(Waveform()->speedCount(), window->telemetry().fixCount);
    EXPECT_EQ(Waveform()->sampleCount(), 10 * window->telemetry().fixCount);

    auto menu = OnNextMenuChoose(QStringLiteral("Shift GPS time…"));
    auto shift = OnNext<QDialog>([](QDialog* d) {
        d->findChild<QSpinBox*>(QStringLiteral("seconds"))->setValue(2);
        d->accept();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, RowPoint(0),
                            List()->viewport()->mapToGlobal(RowPoint(0)));
    QApplication::sendEvent(List()->viewport(), &event);
    ASSERT_TRUE(WaitFor([&] { return note->text() == "GPS: GPX file, shifted +0:00:02"; }))
        << note->text().toStdString();
    EXPECT_EQ(window->telemetry().fixes[0].latitude[0], '\0');
    EXPECT_STREQ(window->telemetry().fixes[2].latitude, "24.500000");
    QFile settings(dir.filePath(".quello-gps"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().contains("offset\ttrip.MOV\t2\n"));
}

// "Export evidence…" follows "Go to time..." in the window menu and is usable only while a
// recording is open; then it fills the empty folder chosen and says so.
TEST_F(PlayerWindow, EvidenceExportIsOfferedOnlyWithARecordingOpen) {
    std::vector<bool> enabled;
    const auto look = [&] {
        auto menu = OnNext<QMenu>([&](QMenu* m) {
            const QList<QAction*> actions = m->actions();
            for (qsizetype i = 0; i + 1 < actions.size(); ++i)
                if (actions[i]->text() == "Go to time..." &&
                    actions[i + 1]->text() == QStringLiteral("Export evidence…"))
                    enabled.push_back(actions[i + 1]->isEnabled());
            m->close();
        });
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    };
    look();
    ASSERT_TRUE(window->AddRecording(Movie("K.MOV", "long.mov")));
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return State() == Paused; }));
    look();
    EXPECT_EQ(enabled, (std::vector<bool>{false, true}));

    const QString pack = dir.filePath("pack");
    ASSERT_TRUE(QDir().mkdir(pack));
    auto chooser = OnNext<QDialog>([&](QDialog* d) {
        d->findChild<QLineEdit*>("fileNameEdit")->setText(pack);
        d->accept();
    });
    QString message;
    auto box = OnNextMessage(message);
    auto menu = OnNextMenuChoose(QStringLiteral("Export evidence…"));
    QTest::keyClick(window.get(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return !message.isEmpty(); }));
    EXPECT_EQ(message, "Evidence exported. " + pack);
    QFile copy(pack + "/K.MOV"), original(dir.filePath("K.MOV"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());
    EXPECT_TRUE(QFile::exists(pack + "/MANIFEST.sha256"));
}

} // namespace
} // namespace quello
