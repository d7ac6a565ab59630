// The entry layer with a handler table of its own and a host table whose
// only service is GetMaxBlockSize.
#include "zam_entry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "bytes.h"

namespace {

int g_block = 4096;
int g_blockAsks = 0;
int ZAMCB maxBlock() {
    ++g_blockAsks;
    return g_block;
}

ZamRequest g_seen;
std::vector<unsigned> g_prepared;

int record(const ZamRequest &req) {
    g_seen = req;
    return 5;
}
int thrower(const ZamRequest &) { throw std::runtime_error("handler failed"); }
void prepare(const ZamHandlerRow &row) { g_prepared.push_back(row.flags); }

const ZamHandlerRow kRows[] = {
    {kMsgHostVersion, record, 1}, {kMsgLoad, record, 2}, {kMsgUnload, record, 3},
    {7, record, 4},               {8, thrower, 5},
};
const ZamModuleTable kTable = {kRows, sizeof kRows / sizeof kRows[0], 1000, prepare};

}  // namespace

struct Entry : ::testing::Test {
    ZamExtCallBacks ext{};
    unsigned char reply[16] = {};
    void SetUp() override {
        ext.GetMaxBlockSize = maxBlock;
        zam_host() = ZamHost();
        zam_host().ext = &ext;
        g_block = 4096;
        g_blockAsks = 0;
        g_prepared.clear();
        g_seen = ZamRequest();
    }
    void hostVersion(uint16_t v) {
        th::Bytes b;
        b.zeros(18).u16(v);
        EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(kMsgHostVersion), b.data(), reply));
    }
};

TEST_F(Entry, TheHostsBlockBoundsRequestsOnlyWhenItsVersionOffersOne) {
    th::Bytes record;
    record.zeros(32);
    const struct {
        uint16_t version;
        int block;
        size_t length, capacity;
        int asks;
    } cases[] = {
        {0, 4096, kWireUnbounded, 1000, 0},
        {88, 4096, kWireUnbounded, 1000, 0},
        {89, 4096, 4096, 4096, 1},
        {114, 600, 600, 600, 1},
        {114, -1, 0, 0, 1},  // a host that answers nothing usable
    };
    for (const auto &c : cases) {
        g_block = c.block;
        hostVersion(c.version);
        EXPECT_EQ(c.version, zam_host().version);
        g_blockAsks = 0;
        EXPECT_EQ(5, zam_message(kTable, 7, record.data(), reply));
        EXPECT_EQ(record.data(), g_seen.data);
        EXPECT_EQ(c.length, g_seen.length) << c.version;
        EXPECT_EQ(c.capacity, g_seen.replyCapacity) << c.version;
        EXPECT_EQ(c.asks, g_blockAsks) << c.version;
    }
}

TEST_F(Entry, LifeCycleFlagsAreNeverReadAsRecords) {
    int flag = 0;
    for (int code : {kMsgLoad, kMsgUnload}) {
        EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(code), &flag, reply));
        EXPECT_EQ(&flag, g_seen.flag);
        EXPECT_EQ(nullptr, g_seen.data);
        EXPECT_EQ(0u, g_seen.length);
    }
}

TEST_F(Entry, PrepareRunsBeforeEachHandlerAndNothingEscapes) {
    th::Bytes record;
    record.zeros(20);
    EXPECT_EQ(5, zam_message(kTable, 7, record.data(), reply));
    EXPECT_EQ(0, zam_message(kTable, 8, record.data(), reply));
    EXPECT_EQ(0, zam_message(kTable, 9, record.data(), reply));  // no row: no prepare either
    EXPECT_EQ((std::vector<unsigned>{4, 5}), g_prepared);
    // A -4 record cut short by the host's block keeps the old version.
    zam_host().version = 114;
    g_block = 10;
    EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(kMsgHostVersion), record.data(), reply));
    EXPECT_EQ(114, zam_host().version);
}
