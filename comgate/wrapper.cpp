#include "wrapper.h"

#include <ocidl.h>

#include <cctype>
#include <cstring>
#include <memory>

#include "com_object.h"
#include "com_ptr.h"
#include "comgate.h"
#include "convert.h"

namespace {

const LCID kUserLcid = 0x0400;
const LCID kSystemLcid = 0x0800;

TComWrapBase *wrapOf(const QvIntf *i) { return static_cast<TComWrapBase *>(static_cast<const QvSub *>(i)->obj); }
QvWord QVSCB wrGet(const QvIntf *i) { return qv_word(wrapOf(i)->wrapped()); }
QvWord QVSCB wrAttach(const QvIntf *i, QvWord unk, QvWord addRef, QvWord service) {
    wrapOf(i)->Attach(qv_ptr<IUnknown>(unk), addRef != 0, qv_ptr<QvIntf>(service));
    return 0;
}
QvWord QVSCB wrService(const QvIntf *i) {
    QvIntf *s = wrapOf(i)->service();
    if (s) qv_call(s, kQvAddRef);
    return qv_word(s);
}
QvWord QVSCB wrIsUnknown(const QvIntf *i) { return wrapOf(i)->isUnknown() ? 1 : 0; }
void *const kWrapTable[] = {
    QV_BASE_SLOTS,                         reinterpret_cast<void *>(wrGet),
    reinterpret_cast<void *>(wrAttach),    reinterpret_cast<void *>(wrService),
    reinterpret_cast<void *>(wrIsUnknown),
};

const QvMemberEntry kNoMembers[] = {{nullptr, -1, 0, nullptr, 0, 0, {}}};
const QvMemberEntry *QVSCB noMembers() { return kNoMembers; }

std::wstring widen(const char *s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s ? s : "", -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s ? s : "", -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}
bool sameName(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

// The sink the event source calls. It counts its own references: the
// wrapper and the connection point each hold one, so neither keeps the
// other alive, and a sink whose wrapper is gone answers nothing.
class ComEventSink : public IDispatch {
public:
    explicit ComEventSink(TComWraper *w) : w_(w) {}
    void detach() { w_ = nullptr; }
    IID source = GUID_NULL;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || (source != GUID_NULL && riid == source))
            return com_handOut(static_cast<IDispatch *>(this), out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = refs_.drop();
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override {
        if (!ids || (count && !names)) return E_INVALIDARG;
        return cg_guarded([&] {
            HRESULT hr = S_OK;
            for (UINT i = 0; i < count; ++i) {
                MEMBERID id = DISPID_UNKNOWN;
                if (!w_ || !w_->eventId(cg_narrow(names[i]), &id)) {
                    id = DISPID_UNKNOWN;
                    hr = DISP_E_UNKNOWNNAME;
                }
                ids[i] = id;
            }
            return hr;
        });
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *dp, VARIANT *result, EXCEPINFO *info,
                                     UINT *argErr) override {
        if (!w_) return E_UNEXPECTED;
        // A handler that drops the wrapper's last reference disconnects and
        // releases this sink before the call returns here.
        AddRef();
        com_ptr<ComEventSink> self(this);
        return cg_guarded([&] { return w_->FireEvent(id, dp, result, info, argErr); });
    }

private:
    virtual ~ComEventSink() = default;
    ComRefCount refs_{1};
    TComWraper *w_;
};

// TMetaInfo: the wrapper's class described to the runtime's reflection. It
// counts its own references and keeps the wrapper alive.
struct TMetaInfo : QvIntf {
    LONG refs = 1;
    TComWraper *w;
    std::string name;
};
namespace {
TMetaInfo *meta(const QvIntf *i) { return static_cast<TMetaInfo *>(const_cast<QvIntf *>(i)); }
QvWord QVSCB miAddRef(const QvIntf *i) { return InterlockedIncrement(&meta(i)->refs); }
QvWord QVSCB miRelease(const QvIntf *i) {
    LONG n = InterlockedDecrement(&meta(i)->refs);
    if (n == 0) {
        meta(i)->w->Release();
        delete meta(i);
    }
    return n;
}
QvWord QVSCB miQueryInterface(const QvIntf *, QvWord, QvWord out) {
    if (out) *qv_ptr<QvIntf *>(out) = nullptr;
    return 0;
}
QvWord QVSCB miClassName(const QvIntf *i) { return qv_word(meta(i)->name.c_str()); }
QvWord QVSCB miOwner(const QvIntf *i) { return qv_word(meta(i)->w->Owner()); }
QvWord QVSCB miCount(const QvIntf *i, QvWord mask) {
    return cg_guardedWord(0, [&]() -> QvWord { return meta(i)->w->memberCount(static_cast<int>(mask)); });
}
QvWord QVSCB miAt(const QvIntf *i, QvWord index, QvWord mask, QvWord out) {
    return cg_guardedWord(-1, [&]() -> QvWord {
        return meta(i)->w->memberAt(static_cast<int>(index), static_cast<int>(mask), qv_ptr<QvMemberAt>(out)) ? 0 : -1;
    });
}
QvWord QVSCB miFind(const QvIntf *i, QvWord name, QvWord out) {
    return cg_guardedWord(-1, [&]() -> QvWord {
        return meta(i)->w->findMember(qv_ptr<const char>(name), qv_ptr<QvMemberFound>(out)) ? 0 : -1;
    });
}
QvWord QVSCB miMemberName(const QvIntf *i, QvWord id) {
    return cg_guardedWord(0, [&]() -> QvWord {
        QvMemberAt m{};
        for (int k = 0; meta(i)->w->memberAt(k, kQvMaskProps | kQvMaskMethods | kQvMaskEvents, &m); ++k)
            if (m.memid == id) return qv_word(m.name);
        return 0;
    });
}
void *const kMetaTable[] = {
    reinterpret_cast<void *>(miAddRef),  reinterpret_cast<void *>(miRelease),
    reinterpret_cast<void *>(miQueryInterface), reinterpret_cast<void *>(miClassName),
    reinterpret_cast<void *>(miOwner),   reinterpret_cast<void *>(miClassName),
    reinterpret_cast<void *>(miCount),   reinterpret_cast<void *>(miAt),
    reinterpret_cast<void *>(miFind),    reinterpret_cast<void *>(miMemberName),
};
static_assert(sizeof kMetaTable / sizeof kMetaTable[0] == kCiSlots, "class information slots");
}  // namespace

// --- TComWrapBase -------------------------------------------------------------

TComWrapBase::TComWrapBase(QvIntf *owner) : TDispStub(owner) {
    wrap_.fn = kWrapTable;
    wrap_.obj = this;
    link_.item = this;
}

TComWrapBase::~TComWrapBase() {
    if (service_) {
        qv_call(service_, kCgWrapperRemove, &wrap_);
        qv_call(service_, kQvRelease);
    }
    if (unk_) unk_->Release();
}

TComgateServer *TComWrapBase::server() const { return TComgateServer::fromService(service_); }

TComWrapBase *TComWrapBase::fromWrapperIntf(const QvIntf *intf) {
    return intf && intf->fn == kWrapTable ? wrapOf(intf) : nullptr;
}

QvIntf *TComWrapBase::findInterface(int iid) {
    return iid == kQvIidComgateWrapper ? &wrap_ : TDispStub::findInterface(iid);
}

void TComWrapBase::Attach(IUnknown *unk, bool addRef, QvIntf *service) {
    if (unk && addRef) unk->AddRef();
    if (unk_) unk_->Release();
    unk_ = unk;
    if (service) {
        qv_call(service, kQvAddRef);
        qv_call(service, kCgWrapperAdd, &wrap_);
    }
    if (service_) qv_call(service_, kQvRelease);
    service_ = service;
}

// --- class records --------------------------------------------------------

const QvClassRecord *QVSCB TComWraper_class() {
    static const QvClassRecord rec{TDispStub_class, noMembers, "TComWraper", 0};
    return &rec;
}
const QvClassRecord *QVSCB TComWraperUnknown_class() {
    static const QvClassRecord rec{TDispStub_class, noMembers, "TComWraperUnknown", 0};
    return &rec;
}
const QvClassRecord *TComWraperUnknown::classRecord() const { return TComWraperUnknown_class(); }
const QvClassRecord *TComWraper::classRecord() const { return TComWraper_class(); }

// --- TComWraper -------------------------------------------------------------

TComWraper::TComWraper(QvIntf *owner) : TComWrapBase(owner) {}

TComWraper::~TComWraper() {
    Unadvise();
    if (sink_) {
        sink_->detach();
        sink_->Release();
    }
}

QvWord TComWraper::GetMemberId(const char *name, int *id) {
    if (!dispatch()) return kQvFailed;
    std::wstring w = widen(name);
    LPOLESTR names[] = {&w[0]};
    DISPID d = DISPID_UNKNOWN;
    HRESULT hr = dispatch()->GetIDsOfNames(IID_NULL, names, 1, kSystemLcid, &d);
    if (FAILED(hr)) {
        TComgateServer *s = server();
        return s ? s->ComReportError(hr, nullptr) : QvWord(kQvFailed);
    }
    if (id) *id = d;
    return 0;
}

QvWord TComWraper::Invoke(int dispid, int flags, QvIntf *parms, QvWord word) {
    if (word == 2) {
        if (dispid == -4) Advise();
        if (dispid == -5) Unadvise();
        return TDispStub::Invoke(dispid, flags, parms, word);
    }
    if (word != 0 && word != 3) return kQvDispidUnknown;
    TComgateServer *s = server();
    if (!s || !dispatch()) return kQvFailed;
    // An event handler run by the call may drop the script's last reference
    // to this wrapper; the wrapper and its service stay until the call ends.
    QvHold self(mainIntf());
    QvHold service(this->service());
    const bool put = (flags & kQvPut) != 0;
    CgDispHolder *raw = nullptr;
    HRESULT hr = cg_argsToDispParams(*s, parms, put, &raw);
    if (FAILED(hr)) return s->ComReportError(hr, nullptr);
    std::unique_ptr<CgDispHolder, void (*)(CgDispHolder *)> h(raw, cg_releaseParams);
    EXCEPINFO info{};
    if (put) {
        const VARTYPE vt = h->params.cArgs ? h->params.rgvarg[0].vt : VARTYPE(VT_EMPTY);
        WORD f = DISPATCH_PROPERTYPUTREF;
        if ((flags & DISPATCH_PROPERTYPUT) && vt != VT_DISPATCH && vt != VT_UNKNOWN) f = DISPATCH_PROPERTYPUT;
        hr = dispatch()->Invoke(dispid, IID_NULL, kUserLcid, f, &h->params, nullptr, &info, nullptr);
    } else {
        VARIANT result;
        VariantInit(&result);
        WORD f = static_cast<WORD>(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET));
        if (!f) f = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
        hr = dispatch()->Invoke(dispid, IID_NULL, kUserLcid, f, &h->params, &result, &info, nullptr);
        if (SUCCEEDED(hr)) {
            hr = cg_storeResult(*s, h.get(), &result);
        } else if (hr != DISP_E_EXCEPTION) {
            // Some members refuse a result VARIANT they do not fill.
            hr = dispatch()->Invoke(dispid, IID_NULL, kUserLcid, f, &h->params, nullptr, &info, nullptr);
        }
        VariantClear(&result);
    }
    if (FAILED(hr)) return s->ComReportError(hr, &info);
    cg_writeBack(*s, h.get());
    return 0;
}

void TComWraper::collectInterface(ITypeInfo *ti, bool source) {
    TYPEATTR *ta = nullptr;
    if (FAILED(ti->GetTypeAttr(&ta)) || !ta) return;
    if (ta->typekind == TKIND_DISPATCH || ta->typekind == TKIND_INTERFACE) {
        if (className_.empty() && !source) {
            BSTR name = nullptr;
            if (SUCCEEDED(ti->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
                className_ = "ActiveX\\" + cg_narrow(name);
            SysFreeString(name);
        }
        if (source) source_ = ta->guid;
        for (WORD i = 0; !source && i < ta->cVars; ++i) {
            VARDESC *vd = nullptr;
            if (FAILED(ti->GetVarDesc(i, &vd))) continue;
            BSTR name = nullptr;
            if (SUCCEEDED(ti->GetDocumentation(vd->memid, &name, nullptr, nullptr, nullptr)))
                props_.push_back(CgMember{cg_narrow(name), vd->memid});
            SysFreeString(name);
            ti->ReleaseVarDesc(vd);
        }
        for (WORD i = 0; i < ta->cFuncs; ++i) {
            FUNCDESC *fd = nullptr;
            if (FAILED(ti->GetFuncDesc(i, &fd))) continue;
            BSTR name = nullptr;
            if (!(fd->wFuncFlags & FUNCFLAG_FRESTRICTED) &&
                SUCCEEDED(ti->GetDocumentation(fd->memid, &name, nullptr, nullptr, nullptr)) && name &&
                name[0] != L'_') {
                CgMember m{cg_narrow(name), fd->memid};
                if (source) {
                    if (fd->invkind == INVOKE_FUNC) events_.push_back(m);
                } else if (fd->invkind == INVOKE_FUNC) {
                    methods_.push_back(m);
                } else if (fd->invkind == INVOKE_PROPERTYGET) {
                    props_.push_back(m);
                }
            }
            SysFreeString(name);
            ti->ReleaseFuncDesc(fd);
        }
    }
    ti->ReleaseTypeAttr(ta);
}

void TComWraper::collect(ITypeInfo *coclass) {
    TYPEATTR *ta = nullptr;
    if (FAILED(coclass->GetTypeAttr(&ta)) || !ta) return;
    const bool isClass = ta->typekind == TKIND_COCLASS;
    const WORD impls = ta->cImplTypes;
    coclass->ReleaseTypeAttr(ta);
    if (!isClass) {
        collectInterface(coclass, false);
        return;
    }
    for (UINT i = 0; i < impls; ++i) {
        INT flags = 0;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FDEFAULT)) continue;
        HREFTYPE ref = 0;
        com_ptr<ITypeInfo> ti;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, ti.put()))) continue;
        collectInterface(ti.get(), (flags & IMPLTYPEFLAG_FSOURCE) != 0);
    }
}

