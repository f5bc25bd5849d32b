// The window on a library of drives: the days of the list and their recordings, the search
// field, the map's "Recordings that passed here", the import with its progress and Cancel, and
// the bar that offers a camera card's new recordings. The library is made by the real import
// from the demo card (one morning's drive) and a folder with one recording of a later day.
#include "PlayerWindow.h"

#include "app/LibraryController.h"
#include "app/NoticeBar.h"
#include "library/CardWatcher.h"
#include "library/LibraryImport.h"
#include "library/LibraryImportJob.h"
#include "library/LibraryLocation.h"
#include "tests/support/PgTestServer.h"
#include "tests/support/TmpfsMount.h"
#include "views/CDlgGMap.h"

#include <QWebEnginePage>

#include <atomic>

namespace quello {
namespace {

using namespace test;
using enum MediaState;

constexpr quint32 kJune2 = 1780394400u + 2082844800u; // 2026-06-02 10:00:00, QuickTime seconds

class LibraryWindow : public PlayerWindow {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        QFile clip(QUELLO_TEST_MEDIA_DIR "/clip.mov");
        ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
        const QString folder = s_dir->filePath("june");
        QDir().mkpath(folder);
        QFile movie(folder + "/CLIP0001.MOV"), dat(folder + "/CLIP0001.DAT");
        ASSERT_TRUE(movie.open(QIODevice::WriteOnly) && dat.open(QIODevice::WriteOnly));
        movie.write(Dated(clip.readAll(), kJune2));
        dat.write(kTelemetry);
        movie.close();
        dat.close();
        LibraryImport import(s_dir->filePath("library").toStdString(),
                             {QUELLO_DEMO_CARD, folder.toStdString()});
        const ImportReport report = import.Run();
        ASSERT_TRUE(report.ok()) << report.refusal;
        ASSERT_EQ(report.recordings, 6);
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QString Library() { return s_dir->filePath("library"); }
    QLineEdit* SearchField() { return window->findChild<QLineEdit*>("librarySearch"); }
    // The rows as shown: a day's summary, or a recording's file name indented.
    QStringList Shown() {
        QStringList rows;
        for (int r = 0; r < List()->rowCount(); ++r)
            if (!List()->isRowHidden(r))
                rows << (window->libraryController().EntryOfRow(r) < 0
                             ? List()->item(r, 0)->text()
                             : "  " + List()->item(r, 1)->text());
        return rows;
    }
    void WaitListed() {
        ASSERT_TRUE(WaitFor([&] { return !window->libraryController().listing(); }));
    }
    int RowOf(const QString& text) { return int(Shown().indexOf(text)); }

    static QTemporaryDir* s_dir;
};
QTemporaryDir* LibraryWindow::s_dir = nullptr;

// Leftovers of copies under way, which must never outlive an import.
QStringList PartialFiles(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        if (it.next().contains(".quello-part-"))
            found << it.filePath();
    return found;
}

TEST_F(LibraryWindow, DaysNewestFirstAndADaysRecordingsPlayWithTelemetryAndRoutes) {
    window->OpenLibrary(Library());
    WaitListed();
    // The newest day opens by itself; the card's morning waits for a click.
    const QString june = "▾ 2026-06-02 — 1 drive, 1 recording, 0:03";
    const QString may = "2026-05-16 — 1 drive, 5 recordings, ";
    ASSERT_EQ(Shown().size(), 3);
    EXPECT_EQ(Shown().mid(0, 2), (QStringList{june, "  100000_CLIP0001.MOV"}));
    EXPECT_TRUE(Shown()[2].startsWith("▸ " + may)) << Shown()[2].toStdString();
    EXPECT_EQ(window->library().entryCount(), 1);

    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(2));
    QStringList names;
    for (const QString& row : Shown().mid(3))
        names << row.trimmed().mid(7);
    EXPECT_EQ(names, (QStringList{"FILE0001.MOV", "FILE0002.MOV", "FILE0003.MOV", "FILE0004.MOV",
                                  "FILE0005.MOV"}));
    EXPECT_EQ(window->library().entryCount(), 6);

