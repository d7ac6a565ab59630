// Automation requests: create or attach objects by ProgID, late-bound calls,
// releases, the running object table and OLE's start and end.
#include <ole2.h>

#include <new>

#include "comref.h"
#include "errors.h"
#include "module.h"
#include "variants.h"

// The object field is 32 bits wide on the wire; the i686 build puts the
// interface pointer itself there.
static_assert(kCallFlagsOffset == kCallObjectOffset + sizeof(uint32_t), "object field is 32 bits");
static_assert(kCallMemberOffset == kCallFlagsOffset + sizeof(uint16_t), "flags field is 16 bits");
#if defined(__i386__)
static_assert(sizeof(IDispatch *) == sizeof(uint32_t), "the i686 wire carries the pointer");
#endif

namespace {

// Locale of the member lookup and of the call.
constexpr LCID kSystemLocale = LOCALE_SYSTEM_DEFAULT;
constexpr WORD kPutFlags = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
constexpr WORD kResultFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

void ensureOle() {
    SysmixModule &m = sysmix_module();
    // A thread already in another apartment refuses; COM still serves it,
    // and nothing is to be undone later.
    if (!m.oleInitialised) m.oleInitialised = SUCCEEDED(OleInitialize(nullptr));
}

void endOle() {
    SysmixModule &m = sysmix_module();
    if (m.oleInitialised) OleUninitialize();
    m.oleInitialised = false;
}

int okReply(unsigned char *reply) {
    reply[0] = kSysmixOk;
    return 1;
}

// The arguments of a call, the last one first as Invoke wants them, and the
// slots that by-reference arguments point to.
struct CallArgs {
    explicit CallArgs(const SysmixCall &call) : args(call.args.size()), slots(call.byRefCount) {}
    VariantArray args;
    VariantArray slots;
};

SysmixError faultError(SysmixArgFault f, HRESULT &hr) {
    hr = f == SysmixArgFault::unknownType ? DISP_E_BADVARTYPE : DISP_E_BADPARAMCOUNT;
    return SysmixError::invokeFailed;
}

// Step 3: decodes the tagged arguments; S_OK or what stopped it.
HRESULT buildArgs(const SysmixCall &call, CallArgs &out) {
    size_t n = call.args.size(), slot = 0;
    for (size_t i = 0; i < n; ++i) {
        const SysmixValue &v = call.args[i];
        VARIANT &arg = out.args[n - 1 - i];
        if (!v.byRef) {
            HRESULT hr = sysmix_toVariant(v, arg);
            if (FAILED(hr)) return hr;
            continue;
        }
        VARIANT &target = out.slots[slot++];
        HRESULT hr = sysmix_toVariant(v, target);
        if (FAILED(hr)) return hr;
        arg.vt = VT_BYREF | VT_VARIANT;
        arg.pvarVal = &target;
    }
    return S_OK;
}

int buildFailure(unsigned char *reply, HRESULT hr) {
    if (hr == E_OUTOFMEMORY) return sysmix_errorReply(reply, SysmixError::noMemory);
    if (hr == E_HANDLE) return sysmix_errorReply(reply, SysmixError::noDispatch);
    return sysmix_errorReply(reply, SysmixError::invokeFailed, hr);
}

// Step 4: the call, repeated without a result when the object will not give
// one.
HRESULT invoke(IDispatch *d, DISPID id, WORD flags, CallArgs &a, VARIANT &result, bool &withResult) {
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = a.args.data();
    params.cArgs = static_cast<UINT>(a.args.size());
    if (flags & kPutFlags) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    withResult = (flags & kResultFlags) != 0;
    UINT argError = 0;
    HRESULT hr;
    {
        ExcepInfo ei;
        hr = d->Invoke(id, IID_NULL, kSystemLocale, flags, &params, withResult ? &result : nullptr, &ei, &argError);
    }
    if (withResult && hr == DISP_E_MEMBERNOTFOUND) {
        VariantClear(&result);
        withResult = false;
        ExcepInfo ei;
        hr = d->Invoke(id, IID_NULL, kSystemLocale, flags, &params, nullptr, &ei, &argError);
    }
    return hr;
}

// Step 5: the result when one was asked, then every by-reference slot.
int callReply(unsigned char *reply, bool withResult, const VARIANT &result, CallArgs &a) {
    std::vector<uint32_t> handed;
    WireWriter w(reply, kSysmixReplyCapacity);
    w.u8(withResult ? kSysmixOk : kSysmixOkNoResult);
    if (withResult) sysmix_putVariant(w, result, handed);
    for (size_t i = 0; i < a.slots.size(); ++i) sysmix_putVariant(w, a.slots[i], handed);
    if (w.ok()) return static_cast<int>(w.size());
    // The reply does not fit: the server gets none of the objects.
    for (uint32_t field : handed)
        if (IDispatch *d = static_cast<IDispatch *>(sysmix_module().objects.drop(field))) d->Release();
    return sysmix_errorReply(reply, SysmixError::noMemory);
}

int call(const SysmixRequest &req) {
    SysmixCall c;
    if (!sysmix_readCall(req.data, req.length, c))
        return sysmix_errorReply(req.reply, SysmixError::invokeFailed, DISP_E_BADPARAMCOUNT);
    IDispatch *d = static_cast<IDispatch *>(sysmix_module().objects.find(c.object));
    if (!d) return sysmix_errorReply(req.reply, SysmixError::noDispatch);

    // Step 1.
    std::wstring name = sysmix_wide(c.member);
    LPOLESTR names[1] = {&name[0]};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, kSystemLocale, &id);
    if (FAILED(hr)) return sysmix_errorReply(req.reply, SysmixError::noMember, hr);
    // Step 2.
    if ((c.flags & kPutFlags) && c.count < 1) return sysmix_errorReply(req.reply, SysmixError::noPutValue);
    // Step 3.
    if (c.fault != SysmixArgFault::none) {
        SysmixError e = faultError(c.fault, hr);
        return sysmix_errorReply(req.reply, e, hr);
    }
    CallArgs a(c);
    hr = buildArgs(c, a);
    if (FAILED(hr)) return buildFailure(req.reply, hr);
    // Steps 4 to 6; the arguments are cleared when a goes.
    VariantArray result(1);
    bool withResult = false;
    hr = invoke(d, id, c.flags, a, result[0], withResult);
    if (FAILED(hr)) return sysmix_errorReply(req.reply, SysmixError::invokeFailed, hr);
    return callReply(req.reply, withResult, result[0], a);
}

