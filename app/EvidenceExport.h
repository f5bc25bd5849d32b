#pragma once

#include <string>
#include <vector>

class QWidget;

namespace quello {

class CMyWaveForm;
class PlaybackController;
class RecordingLibrary;

// The window menu's "Export evidence…": asks for a new or empty folder and writes the evidence
// pack (outputs/EvidencePack.h) of the position on screen of the library's current recording
// into it, with the page the print command makes from the window's own waveform, and with a
// lossless clip around the moment when the dialog's "Add a clip of N s" box is ticked (box and
// N are kept in the user's settings). A running
// movie is held paused meanwhile. The outcome is told in a message box; a refusal or failure
// leaves nothing behind. `otherCameras` are the movies the other cameras recorded of the
// recording's moment (LibraryController::OtherViews), copied into the pack beside it. Does
// nothing while no recording is open. Nothing is owned; `window` parents the dialogs. GUI
// thread; blocks until the pack is written.
void ExportEvidence(QWidget* window, PlaybackController& playback, CMyWaveForm& waveform,
                    const RecordingLibrary& library, const std::vector<std::string>& otherCameras);

} // namespace quello
