// comscript loaded as the host loads it, its objects driven through the
// stand-in interpreter library and object runtime.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "module.h"
#include "qvobject.h"
#include "qvrecords.h"
#include "qvsclient.h"

namespace {

// An argument of a member call.
struct Arg {
    int type;
    QvWord value;
    std::string text;
};
Arg I(int v) { return {kQvtInt, v, ""}; }
Arg S(const std::string &s) { return {kQvtString, 0, s}; }
Arg B(bool b) { return {kQvtBool, b ? 1 : 0, ""}; }
Arg O(QvIntf *o) { return {kQvtObject, qv_word(o), ""}; }

// The site: records the texts its On... members receive.
std::vector<std::string> g_site;
const QvMemberEntry kSiteMembers[] = {
    {"OnPrint", 1, 0, nullptr, kQvMethod, 5, {}},   {"OnMessage", 2, 0, nullptr, kQvMethod, 5, {}},
    {"OnErrPrint", 3, 0, nullptr, kQvMethod, 5, {}}, {"OnMsgBox", 4, 0, nullptr, kQvMethod, 5, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB siteMembers() { return kSiteMembers; }
const QvClassRecord *QVSCB siteClass() {
    static const QvClassRecord rec{TDispStub_class, siteMembers, "TSite", 0};
    return &rec;
}
struct TSite : TDispStub {
    using TDispStub::TDispStub;
    const QvClassRecord *classRecord() const override { return siteClass(); }
    QvWord Invoke(int dispid, int, QvIntf *parms, QvWord) override {
        g_site.push_back(std::string(kSiteMembers[dispid - 1].name) + ":" + TParm(parms, 0, 0).GetString());
        return 0;
    }
};

// The outer host record: answers code * 10 and records the codes.
std::vector<int> g_outer;
int QVSCB outerCallback(ZamHostRecord *, ZamInstance *, int code, void *) {
    g_outer.push_back(code);
    return code * 10;
}

struct Comscript : ::testing::Test {
    th::Qvs qvs;  // loaded first: comscript's import binds to this copy
    th::TempDir tmp;
    std::string dir;
    std::unique_ptr<th::Module> m;

    void SetUp() override {
        g_site.clear();
        g_outer.clear();
        dir = tmp.path();
        qvs.set("ownerDir", qv_word(dir.c_str()));
        m = std::make_unique<th::Module>("comscript.dll");
        m->start();
    }
    void TearDown() override { m.reset(); }

    QvIntf *runtime() const { return qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime)); }
    int objectMessage(int code, QvObjRequest &r) {
        auto f = reinterpret_cast<ZamExtMessageProcFn>(m->proc("ZamExtMessageProc"));
        return f(static_cast<unsigned>(code), &r, nullptr);
    }
    QvObjRequest request(const char *cls, int iid, QvIntf *arg2, const char *name = "obj") {
        return QvObjRequest{0, qvs.owner(), cls, iid, 0, name, arg2};
    }
    QvIntf *create(const char *cls, int iid, QvIntf *arg2, const char *name = "obj") {
        QvObjRequest r = request(cls, iid, arg2, name);
        EXPECT_EQ(0, objectMessage(kMsgCreate, r)) << cls;
        return qv_ptr<QvIntf>(r.out);
    }
    QvIntf *newModule() { return create("QvComModule", kQvIidModule, nullptr, "mod"); }
    QvIntf *newScript(QvIntf *module, const char *name = "obj") {
        return create("TComscript", kQvIidDispatch6, module, name);
    }
    // Invokes a member; the list keeps the result and the arguments. A put
    // brings its value in the result entry, as the runtime and comgate do.
    QvWord invoke(QvIntf *disp, int dispid, std::initializer_list<Arg> args, TParmList &list, int flags = kQvCall) {
        list.Make(runtime(), static_cast<int>(args.size()) + 1, 0, 0);
        int i = (flags & kQvPut) ? 0 : 1;
        for (const Arg &a : args) {
            if (a.type == kQvtString)
                qv_call(list.intf(), kPmSetText, 0, i, a.text.c_str());
            else
                qv_call(list.intf(), kPmSet, 0, i, a.type, &a.value);
            ++i;
        }
        return qv_call(disp, kQvInvoke, dispid, flags, list.intf(), 0);
    }
    QvWord invoke(QvIntf *disp, int dispid, std::initializer_list<Arg> args = {}, int flags = kQvCall) {
        TParmList list;
        return invoke(disp, dispid, args, list, flags);
    }
    std::string module(const std::string &name, const std::string &body) {
        tmp.write(name, body);
        return tmp.file(name);
    }
    bool journalHas(const std::string &line) const {
        return ("\n" + qvs.journal()).find("\n" + line + "\n") != std::string::npos;
    }
};

std::string resultText(const TParmList &l) {
    QvWord v = 0;
    switch (l.Result().GetType()) {
    case kQvtString: return l.Result().GetString();
    case kQvtInt: l.Result().ReadAs(kQvtInt, &v); return std::to_string(v);
    case kQvtBool: return l.Result().GetBool() ? "true" : "false";
    default: return "none";
    }
}

TEST_F(Comscript, ObjectsAreCreatedByTheirExactClassName) {
    QvIntf *mod = newModule();
    ASSERT_NE(nullptr, mod);
    // The module passed back answers for itself; no second module is made.
    QvObjRequest again = request("QvComModule", kQvIidMain1, mod);
    EXPECT_EQ(0, objectMessage(kMsgCreate, again));
    QvIntf *main = qv_ptr<QvIntf>(again.out);
    QvIntf *back = nullptr;
    EXPECT_EQ(1, qv_call(main, kQvQueryInterface, kQvIidModule, &back));
    EXPECT_EQ(mod, back);
    qv_call(back, kQvRelease);
    qv_call(main, kQvRelease);
    struct Case {
        const char *cls;
        int iid;
        QvIntf *arg2;
        int code;
    };
    for (Case c : {Case{"tcomscript", 6, mod, kQvNoClass}, {"Other", 6, mod, kQvNoClass},
                   {nullptr, 6, mod, kQvNoClass}, {"TComscript", 3, mod, kQvNoInterface},
                   {"QvComModule", 3, mod, kQvNoInterface}, {"TComscript", kQvIidComscript, nullptr, 0},
                   {"TComscript", 6, mod, 0}}) {
        QvObjRequest r = request(c.cls, c.iid, c.arg2);
        r.out = 99;
        EXPECT_EQ(c.code, objectMessage(kMsgCreate, r)) << (c.cls ? c.cls : "null") << " " << c.iid;
        EXPECT_EQ(c.code == 0, r.out != 0);
        if (r.out && r.out != 99) qv_call(qv_ptr<QvIntf>(r.out), kQvRelease);
    }
    // Class information comes from the runtime with comscript's records.
    for (const char *cls : {"QvComModule", "TComscript"}) {
        QvObjRequest r = request(cls, 0, nullptr);
        EXPECT_EQ(0, objectMessage(kMsgClassInfo, r));
        EXPECT_STREQ(std::string(cls) == "TComscript" ? "TComscript" : "TComscriptModule",
                     qv_ptr<QvClassRecord>(r.out)->name);
    }
    QvObjRequest other = request("TComscriptModule", 0, nullptr);
    EXPECT_EQ(kQvNoClass, objectMessage(kMsgClassInfo, other));
    qv_call(mod, kQvRelease);
}

// The records the runtime reads for -12, word by word: TComscript's class
// record and the packed rows of its member table.
TEST_F(Comscript, ClassInformationRecordsAreLaidOutForTheRuntime) {
    QvObjRequest r = request("TComscript", 0, nullptr);
    ASSERT_EQ(0, objectMessage(kMsgClassInfo, r));
    th::ClassWords w = th::classWords(qv_ptr<void>(r.out));
    EXPECT_STREQ("TComscript", w.name);
    EXPECT_EQ(0, w.fourth);
    auto parent = reinterpret_cast<const void *(QVSCB *)()>(const_cast<void *>(w.parent));
    ASSERT_NE(nullptr, parent);
    EXPECT_STREQ("TDispStub", th::classWords(parent()).name);
    auto rows = reinterpret_cast<const unsigned char *(QVSCB *)()>(const_cast<void *>(w.members))();
    int count = 0;
    for (const unsigned char *row = rows; th::qvRead<const char *>(row, 0); row += th::kRowSize) ++count;
    EXPECT_EQ(21, count);
    const unsigned char *end = rows + count * th::kRowSize;
    EXPECT_EQ(-1, th::qvRead<int32_t>(end, th::kRowDispid));
    const unsigned char *zam = rows + 13 * th::kRowSize;
    EXPECT_STREQ("CreateZAMObject", th::qvRead<const char *>(zam, 0));
    EXPECT_EQ(13, th::qvRead<int32_t>(zam, th::kRowDispid));
    EXPECT_EQ(kQvtNone, zam[th::kRowResult]);
    const unsigned char *params = th::qvRead<const unsigned char *>(zam, th::kRowParams);
    ASSERT_NE(nullptr, params);
    EXPECT_EQ(std::string("\x08\x08"), reinterpret_cast<const char *>(params));
    EXPECT_EQ(kQvMethod, zam[th::kRowKind]);
    EXPECT_EQ(5, zam[th::kRowFlag]);
    // "Variable" parameters take a value of any type: a COM client sees a
    // VARIANT, not a date.
    for (int row : {3, 7, 8, 9, 10, 12}) {
        const unsigned char *variable = th::qvRead<const unsigned char *>(rows + row * th::kRowSize, th::kRowParams);
        ASSERT_NE(nullptr, variable) << row;
        EXPECT_EQ(std::string("\x7f"), reinterpret_cast<const char *>(variable)) << row;
    }
    const unsigned char *sql = rows + 20 * th::kRowSize;
    EXPECT_EQ(kQvProperty, sql[th::kRowKind]);
    EXPECT_EQ(kQvtBool, sql[th::kRowResult]);
    // The module's class: one creatable row.
    QvObjRequest m = request("QvComModule", 0, nullptr);
    ASSERT_EQ(0, objectMessage(kMsgClassInfo, m));
    th::ClassWords mw = th::classWords(qv_ptr<void>(m.out));
    EXPECT_STREQ("TComscriptModule", mw.name);
    EXPECT_EQ(0, mw.fourth);
    auto modRows = reinterpret_cast<const unsigned char *(QVSCB *)()>(const_cast<void *>(mw.members))();
    EXPECT_EQ(kQvCreatable, modRows[th::kRowKind]);
    EXPECT_EQ(kQvtClass, modRows[th::kRowResult]);
    EXPECT_EQ(0, modRows[th::kRowFlag]);
}

// An owner's Close and the last release close the object once: the module
// still counts the objects that live.
TEST_F(Comscript, CloseRunsOnceBeforeTheLastRelease) {
    QvIntf *mod = newModule();
    QvIntf *a = newScript(mod, "a");
    QvIntf *b = newScript(mod, "b");
    EXPECT_EQ(2, qv_call(mod, 7));
    QvIntf *life = nullptr;
    ASSERT_TRUE(qv_call(a, kQvQueryInterface, kQvIidLifecycle, &life));
    EXPECT_EQ(0, qv_call(life, kQvClose));
    EXPECT_EQ(0, qv_call(life, kQvClose));
    qv_call(life, kQvRelease);
    EXPECT_EQ(1, qv_call(mod, 7));
    // Closed, it starts no instance that nothing would stop.
    qvs.reset();
    invoke(a, 7, {S("x")});
    EXPECT_FALSE(journalHas("create a"));
    qv_call(a, kQvRelease);
    EXPECT_EQ(1, qv_call(mod, 7));
    QvObjRequest unload = request(nullptr, 0, mod);
    EXPECT_EQ(0, objectMessage(kMsgUnloadQuery, unload));
    qv_call(b, kQvRelease);
    EXPECT_EQ(kQvUnloadAllowed, objectMessage(kMsgUnloadQuery, unload));
    qv_call(mod, kQvRelease);
}

// Hostile object-model requests: every code answers, none reads through a
// null owner or asks an interface that is not comscript's module.
TEST_F(Comscript, ObjectModelCodesCheckEveryWordTheyUse) {
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod);
    QvObjRequest noOwner = request("TComscript", 0, nullptr);
    noOwner.owner = nullptr;
    EXPECT_EQ(kQvNoInterface, objectMessage(kMsgClassInfo, noOwner));
    EXPECT_EQ(0, noOwner.out);
    // A dispatch interface where the module belongs would answer 1000 from
    // its slot 7.
    QvObjRequest notModule = request(nullptr, 0, s);
    EXPECT_EQ(0, objectMessage(kMsgUnloadQuery, notModule));
    EXPECT_EQ(0, objectMessage(kMsgDropLocks, notModule));
    for (int code : {kMsgUnloadQuery, kMsgCreate, kMsgClassInfo, kMsgDropLocks})
        for (QvIntf *owner : {static_cast<QvIntf *>(nullptr), qvs.owner()})
            for (const char *cls : {static_cast<const char *>(nullptr), "TComscript", "QvComModule", "x"})
                for (QvIntf *arg2 : {static_cast<QvIntf *>(nullptr), s, mod}) {
                    QvObjRequest r{0, owner, cls, kQvIidDispatch6, 0, nullptr, arg2};
                    objectMessage(code, r);
                    if (code == kMsgCreate && r.out) qv_call(qv_ptr<QvIntf>(r.out), kQvRelease);
                    if (code == kMsgCreate && !owner) {
                        EXPECT_EQ(0, r.out);
                    }
                }
    EXPECT_EQ(1, qv_call(mod, 7));
    qv_call(s, kQvRelease);
    qv_call(mod, kQvRelease);
}

