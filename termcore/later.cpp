// Requests whose handlers are not built yet answer nothing, and the end of a
// session has nothing of theirs to close. Until the debugger library is
// bound no local debug session opens, as when ZAMDBG.DLL is missing.
#include "dbglocal.h"
#include "handlers.h"

DbgSession *DbgLocalOpen(void *, void *) { return nullptr; }
void DbgLocalClose(DbgSession *) {}
void DbgLocalSetMode(DbgSession *, int) {}
int DbgLocalRun(DbgSession *, void *) { return 3; }
void DbgLocalSend(DbgSession *, void *) {}
void DbgLocalSetFlag(DbgSession *, void *, bool) {}

int tc_dbgOpen(const TcRequest &) { return 0; }
int tc_dbgClose(const TcRequest &) { return 0; }
int tc_dbgStart(const TcRequest &) { return 0; }
int tc_dbgData(const TcRequest &) { return 0; }
int tc_dbgFlag(const TcRequest &) { return 0; }
int tc_editMgr(const TcRequest &) { return 0; }
int tc_editor(const TcRequest &) { return 0; }
void tc_dbgCloseAll() {}
void tc_editorsCloseAll() {}
void tc_editMgrDrop() {}
