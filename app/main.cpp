#include "CPlayerApp.h"

#include <QByteArray>

#include <unistd.h>

int main(int argc, char** argv) {
    // The map's browser engine cannot use its sandbox when run by root and would refuse to
    // start; for other users the sandbox stays on.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    quello::CPlayerApp app(argc, argv);
    return app.Run();
}
