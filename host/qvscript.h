// The interpreter library QVScript.dll as termcore, comscript and its
// stand-in see it: the exported functions, the interpreter table with its
// instances and host record, and the QVCOM object runtime (owner, runtime
// link, parameter lists, value converter) that object modules call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "zam_interp.h"

// Calling convention of every export and every table slot of the library.
#define QVSCB __cdecl

// One machine word: the runtime's tables pass every argument as a word.
typedef intptr_t QvWord;

struct ZamInstance;
struct ZamHostRecord;

// --- exports -------------------------------------------------------------

// Message callback of Std_Execute: answer, or 0 for a code not handled.
typedef int(QVSCB *QvsMessageFn)(int code, void *data, int value);
// Start callback of Std_Execute with the caller's record: non-zero = success.
typedef int(QVSCB *QvsStartFn)(void *user);

extern "C" {
typedef void(QVSCB *FreeAutoInstanceFn)(void);
typedef const char *(QVSCB *GetErrMesExFn)(int code, int flag);
typedef int(QVSCB *GetParmFn)(int n, VALUE **out);
typedef void(QVSCB *InitRubToStrFn)(int zero);
typedef int(QVSCB *ZamCallInstSymbolFn)(void *symbol, int kind, int count, VALUE *cells, VALUE *result);
typedef void *(QVSCB *ZamGetDbgFn)(ZamInstance *instance);
typedef void *(QVSCB *ZamGetDbgInterfaceFn)(void);
typedef ZamInstance *(QVSCB *ZamGetInstanceFn)(void);
typedef void *(QVSCB *ZamGetInstSymbolFn)(const char *name);
typedef int(QVSCB *ZamSendMesFn)(int code, void *data, int value);
typedef int(QVSCB *ZamSetAxInfoFn)(void *record);
typedef void *(QVSCB *ZamSetDbgFn)(void *debugger);
typedef int(QVSCB *ZamSetDbgFlagFn)(int flag);
typedef ZamInstance *(QVSCB *ZamSetInstanceFn)(ZamInstance *instance);
typedef int(QVSCB *ZamSetTraceFlagFn)(int value);
typedef int(QVSCB *Std_ExecuteFn)(const char *macro, QvsMessageFn message, QvsStartFn start, void *user);
typedef void(QVSCB *ValueClearFn)(VALUE *cell);
typedef void(QVSCB *ValueMakeFn)(VALUE *cell);
// data: the text for V_STRING, else a pointer to the value.
typedef int(QVSCB *ValueSetFn)(VALUE *cell, unsigned char type, const void *data);
}

// The names termcore resolves, in the order of its entry table.
constexpr const char *kQvsEntryNames[] = {
    "FreeAutoInstance", "GetErrMesEx", "GetParm", "InitRubToStr", "ZamCallInstSymbol",
    "ZamGetDbg", "ZamGetDbgInterface", "ZamGetInstance", "ZamGetInstSymbol", "ZamSendMes",
    "ZamSetAxInfo", "ZamSetDbg", "ZamSetDbgFlag", "ZamSetInstance", "ZamSetTraceFlag",
    "Std_Execute", "ValueClear", "ValueMake", "ValueSet",
};
constexpr int kQvsEntryCount = sizeof kQvsEntryNames / sizeof kQvsEntryNames[0];
static_assert(kQvsEntryCount == 19, "termcore's entry table has 19 slots");

// ZamCallInstSymbol kind of a local macro's procedure call.
enum : int { kQvsCallProc = 3 };

// Error record of messages 4, 14 and 49.
struct QvsErrorRecord {
    int32_t code;
    int32_t line;  // -1: no position
    int32_t column;
    const char *module;
    const char *message;
};

// Record of message 139: a kind of 17 marks a record that is no error.
struct QvsQvcomRecord {
    const int32_t *kind;
    int32_t code;
};

// ActiveX error record of message 52.
struct QvsAxError {
    const char *description;  // null: none
    QvWord reserved;
    int32_t code;
};

// Redirection record of message 20: four words, the third the target text.
struct QvsRedirect {
    QvWord w[4];
};

// Path record of message 111 (termcore fills 0-4 and the word after them).
enum : int { kQvsPathDataDic, kQvsPathDataPath, kQvsPathIncPath, kQvsPathTxtPath, kQvsPathDbfPath,
             kQvsPathSpare, kQvsPathQvmPath, kQvsPathSlots };
