#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QTableWidget;
class QWidget;

namespace quello {

class CCarSignalsBar;
class CDashPanel;
class CMyWaveForm;
class CSkinButton;
class CSkinSlider;
class CVideoHost;

// The controls of the main window that the controllers drive. The widgets belong to the
// window (Qt's parent chain); this only points at them.
struct WindowControls {
    CVideoHost* video = nullptr;
    QLabel* placeholder = nullptr; // the hint in the empty video area, until a movie opens
    CSkinButton* play = nullptr;
    CSkinButton* pause = nullptr;
    CSkinSlider* position = nullptr;
    CSkinSlider* volume = nullptr;
    CSkinSlider* rate = nullptr;
    QTableWidget* list = nullptr;
    CMyWaveForm* waveform = nullptr;
    QWidget* mapHost = nullptr;
    QLabel* speedText = nullptr;
    QLabel* gpsNote = nullptr; // where the GPS came from, when not from the camera's own file
    CCarSignalsBar* carSignals = nullptr; // the car's own signals, hidden for other recordings
    CDashPanel* panel = nullptr;
    QCheckBox* recycle = nullptr;
};

// Builds every control of the window template on a window, at its place and in its skin,
// each named "ctl<id>". GUI thread only.
class WindowTemplate {
public:
    static WindowControls Build(QWidget* window);
    // The control with template id `id` on `window`; null when there is none.
    static QWidget* Control(const QWidget* window, int id);
    // Every control's id and pixel rectangle, as the window places them, as one JSON
    // document: {"window": [w, h], "controls": {"<id>": [x, y, w, h], ...}}.
    static QString LayoutJson();

private:
    static void ApplyVisualStyle(QWidget* window, const WindowControls& controls);
};

} // namespace quello
