#include "LibrarySettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace quello {
namespace {

QSettings Settings() {
    return QSettings(QStringLiteral("Quello Player"), QStringLiteral("quello-player"));
}

const QString kLibraryKey = QStringLiteral("library/path");

} // namespace

QString RememberedLibrary() {
    return Settings().value(kLibraryKey).toString();
}

void RememberLibrary(const QString& root) {
    Settings().setValue(kLibraryKey, QDir(root).absolutePath());
}

bool IsLibraryFolder(const QString& root) {
    return !root.isEmpty() && QFileInfo(root + QStringLiteral("/library.sqlite")).isFile();
}

} // namespace quello
