#include "ringlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <list>
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

std::vector<int> keys(const RingList &l) {
    std::vector<int> out;
    for (void *p = ring_first(&l); p; p = ring_next(&l, p)) out.push_back(static_cast<Item *>(p)->key);
    return out;
}

int g_disposed;
int countDispose(void *item) {
    ++g_disposed;
    return static_cast<Item *>(item)->key + 100;
}

int byKey(void *existing, void *item, void *) {
    return static_cast<Item *>(existing)->key - static_cast<Item *>(item)->key;
}

intptr_t keyIs(void *item, void *ctx) {
    return static_cast<Item *>(item)->key == *static_cast<int *>(ctx) ? reinterpret_cast<intptr_t>(item) : 0;
}

struct Flags : ::testing::TestWithParam<uint8_t> {
    RingList l;
    Item it[6];
    void SetUp() override {
        g_disposed = 0;
        ring_init(&l, GetParam(), kOffset);
        for (int i = 0; i < 6; ++i) it[i] = Item{i, {nullptr, nullptr}, 0};
        for (int i = 1; i <= 3; ++i) ring_append(&l, &it[i]);
    }
    bool front() const { return GetParam() & kRingFront; }
};

TEST_P(Flags, DisposeOnlyWhenTheListOwnsItsItems) {
    bool owns = !(GetParam() & kRingNoDispose);
    EXPECT_EQ(0, ring_removeDispose(&l, nullptr, countDispose));
    EXPECT_EQ(owns ? 102 : 1, ring_removeDispose(&l, &it[2], countDispose));
    EXPECT_EQ(owns ? 0 : 1, ring_removeDispose(&l, &it[1], nullptr));
    ring_clear(&l, countDispose);
    EXPECT_EQ(owns ? 2 : 0, g_disposed);
    EXPECT_EQ(nullptr, ring_first(&l));
}

