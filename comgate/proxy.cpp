// TCOMObj: an IDispatch over a script object, for COM clients.
#include <new>

#include "com_object.h"

#include "comgate.h"
#include "convert.h"
#include "typeinfo.h"
#include "wrapper.h"

// {8CDA4B1D-6F7D-4092-9124-46E3D84A1062}
const IID IID_ICgProxy = {0x8CDA4B1D, 0x6F7D, 0x4092, {0x91, 0x24, 0x46, 0xE3, 0xD8, 0x4A, 0x10, 0x62}};

namespace {

class TCOMObj : public IDispatch, public ICgProxy {
public:
    TCOMObj() { comgate_lock(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) return com_handOut(static_cast<IDispatch *>(this), out);
        if (riid == IID_ICgProxy) return com_handOut(static_cast<ICgProxy *>(this), out);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = refs_.drop();
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override {
        if (!n) return E_POINTER;
        *n = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!typeInfo_ && FAILED(cg_makeTypeInfo(object_, &typeInfo_))) return E_INVALIDARG;
        typeInfo_->AddRef();
        *out = typeInfo_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override {
        return cg_memberIds(object_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *dp, VARIANT *result,
                                     EXCEPINFO *info, UINT *argErr) override {
        TComgateServer *s = TComgateServer::fromService(service_);
        if (!s || !object_) return E_UNEXPECTED;
        QvIntf *list = nullptr;
        HRESULT hr = cg_dispParamsToArgs(*s, dp, argErr, 0, 0, 0, &list);
        if (FAILED(hr)) return hr;
        // The script object may drop the caller's last reference to this
        // proxy while it runs.
        AddRef();
        QvWord code = qv_call(object_, kQvInvoke, id, flags & 0xFFFF, list, 0);
        if (code != 0) {
            hr = info ? s->ComErrorsToExcepInfo(static_cast<int>(code), "TCOMObj::Invoke", info) : E_FAIL;
        } else {
            if (result) hr = cg_valueToVariant(*s, CgEntry{list, 0, 0}, result);
            if (SUCCEEDED(hr) && dp) cg_storeByRefArgs(*s, dp, list, 0);
        }
        qv_call(list, kQvRelease);
        Release();
        return hr;
    }

    QvIntf *STDMETHODCALLTYPE ScriptObject() override { return object_; }
    HRESULT STDMETHODCALLTYPE Attach(QvIntf *object, BOOL addRef, QvIntf *service) override {
        if (object && addRef) qv_call(object, kQvAddRef);
        if (object_) qv_call(object_, kQvRelease);
        object_ = object;
        IUnknown *self = static_cast<IDispatch *>(this);
        if (service) qv_call(service, kQvAddRef);
        if (service_) {
            qv_call(service_, kCgProxyRemove, self);
            qv_call(service_, kQvRelease);
        }
        if (service) qv_call(service, kCgProxyAdd, self);
        service_ = service;
        return S_OK;
    }
    QvIntf *STDMETHODCALLTYPE Service() override {
        if (service_) qv_call(service_, kQvAddRef);
        return service_;
    }

private:
    virtual ~TCOMObj() {
        if (service_) {
            qv_call(service_, kCgProxyRemove, static_cast<IDispatch *>(this));
            qv_call(service_, kQvRelease);
        }
        if (typeInfo_) typeInfo_->Release();
        if (object_) qv_call(object_, kQvRelease);
        comgate_unlock();
    }

    ComRefCount refs_{0};
    QvIntf *object_ = nullptr;
    QvIntf *service_ = nullptr;
    ITypeInfo *typeInfo_ = nullptr;
};

}  // namespace

HRESULT cg_makeProxy(TComgateServer &svc, QvIntf *object, IDispatch **out) {
    *out = nullptr;
    TCOMObj *p = new (std::nothrow) TCOMObj;
    if (!p) return E_OUTOFMEMORY;
    p->AddRef();
    p->Attach(object, TRUE, svc.serviceIntf());
    HRESULT hr = p->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(out));
    p->Release();
    return hr;
}
