// termcore's exports, the dispatch of request codes, termcore.ini and the
// locale requests 206 and 207.
#include "editmgr_server.h"
#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

using Dispatch = TermcoreTest;

// Stage 0 of request 100: a file into UPDIR, dated 1 January 2020.
th::Bytes receiveOpen(const std::string &name) {
    return th::Bytes().zeros(9).u8(1).u8(1).u16(2020).zeros(2).u8(255).zeros(12).text(name);
}

TEST_F(Dispatch, ExportsAndLifeCycleCodesAnswerAsTheHostExpects) {
    m = std::make_unique<th::Module>("termcore.d32");
    EXPECT_EQ(309, m->setCallBacks(H().ext()));
    EXPECT_EQ(H().app(), m->setup(H().app()));
    // The ordinals the host may bind by.
    const char *names[] = {"ZamExtMessageProc", "ZamExtSetupProc", "_ZamSetCallBacks@4"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(GetProcAddress(m->handle(), names[i]), GetProcAddress(m->handle(), MAKEINTRESOURCEA(i + 1)));
    load();
    EXPECT_EQ(0, m->hostVersion(113));
    for (auto [code, flag] : {std::pair{kMsgLoad, true}, {kMsgLoad, false}, {kMsgUnload, false}, {kMsgUnload, true},
                              {kMsgUnload, true}})
        EXPECT_EQ(0, lifeCycle(code, flag));
}

// Counts and names that run to the end of the host's block stop there.
TEST_F(Dispatch, RecordsAreReadNoFurtherThanTheHostsBlock) {
    load();
    H().maxBlockSize = 4096;
    EXPECT_EQ(4, m->messageInBlock(rq::kClipSet, th::Bytes().u8(2).u8(1).i32(4096)));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ(4, m->messageInBlock(rq::kRename, th::Bytes().zeros(4).i32(0).raw("old", 3)));
    EXPECT_EQ(-1, i32At(0));
}

// A host that names no block (protocol 88, or a block size of 0) still has
// records read no further than the scan limit: an offset or a count that
// reaches past it is refused and nothing is touched.
TEST_F(Dispatch, WithoutTheHostsBlockRecordsAreReadNoFurtherThanTheScanLimit) {
    for (int protocol : {88, 114}) {
        SCOPED_TRACE(protocol);
        load(protocol);
        H().maxBlockSize = 0;
        spit(dn() + "\\keep.txt", "kept");
        for (int16_t action : {2, 3}) {
            th::Bytes b = th::Bytes().zeros(4).u8(0).i32(1).i32(0x7FFFFFF0).i16(action).text(dn() + "\\*.txt");
            EXPECT_EQ(4, send(rq::kDirList, b.text(up() + "\\")));
            EXPECT_EQ(-1, i32At(0));
        }
        EXPECT_EQ("kept", slurp(dn() + "\\keep.txt"));
        EXPECT_TRUE(filesIn(up()).empty());
        EXPECT_EQ(4, send(rq::kClipSet, th::Bytes().u8(2).u8(1).i32(0x7FFFFFFF).raw("text", 4)));
        EXPECT_EQ(-1, i32At(0));
        // A block size of 0 is no block: the data block is the older host's.
        spit(dn() + "\\big.bin", std::string(1000, 'b'));
        ASSERT_EQ(29, send(rq::kSend, th::Bytes().zeros(8).u8(0).text("big.bin")));
        EXPECT_EQ(410, send(rq::kSend, th::Bytes().i32(1).i32(1000).u8(1)));
        send(rq::kSend, th::Bytes().zeros(8).u8(3));
        m.reset();
    }
}

// -2 without its flag ends the transfers only: an open edit-manager
// connection keeps its idle procedure, which -2 with the flag then drops.
TEST_F(Dispatch, EndWithoutItsFlagKeepsWhatALiveConnectionNeeds) {
    CoInitialize(nullptr);
    {
        th::EditMgrServer server(true);
        load();
        H().respond("EDITMGR_ASYNC_TABLE", 201, [](const th::Upcall &) { return th::ByteVec{0, 0, 0, 0}; });
        ASSERT_EQ(4, send(201, th::Bytes().u8(1).i32(0).text("x")));
        ASSERT_EQ(0, i32At(0));
        ASSERT_EQ(1u, H().idles.size());
        EXPECT_EQ(0, lifeCycle(kMsgUnload, false));
        EXPECT_EQ(1u, H().idles.size());
        EXPECT_TRUE(server.unregistrations.empty());
        EXPECT_EQ(0, lifeCycle(kMsgUnload, true));
        EXPECT_TRUE(H().idles.empty());
        EXPECT_EQ(std::vector<long>{42}, server.unregistrations);
        m.reset();
    }
    CoUninitialize();
}

TEST_F(Dispatch, CodesWithoutAHandlerAnswerNothingAndLeaveTheReplyAlone) {
    load();
    for (int code : {-5, -3, 2, 11, 13, 14, 15, 49, 52, 99, 109, 199, 203, 208, 1000,
                     0x7fffffff}) {
        EXPECT_EQ(0, send(code, th::Bytes().zeros(64))) << code;
        EXPECT_TRUE(m->replyUntouchedFrom(0)) << code;
    }
}

TEST_F(Dispatch, SettingsAreReadOnceAndOnlyByRequestsThatUseThem) {
    load(114, "updir=" + tmp.path() + "\r\nUPDIR=" + up() + "\r\nDnDir=x\r\nOTHER=1\r\n");
    send(rq::kGetCwd, th::Bytes());
    send(rq::kLangIds, th::Bytes().i32(0));
    send(rq::kPut2, th::Bytes().zeros(10).text(tmp.file("p.bin")));
    EXPECT_TRUE(H().iniReads.empty());
    send(rq::kRecv, receiveOpen("one.txt"));
    send(rq::kRecv, receiveOpen("two.txt"));
    send(rq::kRecv, th::Bytes().u32(1).u32(0).u8(2));
    EXPECT_EQ(std::vector<std::string>{"termcore.ini"}, H().iniReads);
    // Keys match exactly: "updir" is not UPDIR.
    EXPECT_TRUE(exists(up() + "\\two.txt"));
    EXPECT_FALSE(exists(tmp.file("two.txt")));
}

TEST_F(Dispatch, OverlongSettingIsIgnored) {
    load(114, "UPDIR=" + std::string(2000, 'q') + "\r\n");
    ASSERT_EQ(6, send(rq::kRecv, receiveOpen("x.txt")));
    EXPECT_EQ(1, i32At(0));
    send(rq::kRecv, th::Bytes().zeros(8).u8(3));
}

TEST_F(Dispatch, LocaleInfoIsTheSystemsAnswerForEachSelector) {
    load();
    const LCID locales[] = {GetUserDefaultLCID(), GetSystemDefaultLCID(), 1049, 1049};
    const int32_t selectors[] = {0, 1, 7, -3};
    for (int i = 0; i < 4; ++i)
        for (LCTYPE type : {LOCALE_SLANGUAGE, LOCALE_SENGLANGUAGE, LOCALE_SSHORTDATE, LOCALE_IDEFAULTANSICODEPAGE}) {
            char want[128];
            int len = GetLocaleInfoA(locales[i], type, want, 127);
            ASSERT_GT(len, 0);
            int n = send(rq::kLocaleInfo, th::Bytes().i32(selectors[i]).i32(static_cast<int32_t>(type)));
            ASSERT_EQ(4 + len, n) << selectors[i] << " " << type;
            WireReader r = reply(n);
            EXPECT_EQ(len, r.i32());
            EXPECT_EQ(std::string(want), r.text());
        }
    ASSERT_EQ(4, send(rq::kLocaleInfo, th::Bytes().i32(0).i32(0x7fff)));
    EXPECT_EQ(0, i32At(0));
    // Language ids: the user's (Russian in the test run), the system's, Russian.
    for (auto [selector, want] : {std::pair<int32_t, int32_t>{0, 1049}, {1, GetSystemDefaultLangID()}, {9, 1049}}) {
        ASSERT_EQ(4, send(rq::kLangIds, th::Bytes().i32(selector)));
        EXPECT_EQ(want, i32At(0)) << selector;
    }
}

}  // namespace
