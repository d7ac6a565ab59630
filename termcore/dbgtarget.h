// What the local and remote sides of the debugger bridge share: the target a
// debugger works on, the debugger library and the target table.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "zam_ext.h"
#include "zamdbg.h"

// The host's channel of remote sessions and the protocol version it speaks.
struct DbgChannelHost {
    ZamExtCallBacks *ext = nullptr;
    uint16_t (*version)() = nullptr;
};

// The target record ZAMDBG.DLL receives with every call: packed, the remote
// flag first (the library tells the two kinds apart by it). 22 bytes of it
// serve a local target, all 26 a remote one (i686).
#pragma pack(push, 1)
struct DbgTarget {
    uint8_t remote;              // 1 remote, 0 local
    volatile uint8_t active;
    void *handle;                // the debugger's, from create
    QvWord owner;                // local: the DbgSession; remote: the server's handle
    void *link;                  // the session list's link; our list keeps its own
    int32_t id;                  // remote: the session id the server names it by
    union {
        DWORD thread;            // local: the interpreter's, recorded by the attach
        const char *cacheDir;    // remote
    };
    const char *sourceDir;       // remote only
};
#pragma pack(pop)

// Offsets at the build's pointer size; the win32 build checks the i686
// numbers the library reads.
constexpr size_t kDbgPtr = sizeof(void *);
static_assert(offsetof(DbgTarget, active) == 1 && offsetof(DbgTarget, handle) == 2 &&
                  offsetof(DbgTarget, owner) == 2 + kDbgPtr && offsetof(DbgTarget, link) == 2 + 2 * kDbgPtr &&
                  offsetof(DbgTarget, id) == 2 + 3 * kDbgPtr && offsetof(DbgTarget, thread) == 6 + 3 * kDbgPtr &&
                  offsetof(DbgTarget, sourceDir) == 6 + 4 * kDbgPtr && sizeof(DbgTarget) == 6 + 5 * kDbgPtr,
              "target layout");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(DbgTarget, handle) == 2 && offsetof(DbgTarget, owner) == 6 && offsetof(DbgTarget, link) == 10 &&
                  offsetof(DbgTarget, id) == 14 && offsetof(DbgTarget, thread) == 18 &&
                  offsetof(DbgTarget, cacheDir) == 18 && offsetof(DbgTarget, sourceDir) == 22,
              "target offsets on i686");
static_assert(sizeof(DbgTarget) == 26 && offsetof(DbgTarget, sourceDir) == 22, "26 bytes remote, 22 local");
#endif

// Loads ZAMDBG.DLL once; false when it or its entry is missing.
bool dbg_loadLibrary();
// Frees the library when no debugger is left alive in it.
void dbg_releaseLibrary();
DbgUiInterface *dbg_ui();
const DbgTargetTable *dbg_targetTable();
// The channel remote targets ask on; set before the first remote session.
void dbg_setChannelHost(const DbgChannelHost &host);
// Called when the library goes: session ids count from 1 again.
void dbg_remoteForget();
