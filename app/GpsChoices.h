#pragma once

#include <QString>

#include <string>

class QWidget;

namespace quello {

// The user's GPS choices for a recording, made from the library's menu and kept in the
// settings file of the movie's folder: a GPX track for the recording or for its whole folder
// ("Use GPS track…", "Stop using GPS track") and a shift of its GPS clock ("Shift GPS time…").
// A settings file that cannot be written is said in a message box and changes nothing.
// `window` parents the dialogs and must outlive this object. GUI thread only.
class GpsChoices {
public:
    explicit GpsChoices(QWidget* window) : m_window(window) {}

    // Each returns true when the recording's choices changed and were saved.
    bool UseTrack(const std::string& moviePath);
    bool StopUsingTrack(const std::string& moviePath);
    bool ShiftTime(const std::string& moviePath);

    // Whether a track was chosen for the recording or its folder.
    static bool HasTrack(const std::string& moviePath);

private:
    QWidget* m_window;
    QString m_trackDir; // where the last track was chosen; the movie's folder before that
};

} // namespace quello
