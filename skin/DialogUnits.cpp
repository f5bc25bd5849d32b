#include "DialogUnits.h"

namespace quello {

namespace {

// value * numerator / denominator rounded half away from zero, in integers.
int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

} // namespace

QRect DialogUnitsToPixels(int x, int y, int width, int height) {
    const int left = MulDivRound(x, 7, 4);
    const int top = MulDivRound(y, 14, 8);
    const int right = MulDivRound(x + width, 7, 4);
    const int bottom = MulDivRound(y + height, 14, 8);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace quello
