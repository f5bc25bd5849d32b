#pragma once

#include "cameras/ViewLayout.h"

#include <QImage>

namespace quello::test {

// The frame number tools/make-teslacam burns into the bottom tenth of each view: 12 blocks,
// lowest bit left, white for 1. Read from `shown`, the composed picture at any scale; -1 when a
// block is neither black nor white (a view mid-change, or none there).
inline int FrameCode(const QImage& shown, const ViewLayout& layout, int view) {
    const ViewRect& p = layout.pictures()[view];
    const double scale = double(shown.width()) / layout.width();
    int code = 0;
    for (int bit = 0; bit < 12; ++bit) {
        const QPoint at(int((p.x + p.w * (bit + 0.5) / 12) * scale),
                        int((p.y + p.h * 0.95) * scale));
        if (!shown.valid(at))
            return -1;
        const int grey = qGray(shown.pixel(at));
        if (grey > 60 && grey < 190)
            return -1;
        code |= (grey >= 190) << bit;
    }
    return code;
}

} // namespace quello::test