TEST_F(Comscript, LocksKeepObjectsUntilUnlockedAndPurged) {
    QvIntf *mod = newModule();
    QvIntf *a = newScript(mod, "a");
    invoke(a, 7, {S("x")});  // starts its instance: its end shows in the journal
    QvObjRequest unload = request(nullptr, 0, mod);
    invoke(a, 5);
    invoke(a, 5);
    invoke(a, 6);
    EXPECT_EQ(0, objectMessage(kMsgUnloadQuery, unload));
    invoke(a, 6);
    qv_call(a, kQvRelease);
    // Only the lock keeps it now; the purge of -5 releases it once.
    EXPECT_FALSE(journalHas("destroy a"));
    EXPECT_EQ(kQvUnloadAllowed, objectMessage(kMsgUnloadQuery, unload));
    EXPECT_TRUE(journalHas("destroy a"));

    // -13 releases every locked object, unlocked or not.
    QvIntf *b = newScript(mod, "b");
    invoke(b, 7, {S("x")});
    invoke(b, 5);
    qv_call(b, kQvRelease);
    EXPECT_EQ(0, objectMessage(kMsgUnloadQuery, unload));
    QvObjRequest drop = request(nullptr, 0, mod);
    EXPECT_EQ(0, objectMessage(kMsgDropLocks, drop));
    EXPECT_TRUE(journalHas("destroy b"));
    EXPECT_EQ(kQvUnloadAllowed, objectMessage(kMsgUnloadQuery, unload));

    // The runtime drops an object whose reference is the module's last.
    QvIntf *c = newScript(mod, "c");
    invoke(c, 7, {S("x")});
    invoke(c, 5);
    invoke(c, 6);
    qv_call(c, kQvRelease);
    qv_call(mod, kQvRelease);
    qvs.drop(c);
    EXPECT_TRUE(journalHas("destroy c"));
    EXPECT_TRUE(journalHas("owner drophook off")) << qvs.journal();
}

