#include "LibraryController.h"

#include "WarningBox.h"

#include "cameras/CameraGroups.h"
#include "cameras/CameraName.h"
#include "cameras/TeslaCamTree.h"

#include "device/DeviceDrive.h"
#include "library/LibrarySearch.h"
#include "recordings/MovieHeader.h"
#include "recordings/MovieListing.h"
#include "res/skin/WindowLayout.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTableWidget>
#include <QTimeZone>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace quello {
namespace {

std::string ToPath(const QString& path) {
    return path.toUtf8().toStdString();
}
QString FromPath(const std::string& path) {
    return QString::fromUtf8(path.c_str());
}
QString DialogStartDir(const QString& remembered) {
    return remembered.isEmpty() ? QDir::homePath() : remembered;
}

// What a list row holds, in its first item's data: a recording (no data), a day or a note.
constexpr int kRowKindRole = Qt::UserRole;
constexpr int kDayIndexRole = Qt::UserRole + 1;
enum RowKind { kRecordingRow = 0, kDayRow = 1, kNoteRow = 2 };

int RowKind(const QTableWidget* list, int row) {
    const QTableWidgetItem* item =
        row >= 0 && row < list->rowCount() ? list->item(row, 0) : nullptr;
    return item ? item->data(kRowKindRole).toInt() : kNoteRow;
}

std::vector<std::string> OtherCameraPaths(const std::vector<CameraFile>& cameras) {
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < cameras.size(); ++i)
        paths.push_back(cameras[i].path);
    return paths;
}

// "sentry: user_interaction_honk", "saved": why a Tesla event clip was kept.
QString TeslaEventNote(const TeslaMoment& moment) {
    if (moment.kind == TeslaClipKind::Recent)
        return {};
    const QString kind =
        moment.kind == TeslaClipKind::Sentry ? QStringLiteral("sentry") : QStringLiteral("saved");
    const std::string reason = moment.event ? moment.event->reason : std::string();
    return reason.empty() ? kind
                          : QStringLiteral("%1: %2").arg(kind, QString::fromStdString(reason));
}

const QString kSearchHelp = QStringLiteral(
    "A day (2026-05-16), a month (2026-05) or a year; a place as latitude,longitude "
    "(40.7646,-73.9729) for the recordings that passed within 100 m; an event: braking, "
    "acceleration, turn, impact; or protected");

} // namespace

LibraryController::LibraryController(QWidget* window, QTableWidget* list)
    : QObject(window), m_window(window), m_list(list), m_gpsChoices(window),
      m_listJob(this, [this](const std::shared_ptr<Listing>& listing) { OnListed(listing); }) {
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            &LibraryController::OnSelectionChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &LibraryController::OnSelectionChanged);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, &LibraryController::OnDoubleClicked);
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row) {
        if (RowKind(m_list, row) == kDayRow)
            ToggleDay(row);
    });
    connect(m_list, &QTableWidget::cellActivated, this, [this](int row) {
        if (RowKind(m_list, row) == kDayRow)
            ToggleDay(row);
    });
    m_searchDelay.setSingleShot(true);
    m_searchDelay.setInterval(300);
    connect(&m_searchDelay, &QTimer::timeout, this, [this] {
        if (m_search)
            Search(m_search->text());
    });
}

int LibraryController::EntryOfRow(int row) const {
    if (row < 0 || row >= m_list->rowCount() || RowKind(m_list, row) != kRecordingRow)
        return -1;
    int entry = 0;
    for (int r = 0; r < row; ++r)
        entry += RowKind(m_list, r) == kRecordingRow ? 1 : 0;
    return entry;
}

int LibraryController::RowOfEntry(int entry) const {
    for (int r = 0, seen = 0; r < m_list->rowCount() && entry >= 0; ++r)
        if (RowKind(m_list, r) == kRecordingRow && seen++ == entry)
            return r;
    return -1;
}

int LibraryController::DayOfRow(int row) const {
    for (int r = row; r >= 0 && r < m_list->rowCount(); --r)
        if (RowKind(m_list, r) == kDayRow)
            return m_list->item(r, 0)->data(kDayIndexRole).toInt();
    return -1;
}

