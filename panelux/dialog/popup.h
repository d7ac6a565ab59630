// Popups: a message or a short question in a small window of its own; the
// module waits in its own event loop until the user answers (requests 13,
// 14 and 15).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dispatch.h"

struct PxDialog;
struct PxPanel;

extern const char kPxPopupClass[];  // "pxPopupWnd"

// The ending event, -1 when the popup cannot be made.
int px_popupMessage(const char *text, int kind, int32_t helpContext, const char *extra, const char *title);
// The same on behalf of the server object number (its upcalls' table).
int px_popupMessageFor(int32_t number, const char *text, int kind, int32_t helpContext, const char *extra,
                       const char *title);
// A balloon at the centre of the panel's current field, until Escape or
// another key; answered as a message popup when the panel's dialog is not
// the one shown or has no current field.
int px_popupFieldTip(PxPanel *panel, const char *text, int kind, int32_t helpContext, const char *extra,
                     const char *title);
// Points an open field tip of the dialog at its current field again.
void px_placeFieldTip(PxDialog *dialog);
// A child window is centred in owner's client area (default: its parent);
// a top-level window over owner (default: its owner) when that is shown and
// not minimised, else on the work area, and kept inside the work area.
void px_centerOver(HWND wnd, HWND owner);
// A popup text's lines (new lines separate them).
std::vector<std::string> px_popupLines(const std::string &text);
// A choice among buttons (zero-terminated captions ending with an empty
// one): the chosen index after Enter, otherwise the ending event; the
// default button index when the popup cannot be made (27 without buttons).
int px_popupInput(const char *text, const char *buttons, int defaultButton, int width, int kind,
                  int32_t helpContext, const char *extra, const char *title);
// The key step of the message filter while a popup waits; true = consumed.
bool px_popupPreTranslate(const MSG &msg, int shift);

// The wait box: a dialog (panel 515) with the text, a running bar and a
// button that sends a user break, shown while the server works. One at a
// time; a second one while it is shown does nothing.
void px_showWaitBox(const char *text, int32_t flags);
// Request 66, and what every request that opens or closes a dialog (23, 29,
// 34, 35, 46, 51) calls first; nothing when no box is shown.
void px_closeWaitBox();
HWND px_waitBoxWindow();

int px_onPopupMessage(const PxRequest &req);  // 13
int px_onPopupInput(const PxRequest &req);    // 15
int px_onShowWaitBox(const PxRequest &req);   // 65
int px_onCloseWaitBox(const PxRequest &req);  // 66