struct QvsPathRecord {
    const char *path[kQvsPathSlots];
};

// Record of message 8: word 1 receives the print hook.
typedef int(QVSCB *QvsPrintHook)(const char *text);
struct QvsPrintRecord {
    QvWord w0;
    QvsPrintHook hook;
};

// Host messages relayed by the instance (those the modules name).
enum : int {
    kQvsMsgError = 4, kQvsMsgPrintHook = 8, kQvsMsgRunEnd9 = 9, kQvsMsgError14 = 14,
    kQvsMsgOutputOpen = 17, kQvsMsgOutputClose = 18, kQvsMsgRedirect = 20, kQvsMsgMessage = 26,
    kQvsMsgDbgSetFlag = 38, kQvsMsgMsgBox = 44, kQvsMsgSixWords = 46, kQvsMsgGuiMode = 48,
    kQvsMsgError49 = 49, kQvsMsgAxError = 52, kQvsMsgDbgAttach = 60, kQvsMsgDbgFlagOn = 62,
    kQvsMsgPcodeMode = 72, kQvsMsgDebugFlag = 76, kQvsMsgDbgSend = 77, kQvsMsgDbgClearFlag = 78,
    kQvsMsgDbgFlagOff = 81, kQvsMsgPrint = 82, kQvsMsgOuterRecord = 87, kQvsMsgDbgCall = 88,
    kQvsMsgDbgDetach = 99, kQvsMsgErrPrint = 101, kQvsMsgPaths = 111, kQvsMsgBtrieve = 116,
    kQvsMsgObjects = 121, kQvsMsgOptions124 = 124, kQvsMsgSixWordsOut = 128, kQvsMsgContext = 131,
    kQvsMsgSqlMode = 138, kQvsMsgQvcomError = 139, kQvsMsgMoneyMode = 151, kQvsMsgBrk2Dbg = 157,
};

// --- interpreter table and instances ------------------------------------

// Host record handed to an instance at creation; the instance calls it for
// every host message.
typedef int(QVSCB *ZamHostCallback)(ZamHostRecord *record, ZamInstance *instance, int code, void *data);
struct ZamHostRecord {
    ZamHostRecord *next;
    QvWord word;
    ZamHostCallback callback;  // answers 0 when not handled
    ZamInstance *instance;     // of the last call
    QvWord code;               // of the last call, -1 before the first
    void *data;                // of the last call
};

struct ZamInstanceOps {
    int(QVSCB *AddModule)(ZamInstance *self, const char *name);  // 0
    void *slot1_2[2];
    int(QVSCB *Execute)(ZamInstance *self);  // 3
    void(QVSCB *Stop)(ZamInstance *self);    // 4
    int(QVSCB *State)(ZamInstance *self);    // 5: 3 once executed
    void *(QVSCB *FindSymbol)(ZamInstance *self, const char *name, int zero);  // 6
    // kind: 0 call, 1 read, 2 write, 3 member call.
    int(QVSCB *CallSymbol)(ZamInstance *self, void *symbol, int kind, int argc, VALUE *args, VALUE *result);  // 7
    void *slot8_9[2];
    int(QVSCB *TestExist)(ZamInstance *self, const char *name);  // 10
    void *slot11_13[3];
    int(QVSCB *Query)(ZamInstance *self, int what, QvWord *out);  // 14
    void *slot15_22[8];
    int(QVSCB *LastError)(ZamInstance *self);  // 23
};
static_assert(offsetof(ZamInstanceOps, CallSymbol) == 7 * sizeof(void *), "slot 7");
static_assert(offsetof(ZamInstanceOps, Query) == 14 * sizeof(void *), "slot 14");
static_assert(offsetof(ZamInstanceOps, LastError) == 23 * sizeof(void *), "slot 23");

struct ZamInstance {
    const ZamInstanceOps *fn;
};
enum : int { kZamStateExecuted = 3, kZamQueryConverter = 122 };

struct QvsInterpreter {
    void *slot0_5[6];
    ZamInstance *(QVSCB *create)(const char *name, int zero, ZamHostRecord *host, int zero2);  // 6
    void(QVSCB *destroy)(ZamInstance *instance);                                              // 7
};
static_assert(offsetof(QvsInterpreter, create) == 6 * sizeof(void *), "slot 6");

