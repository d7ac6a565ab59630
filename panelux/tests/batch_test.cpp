// Batch bounds, run through a recording dispatcher.
#include "dispatch.h"

#include <gtest/gtest.h>

#include <vector>

#include "bytes.h"
#include "wire.h"

namespace {

struct Call {
    int code;
    size_t length;
    int depth;
};
std::vector<Call> calls;

int recorder(int code, const PxRequest &req) {
    calls.push_back({code, req.length, req.depth});
    if (code == kPxBatchCode) return px_runBatch(req, recorder);
    return code * 10;
}

int run(const th::Bytes &b, size_t length = kWireUnbounded) {
    calls.clear();
    PxRequest req;
    req.data = b.data();
    req.length = length;
    return px_runBatch(req, recorder);
}

th::Bytes entry(int16_t code, const th::Bytes &payload) {
    th::Bytes e;
    e.i16(code).i16(static_cast<int16_t>(payload.size())).raw(payload);
    return e;
}

TEST(Batch, ReturnsTheLastEntrysReplyLength) {
    th::Bytes b;
    b.i16(2).raw(entry(3, th::Bytes().i32(7))).raw(entry(4, th::Bytes()));
    EXPECT_EQ(40, run(b));
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(4u, calls[0].length);
    EXPECT_EQ(1, calls[1].depth);
}

TEST(Batch, CountsOfZeroOrLessNegativeLengthsAndTheRecordsEndStopIt) {
    th::Bytes beyond = th::Bytes().i16(100).raw(entry(3, th::Bytes())).raw(entry(4, th::Bytes()));
    const struct {
        th::Bytes record;
        size_t length;
        int result;
        size_t calls;
    } cases[] = {
        {th::Bytes().i16(0), kWireUnbounded, 0, 0},
        {th::Bytes().i16(-3).raw(entry(3, th::Bytes())), kWireUnbounded, 0, 0},
        // A negative length ends the batch.
        {th::Bytes().i16(3).raw(entry(5, th::Bytes())).i16(6).i16(-1).raw(entry(7, {})), kWireUnbounded, 50, 1},
        {beyond, beyond.size(), 40, 2},  // the count claims more than the bounded record holds
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.result, run(c.record, c.length));
        EXPECT_EQ(c.calls, calls.size());
    }
}

TEST(Batch, EntryRunningPastItsEnclosingEntryEndsTheBatch) {
    // Inner batch of 8 bytes claims two entries; the second claims 100 bytes.
    th::Bytes inner;
    inner.i16(2).raw(entry(3, th::Bytes())).i16(4).i16(100).raw(th::Bytes().i16(0));
    th::Bytes outer;
    outer.i16(2).raw(entry(kPxBatchCode, inner)).raw(entry(8, th::Bytes()));
    EXPECT_EQ(80, run(outer));
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(3, calls[1].code);
    EXPECT_EQ(8, calls[2].code);
}

TEST(Batch, NestingIsLimited) {
    th::Bytes b = entry(3, th::Bytes());
    for (int level = 0; level < 40; ++level) {
        th::Bytes wrap;
        wrap.i16(1).raw(b);
        b = entry(kPxBatchCode, wrap);
    }
    run(th::Bytes().i16(1).raw(b));
    int deepest = 0;
    for (const Call &c : calls) deepest = c.depth > deepest ? c.depth : deepest;
    EXPECT_EQ(kPxMaxBatchDepth, deepest);
    for (const Call &c : calls) EXPECT_EQ(kPxBatchCode, c.code);
}

}  // namespace
