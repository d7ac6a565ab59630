// Requests whose handlers are not built yet answer nothing, and the end of a
// session has nothing of theirs to close.
#include "handlers.h"

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