// --- QVCOM objects and the object runtime -------------------------------

// An interface: a pointer to a table of operations taking the interface
// first. Every argument and result travels as a word.
struct QvIntf {
    void *const *fn;
};

template <typename T>
using QvAsWord = QvWord;
template <typename T>
inline QvWord qv_word(T v) {
    if constexpr (std::is_same_v<T, std::nullptr_t>)
        return 0;
    else if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<QvWord>(v);
    else
        return static_cast<QvWord>(v);
}

template <typename... A>
inline QvWord qv_call(const QvIntf *i, int slot, A... args) {
    using Fn = QvWord(QVSCB *)(const QvIntf *, QvAsWord<A>...);
    return reinterpret_cast<Fn>(i->fn[slot])(i, qv_word(args)...);
}
template <typename T>
inline T *qv_ptr(QvWord w) { return reinterpret_cast<T *>(w); }

// The five operations every interface begins with.
enum : int { kQvAddRef, kQvRelease, kQvQueryInterface, kQvClassName, kQvOwner, kQvBaseSlots };

// Interface numbers.
enum : int {
    kQvIidMain1 = 1, kQvIidMain2 = 2, kQvIidMain4 = 4, kQvIidDispatch6 = 6, kQvIidLifecycle = 15,
    kQvIidModule = 16, kQvIidDispatch17 = 17, kQvIidDispatchExt = 18, kQvIidMain24 = 24,
    kQvIidComgateService = 100, kQvIidComgateWrapper = 101, kQvIidComscript = 1000,
};

// Main interface slots: 16 the deleting destructor (flag bit 0: free the
// block too), 17 the class record.
enum : int { kQvMainDelete = 16, kQvMainClassRecord = 17 };
// Slots of IQvLifecycle and IQvDispatch after the base five.
enum : int { kQvClose = 5, kQvInit = 6 };
enum : int { kQvInvoke = 5, kQvGetMemberId = 6 };
// Invoke flags.
enum : int { kQvCall = 1, kQvGet = 2, kQvPut = 0xC, kQvExtended = 0x10 };

// Host codes of the object-model entries.
enum : int {
    kQvOk = 0, kQvNoMemory = -1, kQvFailed = 1, kQvDispidUnknown = 4, kQvNoInterface = 5,
    kQvNoClass = 7, kQvTypeMismatch = 13, kQvException = 12,
};

// Type codes of parameter entries and member tables.
enum : unsigned char {
    kQvtNone = 0, kQvtInt = 5, kQvtString = 8, kQvtObject = 9, kQvtBool = 10, kQvtObject16 = 16,
    kQvtHostPtr = 17, kQvtClass = 31,
    kQvtAny = 127,  // member parameters: a value of any type
};
// The script value types of parameter entries (the low five bits of the
// record's type byte), as the automation conversions carry them.
enum : unsigned char {
    kQvtI1 = 1, kQvtU1 = 2, kQvtI2 = 3, kQvtU2 = 4, kQvtI4 = 5, kQvtU4 = 6, kQvtDouble = 7, kQvtDate = 11,
    kQvtTime = 12, kQvtDateTime = 13, kQvtCurrency = 14, kQvtFixed4 = 15, kQvtArray = 16, kQvtMissing = 18,
    kQvtU4b = 19, kQvtDecimal = 20, kQvtCodeMask = 0x1F,
};
// Entry flags (parameter slot 7), kept above the type code.
enum : unsigned char { kQvEntryByRef = 0x80, kQvEntryVariant = 0x40 };

#pragma pack(push, 1)
struct QvDateValue {
    uint8_t day, month;
    uint16_t year;
};
struct QvTimeValue {
    uint8_t hundredths, second, minute, hour;
};
struct QvDateTimeValue {
    QvDateValue date;
    QvTimeValue time;
};
// A decimal: the 96-bit value in two's complement when sign is set.
struct QvDecimalValue {
    uint16_t scale;
    uint32_t hi;
    uint64_t lo;
    uint8_t sign;
};
#pragma pack(pop)
static_assert(sizeof(QvDecimalValue) == 15, "decimal payload");
// Missing values (type 18): the word is one of these or an error code.
enum : int32_t { kQvMissingNull = 0, kQvMissingParam = 1, kQvMissingObject = 3 };

