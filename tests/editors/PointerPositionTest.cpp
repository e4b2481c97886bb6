#include "editors/PointerPosition.h"

#include <gtest/gtest.h>

namespace ks::test {
namespace {

// A picked pixel in stored units; where the command then moves the pointer
// (the window's corner in stored units plus the relative values) is the
// pixel's own absolute position.
TEST(PointerPositionTest, APickedPixelBecomesTheValuesThatMoveThePointerBackToIt) {
    struct Case {
        int x, y;
        ScreenRect window;
        NormalisedPoint absolute, relative;
    };
    const ScreenSize screen{1024, 768};
    const Case cases[] = {
        {0, 0, {0, 0, 1024, 768}, {0, 0}, {0, 0}},
        {1023, 767, {0, 0, 1024, 768}, {65471, 65449}, {65471, 65449}},
        {612, 434, {100, 50, 700, 500}, {39167, 37034}, {32768, 32768}},
        {10, 5, {-200, -100, 300, 200}, {639, 426}, {13438, 8959}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        EXPECT_EQ(absolutePosition(c.x, c.y, screen), c.absolute);
        EXPECT_EQ(relativePosition(c.x, c.y, c.window, screen), c.relative);
    }
}

}  // namespace
}  // namespace ks::test
