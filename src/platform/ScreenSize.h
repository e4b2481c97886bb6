#pragma once

namespace ks {

// The size of the screen in pixels; 0 × 0 where there is none.
struct ScreenSize {
    int width = 0;
    int height = 0;
};

}  // namespace ks