void TComWraper::loadTypeInfo() {
    if (loaded_ || !dispatch()) return;
    loaded_ = true;
    IDispatch *d = dispatch();
    com_ptr<IProvideMultipleClassInfo> multi;
    com_ptr<IProvideClassInfo> single;
    if (SUCCEEDED(d->QueryInterface(IID_IProvideMultipleClassInfo, multi.put_void())) && multi) {
        ULONG n = 0;
        multi->GetMultiTypeInfoCount(&n);
        for (ULONG i = 0; i < n; ++i) {
            com_ptr<ITypeInfo> ti;
            if (SUCCEEDED(multi->GetInfoOfIndex(i, MULTICLASSINFO_GETTYPEINFO, ti.put(), nullptr, nullptr, nullptr,
                                                nullptr)) && ti)
                collect(ti.get());
        }
        return;
    }
    if ((SUCCEEDED(d->QueryInterface(IID_IProvideClassInfo, single.put_void())) && single) ||
        (SUCCEEDED(d->QueryInterface(IID_IProvideClassInfo2, single.put_void())) && single)) {
        com_ptr<ITypeInfo> ti;
        if (SUCCEEDED(single->GetClassInfo(ti.put())) && ti) collect(ti.get());
        return;
    }
    com_ptr<ITypeInfo> ti;
    if (FAILED(d->GetTypeInfo(0, kSystemLcid, ti.put())) || !ti) return;
    com_ptr<ITypeLib> lib;
    UINT index = 0;
    CLSID clsid = GUID_NULL;
    com_ptr<IPersist> persist;
    com_ptr<IOleObject> ole;
    if (SUCCEEDED(d->QueryInterface(IID_IPersist, persist.put_void())) && persist)
        persist->GetClassID(&clsid);
    else if (SUCCEEDED(d->QueryInterface(IID_IOleObject, ole.put_void())) && ole)
        ole->GetUserClassID(&clsid);
    com_ptr<ITypeInfo> coclass;
    if (clsid != GUID_NULL && SUCCEEDED(ti->GetContainingTypeLib(lib.put(), &index)) && lib &&
        SUCCEEDED(lib->GetTypeInfoOfGuid(clsid, coclass.put())) && coclass)
        collect(coclass.get());
    else
        collectInterface(ti.get(), false);
}