// What older object runtimes lack: the settings folder before version 4,
// the drop hooks and lock stamps before version 5.
TEST_F(Comscript, OlderOwnersAreAskedOnlyWhatTheyOffer) {
    tmp.write("comscript.ini", "SQLMODE=y\r\n");
    struct Case {
        int version;
        bool settings, hooks;
    };
    for (Case c : {Case{3, false, false}, {4, true, false}, {5, true, true}}) {
        SCOPED_TRACE(c.version);
        qvs.reset();
        qvs.set("ownerVersion", c.version);
        qvs.set("ownerDir", qv_word(dir.c_str()));
        QvIntf *mod = newModule();
        QvIntf *s = newScript(mod);
        TParmList sql;
        invoke(s, 20, {}, sql, kQvGet);
        EXPECT_EQ(c.settings ? "true" : "false", resultText(sql));
        EXPECT_EQ(c.settings, journalHas("owner directory"));
        invoke(s, 7, {S("x")});
        invoke(s, 5);
        invoke(s, 6);
        EXPECT_EQ(c.hooks, journalHas("owner stamp")) << qvs.journal();
        qv_call(s, kQvRelease);
        QvObjRequest unload = request(nullptr, 0, mod);
        EXPECT_EQ(kQvUnloadAllowed, objectMessage(kMsgUnloadQuery, unload));
        qv_call(mod, kQvRelease);
        EXPECT_EQ(c.hooks, journalHas("owner drophook on"));
        EXPECT_EQ(c.hooks, journalHas("owner drophook off"));
    }
}

