#include "FrameCommands.h"

#include "WarningBox.h"

#include "outputs/MomentFacts.h"
#include "outputs/PrintCapture.h"
#include "playback/CMediaGraph.h"
#include "recordings/TelemetrySet.h"
#include "views/CDlgGMap.h"
#include "views/CMyWaveForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

#include <optional>

namespace quello {

FrameCommands::FrameCommands(QWidget* window, CMediaGraph& engine, const TelemetrySet& telemetry,
                             const std::tm& created, CMyWaveForm& waveform)
    : m_window(window), m_engine(engine), m_telemetry(telemetry), m_created(created),
      m_waveform(waveform) {}

void FrameCommands::HoldPaused(const std::function<void()>& work) {
    const MediaState state = m_engine.GetState();
    if (state == MediaState::Stopped)
        return;
    const bool wasRunning = state == MediaState::Running;
    if (wasRunning)
        m_engine.Pause();
    work();
    if (wasRunning)
        m_engine.TogglePlayPause();
}

void FrameCommands::SaveSnapshotCommand(bool allViews) {
    HoldPaused([this, allViews] { SaveSnapshot(allViews); });
}

void FrameCommands::PrintCommand() {
    HoldPaused([this] { PrintCurrentFrame(); });
}

void FrameCommands::SaveSnapshot(bool allViews) {
    QFileDialog dialog(m_window, QStringLiteral("Set JPG file name..."),
                       m_snapshotDir.isEmpty() ? QDir::homePath() : m_snapshotDir,
                       QStringLiteral("Video Files(*.jpg)"));
    dialog.setObjectName(QStringLiteral("snapshotDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // an existing file is replaced
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    const int result = dialog.exec();
    m_snapshotDir = dialog.directory().absolutePath();
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SnapshotFacts facts = FactsForMoment(m_created, m_created.tm_mday != 0,
                                               m_engine.GetPositionSeconds(), m_telemetry);
    const bool saved = (allViews ? m_engine.SaveAllViewsAsJpeg(path, facts)
                                 : m_engine.SaveFrameAsJpeg(path, facts)) == 1;
    QApplication::restoreOverrideCursor();
    // A full disk or a folder that takes no files: the writer has left nothing behind.
    if (!saved)
        ShowWarning(m_window, "snapshotFailedBox", QStringLiteral("Save image failed!"),
                    QDir::toNativeSeparators(path));
}

void FrameCommands::PrintCurrentFrame() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, m_window);
    dialog.setObjectName(QStringLiteral("printDialog"));
    // One page: no page range or selection to choose; printing to a file is how a PDF is made.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool printed = PrintCurrentFrameOn(printer);
    QApplication::restoreOverrideCursor();
    if (!printed)
        ShowWarning(m_window, "printFailedBox", QStringLiteral("Print failed!"));
}

bool FrameCommands::PrintCurrentFrameOn(QPrinter& printer) {
    std::optional<PrintedFix> fix;
    const PrintPageContent content = CapturePrintContent(m_engine, m_waveform, m_telemetry, fix);
    if (fix && m_map)
        m_map->SetLgtLat(fix->latitude, fix->longitude, fix->speed);
    printer.setDocName(QStringLiteral("Movastra print service"));
    // A PDF file is the user's: replaced whole or not at all.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return SavePrintPagePdf(printer, content,
                                QFile::encodeName(printer.outputFileName()).toStdString());
    return PaintPrintPage(printer, content);
}

} // namespace quello
