// Finding the dialogs and message boxes a module shows, from a helper thread
// of the test while the module's modal loop runs.
#pragma once

#include <windows.h>

#include <string>

namespace th {

// A "#32770" window of this process whose caption starts with prefix (any
// caption for an empty prefix) that is visible, so done with its set-up;
// null when none appears after the given number of looks, 25 ms apart.
HWND findDialog(const std::wstring &prefix, int looks = 400);
std::wstring windowText(HWND w);

}  // namespace th
