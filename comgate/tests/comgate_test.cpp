// TComgateServer as scripts use it: COM objects created, called late-bound
// and heard through their events; script objects called by COM clients.
#include "com_ptr.h"
#include "eventserver.h"
#include "fixture.h"
#include "qvrecords.h"
#include "wrapper.h"

#include <algorithm>
#include <vector>

namespace {

// Calls a member of a script object (a wrapper) with the given arguments.
struct Call {
    QvIntf *list;
    QvWord answer;
};

struct Arg {
    int code;
    int32_t i;
    const char *text;
};
Arg I(int32_t v) { return {kQvtI4, v, nullptr}; }
Arg S(const char *t) { return {kQvtString, 0, t}; }

QvWord invoke(Comgate &t, QvIntf *obj, int dispid, int flags, std::initializer_list<Arg> args, List &l,
              const Arg *putValue = nullptr) {
    int i = 1;
    for (const Arg &a : args) {
        if (a.text) l.text(i, a.text);
        else l.set(i, a.code, a.i);
        ++i;
    }
    if (putValue) {
        if (putValue->text) l.text(0, putValue->text);
        else l.set(0, putValue->code, putValue->i);
    }
    return qv_call(obj, kQvInvoke, dispid, flags, l.p, 0);
}

TEST_F(Comgate, ServerIsMadeByItsNameInAnyCase) {
    struct Case {
        const char *name;
        int iid;
        int code;
    };
    const Case cases[] = {{"TComgateServer", kQvIidDispatch6, 0}, {"tcomgateserver", kQvIidComgateService, 0},
                          {"TComscript", kQvIidDispatch6, kQvNoClass}, {"TComgateServer", 1000, kQvNoInterface}};
    for (const Case &c : cases) {
        QvObjRequest r = request(c.name, c.iid);
        EXPECT_EQ(c.code, objectMessage(kMsgCreate, r)) << c.name;
        if (r.out) qv_call(qv_ptr<QvIntf>(r.out), kQvRelease);
        EXPECT_EQ(c.code == 0, r.out != 0) << c.name;
    }
    QvIntf *srv = server();
    List l(newList(1));
    EXPECT_EQ(0, qv_call(srv, kQvInvoke, 1, kQvGet, l.p, 0));
    EXPECT_EQ(100, l.as<int32_t>(0));
    EXPECT_EQ(kQvDispidUnknown, qv_call(srv, kQvInvoke, 7, kQvCall, l.p, 0));
    int id = -1;
    EXPECT_EQ(0, qv_call(srv, kQvGetMemberId, "createcomobject", &id));
    EXPECT_EQ(0, id);
    qv_call(srv, kQvRelease);
}

TEST_F(Comgate, CreationFailuresBecomeScriptErrors) {
    struct Case {
        const char *name;
        HRESULT hr;
    };
    const Case cases[] = {{"{not a clsid", CO_E_CLASSSTRING}, {"No.Such.Thing", CO_E_CLASSSTRING},
                          {"{6C3F2E1F-1B7A-4C55-9E0D-2A1B3C4D5E60}", REGDB_E_CLASSNOTREG}};
    for (const Case &c : cases) {
        qvs.reset();
        EXPECT_EQ(nullptr, createObject(c.name)) << c.name;
        char line[64];
        snprintf(line, sizeof line, "errorlist %d 1 ", static_cast<int>(c.hr));
        EXPECT_NE(std::string::npos, qvs.journal().find(line)) << c.name << "\n" << qvs.journal();
    }
}

TEST_F(Comgate, DictionaryIsCalledLateBound) {
    QvIntf *dict = createObject("Scripting.Dictionary");
    ASSERT_NE(nullptr, dict);
    const int add = memberId(dict, "Add"), count = memberId(dict, "count"), item = memberId(dict, "Item"),
              keys = memberId(dict, "Keys");
    {
        List l(newList(3));
        EXPECT_EQ(0, invoke(*this, dict, add, kQvCall, {S("a"), I(1)}, l));
        List l2(newList(3));
        EXPECT_EQ(0, invoke(*this, dict, add, kQvCall, {S("\xe1"), S("two")}, l2));
    }
    {
        List l(newList(1));
        EXPECT_EQ(0, invoke(*this, dict, count, kQvGet, {}, l));
        EXPECT_EQ(2, l.as<int32_t>(0));
    }
    {
        // Item("a") = 5, then read back.
        List l(newList(2));
        Arg five = I(5);
        EXPECT_EQ(0, invoke(*this, dict, item, kQvPut, {S("a")}, l, &five));
        List g(newList(2));
        EXPECT_EQ(0, invoke(*this, dict, item, kQvGet, {S("a")}, g));
        EXPECT_EQ(5, g.as<int32_t>(0));
    }
    {
        List l(newList(1));
        EXPECT_EQ(0, invoke(*this, dict, keys, kQvCall | kQvGet, {}, l));
        ASSERT_EQ(kQvtArray, l.code(0));
        List k(qv_ptr<QvIntf>(l.value(0).value));
        qv_call(k.p, kQvAddRef);
        ASSERT_EQ(3, k.count());
        EXPECT_EQ("a", k.str(1));
        EXPECT_EQ("\xe1", k.str(2));
    }
    {
        // A duplicate key: the dictionary's exception becomes a script error.
        qvs.reset();
        List l(newList(3));
        EXPECT_EQ(1, invoke(*this, dict, add, kQvCall, {S("a"), I(2)}, l));
        EXPECT_NE(std::string::npos, qvs.journal().find("errorlist -2146827831 1 ")) << qvs.journal();
    }
    int id = 0;
    qvs.reset();
    EXPECT_EQ(1, qv_call(dict, kQvGetMemberId, "NoSuchMember", &id));
    EXPECT_NE(std::string::npos, qvs.journal().find("errorlist -2147352570 1 "));
    // The same dictionary returned again comes back as the same wrapper.
    QvIntf *wi = nullptr;
    ASSERT_TRUE(qv_call(dict, kQvQueryInterface, kQvIidComgateWrapper, &wi));
    IUnknown *unk = qv_ptr<IUnknown>(qv_call(wi, kWrGetInterface));
    QvIntf *again = nullptr;
    EXPECT_EQ(0, qv_call(svc, kCgWrapDispatch, unk, &again));
    EXPECT_EQ(dict, again);
    qv_call(again, kQvRelease);
    qv_call(wi, kQvRelease);
    qv_call(dict, kQvRelease);
}

struct EventServer : Comgate {
    DWORD cookie = 0;
    void SetUp() override {
        Comgate::SetUp();
        ASSERT_EQ(S_OK, evRegister(&cookie));
        evStats() = EvServerStats{};
    }
    void TearDown() override {
        CoRevokeClassObject(cookie);
        Comgate::TearDown();
    }
    QvIntf *create() {
        return createObject("{6C3F2E10-1B7A-4C55-9E0D-2A1B3C4D5E60}");
    }
};

TEST_F(EventServer, EventsReachScriptHandlers) {
    // A server of this process, so that its wrapper can be looked into.
    TComgateServer *local = new TComgateServer(qvs.owner());
    local->AddRef();
    IDispatch *raw = nullptr;
    ASSERT_EQ(S_OK, local->ComCreateObject("{6C3F2E10-1B7A-4C55-9E0D-2A1B3C4D5E60}", false, &raw));
    QvIntf *obj = nullptr;
    ASSERT_EQ(0, local->WrapDispatch(raw, &obj));
    raw->Release();
    QvIntf *wi = nullptr;
    ASSERT_TRUE(qv_call(obj, kQvQueryInterface, kQvIidComgateWrapper, &wi));
    TComWraper *w = static_cast<TComWraper *>(TComWrapBase::fromWrapperIntf(wi));
    qv_call(wi, kQvRelease);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ("ActiveX\\IEvServer", w->className());
    std::string names;
    for (const auto *list : {&w->properties(), &w->methods(), &w->events()})
        for (const CgMember &m : *list) names += m.name + " ";
    EXPECT_EQ("Value Obj Fire Picky Ping Ask ", names);
    // The runtime's reflection sees the same members.
    QvIntf *ci = nullptr;
    ASSERT_EQ(0, qv_call(obj, 7, kQvClassInfoQuery, &ci));
    EXPECT_STREQ("ActiveX\\IEvServer", qv_ptr<const char>(qv_call(ci, kCiClassName)));
    EXPECT_EQ(2, qv_call(ci, kCiCount, kQvMaskProps));
    EXPECT_EQ(6, qv_call(ci, kCiCount, kQvMaskProps | kQvMaskMethods | kQvMaskEvents));
    // Each record is exactly as long as the runtime's buffer: the bytes after
    // it stay as they were.
    const unsigned char kUnwritten = 0xCC;
    auto slot = [&](int which, QvWord a, QvWord b, unsigned char *buf, size_t size) {
        std::memset(buf, kUnwritten, 64);
        QvWord answer = which == kCiFind ? qv_call(ci, kCiFind, a, buf) : qv_call(ci, kCiMemberAt, a, b, buf);
        for (size_t i = size; i < 64; ++i) EXPECT_EQ(kUnwritten, buf[i]) << "byte " << i << " past the record";
        return answer;
    };
    unsigned char buf[64];
    struct AtCase {
        int index, mask;
        const char *name;
        int kind, tail;
    };
    for (AtCase c : {AtCase{0, kQvMaskProps, "Value", 1, 3}, {1, kQvMaskMethods, "Picky", 2, 3},
                     {0, kQvMaskEvents, "Ping", 4, 4}, {5, kQvMaskProps | kQvMaskMethods | kQvMaskEvents, "Ask", 4, 4}}) {
        ASSERT_EQ(0, slot(kCiMemberAt, c.index, c.mask, buf, th::kMemberAt.size)) << c.name;
        th::MemberRecord r = th::readMember(buf, th::kMemberAt);
        EXPECT_STREQ(c.name, r.name);
        EXPECT_STREQ("", r.text) << c.name;
        EXPECT_EQ(c.kind, r.kind) << c.name;
        EXPECT_EQ(c.tail, r.tail) << c.name;
    }
    EXPECT_EQ(-1, slot(kCiMemberAt, 2, kQvMaskEvents, buf, 0));
    struct FindCase {
        const char *asked, *name;
        int kind;
    };
    for (FindCase c : {FindCase{"fIRE", "Fire", 2}, {"ping", "Ping", 4}, {"VALUE", "Value", 1}}) {
        ASSERT_EQ(0, slot(kCiFind, qv_word(c.asked), 0, buf, th::kFound.size)) << c.asked;
        th::MemberRecord r = th::readMember(buf, th::kFound);
        EXPECT_STREQ(c.name, r.name);
        EXPECT_EQ(0, r.zero) << c.asked;
        EXPECT_STREQ("", r.text) << c.asked;
        EXPECT_EQ(c.kind, r.kind) << c.asked;
        EXPECT_EQ(3, r.tail) << c.asked;
    }
    EXPECT_EQ(-1, slot(kCiFind, qv_word("Nothing"), 0, buf, 0));
    qv_call(ci, kQvRelease);
    // The wrapper's class record, as the runtime reads it.
    QvIntf *main = nullptr;
    ASSERT_TRUE(qv_call(obj, kQvQueryInterface, kQvIidMain1, &main));
    th::ClassWords cw = th::classWords(qv_ptr<void>(qv_call(main, kQvMainClassRecord)));
    qv_call(main, kQvRelease);
    EXPECT_STREQ("TComWraper", cw.name);
    EXPECT_EQ(0, cw.fourth);

    // The runtime attaches handlers (-4) twice and detaches them (-5).
    List none(newList(1));
    qv_call(obj, kQvInvoke, -4, 0, none.p, 2);
    qv_call(obj, kQvInvoke, -4, 0, none.p, 2);
    EXPECT_EQ(1, evStats().sinks);
    qvs.reset();
    List l(newList(2));
    EXPECT_EQ(0, invoke(*this, obj, memberId(obj, "Fire"), kQvCall, {I(21)}, l));
    EXPECT_TRUE(journalHas("handler 1 (5) 4")) << qvs.journal();
    EXPECT_EQ(S_OK, evStats().lastFire);
    EXPECT_EQ(VT_I4, evStats().lastAskType);
    EXPECT_EQ(42, evStats().lastAsk);
    // A failing handler reaches the source as an exception.
    qvs.set("handlerAnswer", 1);
    List l2(newList(2));
    EXPECT_EQ(0, invoke(*this, obj, memberId(obj, "Fire"), kQvCall, {I(1)}, l2));
    EXPECT_EQ(DISP_E_EXCEPTION, evStats().lastFire);
    qv_call(obj, kQvInvoke, -5, 0, none.p, 2);
    EXPECT_EQ(0, evStats().sinks);
    // Connected again, the release of the script's last reference ends it all.
    qv_call(obj, kQvInvoke, -4, 0, none.p, 2);
    EXPECT_EQ(1, evStats().sinks);
    qv_call(obj, kQvRelease);
    EXPECT_EQ(0, evStats().sinks);
    local->Release();
}

// The script's handler drops the script's last reference to the wrapper
// while the wrapper's own call is still in the COM object: the call ends
// whole and only then does the wrapper go.
TEST_F(EventServer, AHandlerReleasingTheWrapperLeavesTheCallWhole) {
    QvIntf *obj = create();
    ASSERT_NE(nullptr, obj);
    List none(newList(1));
    qv_call(obj, kQvInvoke, -4, 0, none.p, 2);
    ASSERT_EQ(1, evStats().sinks);
    const int fire = memberId(obj, "Fire");
    qvs.reset();
    qvs.set("handlerRelease", qv_word(obj));
    List l(newList(2));
    EXPECT_EQ(0, invoke(*this, obj, fire, kQvCall, {I(5)}, l));
    // Both events reached the script before the wrapper went.
    EXPECT_TRUE(journalHas("handler 1 (5) 4")) << qvs.journal();
    EXPECT_TRUE(journalHas("handler 2 (5) 4")) << qvs.journal();
    EXPECT_EQ(S_OK, evStats().lastFire);
    EXPECT_EQ(0, evStats().sinks);
}

TEST_F(EventServer, RejectedContextIsRetriedAndBareObjectsAreActiveX) {
    evStats().rejectNext = true;
    evStats().bare = true;
    QvIntf *obj = create();
    ASSERT_NE(nullptr, obj);
    EXPECT_EQ(1, evStats().created);
    QvIntf *ci = nullptr;
    ASSERT_EQ(0, qv_call(obj, 7, kQvClassInfoQuery, &ci));
    EXPECT_STREQ("ActiveX", qv_ptr<const char>(qv_call(ci, kCiClassName)));
    EXPECT_EQ(0, qv_call(ci, kCiCount, kQvMaskProps | kQvMaskMethods | kQvMaskEvents));
    qv_call(ci, kQvRelease);
    // Without a source interface there is nothing to connect.
    List none(newList(1));
    qv_call(obj, kQvInvoke, -4, 0, none.p, 2);
    EXPECT_EQ(0, evStats().sinks);
    qv_call(obj, kQvRelease);
}

TEST_F(EventServer, PutsAndRetriesFollowTheValue) {
    QvIntf *obj = create();
    ASSERT_NE(nullptr, obj);
    QvIntf *dict = createObject("Scripting.Dictionary");
    ASSERT_NE(nullptr, dict);
    const int value = memberId(obj, "Value"), object = memberId(obj, "Obj");
    List l(newList(1));
    Arg nine = I(9);
    EXPECT_EQ(0, invoke(*this, obj, value, kQvPut, {}, l, &nine));
    EXPECT_EQ(DISPATCH_PROPERTYPUT, evStats().lastPutFlags);
    List o(newList(1));
    o.set(0, kQvtObject, dict);
    EXPECT_EQ(0, qv_call(obj, kQvInvoke, object, kQvPut, o.p, 0));
    EXPECT_EQ(DISPATCH_PROPERTYPUTREF, evStats().lastPutFlags);
    List g(newList(1));
    EXPECT_EQ(0, qv_call(obj, kQvInvoke, object, kQvGet, g.p, 0));
    EXPECT_EQ(dict, qv_ptr<QvIntf>(g.value(0).value));  // the same wrapper
    qv_call(dict, kQvRelease);
    List p(newList(1));
    EXPECT_EQ(0, qv_call(obj, kQvInvoke, memberId(obj, "Picky"), kQvCall, p.p, 0));
    EXPECT_EQ(2, evStats().pickyCalls);

    // The running object is found when asked for.
    IUnknown *running = evNew();
    DWORD reg = 0;
    ASSERT_EQ(S_OK, RegisterActiveObject(running, CLSID_EvServer, ACTIVEOBJECT_STRONG, &reg));
    com_ptr<IDispatch> d;
    {
        // A server of this process: the module's own lives in comgate.dll.
        IDispatch *raw = nullptr;
        TComgateServer *local = new TComgateServer(qvs.owner());
        local->AddRef();
        EXPECT_EQ(S_OK, local->ComCreateObject("{6C3F2E10-1B7A-4C55-9E0D-2A1B3C4D5E60}", true, &raw));
        d = com_ptr<IDispatch>(raw);
        local->Release();
        ASSERT_TRUE(d);
    }
    com_ptr<IUnknown> same;
    d->QueryInterface(IID_IUnknown, same.put_void());
    EXPECT_EQ(running, same.get());
    RevokeActiveObject(reg, nullptr);
    running->Release();
    qv_call(obj, kQvRelease);
}

// A script object, called by COM clients through its proxy.
const unsigned char kTwoInts[] = {kQvtInt, kQvtInt, 0};
const unsigned char kOutAny[] = {0x80 | 127, 0};
const QvMemberEntry kScriptMembers[] = {
    {"Add", 1, kQvtInt, kTwoInts, kQvMethod, 5, {}},
    {"Name", 2, kQvtString, nullptr, kQvProperty, 5, {}},
    {"Bump", 3, 0, kOutAny, kQvMethod, 5, {}},
    {"Fail", 4, 0, nullptr, kQvMethod, 5, {}},
    {"Count", 5, kQvtInt, nullptr, kQvProperty, 5, {}},
    {"Child", 6, kQvtObject, nullptr, kQvProperty, 5, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
// The class information the runtime keeps for TScriptThing: variables are
// the properties, functions every member; Count is read only. Its records
// carry no types: the type information takes those from the member table.
struct ClassInfo : QvIntf {
    int refs = 1;
};
th::MemberRecord infoOf(const QvMemberEntry &e) {
    th::MemberRecord r;
    r.name = e.name;
    r.memid = e.dispid;
    r.text = "";
    r.kind = e.kind == kQvProperty ? (e.dispid == 5 ? int(kQvMemberReadOnly) : int(kQvProperty)) : int(kQvMethod);
    r.tail = 3;
    return r;
}
std::vector<const QvMemberEntry *> selected(QvWord mask) {
    std::vector<const QvMemberEntry *> out;
    for (const QvMemberEntry *e = kScriptMembers; e->name; ++e)
        if ((mask & kQvMaskFuncs) || e->kind == kQvProperty) out.push_back(e);
    return out;
}
QvWord QVSCB ciAddRef(const QvIntf *i) { return ++static_cast<ClassInfo *>(const_cast<QvIntf *>(i))->refs; }
QvWord QVSCB ciRelease(const QvIntf *i) {
    ClassInfo *c = static_cast<ClassInfo *>(const_cast<QvIntf *>(i));
    int n = --c->refs;
    if (n == 0) delete c;
    return n;
}
QvWord QVSCB ciName(const QvIntf *) { return qv_word("TScriptThing"); }
QvWord QVSCB ciCount(const QvIntf *, QvWord mask) { return static_cast<QvWord>(selected(mask).size()); }
QvWord QVSCB ciAt(const QvIntf *, QvWord index, QvWord mask, QvWord out) {
    auto list = selected(mask);
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return -1;
    th::writeMember(qv_ptr<void>(out), th::kMemberAt, infoOf(*list[static_cast<size_t>(index)]));
    return 0;
}
QvWord QVSCB ciFind(const QvIntf *, QvWord name, QvWord out) {
    for (const QvMemberEntry *e = kScriptMembers; e->name; ++e)
        if (lstrcmpiA(e->name, qv_ptr<const char>(name)) == 0) {
            th::writeMember(qv_ptr<void>(out), th::kFound, infoOf(*e));
            return 0;
        }
    return -1;
}
int g_memberNameCalls = 0;
QvWord QVSCB ciMemberName(const QvIntf *, QvWord id) {
    ++g_memberNameCalls;
    for (const QvMemberEntry *e = kScriptMembers; e->name; ++e)
        if (e->dispid == id) return qv_word(e->name);
    return 0;
}
QvWord QVSCB ciNone(const QvIntf *) { return 0; }
void *const kClassInfoTable[] = {
    reinterpret_cast<void *>(ciAddRef), reinterpret_cast<void *>(ciRelease), reinterpret_cast<void *>(ciNone),
    reinterpret_cast<void *>(ciName),   reinterpret_cast<void *>(ciNone),    reinterpret_cast<void *>(ciName),
    reinterpret_cast<void *>(ciCount),  reinterpret_cast<void *>(ciAt),      reinterpret_cast<void *>(ciFind),
    reinterpret_cast<void *>(ciMemberName),
};
const QvMemberEntry *QVSCB scriptMembers() { return kScriptMembers; }
const QvClassRecord *QVSCB scriptClass() {
    static const QvClassRecord rec{TDispStub_class, scriptMembers, "TScriptThing", 0};
    return &rec;
}
struct TScriptThing : TDispStub {
    using TDispStub::TDispStub;
    std::string name = "thing";
    const QvClassRecord *classRecord() const override { return scriptClass(); }
    QvWord Member7(QvWord query, QvWord out) override {
        if (query != kQvClassInfoQuery) return TDispStub::Member7(query, out);
        ClassInfo *c = new ClassInfo;
        c->fn = kClassInfoTable;
        *qv_ptr<QvIntf *>(out) = c;
        return 0;
    }
    QvWord Invoke(int dispid, int flags, QvIntf *parms, QvWord) override {
        List l(parms);
        qv_call(parms, kQvAddRef);
        switch (dispid) {
        case 1: {
            int32_t sum = l.as<int32_t>(1) + l.as<int32_t>(2);
            l.set(0, kQvtI4, sum);
            return 0;
        }
        case 2:
            if (flags & 4) name = l.str(0);
            else l.text(0, name.c_str());
            return 0;
        case 3: {
            int32_t next = (l.code(1) == kQvtI2 ? l.as<int16_t>(1) : l.as<int32_t>(1)) + 1;
            l.set(1, kQvtI4, next);
            return 0;
        }
        case 4:
            th::Qvs::codedError(77, 2);
            return 1;
        default:
            return kQvDispidUnknown;
        }
    }
};

struct Proxy : Comgate {
    TScriptThing *thing = nullptr;
    QvIntf *script = nullptr;
    void SetUp() override {
        Comgate::SetUp();
        thing = new TScriptThing(qvs.owner());
        script = thing->QueryInterface(kQvIidDispatch6);
    }
    void TearDown() override {
        qv_call(script, kQvRelease);
        Comgate::TearDown();
    }
    com_ptr<IDispatch> proxy() { return proxyOf(script); }
};

TEST_F(Proxy, ComClientsCallScriptObjects) {
    com_ptr<IDispatch> d = proxy();
    ASSERT_TRUE(d);
    EXPECT_EQ(d.get(), proxy().get());  // one proxy per script object
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"add"), const_cast<LPOLESTR>(L"Nothing")};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, d->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
    EXPECT_EQ(1, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
    VARIANT args[2], result;
    VariantInit(&result);
    args[0].vt = VT_I4;
    args[0].lVal = 3;
    args[1].vt = VT_I4;
    args[1].lVal = 2;
    DISPPARAMS dp{args, nullptr, 2, 0};
    EXPECT_EQ(S_OK, d->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &dp, &result, nullptr, nullptr));
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_EQ(5, result.lVal);
    // A failing member: the error list's text, wCode = code + 1001.
    qvs.reset();
    EXCEPINFO info{};
    DISPPARAMS none{};
    EXPECT_EQ(DISP_E_EXCEPTION, d->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &info, nullptr));
    EXPECT_EQ(1078, info.wCode);
    EXPECT_NE(nullptr, wcsstr(info.bstrDescription, L"owner text 77"));
    SysFreeString(info.bstrDescription);
    EXPECT_EQ(E_FAIL, d->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
    // The proxy coming back into a script is the script object again.
    QvIntf *back = nullptr;
    EXPECT_EQ(0, qv_call(svc, kCgWrapDispatch, d.get(), &back));
    EXPECT_EQ(script, back);
    qv_call(back, kQvRelease);
}

// Service slots 9 and 10 take the proxy object itself; anything that is not
// one of comgate's proxies is left untouched.
TEST_F(Proxy, ProxyCacheTakesProxyObjects) {
    TComgateServer *local = new TComgateServer(qvs.owner());
    local->AddRef();
    QvIntf *service = local->serviceIntf();
    IUnknown *raw = nullptr;
    bool asUnknown = true;
    ASSERT_EQ(S_OK, local->UnwrapToDispatch(script, &raw, &asUnknown));
    com_ptr<IUnknown> d(raw);
    EXPECT_EQ(1, local->proxyCount());
    struct Foreign : IUnknown {
        unsigned char bytes[64];
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
    } foreign;
    std::memset(foreign.bytes, 0xAB, sizeof foreign.bytes);
    void *vtable = *reinterpret_cast<void **>(&foreign);
    EXPECT_EQ(0, qv_call(service, kCgProxyAdd, static_cast<IUnknown *>(&foreign)));
    EXPECT_EQ(0, qv_call(service, kCgProxyRemove, static_cast<IUnknown *>(&foreign)));
    EXPECT_EQ(vtable, *reinterpret_cast<void **>(&foreign));
    for (unsigned char b : foreign.bytes) EXPECT_EQ(0xAB, b);
    EXPECT_EQ(1, local->proxyCount());
    // The runtime names the proxy again: one entry, and the proxy is found.
    qv_call(service, kCgProxyRemove, d.get());
    EXPECT_EQ(0, local->proxyCount());
    qv_call(service, kCgProxyAdd, d.get());
    qv_call(service, kCgProxyAdd, d.get());
    EXPECT_EQ(1, local->proxyCount());
    IUnknown *again = nullptr;
    asUnknown = true;
    EXPECT_EQ(S_OK, local->UnwrapToDispatch(script, &again, &asUnknown));
    EXPECT_EQ(d.get(), again);
    EXPECT_FALSE(asUnknown);
    again->Release();
    d.reset();
    EXPECT_EQ(0, local->proxyCount());
    local->Release();
}

// A member's name comes from the class information's own service from
// runtime version 6 on; older ones are walked member by member.
TEST_F(Proxy, DocumentationAsksOlderRuntimesMemberByMember) {
    com_ptr<IDispatch> d = proxy();
    com_ptr<ITypeInfo> ti;
    ASSERT_EQ(S_OK, d->GetTypeInfo(0, 0, ti.put()));
    for (int version : {5, 6}) {
        qvs.set("ownerVersion", version);
        g_memberNameCalls = 0;
        BSTR name = nullptr;
        ASSERT_EQ(S_OK, ti->GetDocumentation(2, &name, nullptr, nullptr, nullptr));
        EXPECT_STREQ(L"Name", name) << version;
        SysFreeString(name);
        EXPECT_EQ(version > 5 ? 1 : 0, g_memberNameCalls) << version;
    }
}

TEST_F(Proxy, TypeInformationDescribesTheScriptClass) {
    com_ptr<IDispatch> d = proxy();
    com_ptr<ITypeInfo> ti, again;
    ASSERT_EQ(S_OK, d->GetTypeInfo(0, 0, ti.put()));
    ASSERT_EQ(S_OK, d->GetTypeInfo(0, 0, again.put()));
    EXPECT_EQ(ti.get(), again.get());
    TYPEATTR *attr = nullptr;
    ASSERT_EQ(S_OK, ti->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    EXPECT_EQ(6, attr->cFuncs);
    EXPECT_EQ(3, attr->cVars);
    EXPECT_EQ(0x1100, attr->wTypeFlags);
    EXPECT_EQ(MEMBERID_NIL, attr->memidConstructor);
    ti->ReleaseTypeAttr(attr);

    struct FuncCase {
        UINT index;
        HRESULT hr;
        MEMBERID id;
        INVOKEKIND kind;
        std::vector<VARTYPE> params;
        VARTYPE result;
    };
    const FuncCase funcs[] = {
        {0, S_OK, 1, INVOKE_FUNC, {VT_I4, VT_I4}, VT_I4},
        {1, S_OK, 2, INVOKE_PROPERTYPUT, {VT_BSTR}, VT_VOID},
        {2, S_OK, 3, INVOKE_FUNC, {VT_VARIANT}, VT_VARIANT},
        {4, S_OK, 5, INVOKE_PROPERTYGET, {}, VT_I4},
        {5, S_OK, 6, INVOKE_PROPERTYPUTREF, {VT_DISPATCH}, VT_VOID},
        {6, E_INVALIDARG, 0, INVOKE_FUNC, {}, 0},
    };
    for (const FuncCase &c : funcs) {
        FUNCDESC *f = nullptr;
        ASSERT_EQ(c.hr, ti->GetFuncDesc(c.index, &f)) << c.index;
        if (FAILED(c.hr)) continue;
        EXPECT_EQ(c.id, f->memid) << c.index;
        EXPECT_EQ(c.kind, f->invkind) << c.index;
        EXPECT_EQ(FUNC_DISPATCH, f->funckind);
        ASSERT_EQ(c.params.size(), static_cast<size_t>(f->cParams)) << c.index;
        for (size_t i = 0; i < c.params.size(); ++i) EXPECT_EQ(c.params[i], f->lprgelemdescParam[i].tdesc.vt) << c.index;
        EXPECT_EQ(c.result, f->elemdescFunc.tdesc.vt) << c.index;
        if (c.id == 3) {
            EXPECT_EQ(PARAMFLAG_FOUT, f->lprgelemdescParam[0].paramdesc.wParamFlags);
        }
        ti->ReleaseFuncDesc(f);
    }
    VARDESC *v = nullptr;
    ASSERT_EQ(S_OK, ti->GetVarDesc(1, &v));
    EXPECT_EQ(5, v->memid);
    EXPECT_EQ(VARFLAG_FREADONLY, v->wVarFlags);
    EXPECT_EQ(VAR_DISPATCH, v->varkind);
    ti->ReleaseVarDesc(v);
    EXPECT_EQ(E_INVALIDARG, ti->GetVarDesc(3, &v));

    struct DocCase {
        MEMBERID id;
        const wchar_t *name;
    };
    const DocCase docs[] = {{MEMBERID_NIL, L"TScriptThing"}, {2, L"Name"}, {99, L"QVProp"}};
    for (const DocCase &c : docs) {
        BSTR name = nullptr, doc = nullptr, file = reinterpret_cast<BSTR>(1);
        DWORD context = 7;
        ASSERT_EQ(S_OK, ti->GetDocumentation(c.id, &name, &doc, &context, &file));
        EXPECT_STREQ(c.name, name);
        EXPECT_STREQ(L"No doc", doc);
        EXPECT_EQ(0u, context);
        EXPECT_EQ(nullptr, file);
        SysFreeString(name);
        SysFreeString(doc);
    }
    EXPECT_EQ(S_OK, ti->GetDocumentation(1, nullptr, nullptr, nullptr, nullptr));
    BSTR names[1] = {reinterpret_cast<BSTR>(1)};
    UINT count = 9;
    EXPECT_EQ(S_OK, ti->GetNames(1, names, 0, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(reinterpret_cast<BSTR>(1), names[0]);
    EXPECT_EQ(S_OK, ti->GetNames(1, names, 1, &count));
    EXPECT_EQ(1u, count);
    EXPECT_STREQ(L"Add", names[0]);
    SysFreeString(names[0]);
    LPOLESTR lookups[] = {const_cast<LPOLESTR>(L"count"), const_cast<LPOLESTR>(L"nope")};
    MEMBERID ids[2];
    EXPECT_EQ(DISP_E_UNKNOWNNAME, ti->GetIDsOfNames(lookups, 2, ids));
    EXPECT_EQ(5, ids[0]);
    EXPECT_EQ(MEMBERID_NIL, ids[1]);
    VARIANT args[2], result;
    args[0].vt = args[1].vt = VT_I4;
    args[0].lVal = 4;
    args[1].lVal = 6;
    VariantInit(&result);
    DISPPARAMS dp{args, nullptr, 2, 0};
    EXPECT_EQ(S_OK, ti->Invoke(d.get(), 1, DISPATCH_METHOD, &dp, &result, nullptr, nullptr));
    EXPECT_EQ(10, result.lVal);

    com_ptr<ITypeComp> comp;
    ASSERT_EQ(S_OK, ti->GetTypeComp(comp.put()));
    struct BindCase {
        const wchar_t *name;
        WORD flags;
        HRESULT hr;
        DESCKIND kind;
    };
    const BindCase binds[] = {
        {L"add", INVOKE_FUNC, S_OK, DESCKIND_FUNCDESC},
        {L"Add", INVOKE_PROPERTYPUT, DISP_E_MEMBERNOTFOUND, DESCKIND_NONE},
        {L"Name", INVOKE_PROPERTYPUT, S_OK, DESCKIND_VARDESC},
        {L"Missing", INVOKE_FUNC, DISP_E_MEMBERNOTFOUND, DESCKIND_NONE},
    };
    for (const BindCase &c : binds) {
        ITypeInfo *bound = nullptr;
        DESCKIND kind = DESCKIND_MAX;
        BINDPTR ptr{};
        EXPECT_EQ(c.hr, comp->Bind(const_cast<LPOLESTR>(c.name), 0, c.flags, &bound, &kind, &ptr)) << c.flags;
        EXPECT_EQ(c.kind, kind);
        if (kind == DESCKIND_FUNCDESC) bound->ReleaseFuncDesc(ptr.lpfuncdesc);
        if (kind == DESCKIND_VARDESC) bound->ReleaseVarDesc(ptr.lpvardesc);
        EXPECT_EQ(SUCCEEDED(c.hr) ? ti.get() : nullptr, bound);
        if (bound) bound->Release();
    }
}

// Wine's VBScript through the script control: a real late-bound COM client,
// which passes its variables by reference.
class VbClient {
public:
    VbClient() {
        CLSID clsid;
        if (CLSIDFromProgID(L"MSScriptControl.ScriptControl", &clsid) != S_OK ||
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, sc_.put_void()) != S_OK)
            return;
        VARIANT lang = text(L"VBScript");
        ok_ = call(L"Language", DISPATCH_PROPERTYPUT, {lang}, nullptr) == S_OK;
        VariantClear(&lang);
    }
    bool ok() const { return ok_; }
    HRESULT addObject(const wchar_t *name, IDispatch *d) {
        VARIANT n = text(name), obj, no;
        obj.vt = VT_DISPATCH;
        obj.pdispVal = d;
        no.vt = VT_BOOL;
        no.boolVal = VARIANT_FALSE;
        HRESULT hr = call(L"AddObject", DISPATCH_METHOD, {n, obj, no}, nullptr);
        VariantClear(&n);
        return hr;
    }
    HRESULT run(const wchar_t *statement) {
        VARIANT st = text(statement);
        HRESULT hr = call(L"ExecuteStatement", DISPATCH_METHOD, {st}, nullptr);
        VariantClear(&st);
        return hr;
    }
    // The expression's value as a long; -99 when it has none.
    long eval(const wchar_t *expr) {
        VARIANT e = text(expr), r, n;
        VariantInit(&r);
        VariantInit(&n);
        long value = -99;
        if (call(L"Eval", DISPATCH_METHOD, {e}, &r) == S_OK && VariantChangeType(&n, &r, 0, VT_I4) == S_OK)
            value = n.lVal;
        VariantClear(&e);
        VariantClear(&r);
        return value;
    }

private:
    static VARIANT text(const wchar_t *t) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(t);
        return v;
    }
    HRESULT call(const wchar_t *member, WORD flags, std::initializer_list<VARIANT> args, VARIANT *result) {
        LPOLESTR n = const_cast<LPOLESTR>(member);
        DISPID id;
        HRESULT hr = sc_->GetIDsOfNames(IID_NULL, &n, 1, 0, &id);
        if (hr != S_OK) return hr;
        std::vector<VARIANT> a(args.begin(), args.end());
        std::reverse(a.begin(), a.end());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS dp{a.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(a.size()),
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        EXCEPINFO info{};
        hr = sc_->Invoke(id, IID_NULL, 0, flags, &dp, result, &info, nullptr);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
        return hr;
    }

    com_ptr<IDispatch> sc_;
    bool ok_ = false;
};

TEST_F(Proxy, VBScriptCallsScriptObjects) {
    com_ptr<IDispatch> d = proxy();
    VbClient vb;
    ASSERT_TRUE(vb.ok());
    ASSERT_EQ(S_OK, vb.addObject(L"obj", d.get()));
    struct Case {
        const wchar_t *statement;  // null: none
        const wchar_t *expr;
        long expect;
    };
    const Case cases[] = {
        {nullptr, L"obj.Add(2, 3)", 5},
        {L"obj.Name = \"fresh\"", L"Len(obj.Name)", 5},
        {L"Dim x : x = 4 : obj.Bump x", L"x", 5},
    };
    for (const Case &c : cases) {
        if (c.statement) {
            EXPECT_EQ(S_OK, vb.run(c.statement)) << c.expr;
        }
        EXPECT_EQ(c.expect, vb.eval(c.expr)) << c.expr;
    }
    EXPECT_EQ("fresh", thing->name);
}

// comscript's TComscript handed to COM through comgate's proxy: a COM client
// sets and reads its SQLMode property, the value travelling in the put's
// result entry from comgate to comscript.
TEST_F(Comgate, ComClientsSetTheSqlModeOfATComscript) {
    th::Module comscript("comscript.dll");
    comscript.start();
    auto objectModel = reinterpret_cast<ZamExtMessageProcFn>(comscript.proc("ZamExtMessageProc"));
    QvObjRequest mod{0, qvs.owner(), "QvComModule", kQvIidModule, 0, "mod", nullptr};
    ASSERT_EQ(0, objectModel(static_cast<unsigned>(kMsgCreate), &mod, nullptr));
    QvObjRequest cs{0, qvs.owner(), "TComscript", kQvIidDispatch6, 0, "cs", qv_ptr<QvIntf>(mod.out)};
    ASSERT_EQ(0, objectModel(static_cast<unsigned>(kMsgCreate), &cs, nullptr));
    QvIntf *script = qv_ptr<QvIntf>(cs.out);
    {
        com_ptr<IDispatch> d = proxyOf(script);
        ASSERT_TRUE(d);
        VbClient vb;
        ASSERT_TRUE(vb.ok());
        ASSERT_EQ(S_OK, vb.addObject(L"cs", d.get()));
        EXPECT_EQ(0, vb.eval(L"cs.SQLMode"));
        EXPECT_EQ(S_OK, vb.run(L"cs.SQLMode = True"));
        EXPECT_EQ(-1, vb.eval(L"cs.SQLMode"));
        EXPECT_EQ(S_OK, vb.run(L"cs.SQLMode = False"));
        EXPECT_EQ(0, vb.eval(L"cs.SQLMode"));
    }
    qv_call(script, kQvRelease);
    qv_call(qv_ptr<QvIntf>(mod.out), kQvRelease);
}

}  // namespace
