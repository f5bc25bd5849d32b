#pragma once

#include "GpsChoices.h"

#include "recordings/RecordingLibrary.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QMimeData;
class QPoint;
class QTableWidget;
class QWidget;

namespace quello {

// The recording library and its list control: adding movies (file and folder dialogs, drops,
// start-up paths, the card scan), removing them, the list's menu and its selection. Owns the
// RecordingLibrary; drives the list widget, which belongs to the window. Playback is told
// through signals, which run synchronously. GUI thread only.
class LibraryController : public QObject {
    Q_OBJECT
public:
    // `window` parents the dialogs and message boxes; `list` is the window's library control.
    LibraryController(QWidget* window, QTableWidget* list);

    RecordingLibrary& library() { return m_library; }
    const RecordingLibrary& library() const { return m_library; }
    int rowCount() const;

    bool AddRecording(const QString& moviePath); // false when the library is full
    // Adds the movies and folders named at start; a movie brings the movies of its folder.
    // Returns the names that could not be used; `firstMovieRow`, when given, receives the row
    // of the first movie named (-1: none).
    QStringList AddStartupPaths(const QStringList& paths, int* firstMovieRow = nullptr);
    void AddRecordingFromDialog(); // "+" (1022)
    void AddRecordingFolder();     // 1023
    // The card at `cardRoot` as is, or, when empty, the removable drive holding a valid
    // settings file; its media folders are added in the card's order.
    void ScanDeviceRecordings(const QString& cardRoot);
    void AddDroppedUrls(const QMimeData& data);
    void RemoveSelectedRecording(bool deleteFiles);
    void ClearLibrary();
    void ShowLibraryMenu(const QPoint& globalPos);

    // The recording in `row` has telemetry after all (GPS from another source than the
    // camera's file): its "no telemetry" marker goes; a read-only marker stays.
    void MarkTelemetryFound(int row);

    int selectedRow() const;
    void SelectRow(int row);

signals:
    // The current recording is about to leave the library: playback lets go of its files.
    void removingCurrent();
    // The whole library is about to be emptied.
    void clearing();
    // The user chose a row: a single selection (autoPlay false) or a double-click.
    void rowChosen(int row, bool autoPlay);
    // The GPS choices of the recording in `row` changed and were saved.
    void gpsChoicesChanged(int row);

private:
    // Adds a batch in the library's order for its source; returns how many the full library
    // refused.
    int AddMovieList(std::vector<std::string> paths, bool cardOrder);
    // Says how many movies a drop or a folder could not add to the full library.
    void ReportLibraryFull(int refused);
    void OnSelectionChanged();
    void OnDoubleClicked();

    RecordingLibrary m_library;
    QWidget* m_window;
    QTableWidget* m_list;
    // Where each kind of file dialog starts: the home folder first, then where the last one
    // of the same kind ended in this run.
    QString m_openDir;
    QString m_folderDir;
    GpsChoices m_gpsChoices;
};

} // namespace quello
