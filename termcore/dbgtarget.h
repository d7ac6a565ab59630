// What the local and remote sides of the debugger bridge share: the target a
// debugger works on, the debugger library and the target table.
#pragma once

#include <cstdint>
#include <string>

#include "zam_ext.h"
#include "zamdbg.h"

struct DbgSession;

// The host's channel of a remote session and the protocol version it speaks.
struct DbgChannelHost {
    ZamExtCallBacks *ext = nullptr;
    uint16_t (*version)() = nullptr;
};

// The remote flag comes first: the debugger library tells the two kinds
// apart by it.
struct DbgTarget {
    uint8_t remote = 0;
    volatile uint8_t active = 0;
    void *handle = nullptr;     // the debugger's
    DbgSession *owner = nullptr;  // local only
    DWORD thread = 0;           // local: the interpreter's, recorded by the attach
    // Remote only.
    int32_t serverHandle = 0;   // the owner word of its requests
    int32_t id = 0;             // the session id the server names it by
    std::string cacheDir, sourceDir;
    DbgChannelHost host;
};

// Loads ZAMDBG.DLL once; false when it or its entry is missing.
bool dbg_loadLibrary();
// Frees the library when no debugger is left alive in it.
void dbg_releaseLibrary();
DbgUiInterface *dbg_ui();
const DbgTargetTable *dbg_targetTable();
// Called when the library goes: session ids count from 1 again.
void dbg_remoteForget();
