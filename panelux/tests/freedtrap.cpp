#include "freedtrap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

using MallocFn = void *(__cdecl *)(size_t);
using CallocFn = void *(__cdecl *)(size_t, size_t);
using ReallocFn = void *(__cdecl *)(void *, size_t);
using FreeFn = void(__cdecl *)(void *);

// The C runtime's own functions, as the module imported them.
MallocFn g_malloc;
CallocFn g_calloc;
ReallocFn g_realloc;
FreeFn g_free;

struct Block {
    char *base;
    size_t pages, size;
};

// One reserved region for the process, handed out from the front and never
// reused: a freed block's pages stay decommitted.
struct Region {
    char *begin = nullptr, *next = nullptr, *end = nullptr;
    size_t page = 4096;
    std::map<const char *, Block> blocks;
    size_t taken = 0, freed = 0;
    bool on = false;
    CRITICAL_SECTION cs;
    Region() {
        InitializeCriticalSection(&cs);
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        page = si.dwPageSize;
        size_t size = sizeof(void *) == 8 ? (512u << 20) : (128u << 20);
        begin = next = static_cast<char *>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
        end = begin ? begin + size : nullptr;
    }
    bool holds(const void *p) const { return begin && p >= begin && p < end; }
};

Region &region() {
    static Region r;
    return r;
}

struct Lock {
    explicit Lock(Region &r) : r_(r) { EnterCriticalSection(&r_.cs); }
    ~Lock() { LeaveCriticalSection(&r_.cs); }
    Region &r_;
};

[[noreturn]] void fatal(const char *what, const void *p) {
    std::fprintf(stderr, "FreedMemoryTrap: %s %p\n", what, p);
    std::fflush(stderr);
    std::abort();
}

// At the end of its pages, 16-byte aligned, with an uncommitted page after.
void *trapMalloc(size_t n) {
    Region &r = region();
    Lock lock(r);
    size_t body = n ? (n + 15) & ~static_cast<size_t>(15) : 16;
    size_t pages = (body + r.page - 1) / r.page;
    if (!r.on || body < n || static_cast<size_t>(r.end - r.next) < (pages + 1) * r.page) return g_malloc(n);
    char *base = r.next;
    if (!VirtualAlloc(base, pages * r.page, MEM_COMMIT, PAGE_READWRITE)) return nullptr;
    r.next += (pages + 1) * r.page;
    char *p = base + pages * r.page - body;
    r.blocks[p] = Block{base, pages, n};
    ++r.taken;
    return p;
}

void trapFree(void *p) {
    Region &r = region();
    if (!p) return;
    if (!r.holds(p)) return g_free(p);
    Lock lock(r);
    auto it = r.blocks.find(static_cast<const char *>(p));
    if (it == r.blocks.end()) fatal("free of a block not handed out, or freed twice:", p);
    VirtualFree(it->second.base, it->second.pages * r.page, MEM_DECOMMIT);
    r.blocks.erase(it);
    ++r.freed;
}

void *trapCalloc(size_t count, size_t size) {
    if (size && count > static_cast<size_t>(-1) / size) return nullptr;
    void *p = trapMalloc(count * size);
    if (p) std::memset(p, 0, count * size);
    return p;
}

void *trapRealloc(void *p, size_t n) {
    Region &r = region();
    if (!p) return trapMalloc(n);
    if (!r.holds(p)) return g_realloc(p, n);
    size_t old;
    {
        Lock lock(r);
        auto it = r.blocks.find(static_cast<const char *>(p));
        if (it == r.blocks.end()) fatal("realloc of a block not handed out, or freed:", p);
        old = it->second.size;
    }
    if (n == 0) {
        trapFree(p);
        return nullptr;
    }
    void *q = trapMalloc(n);
    if (!q) return nullptr;
    std::memcpy(q, p, old < n ? old : n);
    trapFree(p);
    return q;
}

bool isCrt(const char *dll) {
    return _strnicmp(dll, "msvcrt", 6) == 0 || _strnicmp(dll, "api-ms-win-crt-heap", 19) == 0 ||
           _strnicmp(dll, "ucrtbase", 8) == 0;
}

// The address an import of the given name gets instead, or null.
void *replacement(const char *name, void *original) {
    struct Entry {
        const char *name;
        void **real;
        void *trap;
    } const entries[] = {
        {"malloc", reinterpret_cast<void **>(&g_malloc), reinterpret_cast<void *>(&trapMalloc)},
        {"calloc", reinterpret_cast<void **>(&g_calloc), reinterpret_cast<void *>(&trapCalloc)},
        {"realloc", reinterpret_cast<void **>(&g_realloc), reinterpret_cast<void *>(&trapRealloc)},
        {"free", reinterpret_cast<void **>(&g_free), reinterpret_cast<void *>(&trapFree)},
    };
    for (const Entry &e : entries) {
        if (std::strcmp(name, e.name) != 0) continue;
        if (!*e.real) *e.real = original;
        return e.trap;
    }
    return nullptr;
}

// Rewrites the module's import slots of the allocator; the count of them.
int redirect(HMODULE module) {
    auto *base = reinterpret_cast<unsigned char *>(module);
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return 0;
    int count = 0;
    for (auto *imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress); imp->Name; ++imp) {
        if (!isCrt(reinterpret_cast<const char *>(base + imp->Name)) || !imp->OriginalFirstThunk) continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + imp->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            void *original = reinterpret_cast<void *>(slots->u1.Function);
            void *trap = replacement(reinterpret_cast<const char *>(byName->Name), original);
            if (!trap) continue;
            DWORD old;
            if (trap != original) {
                if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) continue;
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(trap);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            }
            ++count;
        }
    }
    return count;
}

}  // namespace

FreedMemoryTrap::FreedMemoryTrap(HMODULE module) {
    Region &r = region();
    // All four, or the module would free trapped blocks through the runtime.
    redirected_ = module && r.begin && redirect(module) == 4 && g_malloc && g_calloc && g_realloc && g_free;
    Lock lock(r);
    r.on = redirected_;
    r.taken = r.freed = 0;
}

FreedMemoryTrap::~FreedMemoryTrap() {
    Region &r = region();
    Lock lock(r);
    r.on = false;
}

size_t FreedMemoryTrap::taken() { return region().taken; }
size_t FreedMemoryTrap::freed() { return region().freed; }
