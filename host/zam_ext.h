// The terminal host as message-style modules see it: the terminal callback
// table ZamExtCallBacks, the terminal service object TAppObj with its
// operation table AppIntf, and the PxEvent record. Included by the modules
// and by the stand-in host of the tests alike.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
// Native builds (the record tests and fuzz targets) see the tables only.
struct MSG;
#define __cdecl
#define __stdcall
#endif

// Calling convention of every host table slot and of every callback handed
// to the host. One line to change if a host ever needs another.
#define ZAMCB __cdecl

struct TAppObj;

// 24-byte event record: code, shift state, p1..p4.
struct PxEvent {
    int32_t code;
    int32_t shift;
    int32_t p1;
    int32_t p2;
    int32_t p3;
    int32_t p4;
};
static_assert(sizeof(PxEvent) == 24, "PxEvent is six 32-bit integers");

typedef int(ZAMCB *PxFilterProc)(MSG *msg);  // non-zero: message consumed
typedef void(ZAMCB *PxIdleProc)(void);

// Operation table of the terminal service object; slot n at n * sizeof(void*).
struct AppIntf {
    int(ZAMCB *version)(TAppObj *self);                                          // 0
    char *(ZAMCB *getSendBuff)(TAppObj *self, int size, const char *table, int code);  // 1
    int(ZAMCB *sendMessage)(TAppObj *self, char *buff);                          // 2
    char *(ZAMCB *transactMessage)(TAppObj *self, char *buff, int *size);        // 3
    int(ZAMCB *addFilterProc)(TAppObj *self, PxFilterProc filter, int zero);     // 4
    int(ZAMCB *remFilterProc)(TAppObj *self, PxFilterProc filter);               // 5
    int(ZAMCB *addIdleProc)(TAppObj *self, PxIdleProc proc, int zero);           // 6
    int(ZAMCB *remIdleProc)(TAppObj *self, PxIdleProc proc);                     // 7
    int(ZAMCB *getEvent)(TAppObj *self, PxEvent *out, int wait);                 // 8
    int(ZAMCB *addEvent)(TAppObj *self, const PxEvent *ev, int mode);            // 9
    int(ZAMCB *stopSession)(TAppObj *self, unsigned char flag);                  // 10
    void *reserved11;
    void *reserved12;
    char *(ZAMCB *getReplyBuff)(TAppObj *self, int size);                        // 13
    void *reserved14_34[21];
    void(ZAMCB *FlushInput)(TAppObj *self);                                      // 35
    void *reserved36_39[4];
    void *(ZAMCB *GetHostApp)(TAppObj *self);                                    // 40
};
static_assert(offsetof(AppIntf, getReplyBuff) == 13 * sizeof(void *), "slot 13");
static_assert(offsetof(AppIntf, FlushInput) == 35 * sizeof(void *), "slot 35");
static_assert(offsetof(AppIntf, GetHostApp) == 40 * sizeof(void *), "slot 40");

// The service object is one pointer to its table.
struct TAppObj {
    const AppIntf *fn;
};

// Host versions from which the newer AppIntf slots exist.
enum : int { kAppIntfGetHostAppVersion = 12, kAppIntfFlushInputVersion = 12 };

typedef int(ZAMCB *ZamIniCallback)(const char *key, const char *value, void *context);

// Terminal callback table; slot n at index n. Texts are NUL-terminated, OEM.
struct ZamExtCallBacks {
    void *slot0;
    int(ZAMCB *CompareNames)(const char *a, const char *b);                                   // 1
    void *slot2_7[6];
    int(ZAMCB *ComposePath)(char *out, const char *name, const char *dir, int zero);           // 8
    int(ZAMCB *FindFilePath)(char *out, const char *name, const char *dir, int zero, int flag); // 9
    void *slot10;
    int(ZAMCB *SplitPath)(const char *path, char *dir, char *name, int zero);                  // 11
    int(ZAMCB *MakePath)(char *out, const char *dir, const char *name, const char *ext);       // 12
    void *slot13;
    int(ZAMCB *ReadIniFile)(const char *file, ZamIniCallback cb, void *context);               // 14
    intptr_t(ZAMCB *RedirectOutput)(intptr_t w1, intptr_t w2, intptr_t w3, intptr_t w4, int n); // 15
    int(ZAMCB *ShowMessage)(const char **lines, int count);                                    // 16
    void *slot17;
    int(ZAMCB *SendChannel)(const void *request, int length, const char *channel, int op);     // 18
    int(ZAMCB *TransactChannel)(const void *request, int length, const char *channel, int op,
                                void *reply, int replySize, unsigned *replyLength, int wait);  // 19
    void *slot20_25[6];
    int(ZAMCB *GetMaxBlockSize)(void);                                                        // 26
    void *slot27_63[37];
};
static_assert(offsetof(ZamExtCallBacks, ReadIniFile) == 14 * sizeof(void *), "slot 14");
static_assert(offsetof(ZamExtCallBacks, TransactChannel) == 19 * sizeof(void *), "slot 19");
static_assert(offsetof(ZamExtCallBacks, GetMaxBlockSize) == 26 * sizeof(void *), "slot 26");
enum : int { kZamExtSlots = 64 };
static_assert(sizeof(ZamExtCallBacks) == kZamExtSlots * sizeof(void *), "64 slots");

