#pragma once

#include "WindowTemplate.h"

#include "clips/ClipSpan.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace quello {

class ClipExportJob;
class LibraryController;
class PlaybackController;

// A clip of what is on screen: the In and Out marks (I, O, "Clear In/Out"), drawn on the
// position slider and the waveform, and the window's "Save clip…" (lossless) and "Export video
// with overlay…" (re-encoded with the telemetry drawn in), run off the GUI thread with a
// progress dialog and its Cancel.
//
// A mark belongs to the recording it was set in, so a span can start in one recording of a
// trip and end in a later one; opening a recording outside that trip drops the marks. Without
// marks the clip takes 10 s either side of the position, or of the G-force event whose peak
// lies within 3 s of it.
//
// Nothing shown is owned; the job and the progress dialog are children. GUI thread only.
class ClipController : public QObject {
    Q_OBJECT
public:
    static constexpr double kDefaultHalfSpan = 10.0;
    static constexpr double kEventReach = 3.0;

    // `window` parents the dialogs; it, the controls and the controllers outlive this object.
    ClipController(QWidget* window, const WindowControls& controls, PlaybackController& playback,
                   LibraryController& library);
    ~ClipController() override;

    void SetIn();
    void SetOut();
    void ClearMarks();
    bool hasMarks() const { return m_in || m_out; }
    // Draws the marks for the recording on screen (after it opened or its telemetry arrived);
    // marks set in a recording outside its trip are dropped.
    void ShowMarks();

    // The camera whose pictures a clip takes: the one shown as the main view of a moment's
    // views, asked each time; empty (or not set) for the recording's own.
    void SetMainCamera(std::function<std::string()> camera) { m_mainCamera = std::move(camera); }

    // The span a clip made now would take, of the main view's camera (the trip and the
    // telemetry stay the recording's).
    ClipSpan CurrentSpan() const;

    // The window menu's commands: ask for the file, then export.
    void SaveClipCommand();
    void ExportOverlayCommand();
    // Starts making the clip of CurrentSpan() at `path`, without asking; false (with a message
    // box) when there is nothing to cut or an export already runs.
    bool StartExport(const QString& path, bool overlay);

    bool exporting() const;
    ClipExportJob& job() { return *m_job; }

private:
    struct Mark {
        std::string moviePath;
        double seconds = 0;
    };
    // A mark's place in the trip of the recording on screen, as (position in the trip,
    // seconds); nullopt when it lies outside that trip.
    std::optional<std::pair<int, double>> Place(const Mark& mark) const;
    std::optional<Mark> MarkHere() const;
    ClipSpan MarkedSpan() const;
    void AskAndExport(bool overlay);
    void OnProgress();
    void OnFinished();

    QWidget* m_window;
    WindowControls m_controls;
    PlaybackController& m_playback;
    LibraryController& m_library;
    std::function<std::string()> m_mainCamera;
    std::optional<Mark> m_in;
    std::optional<Mark> m_out;
    ClipExportJob* m_job;
    QPointer<QProgressDialog> m_progress; // deletes itself when closed
    QString m_exportPath;
    bool m_exportOverlay = false;
};

} // namespace quello
