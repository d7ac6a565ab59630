#include "objtable.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int tag[300];
void *obj(int i) { return &tag[i]; }

struct Table : ::testing::Test {
    PxObjTable t;
    void SetUp() override { ASSERT_EQ(0, objtab_create(&t)); }
    void TearDown() override { objtab_free(&t); }
};

TEST_F(Table, GrowsBy128AndFindsEveryEntry) {
    for (int i = 1; i <= 129; ++i) ASSERT_EQ(0, objtab_add(&t, i * 7, PxObjKind::Test, obj(i)));
    EXPECT_EQ(256, objtab_capacity(&t));
    EXPECT_EQ(129, t.count);
    for (int i = 1; i <= 129; ++i) EXPECT_EQ(obj(i), objtab_find(&t, i * 7, PxObjKind::Test));
}

TEST_F(Table, CountShrinksOnlyFromTheTopAndFreedEntriesAreReused) {
    objtab_add(&t, 10, PxObjKind::Test, obj(1));
    objtab_add(&t, 20, PxObjKind::Test, obj(2));
    objtab_add(&t, 30, PxObjKind::Test, obj(3));
    EXPECT_EQ(obj(3), objtab_removeHandle(&t, 30, PxObjKind::Test));
    EXPECT_EQ(2, t.count);
    objtab_add(&t, 30, PxObjKind::Test, obj(3));
    EXPECT_EQ(obj(2), objtab_removeHandle(&t, 20, PxObjKind::Test));
    EXPECT_EQ(3, t.count);
    objtab_add(&t, 40, PxObjKind::Test, obj(4));
    EXPECT_EQ(3, t.count);
    EXPECT_EQ(40, t.entries[1].handle);
    // Removing the top with a hole below it drops the count past the hole.
    objtab_removeHandle(&t, 40, PxObjKind::Test);
    objtab_removeHandle(&t, 30, PxObjKind::Test);
    EXPECT_EQ(1, t.count);
    objtab_removeHandle(&t, 10, PxObjKind::Test);
    EXPECT_EQ(0, t.count);
}

TEST_F(Table, LookupsFindTheLowestEntryOfTheKindAskedForAndNeverHandleZero) {
    objtab_add(&t, 5, PxObjKind::Test, obj(1));
    objtab_add(&t, 5, PxObjKind::Test, obj(2));
    EXPECT_EQ(obj(1), objtab_find(&t, 5, PxObjKind::Test));
    EXPECT_EQ(5, objtab_removeObject(&t, obj(1)));
    EXPECT_EQ(obj(2), objtab_find(&t, 5, PxObjKind::Test));
    EXPECT_EQ(-1, objtab_add(&t, 0, PxObjKind::Test, obj(1)));
    EXPECT_EQ(nullptr, objtab_find(&t, 0, PxObjKind::Any));
    objtab_add(&t, 9, PxObjKind::Menu, obj(3));
    EXPECT_EQ(nullptr, objtab_find(&t, 9, PxObjKind::Dialog));
    EXPECT_EQ(nullptr, objtab_removeHandle(&t, 9, PxObjKind::Dialog));
    EXPECT_EQ(obj(3), objtab_find(&t, 9, PxObjKind::Any));
    EXPECT_EQ(0, objtab_removeObject(&t, obj(4)));
}

TEST_F(Table, NothingIsAddedOrFoundBeforeCreateOrAfterFree) {
    PxObjTable fresh;
    EXPECT_EQ(-1, objtab_add(&fresh, 1, PxObjKind::Test, obj(1)));
    EXPECT_EQ(nullptr, objtab_find(&fresh, 1, PxObjKind::Test));
    objtab_add(&t, 1, PxObjKind::Test, obj(1));
    objtab_free(&t);
    EXPECT_EQ(nullptr, objtab_find(&t, 1, PxObjKind::Test));
    EXPECT_EQ(-1, objtab_add(&t, 1, PxObjKind::Test, obj(1)));
}

// The objects belong to whoever made them and are freed by their own
// teardown: a table made again over a full one starts empty.
TEST_F(Table, CreateOverAFullTableStartsEmpty) {
    objtab_add(&t, 1, PxObjKind::Test, obj(1));
    objtab_add(&t, 2, PxObjKind::Menu, obj(2));
    ASSERT_EQ(0, objtab_create(&t));
    EXPECT_EQ(0, t.count);
    EXPECT_EQ(128, objtab_capacity(&t));
    EXPECT_EQ(nullptr, objtab_find(&t, 1, PxObjKind::Any));
}

}  // namespace
