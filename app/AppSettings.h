#pragma once

#include <QSettings>

namespace quello {

// The settings file of the window (choices remembered between runs), under the program's
// organisation and name. A new object each call; GUI thread only, as QSettings wants.
inline QSettings AppSettings() {
    return QSettings(QStringLiteral("Quello Player"), QStringLiteral("quello-player"));
}

} // namespace quello