    // A day's recording plays as a card's does: its telemetry beside it in the library.
    DoubleClickRow(RowOf(Shown()[6]));
    ASSERT_TRUE(WaitFor([&] { return State() == Running; }));
    EXPECT_TRUE(window->engine().FileName().endsWith("_FILE0004.MOV"));
    EXPECT_TRUE(WaitFor([&] { return window->telemetry().fixCount > 20; }));

    // The whole day on the map: one line for each recording with GPS (FILE0003 has none).
    CDlgGMap* map = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (map = window->findChild<CDlgGMap*>()) && map->pageLoaded(); }));
    auto choose = OnNextMenuChoose("Show all drives of this day on the map");
    window->libraryController().ShowLibraryMenu(
        List()->viewport()->mapToGlobal(RowPoint(RowOf(Shown()[4]))));
    const auto lines = [&] {
        std::optional<QVariant> result;
        map->page()->runJavaScript("routeLayer.getLayers().length",
                                   [&](const QVariant& v) { result = v; });
        EXPECT_TRUE(WaitFor([&] { return result.has_value(); }));
        return result.value_or(0).toInt();
    };
    EXPECT_TRUE(WaitFor([&] { return lines() == 4; }));
    // Closing the playing recording's day keeps it playing.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowPoint(2));
    EXPECT_EQ(Shown().size(), 3);
    EXPECT_EQ(State(), Running);
    EXPECT_TRUE(window->engine().FileName().endsWith("_FILE0004.MOV"));
}

// The same recordings imported into a library whose index is on a server (named by its
// library.conf, or for the run as --db does) list exactly as the library on its own index.
TEST_F(LibraryWindow, ALibraryOnAServerListsAsOneOnItsOwnIndex) {
    window->OpenLibrary(Library());
    WaitListed();
    const QStringList own = Shown();
    PgTestServer server;
    ASSERT_TRUE(server.ok()) << server.error();
    for (const bool byConf : {true, false}) {
        SCOPED_TRACE(byConf);
        const std::string name = byConf ? "by_conf" : "by_option";
        ASSERT_TRUE(server.CreateDatabase(name)) << server.error();
        const QString shared = dir.filePath(QString::fromStdString(name));
        QDir().mkpath(shared);
        std::string error;
        if (byConf) {
            QFile conf(shared + "/library.conf");
            ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
            conf.write(("database = " + server.Url(name) + "\n").c_str());
        } else {
            SetLibraryDatabase(shared.toStdString(), DatabaseUrl::Parse(server.Url(name), error));
        }
        LibraryImport import(shared.toStdString(),
                             {QUELLO_DEMO_CARD, s_dir->filePath("june").toStdString()});
        ASSERT_TRUE(import.Run().ok());
        window->OpenLibrary(shared);
        WaitListed();
        EXPECT_EQ(Shown(), own);
        EXPECT_FALSE(QFileInfo::exists(shared + "/library.sqlite"));
        SetLibraryDatabase(shared.toStdString(), std::nullopt);
    }
}

TEST_F(LibraryWindow, TheSearchFieldTakesADateAPlaceOrAnEvent) {
    window->OpenLibrary(Library());
    WaitListed();
    ASSERT_TRUE(SearchField());
    EXPECT_EQ(SearchField()->placeholderText(), "date, place or event");
    // What is typed, then the days listed.
    const std::pair<QString, QStringList> cases[] = {
        {"2026-05", {"2026-05-16"}},
        {"2026-06-02", {"2026-06-02"}},
        {"2025", {}},
        // The June recording's first fix.
        {"24.123456, 121.654321", {"2026-06-02"}},
        // The card's drive brakes hard once, for the pedestrian.
        {"braking", {"2026-05-16"}},
        // The June clip's G-sensor reads almost nothing upwards: an impact.
        {"impact", {"2026-06-02"}},
        {"", {"2026-06-02", "2026-05-16"}},
    };
    for (const auto& [text, days] : cases) {
        SCOPED_TRACE(text.toStdString());
        SearchField()->setFocus();
        SearchField()->selectAll();
        QTest::keyClicks(SearchField(), text);
        if (text.isEmpty())
            QTest::keyClick(SearchField(), Qt::Key_Backspace);
        QTest::keyClick(SearchField(), Qt::Key_Return);
        WaitListed();
        QStringList listed;
        for (const QString& row : Shown())
            if (row.startsWith("▾ ") || row.startsWith("▸ "))
                listed << row.mid(2, 10);
        EXPECT_EQ(listed, days);
        if (days.isEmpty()) {
            EXPECT_EQ(Shown(), QStringList{"No recordings match"});
        }
    }
    // The braking recording alone when its day is opened.
    ASSERT_TRUE(window->libraryController().Search("braking"));
    WaitListed();
    EXPECT_EQ(Shown().size(), 2);
    EXPECT_TRUE(Shown().value(1).endsWith("_FILE0004.MOV"));
    // Text that is none of the forms leaves the list as it was.
    EXPECT_FALSE(window->libraryController().Search("fifth avenue"));
    EXPECT_EQ(Shown().size(), 2);
}

