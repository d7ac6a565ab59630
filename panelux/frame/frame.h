// The application frame: a sizeable top-level window holding, top to
// bottom, the rebar with the menu bar in its band, the client window in
// which dialogs sit as child windows, and the status bar. The frame
// scrolls its children by moving them and reports its grid size.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum : int {
    kPxRebarId = 0x601,
    kPxClientId = 0x602,
    kPxMenuBarId = 0x603,
    kPxStatusId = 0x604,
    kPxMeasureStatusId = 1540,
};

struct PxFrame {
    int columns = 0, rows = 0;
    bool shown = false;
    bool minimizedByRequest = false;
    bool wasForeground = false;
    bool wasMaximized = false;
    HWND wnd = nullptr;
    HWND client = nullptr;
    HWND owner = nullptr;
    HWND menuBar = nullptr;
    HWND rebar = nullptr;
    HMENU baseMenu = nullptr;  // the bar's placeholder while no server menu is shown
    HWND status = nullptr;
    HWND prevHostMain = nullptr;
    bool hostMainTaken = false;  // the frame is the host's main window
    void *menuTop = nullptr;  // server menu stack
    std::string savedStatus;
    int menuLoops = 0;  // nested menu loops: the text is saved by the outermost
    bool resizePending = false;
    bool ownerDisabled = false;
    void *hostObject = nullptr;
    // How far the client's contents are scrolled: new children follow it.
    int scrolledX = 0, scrolledY = 0;
    // During a scroll action: the windows last moved and whether the client's
    // whole picture moved with them. Forgotten when the action ends or a
    // child window of the client comes or goes.
    std::vector<HWND> pictureWnds;
    bool pictureKnown = false, pictureWhole = false;
};

extern const char kPxFrameClass[];   // "pxFrameWnd"
extern const char kPxClientClass[];  // "pxClientWnd"

PxFrame *px_createFrame(const char *captionOem, int x, int y, int width, int height, HWND owner);
void px_destroyFrame(PxFrame *frame);
// Asks the user, then the host's window manager, whether the application
// may close, and if so stops the session (the frame's close box, the
// blocking dialog's close button).
void px_askToStopSession();
void px_showFrame(PxFrame *frame, int showCmd);
void px_minimizeFrame(PxFrame *frame);
void px_restoreFrame(PxFrame *frame);
PxFrame *px_frameOf(HWND wnd);
SIZE px_frameSizeForGrid(int columns, int rows);
// Corrects the frame's size so that its client window holds exactly that
// grid (bars and borders measured on the real window).
void px_fitFrameToGrid(PxFrame *frame, int columns, int rows);
void px_setupFrameStatus(PxFrame *frame);
void px_scrollIntoView(PxFrame *frame, RECT rect, UINT flags);
void px_scrollChildren(PxFrame *frame, int dx, int dy);
void px_updateScrollBars(PxFrame *frame);
// Columns and rows of the client area; queues event 500 when they changed.
void px_updateGridSize(PxFrame *frame);

// WM_COMMAND of a menu: left for the server menus.
void px_frameMenuCommand(PxFrame *frame, int id);

void px_installHooks();
void px_removeHooks();
HWND px_modalLoopWindow();