std::string TComWraper::className() {
    loadTypeInfo();
    return className_.empty() ? "ActiveX" : className_;
}

QvWord TComWraper::Member7(QvWord query, QvWord out) {
    if (query != kQvClassInfoQuery || !out) return TDispStub::Member7(query, out);
    std::string name = className();
    TMetaInfo *m = new (std::nothrow) TMetaInfo;
    if (!m) return kQvNoMemory;
    m->fn = kMetaTable;
    m->w = this;
    m->name = std::move(name);
    AddRef();
    *qv_ptr<QvIntf *>(out) = m;
    return 0;
}

int TComWraper::memberCount(int mask) {
    loadTypeInfo();
    size_t n = 0;
    if (mask & kQvMaskProps) n += props_.size();
    if (mask & kQvMaskMethods) n += methods_.size();
    if (mask & kQvMaskEvents) n += events_.size();
    return static_cast<int>(n);
}

const CgMember *TComWraper::member(int index, int mask, int *kind) {
    loadTypeInfo();
    const struct {
        int mask;
        const std::vector<CgMember> *list;
        int kind;
    } groups[] = {{kQvMaskProps, &props_, kQvProperty}, {kQvMaskMethods, &methods_, kQvMethod},
                  {kQvMaskEvents, &events_, kQvMemberEvent}};
    if (index < 0) return nullptr;
    for (const auto &g : groups) {
        if (!(mask & g.mask)) continue;
        if (static_cast<size_t>(index) < g.list->size()) {
            *kind = g.kind;
            return &(*g.list)[static_cast<size_t>(index)];
        }
        index -= static_cast<int>(g.list->size());
    }
    return nullptr;
}