QStringList LibraryController::AddStartupPaths(const QStringList& paths, int* firstMovieRow) {
    QStringList unusable;
    QStringList foldersAdded;
    int movieRow = -1;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists()) {
            unusable << path;
            continue;
        }
        // A movie comes with the other movies of its folder, as "Open with" on one file of a
        // card expects; each folder is listed once.
        const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
        if (!foldersAdded.contains(folder)) {
            foldersAdded << folder;
            int refused = 0;
            if (!(info.isDir() && AddTeslaCam(ToPath(folder), refused)))
                refused = AddMovieList(ListMovieFiles(ToPath(folder)), false);
            if (refused > 0)
                break;
        }
        if (info.isDir() || movieRow >= 0)
            continue;
        const QString movie = info.absoluteFilePath();
        // Another camera's view of a moment plays as the moment's row.
        const std::string moviePath = ToPath(movie);
        for (int r = 0; r < m_list->rowCount() && movieRow < 0; ++r) {
            const int entry = EntryOfRow(r);
            const auto& others = OtherViews(entry);
            if (m_list->item(r, 1)->text() == movie ||
                std::find(others.begin(), others.end(), moviePath) != others.end())
                movieRow = r;
        }
        // A movie named otherwise than *.MOV is not in the folder's list: it joins with the
        // other cameras of its moment (a car's .mp4 files), or alone.
        if (movieRow < 0) {
            const auto group = CameraGroupOf(moviePath);
            const bool added =
                group && group->cameras.size() > 1
                    ? AddMoment(group->cameras.front().path, OtherCameraPaths(group->cameras),
                                QString::fromStdString(CameraLabels(group->cameras)))
                    : AddRecording(movie);
            if (added)
                movieRow = m_list->rowCount() - 1;
        }
    }
    if (firstMovieRow)
        *firstMovieRow = EntryOfRow(movieRow);
    return unusable;
}

bool LibraryController::AddRecording(const QString& moviePath) {
    return AddMoment(ToPath(moviePath), {}, {});
}

bool LibraryController::AddMoment(const std::string& moviePath, std::vector<std::string> otherViews,
                                  const QString& note) {
    RecordingRow row;
    if (!m_library.Add(moviePath, row))
        return false;
    if (otherViews.empty())
        m_otherViews.erase(moviePath);
    else
        m_otherViews[moviePath] = std::move(otherViews);
    QString timeText = FromPath(row.timeText);
    if (!note.isEmpty())
        timeText = timeText.isEmpty() ? note : timeText + QStringLiteral("  ") + note;
    const int r = m_list->rowCount();
    m_list->insertRow(r);
    m_list->setItem(r, 0, new QTableWidgetItem(FromPath(row.marker)));
    m_list->setItem(r, 1, new QTableWidgetItem(FromPath(row.path)));
    m_list->setItem(r, 2, new QTableWidgetItem(timeText));
    return true;
}

bool LibraryController::AddTeslaCam(const std::string& root, int& refused) {
    refused = 0;
    const TeslaCamDrive drive = ScanTeslaCam(root);
    if (drive.teslaCamFolder.empty())
        return false;
    for (const TeslaMoment& moment : drive.moments) {
        QString note = QString::fromStdString(CameraLabels(moment.cameras));
        if (const QString event = TeslaEventNote(moment); !event.isEmpty())
            note += QStringLiteral("  ") + event;
        if (refused > 0 ||
            !AddMoment(moment.cameras.front().path, OtherCameraPaths(moment.cameras), note))
            ++refused;
    }
    return true;
}

int LibraryController::AddMovieList(std::vector<std::string> paths, bool cardOrder) {
    if (cardOrder)
        SortCardOrder(paths);
    else
        SortFolderOrder(paths);
    return AddMoments(paths);
}

int LibraryController::AddMoments(const std::vector<std::string>& paths) {
    // The cameras of one moment make one row, the main camera's; the others ride along.
    std::map<std::string, const CameraGroup*> moments;
    std::set<std::string> otherViews;
    const std::vector<CameraGroup> groups = GroupCameras(paths);
    for (const CameraGroup& group : groups) {
        if (group.cameras.size() < 2)
            continue;
        moments[group.cameras.front().path] = &group;
        for (std::size_t i = 1; i < group.cameras.size(); ++i)
            otherViews.insert(group.cameras[i].path);
    }
    int refused = 0;
    for (const std::string& path : paths) {
        if (otherViews.count(path))
            continue;
        const auto moment = moments.find(path);
        const bool added =
            refused == 0 &&
            (moment == moments.end()
                 ? AddMoment(path, {}, {})
                 : AddMoment(path, OtherCameraPaths(moment->second->cameras),
                             QString::fromStdString(CameraLabels(moment->second->cameras))));
        refused += added ? 0 : 1;
    }
    return refused;
}

