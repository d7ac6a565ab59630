#include "comgate.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "com_ptr.h"
#include "convert.h"
#include "wrapper.h"

namespace {

volatile LONG g_locks = 0;

enum : int { kCgVersion = 100 };
const unsigned char kNameParm[] = {kQvtString, kQvtBool, 0};
const QvMemberEntry kMembers[] = {
    {"CreateComObject", 0, kQvtObject, kNameParm, kQvMethod, 5, {}},
    {"Version", 1, kQvtInt, nullptr, kQvProperty, 5, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB members() { return kMembers; }

TComgateServer *server(const QvIntf *i) { return static_cast<TComgateServer *>(static_cast<const QvSub *>(i)->obj); }

QvWord QVSCB svUnwrapWord(const QvIntf *i, QvWord object, QvWord out, QvWord byte) {
    return cg_guardedWord(E_OUTOFMEMORY, [&]() -> QvWord {
        IUnknown *unk = nullptr;
        bool asUnknown = false;
        HRESULT hr = server(i)->UnwrapToDispatch(qv_ptr<QvIntf>(object), &unk, &asUnknown);
        if (out) *qv_ptr<IUnknown *>(out) = unk;
        else if (unk) unk->Release();
        if (byte) *qv_ptr<uint8_t>(byte) = asUnknown ? 1 : 0;
        return FAILED(hr) ? (hr == E_OUTOFMEMORY ? QvWord(E_OUTOFMEMORY) : QvWord(-1)) : 0;
    });
}
QvWord QVSCB svCallThrough(const QvIntf *i, QvWord a, QvWord b) {
    uint8_t local = 0;
    return svUnwrapWord(i, a, b, qv_word(&local));
}
QvWord QVSCB svWrapDispatch(const QvIntf *i, QvWord disp, QvWord out) {
    return cg_guardedWord(-1, [&] { return server(i)->WrapDispatch(qv_ptr<IDispatch>(disp), qv_ptr<QvIntf *>(out)); });
}
QvWord QVSCB svWrapUnknown(const QvIntf *i, QvWord unk, QvWord out) {
    return cg_guardedWord(-1, [&] { return server(i)->WrapUnknown(qv_ptr<IUnknown>(unk), qv_ptr<QvIntf *>(out)); });
}
QvWord QVSCB svWrapperAdd(const QvIntf *i, QvWord wrapper) {
    if (TComWrapBase *w = TComWrapBase::fromWrapperIntf(qv_ptr<QvIntf>(wrapper)))
        if (!w->cacheLink().node.owner) LockListAdd(&server(i)->wrappers(), &w->cacheLink());
    return 0;
}
QvWord QVSCB svWrapperRemove(const QvIntf *i, QvWord wrapper) {
    if (TComWrapBase *w = TComWrapBase::fromWrapperIntf(qv_ptr<QvIntf>(wrapper)))
        if (w->cacheLink().node.owner) LockListRemove(&server(i)->wrappers(), &w->cacheLink());
    return 0;
}
QvWord QVSCB svProxyAdd(const QvIntf *i, QvWord proxy) {
    return server(i)->AddProxy(qv_ptr<IUnknown>(proxy)) ? 0 : QvWord(E_OUTOFMEMORY);
}
QvWord QVSCB svProxyRemove(const QvIntf *i, QvWord proxy) {
    server(i)->RemoveProxy(qv_ptr<IUnknown>(proxy));
    return 0;
}
QvWord QVSCB svCreate(const QvIntf *i, QvWord name, QvWord running, QvWord out) {
    return cg_guarded([&] {
        return server(i)->ComCreateObject(qv_ptr<const char>(name), running != 0, qv_ptr<IDispatch *>(out));
    });
}
QvWord QVSCB svDispToArgsEx(const QvIntf *i, QvWord dp, QvWord argErr, QvWord flag, QvWord word, QvWord extra,
                            QvWord out, QvWord) {
    return cg_dispParamsToArgs(*server(i), qv_ptr<DISPPARAMS>(dp), qv_ptr<UINT>(argErr), static_cast<uint8_t>(flag),
                               word, static_cast<int>(extra), qv_ptr<QvIntf *>(out));
}
QvWord QVSCB svDispToArgs(const QvIntf *i, QvWord dp, QvWord argErr, QvWord flag, QvWord word, QvWord extra,
                          QvWord out) {
    return svDispToArgsEx(i, dp, argErr, flag, word, extra, out, 0);
}
QvWord QVSCB svStoreByRefEx(const QvIntf *i, QvWord dp, QvWord list, QvWord offset, QvWord context) {
    return cg_storeByRefArgs(*server(i), qv_ptr<DISPPARAMS>(dp), qv_ptr<QvIntf>(list), static_cast<int>(offset),
                             context);
}
QvWord QVSCB svStoreByRef(const QvIntf *i, QvWord dp, QvWord list, QvWord offset) {
    return svStoreByRefEx(i, dp, list, offset, 0);
}
QvWord QVSCB svValueToVariant(const QvIntf *i, QvWord list, QvWord index, QvWord out) {
    if (!out) return E_INVALIDARG;
    return cg_valueToVariant(*server(i), CgEntry{qv_ptr<QvIntf>(list), 0, static_cast<int>(index)},
                             qv_ptr<VARIANT>(out));
}
QvWord QVSCB svArgsToDisp(const QvIntf *i, QvWord list, QvWord put, QvWord out) {
    if (!out) return E_INVALIDARG;
    return cg_argsToDispParams(*server(i), qv_ptr<QvIntf>(list), put != 0, qv_ptr<CgDispHolder *>(out));
}
QvWord QVSCB svWriteBack(const QvIntf *i, QvWord h) { return cg_writeBack(*server(i), qv_ptr<CgDispHolder>(h)); }
QvWord QVSCB svStoreResult(const QvIntf *i, QvWord h, QvWord v) {
    return cg_storeResult(*server(i), qv_ptr<CgDispHolder>(h), qv_ptr<const VARIANT>(v));
}
QvWord QVSCB svReleaseParams(const QvIntf *, QvWord h) {
    cg_releaseParams(qv_ptr<CgDispHolder>(h));
    return 0;
}
QvWord QVSCB svReportError(const QvIntf *i, QvWord hr, QvWord info) {
    return cg_guardedWord(kQvFailed, [&] {
        return server(i)->ComReportError(static_cast<HRESULT>(hr), qv_ptr<EXCEPINFO>(info));
    });
}
QvWord QVSCB svVariantToValueEx(const QvIntf *i, QvWord v, QvWord list, QvWord index, QvWord byRef, QvWord late,
                                QvWord context) {
    if (!v) return E_INVALIDARG;
    return cg_variantToValue(*server(i), qv_ptr<const VARIANT>(v),
                             CgEntry{qv_ptr<QvIntf>(list), context, static_cast<int>(index)}, byRef != 0, late != 0);
}
QvWord QVSCB svVariantToValue(const QvIntf *i, QvWord v, QvWord list, QvWord index, QvWord byRef, QvWord late) {
    return svVariantToValueEx(i, v, list, index, byRef, late, 0);
}
QvWord QVSCB svErrorsToExcepInfo(const QvIntf *i, QvWord code, QvWord source, QvWord info) {
    return cg_guarded([&] {
        return server(i)->ComErrorsToExcepInfo(static_cast<int>(code), qv_ptr<const char>(source),
                                              qv_ptr<EXCEPINFO>(info));
    });
}

template <typename F>
void *slot(F f) { return reinterpret_cast<void *>(f); }
void *const kServiceTable[] = {
    QV_BASE_SLOTS,          slot(svCallThrough),
    slot(svWrapDispatch),   slot(svWrapperAdd),
    slot(svWrapperRemove),  slot(svProxyAdd),
    slot(svProxyRemove),    slot(svCreate),
    slot(svDispToArgs),     slot(svStoreByRef),
    slot(svValueToVariant), slot(svArgsToDisp),
    slot(svWriteBack),      slot(svStoreResult),
    slot(svReleaseParams),  slot(svReportError),
    slot(svDispToArgsEx),   slot(svStoreByRefEx),
    slot(svVariantToValue), slot(svWrapUnknown),
    slot(svErrorsToExcepInfo), slot(svUnwrapWord),
    slot(svVariantToValueEx),
};
static_assert(sizeof kServiceTable / sizeof kServiceTable[0] == kCgServiceSlots, "IComgateService slots");

std::string trimLineEnd(std::string s) {
    auto eol = [&] { return !s.empty() && (s.back() == '\r' || s.back() == '\n'); };
    if (eol()) s.pop_back();
    if (s.size() > 2 && eol()) s.pop_back();
    return s;
}

std::string systemText(HRESULT hr) {
    for (DWORD lang : {DWORD(MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)), DWORD(0x0800)}) {
        char *buf = nullptr;
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(hr), lang, reinterpret_cast<char *>(&buf), 0, nullptr);
        if (n && buf) {
            std::string s(buf, n);
            LocalFree(buf);
            return s;
        }
    }
    return "Unknown";
}

struct FindWrapped {
    IUnknown *unk;
    bool dispatch;
};
intptr_t matchWrapper(void *item, void *datum) {
    auto *w = static_cast<TComWrapBase *>(static_cast<CgCacheLink *>(item)->item);
    auto *f = static_cast<FindWrapped *>(datum);
    return w->wrapped() == f->unk && w->isUnknown() != f->dispatch;
}
// An entry of the proxy cache: the proxy as it was given (not held; the
// proxy leaves the cache before it goes) and its private interface.
struct ProxyEntry {
    LockNode node;
    IUnknown *proxy;
    ICgProxy *self;
};
intptr_t matchProxy(void *item, void *datum) { return static_cast<ProxyEntry *>(item)->self->ScriptObject() == datum; }
intptr_t matchGiven(void *item, void *datum) {
    auto *e = static_cast<ProxyEntry *>(item);
    return e->proxy == datum || static_cast<IUnknown *>(e->self) == datum;
}
int freeProxyEntry(void *item) {
    delete static_cast<ProxyEntry *>(item);
    return 0;
}

}  // namespace