// Owner slots.
enum : int {
    kOwnVersion = 0, kOwnGetSix = 8, kOwnPutSix = 9, kOwnRuntime = 11, kOwnState = 22,
    kOwnFormatError = 24, kOwnDirectory = 27, kOwnAddDropHook = 29, kOwnRemoveDropHook = 30,
    kOwnStamp = 32, kOwnModuleAddRef = 44, kOwnModuleRelease = 45, kOwnSlots = 48,
};
// Runtime link slots.
enum : int {
    kRtOwner = 4, kRtUnregister = 5, kRtForward19 = 19, kRtNewParms = 25, kRtInvokeOld = 37,
    kRtClassInfo = 39, kRtPutErrors = 40, kRtAddError = 41, kRtErrorSize = 45, kRtCopyErrors = 46,
    kRtGetMemberId = 48, kRtInvoke = 49, kRtMember7 = 50, kRtMember8 = 53, kRtMember9 = 54,
    kRtExt5 = 58, kRtExt6 = 60, kRtInvokeNew = 62, kRtErrorEntry = 71, kRtForward76 = 76,
    kRtModuleRelease = 79, kRtSlots = 80,
};
// Parameter interface slots: (context, index, ...). Slot 6 takes the type
// code and a pointer to the value; 16 and 17 take the context only and
// count or resize the list.
enum : int {
    kPmSet = 6, kPmSetFlags = 7, kPmSetEmpty = 13, kPmText = 14, kPmSetText = 15, kPmCount = 16,
    kPmResize = 17, kPmValue = 22, kPmType = 24, kPmReadAs = 25, kPmSlots = 26,
};
// Value converter slots.
enum : int { kCvToCells = 13, kCvWriteBack = 14, kCvFree = 15, kCvSlots = 16 };

// Version thresholds of the owner.
enum : int { kOwnVersionDropHooks = 5, kOwnVersionExtended = 7 };

// Value record of a parameter entry (parameter slot 22): the type code in
// the low five bits of the first byte, the entry flags above it, the value
// from byte 8 on.
struct QvValue {
    uint8_t type;
    uint8_t pad[7];
    union {
        QvWord value;
        unsigned char data[16];
    };
    int code() const { return type & kQvtCodeMask; }
};

// Drop hook of owner slots 29/30: called with (context, object).
typedef void(QVSCB *QvDropHook)(void *context, QvIntf *object);

// Class records and member tables.
struct QvMemberEntry;
struct QvClassRecord;
typedef const QvClassRecord *(QVSCB *QvClassGetter)(void);
typedef const QvMemberEntry *(QVSCB *QvMembersGetter)(void);
// Four words: the runtime reads the fourth too.
struct QvClassRecord {
    QvClassGetter parent;  // null for the root
    QvMembersGetter members;
    const char *name;
    QvWord zero;
};

#pragma pack(push, 1)
struct QvMemberEntry {
    const char *name;
    int32_t dispid;
    uint8_t result;
    const unsigned char *params;  // type codes ended by 0, or null
    uint8_t kind;                 // 1 property, 2 method, 8 creatable class
    uint8_t flag;                 // 5 for methods and properties, 0 for classes
    uint8_t zero[9];
};
#pragma pack(pop)
static_assert(sizeof(QvMemberEntry) == 16 + 2 * sizeof(void *), "member row layout");
enum : uint8_t { kQvProperty = 1, kQvMethod = 2, kQvCreatable = 8 };

// Class information: what the runtime knows of a script class, asked of an
// object through its dispatch slot 7 (kQvClassInfoQuery, out interface).
// Members are selected by masks: properties 0x111, methods 0x82, events 4;
// the type information asks 256 (variables), 128 (functions), 384 (both).
enum : int { kQvClassInfoQuery = 416, kQvMaskVars = 256, kQvMaskFuncs = 128, kQvMaskMembers = 384,
             kQvMaskProps = 0x111, kQvMaskMethods = 0x82, kQvMaskEvents = 4 };
