// TComgateServer as scripts use it: COM objects created, called late-bound
// and heard through their events; script objects called by COM clients.
#include "com_ptr.h"
#include "eventserver.h"
#include "fixture.h"
#include "wrapper.h"

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
        IDispatch *raw = nullptr;
        QvIntf *srv = server();
        TComgateServer *s = TComgateServer::fromService(svc);
        ASSERT_EQ(S_OK, s->ComCreateObject("{6C3F2E10-1B7A-4C55-9E0D-2A1B3C4D5E60}", true, &raw));
        d = com_ptr<IDispatch>(raw);
        qv_call(srv, kQvRelease);
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
const QvMemberEntry kScriptMembers[] = {
    {"Add", 1, kQvtInt, kTwoInts, kQvMethod, 5, {}},
    {"Name", 2, kQvtString, nullptr, kQvProperty, 5, {}},
    {"Bump", 3, 0, nullptr, kQvMethod, 5, {}},
    {"Fail", 4, 0, nullptr, kQvMethod, 5, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB scriptMembers() { return kScriptMembers; }
const QvClassRecord *QVSCB scriptClass() {
    static const QvClassRecord rec{TDispStub_class, scriptMembers, "TScriptThing"};
    return &rec;
}
struct TScriptThing : TDispStub {
    using TDispStub::TDispStub;
    std::string name = "thing";
    const QvClassRecord *classRecord() const override { return scriptClass(); }
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
            qv_call(runtime(), kRtAddError, 77, 2, "no way");
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
    com_ptr<IDispatch> proxy() {
        List l(newList(1));
        l.set(0, kQvtObject, script);
        VARIANT v;
        VariantInit(&v);
        EXPECT_EQ(S_OK, qv_call(svc, kCgValueToVariant, l.p, 0, &v));
        EXPECT_EQ(VT_DISPATCH, v.vt);
        return com_ptr<IDispatch>(v.pdispVal);
    }
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

TEST_F(Proxy, VBScriptCallsScriptObjects) {
    com_ptr<IDispatch> d = proxy();
    com_ptr<IDispatch> sc;
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"MSScriptControl.ScriptControl", &clsid));
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, sc.put_void()));
    auto call = [&](const wchar_t *member, WORD flags, std::initializer_list<VARIANT> args, VARIANT *result) {
        LPOLESTR n = const_cast<LPOLESTR>(member);
        DISPID id;
        EXPECT_EQ(S_OK, sc->GetIDsOfNames(IID_NULL, &n, 1, 0, &id));
        std::vector<VARIANT> a(args.begin(), args.end());
        std::reverse(a.begin(), a.end());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS dp{a.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(a.size()),
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        EXCEPINFO info{};
        HRESULT hr = sc->Invoke(id, IID_NULL, 0, flags, &dp, result, &info, nullptr);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
        return hr;
    };
    auto text = [](const wchar_t *t) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(t);
        return v;
    };
    VARIANT lang = text(L"VBScript");
    ASSERT_EQ(S_OK, call(L"Language", DISPATCH_PROPERTYPUT, {lang}, nullptr));
    VariantClear(&lang);
    VARIANT name = text(L"obj"), obj, no;
    obj.vt = VT_DISPATCH;
    obj.pdispVal = d.get();
    no.vt = VT_BOOL;
    no.boolVal = VARIANT_FALSE;
    ASSERT_EQ(S_OK, call(L"AddObject", DISPATCH_METHOD, {name, obj, no}, nullptr));
    VariantClear(&name);
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
            VARIANT s = text(c.statement);
            EXPECT_EQ(S_OK, call(L"ExecuteStatement", DISPATCH_METHOD, {s}, nullptr)) << c.expr;
            VariantClear(&s);
        }
        VARIANT e = text(c.expr), r;
        VariantInit(&r);
        EXPECT_EQ(S_OK, call(L"Eval", DISPATCH_METHOD, {e}, &r)) << c.expr;
        VariantClear(&e);
        VARIANT n;
        VariantInit(&n);
        EXPECT_EQ(S_OK, VariantChangeType(&n, &r, 0, VT_I4)) << c.expr;
        EXPECT_EQ(c.expect, n.lVal) << c.expr;
        VariantClear(&r);
    }
    EXPECT_EQ("fresh", thing->name);
    sc.reset();
}

}  // namespace
