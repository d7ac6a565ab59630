// Requests 0 and 1: macros run through the stand-in interpreter library.
#include <cstring>

#include "qvsclient.h"
#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

enum : int { kRun = 0, kRunEx = 1 };

// Request 0, or 1 with its debug and trace words; the procedure name (with
// its NUL) follows the file name, the packed arguments follow the name.
th::Bytes runRequest(const std::string &macro, const std::string &proc, const th::Bytes &args, int count,
                     bool ex = false, int debug = 0, int trace = 0) {
    th::Bytes b;
    b.i16(static_cast<int16_t>(macro.size() + 1)).i16(static_cast<int16_t>(proc.empty() ? 0 : proc.size() + 1));
    b.i16(static_cast<int16_t>(count));
    if (ex) b.i16(static_cast<int16_t>(debug)).i16(static_cast<int16_t>(trace));
    b.text(macro);
    if (!proc.empty()) b.text(proc);
    return b.raw(args);
}

struct Macro : TermcoreTest {
    std::unique_ptr<th::Qvs> qvs;
    std::string macro;

    void loadWith(const std::string &body, const std::string &ini = "") {
        qvs = std::make_unique<th::Qvs>();
        macro = tmp.file("report.mac");
        spit(macro, body);
        load(114, ini.empty() ? "DATADIC=dd\r\n" : ini);
    }
    void TearDown() override {
        if (m) lifeCycle(kMsgUnload, false);
        TermcoreTest::TearDown();
        qvs.reset();
    }
    int run(const std::string &proc, const th::Bytes &args = th::Bytes(), int count = 0) {
        return send(kRun, runRequest(macro, proc, args, count));
    }
    int16_t status() const { return WireReader(m->reply(), 2).i16(); }
    std::string packed(size_t offset, int length) const {
        return std::string(reinterpret_cast<const char *>(m->reply()) + offset, length - offset);
    }
};

TEST_F(Macro, PackedValuesReachTheProcedureLastFirstAndTheResultComesBackPacked) {
    loadWith("proc echo echo\nproc concat concat\nproc sum sum\n");
    struct Case {
        const char *proc;
        th::Bytes args;
        int count;
        const char *call;
        std::string result;
    };
    const Case cases[] = {
        {"echo", th::Bytes().u8(V_INTEGER).i32(-7), 1, "call echo(-7)", std::string("\x01\xf9\xff\xff\xff", 5)},
        {"echo", th::Bytes().u8(V_STRING).text("abc"), 1, "call echo(\"abc\")", std::string("\x06" "abc\0", 5)},
        {"echo", th::Bytes().u8(V_BOOL).u8(1), 1, "call echo(true)", std::string("\x07\x01", 2)},
        {"echo", th::Bytes().u8(V_DOUBLE).u64(0x4004000000000000ull), 1, "call echo(2.5)",
         std::string("\x03\0\0\0\0\0\0\x04\x40", 9)},
        {"echo", th::Bytes().u8(V_DATE).u8(9).u8(12).u16(2026), 1, "call echo(type9)",
         std::string("\x09\x09\x0c\xea\x07", 5)},
        {"echo", th::Bytes().u8(V_DTTM).u32(1).u32(2), 1, "call echo(type23)",
         std::string("\x17\x01\0\0\0\x02\0\0\0", 9)},
        {"echo", th::Bytes().u8(V_TIME).u8(1).u8(2).u8(3).u8(4), 1, "call echo(type10)",
         std::string("\x0a\x01\x02\x03\x04", 5)},
        {"echo", th::Bytes().u8(V_MONEY).i64(-12345), 1, "call echo(type2)",
         std::string("\x02\xc7\xcf\xff\xff\xff\xff\xff\xff", 9)},
        {"echo", th::Bytes().u8(V_DOUBLEL).raw("0123456789", 10), 1, "call echo(type5)",
         std::string("\x05" "0123456789", 11)},
        // A type without payload travels as its type byte alone.
        {"echo", th::Bytes().u8(V_OBJECT).u8(V_INTEGER).i32(1), 2, "call echo(1,none)", std::string(1, '\x01') + std::string("\x01\0\0\0", 4)},
        // The first packed value is the last argument; type 0 leaves its cell empty.
        {"concat", th::Bytes().u8(V_INTEGER).i32(1).u8(V_STRING).text("a"), 2, "call concat(\"a\",1)",
         std::string("\x06" "a1\0", 4)},
        {"sum", th::Bytes().u8(V_INTEGER).i32(2).u8(0).u8(V_INTEGER).i32(40), 3, "call sum(40,none,2)",
         std::string("\x01\x2a\0\0\0", 5)},
    };
    for (const Case &c : cases) {
        qvs->reset();
        int n = run(c.proc, c.args, c.count);
        EXPECT_EQ(0, status()) << c.call;
        EXPECT_EQ(c.result, packed(2, n)) << c.call;
        EXPECT_NE(std::string::npos, qvs->journal().find(c.call + std::string("\n"))) << qvs->journal();
    }
}

