#pragma once

#include <QString>

#include <ctime>
#include <functional>

class QPrinter;
class QWidget;

namespace quello {

class CDlgGMap;
class CMediaGraph;
class CMyWaveForm;
struct TelemetrySet;

// The commands on the frame on screen: the snapshot, saved as JPEG with the facts of its
// moment, and the page printed with its telemetry and the waveform strip. Nothing happens while
// the movie is stopped; a running movie is held paused around a command.
//
// Reads the playback's engine, telemetry, creation time and waveform, which belong to the
// playback controller and outlive this object; the map is optional and set once it exists.
// GUI thread only.
class FrameCommands {
public:
    FrameCommands(QWidget* window, CMediaGraph& engine, const TelemetrySet& telemetry,
                  const std::tm& created, CMyWaveForm& waveform);

    void SetMap(CDlgGMap* map) { m_map = map; }

    // `allViews`: the composed picture of every camera of the moment, as shown, instead of the
    // main view.
    void SaveSnapshotCommand(bool allViews = false);
    void PrintCommand();
    // Asks for a file name and saves the frame on screen as JPEG.
    void SaveSnapshot(bool allViews = false);
    // Asks for a printer and prints the frame on screen with its telemetry and the waveform
    // strip on one page.
    void PrintCurrentFrame();
    // That page onto a printer already chosen (also a PDF printer); false when it failed.
    bool PrintCurrentFrameOn(QPrinter& printer);

private:
    void HoldPaused(const std::function<void()>& work);

    QWidget* m_window;
    CMediaGraph& m_engine;
    const TelemetrySet& m_telemetry;
    const std::tm& m_created; // tm_mday 0: the movie gave no creation time
    CMyWaveForm& m_waveform;
    CDlgGMap* m_map = nullptr;
    QString m_snapshotDir;
};

} // namespace quello
