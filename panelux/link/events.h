// Event records for the server: the user's keys, characters, mouse and
// scroll actions become PxEvent records handed to the terminal with
// addEvent; the server reads them with request 5. Keys reach formkit through
// the message filter it registers with the terminal.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "dispatch.h"
#include "zam_ext.h"

// addEvent modes.
enum : int { kPxModeQueue = 0, kPxModeRequest = 1, kPxModeDirect = 2 };

enum : int {
    kPxShiftAlt = 8,
    kPxShiftShift = 3,
    kPxShiftCtrl = 4,
};

enum : int {
    kPxEvMenuDismissed = 256,
    kPxEvGridSize = 500,
    kPxEvMenuCancelled = 775,
    kPxEvFirstTab = 376,
};

constexpr size_t kPxEventReplySize = 9;

// Child identifier of a dialog's scrolling list window.
constexpr int kPxListWndId = 0x1001;

// The shift state from the current key state.
int px_shiftState();
// The server's key code of a virtual key under a shift state; 0 = none.
int px_keyCode(int vk, int shift);
// 0 while the current top-level window's event mode is set, else 2.
int px_keyEventMode();

void px_writeEvent(const PxEvent &ev, int mode);
void px_postEvent(int code, int shift, int p1, int mode);
void px_postCharEvent(int ch, int mode);
void px_postEvent3(int code, int shift, int p1, int p2, int p3, int mode);
// Mouse events at grid cells; the button bits follow codes 513/515/517/518.
void px_postMouseEvent(int code, int shift, int column, int row, int value, int mode);
// The same at a pixel position of wnd's client area.
void px_postMouseEventAt(HWND wnd, int code, POINT client, int value, int mode);
void px_postScrollEvent(int code, int request, int position, int mode);
// WM_HSCROLL or WM_VSCROLL of a window's bar (SB_HORZ, SB_VERT, or SB_CTL
// with the bar control as wnd): event 503 or 504 with the request; a thumb
// position (and with track, a thumb track) first moves the bar and sends
// the position.
void px_scrollBarEvent(HWND wnd, int bar, bool vertical, WPARAM wParam, bool track);
int px_buttonBits();
// The screen position (packed x, y) of the last mouse press on a field or
// the menu bar: a field replays it once its input starts, a popup menu opens
// there; 0 = none. Every event clears it, and taking it too.
void px_setPendingClick(int packed);
int px_pendingClick();
void px_setPendingClick(POINT screen);
bool px_takePendingClick(POINT *screen);

// The next event: 775 at once while a system modal loop runs (the loop is
// cancelled), else the terminal's getEvent. False when nothing was read.
bool px_readEvent(PxEvent *ev, int wait);
// The wait and poll services of the modal loops: request 5's reading, with
// the frame's size event 500 forwarded to the server as upcall 104.
int px_hookWaitEvent(PxEvent *ev);
int px_hookPollEvent(PxEvent *ev);
// What the modal loops of dialogs, popups and lists call, in this order:
// wait for an event, poll for one, send help for a context.
struct PxLoopServices {
    int (*wait)(PxEvent *ev);
    int (*poll)(PxEvent *ev);
    int (*help)(int32_t context);
};
const PxLoopServices &px_loopServices();

// True while a terminal object is there to deliver events; without one a
// modal wait can never end.
bool px_hasTerminal();

// The fields of the last event read.
const PxEvent &px_lastEvent();

// Type-ahead ring: keys typed into a dialog that is not reading yet.
enum : int { kPxTypeAheadSlots = 16 };
bool px_typeAheadPut(const MSG &msg, int shift);
// chars: the characters the key gave when it was typed.
bool px_typeAheadTake(MSG *msg, int *shift, std::string *chars = nullptr);
int px_typeAheadCount();
// Empties the ring and tells the terminal (FlushInput).
void px_flushTypeAhead();
void px_replayTypeAhead(HWND wnd);

// Key dispatch of one key message; true when consumed.
bool px_keyDispatch(const MSG &msg, int shift);
int ZAMCB px_msgFilter(MSG *msg);
void ZAMCB px_idleProc();

// PxEventReply: the low parts of the fields, 9 bytes.
void px_writeEventReply(WireWriter &w, const PxEvent &e);

// The user's break (Ctrl+Break): type-ahead dropped, the terminal told.
void px_userBreak();

// Requests 4, 5 and 6.
int px_onEventMode(const PxRequest &req);
int px_onReadEvent(const PxRequest &req);
int px_onQueueEvent(const PxRequest &req);
