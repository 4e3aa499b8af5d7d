// Centring the progress window: the arithmetic that decides where users see
// it, including the cases where a careless formula is off by one or adds the
// desktop's origin.
#include <gtest/gtest.h>

#include <stdint.h>

#include "ui/window_position.h"

namespace {

struct CentringCase {
    const char* what;
    ScreenRect desktop;
    ScreenRect window;
    ScreenPoint expected;
};

const CentringCase kCases[] = {
    {"plain 1024 x 768 desktop", {0, 0, 1024, 768}, {0, 0, 300, 60}, {362, 354}},
    {"the window's current place does not matter",
     {0, 0, 1024, 768},
     {-40, 500, 260, 560},
     {362, 354}},
    {"odd differences truncate", {0, 0, 1025, 768}, {0, 0, 300, 61}, {362, 353}},
    {"a window wider than the desktop truncates toward zero",
     {0, 0, 200, 100},
     {0, 0, 305, 161},
     {-52, -30}},
    {"the desktop's origin is not added", {100, 50, 1124, 818}, {0, 0, 300, 60}, {362, 354}},
    {"a window as large as the desktop", {0, 0, 640, 480}, {0, 0, 640, 480}, {0, 0}},
    {"the widest 32-bit desktop does not overflow",
     {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
     {0, 0, 0, 0},
     {INT32_MAX, INT32_MAX}},
    {"an absurd result is clamped, not wrapped",
     {INT32_MIN, 0, INT32_MAX, 0},
     {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN},
     {INT32_MAX, INT32_MAX}},
};

TEST(CentredWindowOrigin, PlacesTheWindowByHalfTheDifference) {
    for (const CentringCase& c : kCases) {
        ScreenPoint got = CentredWindowOrigin(c.desktop, c.window);
        EXPECT_EQ(got.x, c.expected.x) << c.what;
        EXPECT_EQ(got.y, c.expected.y) << c.what;
    }
}

}  // namespace