TEST_F(LibraryWindow, TheMapsMenuListsTheRecordingsThatPassedAPlaceAndPlaysOne) {
    // Without a library the entry is there, greyed.
    QStringList entries;
    auto read = [&entries](QMenu* menu) {
        entries.clear();
        for (QAction* a : menu->actions())
            entries << a->text() + (a->isEnabled() ? "" : " (off)");
        menu->close();
    };
    {
        auto look = OnNext<QMenu>(read);
        window->ShowMapMenu(24.123456, 121.654321, window->mapToGlobal(QPoint(800, 400)));
        EXPECT_EQ(entries, QStringList{"Recordings that passed here (off)"});
    }
    window->OpenLibrary(Library());
    WaitListed();
    // The place, then the submenu's entries.
    const std::pair<QPointF, QStringList> cases[] = {
        {{24.1235, 121.6543}, {"2026-06-02 10:00:01 — 100000_CLIP0001.MOV"}},
        {{-33.9, 18.4}, {"None within 100 m (off)"}},
    };
    for (const auto& [place, expected] : cases) {
        QMenu* passed = nullptr;
        auto look = OnNext<QMenu>([&](QMenu* menu) {
            passed = menu->findChild<QMenu*>("passedMenu");
            if (passed)
                read(passed);
            menu->close();
        });
        window->ShowMapMenu(place.x(), place.y(), window->mapToGlobal(QPoint(800, 400)));
        ASSERT_TRUE(WaitFor([&] { return passed != nullptr; }));
        EXPECT_EQ(entries, expected);
    }
    // Chosen, the recording plays from the second of its passing, with the card's day closed.
    window->libraryController().Search("2026-05-16");
    WaitListed();
    auto choose = OnNext<QMenu>([](QMenu* menu) {
        menu->findChild<QMenu*>("passedMenu")->actions().first()->trigger();
        menu->close();
    });
    window->ShowMapMenu(24.1235, 121.6543, window->mapToGlobal(QPoint(800, 400)));
    ASSERT_TRUE(WaitFor([&] { return State() == Running; }));
    EXPECT_TRUE(window->engine().FileName().endsWith("100000_CLIP0001.MOV"));
    EXPECT_GE(Position(), 1.0);
    EXPECT_EQ(SearchField()->text(), "24.123500,121.654300");
}

