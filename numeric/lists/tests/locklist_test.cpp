#include "keyedlist.h"
#include "locklist.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Item {
    int key;
    LockNode node;
};

constexpr int32_t kOffset = offsetof(Item, node);

std::vector<Item *> items(LockList *l) {
    std::vector<Item *> out;
    for (void *p = LockListFirst(l); p; p = LockListNext(l, p)) out.push_back(static_cast<Item *>(p));
    return out;
}

std::vector<int> keys(LockList *l) {
    std::vector<int> out;
    for (Item *i : items(l)) out.push_back(i->key);
    return out;
}

int byKey(void *existing, void *item, void *) {
    return static_cast<Item *>(existing)->key - static_cast<Item *>(item)->key;
}

int countFree(void *item) { return static_cast<Item *>(item)->key; }

intptr_t keyAbove(void *item, void *datum) {
    int k = static_cast<Item *>(item)->key;
    return k > *static_cast<int *>(datum) ? k * 10 : 0;
}

// Each call goes to its ring list operation under the list's lock.
TEST(LockList, OperationsForwardToTheRingList) {
    LockList l;
    LockListInit(&l, kLockFront | kLockNoFree, kOffset);
    Item it[5] = {{0, {}}, {1, {}}, {2, {}}, {3, {}}, {2, {}}};
    for (int i = 0; i < 3; ++i) LockListAdd(&l, &it[i]);
    EXPECT_EQ(&it[2], LockListAt(&l, 3));
    EXPECT_EQ(3, LockListCount(&l));
    EXPECT_EQ(-1, LockListIndexOf(&l, &it[3]));
    EXPECT_EQ(0, LockListDelete(&l, nullptr, countFree));
    LockListInsertAt(&l, &it[3], 1);
    EXPECT_EQ((std::vector<int>{2, 3, 1, 0}), keys(&l));
    EXPECT_EQ(&it[3], LockListPrev(&l, &it[1]));
    EXPECT_EQ(&it[2], LockListPopFirst(&l));
    EXPECT_EQ(&it[1], LockListRemoveNext(&l, &it[3]));
    LockListAdd(&l, &it[4]);
    LockListAdd(&l, &it[2]);
    LockListSort(&l, byKey, nullptr);
    EXPECT_EQ((std::vector<Item *>{&it[0], &it[2], &it[4], &it[3]}), items(&l));  // stable
    int above = 1;
    EXPECT_EQ(&it[3], LockListFindBack(&l, keyAbove, &above));
    EXPECT_EQ(20, LockListFindValue(&l, keyAbove, &above));
}

TEST(LockList, OwnerFlagMovesItemsAndNodeUnlinkUsesTheBackPointer) {
    LockList a, b;
    LockListInit(&a, kLockOwner, kOffset);
    LockListInit(&b, kLockOwner, kOffset);
    Item it[3] = {{0, {}}, {1, {}}, {2, {}}};
    for (Item &i : it) {
        LockNodeInit(&i.node);
        LockListAdd(&a, &i);
    }
    LockListInsertBefore(&b, &it[1], nullptr);
    LockListInsertSorted(&b, &it[2], byKey, nullptr);
    EXPECT_EQ((std::vector<int>{0}), keys(&a));
    EXPECT_EQ((std::vector<int>{1, 2}), keys(&b));
    // Anchors on b are strangers to a: nothing moves.
    LockListInsert(&a, &it[1], &it[2]);
    LockListInsertBefore(&a, &it[2], &it[1]);
    EXPECT_EQ(nullptr, LockListRemoveNext(&a, &it[1]));
    EXPECT_EQ((std::vector<int>{0}), keys(&a));
    EXPECT_EQ((std::vector<int>{1, 2}), keys(&b));
    LockNodeUnlink(&it[1].node);
    EXPECT_EQ((std::vector<int>{2}), keys(&b));
    EXPECT_EQ(nullptr, it[1].node.owner);
    LockNodeUnlink(&it[1].node);  // on no list: nothing
    LockListClear(&a, nullptr);
    EXPECT_EQ(nullptr, it[0].node.owner);
}

