// Remote-object table: maps the server's 32-bit object handles to the
// module's objects (dialogs, lists, menus, editors, status-bar windows).
#pragma once

#include <cstdint>
#include <vector>

// What an entry holds; a lookup names the kind it expects, so a handle of
// another kind is treated as unknown.
enum class PxObjKind : uint8_t {
    None = 0,
    Dialog,
    Menu,
    MenuItem,
    ChildWnd,
    StatusText,    // a saved message-pane text (request 54)
    StatusLayout,  // a saved pane layout (request 60)
    Test,  // used by the table's own tests
    Count,
    Any = 0xff,  // lookups only: any kind matches
};

struct PxObjEntry {
    int32_t handle;  // 0 = free entry
    PxObjKind kind;
    void *object;
};

struct PxObjTable {
    std::vector<PxObjEntry> entries;  // capacity entries, zeroed when free
    int count = 0;                    // entries in use from the start
    bool live = false;
};

constexpr int kPxObjTableStep = 128;

// The table owns only its array: the objects belong to whoever made them,
// and their own teardown frees them, so create and free never touch them.
int objtab_create(PxObjTable *t);
void objtab_free(PxObjTable *t);
int objtab_add(PxObjTable *t, int32_t handle, PxObjKind kind, void *object);
void *objtab_find(const PxObjTable *t, int32_t handle, PxObjKind kind);
void *objtab_removeHandle(PxObjTable *t, int32_t handle, PxObjKind kind);
int32_t objtab_removeObject(PxObjTable *t, const void *object);
int objtab_capacity(const PxObjTable *t);
