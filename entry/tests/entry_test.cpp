// The entry layer with a handler table of its own and a host table whose
// only service is GetMaxBlockSize.
#include "zam_entry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bytes.h"
#ifdef _WIN32
#include "guardbuf.h"
#endif

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
    {kMsgUnloadQuery, record, 6}, {kMsgCreate, record, 6}, {kMsgClassInfo, record, 6}, {kMsgDropLocks, record, 6},
};
const ZamModuleTable kTable = {kRows, sizeof kRows / sizeof kRows[0], 1000, prepare, true};
// A module that never bounds by the host's block.
const ZamModuleTable kPlain = {kRows, sizeof kRows / sizeof kRows[0], 1000, prepare};

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
    const size_t unnamed = zam_readableLength(record.data(), kZamUnnamedBlock);
    const struct {
        uint16_t version;
        int block;
        size_t length, capacity;
        int asks;
    } cases[] = {
        {0, 4096, unnamed, 1000, 0},
        {88, 4096, unnamed, 1000, 0},
        {89, 4096, 4096, 4096, 1},
        {114, 600, 600, 600, 1},
        {114, 0, unnamed, 1000, 1},  // answers of 0 or less name no block
        {114, -1, unnamed, 1000, 1},
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

// Only a module that bounds by the block asks for it, and only for its
// numbered requests; a record without a block is read to the scan limit.
TEST_F(Entry, OnlyNumberedRequestsOfAModuleThatBoundsByTheBlockAskForIt) {
    hostVersion(114);
    th::Bytes record;
    record.zeros(32);
    void *words[7] = {};
    g_blockAsks = 0;
    EXPECT_EQ(5, zam_message(kPlain, 7, record.data(), reply));
    EXPECT_EQ(zam_readableLength(record.data(), kWireScanLimit), g_seen.length);
    EXPECT_GE(g_seen.length, record.size());
    EXPECT_EQ(1000u, g_seen.replyCapacity);
    for (int code : {kMsgHostVersion, kMsgLoad, kMsgUnload})
        EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(code), record.data(), reply));
    for (int code : {kMsgUnloadQuery, kMsgCreate, kMsgClassInfo, kMsgDropLocks})
        EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(code), words, reply));
    EXPECT_EQ(0, g_blockAsks);
    // A count that reaches past the scan limit fails as one past the record.
    EXPECT_EQ(5, zam_message(kPlain, 7, record.data(), reply));
    WireReader r = g_seen.reader();
    EXPECT_EQ(nullptr, r.bytes(kWireScanLimit + 1));
    EXPECT_FALSE(r.ok());
}

#ifdef _WIN32
// Without a block a record is read to the end of the readable memory that
// holds it: a text or count that runs to a guard page fails, and the bound
// never grows past the scan limit.
TEST_F(Entry, WithoutABlockTheRecordEndsWhereReadableMemoryEnds) {
    th::GuardedBuffer block(8192);
    block.fill('x');
    const unsigned char *data = block.data();
    EXPECT_EQ(5, zam_message(kPlain, 7, data, reply));
    EXPECT_EQ(8192u, g_seen.length);
    EXPECT_EQ(data, g_seen.data);
    WireReader r = g_seen.reader();
    EXPECT_EQ("", std::string(r.text()));
    EXPECT_FALSE(r.ok());  // runs into the guard page: refused, not followed
    EXPECT_EQ(5, zam_message(kPlain, 7, data + 8191, reply));
    EXPECT_EQ(1u, g_seen.length);
    for (size_t at : {size_t(0), size_t(100), size_t(8191)})
        EXPECT_EQ(8192 - at, zam_readableLength(data + at, kWireScanLimit)) << at;
    EXPECT_EQ(100u, zam_readableLength(data, 100));
    // Nothing readable at all: an empty record, not a fault.
    EXPECT_EQ(5, zam_message(kPlain, 7, data + 8192, reply));
    EXPECT_EQ(0u, g_seen.length);
    // A large readable area still ends at the scan limit.
    th::GuardedBuffer large(kWireScanLimit + 8192);
    EXPECT_EQ(kWireScanLimit, zam_readableLength(large.data(), kWireScanLimit));
    // A block the host names is the bound whatever the memory map says.
    hostVersion(114);
    g_block = 4096;
    EXPECT_EQ(5, zam_message(kTable, 7, data, reply));
    EXPECT_EQ(4096u, g_seen.length);
}
#endif

TEST_F(Entry, LifeCycleFlagsAreNeverReadAsRecords) {
    int flag = 0;
    for (int code : {kMsgLoad, kMsgUnload}) {
        EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(code), &flag, reply));
        EXPECT_EQ(&flag, g_seen.flag);
        EXPECT_EQ(nullptr, g_seen.data);
        EXPECT_EQ(0u, g_seen.length);
    }
}

// Their records hold pointers the host reads back: handed over as they are.
TEST_F(Entry, ObjectModelRecordsAreHandedOverInPlace) {
    hostVersion(114);
    void *words[7] = {};
    for (int code : {kMsgUnloadQuery, kMsgCreate, kMsgClassInfo, kMsgDropLocks}) {
        EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(code), words, reply));
        EXPECT_EQ(static_cast<void *>(words), g_seen.record);
        EXPECT_EQ(nullptr, g_seen.data);
        EXPECT_EQ(nullptr, g_seen.flag);
    }
}

TEST_F(Entry, PrepareRunsBeforeEachHandlerAndNothingEscapes) {
    th::Bytes record;
    record.zeros(20);
    EXPECT_EQ(5, zam_message(kTable, 7, record.data(), reply));
    EXPECT_EQ(0, zam_message(kTable, 8, record.data(), reply));
    EXPECT_EQ(0, zam_message(kTable, 9, record.data(), reply));  // no row: no prepare either
    EXPECT_EQ((std::vector<unsigned>{4, 5}), g_prepared);
    // -4 is never cut short by the host's block: it always reaches byte 18.
    zam_host().version = 114;
    g_block = 10;
    EXPECT_EQ(5, zam_message(kTable, static_cast<unsigned>(kMsgHostVersion), record.data(), reply));
    EXPECT_EQ(0, zam_host().version);
}