void comgate_lock() { InterlockedIncrement(&g_locks); }
void comgate_unlock() { InterlockedDecrement(&g_locks); }
long comgate_locks() { return g_locks; }

const QvClassRecord *QVSCB TComgateServer_class() {
    static const QvClassRecord rec{TDispStub_class, members, "TComgateServer", 0};
    return &rec;
}

TComgateServer::TComgateServer(QvIntf *owner) : TDispStub(owner) {
    service_.fn = kServiceTable;
    service_.obj = this;
    LockListInit(&wrappers_, kLockNoFree | kLockOwner, offsetof(CgCacheLink, node));
    LockListInit(&proxies_, kLockOwner, offsetof(ProxyEntry, node));
    comgate_lock();
}

TComgateServer::~TComgateServer() {
    LockListClear(&wrappers_, nullptr);
    LockListClear(&proxies_, freeProxyEntry);
    comgate_unlock();
}

// Only comgate's own proxies are kept: anything else the runtime names is
// left untouched.
bool TComgateServer::AddProxy(IUnknown *proxy) {
    if (!proxy || LockListFind(&proxies_, matchGiven, proxy)) return true;
    ICgProxy *self = nullptr;
    if (FAILED(proxy->QueryInterface(IID_ICgProxy, reinterpret_cast<void **>(&self))) || !self) return true;
    // The cache does not hold the proxy: the proxy holds this service.
    self->Release();
    ProxyEntry *e = new (std::nothrow) ProxyEntry{};
    if (!e) return false;
    e->proxy = proxy;
    e->self = self;
    LockListAdd(&proxies_, e);
    return true;
}

