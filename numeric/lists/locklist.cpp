#include "locklist.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
void lockInit(LockListLock *l) { InitializeCriticalSection(l); }
void lockDelete(LockListLock *l) { DeleteCriticalSection(l); }
void lockEnter(LockListLock *l) { EnterCriticalSection(l); }
void lockLeave(LockListLock *l) { LeaveCriticalSection(l); }
#else
std::recursive_mutex *mutexOf(LockListLock *l) {
    return std::launder(reinterpret_cast<std::recursive_mutex *>(l->storage));
}
void lockInit(LockListLock *l) { new (l->storage) std::recursive_mutex; }
void lockDelete(LockListLock *l) { mutexOf(l)->~recursive_mutex(); }
void lockEnter(LockListLock *l) { mutexOf(l)->lock(); }
void lockLeave(LockListLock *l) { mutexOf(l)->unlock(); }
#endif

// Holds the list's critical section, when it has one, for one operation.
class Held {
public:
    explicit Held(const LockList *list) : lock_(list ? list->lock : nullptr) {
        if (lock_) lockEnter(lock_);
    }
    ~Held() {
        if (lock_) lockLeave(lock_);
    }
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;

private:
    LockListLock *lock_;
};

RingList *ringOf(LockList *list) { return list ? &list->ring : nullptr; }
const RingList *ringOf(const LockList *list) { return list ? &list->ring : nullptr; }

LockList *listOf(RingList *ring) {
    // ring is the first member of a standard-layout LockList.
    return reinterpret_cast<LockList *>(ring);
}

// An item that sits on another list is taken off it under that list's own
// lock before this list's lock is taken: never two locks at once.
void leaveOtherList(LockList *list, void *item) {
    if (!(list->ring.flags & kLockOwner)) return;
    LockNode *node = ring_linkOf(ringOf(list), item);
    if (node->owner && node->owner != ringOf(list)) LockNodeUnlink(node);
}

// A stranger anchor refuses the insertion; looked at before the item
// leaves its other list, so that the item stays where it was.
bool acceptsAnchor(LockList *list, void *anchor) {
    Held h(list);
    return !anchor || ring_holds(ringOf(list), anchor);
}

}  // namespace

void LockListInit(LockList *list, uint8_t flags, int32_t linkOffset) {
    LockListInitEx(list, flags, linkOffset, nullptr);
}

void LockListInitEx(LockList *list, uint8_t flags, int32_t linkOffset, LockListLock *lock) {
    ring_init(ringOf(list), flags, linkOffset);
    list->lock = lock;
}

void LockListInitLocked(LockList *list, uint8_t flags, int32_t linkOffset, LockListLock *lock) {
    LockListInitEx(list, flags, linkOffset, lock);
    if (lock) lockInit(lock);
}

void LockListDone(LockList *list, LockFreeFn freeItem) {
    if (!list) return;
    LockListClear(list, freeItem);
    if (list->lock) lockDelete(list->lock);
    list->lock = nullptr;
}

void LockListClear(LockList *list, LockFreeFn freeItem) { ring_clear(ringOf(list), freeItem); }

void LockListAdd(LockList *list, void *item) { LockListInsert(list, item, nullptr); }

void LockListInsert(LockList *list, void *item, void *after) {
    if (!list || !item || !acceptsAnchor(list, after)) return;
    leaveOtherList(list, item);
    Held h(list);
    ring_insertAfter(ringOf(list), item, after);
}

void LockListInsertBefore(LockList *list, void *item, void *before) {
    if (!list || !item || !acceptsAnchor(list, before)) return;
    leaveOtherList(list, item);
    Held h(list);
    ring_insertBefore(ringOf(list), item, before);
}

void LockListInsertAt(LockList *list, void *item, int index) {
    if (!list || !item) return;
    leaveOtherList(list, item);
    Held h(list);
    ring_insertAt(ringOf(list), item, index);
}

