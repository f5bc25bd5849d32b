#pragma once

#include <QApplication>

#include <memory>

namespace quello {

// The application object: reads the command line
// (quello-player [--card DIR] [MOVIE|FOLDER]... or --library DIR), owns the QApplication, runs the
// main window until its close button ends it and returns the process's exit status. One instance,
// on the main thread; argc and argv must outlive it.
class CPlayerApp {
public:
    // Settings that must be made before any QApplication exists (the map's browser engine,
    // the graphics path, the allocator, the log's rules); the player and its benchmarks call
    // it first thing.
    static void PrepareProcess();

    CPlayerApp(int& argc, char** argv);
    ~CPlayerApp();
    int Run();

private:
    int& m_argc;
    char** m_argv;
    std::unique_ptr<QApplication> m_app;
};

} // namespace quello
