#include "testobject.h"

#include <cwchar>

#include <windows.h>

// {6D2A5C1E-93B4-4F0A-8C61-2E7B9D4F1A35}
const CLSID CLSID_SysmixTestObject = {0x6d2a5c1e, 0x93b4, 0x4f0a, {0x8c, 0x61, 0x2e, 0x7b, 0x9d, 0x4f, 0x1a, 0x35}};

namespace {

const wchar_t *const kMembers[] = {L"Take", L"Give", L"Fill", L"Value", L"Quiet", L"Self"};
enum { kTake = 1, kGive, kFill, kValue, kQuiet, kSelf };

std::string narrowName(DISPID id) {
    const wchar_t *w = kMembers[id - 1];
    return std::string(w, w + wcslen(w));
}

void copyIn(VARIANT &dst, const VARIANT &src) {
    VariantInit(&dst);
    VariantCopyInd(&dst, const_cast<VARIANT *>(&src));
}

}  // namespace

TestObject::TestObject() {
    VariantInit(&result);
    VariantInit(&value);
}

TestObject::~TestObject() { reset(); }

void TestObject::reset() {
    for (TestCall &c : calls)
        for (VARIANT &v : c.args) VariantClear(&v);
    calls.clear();
    VariantClear(&result);
    VariantClear(&value);
    for (VARIANT &v : fills) VariantClear(&v);
    fills.clear();
}

HRESULT TestObject::QueryInterface(REFIID iid, void **out) {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
        *out = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG TestObject::AddRef() { return ++refs_; }
// The test owns the object; the count only shows whether references balance.
ULONG TestObject::Release() { return --refs_; }

HRESULT TestObject::GetTypeInfoCount(UINT *n) {
    *n = 0;
    return S_OK;
}

HRESULT TestObject::GetTypeInfo(UINT, LCID, ITypeInfo **) { return E_NOTIMPL; }

HRESULT TestObject::GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) {
    if (count != 1) return E_INVALIDARG;
    for (size_t i = 0; i < sizeof kMembers / sizeof kMembers[0]; ++i)
        if (_wcsicmp(names[0], kMembers[i]) == 0) {
            ids[0] = static_cast<DISPID>(i + 1);
            return S_OK;
        }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT TestObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result_,
                           EXCEPINFO *ei, UINT *) {
    if (id < kTake || id > kSelf) return DISP_E_MEMBERNOTFOUND;
    TestCall call{narrowName(id), flags, {}, {}, {}, result_ != nullptr};
    for (UINT i = params->cArgs; i-- > 0;) {
        call.types.push_back(params->rgvarg[i].vt);
        call.args.emplace_back();
        copyIn(call.args.back(), params->rgvarg[i]);
    }
    call.named.assign(params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
    calls.push_back(call);

    switch (id) {
    case kGive:
        if (result_) VariantCopy(result_, &result);
        return S_OK;
    case kFill: {
        size_t k = 0;
        for (UINT i = params->cArgs; i-- > 0;) {
            VARIANT &a = params->rgvarg[i];
            if (a.vt != (VT_BYREF | VT_VARIANT) || k >= fills.size()) continue;
            VariantClear(a.pvarVal);
            VariantCopy(a.pvarVal, &fills[k++]);
        }
        return S_OK;
    }
    case kValue:
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
            VariantClear(&value);
            return VariantCopyInd(&value, &params->rgvarg[0]);
        }
        if (result_) VariantCopy(result_, &value);
        return S_OK;
    case kQuiet: return result_ ? DISP_E_MEMBERNOTFOUND : S_OK;
    case kSelf:
        if (result_) {
            result_->vt = VT_DISPATCH;
            result_->pdispVal = this;
            AddRef();
        }
        return S_OK;
    default: return S_OK;  // Take
    }
}

namespace {

class Factory : public IClassFactory {
public:
    explicit Factory(TestObject *o) : object_(o) {}
    virtual ~Factory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return object_->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    TestObject *object_;
};

Factory *g_factory;

}  // namespace

TestClassRegistration::TestClassRegistration(TestObject *object) {
    wchar_t guid[64];
    StringFromGUID2(CLSID_SysmixTestObject, guid, 64);
    char clsid[64];
    WideCharToMultiByte(CP_ACP, 0, guid, -1, clsid, sizeof clsid, nullptr, nullptr);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, "Sysmix.TestObject\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(clsid), strlen(clsid) + 1);
    RegCloseKey(key);
    g_factory = new Factory(object);
    if (FAILED(CoRegisterClassObject(CLSID_SysmixTestObject, g_factory, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie_)))
        cookie_ = 0;
}

TestClassRegistration::~TestClassRegistration() {
    if (cookie_) CoRevokeClassObject(cookie_);
    delete g_factory;
    g_factory = nullptr;
}
