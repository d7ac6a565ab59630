// Wrappers over the interpreter's module callback table, so that module code
// calls GetParm, ReturnVal, AddStdProc ... by name. Slots added by newer
// interpreters are called only when the host's version is high enough;
// under an older host each answers a fixed fallback without a call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "zam_interp.h"

// Keeps the host's table; a new table is a new host, whose version is
// probed afresh at the next guarded call.
void ZamKeepCallBacks(ZamCallBacks *table);
ZamCallBacks *ZamTable();

// The host's interface version: GetHostVersion when the host knows the
// symbol "IsGUI", else 304. Asked once per table.
unsigned ZamHostVersion();

// How the slots of the table are called.
enum class ZamFamily {
    NoWrapper,    // 0-2, 12, 103, 109, 145-148
    Forwarding,   // forwards its arguments
    NoArguments,  // 5, 13, 14, 87, 108, 112, 117, 133, 222
    Probe,        // 152, only through ZamHostVersion
    Guarded,      // 153-217, by host version
};

constexpr ZamFamily zamFamily(int slot) {
    if (slot < 0 || slot >= kZamSlots) return ZamFamily::NoWrapper;
    if (slot == 152) return ZamFamily::Probe;
    if (slot >= 153 && slot <= 217) return ZamFamily::Guarded;
    switch (slot) {
    case 0: case 1: case 2: case 12: case 103: case 109:
    case 145: case 146: case 147: case 148:
        return ZamFamily::NoWrapper;
    case 5: case 13: case 14: case 87: case 108: case 112: case 117: case 133: case 222:
        return ZamFamily::NoArguments;
    default:
        return ZamFamily::Forwarding;
    }
}

// The lowest host version that has a guarded slot; 0 for the other slots.
constexpr unsigned zamMinHostVersion(int slot) {
    if (zamFamily(slot) != ZamFamily::Guarded) return 0;
    if (slot <= 176) return 305;
    if (slot == 177) return 308;
    if (slot <= 183) return 310;
    if (slot == 184) return 311;
    if (slot <= 195) return 312;
    if (slot == 196) return 313;
    if (slot <= 203) return 314;
    if (slot <= 208) return 315;
    if (slot <= 216) return 316;
    return 317;
}

// What a guarded slot answers under a host too old for it.
enum class ZamFallback { Zero, MinusOne, False, Nothing, ZeroedArea, HeapAlloc, HeapAllocChecked, HeapFree };

constexpr ZamFallback zamFallback(int slot) {
    switch (slot) {
    case 162: case 163: case 164: case 165:
        return ZamFallback::MinusOne;
    case 173: case 175:
        return ZamFallback::False;
    case 155: case 166: case 177: case 180: case 181: case 193: case 197: case 198: case 199: case 207:
        return ZamFallback::Nothing;
    case 158: case 194: case 195:
        return ZamFallback::ZeroedArea;
    case 159: return ZamFallback::HeapAlloc;
    case 160: return ZamFallback::HeapAllocChecked;
    case 161: return ZamFallback::HeapFree;
    default: return ZamFallback::Zero;
    }
}

// Internals of ZamSlot.
void *zamSlotPointer(int slot);  // null without a table
bool zamReaches(int slot);       // the host is new enough for the slot
void *zamZeroedArea(int slot);   // zeroed again at each call
void *zamHeapAllocChecked(size_t size);

