// The requests formkit serves, by code; codes without a row answer nothing.
#include "dispatch.h"

#include "celledit.h"
#include "connect.h"
#include "dialogreq.h"
#include "events.h"
#include "framereq.h"
#include "listreq.h"
#include "menus.h"
#include "lockdlg.h"
#include "popup.h"
#include "module.h"
#include "tabdlg.h"

namespace {

// A repeated -1 starts from an empty table: what the old one named goes.
int onLoad(const PxRequest &) {
    PxModule &m = px_module();
    px_freeStatusObjects(&m.objects);
    px_closeAllDialogs(&m.objects);
    px_freeMenus();
    objtab_create(&m.objects);
    m.loaded = true;
    return 0;
}

int onUnload(const PxRequest &) {
    PxModule &m = px_module();
    px_freeStatusObjects(&m.objects);
    px_closeAllDialogs(&m.objects);
    px_freeMenus();
    objtab_free(&m.objects);
    px_endAllClients();
    m.loaded = false;
    return 0;
}

int dispatchEntry(int code, const PxRequest &req) { return zam_dispatch(zam_moduleTable, code, req); }

int onBatch(const PxRequest &req) { return px_runBatch(req, dispatchEntry); }

const ZamHandlerRow kRows[] = {
    {kMsgLoad, onLoad, 0},
    {kMsgUnload, onUnload, 0},
    {1, px_onOpenClient, 0},
    {2, px_onCloseClient, 0},
    {3, px_onAppTexts, 0},
    {4, px_onEventMode, 0},
    {5, px_onReadEvent, 0},
    {6, px_onQueueEvent, 0},
    {7, px_onCreateFrame, 0},
    {8, px_onDestroyFrame, 0},
    {9, px_onCloseLevel, 0},
    {10, px_onOpenLevel, 0},
    {11, px_onSetWndText, 0},
    {12, px_onGetWndText, 0},
    {13, px_onPopupMessage, 0},
    {14, px_onPopupFieldTip, 0},
    {15, px_onPopupInput, 0},
    {16, px_onCreateMenu, 0},
    {17, px_onAddMenuItems, 0},
    {18, px_onDestroyMenu, 0},
    {19, px_onEnableMenuItem, 0},
    {20, px_onDeleteMenuItem, 0},
    {21, px_onInsertMenuItems, 0},
    {22, px_onTrackMenu, 0},
    {23, px_onOpenDialog, 0},
    {24, px_onUpdateFields, 0},
    {25, px_onSetTexts, 0},
    {26, px_onRunDialog, 0},
    {27, px_onUpdateField, 0},
    {28, px_onListFocus, 0},
    {29, px_onCloseDialog, 0},
    {30, px_onPanelWindow, 0},
    {31, px_onModuleOptions, 0},
    {32, px_onFieldText, 0},
    {33, px_onScrollSettings, 0},
    {34, px_onOpenList, 0},
    {35, px_onOpenListEx, 0},
    {36, px_onShiftListRows, 0},
    {37, px_onResetListRow, 0},
    {38, px_onShowListColumn, 0},
    {39, px_onRelayoutList, 0},
    {40, px_onSaveListLayout, 0},
    {41, px_onListColumnWidth, 0},
    {42, px_onListHeaders, 0},
    {43, px_onListColumnAttr, 0},
    {44, px_onGetListLayout, 0},
    {45, px_onListSysCommand, 0},
    {46, px_onOpenEditorDialog, 0},
    {47, px_onSetEditorCaret, 0},
    {48, px_onPutEditorText, 0},
    {49, px_onFlushEditor, 0},
    {50, px_onEditorOverwrite, 0},
    {51, px_onOpenTabDialog, 0},
    {52, px_onSelectTab, 0},
    {53, px_onStatusText, 0},
    {54, px_onSaveStatusText, 0},
    {55, px_onRestoreStatusText, 0},
    {56, px_onAddPane, 0},
    {57, px_onRemovePane, 0},
    {58, px_onSetPane, 0},
    {59, px_onIgnoredPane, 0},
    {60, px_onSaveLayout, 0},
    {61, px_onRestoreLayout, 0},
    {62, px_onDlgPaneText, 0},
    {63, px_onDlgPane, 0},
    {64, px_onRemoveDlgPane, 0},
    {65, px_onShowWaitBox, 0},
    {66, px_onCloseWaitBox, 0},
    {67, px_onShowLockDlg, 0},
    {68, px_onHideLockDlg, 0},
    {69, px_onResetListLayout, 0},
    {kPxBatchCode, onBatch, 0},
};

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], kPxReplyCapacity, nullptr, true};