TEST_P(Flags, FindFromEitherEndGivesAPointerSizedResult) {
    it[3].key = 1;  // two items with key 1
    int want = 1;
    intptr_t r = -1;
    Item *first = front() ? &it[3] : &it[1], *last = front() ? &it[1] : &it[3];
    EXPECT_EQ(first, ring_find(&l, keyIs, &want, &r));
    EXPECT_EQ(reinterpret_cast<intptr_t>(first), r);
    EXPECT_EQ(last, ring_findLast(&l, keyIs, &want, &r));
    EXPECT_EQ(reinterpret_cast<intptr_t>(last), r);
    want = 9;
    EXPECT_EQ(nullptr, ring_find(&l, keyIs, &want, &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ(nullptr, ring_findLast(&l, keyIs, &want, &r));
    EXPECT_EQ(0, r);
}

TEST_P(Flags, StrangersAreNeitherRemovedNorUsedAsAnchors) {
    RingList other;
    ring_init(&other, GetParam(), kOffset);
    ring_append(&other, &it[4]);
    std::vector<int> before = keys(l);
    ring_remove(&l, &it[4]);
    ring_remove(&l, &it[5]);
    EXPECT_EQ(0, ring_removeDispose(&l, &it[4], countDispose));
    EXPECT_EQ(0, g_disposed);
    EXPECT_EQ(nullptr, ring_prev(&l, &it[4]));
    ring_insertBefore(&l, &it[0], &it[4]);
    ring_insertBefore(&l, &it[0], &it[5]);
    ring_insertAfter(&l, &it[0], &it[5]);
    EXPECT_EQ(before, keys(l));
    EXPECT_EQ(std::vector<int>{4}, keys(other));
}

INSTANTIATE_TEST_SUITE_P(RingList, Flags, ::testing::Values(0, 1, 2, 4));

TEST(RingList, AtSkipsWholeLapsAndNegativeIndexesGiveTheLast) {
    RingList l;
    ring_init(&l, 0, kOffset);
    EXPECT_EQ(nullptr, ring_at(&l, 0));
    Item it[3] = {};
    for (Item &i : it) ring_append(&l, &i);
    EXPECT_EQ(&it[2], ring_at(&l, INT_MIN));
    EXPECT_EQ(&it[INT_MAX % 3], ring_at(&l, INT_MAX));
}

TEST(RingList, SortIsStableAndSortedInsertGoesAfterEquals) {
    RingList l;
    ring_init(&l, kRingFront, kOffset);
    Item it[6] = {{2, {}, 0}, {1, {}, 0}, {2, {}, 0}, {0, {}, 0}, {1, {}, 0}, {-1, {}, 0}};
    for (int i = 3; i >= 0; --i) ring_append(&l, &it[i]);  // 2, 1, 2', 0
    ring_sort(&l, byKey, nullptr);
    ring_insertSorted(&l, &it[4], byKey, nullptr);
    ring_insertSorted(&l, &it[5], byKey, nullptr);
    std::vector<Item *> got;
    for (void *p = ring_first(&l); p; p = ring_next(&l, p)) got.push_back(static_cast<Item *>(p));
    EXPECT_EQ((std::vector<Item *>{&it[5], &it[3], &it[1], &it[4], &it[0], &it[2]}), got);
}

TEST(RingOwner, InsertingAnItemOfAnotherListMovesIt) {
    RingList a, b;
    ring_init(&a, kRingOwner, kOffset);
    ring_init(&b, kRingOwner | kRingFront, kOffset);
    Item it[3] = {{0, {}, 0}, {1, {}, 0}, {2, {}, 0}};
    for (Item &i : it) ring_append(&a, &i);
    ring_append(&b, &it[2]);
    ring_insertAfter(&b, &it[0], &it[2]);
    EXPECT_EQ(std::vector<int>{1}, keys(a));
    EXPECT_EQ((std::vector<int>{2, 0}), keys(b));
    EXPECT_EQ(&b, it[0].link.owner);
    ring_insertAfter(&b, &it[0], &it[0]);  // after itself: stays put
    EXPECT_EQ((std::vector<int>{2, 0}), keys(b));
    ring_remove(&b, &it[2]);
    EXPECT_EQ(nullptr, it[2].link.owner);
}

// Randomized comparison with a std::list model: two lists with the same
// flags; under flag 4 items move freely between and within them.
class Model {
public:
    explicit Model(uint8_t flags) : flags_(flags) {
        for (int i = 0; i < kItems; ++i) items_[i] = Item{i, {nullptr, nullptr}, 0};
        for (auto &l : lists_) ring_init(&l, flags, kOffset);
    }

    void run(unsigned seed, int steps) {
        std::mt19937 rng(seed);
        for (int s = 0; s < steps; ++s) {
            step(rng);
            ASSERT_NO_FATAL_FAILURE(check());
        }
    }

private:
    static constexpr int kItems = 10;
    using Seq = std::list<Item *>;

    int where(Item *it) const {
        for (int k = 0; k < 2; ++k)
            if (std::find(model_[k].begin(), model_[k].end(), it) != model_[k].end()) return k;
        return -1;
    }
    bool owner() const { return flags_ & kRingOwner; }
    void take(Item *it) {
        int k = where(it);
        if (k >= 0) model_[k].remove(it);
    }
    Item *pick(std::mt19937 &rng) { return &items_[rng() % kItems]; }
    // Under flag 4 any item; otherwise an item on no list, or null.
    Item *pickFree(std::mt19937 &rng) {
        if (owner()) return pick(rng);
        std::vector<Item *> free;
        for (auto &it : items_)
            if (where(&it) < 0) free.push_back(&it);
        return free.empty() ? nullptr : free[rng() % free.size()];
    }
    Item *pickOn(std::mt19937 &rng, int k) {
        if (model_[k].empty()) return nullptr;
        return *std::next(model_[k].begin(), rng() % model_[k].size());
    }
    Seq::iterator at(int k, int index) {
        Seq &m = model_[k];
        if (index < 0) return std::prev(m.end());
        return std::next(m.begin(), index % m.size());
    }
    static int byTag(void *existing, void *item, void *) {
        return static_cast<Item *>(existing)->tag - static_cast<Item *>(item)->tag;
    }

    void step(std::mt19937 &rng) {
        int k = rng() % 2;
        RingList &l = lists_[k];
        Seq &m = model_[k];
        switch (rng() % 9) {
        case 0: {  // append
            Item *it = pickFree(rng);
            if (!it) return;
            take(it);
            if (flags_ & kRingFront) m.push_front(it);
            else m.push_back(it);
            ring_append(&l, it);
            break;
        }
        case 1: {  // insert after an anchor on the list
            Item *it = pickFree(rng), *anchor = pickOn(rng, k);
            if (!it || !anchor) return;
            ring_insertAfter(&l, it, anchor);
            if (it == anchor) return;
            take(it);
            m.insert(std::next(std::find(m.begin(), m.end(), anchor)), it);
            break;
        }
        case 2: {  // insert at an index, possibly wrapping or negative
            Item *it = pickFree(rng);
            if (!it) return;
            int index = static_cast<int>(rng() % 25) - 5;
            Item *anchor = m.empty() ? nullptr : *at(k, index);
            ring_insertAt(&l, it, index);
            if (it == anchor) return;
            take(it);
            m.insert(anchor ? std::find(m.begin(), m.end(), anchor) : m.begin(), it);
            break;
        }
        case 3: {  // remove any item, stranger or not
            Item *it = pick(rng);
            ring_remove(&l, it);
            m.remove(it);
            break;
        }
        case 4: {  // remove the follower
            Item *it = pickOn(rng, k);
            if (!it) return;
            auto pos = std::next(std::find(m.begin(), m.end(), it));
            if (pos == m.end()) pos = m.begin();
            Item *gone = *pos;
            EXPECT_EQ(gone, ring_removeAfter(&l, it));
            m.erase(pos);
            break;
        }
        case 5:
            EXPECT_EQ(m.empty() ? nullptr : m.front(), ring_popFirst(&l));
            if (!m.empty()) m.pop_front();
            break;
        case 6: {  // stable sort on a few distinct tags
            for (auto &it : items_) it.tag = rng() % 3;
            ring_sort(&l, byTag, nullptr);
            m.sort([](Item *a, Item *b) { return a->tag < b->tag; });
            break;
        }
        case 7: {  // sorted insert of an item not on this list
            Item *it = pickFree(rng);
            if (!it || where(it) == k) return;
            it->tag = rng() % 3;
            ring_insertSorted(&l, it, byTag, nullptr);
            take(it);
            auto pos = std::find_if(m.begin(), m.end(), [&](Item *e) { return e->tag > it->tag; });
            m.insert(pos, it);
            break;
        }
        case 8: {  // clear: every item leaves, owners forgotten
            if (rng() % 4) return;
            ring_clear(&l, nullptr);
            m.clear();
            break;
        }
        }
    }

    void check() {
        for (int k = 0; k < 2; ++k) {
            RingList &l = lists_[k];
            std::vector<Item *> got;
            for (void *p = ring_first(&l); p && got.size() <= kItems; p = ring_next(&l, p))
                got.push_back(static_cast<Item *>(p));
            std::vector<Item *> want(model_[k].begin(), model_[k].end());
            ASSERT_EQ(want, got) << "list " << k;
            ASSERT_EQ(static_cast<int>(want.size()), ring_count(&l));
            for (size_t i = 0; i < want.size(); ++i) {
                ASSERT_EQ(static_cast<int>(i), ring_indexOf(&l, want[i]));
                ASSERT_EQ(i ? want[i - 1] : nullptr, ring_prev(&l, want[i]));
                if (owner()) {
                    ASSERT_EQ(&l, want[i]->link.owner);
                }
            }
        }
        for (auto &it : items_)
            if (where(&it) < 0) {
                ASSERT_EQ(nullptr, it.link.next);
                if (owner()) {
                    ASSERT_EQ(nullptr, it.link.owner);
                }
            }
    }

    uint8_t flags_;
    Item items_[kItems];
    RingList lists_[2];
    Seq model_[2];
};

TEST(RingListModel, RandomOperationsMatchAStdListUnderEveryFlag) {
    for (uint8_t flags : {0, 1, 2, 4, 6})
        for (unsigned seed = 1; seed <= 20; ++seed) {
            SCOPED_TRACE(testing::Message() << "flags " << int(flags) << " seed " << seed);
            Model m(flags);
            m.run(seed, 300);
            if (HasFatalFailure()) return;
        }
}

}  // namespace
