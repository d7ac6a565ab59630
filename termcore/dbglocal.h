// The local side of the debugger bridge, shared by termcore's macro runner
// and comscript: a session debugs an interpreter of this process.
#pragma once

#include <cstddef>

struct DbgSession;

// The receiving side: runs one request against the interpreter of the
// session its owner word names and answers the reply length. The plain
// handler writes into reply (size bytes); the allocating one takes reply as
// a DbgReplyObject and asks it for the buffer first.
typedef size_t (*DbgHandler)(int op, const unsigned char *request, size_t length, void *reply, size_t size);
struct DbgReplyObject {
    virtual unsigned char *buffer(size_t size) = 0;

protected:
    ~DbgReplyObject() = default;
};
enum : int { kDbgHandlerPlain = 0, kDbgHandlerAlloc = 1 };
// The buffer the allocating handler asks for.
constexpr size_t kDbgAllocReply = 8192;
DbgHandler DbgGetHandler(int mode);

// Opens a session for the instance with the interpreter's debug interface;
// null when the debugger library is not available.
DbgSession *DbgLocalOpen(void *instance, void *dbgInterface);
void DbgLocalClose(DbgSession *session);
void DbgLocalSetMode(DbgSession *session, int value);
// Attaches and serves the debugger until it detaches; 3 when the attach fails.
int DbgLocalRun(DbgSession *session, void *data);
void DbgLocalSend(DbgSession *session, void *data);
void DbgLocalSetFlag(DbgSession *session, void *data, bool set);
