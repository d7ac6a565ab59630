#include "eventserver.h"

#include <cstring>
#include <string>
#include <vector>

const CLSID CLSID_EvServer = {0x6C3F2E10, 0x1B7A, 0x4C55, {0x9E, 0x0D, 0x2A, 0x1B, 0x3C, 0x4D, 0x5E, 0x60}};
const IID IID_EvSource = {0x6C3F2E11, 0x1B7A, 0x4C55, {0x9E, 0x0D, 0x2A, 0x1B, 0x3C, 0x4D, 0x5E, 0x60}};
static const IID IID_EvServerDisp = {0x6C3F2E12, 0x1B7A, 0x4C55, {0x9E, 0x0D, 0x2A, 0x1B, 0x3C, 0x4D, 0x5E, 0x60}};
static const GUID LIBID_Ev = {0x6C3F2E13, 0x1B7A, 0x4C55, {0x9E, 0x0D, 0x2A, 0x1B, 0x3C, 0x4D, 0x5E, 0x60}};

EvServerStats &evStats() {
    static EvServerStats s;
    return s;
}

namespace {

enum : DISPID { kFire = 1, kValue = 2, kObj = 3, kPicky = 4, kSecret = 5 };
enum : DISPID { kPing = 1, kAsk = 2, kQuiet = 3 };

struct Func {
    const wchar_t *name;
    DISPID id;
    INVOKEKIND kind;
    VARTYPE param;  // VT_EMPTY: none
    VARTYPE result;
};

void addFuncs(ICreateTypeInfo *ti, const Func *f, int n) {
    for (int i = 0; i < n; ++i) {
        ELEMDESC p{};
        p.tdesc.vt = f[i].param;
        TYPEDESC ref{};
        if (f[i].param == VT_VARIANT && f[i].kind == INVOKE_FUNC) {
            ref.vt = VT_VARIANT;
            p.tdesc.vt = VT_PTR;
            p.tdesc.lptdesc = &ref;
        }
        p.paramdesc.wParamFlags = PARAMFLAG_FIN;
        FUNCDESC fd{};
        fd.memid = f[i].id;
        fd.funckind = FUNC_DISPATCH;
        fd.invkind = f[i].kind;
        fd.callconv = CC_STDCALL;
        fd.cParams = f[i].param == VT_EMPTY ? 0 : 1;
        fd.lprgelemdescParam = fd.cParams ? &p : nullptr;
        fd.elemdescFunc.tdesc.vt = f[i].result;
        ti->AddFuncDesc(static_cast<UINT>(i), &fd);
        LPOLESTR names[2] = {const_cast<LPOLESTR>(f[i].name), const_cast<LPOLESTR>(L"arg")};
        ti->SetFuncAndParamNames(static_cast<UINT>(i), names, f[i].kind == INVOKE_PROPERTYPUT || f[i].kind == INVOKE_PROPERTYPUTREF ? 1 : 1 + fd.cParams);
    }
}

// The coclass of a library built once per process.
ITypeInfo *classInfo() {
    static ITypeInfo *cached = nullptr;
    if (cached) return cached;
    ICreateTypeLib2 *lib = nullptr;
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    lstrcatW(path, L"comgate_ev.tlb");
    if (FAILED(CreateTypeLib2(sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32, path, &lib))) return nullptr;
    lib->SetGuid(LIBID_Ev);
    lib->SetName(const_cast<LPOLESTR>(L"EvLib"));
    ITypeLib *std = nullptr;
    ITypeInfo *dispInfo = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, &std)))
        std->GetTypeInfoOfGuid(IID_IDispatch, &dispInfo);

    auto make = [&](const wchar_t *name, const GUID &g, const Func *f, int n) {
        ICreateTypeInfo *ti = nullptr;
        lib->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_DISPATCH, &ti);
        ti->SetGuid(g);
        if (dispInfo) {
            HREFTYPE h;
            if (SUCCEEDED(ti->AddRefTypeInfo(dispInfo, &h))) ti->AddImplType(0, h);
        }
        addFuncs(ti, f, n);
        ti->LayOut();
        return ti;
    };
    const Func server[] = {
        {L"Fire", kFire, INVOKE_FUNC, VT_I4, VT_VOID},
        {L"Value", kValue, INVOKE_PROPERTYGET, VT_EMPTY, VT_I4},
        {L"Value", kValue, INVOKE_PROPERTYPUT, VT_I4, VT_VOID},
        {L"Obj", kObj, INVOKE_PROPERTYGET, VT_EMPTY, VT_DISPATCH},
        {L"Obj", kObj, INVOKE_PROPERTYPUTREF, VT_DISPATCH, VT_VOID},
        {L"Picky", kPicky, INVOKE_FUNC, VT_EMPTY, VT_VOID},
        {L"_Secret", kSecret, INVOKE_FUNC, VT_EMPTY, VT_VOID},
    };
    const Func events[] = {
        {L"Ping", kPing, INVOKE_FUNC, VT_I4, VT_VOID},
        {L"Ask", kAsk, INVOKE_FUNC, VT_VARIANT, VT_VOID},
        {L"_Quiet", kQuiet, INVOKE_FUNC, VT_EMPTY, VT_VOID},
    };
    ICreateTypeInfo *srv = make(L"IEvServer", IID_EvServerDisp, server, 7);
    ICreateTypeInfo *src = make(L"IEvSource", IID_EvSource, events, 3);
    ICreateTypeInfo *cc = nullptr;
    lib->CreateTypeInfo(const_cast<LPOLESTR>(L"EvServer"), TKIND_COCLASS, &cc);
    cc->SetGuid(CLSID_EvServer);
    ITypeInfo *srvInfo = nullptr, *srcInfo = nullptr;
    srv->QueryInterface(IID_ITypeInfo, reinterpret_cast<void **>(&srvInfo));
    src->QueryInterface(IID_ITypeInfo, reinterpret_cast<void **>(&srcInfo));
    HREFTYPE h1 = 0, h2 = 0;
    cc->AddRefTypeInfo(srvInfo, &h1);
    cc->AddRefTypeInfo(srcInfo, &h2);
    cc->AddImplType(0, h1);
    cc->AddImplType(1, h2);
    cc->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT);
    cc->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    cc->LayOut();
    cc->QueryInterface(IID_ITypeInfo, reinterpret_cast<void **>(&cached));
    srvInfo->Release();
    srcInfo->Release();
    srv->Release();
    src->Release();
    cc->Release();
    if (dispInfo) dispInfo->Release();
    if (std) std->Release();
    // The library lives as long as the type information the process holds.
    return cached;
}

