#include "CPlayerApp.h"

#include "CPlayerDlg.h"
#include "CommandLine.h"
#include "LibrarySettings.h"
#include "WindowTemplate.h"

#include "cameras/SeiTelemetry.h"
#include "library/LibraryLocation.h"

#include "quello/Version.h"

#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QQuickWindow>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <malloc.h>
#include <unistd.h>

namespace quello {

namespace {

// Start-up notices the player causes itself (it turns off OpenGL and, for root, the browser's
// sandbox) and that tell a user nothing. Qt logs them without a category (the browser engine's
// with a line end), so they are matched by their trimmed text and stand for this category:
// "quello.startup.warning=true" in QT_LOGGING_RULES shows them again.
Q_LOGGING_CATEGORY(lcStartup, "quello.startup")
constexpr const char* kStartupNotices[] = {
    "QXcbIntegration: Cannot create platform OpenGL context, neither GLX nor EGL are enabled",
    "No suitable graphics backend found",
    "Sandboxing disabled by user.",
};
QtMessageHandler g_nextHandler = nullptr;

void DropStartupNotices(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool fromQt = !context.category || std::strcmp(context.category, "default") == 0;
    if (fromQt && !lcStartup().isEnabled(type == QtInfoMsg ? QtInfoMsg : QtWarningMsg) &&
        std::any_of(
            std::begin(kStartupNotices), std::end(kStartupNotices),
            [&text](const char* notice) { return text.trimmed() == QLatin1String(notice); }))
        return;
    g_nextHandler(type, context, text);
}

// The browser engine's 25-line context dump and the notices above are off by default. Rules
// in QT_LOGGING_RULES are applied after these, so the user's rules win where they overlap;
// warnings and errors are kept.
void QuietStartupMessages() {
    QLoggingCategory::setFilterRules(
        QStringLiteral("qt.webenginecontext.info=false\nquello.startup.info=false\n"
                       "quello.startup.warning=false"));
    g_nextHandler = qInstallMessageHandler(DropStartupNotices);
}

} // namespace

void CPlayerApp::PrepareProcess() {
    // The map's browser engine cannot use its sandbox when run by root and would refuse to
    // start; for other users the sandbox stays on.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QuietStartupMessages();
    // Nothing in the player draws with OpenGL: the video is rendered in software and the map's
    // page by Qt Quick's software renderer (it changes only when the marker moves). Without
    // OpenGL on X11 the browser engine also skips creating a shared context at start-up, which
    // loads the whole software rasteriser (about 100 ms and 50 MB on a machine without a GPU).
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // The decoder's and the browser's many threads would each get a malloc arena of their own;
    // two hold the player's memory 45 MB lower at the same speed. The browser's helper
    // processes read the variable.
    mallopt(M_ARENA_MAX, 2);
    if (qEnvironmentVariableIsEmpty("MALLOC_ARENA_MAX"))
        qputenv("MALLOC_ARENA_MAX", "2");
    // A car's front-camera movies carry its own telemetry in the video stream.
    SeiTelemetry::Register();
}

CPlayerApp::CPlayerApp(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

CPlayerApp::~CPlayerApp() = default;

int CPlayerApp::Run() {
    // Help needs no display: answer it before the GUI starts.
    for (int i = 1; i < m_argc && std::strcmp(m_argv[i], "--") != 0; ++i) {
        if (std::strcmp(m_argv[i], "--help") == 0 || std::strcmp(m_argv[i], "-h") == 0) {
            std::fputs(PlayerUsage().toLocal8Bit().constData(), stdout);
            return 0;
        }
        if (std::strcmp(m_argv[i], "--version") == 0) {
            std::printf("quello-player %s\n", kVersion);
            return 0;
        }
        // For scripts that drive the window through the display: no display needed either.
        if (std::strcmp(m_argv[i], "--print-layout") == 0) {
            std::puts(WindowTemplate::LayoutJson().toUtf8().constData());
            return 0;
        }
    }

    m_app = std::make_unique<QApplication>(m_argc, m_argv);
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quello Player"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QApplication::setDesktopFileName(QStringLiteral("quello-player"));

    // Qt's own options (-platform, -display, ...) are gone from arguments() by now.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const PlayerOptions options = ParsePlayerArguments(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quello-player: %s\n%s", options.error.toLocal8Bit().constData(),
                     PlayerUsage().toLocal8Bit().constData());
        return 2;
    }

    if (!options.cardRoot.isEmpty() && !QFileInfo(options.cardRoot).isDir())
        std::fprintf(stderr, "quello-player: no such card folder: %s\n",
                     options.cardRoot.toLocal8Bit().constData());

    CPlayerDlg window;
    QApplication::setWindowIcon(window.windowIcon());
    window.SetCardRoot(options.cardRoot);
    const QStringList unusable = window.AddStartupPaths(options.paths);
    for (const QString& path : unusable)
        std::fprintf(stderr, "quello-player: no such movie or folder: %s\n",
                     path.toLocal8Bit().constData());
    // The library named, else the last one opened when nothing else is asked for; a card or
    // movies named keep the list for them, and imports still go to the last library.
    const QString remembered = RememberedLibrary();
    if (!options.library.isEmpty() && !QFileInfo(options.library).isDir())
        std::fprintf(stderr, "quello-player: no such library folder: %s\n",
                     options.library.toLocal8Bit().constData());
    else if (!options.library.isEmpty()) {
        // The server named for this run, for every use of the library's index in it.
        std::string ignored;
        if (!options.database.isEmpty())
            SetLibraryDatabase(QFile::encodeName(options.library).toStdString(),
                               DatabaseUrl::Parse(options.database.toStdString(), ignored));
        window.OpenLibrary(options.library);
    } else if (options.cardRoot.isEmpty() && options.paths.isEmpty() && IsLibraryFolder(remembered))
        window.OpenLibrary(remembered);
    else if (IsLibraryFolder(remembered))
        window.SetImportLibrary(remembered);
    window.exec();
    return 0;
}

} // namespace quello
