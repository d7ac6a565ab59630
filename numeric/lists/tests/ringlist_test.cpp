#include "ringlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <random>
#include <vector>

namespace {

// The link sits in the middle so that a wrong offset shows.
struct Item {
    int key;
    RingLink link;
    int tag;
};

constexpr int32_t kOffset = offsetof(Item, link);
using Seq = std::vector<Item *>;

int g_disposed;
int countDispose(void *item) {
    ++g_disposed;
    return static_cast<Item *>(item)->key + 100;
}

int byTag(void *existing, void *item, void *) {
    return static_cast<Item *>(existing)->tag - static_cast<Item *>(item)->tag;
}

// A find result is pointer-sized: the test answers with the item itself.
intptr_t tagIs(void *item, void *ctx) {
    return static_cast<Item *>(item)->tag == *static_cast<int *>(ctx) ? reinterpret_cast<intptr_t>(item) : 0;
}

// Randomized comparison with a vector model: two lists with the same flags;
// under kRingOwner items move freely between and within them. Strangers
// (items on the other list or on none) given to remove or as an anchor
// change nothing.
struct Model {
    static constexpr int kItems = 10;
    uint8_t flags;
    Item items[kItems];
    RingList lists[2];
    Seq model[2];

    explicit Model(uint8_t f) : flags(f) {
        for (int i = 0; i < kItems; ++i) items[i] = Item{i, {nullptr, nullptr}, 0};
        for (auto &l : lists) ring_init(&l, f, kOffset);
    }
    bool owner() const { return flags & kRingOwner; }
    bool disposes() const { return !(flags & kRingNoDispose); }
    int where(Item *it) const {
        for (int k = 0; k < 2; ++k)
            if (std::count(model[k].begin(), model[k].end(), it)) return k;
        return -1;
    }
    static void drop(Seq &m, Item *it) { m.erase(std::remove(m.begin(), m.end(), it), m.end()); }
    void take(Item *it) {
        for (Seq &m : model) drop(m, it);
    }
    // Under kRingOwner any item; otherwise an item on no list, or null.
    Item *pickFree(std::mt19937 &rng) {
        Seq free;
        for (auto &it : items)
            if (owner() || where(&it) < 0) free.push_back(&it);
        return free.empty() ? nullptr : free[rng() % free.size()];
    }
    // Mostly an item of list k; now and then one on no list or on the other.
    Item *pickAnchor(std::mt19937 &rng, int k) {
        Item *it = &items[rng() % kItems];
        if (where(it) == k || rng() % 3 == 0) return it;
        return model[k].empty() ? nullptr : model[k][rng() % model[k].size()];
    }

    void step(std::mt19937 &rng) {
        int k = rng() % 2;
        RingList &l = lists[k];
        Seq &m = model[k];
        auto at = [&](Item *anchor) { return std::find(m.begin(), m.end(), anchor); };
        Item *it = pickFree(rng), *anchor = pickAnchor(rng, k);
        switch (rng() % 10) {
        case 0:  // append
            if (!it) return;
            ring_append(&l, it);
            take(it);
            m.insert(flags & kRingFront ? m.begin() : m.end(), it);
            break;
        case 1:  // insert after an anchor; after itself it stays put
            if (!it || !anchor) return;
            ring_insertAfter(&l, it, anchor);
            if (it == anchor || at(anchor) == m.end()) return;
            take(it);
            m.insert(at(anchor) + 1, it);
            break;
        case 2:  // insert before any item, strangers included
            anchor = &items[rng() % kItems];
            if (!it) return;
            ring_insertBefore(&l, it, anchor);
            if (it == anchor || at(anchor) == m.end()) return;
            take(it);
            m.insert(at(anchor), it);
            break;
        case 3: {  // insert at an index, possibly wrapping or negative
            if (!it) return;
            int index = static_cast<int>(rng() % 25) - 5;
            anchor = m.empty() ? nullptr : index < 0 ? m.back() : m[index % m.size()];
            ring_insertAt(&l, it, index);
            if (it == anchor) return;
            take(it);
            m.insert(anchor ? at(anchor) : m.begin(), it);
            break;
        }
        case 4: {  // remove any item, disposing of it when the list owns it
            it = &items[rng() % kItems];
            bool on = at(it) != m.end();
            int disposed = g_disposed;
            if (rng() % 2) {
                ring_remove(&l, it);
            } else {
                EXPECT_EQ(!on ? 0 : disposes() ? it->key + 100 : 1, ring_removeDispose(&l, it, countDispose));
                EXPECT_EQ(disposed + (on && disposes()), g_disposed);
            }
            drop(m, it);
            break;
        }
        case 5:  // remove the follower; a stranger's follower is not this list's
            if (!anchor) return;
            it = at(anchor) == m.end() ? nullptr : m[(at(anchor) - m.begin() + 1) % m.size()];
            EXPECT_EQ(it, ring_removeAfter(&l, anchor));
            drop(m, it);
            break;
        case 6:
            EXPECT_EQ(m.empty() ? nullptr : m.front(), ring_popFirst(&l));
            if (!m.empty()) m.erase(m.begin());
            break;
        case 7:  // stable sort on a few distinct tags
            for (auto &i : items) i.tag = rng() % 3;
            ring_sort(&l, byTag, nullptr);
            std::stable_sort(m.begin(), m.end(), [](Item *a, Item *b) { return a->tag < b->tag; });
            break;
        case 8:  // sorted insert of an item not on this list: after its equals
            if (!it || where(it) == k) return;
            it->tag = rng() % 3;
            ring_insertSorted(&l, it, byTag, nullptr);
            take(it);
            m.insert(std::find_if(m.begin(), m.end(), [&](Item *e) { return e->tag > it->tag; }), it);
            break;
        case 9: {  // clear: every item leaves, owners forgotten
            if (rng() % 4) return;
            int disposed = g_disposed;
            ring_clear(&l, countDispose);
            EXPECT_EQ(disposed + (disposes() ? static_cast<int>(m.size()) : 0), g_disposed);
            m.clear();
            break;
        }
        }
    }

