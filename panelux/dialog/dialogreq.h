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

// Opens a dialog from the description at the reader (the wait box closes
// first): the panel gets a user block of that size and, when asked, its
// formatters; open makes the window and answers a result, negative for a
// failure, which leaves nothing behind. The handle enters the table.
int px_openDialogFrom(WireReader &r, size_t userBlock, bool formats,
                      const std::function<int(PxPanel *, WireReader &)> &open);
// The panel of a dialog handle; null for an unknown one.
PxPanel *px_panelOfHandle(int32_t handle);

// Editor and tab-dialog requests (46, 51): every handle is unknown until
// those windows exist.
int px_onUnknownHandle(const PxRequest &req);

// The window of a dialog handle; null for an unknown one.
HWND px_dialogWindow(int32_t handle);

// Closes every dialog still in the table (unload).
void px_closeAllDialogs(PxObjTable *table);

// Longest text a reply carries after its head.
constexpr int kPxReplyTextMax = 7999;
