#include "ClipController.h"

#include "AppSettings.h"
#include "ClipExportJob.h"
#include "LibraryController.h"
#include "PlaybackController.h"

#include "clips/LosslessClip.h"
#include "clips/OverlayClip.h"
#include "recordings/RecordingLibrary.h"
#include "recordings/RecordingTrip.h"
#include "skin/CSkinSlider.h"
#include "views/CMyWaveForm.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>

namespace quello {

namespace {

const QString kFolderKey = QStringLiteral("clips/folder");

// Where a new clip goes: the folder the last one went to, else the user's videos; never the
// card the recording is on.
QString ClipFolder() {
    const QString remembered = AppSettings().value(kFolderKey).toString();
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return QFileInfo(movies).isDir() ? movies : QDir::homePath();
}

// "FILE0002-clip-1m05s.MOV": the recording and the clip's first moment in it.
QString ClipName(const ClipPiece& first, bool overlay) {
    const int seconds = static_cast<int>(std::floor(first.from));
    return QStringLiteral("%1-%2-%3m%4s.%5")
        .arg(QFileInfo(QFile::decodeName(first.moviePath.c_str())).completeBaseName(),
             overlay ? QStringLiteral("overlay") : QStringLiteral("clip"))
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(overlay ? QStringLiteral("mp4") : QStringLiteral("MOV"));
}

void Tell(QWidget* window, QMessageBox::Icon icon, const char* objectName, const QString& text,
          const QString& detail) {
    // Not modal: the window goes on playing while the user reads it.
    auto* box =
        new QMessageBox(icon, QStringLiteral("Quello Player"), text, QMessageBox::Ok, window);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

template <class Clip>
ClipReport Make(Clip&& clip, const std::atomic<bool>* cancel,
                const std::function<void(double)>& progress) {
    clip.SetCancel(cancel);
    clip.SetProgress(progress);
    return clip.Write();
}

// The span, cut short at its trip's ends: a span the marks did not set exactly (10 s around
// the position) takes what there is.
ClipSpan WithinTrip(const RecordingLibrary& library, int index, double from, double to) {
    ClipSpan span = FindClipSpan(library, index, from, to);
    if (!span.ok && span.tripEnd > span.tripStart && (from < span.tripStart || to > span.tripEnd) &&
        to > span.tripStart && from < span.tripEnd)
        span = FindClipSpan(library, index, std::max(from, span.tripStart),
                            std::min(to, span.tripEnd));
    return span;
}

} // namespace

ClipController::ClipController(QWidget* window, const WindowControls& controls,
                               PlaybackController& playback, LibraryController& library)
    : QObject(window), m_window(window), m_controls(controls), m_playback(playback),
      m_library(library), m_job(new ClipExportJob(this)) {
    connect(m_job, &ClipExportJob::progressed, this, &ClipController::OnProgress);
    connect(m_job, &ClipExportJob::finished, this, &ClipController::OnFinished);
}

ClipController::~ClipController() = default;

bool ClipController::exporting() const {
    return m_job->running();
}

std::optional<ClipController::Mark> ClipController::MarkHere() const {
    const RecordingLibrary& library = m_library.library();
    const int index = library.currentIndex();
    CMediaGraph& engine = m_playback.engine();
    if (index < 0 || index >= library.entryCount() || engine.GetState() == MediaState::Stopped ||
        engine.GetState() == MediaState::Closed)
        return std::nullopt;
    return Mark{library.entry(index).moviePath, engine.GetPositionSeconds()};
}

std::optional<std::pair<int, double>> ClipController::Place(const Mark& mark) const {
    const RecordingLibrary& library = m_library.library();
    const std::vector<int> trip = FindTrip(library, library.currentIndex());
    for (std::size_t i = 0; i < trip.size(); ++i)
        if (library.entry(trip[i]).moviePath == mark.moviePath)
            return std::make_pair(static_cast<int>(i), mark.seconds);
    return std::nullopt;
}

void ClipController::SetIn() {
    m_in = MarkHere();
    // An In after the Out starts a new span.
    if (m_in && m_out) {
        const auto in = Place(*m_in), out = Place(*m_out);
        if (!in || !out || *out < *in)
            m_out.reset();
    }
    ShowMarks();
}

void ClipController::SetOut() {
    m_out = MarkHere();
    if (m_in && m_out) {
        const auto in = Place(*m_in), out = Place(*m_out);
        if (!in || !out || *out < *in)
            m_in.reset();
    }
    ShowMarks();
}

void ClipController::ClearMarks() {
    m_in.reset();
    m_out.reset();
    ShowMarks();
}

void ClipController::ShowMarks() {
    const RecordingLibrary& library = m_library.library();
    const int index = library.currentIndex();
    const std::vector<int> trip = FindTrip(library, index);
    const auto here = std::find(trip.begin(), trip.end(), index);
    const int current = here == trip.end() ? -1 : static_cast<int>(here - trip.begin());
    // In tenths of a second, the unit of both controls; a mark in an earlier or later
    // recording of the trip lies before or after this one.
    const auto value = [&](std::optional<Mark>& mark) -> std::optional<int> {
        if (!mark)
            return std::nullopt;
        const auto place = Place(*mark);
        if (!place) {
            mark.reset();
            return std::nullopt;
        }
        if (place->first < current)
            return -1;
        if (place->first > current)
            return INT_MAX / 2;
        return static_cast<int>(std::lround(place->second * 10));
    };
    const std::optional<int> in = value(m_in), out = value(m_out);
    m_controls.position->SetClipMarks(in, out);
    m_controls.waveform->SetClipMarks(in, out);
}

ClipSpan ClipController::CurrentSpan() const {
    const std::string camera = m_mainCamera ? m_mainCamera() : std::string();
    return camera.empty() ? MarkedSpan() : ShownByCamera(MarkedSpan(), camera);
}

ClipSpan ClipController::MarkedSpan() const {
    const RecordingLibrary& library = m_library.library();
    const auto indexOf = [&](const Mark& mark) {
        for (int i = 0; i < library.entryCount(); ++i)
            if (library.entry(i).moviePath == mark.moviePath)
                return i;
        return -1;
    };
    if (m_in && m_out)
        return FindClipSpan(library, indexOf(*m_in), m_in->seconds, indexOf(*m_out),
                            m_out->seconds);
    const double whole = 2 * kDefaultHalfSpan;
    if (m_in)
        return WithinTrip(library, indexOf(*m_in), m_in->seconds, m_in->seconds + whole);
    if (m_out)
        return WithinTrip(library, indexOf(*m_out), m_out->seconds - whole, m_out->seconds);
    const std::optional<Mark> here = MarkHere();
    if (!here)
        return ClipSpan{false, "no recording is open", {}};
    double centre = here->seconds;
    for (const GForceEvent& event : m_playback.events())
        if (std::abs(event.peak - here->seconds) <= kEventReach) {
            centre = event.peak;
            break;
        }
    return WithinTrip(library, library.currentIndex(), centre - kDefaultHalfSpan,
                      centre + kDefaultHalfSpan);
}

void ClipController::SaveClipCommand() {
    AskAndExport(false);
}

void ClipController::ExportOverlayCommand() {
    AskAndExport(true);
}

void ClipController::AskAndExport(bool overlay) {
    if (exporting())
        return;
    const ClipSpan span = CurrentSpan();
    if (!span.ok || span.pieces.empty()) {
        Tell(m_window, QMessageBox::Warning, "clipFailedBox", QStringLiteral("Save clip failed!"),
             QString::fromStdString(span.error));
        return;
    }
    QFileDialog dialog(
        m_window,
        overlay ? QStringLiteral("Export video with overlay") : QStringLiteral("Save clip"),
        QDir(ClipFolder()).filePath(ClipName(span.pieces.front(), overlay)),
        overlay ? QStringLiteral("MP4 video (*.mp4)")
                : QStringLiteral("QuickTime movie (*.MOV *.mov);;MP4 video (*.mp4)"));
    dialog.setObjectName(QStringLiteral("clipDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    AppSettings().setValue(kFolderKey, QFileInfo(path).absolutePath());
    StartExport(path, overlay);
}

bool ClipController::StartExport(const QString& path, bool overlay) {
    if (exporting())
        return false;
    const ClipSpan span = CurrentSpan();
    if (!span.ok || span.pieces.empty()) {
        Tell(m_window, QMessageBox::Warning, "clipFailedBox", QStringLiteral("Save clip failed!"),
             QString::fromStdString(span.error));
        return false;
    }
    const std::string output = QFile::encodeName(path).toStdString();
    ClipExportJob::Work work = [span, output,
                                overlay](const std::atomic<bool>* cancel,
                                         const std::function<void(double)>& progress) {
        return overlay ? Make(OverlayClip(span.pieces, output), cancel, progress)
                       : Make(LosslessClip(span.pieces, output), cancel, progress);
    };
    if (!m_job->Start(std::move(work)))
        return false;
    m_exportPath = path;
    m_exportOverlay = overlay;
    m_progress = new QProgressDialog(overlay ? QStringLiteral("Exporting video with overlay…")
                                             : QStringLiteral("Saving clip…"),
                                     QStringLiteral("Cancel"), 0, 1000, m_window);
    m_progress->setObjectName(QStringLiteral("clipProgress"));
    m_progress->setWindowTitle(QStringLiteral("Quello Player"));
    // Not modal: playback and the window's commands go on while the clip is made.
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_progress, &QProgressDialog::canceled, m_job, &ClipExportJob::Cancel);
    m_progress->show();
    return true;
}

void ClipController::OnProgress() {
    if (m_progress)
        m_progress->setValue(static_cast<int>(std::lround(m_job->progress() * 1000)));
}

void ClipController::OnFinished() {
    if (m_progress) {
        m_progress->disconnect(m_job);
        m_progress->close();
        m_progress = nullptr;
    }
    const ClipReport& report = m_job->report();
    if (report.ok)
        Tell(m_window, QMessageBox::Information, "clipSavedBox",
             m_exportOverlay ? QStringLiteral("Video exported.") : QStringLiteral("Clip saved."),
             QDir::toNativeSeparators(m_exportPath));
    else if (!m_job->cancelled())
        Tell(m_window, QMessageBox::Warning, "clipFailedBox",
             m_exportOverlay ? QStringLiteral("Export video failed!")
                             : QStringLiteral("Save clip failed!"),
             QString::fromStdString(report.error));
}

} // namespace quello