void TComgateServer::RemoveProxy(IUnknown *proxy) {
    if (!proxy) return;
    if (void *e = LockListFind(&proxies_, matchGiven, proxy)) LockListDelete(&proxies_, e, freeProxyEntry);
}

const QvClassRecord *TComgateServer::classRecord() const { return TComgateServer_class(); }

TComgateServer *TComgateServer::fromService(const QvIntf *service) {
    return service && service->fn == kServiceTable ? server(service) : nullptr;
}

QvIntf *TComgateServer::findInterface(int iid) {
    return iid == kQvIidComgateService ? &service_ : TDispStub::findInterface(iid);
}

QvWord TComgateServer::Init(QvWord name, QvWord, QvWord) {
    setName(qv_ptr<const char>(name));
    return 0;
}

QvWord TComgateServer::Invoke(int dispid, int flags, QvIntf *parms, QvWord word) {
    TParmList list(parms, 0);
    switch (dispid) {
    case 0: case -6: {
        bool running = list.Arg(1).GetType() == kQvtBool && list.Arg(1).GetBool();
        com_ptr<IDispatch> disp;
        HRESULT hr = ComCreateObject(list.Arg(0).GetString(), running, disp.put());
        if (FAILED(hr)) return ComReportError(hr, nullptr);
        QvIntf *obj = nullptr;
        QvWord answer = WrapDispatch(disp.get(), &obj);
        // The result entry takes its own reference.
        if (answer == 0) {
            list.Result().SetObject(obj);
            qv_call(obj, kQvRelease);
        }
        return answer;
    }
    case 1:
        list.Result().SetInt(kCgVersion);
        return 0;
    default:
        return kQvDispidUnknown;
    }
}

