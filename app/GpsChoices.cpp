#include "GpsChoices.h"

#include "GpsTimeDialog.h"
#include "WarningBox.h"

#include "recordings/GpsFolderSettings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <filesystem>

namespace quello {
namespace {

struct MovieInFolder {
    GpsFolderSettings settings;
    std::string name;
};

MovieInFolder Load(const std::string& moviePath) {
    const std::filesystem::path movie(moviePath);
    MovieInFolder m{{}, movie.filename().string()};
    m.settings.Load(movie.parent_path().string());
    return m;
}

bool Save(QWidget* window, const GpsFolderSettings& settings) {
    if (settings.Save())
        return true;
    ShowWarning(window, "gpsSaveFailedBox", QStringLiteral("Save GPS settings failed!"),
                QString::fromUtf8(settings.folder().c_str()));
    return false;
}

} // namespace

bool GpsChoices::HasTrack(const std::string& moviePath) {
    const MovieInFolder m = Load(moviePath);
    return !m.settings.userGpx(m.name).empty();
}

bool GpsChoices::UseTrack(const std::string& moviePath) {
    MovieInFolder m = Load(moviePath);
    QFileDialog dialog(m_window, QStringLiteral("Use GPS track"),
                       m_trackDir.isEmpty() ? QString::fromUtf8(m.settings.folder().c_str())
                                            : m_trackDir,
                       QStringLiteral("GPS tracks (*.gpx *.GPX)"));
    dialog.setObjectName(QStringLiteral("gpsTrackDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString track = dialog.selectedFiles().first();
    m_trackDir = QFileInfo(track).absolutePath();

    QMessageBox scope(QMessageBox::Question, QStringLiteral("Quello Player"),
                      QStringLiteral("Use this track for every recording in the folder?"),
                      QMessageBox::Cancel, m_window);
    scope.setObjectName(QStringLiteral("gpsTrackScopeBox"));
    QPushButton* one = scope.addButton(QStringLiteral("This recording"), QMessageBox::AcceptRole);
    QPushButton* all = scope.addButton(QStringLiteral("Whole folder"), QMessageBox::AcceptRole);
    scope.setDefaultButton(one);
    scope.exec();
    const std::string path = track.toUtf8().toStdString();
    if (scope.clickedButton() == one)
        m.settings.SetUserGpx(m.name, path);
    else if (scope.clickedButton() == all)
        m.settings.SetFolderGpx(path);
    else
        return false;
    return Save(m_window, m.settings);
}

bool GpsChoices::StopUsingTrack(const std::string& moviePath) {
    MovieInFolder m = Load(moviePath);
    // The recording's own choice goes first; the folder's, when that was all it had.
    const std::string own = m.settings.userGpx(m.name);
    if (own.empty())
        return false;
    m.settings.SetUserGpx(m.name, {});
    if (m.settings.userGpx(m.name) == own)
        m.settings.SetFolderGpx({});
    return Save(m_window, m.settings);
}

bool GpsChoices::ShiftTime(const std::string& moviePath) {
    MovieInFolder m = Load(moviePath);
    const std::int64_t before = m.settings.offsetSeconds(m.name);
    const auto after = GpsTimeDialog::Ask(m_window, QString::fromUtf8(m.name.c_str()), before);
    if (!after || *after == before || !m.settings.SetOffsetSeconds(m.name, *after))
        return false;
    return Save(m_window, m.settings);
}

} // namespace quello