// Slots after the base five: 5 class name; 6 count(mask); 7 member at(index,
// mask, out QvMemberAt) -> 0 or -1; 8 find(name, out QvMemberFound) -> 0 or
// -1; 9 member name(memid) -> text or null (owners above version 5).
enum : int { kCiClassName = 5, kCiCount, kCiMemberAt, kCiFind, kCiMemberName, kCiSlots };
// The records slots 7 and 8 fill: the runtime's buffer is exactly this long.
// kind is the member's flags: 1 property (0x10 of 0x11: read only), 2 method,
// 4 event; tail is 3 for properties and methods, 4 for events at slot 7 and
// always 3 at slot 8.
struct QvMemberAt {
    const char *name;
    int32_t memid;
    const char *text;  // empty
    int32_t kind;
    int32_t tail;
};
struct QvMemberFound {
    const char *name;
    int32_t memid;
    int32_t zero;
    const char *text;  // empty
    int32_t kind;
    int32_t tail;
};
enum : int { kQvMemberProperty = 0x11, kQvMemberReadOnly = 0x10, kQvMemberEvent = 4, kOwnVersionMemberNames = 5 };
enum : int32_t { kQvTailMember = 3, kQvTailEvent = 4 };

// The object-model request record of host messages -5, -8, -12 and -13:
// seven words, 28 bytes on i686.
struct QvObjRequest {
    QvWord reserved;
    QvIntf *owner;
    const char *className;
    QvWord iid;
    QvWord out;  // interface pointer or class information
    const char *arg1;
    QvIntf *arg2;
};
static_assert(sizeof(QvObjRequest) == 7 * sizeof(void *), "seven words");
enum : int { kQvUnloadAllowed = 1000 };

// Limit the runtime's class information takes (message -12).
enum : int { kQvClassInfoLimit = 4095 };

// What comscript imports from QVScript.dll.
extern "C" {
const char *QVSCB GetErrMesEx(int code, int flag);
void QVSCB InitRubToStr(int zero);
void *QVSCB ZamGetDbg(ZamInstance *instance);
void *QVSCB ZamGetDbgInterface(void);
ZamInstance *QVSCB ZamGetInstance(void);
void *QVSCB ZamSetDbg(void *debugger);
const QvsInterpreter *QVSCB GetInterpreterInterface(void);
// (instance error record) -> QVCOM code; 1: an error list is pending.
int QVSCB MakeQVCOMError(void *record);
}

// Interface choices. Where the library's description is silent or says two
// things, the modules and the stand-in keep these readings; the words that
// led to each are quoted.
// - Parameter slot 6 takes a type code and a pointer to the value, never the
//   value itself: "written through slot 6 (type code and pointer to the
//   value)", against "`SetInt`(v): slot 6 with code 5".
// - A value record (parameter slot 22) has its type byte first and its
//   payload from byte 8 on: "a value record: type code byte, low five bits
//   significant, value from byte 8 on".
// - A new list for an array of n elements has n + 1 entries, entry 0 unused:
//   "a parameter list whose entries 1..n are the elements" and "resized to
//   n + 1 entries", against "a new list of n entries is made".
// - An object or array stored in a list entry (slot 6, codes 9 and 16) is
//   held by the entry, which adds its own reference and drops it when the
//   entry is cleared or the list goes; whoever stores it releases its own.
//   Nothing is said of objects; arrays show it: a new list "is made, filled,
//   and stored in the entry as type 16" and its maker keeps no use for it.
// - Every class record is four words, the fourth 0: "Class records
//   (`QvClassRecord`), three words" and "comgate's records carry a fourth
//   word, 0", against a runtime that reads one layout for every class.
// - Reflection records are exactly as long as their fields: member at
//   "{name, memid, empty text, kind 1 / 2 / 4, 3 for properties and methods
//   and 4 for events}", find "{name, memid, 0, empty text, kind ..., 3}".
//   On x86_64 the same fields keep their natural alignment.
// - A member's flags are the kind word of these records: "a property (member
//   flags 0x11)", "VARFLAG_FREADONLY when the member's flags have bit 0x10".
// - A member's result type and parameter types, which these records do not
//   carry, are read from the member table of the script object's class
//   record (main interface slot 17, then the parent chain), matched by name:
//   "over the script class's metadata that the runtime keeps (class records
//   and member tables)". A member without a row is a VARIANT without
//   parameters.
// - The error-list reader (runtime link slot 71) takes (index, out kind,
//   out code, out text, out level) and answers the number of entries; any
//   out place may be null. An entry's level is its own and not its kind:
//   entries are added "with (code, level 1)" and one is shown "as "%s  (code
//   = %d, level = %d)" with its text, code and level", while the reader is
//   named "(count, kind of entry, code, text)" and kind 2 means "formatted by
//   the owner's error formatter ... from their code".
// - Proxy-cache slots 9 and 10 take the proxy object itself (its IDispatch);
//   the service keeps its own cache entry: "9 / 10 | proxy cache add /
//   remove | (proxy object)".

