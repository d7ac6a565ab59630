// termcore's exports, the dispatch of request codes and termcore.ini.
#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

using Dispatch = TermcoreTest;

TEST_F(Dispatch, ExportsAnswerAsTheHostExpects) {
    m = std::make_unique<th::Module>("termcore.d32");
    EXPECT_EQ(309, m->setCallBacks(H().ext()));
    EXPECT_EQ(H().app(), m->setup(H().app()));
    // The ordinals the host may bind by.
    EXPECT_EQ(GetProcAddress(m->handle(), "ZamExtMessageProc"), GetProcAddress(m->handle(), MAKEINTRESOURCEA(1)));
    EXPECT_EQ(GetProcAddress(m->handle(), "ZamExtSetupProc"), GetProcAddress(m->handle(), MAKEINTRESOURCEA(2)));
    EXPECT_EQ(GetProcAddress(m->handle(), "_ZamSetCallBacks@4"), GetProcAddress(m->handle(), MAKEINTRESOURCEA(3)));
}

TEST_F(Dispatch, CodesWithoutAHandlerAnswerNothingAndLeaveTheReplyAlone) {
    load();
    for (int code : {-5, -3, 0, 1, 2, 10, 11, 12, 13, 14, 15, 49, 52, 99, 109, 199, 201, 202, 203, 208, 1000,
                     0x7fffffff}) {
        EXPECT_EQ(0, send(code, th::Bytes().zeros(64))) << code;
        EXPECT_TRUE(m->replyUntouchedFrom(0)) << code;
    }
}

TEST_F(Dispatch, LifeCycleCodesAnswerZeroAndMayRepeat) {
    load();
    EXPECT_EQ(0, m->hostVersion(113));
    EXPECT_EQ(0, lifeCycle(kMsgLoad, true));
    EXPECT_EQ(0, lifeCycle(kMsgLoad, false));
    EXPECT_EQ(0, lifeCycle(kMsgUnload, false));
    EXPECT_EQ(0, lifeCycle(kMsgUnload, true));
    EXPECT_EQ(0, lifeCycle(kMsgUnload, true));
}

TEST_F(Dispatch, SettingsAreReadOnceAndOnlyByRequestsThatUseThem) {
    load(114, "updir=" + tmp.path() + "\r\nUPDIR=" + up() + "\r\nDnDir=x\r\nOTHER=1\r\n");
    send(rq::kGetCwd, th::Bytes());
    send(rq::kLangIds, rq::langIds(0));
    send(rq::kPut2, rq::put2(1, 2, tmp.file("p.bin")));
    EXPECT_TRUE(H().iniReads.empty());
    send(rq::kRecv, rq::recvOpen("one.txt", {1, 1, 2020, 0, 0, 255}));
    send(rq::kRecv, rq::recvOpen("two.txt", {1, 1, 2020, 0, 0, 255}));
    EXPECT_EQ(std::vector<std::string>{"termcore.ini"}, H().iniReads);
    // Keys match exactly: "updir" is not UPDIR.
    EXPECT_TRUE(exists(up() + "\\two.txt"));
    EXPECT_FALSE(exists(tmp.file("two.txt")));
}

TEST_F(Dispatch, OverlongSettingIsIgnored) {
    load(114, "UPDIR=" + std::string(2000, 'q') + "\r\n");
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("x.txt", {1, 1, 2020, 0, 0, 255})));
    EXPECT_EQ(1, i32At(0));
    send(rq::kRecv, rq::recvStage(3));
}

}  // namespace
