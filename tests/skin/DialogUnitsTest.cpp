// Dialog units of the window template to pixels.
#include "skin/DialogUnits.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

TEST(DialogUnits, TemplateControlsLandOnTheirPixels) {
    const struct {
        const char* control;
        int x, y, w, h;
        QRect pixels;
    } cases[] = {
        {"video 1000", 10, 22, 365, 273, QRect(18, 39, 638, 477)},
        {"library 1021", 387, 49, 187, 94, QRect(677, 86, 328, 164)},
        {"waveform 1024", 9, 314, 367, 81, QRect(16, 550, 642, 141)},
        {"map host 1025", 387, 150, 187, 145, QRect(677, 263, 328, 253)},
        {"title text 1054", 19, 3, 36, 8, QRect(33, 5, 63, 14)},
        {"speed text 1059", 469, 395, 34, 8, QRect(821, 691, 59, 14)},
        {"Recycle 1041", 464, 27, 43, 9, QRect(812, 47, 75, 16)},
        // Off the 1024 x 768 window, as on the original screen.
        {"step 1003", 0, 453, 15, 14, QRect(0, 793, 26, 24)},
        {"add 1022", 585, 25, 13, 12, QRect(1024, 44, 23, 21)},
        {"origin", 0, 0, 0, 0, QRect(0, 0, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialogUnitsToPixels(c.x, c.y, c.w, c.h), c.pixels) << c.control;
}

TEST(DialogUnits, NeighboursShareTheirEdge) {
    // Converting edges, not sizes, keeps abutting controls abutting whatever the rounding.
    for (int x = 0; x < 600; ++x) {
        const QRect a = DialogUnitsToPixels(x, x, 13, 13);
        const QRect b = DialogUnitsToPixels(x + 13, x + 13, 7, 7);
        ASSERT_EQ(a.right() + 1, b.left()) << x;
        ASSERT_EQ(a.bottom() + 1, b.top()) << x;
    }
}

} // namespace
} // namespace quello
