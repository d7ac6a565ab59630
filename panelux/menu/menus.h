// The server's menus (requests 16 to 22): menu objects kept under the
// server's handles, native menus built from their items, submenus fetched
// from the server when first opened, and the user's choice as event 501.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "dispatch.h"
#include "menudesc.h"
#include "panel.h"

struct PxFrame;

// A menu's panel carries this flag so that a menu can stand where a panel
// stands; its name is "$MENU$".
constexpr uint32_t kPxPanelIsMenu = 0x1000000;

struct PxMenu {
    int32_t handle = 0, objNum = 0, prevObjNum = -1;
    bool popup = false;
    uint8_t topCount = 0;
    int column = 0, row = 0;
    std::vector<PxMenuItemRec> items;
    std::vector<std::unique_ptr<std::vector<PxMenuItemRec>>> extras;  // requests 17 and 21
    HMENU native = nullptr;
    bool inMenuMode = false;  // request 22 runs its loop on it
    // Open menu loops of its frame (WM_ENTERMENULOOP less WM_EXITMENULOOP),
    // and a loop that ended without a choice yet: a dismissal the idle
    // function reports as event 256 while in menu mode.
    int tracking = 0;
    bool pendingDismissal = false;
    PxFrame *frame = nullptr;   // the frame whose menu stack holds it
    PxMenu *below = nullptr;    // the menu shown before it on that frame
    const PxMenuItemRec *lastChosen = nullptr;
    int32_t lastCommand = 0;  // the command value its event 501 carried
    PxPanelPtr panel;  // "$MENU$"
    // Request 22 runs on the menu: a request 18 arriving during its wait
    // takes the menu away, but the record stays until the request ends.
    bool held = false, destroyed = false;
};

enum : int { kPxEvMenuCommand = 501 };

int px_onCreateMenu(const PxRequest &req);   // 16
int px_onAddMenuItems(const PxRequest &req); // 17
int px_onDestroyMenu(const PxRequest &req);  // 18
int px_onEnableMenuItem(const PxRequest &req);  // 19
int px_onDeleteMenuItem(const PxRequest &req);  // 20
int px_onInsertMenuItems(const PxRequest &req); // 21
int px_onTrackMenu(const PxRequest &req);       // 22

// Item id lookup: the main items first, then each extra block in order.
PxMenuItemRec *px_menuItemById(PxMenu *menu, int32_t id);
// The item a native command names in the menu, only when the item record
// the native item carries belongs to that menu.
PxMenuItemRec *px_menuItemByCommand(PxMenu *menu, HMENU native, UINT command);
// WM_INITMENUPOPUP of a frame: a submenu opened for the first time is
// fetched from the server (upcall 101) and filled.
void px_menuInitPopup(HMENU popup);
// WM_COMMAND of the frame's menu: event 501 (or 256) with mode 2.
void px_menuCommand(PxFrame *frame, UINT command);
// WM_MENUSELECT of the frame: the item's help line in the status bar.
void px_menuSelect(PxFrame *frame, HMENU menu, UINT item, UINT flags);
// F1 on a menu item: the help context of the server item the native
// command names, 0 when it names none.
int32_t px_menuHelpContext(HMENU menu, UINT command);
// Whether the frame's menu is in menu mode.
bool px_frameInMenuMode(const PxFrame *frame);
// WM_ENTERMENULOOP and WM_EXITMENULOOP of the frame: the marks of the menu
// on top of its stack.
void px_menuLoopEntered(PxFrame *frame);
void px_menuLoopExited(PxFrame *frame);
// The idle function's question: true (and the mark cleared) when the
// frame's menu in menu mode has a pending dismissal.
bool px_takeMenuDismissal(PxFrame *frame);
// Frees every menu left in the remote-object table (unload).
void px_freeMenus();