HRESULT TComgateServer::ComCreateObject(const char *name, bool useRunning, IDispatch **out) {
    *out = nullptr;
    if (!name) name = "";
    int n = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, name, -1, &w[0], n);
    CLSID clsid;
    HRESULT hr = name[0] == '{' ? CLSIDFromString(w.c_str(), &clsid) : CLSIDFromProgID(w.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    if (useRunning) {
        com_ptr<IUnknown> unk;
        if (SUCCEEDED(GetActiveObject(clsid, nullptr, unk.put())) && unk)
            unk->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(out));
    }
    if (*out) return S_OK;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                          IID_IDispatch, reinterpret_cast<void **>(out));
    if (hr == E_INVALIDARG)
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void **>(out));
    return hr;
}

QvWord TComgateServer::WrapDispatch(IDispatch *disp, QvIntf **out) { return wrap(disp, true, out); }
QvWord TComgateServer::WrapUnknown(IUnknown *unk, QvIntf **out) { return wrap(unk, false, out); }

QvWord TComgateServer::wrap(IUnknown *unk, bool dispatch, QvIntf **out) {
    *out = nullptr;
    if (!unk) return -1;
    com_ptr<ICgProxy> proxy;
    if (SUCCEEDED(unk->QueryInterface(IID_ICgProxy, proxy.put_void())) && proxy) {
        QvIntf *object = proxy->ScriptObject();
        if (!object) return -1;
        qv_call(object, kQvAddRef);
        *out = object;
        return 0;
    }
    FindWrapped f{unk, dispatch};
    if (auto *link = static_cast<CgCacheLink *>(LockListFind(&wrappers_, matchWrapper, &f))) {
        *out = static_cast<TComWrapBase *>(link->item)->QueryInterface(kQvIidDispatch6);
        return *out ? 0 : -1;
    }
    TComWrapBase *w = dispatch ? static_cast<TComWrapBase *>(new (std::nothrow) TComWraper(Owner()))
                               : new (std::nothrow) TComWraperUnknown(Owner());
    if (!w) return -1;
    w->AddRef();
    w->Attach(unk, true, &service_);
    *out = w->QueryInterface(kQvIidDispatch6);
    w->Release();
    return *out ? 0 : -1;
}