// Each record is written field by field: the runtime's buffer holds this
// record and nothing more.
bool TComWraper::memberAt(int index, int mask, QvMemberAt *out) {
    int kind = 0;
    const CgMember *m = out ? member(index, mask, &kind) : nullptr;
    if (!m) return false;
    out->name = m->name.c_str();
    out->memid = m->id;
    out->text = "";
    out->kind = kind;
    out->tail = kind == kQvMemberEvent ? kQvTailEvent : kQvTailMember;
    return true;
}

bool TComWraper::findMember(const char *name, QvMemberFound *out) {
    if (!name || !out) return false;
    const int all = kQvMaskProps | kQvMaskMethods | kQvMaskEvents;
    int kind = 0;
    for (int i = 0; const CgMember *m = member(i, all, &kind); ++i)
        if (sameName(m->name, name)) {
            out->name = m->name.c_str();
            out->memid = m->id;
            out->zero = 0;
            out->text = "";
            out->kind = kind;
            out->tail = kQvTailMember;
            return true;
        }
    return false;
}

bool TComWraper::eventId(const std::string &name, MEMBERID *id) {
    for (const CgMember &m : events())
        if (sameName(m.name, name)) {
            *id = m.id;
            return true;
        }
    return false;
}

HRESULT TComWraper::Advise() {
    if (cookie_) return S_OK;
    if (source_ == GUID_NULL) loadTypeInfo();
    if (source_ == GUID_NULL || !dispatch()) return E_FAIL;
    com_ptr<IConnectionPointContainer> cpc;
    com_ptr<IConnectionPoint> cp;
    HRESULT hr = dispatch()->QueryInterface(IID_IConnectionPointContainer, cpc.put_void());
    if (SUCCEEDED(hr)) hr = cpc->FindConnectionPoint(source_, cp.put());
    if (FAILED(hr)) return hr;
    if (!sink_) {
        sink_ = new (std::nothrow) ComEventSink(this);
        if (!sink_) return E_OUTOFMEMORY;
        sink_->source = source_;
    }
    return cp->Advise(sink_, &cookie_);
}

