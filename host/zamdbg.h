// The debugger library ZAMDBG.DLL as termcore, comscript and its stand-in see
// it: the debugger's operation table, the target a debugger works on and the
// target table through which it asks the interpreter.
#pragma once

#include <cstddef>
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
static_assert(offsetof(DbgUiInterface, setMode) == 8 * sizeof(void *), "slot 8");

extern "C" {
typedef DbgUiInterface *(__stdcall *ZamGetInterfaceFn)(void);
}

// The entries of the target table the debugger calls; each takes the target
// first. Texts come back NUL-terminated within the sizes the caller gives.
// Entry 23 sets its output to 0.
enum : int { kDbgTargetEntries = 26, kDbgTargetTableVersion = 2 };
enum : int {
    kDbgEntryState = 0,    // (value, int32 out[5], text1, size1, text2, size2) -> result
    kDbgEntryName = 1,     // (value, int32 *out, text, int16 size) -> result
    kDbgEntryValues = 2,   // (value, value, value, int32 out[3]) -> result
    kDbgEntryPost3 = 3,    // (value, value)
    kDbgEntryPost4 = 4,    // (value)
    kDbgEntryItems = 5,    // (value, int16 count, const int32 pairs[2 count], DbgItem out[count]) -> items set
    kDbgEntryPostItems = 6,  // (value, int16 count, const int32 pairs[2 count])
    kDbgEntryFind = 7,     // (value, name, int32 *out) -> result
    kDbgEntryPost8 = 8,    // (value)
    kDbgEntryTexts2 = 9,   // (value, value, int32 *out, text1, size1, text2, size2) -> result
    kDbgEntryCheck26 = 10, // (value, value, text) -> true when accepted
    kDbgEntryTexts3 = 11,  // 11 to 14: (value, int32 out[2], three texts and sizes) -> result
    kDbgEntryPost15 = 15,  // (value)
    kDbgEntryCheck14 = 16, // (value, value, text) -> true when accepted
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
struct DbgItem {
    int32_t first, second;
    int16_t third, fourth;
};
static_assert(sizeof(DbgItem) == 12 && offsetof(DbgItem, third) == 8 && offsetof(DbgItem, fourth) == 10,
              "a reply item of entry 5");
typedef QvWord(DBGCB *DbgEntryStateFn)(DbgTarget *t, int32_t value, int32_t *out, char *text1, int32_t size1,
                                        char *text2, int32_t size2);
typedef QvWord(DBGCB *DbgEntryNameFn)(DbgTarget *t, int32_t value, int32_t *out, char *text, int16_t size);
typedef QvWord(DBGCB *DbgEntryItemsFn)(DbgTarget *t, int32_t value, int16_t count, const int32_t *pairs, DbgItem *out);
typedef QvWord(DBGCB *DbgEntryFindFn)(DbgTarget *t, int32_t value, const char *name, int32_t *out);
typedef QvWord(DBGCB *DbgEntryTexts2Fn)(DbgTarget *t, int32_t a, int32_t b, int32_t *out, char *text1, int32_t size1,
                                         char *text2, int32_t size2);
typedef QvWord(DBGCB *DbgEntryCheckFn)(DbgTarget *t, int32_t a, int32_t b, const char *text);
typedef QvWord(DBGCB *DbgEntryTexts3Fn)(DbgTarget *t, int32_t value, int32_t *out, char *text1, int32_t size1,
                                         char *text2, int32_t size2, char *text3, int32_t size3);
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
    kZdbState = 1,      // (instance, object, QvWord out[5], text1, size1, text2, size2) -> result
    kZdbName = 2,       // (instance, object, QvWord *out, text, size) -> result
    kZdbItems = 6,      // (instance, object, count, pairs, DbgItem *out) -> 0
    kZdbPostItems = 7,  // (instance, object, count, pairs)
    kZdbFind = 8,       // (instance, object, name, QvWord *out) -> result
    kZdbTexts2 = 10,    // (instance, object, b, QvWord *out, text1, size1, text2, size2) -> result
    kZdbCheck26 = 11,   // (instance, object, b, text) -> answer
    // 12 to 15 for operations 10 to 13, one slot each; their two outputs are
    // turned into numbers by 37 and 38.
    kZdbTexts3 = 12,    // (instance, object, op, QvWord out[2], texts) -> result
    // Operation 14 names slots 40 and 17, 40 first. Slot 27 turns the
    // request's value into an object in every handler, so 40 is no second
    // conversion of that number: it takes 27's object and gives the one 17
    // works on; 17 then takes it, the second value and the text, as 11 does
    // for operation 26 with the same request.
    kZdbCheck14Object = 40,  // (instance, object) -> object, for operation 14
    kZdbCheck14 = 17,   // (instance, object from 40, b, text) -> answer
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
    // Further object -> number conversions of the outputs.
    kZdbNumber28 = 28, kZdbNumber30 = 30, kZdbNumber34 = 34, kZdbNumber36 = 36, kZdbNumber37 = 37,
    kZdbNumber38 = 38, kZdbNumber39 = 39,
    kZdbSlots = 44,
};
// Operations 10 to 13: the interpreter's description names slots 12, 13,
// 14, 15, 37, 38 and 41 for them. Read here as one operation slot each (12 to
// 15) and the conversions 37 and 38 of its two outputs; slot 41 is not called.
// The reply (the result, two outputs, three texts) leaves nothing for a third
// conversion, and nothing says what 41 takes: a slot called with guessed
// arguments could fault inside the interpreter. The reply is 12 bytes and
// the three texts with their terminators, as the sending entry reads it from
// +12, where the description counts 13 and the text lengths.
struct ZamDbgInterface {
    void *slot[kZdbSlots];
};

// The records as the 32-bit library reads them: the table a word 2 and 26
// entries, the debugger's table nine slots.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DbgUiInterface) == 36 && offsetof(DbgUiInterface, start) == 16, "debugger table on i686");
static_assert(sizeof(DbgTargetTable) == 108 && offsetof(DbgTargetTable, entry) == 4, "target table on i686");
static_assert(sizeof(ZamDbgInterface) == 4 * kZdbSlots, "debug interface on i686");
#endif

template <typename... A>
inline QvWord zdb_call(const ZamDbgInterface *d, int slot, A... args) {
    using Fn = QvWord(QVSCB *)(QvAsWord<A>...);
    return reinterpret_cast<Fn>(d->slot[slot])(qv_word(args)...);
}
