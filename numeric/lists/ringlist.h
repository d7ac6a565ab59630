// RingList: the intrusive circular list of the whole system. Each item
// carries a RingLink at a fixed offset; putting an item on a list never
// allocates. The header points at the last link; the last link's next is the
// first. Every operation takes and returns item pointers, never links.
#pragma once

#include <cstdint>

struct RingList;

struct RingLink {
    RingLink *next;   // null when the item is on no list
    RingList *owner;  // the holding list; kept only under kRingOwner
};

enum : uint8_t {
    kRingNoDispose = 1,  // the list does not own its items
    kRingFront = 2,      // an insertion without anchor puts the item first
    kRingOwner = 4,      // links name their list; inserting moves the item
};

struct RingList {
    RingLink *last;
    int32_t linkOffset;  // item + linkOffset = its link
    uint8_t flags;
    uintptr_t userWord;  // for the list's owner; wide enough for a pointer
};

// Frees an item handed back by removal or clearing.
typedef int (*RingDisposeFn)(void *item);
// A find stops at the first non-zero result; pointer-sized so that a test
// may answer with a pointer.
typedef intptr_t (*RingTestFn)(void *item, void *context);
// Positive when the existing item belongs after the new one.
typedef int (*RingCompareFn)(void *existing, void *item, void *context);

void ring_init(RingList *list, uint8_t flags, int32_t linkOffset);
void ring_initWith(RingList *list, uint8_t flags, int32_t linkOffset, uintptr_t userWord);

RingLink *ring_linkOf(const RingList *list, const void *item);
void *ring_itemOf(const RingList *list, const RingLink *link);

void *ring_first(const RingList *list);
void *ring_last(const RingList *list);
// Iteration does not wrap: null after the last and before the first.
void *ring_next(const RingList *list, const void *item);
void *ring_prev(const RingList *list, const void *item);

// An anchor that is not on this list makes an insertion do nothing.
void ring_insertAfter(RingList *list, void *item, void *anchor);
void ring_append(RingList *list, void *item);
void ring_insertBefore(RingList *list, void *item, void *anchor);
void ring_insertAt(RingList *list, void *item, int index);

// Index 0 is the first item, any negative index the last; an index past
// the end wraps around the circle.
void *ring_at(const RingList *list, int index);
int ring_indexOf(const RingList *list, const void *item);
// Constant time for the first and the last item.
bool ring_holds(const RingList *list, const void *item);
int ring_count(const RingList *list);

// Makes the item the last without relinking (null forgets every item);
// returns the previous last item.
void *ring_setLast(RingList *list, void *item);

// Removals change nothing for an item that is not on the list, nor does
// ring_removeAfter for such an anchor.
RingList *ring_remove(RingList *list, void *item);
int ring_removeDispose(RingList *list, void *item, RingDisposeFn dispose);
void *ring_removeAfter(RingList *list, void *item);
void *ring_popFirst(RingList *list);
void ring_clear(RingList *list, RingDisposeFn dispose);
void ring_clearReset(RingList *list, RingDisposeFn dispose);

void *ring_find(const RingList *list, RingTestFn test, void *context, intptr_t *result);
void *ring_findItem(const RingList *list, RingTestFn test, void *context);
intptr_t ring_findValue(const RingList *list, RingTestFn test, void *context);
void *ring_findLast(const RingList *list, RingTestFn test, void *context, intptr_t *result);
void *ring_findLastItem(const RingList *list, RingTestFn test, void *context);
intptr_t ring_findLastValue(const RingList *list, RingTestFn test, void *context);

void ring_insertSorted(RingList *list, void *item, RingCompareFn compare, void *context);
// Stable: equal items keep their order.
void ring_sort(RingList *list, RingCompareFn compare, void *context);
