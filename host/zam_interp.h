// The ZAM interpreter as registration modules see it: the module callback
// table ZamCallBacks, the script value record VALUE and the host's date and
// time records. Included by the modules, the SDK and the stand-in
// interpreter of the tests alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zam_dates.h"
// ZAMCB: the one calling convention of every host table and of every
// callback handed to the host.
#include "zam_ext.h"

#pragma pack(push, 1)

struct VALUE {
    uint8_t v_type;
    union {
        int32_t intval;
        double doubval;
        unsigned char doubvalL[10];
        int64_t monval;  // fixed point, 4 decimals
        int64_t monvalL;
        unsigned char decimal[10];
        char *string;
        uint8_t boolval;
        bdate date;
        btime time;
        void *iref;
        void *fref;
        void *sinst;
        void *sref;
        void *ainst;
        void *aref;
        void *tinst;
        void *tref;
        void *dinst;
        void *dref;
        void *obj;
        void *proc;
        void *addr;
        ZamDtTm dttm;
        void *r2m;
        void *extMap;
        unsigned char doub10[10];
    } value;
};

#pragma pack(pop)

static_assert(sizeof(VALUE) == 11, "VALUE is 11 packed bytes on both targets");
static_assert(offsetof(VALUE, value) == 1, "the value follows the type byte");

// Type codes of VALUE::v_type used by the modules.
enum : unsigned char {
    V_UNDEF = 0,
    V_INTEGER = 1,
    V_MONEY = 2,
    V_DOUBLE = 3,
    V_MONEYL = 4,
    V_DOUBLEL = 5,
    V_STRING = 6,
    V_BOOL = 7,
    V_DATE = 9,
    V_TIME = 10,
    V_OBJECT = 19,
    V_DTTM = 23,
};

// Result kinds of AddStdProc.
enum : unsigned char {
    kZamProcString = 6,
    kZamProcBool = 7,
};

// A script function registered with AddStdProc; it reads its arguments with
// GetParm and sets its result with ReturnVal.
typedef int(ZAMCB *ZamProc)(void);
// Handle of a named global made by AddStdVar.
typedef void *ZamSymbol;

// Data of SetParm, ReturnVal, SetStdVar and ValueSet: for V_STRING the text
// itself, for every other type a pointer to the value. The host copies it.
struct ZamCallBacks {
    void *slot0_2[3];
    bool(ZAMCB *GetParm)(int n, VALUE **out);                                 // 3
    int(ZAMCB *SetParm)(int n, unsigned char type, const void *data);         // 4
    void *slot5;
    int(ZAMCB *ReturnVal)(unsigned char type, const void *data);              // 6
    ZamSymbol(ZAMCB *AddStdVar)(unsigned char type, const char *name);        // 7
    ZamSymbol(ZAMCB *FindStdSymbol)(const char *name, int zero);              // 8
    int(ZAMCB *SetStdVar)(ZamSymbol var, unsigned char type, const void *data);  // 9
    void *slot10;
    int(ZAMCB *AddStdProc)(unsigned char kind, const char *name, ZamProc fn, int zero);  // 11
    void(ZAMCB *ReportRunError)(const char *message);                         // 12
    void *slot13_80[68];
    void(ZAMCB *ValueClear)(VALUE *v);                                        // 81
    void *slot82_84[3];
    int(ZAMCB *ValueSet)(VALUE *v, unsigned char type, const void *data);     // 85
    void *slot86_151[66];
    unsigned(ZAMCB *GetHostVersion)(void);                                    // 152
    void *slot153_155[3];
    VALUE *(ZAMCB *GetArrayElem)(void *array, int index);                     // 156
    void *slot157_158[2];
    void *(ZAMCB *AllocMem)(size_t size);                                     // 159
    void *(ZAMCB *AllocMemChecked)(size_t size);                              // 160
    void(ZAMCB *FreeMem)(void *block);                                        // 161
    void *slot162_163[2];
    int(ZAMCB *InvokeMember)(void *object, int id, int kind, int zero1, int zero2, VALUE *arg);  // 164
    int(ZAMCB *FindMember)(void *object, const char *name, int *id);          // 165
    void *slot166_171[6];
    int(ZAMCB *GetHostOption)(int option, int zero);                          // 172
    void *slot173_175[3];
    void *(ZAMCB *GetArrayObj)(void *object);                                 // 176
    void *slot177_222[46];
};

