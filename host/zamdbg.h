// The debugger library ZAMDBG.DLL as termcore, comscript and its stand-in see
// it: the debugger's operation table, the target a debugger works on and the
// target table through which it asks the interpreter.
#pragma once

#include <cstdint>

#include "qvscript.h"

// Calling convention of the debugger's table and of the target table.
#define DBGCB __cdecl

struct DbgTarget;
struct DbgTargetTable;

struct DbgUiInterface {
    int(DBGCB *query)(void *handle);                                             // 0
    int(DBGCB *anyLeft)(void);                                                   // 1: 0 = none alive
    void *(DBGCB *create)(DbgTarget *target, const DbgTargetTable *table);       // 2
    void(DBGCB *destroy)(void *handle);                                          // 3
    int(DBGCB *start)(DbgTarget *target, void *handle, QvWord datum);            // 4
    void(DBGCB *send)(DbgTarget *target, void *handle, void *data);              // 5
    void(DBGCB *setFlag)(void *handle, void *data);                              // 6
    void(DBGCB *clearFlag)(void *handle, void *data);                            // 7
    void(DBGCB *setMode)(void *handle, int value);                               // 8
};

extern "C" {
typedef DbgUiInterface *(__stdcall *ZamGetInterfaceFn)(void);
}

// The entries of the target table the debugger calls; each takes the target
// first. Entries not listed here are not offered yet and answer 0.
enum : int { kDbgTargetEntries = 26, kDbgTargetTableVersion = 2 };
enum : int {
    kDbgEntryValues = 2,   // (value, value, value, int32 out[3]) -> result
    kDbgEntryPost3 = 3,    // (value, value)
    kDbgEntryPost4 = 4,    // (value)
    kDbgEntryPost8 = 8,    // (value)
    kDbgEntryPost15 = 15,  // (value)
    kDbgEntryFetch = 17,   // (value, fallback, datum) -> source record or null
    kDbgEntryRead = 18,    // (source, buffer, size) -> bytes read
    kDbgEntrySize = 19,    // (source) -> size
    kDbgEntryClose = 20,   // (source)
    kDbgEntrySignal = 21,  // ()
    kDbgEntryDetach = 22,  // (value) -> value
    kDbgEntryLocal = 23,   // (int32 *out)
    kDbgEntryQuery = 24,   // (value) -> result
    kDbgEntryLevel = 25,   // (int32 *value) -> level
};
struct DbgTargetTable {
    int32_t version;  // kDbgTargetTableVersion
    void *entry[kDbgTargetEntries];
};

typedef QvWord(DBGCB *DbgEntryValuesFn)(DbgTarget *t, int32_t a, int32_t b, int32_t c, int32_t *out);
typedef QvWord(DBGCB *DbgEntryPostFn)(DbgTarget *t, int32_t a, int32_t b);
typedef void(DBGCB *DbgEntrySignalFn)(DbgTarget *t);
typedef QvWord(DBGCB *DbgEntryDetachFn)(DbgTarget *t, int32_t value);
typedef void(DBGCB *DbgEntryLocalFn)(DbgTarget *t, int32_t *out);
typedef QvWord(DBGCB *DbgEntryQueryFn)(DbgTarget *t, int32_t value);
typedef int32_t(DBGCB *DbgEntryLevelFn)(DbgTarget *t, int32_t *value);
struct DbgSource;
// Asked for a local path (260 bytes) when the interpreter has no source; 0:
// none.
typedef int(DBGCB *DbgSourceFallback)(void *datum, char *path);
typedef DbgSource *(DBGCB *DbgEntryFetchFn)(DbgTarget *t, int32_t value, DbgSourceFallback fallback, void *datum);
typedef int32_t(DBGCB *DbgEntryReadFn)(DbgTarget *t, DbgSource *source, void *buffer, int32_t size);
typedef int32_t(DBGCB *DbgEntrySizeFn)(DbgTarget *t, DbgSource *source);
typedef void(DBGCB *DbgEntryCloseFn)(DbgTarget *t, DbgSource *source);

// The interpreter's debug interface record (ZamGetDbgInterface): slot n is a
// function taking words. The slots the local sessions use:
enum : int {
    kZdbValues = 3,     // (instance, object, b, c, int32 out[3]) -> result
    kZdbPost3 = 4,      // (instance, object, b)
    kZdbPost4 = 5,      // (instance, object)
    kZdbPost8 = 9,      // (instance, object)
    kZdbPost15 = 16,    // (instance, object)
    kZdbSource = 18,    // (instance, object) -> source object, 0: none
    kZdbSourceRead = 19,  // (instance, handle, buffer, size) -> bytes
    kZdbSourceSize = 20,  // (instance, handle) -> size
    kZdbSourceClose = 21, // (instance, handle)
    kZdbSignal = 22,    // (session, instance)
    kZdbQuery = 23,     // (instance) -> result
    kZdbLoopEnd = 25,   // (session, instance, 0)
    kZdbObject = 27,    // (instance, number) -> object
    kZdbNumber = 32,    // (instance, object) -> number
    kZdbSourceNumber = 43,  // (instance, source object) -> handle
    kZdbSlots = 44,
};
struct ZamDbgInterface {
    void *slot[kZdbSlots];
};

template <typename... A>
inline QvWord zdb_call(const ZamDbgInterface *d, int slot, A... args) {
    using Fn = QvWord(QVSCB *)(QvAsWord<A>...);
    return reinterpret_cast<Fn>(d->slot[slot])(qv_word(args)...);
}