void LibraryController::ReportLibraryFull(int refused) {
    // After the event that added: a drop's source is not kept waiting on the message.
    QTimer::singleShot(0, m_window, [window = m_window, refused] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quello Player"),
                        QStringLiteral("The library is full (%1 recordings): %2 movies were not "
                                       "added.")
                            .arg(RecordingLibrary::kCapacity)
                            .arg(refused),
                        QMessageBox::Ok, window);
        box.setObjectName(QStringLiteral("libraryFullBox"));
        box.exec();
    });
}

void LibraryController::AddRecordingFromDialog() {
    QFileDialog dialog(m_window, QStringLiteral("Open Record File..."), DialogStartDir(m_openDir),
                       QStringLiteral("Video Files(*.mov)"));
    dialog.setObjectName(QStringLiteral("openRecordDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const int result = dialog.exec();
    m_openDir = dialog.directory().absolutePath();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    AddRecording(dialog.selectedFiles().first());
}

void LibraryController::AddRecordingFolder() {
    QFileDialog dialog(m_window, QStringLiteral("Select directory"), DialogStartDir(m_folderDir));
    dialog.setObjectName(QStringLiteral("selectDirectoryDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const int result = dialog.exec();
    m_folderDir = dialog.directory().absolutePath();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString folder = dialog.selectedFiles().first();
    m_folderDir = folder;
    if (const int refused = AddMovieList(ListMovieFiles(ToPath(folder)), false); refused > 0)
        ReportLibraryFull(refused);
}

void LibraryController::ScanDeviceRecordings(const QString& cardRoot) {
    std::string root;
    if (!cardRoot.isEmpty()) {
        root = ToPath(QDir(cardRoot).absolutePath());
        if (root.empty() || root.back() != '/')
            root += '/';
    } else {
        root = FindRecordingDrive();
        if (root.empty())
            return;
    }
    int refused = 0;
    // A car's drive holds its clips under TeslaCam/, beside or instead of a camera's folders.
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(root) / "TeslaCam", ec))
        AddTeslaCam(root, refused);
    for (const std::string& folder : CardMediaFolders(root)) {
        if (refused > 0 || AddMovieList(ListMovieFiles(folder), true) > 0)
            break;
    }
}

void LibraryController::AddDroppedUrls(const QMimeData& data) {
    // In the order dropped; the cameras of one moment dropped together make one row.
    std::vector<std::string> movies;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && IsDroppedMovieName(ToPath(url.toLocalFile())))
            movies.push_back(ToPath(url.toLocalFile()));
    }
    const int refused = AddMoments(movies);
    if (refused > 0)
        ReportLibraryFull(refused);
}

const std::vector<std::string>& LibraryController::OtherViews(int entry) const {
    static const std::vector<std::string> kNone;
    if (entry < 0 || entry >= m_library.entryCount())
        return kNone;
    const auto it = m_otherViews.find(m_library.entry(entry).moviePath);
    return it == m_otherViews.end() ? kNone : it->second;
}

int LibraryController::selectedEntry() const {
    const QList<QTableWidgetSelectionRange> ranges = m_list->selectedRanges();
    int first = -1;
    for (const QTableWidgetSelectionRange& range : ranges) {
        if (first < 0 || range.topRow() < first)
            first = range.topRow();
    }
    return EntryOfRow(first);
}

