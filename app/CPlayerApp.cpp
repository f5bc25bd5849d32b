#include "CPlayerApp.h"

#include "CPlayerDlg.h"
#include "CommandLine.h"

#include <QIcon>

#include <clocale>
#include <cstdio>

namespace quello {

CPlayerApp::CPlayerApp(int& argc, char** argv) : m_app(argc, argv) {
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quello Player"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    QApplication::setDesktopFileName(QStringLiteral("quello-player"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/quello-player.svg")));
}

int CPlayerApp::Run() {
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const PlayerOptions options = ParsePlayerArguments(arguments);
    if (options.help) {
        std::fputs(PlayerUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quello-player: %s\n%s", options.error.toLocal8Bit().constData(),
                     PlayerUsage().toLocal8Bit().constData());
        return 2;
    }

    CPlayerDlg window;
    window.SetCardRoot(options.cardRoot);
    const QStringList unusable = window.AddStartupPaths(options.paths);
    for (const QString& path : unusable)
        std::fprintf(stderr, "quello-player: no such movie or folder: %s\n",
                     path.toLocal8Bit().constData());
    window.exec();
    return 0;
}

} // namespace quello
