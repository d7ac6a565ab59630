#include "objtable.h"

#include <new>

namespace {

bool kindMatches(PxObjKind have, PxObjKind want) {
    return want == PxObjKind::Any || have == want;
}

int findIndex(const PxObjTable *t, int32_t handle, PxObjKind kind) {
    if (handle == 0) return -1;
    for (int i = 0; i < t->count; ++i) {
        const PxObjEntry &e = t->entries[i];
        if (e.handle == handle && kindMatches(e.kind, kind)) return i;
    }
    return -1;
}

void removeAt(PxObjTable *t, int i) {
    t->entries[i] = PxObjEntry{};
    while (t->count > 0 && t->entries[t->count - 1].handle == 0) --t->count;
}

}  // namespace

int objtab_create(PxObjTable *t) {
    objtab_free(t);
    try {
        t->entries.assign(kPxObjTableStep, PxObjEntry{});
    } catch (const std::bad_alloc &) {
        return -1;
    }
    t->count = 0;
    t->live = true;
    return 0;
}

void objtab_free(PxObjTable *t) {
    std::vector<PxObjEntry>().swap(t->entries);
    t->count = 0;
    t->live = false;
}

int objtab_add(PxObjTable *t, int32_t handle, PxObjKind kind, void *object) {
    // Handle 0 marks a free entry, so it can never name an object.
    if (!t->live || handle == 0 || kind == PxObjKind::None || kind == PxObjKind::Any) return -1;
    for (int i = t->count - 1; i >= 0; --i) {
        if (t->entries[i].handle == 0) {
            t->entries[i] = PxObjEntry{handle, kind, object};
            return 0;
        }
    }
    if (t->count == static_cast<int>(t->entries.size())) {
        try {
            t->entries.resize(t->entries.size() + kPxObjTableStep, PxObjEntry{});
        } catch (const std::bad_alloc &) {
            return -1;
        }
    }
    t->entries[t->count++] = PxObjEntry{handle, kind, object};
    return 0;
}

void *objtab_find(const PxObjTable *t, int32_t handle, PxObjKind kind) {
    int i = findIndex(t, handle, kind);
    return i < 0 ? nullptr : t->entries[i].object;
}

void *objtab_removeHandle(PxObjTable *t, int32_t handle, PxObjKind kind) {
    int i = findIndex(t, handle, kind);
    if (i < 0) return nullptr;
    void *object = t->entries[i].object;
    removeAt(t, i);
    return object;
}

int32_t objtab_removeObject(PxObjTable *t, const void *object) {
    for (int i = 0; i < t->count; ++i) {
        if (t->entries[i].handle != 0 && t->entries[i].object == object) {
            int32_t handle = t->entries[i].handle;
            removeAt(t, i);
            return handle;
        }
    }
    return 0;
}

int objtab_capacity(const PxObjTable *t) { return static_cast<int>(t->entries.size()); }