#if defined(_WIN32) && !defined(_WIN64)
// What the library reads and writes, at the sizes of the 32-bit host.
static_assert(sizeof(QvIntf) == 4, "interface");
static_assert(sizeof(ZamHostRecord) == 24 && offsetof(ZamHostRecord, callback) == 8 &&
                  offsetof(ZamHostRecord, instance) == 12 && offsetof(ZamHostRecord, code) == 16 &&
                  offsetof(ZamHostRecord, data) == 20,
              "host record: six words");
static_assert(sizeof(ZamInstanceOps) == 24 * 4 && sizeof(QvsInterpreter) == 8 * 4, "instance and interpreter tables");
static_assert(sizeof(QvsErrorRecord) == 20 && offsetof(QvsErrorRecord, column) == 8 &&
                  offsetof(QvsErrorRecord, module) == 12 && offsetof(QvsErrorRecord, message) == 16,
              "error record of messages 4, 14, 49");
static_assert(sizeof(QvsQvcomRecord) == 8 && offsetof(QvsQvcomRecord, code) == 4, "record of message 139");
static_assert(sizeof(QvsAxError) == 12 && offsetof(QvsAxError, code) == 8, "record of message 52");
static_assert(sizeof(QvsRedirect) == 16, "record of message 20");
static_assert(sizeof(QvsPathRecord) == 28, "path record of message 111: seven texts");
static_assert(sizeof(QvsPrintRecord) == 8 && offsetof(QvsPrintRecord, hook) == 4, "record of message 8");
static_assert(offsetof(QvValue, type) == 0 && offsetof(QvValue, value) == 8 && offsetof(QvValue, data) == 8,
              "value record: type byte, value from byte 8");
static_assert(sizeof(QvDateValue) == 4 && offsetof(QvDateValue, year) == 2, "date payload");
static_assert(sizeof(QvTimeValue) == 4 && offsetof(QvTimeValue, hour) == 3, "time payload");
static_assert(sizeof(QvDateTimeValue) == 8 && offsetof(QvDateTimeValue, time) == 4, "date and time payload");
static_assert(offsetof(QvDecimalValue, hi) == 2 && offsetof(QvDecimalValue, lo) == 6 &&
                  offsetof(QvDecimalValue, sign) == 14,
              "decimal payload");
static_assert(sizeof(QvClassRecord) == 16 && offsetof(QvClassRecord, members) == 4 &&
                  offsetof(QvClassRecord, name) == 8 && offsetof(QvClassRecord, zero) == 12,
              "class record: four words");
static_assert(sizeof(QvMemberEntry) == 24 && offsetof(QvMemberEntry, dispid) == 4 &&
                  offsetof(QvMemberEntry, result) == 8 && offsetof(QvMemberEntry, params) == 9 &&
                  offsetof(QvMemberEntry, kind) == 13 && offsetof(QvMemberEntry, flag) == 14 &&
                  offsetof(QvMemberEntry, zero) == 15,
              "member row: 24 packed bytes");
static_assert(sizeof(QvMemberAt) == 20 && offsetof(QvMemberAt, memid) == 4 && offsetof(QvMemberAt, text) == 8 &&
                  offsetof(QvMemberAt, kind) == 12 && offsetof(QvMemberAt, tail) == 16,
              "member-at record: five words");
static_assert(sizeof(QvMemberFound) == 24 && offsetof(QvMemberFound, zero) == 8 &&
                  offsetof(QvMemberFound, text) == 12 && offsetof(QvMemberFound, kind) == 16 &&
                  offsetof(QvMemberFound, tail) == 20,
              "find record: six words");
static_assert(sizeof(QvObjRequest) == 28 && offsetof(QvObjRequest, owner) == 4 &&
                  offsetof(QvObjRequest, className) == 8 && offsetof(QvObjRequest, iid) == 12 &&
                  offsetof(QvObjRequest, out) == 16 && offsetof(QvObjRequest, arg1) == 20 &&
                  offsetof(QvObjRequest, arg2) == 24,
              "object-model request: seven words");
#endif