void *LockListAt(LockList *list, int index) {
    Held h(list);
    return ring_at(ringOf(list), index);
}

int LockListIndexOf(LockList *list, const void *item) {
    Held h(list);
    return ring_indexOf(ringOf(list), item);
}

int LockListCount(LockList *list) {
    Held h(list);
    return ring_count(ringOf(list));
}

void *LockListFirst(LockList *list) {
    Held h(list);
    return ring_first(ringOf(list));
}

void *LockListLast(LockList *list) {
    Held h(list);
    return ring_last(ringOf(list));
}

void *LockListNext(LockList *list, const void *item) {
    Held h(list);
    return ring_next(ringOf(list), item);
}

void *LockListPrev(LockList *list, const void *item) {
    Held h(list);
    return ring_prev(ringOf(list), item);
}

void *LockListWalk(LockList *list, LockWalkFn walk, void *datum, intptr_t *value) {
    Held h(list);
    return ring_find(ringOf(list), walk, datum, value);
}

void *LockListFind(LockList *list, LockWalkFn walk, void *datum) {
    return LockListWalk(list, walk, datum, nullptr);
}

intptr_t LockListFindValue(LockList *list, LockWalkFn walk, void *datum) {
    intptr_t v;
    LockListWalk(list, walk, datum, &v);
    return v;
}

void *LockListWalkBack(LockList *list, LockWalkFn walk, void *datum, intptr_t *value) {
    Held h(list);
    return ring_findLast(ringOf(list), walk, datum, value);
}

void *LockListFindBack(LockList *list, LockWalkFn walk, void *datum) {
    return LockListWalkBack(list, walk, datum, nullptr);
}

intptr_t LockListFindBackValue(LockList *list, LockWalkFn walk, void *datum) {
    intptr_t v;
    LockListWalkBack(list, walk, datum, &v);
    return v;
}

void LockListRemove(LockList *list, void *item) {
    Held h(list);
    ring_remove(ringOf(list), item);
}

int LockListDelete(LockList *list, void *item, LockFreeFn freeItem) {
    Held h(list);
    return ring_removeDispose(ringOf(list), item, freeItem);
}

void LockListInsertSorted(LockList *list, void *item, LockCompareFn compare, void *context) {
    if (!list || !item) return;
    leaveOtherList(list, item);
    Held h(list);
    ring_insertSorted(ringOf(list), item, compare, context);
}

void LockListSort(LockList *list, LockCompareFn compare, void *context) {
    Held h(list);
    ring_sort(ringOf(list), compare, context);
}

void *LockListPopFirst(LockList *list) {
    Held h(list);
    return ring_popFirst(ringOf(list));
}

void *LockListRemoveNext(LockList *list, void *item) {
    Held h(list);
    return ring_removeAfter(ringOf(list), item);
}

void LockNodeInit(LockNode *node) {
    node->next = nullptr;
    node->owner = nullptr;
}

void LockNodeUnlink(LockNode *node) {
    if (!node || !node->owner) return;
    LockList *list = listOf(node->owner);
    Held h(list);
    ring_remove(ringOf(list), ring_itemOf(ringOf(list), node));
}

LockNode *LockListFirstNode(const LockList *list) {
    return list->ring.last ? list->ring.last->next : nullptr;
}

LockNode *LockListNextNode(const LockList *list, const LockNode *node) {
    return !node || node == list->ring.last ? nullptr : node->next;
}

LockNode *LockListPrevNode(const LockList *list, const LockNode *node) {
    void *item = ring_prev(ringOf(list), ring_itemOf(ringOf(list), node));
    return ring_linkOf(ringOf(list), item);
}

void *LockListNodeItem(const LockList *list, const LockNode *node) {
    return ring_itemOf(ringOf(list), node);
}

void *LockListSetLast(LockList *list, void *item) { return ring_setLast(ringOf(list), item); }