TEST_F(Macro, StatusTellsWhetherTheProcedureRan) {
    loadWith("proc fails fail\nvar x int 1\n");
    // No procedure: the body runs, status 0 and an empty packed result.
    EXPECT_EQ(3, run(""));
    EXPECT_EQ(0, status());
    EXPECT_EQ(std::string(1, '\0'), packed(2, 3));
    for (const char *proc : {"missing", "fails"}) {
        EXPECT_EQ(3, run(proc)) << proc;
        EXPECT_EQ(2, status()) << proc;
    }
    // Each run frees the interpreter's automatic instance.
    EXPECT_NE(std::string::npos, qvs->journal().find("free auto"));
    // Offsets and lengths that lead outside the record or below it: no reply.
    for (int16_t offset : {int16_t(-1), int16_t(0x7fff)}) {
        EXPECT_EQ(0, m->messageInBlock(kRun, th::Bytes().i16(offset).i16(4).i16(0).text(macro))) << offset;
        EXPECT_TRUE(m->replyUntouchedFrom(0));
    }
    // A macro the interpreter cannot run: the start callback never came.
    EXPECT_EQ(2, send(kRun, runRequest(tmp.file("none.mac"), "", th::Bytes(), 0)));
    EXPECT_EQ(1, status());
}

TEST_F(Macro, RequestOneCarriesTheTraceFlagUnderTheDebugger) {
    loadWith("proc echo echo\n");
    struct Case {
        int debug, trace, replyTrace;
        const char *journal;  // only under the debugger
    };
    // Under the debugger the trace value goes to the interpreter at the start
    // and the flag it holds at the end comes back; otherwise the flag is 0.
    for (Case c : {Case{1, 5, 5, "trace 5\n"}, Case{0, 5, 0, "trace"}}) {
        qvs->reset();
        int n = send(kRunEx, runRequest(macro, "echo", th::Bytes().u8(V_INTEGER).i32(3), 1, true, c.debug, c.trace));
        ASSERT_EQ(9, n);
        WireReader r(m->reply(), 9);
        EXPECT_EQ(0, r.i16());
        EXPECT_EQ(c.replyTrace, r.i16());
        EXPECT_EQ(V_INTEGER, r.u8());
        EXPECT_EQ(3, r.i32());
        EXPECT_EQ(c.debug != 0, qvs->journal().find(c.journal) != std::string::npos) << qvs->journal();
    }
    // A debug attach after a run without the debugger is not served.
    spit(macro, "send 76 x\nsend 60 x\n");
    qvs->reset();
    send(kRunEx, runRequest(macro, "", th::Bytes(), 0, true, 0, 0));
    EXPECT_NE(std::string::npos, qvs->journal().find("send 76 -> 0\nsend 60 -> 0\n")) << qvs->journal();
    // Under it, the attach finds no debugger library: 3.
    qvs->reset();
    send(kRunEx, runRequest(macro, "", th::Bytes(), 0, true, 1, 0));
    EXPECT_NE(std::string::npos, qvs->journal().find("send 76 -> 1\nsend 60 -> 3\n")) << qvs->journal();
}