TEST_F(Comscript, MembersRunTheEmbeddedInstance) {
    std::string file = module("m.zm",
                              "var count int 5\nvar name str abc\nproc echo echo\nproc sum sum\nproc swap swap\n"
                              "proc fails fail\n");
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod, "inst");
    struct Case {
        int dispid;
        std::vector<Arg> args;
        int flags;
        QvWord answer;
        std::string result;
    };
    const Case cases[] = {
        {4, {}, kQvGet, 0, "308"},
        {7, {S("count")}, kQvCall, 0, "false"},  // not yet added
        {0, {S(file)}, kQvCall, 0, "true"},
        {0, {I(1)}, kQvCall, -1, "false"},
        {1, {}, kQvCall, 0, "true"},
        {7, {S("count")}, kQvCall, 0, "true"},
        {7, {S("nope")}, kQvCall, 0, "false"},
        {7, {I(3)}, kQvCall, 0, "false"},
        {8, {S("sum"), I(2), I(3)}, kQvCall, 0, "5"},
        {9, {S("name")}, kQvCall, 0, "abc"},
        {10, {S("count"), I(9)}, kQvCall, 0, "none"},
        {9, {S("count")}, kQvCall, 0, "9"},
        {3, {S("echo"), S("x")}, 3, 0, "x"},
        {3, {S("name")}, kQvGet, 0, "abc"},
        {3, {S("sum"), I(4)}, kQvCall, 0, "4"},
        {20, {}, kQvGet, 0, "false"},
        {20, {B(true)}, kQvPut, 0, "true"},
        {20, {}, kQvGet, 0, "true"},
        {12, {I(5)}, kQvCall, -1, "false"},
        {99, {}, kQvCall, kQvDispidUnknown, "none"},
    };
    for (const Case &c : cases) {
        TParmList list;
        QvWord answer = 0;
        switch (c.args.size()) {
        case 0: answer = invoke(s, c.dispid, {}, list, c.flags); break;
        case 1: answer = invoke(s, c.dispid, {c.args[0]}, list, c.flags); break;
        case 2: answer = invoke(s, c.dispid, {c.args[0], c.args[1]}, list, c.flags); break;
        default: answer = invoke(s, c.dispid, {c.args[0], c.args[1], c.args[2]}, list, c.flags); break;
        }
        EXPECT_EQ(c.answer, answer) << c.dispid;
        EXPECT_EQ(c.result, resultText(list)) << c.dispid;
    }
    EXPECT_TRUE(journalHas("create inst"));
    EXPECT_TRUE(journalHas("callsymbol echo kind 3"));
    EXPECT_TRUE(journalHas("callsymbol name kind 1"));
    EXPECT_TRUE(journalHas("set count = 9"));
    // By-reference arguments come back.
    TParmList swapped;
    EXPECT_EQ(0, invoke(s, 8, {S("swap"), S("left"), S("right")}, swapped));
    EXPECT_STREQ("right", swapped.Arg(1).GetString());
    EXPECT_STREQ("left", swapped.Arg(2).GetString());
    // CreateZAMObject adds the module but does not run the program again.
    qvs.reset();
    TParmList created;
    EXPECT_EQ(0, invoke(s, 13, {S(file), S("sum"), I(7)}, created));
    EXPECT_EQ("7", resultText(created));
    EXPECT_TRUE(journalHas("addmodule " + file));
    EXPECT_FALSE(journalHas("execute"));
    qv_call(s, kQvRelease);
    EXPECT_TRUE(journalHas("stop inst"));
    EXPECT_TRUE(journalHas("destroy inst"));
    qv_call(mod, kQvRelease);
}

