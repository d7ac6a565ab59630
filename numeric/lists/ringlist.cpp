#include "ringlist.h"

namespace {

RingLink *linkOf(const RingList *list, const void *item) {
    return reinterpret_cast<RingLink *>(const_cast<char *>(static_cast<const char *>(item)) +
                                        list->linkOffset);
}

void *itemOf(const RingList *list, const RingLink *link) {
    return const_cast<char *>(reinterpret_cast<const char *>(link)) - list->linkOffset;
}

RingLink *firstLink(const RingList *list) { return list->last ? list->last->next : nullptr; }

// The link whose next is the wanted one. One lap at most: an item that is
// not on this list has no predecessor here.
RingLink *predecessor(const RingList *list, const RingLink *link) {
    RingLink *last = list->last;
    if (!last || !link) return nullptr;
    RingLink *p = last;
    do {
        if (p->next == link) return p;
        p = p->next;
    } while (p && p != last);
    return nullptr;
}

void forget(const RingList *list, RingLink *link) {
    link->next = nullptr;
    if (list->flags & kRingOwner) link->owner = nullptr;
}

// Whether the link is on this list: constant time for the first and the last.
bool holds(const RingList *list, const RingLink *link) {
    return link && list->last && (link == list->last || predecessor(list, link));
}

bool unlink(RingList *list, RingLink *link) {
    RingLink *pred = predecessor(list, link);
    if (!pred) return false;
    pred->next = link->next;
    if (list->last == link) list->last = (pred == link) ? nullptr : pred;
    forget(list, link);
    return true;
}

// Links the item after the anchor, which is on this list; without anchor
// it goes last, or first when front is set.
void insertLink(RingList *list, RingLink *link, RingLink *anchor, bool front) {
    // After itself is where it already is.
    if (anchor == link) return;
    if (list->flags & kRingOwner) {
        if (link->owner) unlink(link->owner, link);
        link->owner = list;
    }
    if (anchor) {
        link->next = anchor->next;
        anchor->next = link;
        if (list->last == anchor) list->last = link;
    } else if (!list->last) {
        link->next = link;
        list->last = link;
    } else {
        link->next = list->last->next;
        list->last->next = link;
        if (!front) list->last = link;
    }
}

}  // namespace

void ring_init(RingList *list, uint8_t flags, int32_t linkOffset) {
    list->last = nullptr;
    list->linkOffset = linkOffset;
    list->flags = flags;
    list->userWord = 0;
}

void ring_initWith(RingList *list, uint8_t flags, int32_t linkOffset, uintptr_t userWord) {
    ring_init(list, flags, linkOffset);
    list->userWord = userWord;
}

RingLink *ring_linkOf(const RingList *list, const void *item) {
    return item ? linkOf(list, item) : nullptr;
}

void *ring_itemOf(const RingList *list, const RingLink *link) {
    return link ? itemOf(list, link) : nullptr;
}

void *ring_first(const RingList *list) {
    return list && list->last ? itemOf(list, firstLink(list)) : nullptr;
}

void *ring_last(const RingList *list) {
    return list && list->last ? itemOf(list, list->last) : nullptr;
}

void *ring_next(const RingList *list, const void *item) {
    if (!list || !list->last || !item) return nullptr;
    RingLink *link = linkOf(list, item);
    if (link == list->last || !link->next) return nullptr;
    return itemOf(list, link->next);
}

void *ring_prev(const RingList *list, const void *item) {
    if (!list || !list->last || !item) return nullptr;
    RingLink *link = linkOf(list, item);
    if (link == firstLink(list)) return nullptr;
    RingLink *pred = predecessor(list, link);
    return pred ? itemOf(list, pred) : nullptr;
}

void ring_insertAfter(RingList *list, void *item, void *anchor) {
    if (!list || !item) return;
    RingLink *at = anchor ? linkOf(list, anchor) : nullptr;
    // Linking after another list's item would splice this item into that
    // list's circle; under flag 4 the item must not even leave its own list.
    if (at && !holds(list, at)) return;
    insertLink(list, linkOf(list, item), at, list->flags & kRingFront);
}

void ring_append(RingList *list, void *item) { ring_insertAfter(list, item, nullptr); }

void ring_insertBefore(RingList *list, void *item, void *anchor) {
    if (!list || !item) return;
    RingLink *link = linkOf(list, item);
    if (!anchor) {
        insertLink(list, link, nullptr, true);
        return;
    }
    RingLink *at = linkOf(list, anchor);
    if (!list->last || at == link) return;
    RingLink *pred = nullptr;
    if (at != firstLink(list)) {
        pred = predecessor(list, at);
        if (!pred) return;  // the anchor is not on this list
    }
    insertLink(list, link, pred, true);
}

void ring_insertAt(RingList *list, void *item, int index) {
    ring_insertBefore(list, item, ring_at(list, index));
}

void *ring_at(const RingList *list, int index) {
    if (!list || !list->last) return nullptr;
    if (index < 0) return itemOf(list, list->last);
    int64_t steps = static_cast<int64_t>(index) + 1;
    RingLink *p = list->last;
    for (int64_t i = 0; i < steps;) {
        p = p->next;
        ++i;
        // Back at the last after one lap: i is the count, skip whole laps.
        if (p == list->last && i < steps) steps = i + (steps - i) % i;
    }
    return itemOf(list, p);
}

