#include "WarningBox.h"

#include <QMessageBox>

namespace quello {

void ShowWarning(QWidget* parent, const char* objectName, const QString& text,
                 const QString& detail) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quello Player"), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QString::fromLatin1(objectName));
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

} // namespace quello
