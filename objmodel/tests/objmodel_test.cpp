// The object framework against the stand-in object runtime: interfaces,
// reference counting, member lookup through class records, call frames and
// OwnedStr.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "qvobject.h"
#include "qvrecords.h"
#include "qvsclient.h"

namespace {

int g_closes = 0;
int g_refsAtClose = -1;
int g_destroyed = 0;

const unsigned char kStringParam[] = {kQvtString, 0};
const QvMemberEntry kProbeMembers[] = {
    {"Alpha", 1, kQvtInt, nullptr, kQvProperty, 5, {}},
    {"Beta", 2, kQvtBool, kStringParam, kQvMethod, 5, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB probeMembers() { return kProbeMembers; }
const QvClassRecord *QVSCB probeClass() {
    static const QvClassRecord rec{TDispStub_class, probeMembers, "TProbe", 0};
    return &rec;
}

// Invoke throws what dispid 1 and 2 ask for; everything else goes to the base.
struct TProbe : TDispStub {
    using TDispStub::TDispStub;
    ~TProbe() override { ++g_destroyed; }
    const QvClassRecord *classRecord() const override { return probeClass(); }
    QvWord Close() override {
        ++g_closes;
        g_refsAtClose = refs();
        return 0;
    }
    QvWord Invoke(int dispid, int flags, QvIntf *parms, QvWord word) override {
        if (dispid == 100) throw XQVComError(0, 21);
        if (dispid == 101) throw QVException("bad");
        if (dispid == 102) throw std::bad_alloc();
        return TDispStub::Invoke(dispid, flags, parms, word);
    }
};

struct TProbeModule : TModuleObj {
    using TModuleObj::TModuleObj;
    ~TProbeModule() override { ++g_destroyed; }
    const QvClassRecord *classRecord() const override { return TModuleObj_class(); }
    QvWord Close() override {
        ++g_closes;
        return 0;
    }
};

// A call of a runtime slot as the stand-in's journal shows it: the slot,
// then each word in hexadecimal.
std::string slotLine(int slot, std::initializer_list<QvWord> words) {
    std::string line = "runtime " + std::to_string(slot);
    char buf[24];
    for (QvWord w : words) {
        snprintf(buf, sizeof buf, " %llx", static_cast<unsigned long long>(static_cast<uintptr_t>(w)));
        line += buf;
    }
    return line;
}

struct ObjModel : ::testing::Test {
    th::Qvs qvs;
    void SetUp() override { g_closes = g_destroyed = 0, g_refsAtClose = -1; }
    bool journalHas(const std::string &line) const {
        return ("\n" + qvs.journal()).find("\n" + line + "\n") != std::string::npos;
    }
    // The line of a call whose last words the test cannot know.
    bool journalStarts(const std::string &line) const {
        return ("\n" + qvs.journal()).find("\n" + line + " ") != std::string::npos;
    }
};

TEST_F(ObjModel, InterfacesAnswerByNumber) {
    TProbe *p = new TProbe(qvs.owner());
    p->AddRef();
    QvIntf *main = p->mainIntf();
    struct Case {
        int iid;
        QvIntf *expected;
    };
    QvIntf *disp = p->dispatchIntf();
    for (Case c : {Case{1, main}, {2, main}, {4, main}, {24, main}, {15, p->lifecycleIntf()}, {6, disp}, {17, disp},
                   {3, nullptr}, {25, nullptr}, {16, nullptr}, {1000, nullptr}}) {
        QvIntf *out = reinterpret_cast<QvIntf *>(1);
        QvWord found = qv_call(main, kQvQueryInterface, c.iid, &out);
        EXPECT_EQ(c.expected != nullptr, found != 0) << c.iid;
        EXPECT_EQ(c.expected, out) << c.iid;
        if (out) qv_call(out, kQvRelease);
    }
    QvIntf *ext = nullptr;
    qv_call(main, kQvQueryInterface, kQvIidDispatchExt, &ext);
    ASSERT_NE(nullptr, ext);
    // Every interface reaches the one object.
    EXPECT_STREQ("TProbe", qv_ptr<const char>(qv_call(ext, kQvClassName)));
    EXPECT_EQ(qvs.owner(), qv_ptr<QvIntf>(qv_call(disp, kQvOwner)));
    EXPECT_EQ(qv_word(probeClass()), qv_call(main, 17));
    EXPECT_STREQ("", qv_ptr<const char>(qv_call(main, 9)));
    EXPECT_EQ(1234, qv_call(main, 6, 1234));
    // The extension is the runtime's from owner version 7 on.
    for (int version : {7, 6}) {
        qvs.set("ownerVersion", version);
        EXPECT_EQ(version == 7 ? kRtExt5 : 3, qv_call(ext, 5, 1, 2, 3, 4)) << version;
        EXPECT_EQ(version == 7 ? kRtExt6 : 3, qv_call(ext, 6, 1, 2, 3, 4)) << version;
    }
    EXPECT_TRUE(journalHas(slotLine(kRtExt5, {1, 2, 3, 4})));
    EXPECT_TRUE(journalHas(slotLine(kRtExt6, {1, 2, 3, 4})));
    qv_call(ext, kQvRelease);
    EXPECT_EQ(1, p->refs());
    p->Release();
}

// What a class leaves to TDispStub goes to the runtime link: extended calls
// to slot 62, or 37 for runtimes up to version 7; other calls to 49 with the
// object only when the pass-object flag or the last word asks for it; the
// member services to 48, 50, 53, 54; the main interface's forwards to 19
// and 76 with the dispatch interface and the object.
TEST_F(ObjModel, DefaultDispatchIsTheRuntimes) {
    TProbe *p = new TProbe(qvs.owner());
    p->AddRef();
    QvIntf *disp = p->dispatchIntf(), *main = p->mainIntf();
    const QvWord obj = qv_word(main), rec = qv_word(probeClass());
    TParmList list;
    list.Make(qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime)), 1, 0, 0);
    const QvWord l = qv_word(list.intf());
    const int extended = kQvCall | kQvExtended;
    qvs.set("ownerVersion", 8);
    EXPECT_EQ(kQvDispidUnknown, qv_call(disp, kQvInvoke, 9, extended, l, 5));
    EXPECT_TRUE(journalHas(slotLine(kRtInvokeNew, {obj, 9, extended, l, 5}))) << qvs.journal();
    qvs.set("ownerVersion", 7);
    EXPECT_EQ(0, qv_call(disp, kQvInvoke, 9, extended, l, 5));
    EXPECT_TRUE(journalHas(slotLine(kRtInvokeOld, {obj, 9, l, 5}))) << qvs.journal();
    struct Case {
        bool pass;
        QvWord word, object;
    };
    for (Case c : {Case{false, 0, 0}, {false, 3, obj}, {true, 0, obj}}) {
        p->setPassObject(c.pass);
        qvs.reset();
        EXPECT_EQ(kQvDispidUnknown, qv_call(disp, kQvInvoke, 9, kQvGet, l, c.word));
        EXPECT_TRUE(journalStarts(slotLine(kRtInvoke, {c.object, 9, kQvGet, l, c.word}))) << qvs.journal();
        int id = 0;
        qv_call(disp, kQvGetMemberId, "Alpha", &id);
        EXPECT_TRUE(journalHas(slotLine(kRtGetMemberId, {c.pass ? obj : 0, rec}))) << qvs.journal();
        EXPECT_EQ(1, qv_call(disp, 8, 11, 12));
        EXPECT_TRUE(journalHas(slotLine(kRtMember8, {c.pass ? obj : 0, rec, 11, 12}))) << qvs.journal();
    }
    EXPECT_EQ(1, qv_call(disp, 7, 21, 22));
    EXPECT_TRUE(journalHas(slotLine(kRtMember7, {21, 22})));
    EXPECT_EQ(1, qv_call(disp, 9, 31, 32));
    EXPECT_TRUE(journalHas(slotLine(kRtMember9, {obj, 31, 32})));
    EXPECT_EQ(kRtForward19, qv_call(main, 11, 1, 2, 3, 4));
    EXPECT_TRUE(journalHas(slotLine(kRtForward19, {qv_word(disp), 1, 2, 3, 4, obj}))) << qvs.journal();
    EXPECT_EQ(kRtForward76, qv_call(main, 15, 1, 2, 3, 4, 5));
    EXPECT_TRUE(journalHas(slotLine(kRtForward76, {qv_word(disp), 1, 2, 3, 4, 5, obj}))) << qvs.journal();
    p->Release();
}

// The stand-in fails a test that reaches a slot the library does not offer
// or hands it a member row it would not take.
const unsigned char kBadParam[] = {0x40 | kQvtInt, 0};
const QvMemberEntry kBadMembers[] = {
    {"Good", 1, kQvtInt, nullptr, kQvProperty, 5, {}},
    {"Odd", 2, kQvtInt, kBadParam, kQvMethod, 5, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB badMembers() { return kBadMembers; }
const QvClassRecord *QVSCB badClass() {
    static const QvClassRecord rec{TDispStub_class, badMembers, "TBad", 0};
    return &rec;
}
struct TBad : TDispStub {
    using TDispStub::TDispStub;
    const QvClassRecord *classRecord() const override { return badClass(); }
};

TEST_F(ObjModel, TheStandInRefusesWhatTheLibraryWouldNot) {
    QvIntf *runtime = qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime));
    EXPECT_EQ(0, qv_call(runtime, 2, 1, 2));
    EXPECT_EQ("runtime link slot 2 is not offered\n", qvs.takeStrays());
    TBad *b = new TBad(qvs.owner());
    b->AddRef();
    int id = 0;
    EXPECT_NE(0, qv_call(b->dispatchIntf(), kQvGetMemberId, "Good", &id));
    EXPECT_EQ("member Odd of TBad: parameter type 69\n", qvs.takeStrays());
    b->Release();
}

TEST_F(ObjModel, TheLastReleaseClosesOnceAndDestroys) {
    TProbe *p = new TProbe(qvs.owner());
    EXPECT_EQ(1, qv_call(p->mainIntf(), kQvAddRef));
    EXPECT_EQ(2, qv_call(p->dispatchIntf(), kQvAddRef));
    EXPECT_EQ(1, qv_call(p->lifecycleIntf(), kQvRelease));
    EXPECT_EQ(0, g_closes);
    // Registered objects are unregistered by the destructor; the held
    // interface is released.
    TProbe *held = new TProbe(qvs.owner());
    held->AddRef();
    qv_call(p->mainIntf(), 14, held->mainIntf());
    held->Release();
    qv_call(p->mainIntf(), 12, 1);
    EXPECT_EQ(0, qv_call(p->mainIntf(), kQvRelease));
    EXPECT_EQ(2, g_closes);
    EXPECT_EQ(1, g_refsAtClose);
    EXPECT_EQ(2, g_destroyed);
    EXPECT_NE(std::string::npos, qvs.journal().find("unregister\n"));
}

TEST_F(ObjModel, MembersAreFoundThroughTheClassChainAndFailuresBecomeCodes) {
    TProbe *p = new TProbe(qvs.owner());
    p->AddRef();
    QvIntf *disp = p->dispatchIntf();
    int id = -5;
    EXPECT_EQ(0, qv_call(disp, kQvGetMemberId, "beta", &id));
    EXPECT_EQ(2, id);
    EXPECT_NE(0, qv_call(disp, kQvGetMemberId, "Gamma", &id));
    struct Case {
        int dispid;
        QvWord answer;
    };
    // Unknown dispids go to the runtime, which does not handle them.
    for (Case c : {Case{1, kQvDispidUnknown}, {100, 21}, {101, kQvException}, {102, kQvNoMemory}})
        EXPECT_EQ(c.answer, qv_call(disp, kQvInvoke, c.dispid, kQvCall, 0, 0)) << c.dispid;
    p->Release();
}

TEST_F(ObjModel, CallFramesReadAndWriteEntriesThroughTheRuntime) {
    TParm none(nullptr, 0, 1);
    EXPECT_EQ(0, none.GetType());
    EXPECT_STREQ("", none.GetString());
    QvWord v = 0;
    EXPECT_EQ(kQvTypeMismatch, none.ReadAs(kQvtInt, &v));
    EXPECT_EQ(nullptr, none.GetObject());

    TParmList list;
    list.Make(qv_ptr<QvIntf>(qv_call(qvs.owner(), kOwnRuntime)), 4, 0, 0);
    list.Result().SetInt(7);
    list.Arg(0).SetString("text");
    list.Arg(1).SetBool(true);
    list.Arg(2).SetInt(0);
    EXPECT_EQ(kQvtInt, list.Result().GetType());
    EXPECT_EQ(0, list.Result().ReadAs(kQvtInt, &v));
    EXPECT_EQ(7, v);
    EXPECT_STREQ("text", list.Arg(0).GetString());
    EXPECT_TRUE(list.Arg(1).GetBool());
    EXPECT_EQ(nullptr, list.Arg(2).GetObject());
    try {
        list.Arg(0).GetBool();
        ADD_FAILURE() << "a text read as boolean";
    } catch (const XQVComError &e) {
        EXPECT_EQ(kQvTypeMismatch, e.code);
        EXPECT_STREQ("QVCom exception", e.what());
    }
    EXPECT_THROW(list.Arg(0).GetObject(), XQVComError);
    // A list handed in is held while wrapped.
    TParmList wrapped(list.intf(), 0);
    EXPECT_STREQ("text", wrapped.Arg(0).GetString());
}

TEST_F(ObjModel, ModuleObjectsCountThroughTheRuntime) {
    for (bool registered : {false, true}) {
        g_closes = g_destroyed = 0;
        TProbeModule *m = new TProbeModule(qvs.owner());
        m->setRegistered(registered);
        EXPECT_EQ(1, qv_call(m->mainIntf(), kQvAddRef));
        EXPECT_EQ(2, qv_call(m->moduleIntf(), kQvAddRef));
        QvIntf *out = nullptr;
        EXPECT_EQ(1, qv_call(m->mainIntf(), kQvQueryInterface, kQvIidModule, &out));
        EXPECT_EQ(m->moduleIntf(), out);
        EXPECT_EQ(2, qv_call(out, kQvRelease));
        EXPECT_EQ(1, qv_call(out, kQvRelease));
        EXPECT_EQ(0, g_closes);
        EXPECT_EQ(0, qv_call(out, kQvRelease));
        EXPECT_EQ(1, g_closes) << registered;
        EXPECT_EQ(1, g_destroyed) << registered;
        // Unregistered by the runtime's answer: the destructor does not again.
        EXPECT_EQ(std::string::npos, qvs.journal().find("unregister")) << registered;
    }
}

// The framework's class records and member tables as the runtime reads
// them: four words, rows of packed bytes ended by dispid -1 and no name.
TEST_F(ObjModel, ClassRecordsAreFourWordsWithPackedRows) {
    struct Case {
        const void *rec;
        const void *parent;
        const char *name;
    };
    for (Case c : {Case{TDispStub_class(), nullptr, "TDispStub"},
                   {TModuleObj_class(), reinterpret_cast<const void *>(TDispStub_class), "TModuleObj"},
                   {probeClass(), reinterpret_cast<const void *>(TDispStub_class), "TProbe"}}) {
        th::ClassWords w = th::classWords(c.rec);
        EXPECT_EQ(c.parent, w.parent) << c.name;
        EXPECT_STREQ(c.name, w.name);
        EXPECT_EQ(0, w.fourth) << c.name;
        ASSERT_NE(nullptr, w.members);
    }
    auto rows = reinterpret_cast<const unsigned char *(QVSCB *)()>(const_cast<void *>(th::classWords(probeClass()).members))();
    const unsigned char *beta = rows + th::kRowSize;
    EXPECT_STREQ("Beta", th::qvRead<const char *>(beta, 0));
    EXPECT_EQ(2, th::qvRead<int32_t>(beta, th::kRowDispid));
    EXPECT_EQ(kQvtBool, beta[th::kRowResult]);
    EXPECT_EQ(kStringParam, th::qvRead<const unsigned char *>(beta, th::kRowParams));
    EXPECT_EQ(kQvMethod, beta[th::kRowKind]);
    EXPECT_EQ(5, beta[th::kRowFlag]);
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(0, beta[th::kRowZero + i]);
    const unsigned char *end = rows + 2 * th::kRowSize;
    EXPECT_EQ(nullptr, th::qvRead<const char *>(end, 0));
    EXPECT_EQ(-1, th::qvRead<int32_t>(end, th::kRowDispid));
}

// Slot 16: flag 0 runs the destructors and leaves the block to its owner,
// flag 1 frees it too.
TEST_F(ObjModel, DeletingDestructorFreesOnlyWithItsFlag) {
    alignas(TProbe) unsigned char block[sizeof(TProbe)];
    TProbe *inPlace = new (block) TProbe(qvs.owner());
    inPlace->AddRef();
    qv_call(inPlace->mainIntf(), kQvMainDelete, 0);
    EXPECT_EQ(1, g_destroyed);
    TProbe *heap = new TProbe(qvs.owner());
    qv_call(heap->mainIntf(), kQvMainDelete, 1);
    EXPECT_EQ(2, g_destroyed);
    EXPECT_EQ(0, g_closes);
}

TEST(OwnedStr, HoldsItsOwnCopy) {
    OwnedStr a("abc");
    OwnedStr b(a);
    EXPECT_STREQ("abc", b.text());
    EXPECT_NE(a.text(), b.text());
    OwnedStr c;
    c = a;
    EXPECT_NE(a.text(), c.text());
    const char *before = a.text();
    a = a;
    EXPECT_EQ(before, a.text());
    a.Assign(a.text() + 1);
    EXPECT_STREQ("bc", a.text());
    a.Assign(nullptr);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_STREQ("", a.str());
    a.Assign("");
    EXPECT_FALSE(a.IsEmpty());
    EXPECT_STREQ("", a.text());
}

}  // namespace