TEST_F(Comscript, FailuresAreReportedToTheRuntimesErrorList) {
    std::string file = module("m.zm", "var count int 5\nproc fails fail\n");
    std::string bad = module("bad.zm", "syntax 12 4 unexpected end\n");
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod);
    struct Case {
        int dispid;
        std::vector<Arg> args;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        // Before Execute: the value is missing, the program has not run.
        {10, {S("count")}, {"errorlist 8 0 Set Value must be specified", "errorlist 6 0 Bad ZAM state. Call Execute first.",
                            "errorlist 5 0 Can not call ZAM symbol count"}},
        {8, {I(1)}, {"errorlist 7 0 ZAM symbol must be specified"}},
        {8, {S("missing")}, {"errorlist 3 0 ZAM symbol missing not found"}},
        {8, {S("count"), O(mod)}, {"errorlist 4 0 Can not convert parameters for ZAM symbol count"}},
        {0, {S(bad)}, {"errorlist 12 7 " + bad + "(4,1): ERROR 12: Error text 12 unexpected end", "errors put back",
                       "errorlist 1 0 Can not add module: " + bad}},
    };
    invoke(s, 0, {S(file)});
    for (const Case &c : cases) {
        qvs.reset();
        TParmList list;
        QvWord answer = c.args.size() == 1 ? invoke(s, c.dispid, {c.args[0]}, list)
                                           : invoke(s, c.dispid, {c.args[0], c.args[1]}, list);
        EXPECT_EQ(kQvFailed, answer) << c.dispid;
        std::string j = qvs.journal();
        size_t at = 0;
        for (const std::string &e : c.errors) {
            at = j.find(e + "\n", at);
            EXPECT_NE(std::string::npos, at) << e << "\n" << j;
        }
    }
    invoke(s, 1);
    qvs.reset();
    EXPECT_EQ(kQvFailed, invoke(s, 8, {S("fails")}));
    EXPECT_TRUE(journalHas("errorlist 5 0 Can not call ZAM symbol fails"));
    // A program that does not run.
    QvIntf *t = newScript(mod);
    TParmList list;
    invoke(t, 0, {S(module("stops.zm", "failexec\n"))});
    EXPECT_EQ(kQvFailed, invoke(t, 1, {}, list));
    EXPECT_EQ("false", resultText(list));
    EXPECT_TRUE(journalHas("errorlist 2 0 Can not execute ZAM instance"));
    qv_call(t, kQvRelease);
    EXPECT_FALSE(journalHas("errorlist 6 0 Bad ZAM state. Call Execute first."));
    qv_call(s, kQvRelease);
    qv_call(mod, kQvRelease);
}

