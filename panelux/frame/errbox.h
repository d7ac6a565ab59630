// The module's message box and the box that reports a failed system call.
#pragma once

#include <windows.h>

// Caption: the application caption of request 3, else the executable's
// path; owner: the last active popup of the current frame or child window.
int px_messageBox(const char *text, const char *caption, UINT type);
// The system's text for code under a caption made from format.
int px_sysErrorBox(DWORD code, const char *format, ...);
// The system's text for code in a box without owner under the caption.
int px_plainSysErrorBox(DWORD code, const char *caption);
// The module's own full path (warning boxes are captioned with it).
const char *px_modulePath();