TEST_F(LibraryWindow, AnImportShowsItsProgressAndACancelLeavesNoPartialFile) {
    const QString card = QUELLO_DEMO_CARD;
    // Finished: every recording, a report, the library listed again.
    const QString first = dir.filePath("first");
    window->OpenLibrary(first);
    WaitListed();
    EXPECT_EQ(Shown(), QStringList{"The library holds no recordings yet"});
    int notices = 0;
    QObject::connect(&window->importJob(), &LibraryImportJob::progressed, [&] {
        ++notices;
        EXPECT_TRUE(window->noticeBar().isVisible());
        EXPECT_TRUE(window->noticeBar().text().startsWith("Importing: "));
    });
    QString report;
    {
        auto box = OnNextMessage(report);
        ASSERT_TRUE(window->StartImport(card));
        EXPECT_FALSE(window->StartImport(card)); // one at a time
        ASSERT_TRUE(WaitFor([&] { return !report.isEmpty(); }, 60000));
    }
    EXPECT_GT(notices, 0);
    EXPECT_TRUE(report.startsWith("Copied 5 recordings (")) << report.toStdString();
    WaitListed();
    EXPECT_TRUE(Shown().value(0).contains("2026-05-16 — 1 drive, 5 recordings"));
    EXPECT_TRUE(PartialFiles(first).isEmpty());

    // Cancelled from the bar while the first movie is being copied.
    const QString second = dir.filePath("second");
    window->SetImportLibrary(second);
    QObject::connect(&window->importJob(), &LibraryImportJob::progressed, [&] {
        const ImportProgress p = window->importJob().progress();
        if (p.bytesDone > 0 && p.filesDone == 0)
            window->noticeBar().actionButton()->click();
    });
    report.clear();
    auto box = OnNextMessage(report);
    ASSERT_TRUE(window->StartImport(card));
    ASSERT_TRUE(WaitFor([&] { return !report.isEmpty(); }, 60000));
    EXPECT_TRUE(report.contains("Cancelled")) << report.toStdString();
    EXPECT_TRUE(window->importJob().report().cancelled);
    EXPECT_FALSE(window->noticeBar().isVisible());
    EXPECT_TRUE(PartialFiles(second).isEmpty());
    EXPECT_LT(window->importJob().report().recordings, 5);
}

TEST_F(LibraryWindow, ACardWithNewRecordingsIsOfferedInTheBarUntilImportedOrDismissed) {
    const std::string card = QUELLO_DEMO_CARD;
    window->cardWatcher().SetCardFinder([card] { return card; });
    const auto searched = [&] {
        EXPECT_TRUE(WaitFor([&] { return !window->cardWatcher().searching(); }));
    };
    NoticeBar& bar = window->noticeBar();
    // No library to import into: no bar.
    window->cardWatcher().Rescan();
    searched();
    EXPECT_FALSE(bar.isVisible());
    // Everything on the card is new to an empty library.
    QDir().mkpath(dir.filePath("library"));
    QDir().mkpath(dir.filePath("other"));
    window->SetImportLibrary(dir.filePath("library"));
    searched();
    ASSERT_TRUE(bar.isVisible());
    EXPECT_TRUE(bar.text().startsWith("Camera card found: 5 new recordings ("))
        << bar.text().toStdString();
    EXPECT_TRUE(bar.text().endsWith(" MB) —"));
    EXPECT_EQ(bar.actionButton()->text(), "Import");
    // Dismissed, it stays away while the card stays.
    bar.closeButton()->click();
    window->cardWatcher().Rescan();
    searched();
    EXPECT_FALSE(bar.isVisible());
    // Offered again for another library; imported from the bar, nothing is new any more.
    window->SetImportLibrary(dir.filePath("other"));
    searched();
    ASSERT_TRUE(bar.isVisible());
    QString report;
    auto box = OnNextMessage(report);
    bar.actionButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !report.isEmpty(); }, 60000));
    EXPECT_TRUE(report.startsWith("Copied 5 recordings")) << report.toStdString();
    searched();
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(window->cardWatcher().offer().card.isEmpty());
}

// The real watch: the process's mount table wakes the watcher on a mount and on an unmount.
TEST(CardWatch, SearchesWhenTheMountTableChanges) {
    QTemporaryDir dir;
    auto searches = std::make_shared<std::atomic<int>>(0);
    CardWatcher watcher;
    watcher.SetCardFinder([searches] {
        ++*searches;
        return std::string();
    });
    {
        TmpfsMount mount(dir.path().toStdString(), 1 << 20);
        if (!mount.error().empty())
            GTEST_SKIP() << mount.error();
        EXPECT_TRUE(WaitFor([&] { return *searches >= 1; }));
        EXPECT_TRUE(WaitFor([&] { return !watcher.searching(); }));
    }
    const int afterMount = *searches;
    EXPECT_TRUE(WaitFor([&] { return *searches > afterMount; }));
}

} // namespace
} // namespace quello
