#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

namespace quello {

// Converts a rectangle of the window template, given in dialog units (x, y, width, height),
// to pixels for the template's font (9 pt at 96 dpi: 7 pixels per 4 horizontal units, 14 per
// 8 vertical units). Each edge is converted on its own and rounded half away from zero, so
// neighbouring controls keep sharing their edges.
QRect DialogUnitsToPixels(int x, int y, int width, int height);

struct DialogUnitRect {
    int x, y, width, height;
};
inline QRect DialogUnitsToPixels(const DialogUnitRect& r) {
    return DialogUnitsToPixels(r.x, r.y, r.width, r.height);
}

// Gives a dialog's control its template id (objectName "ctl<id>"; 0: a control without id) and
// its place in dialog units. Returns the widget, for chaining.
template <class T> T* PlaceInDialogUnits(T* widget, int id, const DialogUnitRect& rect) {
    if (id != 0)
        widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    widget->setGeometry(DialogUnitsToPixels(rect));
    return widget;
}

// The waveform strip's place in the main window (control 1024). The printed page stretches an
// image of the strip at this size, also when `quello print` draws it without the window.
inline constexpr DialogUnitRect kWaveformTemplateRect{9, 314, 367, 81};

} // namespace quello