TEST_F(Comscript, HostMessagesAreAnsweredFromSettings) {
    struct Case {
        std::string ini;
        std::vector<std::string> lines;
    };
    // The six words come back as QvWords; the stand-in shows the first 8 bytes.
    const std::string six = sizeof(QvWord) == 4 ? "ask 46 -> 0 11 0 0 0 22 0 0 0" : "ask 46 -> 0 11 0 0 0 0 0 0 0";
    const std::string asks = "ask 48\nask 138\nask 72\nask 76\nask 116\nask 124\nask 151\nask 157\nask 87\nask 111\n"
                             "ask 46\nask 128\nask 62\nask 81\nask 77\nask 88\nask 99\nask 200\nfill 124\n";
    const Case cases[] = {
        {"", {"ask 48 -> 1 0 0 0 0 0 0 0 0", "ask 138 -> 0 0 0 0 0 0 0 0 0", "ask 72 -> 0 234 3 0 0 0 0 0 0",
              "ask 76 -> 0 0 0 0 0 0 0 0 0", "ask 116 -> 1 1 0 0 0 1 0 0 0", "ask 124 -> 1 0 0 0 0 1 1 0 0",
              "ask 151 -> 0 0 2 1 0 0 0 0 0", "ask 157 -> 0 0 0 0 0 0 0 0 0", "ask 87 -> 1 0 0 0 0 0 0 0 0",
              "ask 111 -> 1 |||||(null)|", "owner getsix 0", six,
              "owner putsix 0 0 0 0 0 0, 1", "ask 128 -> 0 0 0 0 0 0 0 0 0", "ask 62 -> 0 0 0 0 0 0 0 0 0",
              "ask 81 -> 0 0 0 0 0 0 0 0 0", "ask 77 -> 0 0 0 0 0 0 0 0 0", "ask 88 -> 0 0 0 0 0 0 0 0 0",
              "setdbg null", "ask 99 -> 0 0 0 0 0 0 0 0 0", "ask 200 -> 0 0 0 0 0 0 0 0 0",
              // 124 clears the 32-bit word at byte 6 and nothing beyond it.
              "fill 124 -> 1 255 255 255 255 1 1 0 0 0 0 255 255"}},
        {"GUIMODE=n\r\nSQLMODE=Y\r\nPCODEMODE=7\r\nMONEYMODE=1\r\nBTROWNCLNT=N\r\nBTRUSEDDF=y\r\nBRK2DBG=y\r\n"
         "DATADIC=dd\r\nDATAPATH=a\r\nDATAPATH=b\r\nINCPATH=i\r\nTXTPATH=t\r\nDBFPATH=f\r\nQVMPATH=q\r\n",
         {"ask 48 -> 0 0 0 0 0 0 0 0 0", "ask 138 -> 1 0 0 0 0 0 0 0 0", "ask 72 -> 0 234 3 0 0 0 0 0 0",
          "ask 116 -> 1 0 0 0 0 1 0 0 0", "ask 151 -> 0 0 1 0 0 0 0 0 0", "ask 157 -> 1 0 0 0 0 0 0 0 0",
          "ask 111 -> 1 dd|a;b|i|t|f|(null)|q"}},
        {"PCODEMODE=0\r\nMONEYMODE=2\r\n", {"ask 72 -> 0 232 3 0 0 0 0 0 0", "ask 151 -> 0 0 1 1 0 0 0 0 0"}},
    };
    for (const Case &c : cases) {
        tmp.write("comscript.ini", c.ini);
        std::string file = module("m.zm", asks);
        QvIntf *mod = newModule();
        QvIntf *s = newScript(mod);
        qvs.reset();
        qvs.set("ownerDir", qv_word(dir.c_str()));
        EXPECT_EQ(0, invoke(s, 0, {S(file)}));
        EXPECT_EQ(0, invoke(s, 1));
        for (const std::string &line : c.lines) EXPECT_TRUE(journalHas(line)) << line << "\n" << qvs.journal();
        qv_call(s, kQvRelease);
        qv_call(mod, kQvRelease);
    }
}