// The debugger runs on a thread of its own; its requests are served on the
// interpreter's thread until it detaches, and the run ends its session.
TEST_F(Macro, TheLocalDebuggerIsServedUntilItDetaches) {
    th::ZamDbg dbg;
    loadWith("send 60 go\nsend 38 fl\nsend 78 fl\nsend 77 data\n");
    tmp.write("local.mac", "local text");
    dbg.localSource(tmp.file("local.mac"));
    send(kRunEx, runRequest(macro, "", th::Bytes(), 0, true, 1, 0));
    std::string j = qvs->journal();
    // Operation 14: its value through slot 27, that object through 40, then 17.
    EXPECT_NE(std::string::npos, j.find("setdbg set\ndbg postitems 31 3\ndbg check14 5070 2 ok after 27:70 40:1070\n"
                                        "dbg post5 9 0\ndbg source close 7\ndbg signal\ndbg loop end\n"
                                        "send 60 -> 42\n")) << j;
    EXPECT_NE(std::string::npos, j.find("setdbg null\n")) << j;
    std::string d = dbg.journal();
    EXPECT_EQ(0u, d.find("create 2\nmode 0\nstart go\ndirect query 55\nvalues 13 6 12 21\n"
                         "state 1 11 12 13 14 5 state t|state text two\nname 2 30 name\nitems 2 1,4,0,7 5,12,2,7\n"
                         "find 3 43\ntexts2 4 53 first o|second of two\ncheck26 1 0\ncheck14 1\n"
                         "texts3 10 90 100 one|two|thr\ntexts3 11 91 102 one|two|thr\ntexts3 12 92 104 one|two|thr\n"
                         "texts3 13 93 106 one|two|thr\nlevel 1 0\nquery 55\n"
                         "post4 1\nsource 5 10 10 alpha beta\nsource 6 10 10 local text\nlocal 0\n")) << d;
    for (const char *line : {"detach 1\n", "query after 0\n", "flag on fl\n", "flag off fl\n", "send data\n"})
        EXPECT_NE(std::string::npos, d.find(line)) << line << d;
    // The session ends with the run: the debugger's thread is gone.
    EXPECT_EQ(d.size() - 8, d.rfind("destroy\n")) << d;
}

// A start that fails after the debugger's thread asked: the question comes
// back unanswered, and the next attach of the run starts clean, without a
// request left over from the failed one.
TEST_F(Macro, AFailedDebuggerStartLeavesNothingWaiting) {
    th::ZamDbg dbg;
    loadWith("send 60 fail\nsend 60 go\n");
    send(kRunEx, runRequest(macro, "", th::Bytes(), 0, true, 1, 0));
    std::string j = qvs->journal();
    EXPECT_NE(std::string::npos, j.find("send 60 -> 3\n")) << j;
    EXPECT_NE(std::string::npos, j.find("send 60 -> 42\n")) << j;
    std::string d = dbg.journal();
    size_t failed = d.find("start failed\n");
    ASSERT_NE(std::string::npos, failed) << d;
    EXPECT_NE(std::string::npos, d.find("failed start asked: 0\n")) << d;
    EXPECT_EQ(std::string::npos, d.find("still waiting")) << d;
    // The good start's session runs from its first question as always; the
    // failed start's thread notes its answer whenever it gets to run.
    std::string good = d;
    size_t asked = good.find("failed start asked: 0\n");
    if (asked != std::string::npos) good.erase(asked, sizeof "failed start asked: 0\n" - 1);
    EXPECT_NE(std::string::npos, good.find("start go\ndirect query 55\nvalues 13 6 12 21\n", failed)) << d;
    EXPECT_NE(std::string::npos, d.find("detach 1\n")) << d;
    EXPECT_EQ(std::string::npos, d.find("target names another")) << d;
    // The target the debugger was started on, as it reads it.
    QvWord target[7] = {};
    reinterpret_cast<void(QVSCB *)(QvWord *)>(GetProcAddress(GetModuleHandleA("ZAMDBG.DLL"), "ZamDbgTestTarget"))(target);
    EXPECT_EQ(0, target[0]);  // local
    EXPECT_EQ(1, target[1]);  // active while started
    EXPECT_EQ(1, target[2]);  // its handle at +2
    EXPECT_NE(0, target[3]);  // the session
    EXPECT_EQ(static_cast<QvWord>(GetCurrentThreadId()), target[5] & 0xFFFFFFFF);
}

