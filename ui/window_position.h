// Where the progress window goes on the screen. Kept free of Windows headers
// so that the host tests can check the arithmetic on its own.
#ifndef KIV_UI_WINDOW_POSITION_H
#define KIV_UI_WINDOW_POSITION_H

#include <stdint.h>

// A rectangle in screen coordinates, laid out like a Win32 RECT.
struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// Gives the top-left corner that centres `window` on `desktop`: half the
// difference of their widths and of their heights, each halving truncated
// toward zero (a window wider than the desktop gets -52 from 200 - 305, not
// -53). The desktop's own origin is deliberately not added: the result is
// used as it is, as screen coordinates. Intermediate sums are 64-bit so that
// absurd rectangles cannot overflow; a result outside the 32-bit range is
// clamped to it.
ScreenPoint CentredWindowOrigin(const ScreenRect& desktop, const ScreenRect& window);

#endif
