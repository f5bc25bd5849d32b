#pragma once

#include "LatestJob.h"
#include "PlaybackController.h"
#include "WindowTemplate.h"

#include "library/LibrarySearch.h"

#include "playback/CMediaGraph.h"
#include "recordings/RecordingLibrary.h"
#include "recordings/TelemetrySet.h"

#include <QDialog>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

class QPrinter;

namespace quello {

class CDlgGMap;
class CardWatcher;
class ClipController;
class MultiViewController;
class LibraryController;
class LibraryImportJob;
class NoticeBar;

// The player's one window: a frameless, fixed 1024 x 768 skinned dialog. It builds the
// window template's controls (WindowTemplate), routes each command to the library controller
// or the playback controller, which it owns, and handles what belongs to the window itself:
// moving it by its title band, its menu, drops, the start-up card scan and the map, made after
// the scan. The members named for the window's commands delegate to the controllers.
//
// With a library of drives it also runs the imports into it (LibraryImportJob, off the GUI
// thread, its progress in the notice bar), offers the import of a camera card that has new
// recordings (CardWatcher) and answers the map's menu with the recordings that passed a place.
//
// Everything runs on the GUI thread: commands, the 100 ms sync timer, the one-shot card scan
// and the engine's notification event are serialised by the event loop; the library's queries
// and imports run on workers and answer through it.
class CPlayerDlg : public QDialog {
    Q_OBJECT
public:
    using EntryStep = PlaybackController::EntryStep;

    explicit CPlayerDlg(QWidget* parent = nullptr);
    ~CPlayerDlg() override;

    // The camera card to scan 100 ms after start. Empty (the default) searches the removable
    // drives for the camera's settings file; a folder given here is taken as the card as is.
    void SetCardRoot(const QString& root);

    // Adds movies and folders named at start, in the order given; a folder adds its *.MOV
    // files sorted by name without regard to case, a movie the movies of its folder. The first
    // movie named plays once the start-up scan has run, unless a recording was opened before;
    // with a movie named and no card root set, the removable drives are not searched. Returns
    // the names that could not be used.
    QStringList AddStartupPaths(const QStringList& paths);

    // --- Library of drives ----------------------------------------------------------------
    // Lists the library at `root` by day instead of a card's recordings (the start-up card
    // scan is then skipped), remembers it and makes it the library imports go to.
    void OpenLibrary(const QString& root);
    // The library imports go to and new card recordings are counted against (empty: none yet;
    // the first import asks for one). Starts looking for camera cards.
    void SetImportLibrary(const QString& root);
    const QString& importLibrary() const { return m_importLibrary; }
    // "Import card…": asks for the card or folder (and, the first time, the library).
    void ImportCardCommand();
    // Imports `source` into the import library; false while an import runs or with no library.
    bool StartImport(const QString& source);
    // The map's menu for a right click at a position: "Recordings that passed here", read
    // from the library on a worker; the menu shows at `globalPos` when they have arrived.
    void ShowMapMenu(double latitude, double longitude, const QPoint& globalPos);
    LibraryController& libraryController() { return *m_library; }
    CardWatcher& cardWatcher() { return *m_cardWatcher; }
    LibraryImportJob& importJob() { return *m_importJob; }
    NoticeBar& noticeBar() { return *m_notice; }
    // The clip's marks and its exports ("Save clip…", "Export video with overlay…").
    ClipController& clips() { return *m_clips; }
    MultiViewController& views() { return *m_views; }

    // --- Recording library -------------------------------------------------------------
    bool AddRecording(const QString& moviePath); // false when the library is full
    void AddRecordingFromDialog();               // "+" (1022)
    void AddRecordingFolder();                   // 1023
    void ScanDeviceRecordings();                 // once, 100 ms after start
    void RemoveSelectedRecording(bool deleteFiles);
    void ClearLibrary();

    // --- Playback controller -----------------------------------------------------------
    void OpenEntry(EntryStep step, bool autoPlay);
    // Run by the 100 ms timer while a movie is open; see PlaybackController.
    void SyncTelemetry();
    void StopPlayback();
    bool LoadTelemetry(const QString& path);
    // Snapshot (1028) and print (1030); see PlaybackController.
    void SaveSnapshot();
    void PrintCurrentFrame();
    bool PrintCurrentFrameOn(QPrinter& printer);

    // --- Read access for tests and measurements -----------------------------------------
    const RecordingLibrary& library() const;
    const TelemetrySet& telemetry() const { return m_playback->telemetry(); }
    CMediaGraph& engine() { return m_playback->engine(); }
    QWidget* control(int id) const;
    bool userStopped() const { return m_playback->userStopped(); }
    std::optional<MediaState> stateBeforeSeek() const { return m_playback->stateBeforeSeek(); }
    std::optional<int> volumeLevel() const { return m_playback->volumeLevel(); }
    bool cardScanned() const { return m_cardScanned; }

signals:
    // Emitted once, after the start-up card scan has run (whether or not a card was found).
    void cardScanDone();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Esc and the window manager's close leave the window open; the close button ends it.
    void reject() override {}

private:
    // The command of every button and key, in one table.
    void ConnectCommands();
    void OnScanTimer();
    void ShowWindowMenu(const QPoint& globalPos);
    // "Go to time...": asks until the answer is a moment of the recording or the user cancels.
    void GoToTimeCommand();
    // Hands a key to the focused control when that control needs it; false when none does.
    static bool GiveKeyToFocusedControl(QKeyCombination key);
    void ShowAbout();
    void OpenLibraryCommand();
    // Asks for the library folder when there is none yet; false when the user cancels.
    bool EnsureImportLibrary();
    void OnCardOffer();
    void OnImportProgress();
    void OnImportFinished();
    struct Passings {
        double latitude = 0, longitude = 0;
        std::vector<LibraryPassing> found;
        QString error;
    };
    void ShowPassingsMenu(const Passings& passings);

    WindowControls m_controls;
    // Children of the window, deleted first by the destructor: they drive its widgets.
    LibraryController* m_library = nullptr;
    PlaybackController* m_playback = nullptr;
    ClipController* m_clips = nullptr;
    MultiViewController* m_views = nullptr;
    CDlgGMap* m_map = nullptr; // made right after the start-up card scan
    NoticeBar* m_notice = nullptr;
    CardWatcher* m_cardWatcher = nullptr;
    LibraryImportJob* m_importJob = nullptr;
    QString m_importLibrary;
    QString m_dismissedCard; // the card whose offer the user dismissed, while it stays mounted
    QPoint m_mapMenuPos;
    LatestJob<std::shared_ptr<Passings>> m_passingsJob;

    QTimer m_scanTimer; // "timer 2": fires once, runs the card scan
    QString m_cardRoot;
    int m_startupMovieRow = -1; // the row of the first movie named at start; -1: none
    bool m_cardScanned = false;
    bool m_draggingWindow = false;
    QPoint m_dragAnchor;
};

} // namespace quello
