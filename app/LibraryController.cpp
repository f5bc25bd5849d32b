#include "LibraryController.h"

#include "device/DeviceDrive.h"
#include "recordings/MovieListing.h"
#include "res/skin/WindowLayout.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>

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

} // namespace

LibraryController::LibraryController(QWidget* window, QTableWidget* list)
    : QObject(window), m_window(window), m_list(list), m_gpsChoices(window) {
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            &LibraryController::OnSelectionChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &LibraryController::OnSelectionChanged);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, &LibraryController::OnDoubleClicked);
}

int LibraryController::rowCount() const {
    return m_list->rowCount();
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
            if (AddMovieList(ListMovieFiles(ToPath(folder)), false) > 0)
                break;
        }
        if (info.isDir() || movieRow >= 0)
            continue;
        const QString movie = info.absoluteFilePath();
        for (int r = 0; r < m_list->rowCount() && movieRow < 0; ++r)
            if (m_list->item(r, 1)->text() == movie)
                movieRow = r;
        // A movie named otherwise than *.MOV is not in the folder's list: it joins alone.
        if (movieRow < 0 && AddRecording(movie))
            movieRow = m_list->rowCount() - 1;
    }
    if (firstMovieRow)
        *firstMovieRow = movieRow;
    return unusable;
}

bool LibraryController::AddRecording(const QString& moviePath) {
    RecordingRow row;
    if (!m_library.Add(ToPath(moviePath), row))
        return false;
    const int r = m_list->rowCount();
    m_list->insertRow(r);
    m_list->setItem(r, 0, new QTableWidgetItem(FromPath(row.marker)));
    m_list->setItem(r, 1, new QTableWidgetItem(FromPath(row.path)));
    m_list->setItem(r, 2, new QTableWidgetItem(FromPath(row.timeText)));
    return true;
}

int LibraryController::AddMovieList(std::vector<std::string> paths, bool cardOrder) {
    if (cardOrder)
        SortCardOrder(paths);
    else
        SortFolderOrder(paths);
    int added = 0;
    for (const std::string& path : paths) {
        if (!AddRecording(FromPath(path)))
            break;
        ++added;
    }
    return int(paths.size()) - added;
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
        SetupRecord record;
        if (!FindDeviceDrive(root, record))
            return;
    }
    for (const std::string& folder : CardMediaFolders(root)) {
        if (AddMovieList(ListMovieFiles(folder), true) > 0)
            break;
    }
}

void LibraryController::AddDroppedUrls(const QMimeData& data) {
    int refused = 0;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!IsDroppedMovieName(ToPath(path)))
            continue;
        if (refused > 0 || !AddRecording(path))
            ++refused;
    }
    if (refused > 0)
        ReportLibraryFull(refused);
}

int LibraryController::selectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = m_list->selectedRanges();
    int first = -1;
    for (const QTableWidgetSelectionRange& range : ranges) {
        if (first < 0 || range.topRow() < first)
            first = range.topRow();
    }
    return first;
}

void LibraryController::SelectRow(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    m_list->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LibraryController::RemoveSelectedRecording(bool deleteFiles) {
    const int n = selectedRow();
    if (n < 0 || n >= m_library.entryCount())
        return;
    if (n == m_library.currentIndex())
        emit removingCurrent();
    {
        // The removal is no new choice of recording.
        const QSignalBlocker block(m_list);
        const QSignalBlocker blockSelection(m_list->selectionModel());
        m_list->removeRow(n);
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
}

void LibraryController::ShowLibraryMenu(const QPoint& globalPos) {
    QMenu menu(m_window);
    menu.setObjectName(QStringLiteral("libraryMenu"));
    menu.setTitle(QStringLiteral("Delete"));
    QAction* remove = menu.addAction(QStringLiteral("Remove"));
    QAction* removeFiles = menu.addAction(QStringLiteral("Remove files from disk"));
    remove->setData(int(kCmdRemove));
    removeFiles->setData(int(kCmdRemoveFiles));
    // The GPS choices act on the row under the menu, for recordings without the camera's file.
    const int row = selectedRow();
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
    if (chosen == remove)
        RemoveSelectedRecording(false);
    else if (chosen == removeFiles)
        RemoveSelectedRecording(true);
    else if ((chosen == useTrack && m_gpsChoices.UseTrack(movie)) ||
             (chosen == stopTrack && m_gpsChoices.StopUsingTrack(movie)) ||
             (chosen == shift && m_gpsChoices.ShiftTime(movie)))
        emit gpsChoicesChanged(row);
}

void LibraryController::MarkTelemetryFound(int row) {
    QTableWidgetItem* marker =
        row >= 0 && row < m_list->rowCount() ? m_list->item(row, 0) : nullptr;
    if (marker && marker->text() == QLatin1String("*"))
        marker->setText(QString());
}

void LibraryController::OnSelectionChanged() {
    // A row counts as chosen when it is both selected and the current (focused) row.
    const int row = selectedRow();
    const QModelIndex current = m_list->currentIndex();
    if (row < 0 || !current.isValid() || current.row() != row)
        return;
    emit rowChosen(row, false);
}

void LibraryController::OnDoubleClicked() {
    const int row = selectedRow();
    if (row >= 0)
        emit rowChosen(row, true);
}

} // namespace quello
