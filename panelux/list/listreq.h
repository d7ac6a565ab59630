// The server's list requests: 34 and 35 open a list dialog, 36-45 and 69
// drive its rows, columns and column layout.
#pragma once

#include "dispatch.h"

int px_onOpenList(const PxRequest &req);        // 34
int px_onOpenListEx(const PxRequest &req);      // 35
int px_onShiftListRows(const PxRequest &req);   // 36
int px_onResetListRow(const PxRequest &req);    // 37
int px_onShowListColumn(const PxRequest &req);  // 38
int px_onRelayoutList(const PxRequest &req);    // 39
int px_onSaveListLayout(const PxRequest &req);  // 40
int px_onListColumnWidth(const PxRequest &req); // 41
int px_onListHeaders(const PxRequest &req);     // 42
int px_onListColumnAttr(const PxRequest &req);  // 43
int px_onGetListLayout(const PxRequest &req);   // 44
int px_onListSysCommand(const PxRequest &req);  // 45
int px_onResetListLayout(const PxRequest &req); // 69
