// The blocking dialog (requests 67 and 68): while it is shown the user's
// input to every other window of the terminal is dropped; its one button
// asks the server, through a callback, to lift the block.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dispatch.h"

typedef int (*PxLockCallback)(int32_t value);

// Replaces any blocking dialog by a new one; null when it cannot be made.
HWND px_createLockDlg(int32_t value, PxLockCallback callback, int32_t callbackValue);
void px_hideLockDlg();
// Module done: destroys it; while its callback runs, when the callback returns.
void px_destroyLockDlg();
// The message filter's step: true when the message was consumed.
bool px_lockDlgPreTranslate(MSG *msg);
// The current dialog window, null when none.
HWND px_lockDlgWindow();

int px_onShowLockDlg(const PxRequest &req);  // 67
int px_onHideLockDlg(const PxRequest &req);  // 68
