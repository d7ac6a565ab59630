// formkit's registration with the terminal's host application and window
// manager (terminals whose AppIntf has GetHostApp and whose host object is
// newer than version 4): the module sink lets the terminal show its own
// windows inside formkit's current frame.
#pragma once

#include <windows.h>

void px_registerHostSinks();
void px_unregisterHostSinks();

struct PxFrame;
// Requests 7 and 8 with a host newer than version 2: the frame becomes the
// host's main window, keeping the previous one, and gives it back.
void px_hostTakeMainWindow(PxFrame *frame);
void px_hostGiveBackMainWindow(PxFrame *frame);
// The host's main window with a host newer than version 2; null otherwise.
HWND px_hostMainWindow();
// Whether the host window manager lets the terminal close (true without
// one); when it does, the manager is told to close.
bool px_hostCloseApp();