    void check() {
        for (auto &it : items) {
            int w = where(&it);
            if (owner()) {
                ASSERT_EQ(w < 0 ? nullptr : &lists[w], it.link.owner);
            }
            if (w < 0) {
                ASSERT_EQ(nullptr, it.link.next);
            }
        }
        for (int k = 0; k < 2; ++k) ASSERT_NO_FATAL_FAILURE(checkList(k));
    }

    void checkList(int k) {
        RingList &l = lists[k];
        const Seq &want = model[k];
        Seq got;
        for (void *p = ring_first(&l); p && got.size() <= kItems; p = ring_next(&l, p))
            got.push_back(static_cast<Item *>(p));
        ASSERT_EQ(want, got) << "list " << k;
        int n = static_cast<int>(want.size());
        ASSERT_EQ(n, ring_count(&l));
        ASSERT_EQ(n ? want.back() : nullptr, ring_at(&l, INT_MIN));
        ASSERT_EQ(n ? want[INT_MAX % n] : nullptr, ring_at(&l, INT_MAX));  // whole laps skipped
        for (int i = 0; i < n; ++i) ASSERT_EQ(want[i], ring_at(&l, i + n));
        for (auto &it : items) {
            auto pos = std::find(want.begin(), want.end(), &it);
            int i = pos == want.end() ? -1 : static_cast<int>(pos - want.begin());
            ASSERT_EQ(i, ring_indexOf(&l, &it));
            ASSERT_EQ(i >= 0, ring_holds(&l, &it));
            ASSERT_EQ(i > 0 ? want[i - 1] : nullptr, ring_prev(&l, &it));
        }
        for (int tag = 0; tag < 3; ++tag) {
            auto first = std::find_if(want.begin(), want.end(), [&](Item *e) { return e->tag == tag; });
            auto last = std::find_if(want.rbegin(), want.rend(), [&](Item *e) { return e->tag == tag; });
            Item *wantFirst = first == want.end() ? nullptr : *first, *wantLast = last == want.rend() ? nullptr : *last;
            intptr_t r = -1;
            ASSERT_EQ(wantFirst, ring_find(&l, tagIs, &tag, &r));
            ASSERT_EQ(reinterpret_cast<intptr_t>(wantFirst), r);
            ASSERT_EQ(wantLast, ring_findLast(&l, tagIs, &tag, &r));
            ASSERT_EQ(reinterpret_cast<intptr_t>(wantLast), r);
        }
    }
};

TEST(RingListModel, RandomOperationsMatchAVectorUnderEveryFlag) {
    for (uint8_t flags : {0, 1, 2, 4, 6})
        for (unsigned seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(testing::Message() << "flags " << int(flags) << " seed " << seed);
            Model m(flags);
            std::mt19937 rng(seed);
            for (int s = 0; s < 300 && !HasFailure(); ++s) {
                m.step(rng);
                m.check();
            }
            if (HasFailure()) return;
        }
}

}  // namespace
