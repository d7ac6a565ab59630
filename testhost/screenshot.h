// A window's picture as the screen shows it, saved as an opaque 32-bit BMP
// beside the test's log for people to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>

namespace th {

// The distinct colours of the picture (RGB); empty when nothing was taken
// or the file could not be written.
std::set<uint32_t> saveWindowBitmap(HWND wnd, const std::string &path);

}  // namespace th
