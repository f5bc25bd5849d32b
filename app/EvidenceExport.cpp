#include "EvidenceExport.h"

#include "PlaybackController.h"

#include "library/RecordingThresholds.h"
#include "outputs/EvidencePack.h"
#include "outputs/PrintCapture.h"
#include "recordings/RecordingLibrary.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace quello {

namespace {

void Tell(QWidget* window, QMessageBox::Icon icon, const char* objectName, const QString& text,
          const QString& detail) {
    QMessageBox box(icon, QStringLiteral("Quello Player"), text, QMessageBox::Ok, window);
    box.setObjectName(QString::fromLatin1(objectName));
    box.setInformativeText(detail);
    box.exec();
}

} // namespace

void ExportEvidence(QWidget* window, PlaybackController& playback, CMyWaveForm& waveform,
                    const RecordingLibrary& library) {
    CMediaGraph& engine = playback.engine();
    const int index = library.currentIndex();
    if (engine.GetState() == MediaState::Stopped || index < 0 || index >= library.entryCount())
        return;
    const bool wasRunning = engine.GetState() == MediaState::Running;
    if (wasRunning)
        engine.Pause();
    QFileDialog dialog(window, QStringLiteral("Choose a new or empty folder for the evidence"),
                       QDir::homePath());
    dialog.setObjectName(QStringLiteral("evidenceDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString dir = dialog.selectedFiles().first();
        const RecordingEntry& entry = library.entry(index);
        // The events are found as the window marks them: at the sensitivity of the library or
        // card the movie lies in.
        const EvidenceMoment moment{entry.moviePath, entry.telemetryPath,
                                    engine.GetPositionSeconds(),
                                    ThresholdsForRecording(entry.moviePath)};
        EvidencePack pack(moment);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::optional<PrintedFix> fix;
        // A refusal captures nothing: the capture moves the waveform's cursor.
        const std::string path = QFile::encodeName(dir).toStdString();
        const bool written =
            pack.Check(path) &&
            pack.Write(path, engine,
                       CapturePrintContent(engine, waveform, playback.telemetry(), fix),
                       playback.telemetry());
        QApplication::restoreOverrideCursor();
        if (written)
            Tell(window, QMessageBox::Information, "evidenceBox",
                 QStringLiteral("Evidence exported."), QDir::toNativeSeparators(dir));
        else
            Tell(window, QMessageBox::Warning, "evidenceFailedBox",
                 QStringLiteral("Export evidence failed!"), QString::fromStdString(pack.error()));
    }
    if (wasRunning)
        engine.TogglePlayPause();
}

} // namespace quello
