// formkit's registration with the terminal's host application and window
// manager (terminals whose AppIntf has GetHostApp and whose host object is
// newer than version 4): the module sink lets the terminal show its own
// windows inside formkit's current frame; a window sink per formkit window
// lets the manager bring that window to the front.
#pragma once

#include <windows.h>

struct PxFrame;
struct PxTopWnd;
struct PxChildWnd;

void px_registerHostSinks();
void px_unregisterHostSinks();

// Request 7 with a host newer than version 2: the frame becomes the host's
// main window, keeping the previous one; the frame gives it back before it
// goes (request 8, 9 or the module's end), once.
void px_hostTakeMainWindow(PxFrame *frame);
void px_hostGiveBackMainWindow(PxFrame *frame);

// Window sinks, only while a manager is kept. *slot is where the window
// keeps its sink (PxFrame::hostObject, PxChildWnd::hostObject); notify
// brackets a child's registration with the manager's notices 0 and 1.
void px_hostRegisterWindow(void **slot, bool frame, bool notify);
void px_hostUnregisterWindow(void **slot, bool notify);
// A level became current: its windows are registered and its current
// window activated with the manager.
void px_hostLevelCurrent(PxTopWnd *level);
// The frame was activated: the manager is told which of its windows is in
// front (the active child's, else the frame's), unless a terminal window is.
void px_hostFrameActivated(PxFrame *frame);
// The same for a level whose dialog was activated (a frameless level has
// only its dialogs).
void px_hostLevelActivated(PxTopWnd *level);
// The child that became active again: its host object is called to the front.
void px_hostActivateChild(PxChildWnd *child);
// The frame's close: asks the manager (yes without one) and tells it.
bool px_hostMayClose();
void px_hostClose();
// The host's main window with a host newer than version 2; null otherwise.
HWND px_hostMainWindow();