HRESULT TComWraper::Unadvise() {
    if (!cookie_ || !dispatch()) return S_OK;
    com_ptr<IConnectionPointContainer> cpc;
    com_ptr<IConnectionPoint> cp;
    HRESULT hr = dispatch()->QueryInterface(IID_IConnectionPointContainer, cpc.put_void());
    if (SUCCEEDED(hr)) hr = cpc->FindConnectionPoint(source_, cp.put());
    if (SUCCEEDED(hr)) hr = cp->Unadvise(cookie_);
    cookie_ = 0;
    return hr;
}

HRESULT TComWraper::FireEvent(DISPID id, DISPPARAMS *dp, VARIANT *result, EXCEPINFO *info, UINT *argErr) {
    TComgateServer *s = server();
    if (!s) return E_UNEXPECTED;
    QvIntf *list = nullptr;
    HRESULT hr = cg_dispParamsToArgs(*s, dp, argErr, 0, 0, 0, &list);
    if (FAILED(hr)) return hr;
    AddRef();
    QvWord code = qv_call(runtime(), kRtInvokeOld, mainIntf(), id, list, 4);
    if (code != 0) {
        hr = info ? s->ComErrorsToExcepInfo(static_cast<int>(code), "TCOMObj::Invoke", info) : E_FAIL;
    } else {
        if (result) hr = cg_valueToVariant(*s, CgEntry{list, 0, 0}, result);
        if (SUCCEEDED(hr) && dp) hr = cg_storeByRefArgs(*s, dp, list, 0);
    }
    qv_call(list, kQvRelease);
    Release();
    return hr;
}