TEST_F(Comscript, OutputGoesToTheSiteAndTheOuterHost) {
    std::string file = module("m.zm", "print printed\nsend 26 note\nsend 44 box\nsend 101 oops\nask 48\nask 10\n"
                                      "ask 60\nask 121\n");
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod);
    TSite *site = new TSite(qvs.owner());
    site->AddRef();
    // Without an outer host: the site gets the texts, forwards answer 0.
    EXPECT_EQ(0, invoke(s, 12, {O(site->mainIntf()), S(file)}));
    EXPECT_EQ(0, invoke(s, 1));
    EXPECT_EQ((std::vector<std::string>{"OnPrint:printed", "OnMessage:note", "OnMsgBox:box", "OnErrPrint:oops"}),
              g_site);
    EXPECT_TRUE(journalHas("send 44 -> 0"));
    EXPECT_TRUE(journalHas("ask 10 -> 0 0 0 0 0 0 0 0 0"));
    EXPECT_TRUE(journalHas("ask 60 -> 3 0 0 0 0 0 0 0 0"));
    // Detached, the site hears nothing more.
    EXPECT_EQ(0, invoke(s, 11));
    EXPECT_EQ(0, invoke(s, 1));
    EXPECT_EQ(4u, g_site.size());
    qv_call(s, kQvRelease);

    // The host's initialising call names the outer record: messages go on.
    ZamHostRecord outer{nullptr, 0, outerCallback, nullptr, -1, nullptr};
    s = newScript(mod);
    g_site.clear();
    TParmList init;
    init.Make(runtime(), 2, 0, 0);
    ZamHostRecord *outerPtr = &outer;
    qv_call(init.intf(), kPmSet, 0, 0, kQvtHostPtr, &outerPtr);
    init.Arg(0).SetString(file.c_str());
    EXPECT_EQ(0, qv_call(s, kQvInvoke, -6, kQvCall, init.intf(), 0));
    qvs.reset();
    EXPECT_EQ(0, invoke(s, 1));
    EXPECT_TRUE(journalHas("ask 48 -> 1 0 0 0 0 0 0 0 0"));
    EXPECT_TRUE(journalHas("ask 10 -> 100 0 0 0 0 0 0 0 0"));
    EXPECT_TRUE(journalHas("ask 60 -> 600 0 0 0 0 0 0 0 0"));
    // Start asks 76, 48 and 138; the debugger attach is bracketed by 131.
    std::vector<int> expected = {76, 48, 138, 82, 44, 101, 10, 131, 60, 131};
    EXPECT_EQ(expected, g_outer);
    EXPECT_TRUE(g_site.empty());  // no site attached to this one
    qv_call(s, kQvRelease);
    site->Release();
    qv_call(mod, kQvRelease);
}