// Reference to an object of the class, running or new.
HRESULT objectOf(const CLSID &clsid, bool attach, ComRef<IUnknown> &unk) {
    if (attach && SUCCEEDED(GetActiveObject(clsid, nullptr, unk.out())) && unk) return S_OK;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown, unk.outVoid());
}

int create(const SysmixRequest &req, bool attach) {
    ensureOle();
    WireReader r(req.data, req.length);
    std::wstring progId = sysmix_wide(r.text());
    CLSID clsid;
    HRESULT hr = r.ok() ? CLSIDFromProgID(progId.c_str(), &clsid) : CO_E_CLASSSTRING;
    if (FAILED(hr)) return sysmix_errorReply(req.reply, SysmixError::noClsid, hr);
    ComRef<IUnknown> unk;
    hr = objectOf(clsid, attach, unk);
    if (FAILED(hr) || !unk) return sysmix_errorReply(req.reply, SysmixError::noUnknown, hr);
    ComRef<IDispatch> d;
    hr = unk->QueryInterface(IID_IDispatch, d.outVoid());
    if (FAILED(hr) || !d) return sysmix_errorReply(req.reply, SysmixError::noDispatch, hr);
    uint32_t field = sysmix_module().objects.add(d.release());
    WireWriter w(req.reply, kSysmixReplyCapacity);
    w.u8(kSysmixOk);
    w.u32(field);
    return static_cast<int>(w.size());
}

// Answers 1 when an object of the running object table is this very
// IDispatch; an object the server does not hold is never there.
int isRunning(const SysmixRequest &req) {
    WireReader r(req.data, req.length);
    IDispatch *d = static_cast<IDispatch *>(sysmix_module().objects.find(r.u32()));
    bool found = false;
    if (d) {
        ComRef<IRunningObjectTable> rot;
        ComRef<IEnumMoniker> monikers;
        HRESULT hr = GetRunningObjectTable(0, rot.out());
        if (SUCCEEDED(hr)) hr = rot->EnumRunning(monikers.out());
        if (FAILED(hr) || !monikers) return sysmix_errorReply(req.reply, SysmixError::runningTable, hr);
        ComRef<IMoniker> mk;
        while (!found && monikers->Next(1, mk.out(), nullptr) == S_OK) {
            ComRef<IUnknown> unk;
            hr = rot->GetObject(mk.get(), unk.out());
            if (FAILED(hr) || !unk) return sysmix_errorReply(req.reply, SysmixError::runningTable, hr);
            ComRef<IDispatch> other;
            hr = unk->QueryInterface(IID_IDispatch, other.outVoid());
            if (FAILED(hr) || !other) return sysmix_errorReply(req.reply, SysmixError::noDispatch, hr);
            found = other.get() == d;
        }
    }
    WireWriter w(req.reply, kSysmixReplyCapacity);
    w.i32(found ? 1 : 0);
    return static_cast<int>(w.size());
}

}  // namespace

int sysmix_release(const SysmixRequest &req) {
    WireReader r(req.data, req.length);
    if (IDispatch *d = static_cast<IDispatch *>(sysmix_module().objects.drop(r.u32()))) d->Release();
    return 0;
}

int sysmix_call(const SysmixRequest &req) {
    try {
        return call(req);
    } catch (const std::bad_alloc &) {
        return sysmix_errorReply(req.reply, SysmixError::noMemory);
    }
}

int sysmix_create(const SysmixRequest &req, bool attach) {
    try {
        return create(req, attach);
    } catch (const std::bad_alloc &) {
        return sysmix_errorReply(req.reply, SysmixError::noMemory);
    }
}

int sysmix_isRunning(const SysmixRequest &req) {
    try {
        return isRunning(req);
    } catch (const std::bad_alloc &) {
        return sysmix_errorReply(req.reply, SysmixError::noMemory);
    }
}

int sysmix_oleOn(const SysmixRequest &req) {
    ensureOle();
    return okReply(req.reply);
}

int sysmix_oleOff(const SysmixRequest &req) {
    endOle();
    return okReply(req.reply);
}

void sysmix_unload() {
    // The server's references go before the apartment that holds them.
    sysmix_module().objects.clear([](void *p) { static_cast<IDispatch *>(p)->Release(); });
    endOle();
}