enum : int { kZamSlots = 223 };
static_assert(sizeof(ZamCallBacks) == kZamSlots * sizeof(void *), "223 slots");
static_assert(offsetof(ZamCallBacks, GetParm) == 3 * sizeof(void *), "slot 3");
static_assert(offsetof(ZamCallBacks, ReportRunError) == 12 * sizeof(void *), "slot 12");
static_assert(offsetof(ZamCallBacks, ValueClear) == 81 * sizeof(void *), "slot 81");
static_assert(offsetof(ZamCallBacks, ValueSet) == 85 * sizeof(void *), "slot 85");
static_assert(offsetof(ZamCallBacks, GetHostVersion) == 152 * sizeof(void *), "slot 152");
static_assert(offsetof(ZamCallBacks, GetArrayElem) == 156 * sizeof(void *), "slot 156");
static_assert(offsetof(ZamCallBacks, AllocMem) == 159 * sizeof(void *), "slot 159");
static_assert(offsetof(ZamCallBacks, InvokeMember) == 164 * sizeof(void *), "slot 164");
static_assert(offsetof(ZamCallBacks, GetHostOption) == 172 * sizeof(void *), "slot 172");
static_assert(offsetof(ZamCallBacks, GetArrayObj) == 176 * sizeof(void *), "slot 176");

// What the 32-bit interpreter reads and fills: the table (at least 223
// slots) and the value record GetParm hands out and ValueSet fills.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ZamCallBacks) == 223 * 4, "callback table: 223 slots");
static_assert(offsetof(ZamCallBacks, GetParm) == 3 * 4 && offsetof(ZamCallBacks, SetParm) == 4 * 4 &&
                  offsetof(ZamCallBacks, ReturnVal) == 6 * 4 && offsetof(ZamCallBacks, AddStdVar) == 7 * 4 &&
                  offsetof(ZamCallBacks, FindStdSymbol) == 8 * 4 && offsetof(ZamCallBacks, SetStdVar) == 9 * 4 &&
                  offsetof(ZamCallBacks, AddStdProc) == 11 * 4 && offsetof(ZamCallBacks, ReportRunError) == 12 * 4,
              "parameter, result and registration slots");
static_assert(offsetof(ZamCallBacks, ValueClear) == 81 * 4 && offsetof(ZamCallBacks, ValueSet) == 85 * 4 &&
                  offsetof(ZamCallBacks, GetHostVersion) == 152 * 4 &&
                  offsetof(ZamCallBacks, GetArrayElem) == 156 * 4 &&
                  offsetof(ZamCallBacks, AllocMem) == 159 * 4 && offsetof(ZamCallBacks, AllocMemChecked) == 160 * 4 &&
                  offsetof(ZamCallBacks, FreeMem) == 161 * 4 && offsetof(ZamCallBacks, InvokeMember) == 164 * 4 &&
                  offsetof(ZamCallBacks, FindMember) == 165 * 4 && offsetof(ZamCallBacks, GetHostOption) == 172 * 4 &&
                  offsetof(ZamCallBacks, GetArrayObj) == 176 * 4,
              "value, memory and object slots");
static_assert(sizeof(VALUE) == 11 && offsetof(VALUE, v_type) == 0 && offsetof(VALUE, value) == 1 &&
                  sizeof(VALUE::value) == 10,
              "value record: type byte, ten bytes of value");
static_assert(offsetof(VALUE, value.intval) == 1 && offsetof(VALUE, value.monval) == 1 &&
                  offsetof(VALUE, value.string) == 1 && sizeof(VALUE::value.string) == 4 &&
                  offsetof(VALUE, value.date.year) == 3 && offsetof(VALUE, value.dttm.time) == 5 &&
                  offsetof(VALUE, value.dttm.time.hour) == 8,
              "value payloads from byte 1");
#endif

// The table version the modules are built for; a host that does not answer
// the version probe counts as this one.
enum : unsigned { kZamTableVersion = 304 };

// InvokeMember kind that sets a property.
enum : int { kZamInvokeSet = 2 };
// GetHostOption: non-zero when script strings are already in the ANSI code page.
enum : int { kZamOptionAnsiStrings = 48 };

// Exports of the registration modules as the host calls them.
extern "C" {
typedef void(__stdcall *ZamAddModuleObjectsFn)(void);
typedef void(__stdcall *ZamInitExecFn)(void);
typedef void(__stdcall *ZamDoneExecFn)(void);
typedef void(__stdcall *ZamAttachFn)(intptr_t);
typedef int(__stdcall *ZamDlmMainFn)(intptr_t, intptr_t);
typedef BOOL(__stdcall *ZamDllMainFn)(HINSTANCE, DWORD, LPVOID);
}
