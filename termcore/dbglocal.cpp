// The local debugger sessions of termcore's macro runs and comscript's
// instances. Until the debugger library is bound no session opens, as when
// ZAMDBG.DLL is missing: an attach answers 3 and the rest does nothing.
#include "dbglocal.h"

DbgSession *DbgLocalOpen(void *, void *) { return nullptr; }
void DbgLocalClose(DbgSession *) {}
void DbgLocalSetMode(DbgSession *, int) {}
int DbgLocalRun(DbgSession *, void *) { return 3; }
void DbgLocalSend(DbgSession *, void *) {}
void DbgLocalSetFlag(DbgSession *, void *, bool) {}