TEST_F(Comscript, WithoutAnOuterHostTheLocalDebuggerServesTheInstance) {
    th::ZamDbg dbg;
    std::string file = module("m.zm", "ask 60\nask 62\nask 81\nask 77\nask 99\n");
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod);
    invoke(s, 0, {S(file)});
    EXPECT_EQ(0, invoke(s, 1));
    EXPECT_TRUE(journalHas("ask 60 -> 42 0 0 0 0 0 0 0 0")) << qvs.journal();
    EXPECT_TRUE(journalHas("setdbg null"));
    std::string d = dbg.journal();
    for (const char *line : {"create 2\n", "values 13 6 12 21\n", "detach 1\n", "flag on \n", "flag off \n", "send \n"})
        EXPECT_NE(std::string::npos, d.find(line)) << line << d;
    // 99 ended the session.
    EXPECT_EQ(d.size() - 8, d.rfind("destroy\n")) << d;
    // An owner whose state forbids local debugging: 3, no session.
    qvs.set("ownerState", 1);
    qvs.set("ownerDir", qv_word(dir.c_str()));
    dbg.reset();
    EXPECT_EQ(0, invoke(s, 1));
    EXPECT_TRUE(journalHas("ask 60 -> 3 0 0 0 0 0 0 0 0"));
    EXPECT_EQ(std::string::npos, dbg.journal().find("create"));
    qv_call(s, kQvRelease);
    qv_call(mod, kQvRelease);
}

TEST_F(Comscript, SettersFillThePathRecord) {
    tmp.write("comscript.ini", "DATAPATH=ini\r\nQVMPATH=q\r\n");
    std::string file = module("m.zm", "ask 111\n");
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod);
    const char *values[] = {"D", "P", "F", "T", "I", "W"};
    for (int dispid = 14; dispid <= 19; ++dispid) EXPECT_EQ(0, invoke(s, dispid, {S(values[dispid - 14])}));
    EXPECT_EQ(0, invoke(s, 14, {I(3)}));  // not a text: nothing changes
    invoke(s, 0, {S(file)});
    invoke(s, 1);
    EXPECT_TRUE(journalHas("ask 111 -> 1 D|P|I|T|F|(null)|q")) << qvs.journal();
    qv_call(s, kQvRelease);
    qv_call(mod, kQvRelease);
}

TEST_F(Comscript, TheLogFileIsNamedAfterTheObjectInsideLogdir) {
    std::string logs = tmp.file("logs");
    CreateDirectoryA(logs.c_str(), nullptr);
    tmp.write("comscript.ini", "LOGDIR=" + logs + "\r\nLOGTYPE=1\r\n");
    std::string file = module("m.zm", "print printed\nsend 101 oops\nerror 7 -1 bad\nqvcom 17 5\nqvcom 0 5\n");
    QvIntf *mod = newModule();
    QvIntf *s = newScript(mod, "..\\a/b:c");
    EXPECT_EQ(0, invoke(s, 0, {S(file)}));
    EXPECT_EQ(0, invoke(s, 1));
    qv_call(s, kQvRelease);
    // The name's path characters stay inside LOGDIR.
    std::string content = tmp.read("logs\\.._a_b_c" + std::to_string(GetCurrentProcessId()) + ".log");
    EXPECT_EQ("printedErrPrint: oops\r\n*** QVCOM error:\r\n    ERROR 7: Error text 7 bad\r\n"
              "*** QVCOM error:\r\n    owner text 5\r\n",
              content);
    qv_call(mod, kQvRelease);
}

}  // namespace