// The tables and records as the 32-bit terminal lays them out. The tables
// grow with the host's version, so only their slots are fixed.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PxEvent) == 24 && offsetof(PxEvent, shift) == 4 && offsetof(PxEvent, p1) == 8 &&
                  offsetof(PxEvent, p2) == 12 && offsetof(PxEvent, p3) == 16 && offsetof(PxEvent, p4) == 20,
              "event record: six words");
static_assert(sizeof(TAppObj) == 4 && offsetof(TAppObj, fn) == 0, "service object: one pointer to its table");
static_assert(offsetof(AppIntf, version) == 0 && offsetof(AppIntf, getSendBuff) == 4 &&
                  offsetof(AppIntf, sendMessage) == 8 && offsetof(AppIntf, transactMessage) == 12 &&
                  offsetof(AppIntf, addFilterProc) == 16 && offsetof(AppIntf, remFilterProc) == 20 &&
                  offsetof(AppIntf, addIdleProc) == 24 && offsetof(AppIntf, remIdleProc) == 28 &&
                  offsetof(AppIntf, getEvent) == 32 && offsetof(AppIntf, addEvent) == 36 &&
                  offsetof(AppIntf, stopSession) == 40 && offsetof(AppIntf, getReplyBuff) == 13 * 4 &&
                  offsetof(AppIntf, FlushInput) == 35 * 4 && offsetof(AppIntf, GetHostApp) == 40 * 4,
              "service operations: slot n at n * 4");
static_assert(offsetof(ZamExtCallBacks, CompareNames) == 1 * 4 && offsetof(ZamExtCallBacks, ComposePath) == 8 * 4 &&
                  offsetof(ZamExtCallBacks, FindFilePath) == 9 * 4 && offsetof(ZamExtCallBacks, SplitPath) == 11 * 4 &&
                  offsetof(ZamExtCallBacks, MakePath) == 12 * 4 && offsetof(ZamExtCallBacks, ReadIniFile) == 14 * 4 &&
                  offsetof(ZamExtCallBacks, RedirectOutput) == 15 * 4 &&
                  offsetof(ZamExtCallBacks, ShowMessage) == 16 * 4 &&
                  offsetof(ZamExtCallBacks, SendChannel) == 18 * 4 &&
                  offsetof(ZamExtCallBacks, TransactChannel) == 19 * 4 &&
                  offsetof(ZamExtCallBacks, GetMaxBlockSize) == 26 * 4,
              "terminal callbacks: slot n at n * 4");
#endif

// Paths the host helpers write are at most this long, terminator included.
enum : int { kHostPathMax = 260 };

// What ZamSetCallBacks answers in the modules that take this table and the
// service object (formkit, termcore, comscript, comgate).
enum : int { kZamExtInterfaceVersion = 309 };

// Life-cycle codes of ZamExtMessageProc.
enum : int {
    kMsgHostVersion = -4,
    kMsgUnload = -2,
    kMsgLoad = -1,
};
// Object-model codes: their record holds pointer-sized fields that the host
// reads back (comscript, comgate).
enum : int {
    kMsgUnloadQuery = -5,
    kMsgCreate = -8,
    kMsgClassInfo = -12,
    kMsgDropLocks = -13,
};
// Byte offset of the 16-bit terminal build number in the -4 record.
enum : int { kHostVersionOffset = 18 };

// Export signatures as the host calls them.
extern "C" {
typedef int(__stdcall *ZamSetCallBacksFn)(void *table);
typedef TAppObj *(__cdecl *ZamExtSetupProcFn)(TAppObj *object);
typedef int(__cdecl *ZamExtMessageProcFn)(unsigned code, const void *request, void *reply);
}