int ring_indexOf(const RingList *list, const void *item) {
    if (!list || !list->last || !item) return -1;
    const RingLink *link = linkOf(list, item);
    const RingLink *p = list->last;
    int k = 0;
    do {
        p = p->next;
        if (p == link) return k;
        ++k;
    } while (p != list->last);
    return -1;
}

bool ring_holds(const RingList *list, const void *item) {
    return list && item && holds(list, linkOf(list, item));
}

int ring_count(const RingList *list) {
    if (!list || !list->last) return 0;
    return ring_indexOf(list, itemOf(list, list->last)) + 1;
}

void *ring_setLast(RingList *list, void *item) {
    void *old = ring_last(list);
    list->last = item ? linkOf(list, item) : nullptr;
    return old;
}

RingList *ring_remove(RingList *list, void *item) {
    if (list && item) unlink(list, linkOf(list, item));
    return list;
}

int ring_removeDispose(RingList *list, void *item, RingDisposeFn dispose) {
    if (!list || !item) return 0;
    // A stranger is neither unlinked nor disposed of: it may live elsewhere.
    if (!unlink(list, linkOf(list, item))) return 0;
    if (list->flags & kRingNoDispose) return 1;
    return dispose ? dispose(item) : 0;
}

void *ring_removeAfter(RingList *list, void *item) {
    if (!list || !item) return nullptr;
    RingLink *link = linkOf(list, item);
    // The follower of another list's item belongs to that list.
    if (!holds(list, link)) return nullptr;
    RingLink *gone = link->next;
    link->next = gone->next;
    if (gone == link) {
        list->last = nullptr;
    } else if (gone == list->last) {
        list->last = link;
    }
    forget(list, gone);
    return itemOf(list, gone);
}

void *ring_popFirst(RingList *list) {
    if (!list || !list->last) return nullptr;
    return ring_removeAfter(list, itemOf(list, list->last));
}

void ring_clear(RingList *list, RingDisposeFn dispose) {
    if (!list) return;
    // Detached first: a dispose routine that looks at the list finds it empty.
    RingLink *last = list->last;
    list->last = nullptr;
    if (!last) return;
    bool callDispose = dispose && !(list->flags & kRingNoDispose);
    RingLink *p = last->next;
    for (;;) {
        RingLink *next = p->next;
        bool end = p == last;
        forget(list, p);
        if (callDispose) dispose(itemOf(list, p));
        if (end) break;
        p = next;
    }
}

void ring_clearReset(RingList *list, RingDisposeFn dispose) {
    ring_clear(list, dispose);
    if (list) list->userWord = 0;
}

void *ring_find(const RingList *list, RingTestFn test, void *context, intptr_t *result) {
    if (result) *result = 0;
    if (!list || !list->last || !test) return nullptr;
    RingLink *p = firstLink(list);
    for (;;) {
        // Read before the test, which may take the item off the list.
        RingLink *next = p->next;
        bool end = p == list->last;
        void *item = itemOf(list, p);
        if (intptr_t r = test(item, context)) {
            if (result) *result = r;
            return item;
        }
        if (end || !next) return nullptr;
        p = next;
    }
}

void *ring_findItem(const RingList *list, RingTestFn test, void *context) {
    return ring_find(list, test, context, nullptr);
}

intptr_t ring_findValue(const RingList *list, RingTestFn test, void *context) {
    intptr_t r;
    ring_find(list, test, context, &r);
    return r;
}

void *ring_findLast(const RingList *list, RingTestFn test, void *context, intptr_t *result) {
    if (result) *result = 0;
    if (!list || !list->last || !test) return nullptr;
    RingLink *p = list->last;
    for (;;) {
        RingLink *first = firstLink(list);
        RingLink *prev = p == first ? nullptr : predecessor(list, p);
        void *item = itemOf(list, p);
        if (intptr_t r = test(item, context)) {
            if (result) *result = r;
            return item;
        }
        if (!prev || !list->last) return nullptr;
        p = prev;
    }
}

void *ring_findLastItem(const RingList *list, RingTestFn test, void *context) {
    return ring_findLast(list, test, context, nullptr);
}

intptr_t ring_findLastValue(const RingList *list, RingTestFn test, void *context) {
    intptr_t r;
    ring_findLast(list, test, context, &r);
    return r;
}

void ring_insertSorted(RingList *list, void *item, RingCompareFn compare, void *context) {
    if (!list || !item || !compare) return;
    RingLink *after = nullptr;
    if (list->last) {
        RingLink *p = firstLink(list);
        for (;;) {
            if (compare(itemOf(list, p), item, context) > 0) break;
            after = p;
            if (p == list->last) break;
            p = p->next;
        }
    }
    insertLink(list, linkOf(list, item), after, true);
}

void ring_sort(RingList *list, RingCompareFn compare, void *context) {
    if (!list || !compare) return;
    RingLink *last = list->last;
    list->last = nullptr;
    if (!last) return;
    RingLink *p = last->next;
    for (;;) {
        RingLink *next = p->next;
        bool end = p == last;
        forget(list, p);
        ring_insertSorted(list, itemOf(list, p), compare, context);
        if (end) break;
        p = next;
    }
}
