#pragma once

#include <QApplication>

namespace quello {

// The application object: owns the QApplication, reads the command line
// (quello-player [--card DIR] [MOVIE|FOLDER]...), runs the main window until its close button
// ends it and returns the process's exit status. One instance, on the main thread.
class CPlayerApp {
public:
    CPlayerApp(int& argc, char** argv);
    int Run();

private:
    QApplication m_app;
};

} // namespace quello
