// The frame's menu bar: a window of class "QVUI:MenuBar", a toolbar with
// one drop-down button per top-level item of the server menu shown, in the
// band of the frame's rebar. It imitates the system menu bar: Alt and F10
// enter keyboard mode, arrows move, letters and Alt+letters open items,
// popups follow the mouse from button to button. It takes input only while
// the server's menu loop runs (request 22); otherwise it is suspended.
#pragma once

#include <windows.h>

struct PxFrame;
struct PxMenu;

extern const char kPxMenuBarClass[];  // "QVUI:MenuBar"

// The frame's rebar (identifier 0x601, kept in the frame) with the menu bar
// (0x603) in a band of its own, showing the frame's placeholder menu (one
// popup item " ") and suspended; null after an error box.
HWND px_createRebarWnd(PxFrame *frame);
// The frame going away: the bar shows no menu and the placeholder goes.
void px_menuBarDropMenu(PxFrame *frame);
// The previous menu, or (HMENU)-1 when bar is not a menu bar.
HMENU px_menuBarSetMenu(HWND bar, HMENU menu);
void px_menuBarRebuild(HWND bar);
// Fits the rebar band holding the bar to its buttons (after a change of
// menu or of the menu font).
void px_menuBarFitBand(HWND bar);
// Returns the previous state.
bool px_menuBarSuspend(HWND bar, bool on);
bool px_menuBarKeyboardMode(HWND bar);
int px_menuBarOpenItem(HWND bar);  // the item whose popup is open, -1 none

// The current frame's menu stack.
void px_pushFrameMenu(PxMenu *menu);
void px_popFrameMenu(PxMenu *menu);
void px_refreshFrameMenu(PxMenu *menu);
// A frame going away: its menus forget it.
void px_dropFrameMenus(PxFrame *frame);

// The server's menu loop: resumes the bar and enters keyboard mode; the end
// leaves it and suspends the bar again.
void px_menuBarTrackLoop(PxFrame *frame);
void px_menuBarEndLoop(PxFrame *frame);

// Called by the link's message filter for every queued message; true when
// consumed.
bool px_menuBarPreTranslate(MSG *msg);
// The frame's WM_SYSCOMMAND, WM_NOTIFY, WM_MENUCHAR, WM_MENUSELECT; true
// when handled, with the result.
bool px_menuBarFrameMsg(PxFrame *frame, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT *result);
// Whether a popup of any bar is being tracked (event 775 then).
HWND px_menuBarTracking();
