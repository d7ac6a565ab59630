// The object framework against the stand-in object runtime: interfaces,
// reference counting, member lookup through class records, call frames and
// OwnedStr.
#include <gtest/gtest.h>

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

struct ObjModel : ::testing::Test {
    th::Qvs qvs;
    void SetUp() override { g_closes = g_destroyed = 0, g_refsAtClose = -1; }
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
    EXPECT_EQ(0, qv_call(ext, 5, 0, 0, 0, 0));
    qvs.set("ownerVersion", 6);
    EXPECT_EQ(3, qv_call(ext, 6, 0, 0, 0, 0));
    qv_call(ext, kQvRelease);
    EXPECT_EQ(1, p->refs());
    p->Release();
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
