// The request handlers of termcore, by request code. Each takes the request
// and answers the number of reply bytes written.
#pragma once

#include "request.h"

// Help (50, 51).
int tc_help(const TcRequest &req);
int tc_helpEx(const TcRequest &req);
void tc_helpQuit();

// Files (100 to 108).
int tc_fileRecv(const TcRequest &req);
int tc_fileSend(const TcRequest &req);
int tc_dirList(const TcRequest &req);
int tc_fileCopy(const TcRequest &req);
int tc_fileRename(const TcRequest &req);
int tc_dirOp(const TcRequest &req);
int tc_getCwd(const TcRequest &req);
int tc_fileStat(const TcRequest &req);
int tc_filePut2(const TcRequest &req);
// Ends a receive (what was received goes, the target stays), closes the send
// file and the directory search.
void tc_closeTransfers();
void tc_closeDirList();

// Processes (200).
int tc_process(const TcRequest &req);
void tc_processTableEmpty();

// Clipboard (204, 205) and locale (206, 207).
int tc_clipSet(const TcRequest &req);
int tc_clipGet(const TcRequest &req);
int tc_localeInfo(const TcRequest &req);
int tc_langIds(const TcRequest &req);

// Macros (0, 1), debugger (10 to 14), edit manager (201) and source editor
// (202), with what the end of a session asks of them.
int tc_runMacro(const TcRequest &req);
int tc_runMacroEx(const TcRequest &req);
int tc_dbgOpen(const TcRequest &req);
int tc_dbgClose(const TcRequest &req);
int tc_dbgStart(const TcRequest &req);
int tc_dbgData(const TcRequest &req);
int tc_dbgFlag(const TcRequest &req);
int tc_editMgr(const TcRequest &req);
int tc_editor(const TcRequest &req);
void tc_macroUnload();
void tc_dbgCloseAll();
void tc_editorsCloseAll();
void tc_editMgrDrop();
