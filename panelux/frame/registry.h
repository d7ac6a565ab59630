// The registry of the windows formkit shows for the server: top-level
// entries (the first is current), each with its child windows; the window
// classes of the library; grid cells to pixels and back.
#pragma once

#include <windows.h>

#include "ringlist.h"

struct PxFrame;

enum PxChildKind : int { kPxChildDialog = 0, kPxChildPopup = 1, kPxChildOther = 2 };

struct PxChildWnd {
    HWND wnd = nullptr;
    RingLink link = {};
    void *object = nullptr;
    int kind = kPxChildDialog;
    void *hostObject = nullptr;  // its window sink, or the terminal's window when attached
    bool attached = false;
    bool notifyHost = false;  // its registration is bracketed by the manager's notices
};

struct PxTopWnd {
    PxFrame *frame = nullptr;  // the level's frame, when it has one
    void *dialog = nullptr;    // a top-level dialog's record
    PxChildWnd *active = nullptr;
    void *runningDlg = nullptr;
    bool pushed = false;
    bool eventMode = false;
    bool madeByFrameRequest = false;  // opened by request 7, closed by 8
    RingLink link = {};
    RingList children = {};
};

bool px_initTopWnds();
PxTopWnd *px_newTopWnd();
void px_dropTopWnd(PxTopWnd *entry);
void px_setLastTopWnd(PxTopWnd *entry);
void px_freeTopWnds();
// The current level: the first entry of the list (null before start).
PxTopWnd *px_firstTopWnd();
PxTopWnd *px_curTopWnd();
PxTopWnd *px_topWndByObject(const void *object);
int px_topWndCount();
// The entry whose frame shows that server menu on top of its menu stack.
PxTopWnd *px_topWndByMenu(const void *menuNode);
PxTopWnd *px_topWndByHostObject(const void *hostObject);

// notify: the host window manager hears notices 0 and 1 around the
// child's registration and removal.
PxChildWnd *px_addChildWnd(HWND wnd, void *object, int kind, bool notify = false);
PxChildWnd *px_attachChildWnd(HWND wnd, void *object, int kind, void *hostObject);
PxChildWnd *px_findChildWnd(const void *object, int kind, PxTopWnd **owner);
PxChildWnd *px_findChildByHost(const void *hostObject, PxTopWnd **owner);
PxTopWnd *px_findTopWndOf(const void *object, int kind);
bool px_removeChildWnd(const void *object, int kind);
void px_detachChildWnd(PxTopWnd *entry, PxChildWnd *child);
void *px_activeChildObj(const PxTopWnd *entry, int kind);
// Makes a child of the entry its active child, first in its list and on top.
void px_makeChildActive(PxTopWnd *entry, PxChildWnd *child);
// Sends to every child window of the entry; a dialog's sub-dialogs hear it
// before the dialog.
void px_broadcast(PxTopWnd *entry, UINT msg, WPARAM wParam, LPARAM lParam);
// The active dialog's tooltip follows its dialog after a move or resize.
void px_retrackActiveTip(PxTopWnd *entry);
// Calls fn for each child window of the entry, newest first.
template <class Fn> void px_forEachChild(PxTopWnd *entry, Fn fn) {
    for (void *c = ring_first(&entry->children); c; c = ring_next(&entry->children, c))
        fn(static_cast<PxChildWnd *>(c));
}

// Registers a class of the library for PxApp.instance, replacing one of
// the same name; 0, or -1 after an error box.
int px_regWndClass(WNDCLASSA *wc);
// The same with the failure captions given (each formats the class name),
// reported in a plain box without owner.
int px_regWndClassCaptioned(WNDCLASSA *wc, const char *unregisterFailed, const char *registerFailed);
int px_regWndClassEx(WNDCLASSEXA *wc);
bool px_isClassRegistered(const char *name);
// Unregisters every class the application record registered; false when
// one is still in use.
bool px_unregisterClasses();

SIZE px_gridToWindowSize(int columns, int rows);
SIZE px_windowToGridSize(int width, int height);
// Columns and rows of a client area: the grid the frame was sized for,
// without the frame's own border and caption.
SIZE px_clientToGridSize(int width, int height);
SIZE px_clientToWindowSize(int width, int height, DWORD style, DWORD exStyle);

// What grid placement needs of a dialog: its window, its grid rectangle
// (first and last column, first and last row), whether it has a border, its
// scroll offset and the dialog it sits in.
struct PxGridBox {
    HWND wnd = nullptr;
    int firstCol = 0, lastCol = 0, firstRow = 0, lastRow = 0;
    bool border = false;
    int scrollX = 0, scrollY = 0;
    const PxGridBox *parent = nullptr;
};
enum : int { kPxGridX = 1, kPxGridY = 2 };
// A grid cell of box in the client co-ordinates of the current frame's
// client window; returns which axes got a value (kPxGridX | kPxGridY).
int px_gridToClient(const PxGridBox *box, int column, int row, POINT *out);
// A point of an editor's client area to its cell (in/out); 1 inside, 0
// outside (per axis -1 before, the count beyond).
int px_editorCellAt(HWND editor, int columns, int rows, POINT *pt);
