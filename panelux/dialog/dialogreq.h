// The server's dialog requests: 23 (open), 24-27 (fields, texts, run),
// 28-30, 31 (module options), 32 (field text) and 33 (scroll settings).
#pragma once

#include <functional>

#include "dispatch.h"
#include "objtable.h"
#include "panel.h"
#include "wire.h"

int px_onOpenDialog(const PxRequest &req);     // 23
int px_onUpdateFields(const PxRequest &req);   // 24
int px_onSetTexts(const PxRequest &req);       // 25
int px_onRunDialog(const PxRequest &req);      // 26
int px_onUpdateField(const PxRequest &req);    // 27
int px_onListFocus(const PxRequest &req);      // 28
int px_onCloseDialog(const PxRequest &req);    // 29
int px_onPanelWindow(const PxRequest &req);    // 30
int px_onModuleOptions(const PxRequest &req);  // 31
int px_onFieldText(const PxRequest &req);      // 32
int px_onScrollSettings(const PxRequest &req); // 33
// 14: a tip at a field; shown as a message popup.
int px_onPopupFieldTip(const PxRequest &req);

#include <windows.h>

#include <functional>

#include "wire.h"

struct PxPanel;

// Opens the window of a panel just built; r stands after the description.
// A result >= 0 for the reply, or negative with no window left.
using PxDialogOpener = std::function<int(PxPanel *panel, WireReader &r)>;
// Request 23's steps for every dialog opener: closes the wait box, builds
// the panel from the description in r (with a user block of that size),
// makes its formatters when asked and it has fields, opens it with open,
// enters it under its handle and makes its object current. open's result,
// or -1 with nothing left behind.
int px_openDialogWith(WireReader &r, size_t userBlockSize, bool formats, const PxDialogOpener &open);
// The panel of a dialog handle; null for an unknown one.
PxPanel *px_panelOfHandle(int32_t handle);

// The window of a dialog handle; null for an unknown one.
HWND px_dialogWindow(int32_t handle);
// The status bar of a dialog handle; null for an unknown one or a dialog
// without panes.
HWND px_dialogStatusBar(int32_t handle);

// Closes every dialog still in the table (unload).
void px_closeAllDialogs(PxObjTable *table);

// Longest text a reply carries after its head.
constexpr int kPxReplyTextMax = 7999;
