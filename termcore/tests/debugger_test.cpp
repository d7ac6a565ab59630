// Requests 10 to 14: remote debug sessions, whose debugger asks the server on
// the "ZamDebug" channel, against scripted channel replies.
#include <windows.h>

#include <map>

#include "qvsclient.h"
#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

enum : int { kOpen = 10, kClose = 11, kStart = 12, kData = 13, kFlag = 14 };
constexpr int32_t kServerHandle = 77;
// The server's time of its sources: older than any file the test writes.
constexpr int32_t kServerTime = 1000000000;

th::Bytes texts(th::Bytes b, std::initializer_list<const char *> list) {
    for (const char *t : list) b.text(t);
    return b;
}

// The server's answers by operation; the request's value picks among them
// where the stand-in debugger asks the same operation twice.
std::optional<th::ByteVec> serve(const th::ChannelCall &c) {
    WireReader r(c.request.data(), c.request.size());
    r.i32();
    int32_t value = r.i32();
    th::Bytes b;
    switch (c.op) {
    case 0: b = texts(th::Bytes().i32(1).i32(11).i32(12).i32(13).i32(14).i32(15), {"state text", "state text two"}); break;
    case 1: b = texts(th::Bytes().i32(2).i32(30), {"name text"}); break;
    case 2: b.i32(13).i32(6).i32(12).i32(21); break;
    case 5: b.i32(1).i32(4).i16(0).i16(7).i32(0).i32(0).i16(0).i16(0).i32(5).i32(12).i16(2).i16(7); break;
    case 7: b.i32(3).i32(0).i32(43); break;
    case 9: b = texts(th::Bytes().i32(4).i32(53), {"first one", "second of two"}); break;
    case 10: case 11: case 12: case 13:
        b = texts(th::Bytes().i32(c.op).i32(80 + c.op).i32(90 + 2 * c.op), {"one", "two", "three"});
        break;
    case 14: case 26: {
        r.i32();
        b.i32(r.text() == "ok" ? 1 : 0).i32(0);
        break;
    }
    case 16: b.i32(value == 5 ? 9 : 0).i32(0); break;
    case 17: b.i32(10).raw("alpha beta", 10); break;
    case 18: b.i32(10).i32(0); break;
    case 23: b.i32(55).i32(0); break;
    case 24: b.i32(1).i32(7); break;
    case 25: b.i32(kServerTime).text(value == 5 ? "lib\\rep5" : "fresh"); break;
    default: return std::nullopt;
    }
    return b.vec();
}

struct Debugger : TermcoreTest {
    std::unique_ptr<th::ZamDbg> dbg;

    void loadAt(int protocol) {
        dbg = std::make_unique<th::ZamDbg>();
        CreateDirectoryA(tmp.file("cash").c_str(), nullptr);
        CreateDirectoryA(tmp.file("src").c_str(), nullptr);
        load(protocol, "CASHDIR=" + tmp.file("cash") + "\r\nSRCDIR=" + tmp.file("src") + "\r\n");
        H().channelResponder = serve;
    }
    void TearDown() override {
        TermcoreTest::TearDown();
        dbg.reset();
    }
    // Reply of request 10 or 12: the two words.
    std::pair<int32_t, int32_t> words(int code, const th::Bytes &b) {
        EXPECT_EQ(8, send(code, b));
        return {i32At(0), i32At(4)};
    }
};