HRESULT TComgateServer::UnwrapToDispatch(QvIntf *object, IUnknown **out, bool *asUnknown) {
    *out = nullptr;
    *asUnknown = false;
    if (!object) return E_FAIL;
    QvIntf *wi = nullptr;
    if (qv_call(object, kQvQueryInterface, kQvIidComgateWrapper, &wi) && wi) {
        IUnknown *unk = qv_ptr<IUnknown>(qv_call(wi, kWrGetInterface));
        *asUnknown = qv_call(wi, kWrIsUnknown) != 0;
        qv_call(wi, kQvRelease);
        if (!unk) return E_FAIL;
        unk->AddRef();
        *out = unk;
        return S_OK;
    }
    if (auto *e = static_cast<ProxyEntry *>(LockListFind(&proxies_, matchProxy, object)))
        return e->self->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(out));
    IDispatch *disp = nullptr;
    HRESULT hr = cg_makeProxy(*this, object, &disp);
    *out = disp;
    return hr;
}

QvWord TComgateServer::ComReportError(HRESULT hr, EXCEPINFO *info) {
    if (SUCCEEDED(hr)) return 0;
    int32_t code;
    std::string text;
    if (hr == DISP_E_EXCEPTION && info) {
        if (info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
        if (info->wCode)
            code = info->wCode < 0xFE00 ? static_cast<int32_t>(0x80040200u + info->wCode) : static_cast<int32_t>(0x80050000u);
        else
            code = info->scode;
        text = info->bstrDescription ? cg_narrowBstr(info->bstrDescription) : "Unknown";
    } else {
        code = hr;
        text = systemText(hr);
    }
    text = trimLineEnd(text);
    qv_call(runtime(), kRtAddError, code, 1, text.c_str());
    if (info) {
        SysFreeString(info->bstrDescription);
        SysFreeString(info->bstrSource);
        SysFreeString(info->bstrHelpFile);
        std::memset(info, 0, sizeof *info);
    }
    return kQvFailed;
}

HRESULT TComgateServer::ComErrorsToExcepInfo(int code, const char *source, EXCEPINFO *info) {
    if (code != 1 || !info) return E_FAIL;
    std::string text;
    int reported = code;
    try {
        char buf[257] = {};
        auto format = [&](int c) {
            buf[0] = 0;
            if (Owner()) qv_call(Owner(), kOwnFormatError, c, buf, 256, 0);
            buf[256] = 0;
            return std::string(buf);
        };
        if (source) text.append(source).append("\n");
        text.append(format(code)).append("\n");
        int count = static_cast<int>(qv_call(runtime(), kRtErrorEntry, -1, nullptr, nullptr, nullptr, nullptr));
        for (int i = 0; i < count; ++i) {
            int32_t kind = 0, c = 0, level = 0;
            const char *t = nullptr;
            qv_call(runtime(), kRtErrorEntry, i, &kind, &c, &t, &level);
            if (i == 0) reported = c;
            if (kind == 2) {
                text.append(format(c)).append("\n");
            } else {
                char line[512];
                std::snprintf(line, sizeof line, "%s  (code = %d, level = %d)\n", t ? t : "", c, level);
                text.append(line);
            }
        }
    } catch (const std::bad_alloc &) {
        text.clear();
    }
    std::memset(info, 0, sizeof *info);
    int wide = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    BSTR b = nullptr;
    if (!text.empty() && wide > 0 && (b = SysAllocStringLen(nullptr, static_cast<UINT>(wide - 1))))
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, b, wide);
    info->bstrDescription = b ? b : SysAllocString(L"Out of memory");
    // A code that a wCode cannot carry travels as a failing scode instead.
    long w = static_cast<long>(reported) + 1001;
    if (w >= 1 && w <= 0xFDFF)
        info->wCode = static_cast<WORD>(w);
    else
        info->scode = reported < 0 ? reported : E_FAIL;
    return DISP_E_EXCEPTION;
}
