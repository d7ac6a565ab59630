// The local side of the debugger bridge, shared by termcore's macro runner
// and comscript: a session debugs an interpreter of this process.
#pragma once

struct DbgSession;

// Opens a session for the instance with the interpreter's debug interface;
// null when the debugger library is not available.
DbgSession *DbgLocalOpen(void *instance, void *dbgInterface);
void DbgLocalClose(DbgSession *session);
void DbgLocalSetMode(DbgSession *session, int value);
// Attaches and serves the debugger until it detaches; 3 when the attach fails.
int DbgLocalRun(DbgSession *session, void *data);
void DbgLocalSend(DbgSession *session, void *data);
void DbgLocalSetFlag(DbgSession *session, void *data, bool set);
