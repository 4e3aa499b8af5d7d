#include "ui/window_position.h"

namespace {

int32_t HalfDifference(int32_t outerLow, int32_t outerHigh, int32_t innerLow, int32_t innerHigh) {
    int64_t outer = int64_t(outerHigh) - outerLow;
    int64_t inner = int64_t(innerHigh) - innerLow;
    int64_t half = (outer - inner) / 2;  // C++ division truncates toward zero
    if (half > INT32_MAX) {
        return INT32_MAX;
    }
    if (half < INT32_MIN) {
        return INT32_MIN;
    }
    return int32_t(half);
}

}  // namespace

ScreenPoint CentredWindowOrigin(const ScreenRect& desktop, const ScreenRect& window) {
    ScreenPoint origin;
    origin.x = HalfDifference(desktop.left, desktop.right, window.left, window.right);
    origin.y = HalfDifference(desktop.top, desktop.bottom, window.top, window.bottom);
    return origin;
}