TEST_F(Macro, InterpreterMessagesReachTheHost) {
    loadWith("error 7 -1 bad thing\nerror 8 3 worse\nsend 26 hello\nsend 44 boxed\nprint printed\n"
             "ax 1F\nax 2a described\nask 111\n",
             "DATADIC=dd\r\nDATAPATH=dp\r\nDBFPATH=fp\r\nTXTPATH=tp\r\nINCPATH=ip\r\n");
    H().messages.clear();
    run("");
    using Lines = std::vector<std::string>;
    const std::vector<Lines> expected = {
        {"Error:", "E7 bad thing"},
        {"Error in module:", macro, "Line: 3", "E8 worse"},
        {"Message", "hello"},
        {"MsgBox", "boxed"},
        {"Print", "printed"},
        {"ActiveX Error:", "No description", "(1F)"},
        {"ActiveX Error:", "described", "(2A)"},
    };
    EXPECT_EQ(expected, H().messages);
    std::string j = qvs->journal();
    EXPECT_NE(std::string::npos, j.find("print -> 1\n"));
    EXPECT_NE(std::string::npos, j.find("ask 111 -> 1 dd|dp|ip|tp|fp|(null)|(null)\n")) << j;
    // An ActiveX error the interpreter takes over is not shown.
    qvs->set("axInfo", 1);
    H().messages.clear();
    spit(macro, "ax 1F\n");
    run("");
    EXPECT_TRUE(H().messages.empty());
}

TEST_F(Macro, OutputSettingNamesTheFileOfPrintedText) {
    struct Case {
        std::string output, file;
    };
    th::TempDir out;
    CreateDirectoryA(out.file("dir.d").c_str(), nullptr);
    const Case cases[] = {
        {out.file("*.txt"), out.file("report.txt")},
        {out.file("*"), out.file("report")},
        {out.file("*.*"), out.file("report")},
        {out.file("*txt"), out.file("report")},
        {out.file("plain.log"), out.file("plain.log")},
        // A dot in a folder name is never taken for the macro's extension.
        {out.file("dir.d\\*.lst"), out.file("dir.d\\report.lst")},
    };
    for (const Case &c : cases) {
        loadWith("print one\nsend 26 two\nprint three\n", "OUTPUT=" + c.output + "\r\n");
        H().messages.clear();
        run("");
        EXPECT_EQ("onetwothree", slurp(c.file)) << c.output;
        // Messages are shown as well; printed text only goes to the file.
        EXPECT_EQ(1u, H().messages.size());
        DeleteFileA(c.file.c_str());
        TearDown();
        m.reset();
    }
    // A macro without extension in a dotted folder keeps its whole name.
    loadWith("print x\n", "OUTPUT=" + out.file("dir.d\\*.o") + "\r\n");
    macro = out.file("dir.d\\plain");
    spit(macro, "print x\n");
    run("");
    EXPECT_EQ("x", slurp(out.file("dir.d\\plain.o")));
}

TEST_F(Macro, RedirectionToTheScreenAppendsToTheOpenOutputFile) {
    th::TempDir out;
    loadWith("print A\nredirect >\nprint B\nredirect >other\n", "OUTPUT=" + out.file("*.txt") + "\r\n");
    H().redirectResult = 42;
    run("");
    EXPECT_EQ((std::vector<std::string>{">>" + out.file("report.txt"), ">other"}), H().redirectTargets);
    ASSERT_EQ(2u, H().redirects.size());
    EXPECT_EQ(640, H().redirects[0][4]);
    // Reopened for appending after the host's redirection.
    EXPECT_EQ("AB", slurp(out.file("report.txt")));
    EXPECT_NE(std::string::npos, qvs->journal().find("redirect > -> 42\n"));
}

TEST_F(Macro, IncompleteLibraryAnswersStatusThreeAndIsNotKept) {
    {
        th::Qvs partial("qvscript_partial");
        macro = tmp.file("report.mac");
        spit(macro, "proc echo echo\n");
        load();
        EXPECT_EQ(2, send(kRun, runRequest(macro, "echo", th::Bytes(), 0)));
        EXPECT_EQ(3, status());
        EXPECT_EQ(4, send(kRunEx, runRequest(macro, "", th::Bytes(), 0, true, 1, 0)));
        EXPECT_EQ(3, status());
        EXPECT_TRUE(partial.journal().empty());
    }
    // termcore holds no reference of its own.
    EXPECT_EQ(nullptr, GetModuleHandleA("QVScript.dll"));
}

}  // namespace
