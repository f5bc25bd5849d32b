#include "LibrarySettings.h"

#include "AppSettings.h"

#include "library/LibraryLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quello {
namespace {

const QString kLibraryKey = QStringLiteral("library/path");

} // namespace

QString RememberedLibrary() {
    return AppSettings().value(kLibraryKey).toString();
}

void RememberLibrary(const QString& root) {
    AppSettings().setValue(kLibraryKey, QDir(root).absolutePath());
}

bool IsLibraryFolder(const QString& root) {
    return !root.isEmpty() && IsLibrary(QFile::encodeName(root).toStdString());
}

} // namespace quello