class EvServer;

class EvPoint : public IConnectionPoint {
public:
    explicit EvPoint(EvServer *s) : s_(s) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *iid) override {
        *iid = IID_EvSource;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown *sink, DWORD *cookie) override {
        IDispatch *d = nullptr;
        if (!sink || !cookie) return E_POINTER;
        if (FAILED(sink->QueryInterface(IID_EvSource, reinterpret_cast<void **>(&d)))) return CONNECT_E_CANNOTCONNECT;
        sinks.push_back(d);
        *cookie = static_cast<DWORD>(sinks.size());
        ++evStats().sinks;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie == 0 || cookie > sinks.size() || !sinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
        sinks[cookie - 1]->Release();
        sinks[cookie - 1] = nullptr;
        --evStats().sinks;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **) override { return E_NOTIMPL; }
    std::vector<IDispatch *> sinks;

private:
    EvServer *s_;
};

class EvServer : public IDispatch, public IProvideClassInfo, public IConnectionPointContainer {
public:
    EvServer() : point_(this) {}
    virtual ~EvServer() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_EvServerDisp)
            *out = static_cast<IDispatch *>(this);
        else if (riid == IID_IProvideClassInfo && !bare_)
            *out = static_cast<IProvideClassInfo *>(this);
        else if (riid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        long n = --refs_;
        if (n == 0) {
            for (IDispatch *d : point_.sinks)
                if (d) {
                    d->Release();
                    --evStats().sinks;
                }
            if (obj_) obj_->Release();
            delete this;
        }
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT n, LCID, DISPID *ids) override {
        static const struct {
            const wchar_t *name;
            DISPID id;
        } table[] = {{L"Fire", kFire}, {L"Value", kValue}, {L"Obj", kObj}, {L"Picky", kPicky}, {L"_Secret", kSecret}};
        HRESULT hr = S_OK;
        for (UINT i = 0; i < n; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const auto &t : table)
                if (lstrcmpiW(t.name, names[i]) == 0) ids[i] = t.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *dp, VARIANT *result,
                                     EXCEPINFO *, UINT *) override {
        switch (id) {
        case kFire: {
            if (dp->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            VARIANT n;
            VariantInit(&n);
            if (FAILED(VariantChangeType(&n, &dp->rgvarg[0], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            fire(n.lVal);
            return S_OK;
        }
        case kValue:
            if (flags & DISPATCH_PROPERTYPUT) {
                evStats().lastPutFlags = flags;
                VARIANT n;
                VariantInit(&n);
                if (dp->cArgs != 1 || FAILED(VariantChangeType(&n, &dp->rgvarg[0], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
                value_ = n.lVal;
                return S_OK;
            }
            if (result) {
                result->vt = VT_I4;
                result->lVal = value_;
            }
            return S_OK;
        case kObj:
            if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
                evStats().lastPutFlags = flags;
                if (!(flags & DISPATCH_PROPERTYPUTREF)) return DISP_E_MEMBERNOTFOUND;
                if (dp->cArgs != 1 || dp->rgvarg[0].vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
                if (obj_) obj_->Release();
                obj_ = dp->rgvarg[0].pdispVal;
                if (obj_) obj_->AddRef();
                return S_OK;
            }
            if (result) {
                result->vt = VT_DISPATCH;
                result->pdispVal = obj_;
                if (obj_) obj_->AddRef();
            }
            return S_OK;
        case kPicky:
            ++evStats().pickyCalls;
            return result ? DISP_E_MEMBERNOTFOUND : S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **out) override {
        *out = classInfo();
        if (!*out) return E_FAIL;
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint **out) override {
        *out = nullptr;
        if (riid != IID_EvSource) return CONNECT_E_NOCONNECTION;
        *out = &point_;
        AddRef();
        return S_OK;
    }

private:
    void fire(long n) {
        for (IDispatch *d : point_.sinks) {
            if (!d) continue;
            VARIANT arg;
            VariantInit(&arg);
            arg.vt = VT_I4;
            arg.lVal = n;
            DISPPARAMS dp{&arg, nullptr, 1, 0};
            EXCEPINFO info{};
            evStats().lastFire = d->Invoke(kPing, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, &info, nullptr);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrHelpFile);
            // Ask passes a variable by reference, as script clients do.
            VARIANT var;
            VariantInit(&var);
            var.vt = VT_I4;
            var.lVal = n;
            VARIANT ref;
            ref.vt = VT_BYREF | VT_VARIANT;
            ref.pvarVal = &var;
            DISPPARAMS dp2{&ref, nullptr, 1, 0};
            d->Invoke(kAsk, IID_NULL, 0, DISPATCH_METHOD, &dp2, nullptr, nullptr, nullptr);
            evStats().lastAskType = var.vt;
            evStats().lastAsk = var.vt == VT_I4 ? var.lVal : -1;
            VariantClear(&var);
        }
    }

    long refs_ = 0;
    bool bare_ = evStats().bare;
    long value_ = 0;
    IDispatch *obj_ = nullptr;
    EvPoint point_;
    friend class EvPoint;
};

HRESULT EvPoint::QueryInterface(REFIID riid, void **out) {
    *out = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
}
ULONG EvPoint::AddRef() { return s_->AddRef(); }
ULONG EvPoint::Release() { return s_->Release(); }
HRESULT EvPoint::GetConnectionPointContainer(IConnectionPointContainer **out) {
    *out = s_;
    s_->AddRef();
    return S_OK;
}

class EvFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (evStats().rejectNext) {
            evStats().rejectNext = false;
            return E_INVALIDARG;
        }
        ++evStats().created;
        IUnknown *s = evNew();
        HRESULT hr = s->QueryInterface(riid, out);
        s->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
EvFactory g_factory;

}  // namespace

IUnknown *evNew() {
    EvServer *s = new EvServer;
    s->AddRef();
    return static_cast<IDispatch *>(s);
}

HRESULT evRegister(DWORD *cookie) {
    return CoRegisterClassObject(CLSID_EvServer, &g_factory, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                 REGCLS_MULTIPLEUSE, cookie);
}