// A locked list shared by threads; each thread adds, moves and removes its
// own items, the lists being shared.
TEST(LockListLocked, ThreadsAddMoveAndRemoveWithoutLosingItems) {
    LockListLock csA, csB;
    LockList a, b;
    LockListInitLocked(&a, kLockOwner, kOffset, &csA);
    LockListInitLocked(&b, kLockOwner | kLockFront, kOffset, &csB);
    constexpr int kThreads = 4, kPer = 200;
    std::vector<Item> items(kThreads * kPer);
    for (size_t i = 0; i < items.size(); ++i) items[i] = Item{static_cast<int>(i), {}};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            Item *mine = &items[t * kPer];
            for (int round = 0; round < 5; ++round)
                for (int i = 0; i < kPer; ++i) {
                    LockList *to = (i + round) % 2 ? &a : &b;
                    if (i % 3 == 0) LockListInsertSorted(to, &mine[i], byKey, nullptr);
                    else LockListAdd(to, &mine[i]);
                    if (i % 7 == 0) LockListRemove(to, &mine[i]);
                }
        });
    for (auto &th : threads) th.join();
    EXPECT_EQ((kPer - (kPer + 6) / 7) * kThreads, LockListCount(&a) + LockListCount(&b));
    for (Item &it : items) {
        auto *on = reinterpret_cast<LockList *>(it.node.owner);
        EXPECT_EQ(it.key % kPer % 7 != 0, on != nullptr) << it.key;
        EXPECT_TRUE(!on || LockListIndexOf(on, &it) >= 0) << it.key;
    }
    LockListDone(&a, nullptr);
    LockListDone(&b, nullptr);
    EXPECT_EQ(nullptr, a.lock);
}

std::atomic<bool> g_walking, g_added, g_addedDuringWalk;

TEST(LockListLocked, WalkCallbacksRunInsideTheLock) {
    LockListLock cs;
    LockList l;
    LockListInitLocked(&l, 0, kOffset, &cs);
    Item first{1, {}}, late{2, {}};
    LockListAdd(&l, &first);
    std::thread other([&] {
        while (!g_walking) std::this_thread::yield();
        LockListAdd(&l, &late);
        g_added = true;
    });
    auto walk = [](void *, void *) -> intptr_t {
        g_walking = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        g_addedDuringWalk = g_added.load();
        return 1;
    };
    LockListWalk(&l, walk, nullptr, nullptr);
    other.join();
    EXPECT_FALSE(g_addedDuringWalk);
    EXPECT_EQ(2, LockListCount(&l));
    LockListDone(&l, nullptr);
}

TEST(KeyedList, FindsByNameAndPathWithoutRegardToCaseAndTakesEntriesFromOtherLists) {
    KeyedList k, other;
    TakenFile *a = TakenFile::make("C:\\work\\a.zam", "srv/src/a.zam", "A.ZAM", 100);
    TakenFile *b = TakenFile::make("C:\\work\\b.zam", "srv/src/b.zam", "b.zam", 200);
    ASSERT_TRUE(a && b);
    other.Add(a);
    k.Add(a);
    k.Add(b);
    EXPECT_EQ(0, other.Count());
    EXPECT_STREQ("srv/src/a.zam", a->serverPath);
    EXPECT_EQ(100, a->modTime);
    EXPECT_EQ(a, k.FindByName("a.zam"));
    EXPECT_EQ(b, k.FindByName("B.Zam"));
    EXPECT_EQ(b, k.FindByPath("c:\\WORK\\b.zam"));
    EXPECT_EQ(nullptr, k.FindByName("a.za"));
    EXPECT_EQ(nullptr, k.FindByName(""));
    EXPECT_EQ(nullptr, k.FindByPath(nullptr));
    EXPECT_EQ(b, k.Next(a));
    k.Delete(a);  // freed: the sanitizers would see a leak or a double free
    EXPECT_EQ(1, k.Count());
    EXPECT_EQ(nullptr, k.FindByName("a.zam"));
}

#ifdef _WIN32
TEST(KeyedList, CyrillicNamesFoldInTheWindowsCodePage) {
    KeyedList k;
    // "Отчёт.zam" and "ОТЧЁТ.ZAM" in code page 1251.
    TakenFile *e = TakenFile::make("l", "s", "\xce\xf2\xf7\xb8\xf2.zam", 0);
    ASSERT_TRUE(e);
    k.Add(e);
    EXPECT_EQ(e, k.FindByName("\xce\xd2\xd7\xa8\xd2.ZAM"));
}
#endif

}  // namespace