// The one generic call: slot Slot with result R and arguments A, as the
// family table says it is called. Without a table, R() and no call.
template <int Slot, class R = intptr_t, class... A>
R ZamSlot(A... args) {
    constexpr ZamFamily family = zamFamily(Slot);
    static_assert(family != ZamFamily::NoWrapper, "this slot has no wrapper");
    static_assert(family != ZamFamily::Probe, "slot 152 is asked only through ZamHostVersion");
    static_assert(family != ZamFamily::NoArguments || sizeof...(A) == 0, "this slot takes no arguments");
    if constexpr (family == ZamFamily::Guarded) {
        constexpr ZamFallback fb = zamFallback(Slot);
        static_assert(fb != ZamFallback::Nothing || std::is_void_v<R>, "this slot has no result");
        static_assert(fb != ZamFallback::ZeroedArea || std::is_pointer_v<R>, "this slot answers an address");
        if (!zamReaches(Slot)) {
            if constexpr (fb == ZamFallback::HeapAlloc) {
                return static_cast<R>(std::calloc(1, args...));
            } else if constexpr (fb == ZamFallback::HeapAllocChecked) {
                return static_cast<R>(zamHeapAllocChecked(args...));
            } else if constexpr (fb == ZamFallback::HeapFree) {
                std::free(args...);
                return R();
            } else if constexpr (fb == ZamFallback::ZeroedArea) {
                return static_cast<R>(zamZeroedArea(Slot));
            } else if constexpr (fb == ZamFallback::MinusOne) {
                return static_cast<R>(-1);
            } else {
                return R();
            }
        }
    }
    auto fn = reinterpret_cast<R(ZAMCB *)(A...)>(zamSlotPointer(Slot));
    if (!fn) return R();
    return fn(args...);
}

// The slots the modules call.
inline bool GetParm(int n, VALUE **out) { return ZamSlot<3, bool, int, VALUE **>(n, out); }
inline int SetParm(int n, unsigned char type, const void *data) {
    return ZamSlot<4, int, int, unsigned char, const void *>(n, type, data);
}
inline int ReturnVal(unsigned char type, const void *data) {
    return ZamSlot<6, int, unsigned char, const void *>(type, data);
}
inline ZamSymbol AddStdVar(unsigned char type, const char *name) {
    return ZamSlot<7, ZamSymbol, unsigned char, const char *>(type, name);
}
inline ZamSymbol FindStdSymbol(const char *name, int zero) {
    return ZamSlot<8, ZamSymbol, const char *, int>(name, zero);
}
inline int SetStdVar(ZamSymbol var, unsigned char type, const void *data) {
    return ZamSlot<9, int, ZamSymbol, unsigned char, const void *>(var, type, data);
}
inline int AddStdProc(unsigned char kind, const char *name, ZamProc fn, int zero) {
    return ZamSlot<11, int, unsigned char, const char *, ZamProc, int>(kind, name, fn, zero);
}
inline void ValueClear(VALUE *v) { ZamSlot<81, void, VALUE *>(v); }
inline int ValueSet(VALUE *v, unsigned char type, const void *data) {
    return ZamSlot<85, int, VALUE *, unsigned char, const void *>(v, type, data);
}
inline VALUE *GetArrayElem(void *array, int index) { return ZamSlot<156, VALUE *, void *, int>(array, index); }
inline void *AllocMem(size_t size) { return ZamSlot<159, void *, size_t>(size); }
// Reports "Out of memory" itself when it fails.
inline void *AllocMemChecked(size_t size) { return ZamSlot<160, void *, size_t>(size); }
inline void FreeMem(void *block) { ZamSlot<161, void, void *>(block); }
inline int InvokeMember(void *object, int id, int kind, VALUE *arg) {
    return ZamSlot<164, int, void *, int, int, int, int, VALUE *>(object, id, kind, 0, 0, arg);
}
inline int FindMember(void *object, const char *name, int *id) {
    return ZamSlot<165, int, void *, const char *, int *>(object, name, id);
}
inline int GetHostOption(int option) { return ZamSlot<172, int, int, int>(option, 0); }
inline void *GetArrayObj(void *object) { return ZamSlot<176, void *, void *>(object); }

// Reading a parameter: the text of parameter n when it is a string.
const char *ZamParmText(int n);

// Results of script functions.
int ZamReturnBool(bool value);
int ZamReturnText(const char *text);

// A script function as AddModuleObjects registers it.
struct ZamFunction {
    unsigned char kind;
    const char *name;
    ZamProc fn;
};

template <size_t N> void ZamAddFunctions(const ZamFunction (&functions)[N]) {
    for (const ZamFunction &f : functions) AddStdProc(f.kind, f.name, f.fn, 0);
}

// What a registration module frees when the host ends a script run
// (DoneExec), e.g. what scripts left open; given in AddModuleObjects.
void ZamOnDoneExec(void (*release)());

// The host calls script functions; nothing may unwind into it.
template <int (*Fn)()> int ZAMCB ZamGuarded() {
    try {
        return Fn();
    } catch (...) {
        return 0;
    }
}
