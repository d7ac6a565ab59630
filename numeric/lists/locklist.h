// LockList: the ring list of the terminal service, script and automation
// modules, with an optional critical section that every operation holds
// for its whole duration (walk and sort callbacks run inside it).
#pragma once

#include <cstdint>

#include "ringlist.h"

#ifdef _WIN32
struct _RTL_CRITICAL_SECTION;
typedef _RTL_CRITICAL_SECTION LockListLock;  // a CRITICAL_SECTION
#else
#include <mutex>
// The native build, which tests the lists, locks with a recursive mutex
// set up and torn down like a critical section.
struct LockListLock {
    alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
};
#endif

typedef RingLink LockNode;  // next; back pointer to the list under flag 4

enum : uint8_t {
    kLockNoFree = kRingNoDispose,
    kLockFront = kRingFront,
    kLockOwner = kRingOwner,
};

struct LockList {
    RingList ring;  // first: a node's back pointer names it
    LockListLock *lock;
};

typedef RingDisposeFn LockFreeFn;
typedef RingTestFn LockWalkFn;
typedef RingCompareFn LockCompareFn;

void LockListInit(LockList *list, uint8_t flags, int32_t linkOffset);
void LockListInitEx(LockList *list, uint8_t flags, int32_t linkOffset, LockListLock *lock);
// Also initialises the critical section when one is given.
void LockListInitLocked(LockList *list, uint8_t flags, int32_t linkOffset, LockListLock *lock);
// Clears, then deletes the critical section and forgets it.
void LockListDone(LockList *list, LockFreeFn freeItem);
// Without the lock: the owner calls it when nobody else can reach the list.
void LockListClear(LockList *list, LockFreeFn freeItem);

void LockListAdd(LockList *list, void *item);
void LockListInsert(LockList *list, void *item, void *after);
void LockListInsertBefore(LockList *list, void *item, void *before);
void LockListInsertAt(LockList *list, void *item, int index);
void *LockListAt(LockList *list, int index);
int LockListIndexOf(LockList *list, const void *item);
int LockListCount(LockList *list);
void *LockListFirst(LockList *list);
void *LockListLast(LockList *list);
void *LockListNext(LockList *list, const void *item);
void *LockListPrev(LockList *list, const void *item);

void *LockListWalk(LockList *list, LockWalkFn walk, void *datum, intptr_t *value);
void *LockListFind(LockList *list, LockWalkFn walk, void *datum);
intptr_t LockListFindValue(LockList *list, LockWalkFn walk, void *datum);
void *LockListWalkBack(LockList *list, LockWalkFn walk, void *datum, intptr_t *value);
void *LockListFindBack(LockList *list, LockWalkFn walk, void *datum);
intptr_t LockListFindBackValue(LockList *list, LockWalkFn walk, void *datum);

void LockListRemove(LockList *list, void *item);
// Unless the list has flag 1, the free callback's result; else the flag bit.
int LockListDelete(LockList *list, void *item, LockFreeFn freeItem);
void LockListInsertSorted(LockList *list, void *item, LockCompareFn compare, void *context);
void LockListSort(LockList *list, LockCompareFn compare, void *context);
void *LockListPopFirst(LockList *list);
void *LockListRemoveNext(LockList *list, void *item);

void LockNodeInit(LockNode *node);
// Takes the node off the list its back pointer names, under that list's
// lock; nothing without a back pointer.
void LockNodeUnlink(LockNode *node);

// Raw node helpers, without the lock.
LockNode *LockListFirstNode(const LockList *list);
LockNode *LockListNextNode(const LockList *list, const LockNode *node);  // null after the last
LockNode *LockListPrevNode(const LockList *list, const LockNode *node);
void *LockListNodeItem(const LockList *list, const LockNode *node);
void *LockListSetLast(LockList *list, void *item);  // returns the old last item