void LibraryController::SelectEntry(int entry) {
    const int row = RowOfEntry(entry);
    if (row < 0)
        return;
    // Next and Previous walk on into a day that is closed: it opens.
    if (m_list->isRowHidden(row)) {
        const int day = DayOfRow(row);
        if (day >= 0)
            m_openDays.insert(m_days[static_cast<std::size_t>(day)].date);
        for (int r = row; r >= 0 && RowKind(m_list, r) == kRecordingRow; --r)
            m_list->setRowHidden(r, false);
        for (int r = row + 1; r < m_list->rowCount() && RowKind(m_list, r) == kRecordingRow; ++r)
            m_list->setRowHidden(r, false);
    }
    m_list->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LibraryController::RemoveSelectedRecording(bool deleteFiles) {
    const int n = selectedEntry();
    if (n < 0 || n >= m_library.entryCount())
        return;
    if (n == m_library.currentIndex())
        emit removingCurrent();
    {
        // The removal is no new choice of recording.
        const QSignalBlocker block(m_list);
        const QSignalBlocker blockSelection(m_list->selectionModel());
        m_list->removeRow(RowOfEntry(n));
        m_list->clearSelection();
    }
    if (deleteFiles)
        DeleteRecordingFiles(m_library.entry(n));
    m_library.Remove(n);
}

void LibraryController::ClearLibrary() {
    emit clearing();
    {
        const QSignalBlocker block(m_list);
        const QSignalBlocker blockSelection(m_list->selectionModel());
        m_list->setRowCount(0);
    }
    m_library.Clear();
    m_otherViews.clear();
    m_days.clear();
}

void LibraryController::ShowLibraryMenu(const QPoint& globalPos) {
    QMenu menu(m_window);
    menu.setObjectName(QStringLiteral("libraryMenu"));
    menu.setTitle(QStringLiteral("Delete"));
    QAction* remove = menu.addAction(QStringLiteral("Remove"));
    QAction* removeFiles = menu.addAction(QStringLiteral("Remove files from disk"));
    remove->setData(int(kCmdRemove));
    removeFiles->setData(int(kCmdRemoveFiles));
    // A library's files stay where its index knows them.
    removeFiles->setEnabled(m_driveLibrary.isEmpty());
    // The day of the row under the pointer, else of the selected row.
    int day = DayOfRow(m_list->rowAt(m_list->viewport()->mapFromGlobal(globalPos).y()));
    if (day < 0)
        day = DayOfRow(m_list->currentRow());
    QAction* showDay = nullptr;
    if (!m_driveLibrary.isEmpty()) {
        menu.addSeparator();
        showDay = menu.addAction(QStringLiteral("Show all drives of this day on the map"));
        showDay->setEnabled(day >= 0);
    }
    // The GPS choices act on the row under the menu, for recordings without the camera's file.
    const int row = selectedEntry();
    const bool hasRow =
        row >= 0 && row < m_library.entryCount() && m_library.entry(row).telemetryPath.empty();
    const std::string movie = hasRow ? m_library.entry(row).moviePath : std::string();
    menu.addSeparator();
    QAction* useTrack = menu.addAction(QStringLiteral("Use GPS track…"));
    QAction* stopTrack = menu.addAction(QStringLiteral("Stop using GPS track"));
    QAction* shift = menu.addAction(QStringLiteral("Shift GPS time…"));
    useTrack->setEnabled(hasRow);
    shift->setEnabled(hasRow);
    stopTrack->setVisible(hasRow && GpsChoices::HasTrack(movie));
    QAction* chosen = menu.exec(globalPos);
    if (chosen && chosen == showDay) {
        const QString date = m_days[static_cast<std::size_t>(day)].date;
        // Its recordings become entries, so that a click on a route can play it.
        m_openDays.insert(date);
        Rebuild();
        std::vector<RecordingEntry> recordings;
        for (const ListedRecording& r : m_days[static_cast<std::size_t>(day)].recordings)
            recordings.push_back(r.entry);
        emit dayRoutesRequested(recordings);
        return;
    }
    if (chosen == remove)
        RemoveSelectedRecording(false);
    else if (chosen == removeFiles)
        RemoveSelectedRecording(true);
    else if ((chosen == useTrack && m_gpsChoices.UseTrack(movie)) ||
             (chosen == stopTrack && m_gpsChoices.StopUsingTrack(movie)) ||
             (chosen == shift && m_gpsChoices.ShiftTime(movie)))
        emit gpsChoicesChanged(row);
}

void LibraryController::MarkTelemetryFound(int entry) {
    const int row = RowOfEntry(entry);
    QTableWidgetItem* marker = row >= 0 ? m_list->item(row, 0) : nullptr;
    if (marker && marker->text() == QLatin1String("*"))
        marker->setText(QString());
}

void LibraryController::OnSelectionChanged() {
    // A row counts as chosen when it is both selected and the current (focused) row.
    const int entry = selectedEntry();
    const QModelIndex current = m_list->currentIndex();
    if (entry < 0 || !current.isValid() || EntryOfRow(current.row()) != entry)
        return;
    emit rowChosen(entry, false);
}

void LibraryController::OnDoubleClicked() {
    const int entry = selectedEntry();
    if (entry >= 0)
        emit rowChosen(entry, true);
}

} // namespace quello

