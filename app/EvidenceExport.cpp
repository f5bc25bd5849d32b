#include "EvidenceExport.h"

#include "AppSettings.h"
#include "PlaybackController.h"

#include "library/RecordingThresholds.h"
#include "outputs/EvidencePack.h"
#include "outputs/PrintCapture.h"
#include "recordings/RecordingLibrary.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

namespace quello {

namespace {

void Tell(QWidget* window, QMessageBox::Icon icon, const char* objectName, const QString& text,
          const QString& detail) {
    QMessageBox box(icon, QStringLiteral("Quello Player"), text, QMessageBox::Ok, window);
    box.setObjectName(QString::fromLatin1(objectName));
    box.setInformativeText(detail);
    box.exec();
}

// The dialog's own row "Add a clip of [N] s before and after", as the user last left it.
struct ClipChoice {
    QCheckBox* add;
    QSpinBox* seconds;
};

ClipChoice AddClipChoice(QFileDialog& dialog) {
    const QSettings settings = AppSettings();
    auto* row = new QWidget(&dialog);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    ClipChoice choice{new QCheckBox(QStringLiteral("Add a clip of"), row), new QSpinBox(row)};
    choice.add->setObjectName(QStringLiteral("evidenceClipBox"));
    choice.add->setChecked(settings.value(QStringLiteral("evidence/clip"), false).toBool());
    choice.seconds->setObjectName(QStringLiteral("evidenceClipSeconds"));
    choice.seconds->setRange(1, 300);
    choice.seconds->setValue(settings.value(QStringLiteral("evidence/clipSeconds"), 30).toInt());
    choice.seconds->setEnabled(choice.add->isChecked());
    QObject::connect(choice.add, &QCheckBox::toggled, choice.seconds, &QSpinBox::setEnabled);
    layout->addWidget(choice.add);
    layout->addWidget(choice.seconds);
    layout->addWidget(
        new QLabel(QStringLiteral("s before and after, from the recordings of the trip"), row));
    layout->addStretch();
    // Only Qt's own dialog has a layout to put the row in.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount());
    return choice;
}

} // namespace

void ExportEvidence(QWidget* window, PlaybackController& playback, CMyWaveForm& waveform,
                    const RecordingLibrary& library, const std::vector<std::string>& otherCameras) {
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
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const ClipChoice clip = AddClipChoice(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        QSettings settings = AppSettings();
        settings.setValue(QStringLiteral("evidence/clip"), clip.add->isChecked());
        settings.setValue(QStringLiteral("evidence/clipSeconds"), clip.seconds->value());
        const QString dir = dialog.selectedFiles().first();
        const RecordingEntry& entry = library.entry(index);
        // The events are found as the window marks them: at the sensitivity of the library or
        // card the movie lies in.
        EvidenceMoment moment{entry.moviePath,
                              entry.telemetryPath,
                              engine.GetPositionSeconds(),
                              ThresholdsForRecording(entry.moviePath),
                              clip.add->isChecked() ? double(clip.seconds->value()) : 0.0,
                              {}};
        // The window plays the moment's main camera; the other cameras' movies join it.
        if (!otherCameras.empty()) {
            moment.cameraMovies = {entry.moviePath};
            moment.cameraMovies.insert(moment.cameraMovies.end(), otherCameras.begin(),
                                       otherCameras.end());
        }
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
