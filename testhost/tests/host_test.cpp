// The stand-in host must fail a test that uses what it did not enable, and
// its recorders must give back what a module handed them.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "host.h"
#include "module.h"

#include <memory>
#include <stdexcept>

namespace {

th::Host &H() { return th::Host::get(); }

struct HostTest : ::testing::Test {
    void SetUp() override { H().reset(); }
};

TEST_F(HostTest, TrapsNameTheirSlotUntilEnabled) {
    EXPECT_NONFATAL_FAILURE(H().ext()->GetMaxBlockSize(), "ZamExtCallBacks slot 26");
    EXPECT_NONFATAL_FAILURE(reinterpret_cast<int(ZAMCB *)()>(H().ext()->slot0)(),
                            "ZamExtCallBacks slot 0");
    H().enableExt({26});
    H().maxBlockSize = 4096;
    EXPECT_EQ(4096, H().ext()->GetMaxBlockSize());
    EXPECT_NONFATAL_FAILURE(reinterpret_cast<int(ZAMCB *)()>(H().app()->fn->reserved11)(),
                            "AppIntf slot 11");
}

int ZAMCB collect(const char *key, const char *value, void *ctx) {
    auto *v = static_cast<std::vector<std::string> *>(ctx);
    v->push_back(std::string(key) + "=" + value);
    return std::string(key) == "STOP" ? 7 : 0;
}

TEST_F(HostTest, IniReaderCallsBackInOrderAndStopsEarly) {
    th::TempDir d;
    d.write("a.ini", "; note\r\n[sect]\r\n KEY1 = one \r\nnovalue\r\nSTOP=x\r\nAFTER=y\r\n");
    H().enableExt({14});
    H().iniDir = d.path();
    std::vector<std::string> got;
    EXPECT_EQ(7, H().ext()->ReadIniFile("a.ini", collect, &got));
    EXPECT_EQ((std::vector<std::string>{"KEY1=one", "STOP=x"}), got);
    got.clear();
    EXPECT_EQ(0, H().ext()->ReadIniFile("missing.ini", collect, &got));
    EXPECT_TRUE(got.empty());
}

TEST_F(HostTest, UpcallsAreRecordedAndAnsweredPerTableAndCode) {
    TAppObj *app = H().app();
    H().respond("PXTBL#1", 101, [](const th::Upcall &u) {
        return std::optional<th::ByteVec>(th::ByteVec{u.payload[0], 9});
    });
    char *b = app->fn->getSendBuff(app, 3, "PXTBL#1", 101);
    b[0] = 5;
    int size = 3;
    char *r = app->fn->transactMessage(app, b, &size);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(2, size);
    EXPECT_EQ(5, r[0]);
    b = app->fn->getSendBuff(app, 1, "PXTBL#1", 102);
    size = 1;
    EXPECT_EQ(nullptr, app->fn->transactMessage(app, b, &size));
    b = app->fn->getSendBuff(app, 2, "X", 7);
    app->fn->sendMessage(app, b);
    ASSERT_EQ(3u, H().upcalls.size());
    EXPECT_EQ("X", H().upcalls[2].table);
    EXPECT_FALSE(H().upcalls[2].transact);
}

int consumed;
int ZAMCB eatChar(MSG *m) { return m->message == WM_CHAR ? (++consumed, 1) : 0; }

TEST_F(HostTest, GetEventRunsFiltersScriptAndWatchdog) {
    TAppObj *app = H().app();
    app->fn->addFilterProc(app, eatChar, 0);
    consumed = 0;
    H().script.push_back([] { PostThreadMessageA(GetCurrentThreadId(), WM_CHAR, 'a', 0); });
    H().script.push_back([] {
        PxEvent e{13, 0, 28, 0, 0, 0};
        H().queue.push_back(e);
    });
    PxEvent out{};
    EXPECT_EQ(1, app->fn->getEvent(app, &out, -1));
    EXPECT_EQ(13, out.code);
    EXPECT_EQ(1, consumed);
    EXPECT_EQ(0, app->fn->getEvent(app, &out, 0));
    H().watchdogMs = 50;
    EXPECT_NONFATAL_FAILURE(app->fn->getEvent(app, &out, -1), "Esc fed");
    EXPECT_EQ(27, out.code);
    app->fn->remFilterProc(app, eatChar);
    app->fn->remFilterProc(app, eatChar);
    EXPECT_EQ(1u, H().listErrors.size());
}

TEST_F(HostTest, PathHelpersRefuseWhatDoesNotFit) {
    H().enableExt({8, 11, 12});
    char out[kHostPathMax];
    EXPECT_EQ(1, H().ext()->ComposePath(out, "f.txt", "C:\\dir", 0));
    EXPECT_STREQ("C:\\dir\\f.txt", out);
    EXPECT_EQ(0, H().ext()->ComposePath(out, std::string(300, 'x').c_str(), "C:\\", 0));
    char dir[kHostPathMax], name[kHostPathMax];
    H().ext()->SplitPath("C:\\a\\b.c", dir, name, 0);
    EXPECT_STREQ("C:\\a", dir);
    EXPECT_STREQ("b.c", name);
    H().ext()->MakePath(out, "C:\\a", "b", "ini");
    EXPECT_STREQ("C:\\a\\b.ini", out);
}

// A table ends at a guard page right after its last slot: a module that
// reads past it crashes. Calls are counted per slot, traps included.
TEST_F(HostTest, TablesAreOnlyAsLongAsTheirVersionAndCountTheirCalls) {
    H().setExtSlots(26);
    H().enableExtAll();
    EXPECT_EQ(26, H().extSlots());
    H().setAppVersion(11);
    EXPECT_EQ(14, H().appSlots());
    TAppObj *app = H().app();
    EXPECT_EQ(11, app->fn->version(app));
    EXPECT_EQ(0, H().ext()->CompareNames("a", "A"));
    const unsigned char *end = reinterpret_cast<const unsigned char *>(app->fn) + 14 * sizeof(void *);
    MEMORY_BASIC_INFORMATION mbi;
    ASSERT_NE(0u, VirtualQuery(end, &mbi, sizeof mbi));
    EXPECT_EQ(static_cast<DWORD>(PAGE_NOACCESS), mbi.Protect);
    EXPECT_EQ((std::set<int>{1}), H().extSlotsCalled());
    EXPECT_EQ((std::set<int>{0}), H().appSlotsCalled());
    H().reset();
    EXPECT_EQ(kZamExtSlots, H().extSlots());
    EXPECT_TRUE(H().extSlotsCalled().empty());
}

TEST_F(HostTest, StrictAnswersOfBlockSizeProceduresAndReplyArea) {
    H().enableExt({26});
    H().blockSizeAnswersZero = true;
    EXPECT_EQ(0, H().ext()->GetMaxBlockSize());
    TAppObj *app = H().app();
    H().addProcsAnswerZero = true;
    EXPECT_EQ(0, app->fn->addFilterProc(app, eatChar, 0));
    EXPECT_EQ(1u, H().filters.size());
    app->fn->remFilterProc(app, eatChar);
    // The reply area moves and carries what was written so far.
    unsigned char reply[8] = {1, 2, 3, 4};
    H().currentReply = reply;
    H().currentReplySize = sizeof reply;
    H().moveReplyBuff = true;
    char *a = app->fn->getReplyBuff(app, 4);
    char *b = app->fn->getReplyBuff(app, 4);
    EXPECT_NE(reinterpret_cast<char *>(reply), a);
    EXPECT_NE(a, b);
    EXPECT_EQ(3, b[2]);
    EXPECT_EQ(reinterpret_cast<unsigned char *>(b), H().movedReply);
    EXPECT_EQ(nullptr, app->fn->getReplyBuff(app, 9));
    H().currentReply = nullptr;
    H().currentReplySize = 0;
}

// A module that did not load is a clear failure, never a call through a
// null export.
TEST_F(HostTest, AModuleThatDidNotLoadFailsClearly) {
    std::unique_ptr<th::Module> m;
    EXPECT_NONFATAL_FAILURE(m = std::make_unique<th::Module>("no such module.dll"), "LoadLibrary");
    EXPECT_THROW(m->proc("ZamExtMessageProc"), std::runtime_error);
    EXPECT_THROW(m->message(1), std::runtime_error);
    EXPECT_THROW(m->start(), std::runtime_error);
}

}  // namespace
