// termcore's requests by code; every code without a row answers 0.

#include <ctime>

#include "handlers.h"
#include "module.h"

namespace {

// Row mark: the handler needs termcore.ini read first.
constexpr unsigned kNeedsSettings = 1;

int onStart(const TcRequest &) {
    _tzset();
    return 0;
}

int onEnd(const TcRequest &req) {
    tc_closeTransfers();
    tc_closeDirList();
    if (req.flag) {
        tc_dbgCloseAll();
        tc_editorsCloseAll();
        tc_editMgrDrop();
        tc_processTableEmpty();
        tc_removeHostProcs();
    } else {
        // Open editors and a live edit-manager connection keep their filter
        // and idle procedures: they still run after this session ends.
        tc_macroUnload();
        tc_helpQuit();
    }
    return 0;
}

// The entry layer keeps the protocol version of -4 itself.
int onProtocol(const TcRequest &) { return 0; }

const ZamHandlerRow kRows[] = {
    {kMsgHostVersion, onProtocol, 0},
    {kMsgUnload, onEnd, 0},
    {kMsgLoad, onStart, 0},
    {0, tc_runMacro, kNeedsSettings},
    {1, tc_runMacroEx, kNeedsSettings},
    {10, tc_dbgOpen, kNeedsSettings},
    {11, tc_dbgClose, kNeedsSettings},
    {12, tc_dbgStart, kNeedsSettings},
    {13, tc_dbgData, kNeedsSettings},
    {14, tc_dbgFlag, kNeedsSettings},
    {50, tc_help, kNeedsSettings},
    {51, tc_helpEx, kNeedsSettings},
    {100, tc_fileRecv, kNeedsSettings},
    {101, tc_fileSend, kNeedsSettings},
    {102, tc_dirList, kNeedsSettings},
    {103, tc_fileCopy, kNeedsSettings},
    {104, tc_fileRename, 0},
    {105, tc_dirOp, kNeedsSettings},
    {106, tc_getCwd, 0},
    {107, tc_fileStat, kNeedsSettings},
    {108, tc_filePut2, 0},
    {200, tc_process, kNeedsSettings},
    {201, tc_editMgr, kNeedsSettings},
    {202, tc_editor, kNeedsSettings},
    {204, tc_clipSet, 0},
    {205, tc_clipGet, 0},
    {206, tc_localeInfo, 0},
    {207, tc_langIds, 0},
};

void prepare(const ZamHandlerRow &row) {
    if (row.flags & kNeedsSettings) tc_loadSettings();
}

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], kTcLargestReply, prepare, true};
