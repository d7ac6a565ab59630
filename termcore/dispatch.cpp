#include "dispatch.h"

#include <ctime>

#include "handlers.h"
#include "module.h"
#include "zam_ext.h"

namespace {

struct HandlerRow {
    int code;
    int (*handler)(const TcRequest &req);
    bool needsSettings;
};

const HandlerRow kHandlers[] = {
    {0, tc_runMacro, true},       {1, tc_runMacroEx, true},    {10, tc_dbgOpen, true},
    {11, tc_dbgClose, true},      {12, tc_dbgStart, true},     {13, tc_dbgData, true},
    {14, tc_dbgFlag, true},       {50, tc_help, true},         {51, tc_helpEx, true},
    {100, tc_fileRecv, true},     {101, tc_fileSend, true},    {102, tc_dirList, true},
    {103, tc_fileCopy, true},     {104, tc_fileRename, false}, {105, tc_dirOp, true},
    {106, tc_getCwd, false},      {107, tc_fileStat, true},    {108, tc_filePut2, false},
    {200, tc_process, true},      {201, tc_editMgr, true},     {202, tc_editor, true},
    {204, tc_clipSet, false},     {205, tc_clipGet, false},    {206, tc_localeInfo, false},
    {207, tc_langIds, false},
};

const HandlerRow *rowFor(int code) {
    for (const HandlerRow &row : kHandlers)
        if (row.code == code) return &row;
    return nullptr;
}

int onProtocol(const void *request) {
    WireReader r(request, kTcLegacyArea);
    r.seek(kHostVersionOffset);
    uint16_t version = r.u16();
    if (r.ok()) tc_module().protocol = version;
    return 0;
}

int onStart() {
    _tzset();
    return 0;
}

int onEnd(bool flag) {
    tc_closeTransfers();
    tc_closeDirList();
    if (flag) {
        tc_dbgCloseAll();
        tc_editorsCloseAll();
        tc_editMgrDrop();
        tc_processTableEmpty();
    } else {
        tc_macroUnload();
        tc_helpQuit();
    }
    tc_removeHostProcs();
    return 0;
}

}  // namespace

int tc_dispatch(int code, const void *request, void *reply) {
    if (code < kTcFirstCode || code > kTcLastCode) return 0;
    switch (code) {
    case kMsgHostVersion: return onProtocol(request);
    case kMsgLoad: return onStart();
    case kMsgUnload: return onEnd(request != nullptr);
    default: break;
    }
    const HandlerRow *row = rowFor(code);
    if (!row || !request) return 0;
    if (row->needsSettings) tc_loadSettings();
    size_t area = tc_blockArea();
    TcRequest req{static_cast<const unsigned char *>(request), area,
                  static_cast<unsigned char *>(reply), reply ? area : 0};
    return row->handler(req);
}
