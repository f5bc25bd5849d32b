// Rectangles of dialog templates in dialog units, and their place in pixels for the
// templates' font. Header-only; usable from any thread.
#pragma once

#include <QRect>

namespace quello {

// A rectangle of the template in dialog units (x, y, width, height).
struct DialogUnitRect {
    int x, y, width, height;
};

namespace layout_detail {
// value * numerator / denominator rounded half away from zero, in integers.
constexpr int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}
} // namespace layout_detail

// Dialog units to pixels for the template's font (9 pt at 96 dpi: 7 pixels per 4 horizontal
// units, 14 per 8 vertical units). Each edge is converted on its own and rounded half away
// from zero, so neighbouring controls keep sharing their edges.
constexpr QRect DialogUnitsToPixels(int x, int y, int width, int height) {
    using layout_detail::MulDivRound;
    const int left = MulDivRound(x, 7, 4);
    const int top = MulDivRound(y, 14, 8);
    const int right = MulDivRound(x + width, 7, 4);
    const int bottom = MulDivRound(y + height, 14, 8);
    return QRect(left, top, right - left, bottom - top);
}
constexpr QRect DialogUnitsToPixels(const DialogUnitRect& r) {
    return DialogUnitsToPixels(r.x, r.y, r.width, r.height);
}

} // namespace quello
