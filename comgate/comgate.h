// TComgateServer: the script class that creates COM automation objects, and
// the service (IComgateService) through which the runtime and comgate's own
// wrappers and proxies wrap, unwrap and convert values and report errors.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>

#include "locklist.h"
#include "qvobject.h"

// Runs an entry that COM or the runtime calls: no C++ exception leaves it.
// Conversions and texts allocate; running out answers E_OUTOFMEMORY.
template <typename F>
HRESULT cg_guarded(F body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
// The same for an entry whose failure is a word of its own.
template <typename F>
QvWord cg_guardedWord(QvWord failure, F body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

// The module's lock count: every server and every proxy holds one.
void comgate_lock();
void comgate_unlock();
long comgate_locks();

// Slots of IComgateService after the base five.
enum : int {
    kCgCallThrough = 5, kCgWrapDispatch, kCgWrapperAdd, kCgWrapperRemove, kCgProxyAdd, kCgProxyRemove,
    kCgCreateObject, kCgDispParamsToArgs, kCgStoreByRef, kCgValueToVariant, kCgArgsToDispParams,
    kCgWriteBack, kCgStoreResult, kCgReleaseParams, kCgReportError, kCgDispParamsToArgsEx,
    kCgStoreByRefEx, kCgVariantToValue, kCgWrapUnknown, kCgErrorsToExcepInfo, kCgUnwrap,
    kCgVariantToValueEx, kCgServiceSlots,
};

class TComgateServer : public TDispStub {
public:
    explicit TComgateServer(QvIntf *owner);
    ~TComgateServer() override;

    const QvClassRecord *classRecord() const override;
    QvWord Init(QvWord name, QvWord second, QvWord zero) override;
    QvWord Invoke(int dispid, int flags, QvIntf *parms, QvWord word) override;

    QvIntf *serviceIntf() { return &service_; }
    // The server behind a service interface of this module; null otherwise.
    static TComgateServer *fromService(const QvIntf *service);

    // 0 and a script object (AddRef'd), or -1.
    QvWord WrapDispatch(IDispatch *disp, QvIntf **out);
    QvWord WrapUnknown(IUnknown *unk, QvIntf **out);
    // The COM interface for a script object: 0, or an HRESULT failure.
    HRESULT UnwrapToDispatch(QvIntf *object, IUnknown **out, bool *asUnknown);
    HRESULT ComCreateObject(const char *name, bool useRunning, IDispatch **out);
    // 0 for a success, else 1 after adding the error to the runtime's list.
    QvWord ComReportError(HRESULT hr, EXCEPINFO *info);
    HRESULT ComErrorsToExcepInfo(int code, const char *source, EXCEPINFO *info);

    // The wrapper cache: wrappers are linked through their own LockNode.
    LockList &wrappers() { return wrappers_; }
    // The proxy cache: entries of the service's own for the proxies given.
    bool AddProxy(IUnknown *proxy);
    void RemoveProxy(IUnknown *proxy);
    int proxyCount() { return LockListCount(&proxies_); }

protected:
    QvIntf *findInterface(int iid) override;

private:
    QvWord wrap(IUnknown *unk, bool dispatch, QvIntf **out);

    QvSub service_;
    LockList wrappers_;
    LockList proxies_;
};

const QvClassRecord *QVSCB TComgateServer_class();
