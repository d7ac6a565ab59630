#include "editmgr_server.h"

#include <gtest/gtest.h>

namespace th {

namespace {

// The reference count both stand-in objects keep.
template <class Derived, class Interface>
class Counted : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (!n) delete static_cast<Derived *>(this);
        return n;
    }

private:
    ULONG refs_ = 1;
};

}  // namespace

class EditMgrObject final : public Counted<EditMgrObject, IQvEditMgr2> {
public:
    explicit EditMgrObject(EditMgrServer *s) : s_(s) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IQvEditMgr) ||
            (s_->newer_ && IsEqualIID(iid, IID_IQvEditMgr2)))
            *out = this;
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Register(IDispatch *sink, BSTR name, long *id) override { return add(sink, name, -1, id); }
    HRESULT STDMETHODCALLTYPE Unregister(long id) override {
        s_->unregistrations.push_back(id);
        if (s_->sink) s_->sink->Release();
        s_->sink = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterProcess(IDispatch *sink, BSTR name, long process, long *id) override {
        return add(sink, name, process, id);
    }

private:
    HRESULT add(IDispatch *sink, BSTR name, long process, long *id) {
        s_->registrations.push_back({name ? name : L"", process, s_->id_});
        if (FAILED(s_->registerResult_)) return s_->registerResult_;
        if (s_->sink) s_->sink->Release();
        s_->sink = sink;
        sink->AddRef();
        *id = s_->id_;
        return S_OK;
    }
    EditMgrServer *s_;
};

namespace {

class Factory final : public Counted<Factory, IClassFactory> {
public:
    explicit Factory(EditMgrServer *s) : s_(s) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        ++s_->instances;
        EditMgrObject *o = new EditMgrObject(s_);
        HRESULT hr = o->QueryInterface(iid, out);
        o->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    EditMgrServer *s_;
};

}  // namespace

EditMgrServer::EditMgrServer(bool newer, long id, HRESULT registerResult)
    : newer_(newer), id_(id), registerResult_(registerResult) {
    factory_ = new Factory(this);
    HRESULT hr = CoRegisterClassObject(CLSID_QvEditMgr, factory_, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &cookie_);
    if (FAILED(hr)) ADD_FAILURE() << "CoRegisterClassObject: " << std::hex << hr;
}

EditMgrServer::~EditMgrServer() {
    if (cookie_) CoRevokeClassObject(cookie_);
    if (sink) sink->Release();
    factory_->Release();
}

IQvEditSink *EditMgrServer::primary() const {
    void *p = nullptr;
    if (!sink || FAILED(sink->QueryInterface(IID_IQvEditSink, &p))) return nullptr;
    static_cast<IUnknown *>(p)->Release();  // the server's reference keeps it
    return static_cast<IQvEditSink *>(p);
}

IQvEditSink2 *EditMgrServer::second() const {
    void *p = nullptr;
    if (!sink || FAILED(sink->QueryInterface(IID_IQvEditSink2, &p))) return nullptr;
    static_cast<IUnknown *>(p)->Release();
    return static_cast<IQvEditSink2 *>(p);
}

}  // namespace th