// --- A library of drives ---------------------------------------------------------------------

namespace quello {

void LibraryController::OpenDriveLibrary(const QString& root) {
    m_driveLibrary = QDir(root).absolutePath();
    m_openDays.clear();
    m_openNewest = true;
    PlaceSearchField(true);
    m_search->clear();
    m_searchText.clear();
    StartListing();
}

void LibraryController::RefreshDriveLibrary() {
    if (m_driveLibrary.isEmpty())
        return;
    // A library that showed nothing open shows its newest day, as when it was opened.
    m_openNewest = m_openDays.empty();
    StartListing();
}

bool LibraryController::Search(const QString& text) {
    m_searchDelay.stop();
    const bool understood =
        ParseLibrarySearch(text.toUtf8().toStdString()).has_value() && !m_driveLibrary.isEmpty();
    if (m_search) {
        // Text the list cannot search for turns red until it can.
        QPalette palette = m_list->palette();
        palette.setColor(QPalette::Text, understood ? palette.color(QPalette::Text) : Qt::red);
        m_search->setPalette(palette);
    }
    if (!understood)
        return false;
    m_searchText = text;
    m_openNewest = true;
    StartListing();
    return true;
}

void LibraryController::StartListing() {
    m_listJob.Start([root = m_driveLibrary, search = m_searchText] {
        return DriveLibraryListing::Read(root, search);
    });
}

void LibraryController::OnListed(const std::shared_ptr<Listing>& listing) {
    if (!listing->ok) {
        // After the answer's event: the message's own loop must not run inside it.
        QTimer::singleShot(0, m_window, [window = m_window, error = listing->error] {
            ShowWarning(window, "libraryListBox", QStringLiteral("The library cannot be read."),
                        error);
        });
        return;
    }
    m_days = listing->days;
    if (m_openNewest && !m_days.empty())
        m_openDays.insert(m_days.front().date);
    m_openNewest = false;
    Rebuild();
    if (m_pendingReveal) {
        const PendingReveal reveal = *m_pendingReveal;
        m_pendingReveal.reset();
        RevealNow(reveal.moviePath, reveal.second);
    }
    emit listed();
}

void LibraryController::Rebuild() {
    const int currentEntry = m_library.currentIndex();
    const std::string playing = currentEntry >= 0 && currentEntry < m_library.entryCount()
                                    ? m_library.entry(currentEntry).moviePath
                                    : std::string();
    // The day of the playing recording stays among the entries, open or not.
    QString playingDay;
    for (const ListedDay& day : m_days)
        for (const ListedRecording& r : day.recordings)
            if (!playing.empty() && r.entry.moviePath == playing)
                playingDay = day.date;
    if (!playing.empty() && playingDay.isEmpty())
        emit removingCurrent();

    const QSignalBlocker block(m_list);
    const QSignalBlocker blockSelection(m_list->selectionModel());
    m_list->clearSpans();
    m_list->setRowCount(0);
    m_library.Clear();
    m_library.SetCurrentIndex(-1);
    int refused = 0;
    auto addRow = [this](int kind) {
        const int row = m_list->rowCount();
        m_list->insertRow(row);
        for (int c = 0; c < 3; ++c)
            m_list->setItem(row, c, new QTableWidgetItem);
        m_list->item(row, 0)->setData(kRowKindRole, kind);
        return row;
    };
    if (m_days.empty()) {
        const int row = addRow(kNoteRow);
        m_list->setSpan(row, 0, 1, 3);
        m_list->item(row, 0)->setText(m_searchText.isEmpty()
                                          ? QStringLiteral("The library holds no recordings yet")
                                          : QStringLiteral("No recordings match"));
        m_list->item(row, 0)->setFlags(Qt::ItemIsEnabled);
    }
    QFont dayFont = m_list->font();
    dayFont.setBold(true);
    for (std::size_t d = 0; d < m_days.size(); ++d) {
        const ListedDay& day = m_days[d];
        const bool open = m_openDays.count(day.date) > 0;
        const int row = addRow(kDayRow);
        m_list->setSpan(row, 0, 1, 3);
        QTableWidgetItem* item = m_list->item(row, 0);
        item->setData(kDayIndexRole, int(d));
        item->setText(QStringLiteral("%1 %2").arg(open ? QStringLiteral("▾") : QStringLiteral("▸"),
                                                  day.summary));
        item->setFont(dayFont);
        if (!open && day.date != playingDay)
            continue;
        for (const ListedRecording& r : day.recordings) {
            if (!m_library.Add(r.entry)) {
                ++refused;
                continue;
            }
            if (r.otherViews.empty())
                m_otherViews.erase(r.entry.moviePath);
            else
                m_otherViews[r.entry.moviePath] = r.otherViews;
            const int entryRow = addRow(kRecordingRow);
            m_list->item(entryRow, 0)
                ->setText(r.isProtected                   ? QStringLiteral("+")
                          : r.entry.telemetryPath.empty() ? QStringLiteral("*")
                                                          : QString());
            m_list->item(entryRow, 1)->setText(r.name);
            m_list->item(entryRow, 1)->setToolTip(FromPath(r.entry.moviePath));
            m_list->item(entryRow, 2)->setText(r.timeText);
            m_list->setRowHidden(entryRow, !open);
            if (r.entry.moviePath == playing)
                m_library.SetCurrentIndex(m_library.entryCount() - 1);
        }
    }
    // The playing row stays selected, unless its day was closed.
    if (const int row = RowOfEntry(m_library.currentIndex()); row >= 0 && !m_list->isRowHidden(row))
        m_list->setCurrentCell(row, 0,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (refused > 0)
        ReportLibraryFull(refused);
}

void LibraryController::ToggleDay(int row) {
    const int day = RowKind(m_list, row) == kDayRow ? DayOfRow(row) : -1;
    if (day < 0)
        return;
    const QString date = m_days[static_cast<std::size_t>(day)].date;
    if (!m_openDays.erase(date))
        m_openDays.insert(date);
    Rebuild();
    // The day's row stays where the user clicked it.
    for (int r = 0; r < m_list->rowCount(); ++r)
        if (RowKind(m_list, r) == kDayRow && DayOfRow(r) == day) {
            const QSignalBlocker block(m_list);
            const QSignalBlocker blockSelection(m_list->selectionModel());
            m_list->setCurrentCell(r, 0,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
}

void LibraryController::Reveal(const QString& moviePath, double second,
                               const QString& fallbackSearch) {
    if (RevealNow(moviePath, second))
        return;
    m_pendingReveal = PendingReveal{moviePath, second};
    if (m_search)
        m_search->setText(fallbackSearch);
    Search(fallbackSearch);
}

bool LibraryController::RevealNow(const QString& moviePath, double second) {
    const std::string movie = ToPath(moviePath);
    for (const ListedDay& day : m_days)
        for (const ListedRecording& r : day.recordings)
            if (r.entry.moviePath == movie) {
                m_openDays.insert(day.date);
                Rebuild();
                for (int e = 0; e < m_library.entryCount(); ++e)
                    if (m_library.entry(e).moviePath == movie) {
                        emit revealed(e, second);
                        return true;
                    }
            }
    return false;
}

void LibraryController::PlaceSearchField(bool shown) {
    const QRect listRect = DialogUnitsToPixels(kLibraryRect);
    constexpr int kFieldHeight = 22, kGap = 3;
    if (shown && !m_search) {
        m_search = new QLineEdit(m_window);
        m_search->setObjectName(QStringLiteral("librarySearch"));
        m_search->setPlaceholderText(QStringLiteral("date, place or event"));
        m_search->setToolTip(kSearchHelp);
        m_search->setClearButtonEnabled(true);
        m_search->setGeometry(listRect.x(), listRect.y(), listRect.width(), kFieldHeight);
        connect(m_search, &QLineEdit::textEdited, this, [this] { m_searchDelay.start(); });
        connect(m_search, &QLineEdit::returnPressed, this, [this] { Search(m_search->text()); });
        // The clear button changes the text without an edit.
        connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (text.isEmpty() && !m_searchText.isEmpty())
                Search(text);
        });
    }
    if (m_search)
        m_search->setVisible(shown);
    const int top = shown ? kFieldHeight + kGap : 0;
    m_list->setGeometry(listRect.adjusted(0, top, 0, 0));
}

} // namespace quello
