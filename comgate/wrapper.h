// Script objects for COM objects: TComWraper calls an IDispatch late-bound
// and delivers its events to the script's handlers; TComWraperUnknown only
// carries an IUnknown back to COM. TCOMObj is the other way round: an
// IDispatch over a script object for COM clients.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "locklist.h"
#include "qvobject.h"

class TComgateServer;
class ComEventSink;

// What a cache holds: the link and the object it belongs to.
struct CgCacheLink {
    LockNode node;
    void *item;
};

// Slots of the wrapper interface (number 101) after the base five.
enum : int { kWrGetInterface = 5, kWrAttach, kWrService, kWrIsUnknown };

class TComWrapBase : public TDispStub {
public:
    explicit TComWrapBase(QvIntf *owner);
    ~TComWrapBase() override;

    // Holds the interface (adding a reference when asked) and the service,
    // and enters the wrapper in the service's cache.
    void Attach(IUnknown *unk, bool addRef, QvIntf *service);
    IUnknown *wrapped() const { return unk_; }
    QvIntf *service() const { return service_; }
    TComgateServer *server() const;
    virtual bool isUnknown() const = 0;
    QvIntf *wrapperIntf() { return &wrap_; }
    static TComWrapBase *fromWrapperIntf(const QvIntf *intf);
    CgCacheLink &cacheLink() { return link_; }

protected:
    QvIntf *findInterface(int iid) override;

private:
    QvSub wrap_;
    IUnknown *unk_ = nullptr;
    QvIntf *service_ = nullptr;
    CgCacheLink link_{};
};

class TComWraperUnknown : public TComWrapBase {
public:
    using TComWrapBase::TComWrapBase;
    const QvClassRecord *classRecord() const override;
    bool isUnknown() const override { return true; }
};

struct CgMember {
    std::string name;
    MEMBERID id;
};

class TComWraper : public TComWrapBase {
public:
    explicit TComWraper(QvIntf *owner);
    ~TComWraper() override;

    const QvClassRecord *classRecord() const override;
    bool isUnknown() const override { return false; }
    QvWord Invoke(int dispid, int flags, QvIntf *parms, QvWord word) override;
    QvWord GetMemberId(const char *name, int *id) override;
    // Slot 7 with kQvClassInfoQuery: the class information of reflection.
    QvWord Member7(QvWord query, QvWord out) override;

    IDispatch *dispatch() const { return static_cast<IDispatch *>(wrapped()); }
    HRESULT Advise();
    HRESULT Unadvise();
    bool connected() const { return cookie_ != 0; }
    void loadTypeInfo();
    // "ActiveX\" and the type's name; "ActiveX" without class information.
    std::string className();
    const std::vector<CgMember> &properties() { return loadedProps(); }
    const std::vector<CgMember> &methods() {
        loadTypeInfo();
        return methods_;
    }
    const std::vector<CgMember> &events() {
        loadTypeInfo();
        return events_;
    }
    // Reflection: properties, methods and events as the mask admits them.
    int memberCount(int mask);
    // The runtime's member-at and find records; false when there is none.
    bool memberAt(int index, int mask, QvMemberAt *out);
    bool findMember(const char *name, QvMemberFound *out);
    // An event member's id by name (any letter case); false when absent.
    bool eventId(const std::string &name, MEMBERID *id);
    // An event from the source: the script handler runs it.
    HRESULT FireEvent(DISPID id, DISPPARAMS *dp, VARIANT *result, EXCEPINFO *info, UINT *argErr);
    const IID &sourceIid() const { return source_; }

private:
    const std::vector<CgMember> &loadedProps() {
        loadTypeInfo();
        return props_;
    }
    // The member at an index as the mask admits them, with its kind.
    const CgMember *member(int index, int mask, int *kind);
    void collect(ITypeInfo *coclass);
    void collectInterface(ITypeInfo *ti, bool source);

    std::vector<CgMember> props_, methods_, events_;
    std::string className_;
    bool loaded_ = false;
    ComEventSink *sink_ = nullptr;
    IID source_ = GUID_NULL;
    DWORD cookie_ = 0;
};

const QvClassRecord *QVSCB TComWraper_class();
const QvClassRecord *QVSCB TComWraperUnknown_class();

// The private interface of comgate's proxies.
extern const IID IID_ICgProxy;
struct ICgProxy : IUnknown {
    virtual QvIntf *STDMETHODCALLTYPE ScriptObject() = 0;
    virtual HRESULT STDMETHODCALLTYPE Attach(QvIntf *object, BOOL addRef, QvIntf *service) = 0;
    virtual QvIntf *STDMETHODCALLTYPE Service() = 0;
};

// A new proxy for a script object, as IDispatch; E_OUTOFMEMORY when it
// cannot be made.
HRESULT cg_makeProxy(TComgateServer &svc, QvIntf *object, IDispatch **out);
