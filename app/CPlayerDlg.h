#pragma once

#include "playback/CMediaGraph.h"
#include "recordings/RecordingLibrary.h"
#include "recordings/TelemetrySet.h"

#include <QDialog>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QPrinter;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;

namespace quello {

class CDlgGMap;
class CMyWaveForm;
class CSkinButton;
class CSkinSlider;
class CVideoHost;
class CDashPanel;

// The player's one window: a frameless, fixed 1024 x 768 skinned dialog that owns the
// recording library, the current recording's telemetry, the media engine, the waveform, the
// gauges and the map, lays out every control of the window template and routes each command
// to the library or the playback controller.
//
// Everything runs on the GUI thread: commands, the 100 ms sync timer, the one-shot card scan
// and the engine's notification event are serialised by the event loop.
class CPlayerDlg : public QDialog {
    Q_OBJECT
public:
    enum class EntryStep { Current = 0, Next = 1, Previous = 2 };

    explicit CPlayerDlg(QWidget* parent = nullptr);
    ~CPlayerDlg() override;

    // The camera card to scan 100 ms after start. Empty (the default) searches the removable
    // drives for the camera's settings file; a folder given here is taken as the card as is.
    void SetCardRoot(const QString& root);

    // Adds movies and folders named at start, in the order given; a folder adds its *.MOV
    // files sorted by name without regard to case. Returns the names that could not be used.
    QStringList AddStartupPaths(const QStringList& paths);

    // --- Recording library -------------------------------------------------------------
    bool AddRecording(const QString& moviePath); // false when the library is full
    void AddRecordingFromDialog();               // "+" (1022)
    void AddRecordingFolder();                   // 1023
    void ScanDeviceRecordings();                 // once, 100 ms after start
    void RemoveSelectedRecording(bool deleteFiles);
    void ClearLibrary();

    // --- Playback controller -----------------------------------------------------------
    void OpenEntry(EntryStep step, bool autoPlay);
    // Brings the position slider, waveform, speed text, gauges and map to the engine's
    // position. Run by the 100 ms timer.
    void SyncTelemetry();
    void StopPlayback();
    // Replaces the telemetry with the file at path and hands it to the waveform; false when
    // the file cannot be read (the waveform is then emptied).
    bool LoadTelemetry(const QString& path);
    // The commands on the frame on screen: snapshot (1028) and print (1030) do nothing while
    // stopped and hold a running movie paused around these.
    // Snapshot: asks for a file name and saves the frame on screen as JPEG.
    void SaveSnapshot();
    // Print: asks for a printer and prints the frame on screen with its telemetry and
    // the waveform strip on one page. Leaves the waveform cursor at the printed position and
    // the map marker at the printed second's fix.
    void PrintCurrentFrame();
    // The page of PrintCurrentFrame onto a printer already chosen (also a PDF printer); false
    // when the printer failed.
    bool PrintCurrentFrameOn(QPrinter& printer);

    // --- Read access for tests and measurements -----------------------------------------
    const RecordingLibrary& library() const { return m_library; }
    const TelemetrySet& telemetry() const { return m_telemetry; }
    CMediaGraph& engine() { return m_engine; }
    QWidget* control(int id) const;
    bool userStopped() const { return m_userStopped; }
    int stateBeforeSeek() const { return m_stateBeforeSeek; }
    int volumeLevel() const { return m_volumeLevel; }
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
    void BuildControls();
    void ConnectCommands();
    void ApplyVisualStyle();
    template <class T> T* Place(T* widget, int id, const QRect& rect);

    // Command handlers.
    void OnPlay();
    void OnPause();
    void OnFixedRate(int rateIndex);
    void OnStep(int rateIndex, int direction);
    void OnRateStep(int delta);
    void OnPositionReleased();
    void OnVolumeReleased();
    void OnWaveformClicked();
    void OnVideoDoubleClicked();
    void OnLibrarySelectionChanged();
    void OnLibraryDoubleClicked();
    void OnSyncTimer();
    void OnScanTimer();
    void OnGraphNotify();
    // Snapshot and print: nothing while stopped; a running movie is paused around `work`.
    void OnFrameCommand(const std::function<void()>& work);
    void ShowLibraryMenu(const QPoint& globalPos);
    void ShowWindowMenu(const QPoint& globalPos);
    void ShowAbout();
    void LeaveFullScreen();
    void ReleaseBeforeRemoval();
    int AddMovieList(std::vector<std::string> paths, bool cardOrder);
    // Says how many movies a drop or a folder could not add to the full library.
    void ReportLibraryFull(int refused);
    int SelectedRow() const;
    void SelectRow(int row);
    void SetPlayPauseVisibility(bool running);

    // Owned storage, as plain members: the library and the telemetry never allocate as
    // recordings come and go.
    RecordingLibrary m_library;
    TelemetrySet m_telemetry{};
    CMediaGraph m_engine;

    // Child widgets (owned by Qt's parent chain).
    CVideoHost* m_video = nullptr;
    CSkinButton* m_play = nullptr;
    CSkinButton* m_pause = nullptr;
    CSkinSlider* m_position = nullptr;
    CSkinSlider* m_volume = nullptr;
    CSkinSlider* m_rate = nullptr;
    QTableWidget* m_list = nullptr;
    CMyWaveForm* m_waveform = nullptr;
    QWidget* m_mapHost = nullptr;
    CDlgGMap* m_map = nullptr; // made right after the start-up card scan
    QLabel* m_speedText = nullptr;
    CDashPanel* m_panel = nullptr;
    QCheckBox* m_recycle = nullptr;
    QLabel* m_titleImage = nullptr;

    QTimer m_syncTimer; // "timer 1": playback sync every 100 ms
    QTimer m_scanTimer; // "timer 2": fires once, runs the card scan

    QString m_cardRoot;
    bool m_cardScanned = false;
    int m_stateBeforeSeek = -1;
    int m_volumeLevel = -1;
    bool m_userStopped = false;
    bool m_fullScreenNext = true;
    bool m_draggingWindow = false;
    QPoint m_dragAnchor;

    // Where each kind of file dialog starts: the home folder first, then where the last one
    // of the same kind ended in this run.
    QString m_openDir;
    QString m_folderDir;
    QString m_snapshotDir;
};

} // namespace quello
