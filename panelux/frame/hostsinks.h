// formkit's registration with the terminal's host application and window
// manager (terminals whose AppIntf has GetHostApp and whose host object is
// newer than version 4): the module sink lets the terminal show its own
// windows inside formkit's current frame.
#pragma once

void px_registerHostSinks();
void px_unregisterHostSinks();

struct PxFrame;
// Requests 7 and 8 with a host newer than version 2: the frame becomes the
// host's main window, keeping the previous one, and gives it back.
void px_hostTakeMainWindow(PxFrame *frame);
void px_hostGiveBackMainWindow(PxFrame *frame);
