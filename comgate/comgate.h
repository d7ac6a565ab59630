// TComgateServer: the script class that creates COM automation objects, and
// the service (IComgateService) through which the runtime and comgate's own
// wrappers and proxies wrap, unwrap and convert values and report errors.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "locklist.h"
#include "qvobject.h"

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

    // The caches: items are linked through their own LockNode.
    LockList &wrappers() { return wrappers_; }
    LockList &proxies() { return proxies_; }

protected:
    QvIntf *findInterface(int iid) override;

private:
    QvWord wrap(IUnknown *unk, bool dispatch, QvIntf **out);

    QvSub service_;
    LockList wrappers_;
    LockList proxies_;
};

const QvClassRecord *QVSCB TComgateServer_class();
