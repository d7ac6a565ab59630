// The table wrappers and the version guards, over the stand-in
// interpreter's 223-slot table in which every slot traps unless enabled.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "interp.h"
#include "zamsdk.h"

extern "C" int __stdcall ZamSetCallBacks(void *table);

namespace {

th::Interp &I() { return th::Interp::get(); }

bool allZero(const void *p, size_t n) {
    const unsigned char *b = static_cast<const unsigned char *>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}

// What one guarded slot answered; heap slots are tested by name.
struct Answer {
    int slot;
    bool hasResult;
    intptr_t result;
};

template <int N> Answer callGuarded() {
    constexpr ZamFallback fb = zamFallback(N);
    if constexpr (fb == ZamFallback::Nothing) {
        ZamSlot<N, void>();
        return {N, false, 0};
    } else if constexpr (fb == ZamFallback::ZeroedArea) {
        return {N, true, reinterpret_cast<intptr_t>(ZamSlot<N, void *>())};
    } else if constexpr (fb == ZamFallback::HeapAlloc || fb == ZamFallback::HeapAllocChecked ||
                         fb == ZamFallback::HeapFree) {
        return {N, false, 0};
    } else {
        return {N, true, ZamSlot<N, intptr_t>()};
    }
}

template <size_t... K> std::vector<Answer> callAllGuarded(std::index_sequence<K...>) {
    return {callGuarded<153 + static_cast<int>(K)>()...};
}

std::vector<Answer> callAllGuarded() { return callAllGuarded(std::make_index_sequence<217 - 153 + 1>()); }

bool isHeapSlot(int s) { return s >= 159 && s <= 161; }

// The host versions that brought the guarded slots, as the host documents them.
unsigned documentedMinimum(int slot) {
    static const struct { int first, last; unsigned version; } rows[] = {
        {153, 176, 305}, {177, 177, 308}, {178, 183, 310}, {184, 184, 311}, {185, 195, 312},
        {196, 196, 313}, {197, 203, 314}, {204, 208, 315}, {209, 216, 316}, {217, 217, 317},
    };
    for (const auto &r : rows)
        if (slot >= r.first && slot <= r.last) return r.version;
    return 0;
}

struct Wrappers : ::testing::Test {
    void SetUp() override { I().reset(); }
    void TearDown() override {
        EXPECT_TRUE(I().trapsHit.empty());
        ZamKeepCallBacks(nullptr);
    }
    // A host that reports `version` through the probe, every guarded slot a
    // recorder answering its own number.
    void host(unsigned version) {
        I().reset();
        I().enable({8, 152});
        I().symbols = {"IsGUI"};
        I().hostVersion = version;
        I().recordRange(153, 217);
        EXPECT_EQ(304, ZamSetCallBacks(I().table()));
    }
};

TEST_F(Wrappers, WithoutIsGuiTheHostIs304AndEveryGuardedSlotFallsBackUncalled) {
    I().enable({8});
    I().hostVersion = 317;  // never asked: slot 152 stays a trap
    EXPECT_EQ(304, ZamSetCallBacks(I().table()));
    const std::set<int> minusOne{162, 163, 164, 165};
    const std::set<int> noResult{155, 166, 177, 180, 181, 193, 197, 198, 199, 207};
    const std::set<int> zeroedArea{158, 194, 195};
    for (const Answer &a : callAllGuarded()) {
        if (isHeapSlot(a.slot)) continue;
        EXPECT_EQ(noResult.count(a.slot) == 0, a.hasResult) << a.slot;
        if (minusOne.count(a.slot)) {
            EXPECT_EQ(-1, a.result) << a.slot;
        } else if (zeroedArea.count(a.slot)) {
            ASSERT_NE(0, a.result) << a.slot;
            EXPECT_TRUE(allZero(reinterpret_cast<void *>(a.result), 256)) << a.slot;
            std::memset(reinterpret_cast<void *>(a.result), 0x5A, 16);
        } else {
            EXPECT_EQ(0, a.result) << a.slot;
        }
    }
    // A caller's scribbling is gone at the next call.
    EXPECT_TRUE(allZero(ZamSlot<158, void *>(), 256));
    EXPECT_EQ(nullptr, GetArrayObj(&I()));

    void *p = AllocMem(16);
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(allZero(p, 16));
    FreeMem(p);
    p = AllocMemChecked(32);
    ASSERT_NE(nullptr, p);
    EXPECT_TRUE(allZero(p, 32));
    FreeMem(p);

    EXPECT_EQ(304u, ZamHostVersion());
    EXPECT_EQ(std::vector<int>{8}, I().calls);
    EXPECT_EQ(std::vector<std::string>{"IsGUI"}, I().symbolLookups);
}

TEST_F(Wrappers, EachHostVersionReachesExactlyTheSlotsThatVersionHas) {
    for (unsigned version = 304; version <= 318; ++version) {
        host(version);
        std::set<int> reached;
        for (const Answer &a : callAllGuarded()) {
            if (isHeapSlot(a.slot)) continue;
            if (documentedMinimum(a.slot) <= version) {
                reached.insert(a.slot);
                if (a.hasResult) {
                    EXPECT_EQ(a.slot, a.result) << a.slot << " under " << version;
                }
            }
        }
        std::set<int> called;
        for (int s : I().calls)
            if (s >= 153) called.insert(s);
        EXPECT_EQ(reached, called) << "host version " << version;
    }
}

TEST_F(Wrappers, TheVersionIsProbedOnceAndAgainOnlyForANewTable) {
    host(312);
    callAllGuarded();
    callAllGuarded();
    EXPECT_EQ(reinterpret_cast<void *>(176), GetArrayObj(nullptr));
    EXPECT_EQ(312u, ZamHostVersion());
    EXPECT_EQ(1, I().callsOf(8));
    EXPECT_EQ(1, I().callsOf(152));
    ZamSetCallBacks(I().table());
    I().hostVersion = 305;
    EXPECT_EQ(0, (ZamSlot<185, intptr_t>()));
    EXPECT_EQ(2, I().callsOf(152));
}

TEST_F(Wrappers, HeapSlotsGoToTheHostOnceItIsNewEnough) {
    I().enable({8, 152, 159, 160, 161});
    I().symbols = {"IsGUI"};
    I().hostVersion = 305;
    ZamSetCallBacks(I().table());
    void *p = AllocMem(16), *q = AllocMemChecked(24);
    FreeMem(p);
    FreeMem(q);
    EXPECT_EQ((std::vector<size_t>{16, 24}), I().allocs);
    EXPECT_EQ(2, I().frees);
}

TEST_F(Wrappers, CheckedAllocationUnderAnOldHostReportsOutOfMemory) {
    I().enable({8, 12});
    ZamSetCallBacks(I().table());
    EXPECT_EQ(nullptr, AllocMemChecked(static_cast<size_t>(-1) / 4));
    EXPECT_EQ(std::vector<std::string>{"Out of memory"}, I().runErrors);
    EXPECT_EQ(nullptr, AllocMem(static_cast<size_t>(-1) / 4));
    EXPECT_EQ(1u, I().runErrors.size());
}

TEST_F(Wrappers, AnySlotOfTheFamilyTableIsCalledAsItsFamilySays) {
    I().record(50);
    I().record(222);
    I().record(221);
    ZamSetCallBacks(I().table());
    EXPECT_EQ(50, (ZamSlot<50, intptr_t, intptr_t, intptr_t>(1, 2)));
    EXPECT_EQ(222, (ZamSlot<222, intptr_t>()));
    EXPECT_EQ(221, (ZamSlot<221, intptr_t, const char *>("x")));
    EXPECT_EQ((std::vector<int>{50, 222, 221}), I().calls);
}

TEST_F(Wrappers, WithoutATableNothingIsCalled) {
    ZamKeepCallBacks(nullptr);
    VALUE *v = nullptr;
    EXPECT_FALSE(GetParm(0, &v));
    EXPECT_EQ(304u, ZamHostVersion());
    EXPECT_EQ(0, ReturnVal(V_STRING, "x"));
    void *p = AllocMem(8);
    EXPECT_NE(nullptr, p);
    FreeMem(p);
    EXPECT_TRUE(I().calls.empty());
}

}  // namespace
