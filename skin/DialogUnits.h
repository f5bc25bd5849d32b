#pragma once

#include "res/skin/DialogUnitRect.h"

#include <QRect>
#include <QString>
#include <QWidget>

namespace quello {

// Gives a dialog's control its template id (objectName "ctl<id>"; 0: a control without id) and
// its place in dialog units. Returns the widget, for chaining.
template <class T> T* PlaceInDialogUnits(T* widget, int id, const DialogUnitRect& rect) {
    if (id != 0)
        widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    widget->setGeometry(DialogUnitsToPixels(rect));
    return widget;
}

} // namespace quello
