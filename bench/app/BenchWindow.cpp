#include "BenchWindow.h"

#include "BenchRecording.h"
#include "views/CDlgGMap.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace quello::bench {

std::unique_ptr<CPlayerDlg> PlayBenchMovieInWindow(const QString& folder, int seconds) {
    const QDir dir(folder);
    const QString movie = dir.filePath(QStringLiteral("FILE0001.MOV"));
    if (!MakeBenchMovie(movie, seconds) ||
        !MakeBenchTelemetry(dir.filePath(QStringLiteral("FILE0001.DAT")))) {
        std::fprintf(stderr, "could not make the 1080p movie or its telemetry\n");
        return nullptr;
    }
    auto window = std::make_unique<CPlayerDlg>();
    window->engine().SetAudioOutput(QStringLiteral("null"));
    window->SetCardRoot(dir.filePath(QStringLiteral("no-card")));
    window->show();
    window->AddStartupPaths({movie});
    window->OpenEntry(CPlayerDlg::EntryStep::Next, true);
    if (window->engine().GetState() != MediaState::Running) {
        std::fprintf(stderr, "the movie does not play\n");
        return nullptr;
    }
    // The tick's map call should reach a live page.
    QElapsedTimer waited;
    waited.start();
    CDlgGMap* map = nullptr;
    while (!(map && map->pageLoaded()) && waited.elapsed() < 30000) {
        QEventLoop pause;
        QTimer::singleShot(50, &pause, &QEventLoop::quit);
        pause.exec();
        map = window->findChild<CDlgGMap*>();
    }
    std::printf("map page loaded: %s\n", map && map->pageLoaded() ? "yes" : "no");
    return window;
}

} // namespace quello::bench