// The stand-in debugger's whole session, on its own thread, answered by the
// server: every entry of the target table travels on the channel with the
// server's handle first.
TEST_F(Debugger, RemoteSessionAsksTheServerOnTheChannel) {
    struct Case {
        int protocol;
        int signals;  // empty posts: hosts before 82 get none
    } cases[] = {{114, 1}, {81, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.protocol);
        loadAt(c.protocol);
        DeleteFileA(tmp.file("cash\\rep5.ma~").c_str());
        tmp.write("src\\fresh.mac", "fresh text");
        EXPECT_EQ(std::make_pair(1, 1), words(kOpen, th::Bytes().i32(kServerHandle)));
        send(kFlag, th::Bytes().i32(1).i32(5).i16(1));
        send(kFlag, th::Bytes().i32(1).i32(6).i16(0));
        send(kData, th::Bytes().i32(1).i32(0).text("payload"));
        EXPECT_EQ(std::make_pair(1, 0), words(kStart, th::Bytes().i32(1).i32(3)));
        send(kClose, th::Bytes().i32(1));

        std::string d = dbg->journal();
        EXPECT_EQ(0u, d.find("create 2\nflag on #5\nflag off #6\nsend payload\nstart #3\ndirect query 55\n"
                             "values 13 6 12 21\nstate 1 11 12 13 14 15 state t|state text two\nname 2 30 name\n"
                             "items 2 1,4,0,7 5,12,2,7\nfind 3 43\ntexts2 4 53 first o|second of two\ncheck26 1 0\n"
                             "check14 1\ntexts3 10 90 110 one|two|thr\ntexts3 11 91 112 one|two|thr\n"
                             "texts3 12 92 114 one|two|thr\ntexts3 13 93 116 one|two|thr\nlevel 1 7\nquery 55\n"
                             "post4 1\nsource 5 10 10 alpha beta\nsource 6 10 10 fresh text\nlocal 0\ndetach 1\n"
                             "query after 0\ndestroy\n")) << d;
        std::vector<int> posts;
        for (const th::ChannelCall &s : H().channelSends) {
            posts.push_back(s.op);
            EXPECT_EQ("ZamDebug", s.channel);
            EXPECT_EQ(kServerHandle, WireReader(s.request.data(), 4).i32());
        }
        EXPECT_EQ((std::vector<int>{6, 4, 19, 21}), posts);
        EXPECT_EQ(c.signals, H().userBreaks);
        for (const th::ChannelCall &t : H().channelTransacts) {
            EXPECT_EQ("ZamDebug", t.channel);
            EXPECT_EQ(kServerHandle, WireReader(t.request.data(), 4).i32());
            // A fresh source folder copy is read without asking for the text.
            if (t.op == 16) {
                EXPECT_EQ(5, WireReader(t.request.data() + 4, 4).i32());
            }
        }
        // The server's text was kept in the cache with the server's time.
        EXPECT_EQ("alpha beta", tmp.read("cash\\rep5.ma~"));
        EXPECT_EQ(kServerTime, unixTimes(tmp.file("cash\\rep5.ma~")).second);
        TearDown();
        SetUp();
    }
}

// A cached copy as new as the server's text is read in place of it.
TEST_F(Debugger, FreshCacheCopyIsReadInsteadOfTheServersText) {
    loadAt(114);
    tmp.write("cash\\rep5.ma~", "cached txt");
    words(kOpen, th::Bytes().i32(kServerHandle));
    words(kStart, th::Bytes().i32(1).i32(3));
    send(kClose, th::Bytes().i32(1));
    std::string d = dbg->journal();
    EXPECT_NE(std::string::npos, d.find("source 5 10 10 cached txt\n")) << d;
    for (const th::ChannelCall &t : H().channelTransacts)
        if (t.op == 16) {
            EXPECT_NE(5, WireReader(t.request.data() + 4, 4).i32());
        }
}

// The server's text becomes the cache only when the whole of it came: a
// fetch that fails part-way leaves the cache that was there, or none, and no
// other file.
TEST_F(Debugger, AFailedFetchLeavesTheCacheAsItWas) {
    struct Case {
        const char *why;
        int op;
        th::ByteVec answer;  // empty: none
    };
    const Case cases[] = {
        {"the read is not answered", 17, {}},
        {"the read claims more than it holds", 17, th::Bytes().i32(10).raw("alpha", 5).vec()},
        {"the text ends before its size", 18, th::Bytes().i32(20).i32(0).vec()},
    };
    const std::string cache = tmp.file("cash\\rep5.ma~");
    for (const Case &c : cases)
        for (bool old : {true, false}) {
            SCOPED_TRACE(std::string(c.why) + (old ? ", an old cache" : ", no cache"));
            loadAt(114);
            DeleteFileA(cache.c_str());
            if (old) {
                tmp.write("cash\\rep5.ma~", "old text");
                setUnixTimes(cache, kServerTime - 100, kServerTime - 100);
            }
            H().channelResponder = [&](const th::ChannelCall &call) -> std::optional<th::ByteVec> {
                if (call.op != c.op) return serve(call);
                if (c.answer.empty()) return std::nullopt;
                return c.answer;
            };
            words(kOpen, th::Bytes().i32(kServerHandle));
            words(kStart, th::Bytes().i32(1).i32(3));
            send(kClose, th::Bytes().i32(1));
            if (old) {
                EXPECT_EQ(kServerTime - 100, unixTimes(cache).second);
                EXPECT_EQ("old text", tmp.read("cash\\rep5.ma~"));
            }
            EXPECT_EQ(old ? std::set<std::string>{"rep5.ma~"} : std::set<std::string>{}, filesIn(tmp.file("cash")));
            TearDown();
            SetUp();
        }
}

// A reply length beyond the room given counts as that room: texts and
// outputs come from the reply alone.
TEST_F(Debugger, OverstatedReplyLengthsReadNoFurtherThanTheReply) {
    loadAt(114);
    H().channelExtraLength = 100000;
    words(kOpen, th::Bytes().i32(kServerHandle));
    words(kStart, th::Bytes().i32(1).i32(3));
    send(kClose, th::Bytes().i32(1));
    std::string d = dbg->journal();
    for (const char *line : {"values 13 6 12 21\n", "name 2 30 name\n", "texts2 4 53 first o|second of two\n",
                             "source 5 10 10 alpha beta\n"})
        EXPECT_NE(std::string::npos, d.find(line)) << line << d;
}

