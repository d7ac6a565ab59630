// The server's frame requests: 3 (application texts and data file), 7-10 (frames and window levels), 11 and 12
// (window text), 52 (tab selection) and 53-64 (status bars).
#pragma once

#include "dispatch.h"
#include "objtable.h"

int px_onAppTexts(const PxRequest &req);         // 3
int px_onCreateFrame(const PxRequest &req);      // 7
int px_onDestroyFrame(const PxRequest &req);     // 8
int px_onCloseLevel(const PxRequest &req);       // 9
int px_onOpenLevel(const PxRequest &req);        // 10
int px_onSetWndText(const PxRequest &req);       // 11
int px_onGetWndText(const PxRequest &req);       // 12
int px_onSelectTab(const PxRequest &req);        // 52
int px_onStatusText(const PxRequest &req);       // 53
int px_onSaveStatusText(const PxRequest &req);   // 54
int px_onRestoreStatusText(const PxRequest &req);  // 55
int px_onAddPane(const PxRequest &req);          // 56
int px_onRemovePane(const PxRequest &req);       // 57
int px_onSetPane(const PxRequest &req);          // 58
int px_onIgnoredPane(const PxRequest &req);      // 59
int px_onSaveLayout(const PxRequest &req);       // 60
int px_onRestoreLayout(const PxRequest &req);    // 61
int px_onDlgPaneText(const PxRequest &req);      // 62
int px_onDlgPane(const PxRequest &req);          // 63
int px_onRemoveDlgPane(const PxRequest &req);    // 64

// Frees the saved status texts and layouts still in the table (unload).
void px_freeStatusObjects(PxObjTable *table);
