// formkit.dll loaded and driven by the stand-in host.
#include <gtest/gtest.h>

#include "module.h"
#include "wire.h"

namespace {

struct Formkit : ::testing::Test {
    void SetUp() override { th::Host::get().reset(); }
    void TearDown() override {
        EXPECT_TRUE(th::Host::get().filters.empty());
        EXPECT_TRUE(th::Host::get().idles.empty());
    }
};

TEST_F(Formkit, UnknownCodesAnswerNothingAndLeaveTheReplyAlone) {
    th::Module m("formkit.dll");
    m.start();
    for (int code : {0, 70, 98, 100, 1000, -3, -5, -8, 0x7fffffff}) {
        EXPECT_EQ(0, m.message(code, th::Bytes().zeros(64))) << code;
        EXPECT_TRUE(m.replyUntouchedFrom(0)) << code;
    }
    m.message(kMsgUnload);
}

TEST_F(Formkit, ExportsAnswerAsTheHostExpectsAndLifeCycleMessagesMayRepeat) {
    th::Module m("formkit.dll");
    th::Host::get().enableExt({26});
    EXPECT_EQ(309, m.setCallBacks(th::Host::get().ext()));
    EXPECT_EQ(th::Host::get().app(), m.setup(th::Host::get().app()));
    EXPECT_EQ(0, m.hostVersion(114));
    EXPECT_EQ(0, m.hostVersion(113));
    EXPECT_EQ(0, m.message(kMsgLoad));
    EXPECT_EQ(0, m.message(kMsgLoad));
    EXPECT_EQ(0, m.message(kMsgUnload));
    EXPECT_EQ(0, m.message(kMsgUnload));
    EXPECT_TRUE(m.replyUntouchedFrom(0));
}

TEST_F(Formkit, BatchOfUnknownEntriesAndDeepNestingAreHarmless) {
    th::Module m("formkit.dll");
    m.start();
    EXPECT_EQ(0, m.message(99, th::Bytes().i16(0)));
    EXPECT_TRUE(m.replyUntouchedFrom(0));
    th::Bytes b;
    b.i16(2).i16(70).i16(2).i16(0).i16(71).i16(0);
    EXPECT_EQ(0, m.message(99, b));
    // 500 levels of nested batches, each entry bounded by its parent.
    th::Bytes nest;
    nest.i16(0);
    for (int i = 0; i < 500; ++i) {
        th::Bytes w;
        w.i16(1).i16(99).i16(static_cast<int16_t>(nest.size())).raw(nest);
        nest = w;
        if (nest.size() > 30000) break;
    }
    EXPECT_EQ(0, m.message(99, nest));
    // An entry that claims more than the host's block holds ends the batch.
    th::Host::get().maxBlockSize = 4096;
    EXPECT_EQ(0, m.messageInBlock(99, th::Bytes().i16(1).i16(99).i16(0x7fff)));
    m.message(kMsgUnload);
}

}  // namespace