// The host's own channel function, and what the replacement does on top
// of it: the call's result says nothing, the length it reports decides.
decltype(ZamExtCallBacks::TransactChannel) g_hostTransact = nullptr;
bool g_zeroLength = false;
int ZAMCB transactReportingLength(const void *req, int len, const char *channel, int op, void *reply, int replySize,
                                   unsigned *replyLength, int wait) {
    int r = g_hostTransact(req, len, channel, op, reply, replySize, replyLength, wait);
    if (g_zeroLength) {
        *replyLength = 0;
        return 1;
    }
    return r ? 0 : 1;
}

TEST_F(Debugger, QuestionsAreAnsweredByTheReplyLengthTheHostReports) {
    struct Case {
        bool zeroLength;
        std::vector<const char *> lines;
    } cases[] = {
        // Answered with a call result of 0: the answers count.
        {false, {"direct query 55\n", "values 13 6 12 21\n", "name 2 30 name\n", "level 1 7\n",
                 "source 5 10 10 alpha beta\n"}},
        // Length 0 with a call result of 1: no answer anywhere.
        {true, {"direct query 0\n", "values 0 0 0 0\n", "find 0 0\n", "check26 0 0\n",
                "level 2 0\n", "query 0\n", "source 5 none\n"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.zeroLength);
        loadAt(114);
        g_hostTransact = H().ext()->TransactChannel;
        g_zeroLength = c.zeroLength;
        H().ext()->TransactChannel = transactReportingLength;
        words(kOpen, th::Bytes().i32(kServerHandle));
        words(kStart, th::Bytes().i32(1).i32(3));
        send(kClose, th::Bytes().i32(1));
        H().ext()->TransactChannel = g_hostTransact;
        std::string d = dbg->journal();
        for (const char *line : c.lines) EXPECT_NE(std::string::npos, d.find(line)) << line << d;
        TearDown();
        SetUp();
    }
}

// The target the debugger receives, read at its offsets: the remote flag,
// the debugger's handle at +2, the server's handle as owner, the session id
// and the two folders.
TEST_F(Debugger, RemoteTargetRecordCarriesTheServersHandleAndFolders) {
    loadAt(114);
    words(kOpen, th::Bytes().i32(kServerHandle));
    words(kOpen, th::Bytes().i32(kServerHandle + 1));
    words(kStart, th::Bytes().i32(2).i32(3));
    QvWord target[7] = {};
    reinterpret_cast<void(QVSCB *)(QvWord *)>(GetProcAddress(GetModuleHandleA("ZAMDBG.DLL"), "ZamDbgTestTarget"))(target);
    EXPECT_EQ(1, target[0]);
    EXPECT_EQ(1, target[1]);
    EXPECT_EQ(1, target[2]);
    EXPECT_EQ(kServerHandle + 1, target[3]);
    EXPECT_EQ(2, target[4]);
    ASSERT_NE(0, target[5]);
    ASSERT_NE(0, target[6]);
    EXPECT_EQ(tmp.file("cash"), reinterpret_cast<const char *>(target[5]));
    EXPECT_EQ(tmp.file("src"), reinterpret_cast<const char *>(target[6]));
    lifeCycle(kMsgUnload, true);
}

TEST_F(Debugger, SessionIdsCountOnAndUnknownIdsAreIgnored) {
    loadAt(114);
    EXPECT_EQ(std::make_pair(1, 1), words(kOpen, th::Bytes().i32(1)));
    EXPECT_EQ(std::make_pair(1, 2), words(kOpen, th::Bytes().i32(2)));
    send(kClose, th::Bytes().i32(1));
    EXPECT_EQ(std::make_pair(1, 3), words(kOpen, th::Bytes().i32(3)));
    EXPECT_EQ(std::make_pair(0, 0), words(kStart, th::Bytes().i32(9).i32(3)));
    EXPECT_EQ(0, send(kData, th::Bytes().i32(9).i32(0).text("x")));
    EXPECT_EQ(0, send(kFlag, th::Bytes().i32(1).i32(5).i16(1)));
    EXPECT_EQ(0, send(kClose, th::Bytes().i32(1)));
    // The end of the session closes the two left.
    lifeCycle(kMsgUnload, true);
    std::string d = dbg->journal();
    EXPECT_EQ("create 2\ncreate 2\ndestroy\ncreate 2\ndestroy\ndestroy\n", d);
}

TEST_F(Debugger, WithoutTheDebuggerLibraryNoSessionOpens) {
    load(114);
    EXPECT_EQ(std::make_pair(0, 0), words(kOpen, th::Bytes().i32(kServerHandle)));
    EXPECT_EQ(std::make_pair(0, 0), words(kStart, th::Bytes().i32(1).i32(3)));
}

}  // namespace
