#pragma once

#include "DriveLibraryListing.h"
#include "GpsChoices.h"
#include "LatestJob.h"

#include "recordings/RecordingLibrary.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QLineEdit;
class QMimeData;
class QPoint;
class QTableWidget;
class QWidget;

namespace quello {

// The recording library and its list control: adding movies (file and folder dialogs, drops,
// start-up paths, the card scan), removing them, the list's menu and its selection. Owns the
// RecordingLibrary; drives the list widget, which belongs to the window. Playback is told
// through signals, which run synchronously. GUI thread only.
//
// With a library of drives open the list shows its days, newest first, one row each, and under
// the days opened by a click their recordings in time order; only those days' recordings are
// entries of the RecordingLibrary (which holds 512), in the list's order. A search field above
// the list narrows the days (see LibrarySearch). The index is read on a worker thread: the
// list changes when the answer arrives. Every index named "entry" below is the recording's in
// the RecordingLibrary; list rows of days are none.
class LibraryController : public QObject {
    Q_OBJECT
public:
    // `window` parents the dialogs and message boxes; `list` is the window's library control.
    LibraryController(QWidget* window, QTableWidget* list);

    RecordingLibrary& library() { return m_library; }
    const RecordingLibrary& library() const { return m_library; }

    bool AddRecording(const QString& moviePath); // false when the library is full
    // Adds the movies and folders named at start; a movie brings the movies of its folder.
    // Returns the names that could not be used; `firstMovieRow`, when given, receives the row
    // of the first movie named (-1: none).
    QStringList AddStartupPaths(const QStringList& paths, int* firstMovieRow = nullptr);
    void AddRecordingFromDialog(); // "+" (1022)
    void AddRecordingFolder();     // 1023
    // The card at `cardRoot` as is, or, when empty, the removable drive holding a valid
    // settings file, else a car's TeslaCam drive (FindRecordingDrive); a card's media folders
    // are added in the card's order, a TeslaCam folder's moments in time order.
    void ScanDeviceRecordings(const QString& cardRoot);
    void AddDroppedUrls(const QMimeData& data);
    void RemoveSelectedRecording(bool deleteFiles);
    void ClearLibrary();
    void ShowLibraryMenu(const QPoint& globalPos);

    // The recording of `entry` has telemetry after all (GPS from another source than the
    // camera's file): its "no telemetry" marker goes; a read-only marker stays.
    void MarkTelemetryFound(int entry);

    // The other cameras' movies of the entry's moment when several cameras recorded it (the
    // entry's movie being the main one's); empty for a single camera.
    const std::vector<std::string>& OtherViews(int entry) const;

    // The entry of the selected row; -1 when none is selected or the row is a day's.
    int selectedEntry() const;
    // Selects the entry's row, opening its day first when it is closed.
    void SelectEntry(int entry);
    int EntryOfRow(int row) const;
    int RowOfEntry(int entry) const;

    // --- A library of drives --------------------------------------------------------------
    // Shows the library at `root` in the list (the search field empties), replacing the
    // recordings listed; the newest day opens once its days have arrived.
    void OpenDriveLibrary(const QString& root);
    const QString& driveLibrary() const { return m_driveLibrary; }
    // Lists the days again with the search as it stands (after an import, say).
    void RefreshDriveLibrary();
    // Runs a search as typed into the field; false (the list unchanged) when it is none of
    // the forms LibrarySearch knows.
    bool Search(const QString& text);
    QLineEdit* searchField() const { return m_search; }
    // Opens or closes the day of the list's `row`.
    void ToggleDay(int row);
    // Makes the library recording with this movie an entry and emits `revealed`: at once when
    // its day is among those listed, else after the days of `fallbackSearch` have arrived
    // (nothing when it is not among them either).
    void Reveal(const QString& moviePath, double second, const QString& fallbackSearch);
    // True while the index is being read.
    bool listing() const { return m_listJob.busy(); }

signals:
    // The current recording is about to leave the library: playback lets go of its files.
    void removingCurrent();
    // The whole library is about to be emptied.
    void clearing();
    // The user chose a row: a single selection (autoPlay false) or a double-click.
    void rowChosen(int row, bool autoPlay);
    // The GPS choices of the recording in `row` changed and were saved.
    void gpsChoicesChanged(int row);
    // The user asked for the routes of a whole day: these are its recordings, now entries.
    void dayRoutesRequested(const std::vector<RecordingEntry>& recordings);
    // Reveal() has made the recording `entry`; play it from `second`.
    void revealed(int entry, double second);
    // The days of a search have arrived and are shown.
    void listed();

private:
    // Adds a batch in the library's order for its source; returns how many the full library
    // refused.
    int AddMovieList(std::vector<std::string> paths, bool cardOrder);
    // Adds `paths` in their order, the cameras of one moment as one row (the main camera's);
    // the number refused because the library is full.
    int AddMoments(const std::vector<std::string>& paths);
    // Adds one moment: its main camera's movie as the entry, the other cameras' movies kept
    // beside it; `note` (the cameras' labels, an event's reason) follows the row's time.
    bool AddMoment(const std::string& moviePath, std::vector<std::string> otherViews,
                   const QString& note);
    // Adds the moments of the TeslaCam folder at or under `root` in time order; false when
    // there is none. `refused` receives how many the full library refused.
    bool AddTeslaCam(const std::string& root, int& refused);
    // Says how many movies a drop or a folder could not add to the full library.
    void ReportLibraryFull(int refused);
    void OnSelectionChanged();
    void OnDoubleClicked();

    using ListedRecording = DriveLibraryListing::Recording;
    using ListedDay = DriveLibraryListing::Day;
    using Listing = DriveLibraryListing;
    void StartListing();
    void OnListed(const std::shared_ptr<Listing>& listing);
    // Fills the list and the entries from the listed days: the open days and the day of the
    // playing recording (its rows hidden when that day is closed) become entries, the playing
    // one keeping its place as the current entry.
    void Rebuild();
    int DayOfRow(int row) const;
    void PlaceSearchField(bool shown);
    bool RevealNow(const QString& moviePath, double second);

    RecordingLibrary m_library;
    QWidget* m_window;
    QTableWidget* m_list;
    // Where each kind of file dialog starts: the home folder first, then where the last one
    // of the same kind ended in this run.
    QString m_openDir;
    QString m_folderDir;
    GpsChoices m_gpsChoices;

    // By main movie: the other cameras' movies of its moment.
    std::map<std::string, std::vector<std::string>> m_otherViews;

    QString m_driveLibrary; // empty: no library of drives shown
    QLineEdit* m_search = nullptr;
    QTimer m_searchDelay; // a search runs once typing pauses
    QString m_searchText; // the search whose days are listed or on their way
    std::vector<ListedDay> m_days;
    std::set<QString> m_openDays;
    bool m_openNewest = false; // the next listing opens its newest day
    struct PendingReveal {
        QString moviePath;
        double second = 0;
    };
    std::optional<PendingReveal> m_pendingReveal;
    LatestJob<std::shared_ptr<Listing>> m_listJob;
};

} // namespace quello
