// How a console window in full-screen mode looks from outside: far off the
// desktop and 160 pixels wide.
#pragma once

constexpr long kFullScreenOffset = 3000;
constexpr long kFullScreenWidth = 160;

constexpr bool sysmix_fullScreenRect(long left, long top, long width) {
    return (left >= kFullScreenOffset || left <= -kFullScreenOffset) &&
           (top >= kFullScreenOffset || top <= -kFullScreenOffset) && width == kFullScreenWidth;
}
