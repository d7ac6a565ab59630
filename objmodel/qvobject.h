// The module side of QVCOM, shared by comscript and comgate: objects with
// numbered interfaces, class records with member tables, call frames
// (TParmList, TParm) and the errors they throw (QVException, XQVComError).
//
// Each interface is a sub-object whose first word is its operation table;
// the tables' entries forward to the object's virtual members, so a class
// overrides a member and every table that leads to it follows.
#pragma once

#include <cstdint>

#include "ownedstr.h"
#include "qvexception.h"
#include "qvscript.h"

class TBaseObj;

// An interface of an object: its table, then the object it belongs to.
struct QvSub : QvIntf {
    TBaseObj *obj;
};

// The five IQvObject operations of any interface sub-object: each table of
// a framework object begins with them.
QvWord QVSCB qv_subAddRef(const QvIntf *i);
QvWord QVSCB qv_subRelease(const QvIntf *i);
QvWord QVSCB qv_subQueryInterface(const QvIntf *i, QvWord iid, QvWord out);
QvWord QVSCB qv_subClassName(const QvIntf *i);
QvWord QVSCB qv_subOwner(const QvIntf *i);
#define QV_BASE_SLOTS                                                                                        \
    reinterpret_cast<void *>(qv_subAddRef), reinterpret_cast<void *>(qv_subRelease),                         \
        reinterpret_cast<void *>(qv_subQueryInterface), reinterpret_cast<void *>(qv_subClassName),           \
        reinterpret_cast<void *>(qv_subOwner)

// A failure of the object runtime, with the runtime's code.
class XQVComError : public QVException {
public:
    XQVComError(QvWord owner, int code) : QVException("QVCom exception"), owner(owner), code(code) {}
    QvWord owner;
    int code;
};

// Runs an entry the runtime or the host calls: no exception leaves it.
template <typename F>
QvWord qv_guarded(F body) {
    try {
        return body();
    } catch (const XQVComError &e) {
        return e.code;
    } catch (const QVException &) {
        return kQvException;
    } catch (const std::bad_alloc &) {
        return kQvNoMemory;
    } catch (...) {
        return kQvException;
    }
}

// Holds one reference to a QVCOM interface for a scope.
class QvHold {
public:
    explicit QvHold(QvIntf *i) : i_(i) {
        if (i_) qv_call(i_, kQvAddRef);
    }
    ~QvHold() {
        if (i_) qv_call(i_, kQvRelease);
    }
    QvHold(const QvHold &) = delete;
    QvHold &operator=(const QvHold &) = delete;

private:
    QvIntf *i_;
};

class TBaseObj {
public:
    explicit TBaseObj(QvIntf *owner);
    virtual ~TBaseObj();
    TBaseObj(const TBaseObj &) = delete;
    TBaseObj &operator=(const TBaseObj &) = delete;

    // IQvObject.
    virtual QvWord AddRef();
    virtual QvWord Release();
    // The interface with that number, AddRef'd; null when not offered.
    QvIntf *QueryInterface(int iid);
    const char *ClassName() const { return classRecord()->name; }
    QvIntf *Owner() const { return owner_; }

    // IQvLifecycle.
    virtual QvWord Close() { return 0; }
    virtual QvWord Init(QvWord first, QvWord second, QvWord zero) { return 0; }

    virtual const QvClassRecord *classRecord() const = 0;

    QvIntf *mainIntf() { return &main_; }
    QvIntf *lifecycleIntf() { return &life_; }
    QvIntf *runtime() const { return runtime_; }
    void setRuntime(QvIntf *link) { runtime_ = link; }
    const OwnedStr &name() const { return name_; }
    void setName(const char *text) { name_.Assign(text); }
    bool registered() const { return registered_; }
    void setRegistered(bool on) { registered_ = on; }
    QvIntf *held() const { return held_; }
    void setHeld(QvIntf *intf);
    int refs() const { return refs_; }
    // The owner's version (slot 0).
    int ownerVersion() const;
    // The interface the runtime's generic forwards are given.
    virtual QvIntf *dispatchIntf() { return &main_; }

protected:
    // The interface with that number, not AddRef'd; derived classes answer
    // theirs first and then ask their base.
    virtual QvIntf *findInterface(int iid);
    // The object's own ordinary release: Close on the last reference, then
    // destruction.
    QvWord releaseOwn();
    int refs_ = 0;

private:
    QvSub main_;
    QvIntf *runtime_ = nullptr;
    QvSub life_;
    bool registered_ = false;
    QvIntf *held_ = nullptr;
    OwnedStr name_;
    QvIntf *owner_;
};

// Root of the classes scripts see: member calls by name and dispid, by
// default delegated to the runtime.
class TDispStub : public TBaseObj {
public:
    explicit TDispStub(QvIntf *owner);

    // IQvDispatch slot 5: a host code (0 success, 4 dispid not handled).
    virtual QvWord Invoke(int dispid, int flags, QvIntf *parms, QvWord word);
    // IQvDispatch slot 6: 0 when the member exists.
    virtual QvWord GetMemberId(const char *name, int *id);
    virtual QvWord Member7(QvWord a, QvWord b);
    virtual QvWord Member8(QvWord a, QvWord b);
    virtual QvWord Member9(QvWord a, QvWord b);
    // Slot 5 of the second call interface.
    virtual QvWord Call2(QvWord id, QvWord flags, QvWord parms, QvWord kind) { return kQvDispidUnknown; }
    // Dispatch extension slots 5 and 6.
    QvWord Extension(int slot, QvWord a, QvWord b, QvWord c, QvWord d);

    QvIntf *dispatchIntf() override { return &disp_; }
    bool passObject() const { return passObject_; }
    void setPassObject(bool on) { passObject_ = on; }

protected:
    QvIntf *findInterface(int iid) override;

private:
    QvWord selfOrNull() { return passObject_ ? qv_word(mainIntf()) : 0; }

    QvSub disp_;
    QvSub call2_;
    QvSub ext_;
    bool passObject_ = false;
};

// A module object: its reference count is kept by the runtime.
class TModuleObj : public TDispStub {
public:
    explicit TModuleObj(QvIntf *owner);

    QvWord AddRef() override;
    QvWord Release() override;
    QvIntf *moduleIntf() { return &module_; }
    // Module interface slots 5, 6 and 7.
    virtual QvWord ModuleSlot(int slot) { return 0; }
    // The object behind a module interface of this framework; null for any
    // other interface.
    static TModuleObj *fromModuleIntf(QvIntf *intf);

protected:
    QvIntf *findInterface(int iid) override;

private:
    QvSub module_;
};

// The class records of the framework's own classes.
const QvClassRecord *QVSCB TDispStub_class();
const QvClassRecord *QVSCB TModuleObj_class();

// A call frame entry: entry 0 is the result, entry i + 1 argument i.
class TParm {
public:
    TParm(const QvIntf *parms, QvWord context, int index) : p_(parms), ctx_(context), index_(index) {}

    void SetInt(int32_t v) const;
    void SetBool(bool b) const;
    // The entry takes its own reference; the caller keeps its own.
    void SetObject(QvIntf *o) const;
    void SetString(const char *text) const;
    int GetType() const;
    const char *GetString() const;
    // 0 on success; a runtime failure throws XQVComError; 13 without a list.
    int ReadAs(int type, QvWord *out) const;
    bool GetBool() const;
    QvIntf *GetObject() const;

private:
    const QvIntf *p_;
    QvWord ctx_;
    int index_;
};

class TParmList {
public:
    TParmList() = default;
    // A list the runtime handed in; the holder keeps a reference to it.
    TParmList(QvIntf *parms, QvWord context);
    ~TParmList() { drop(); }
    TParmList(const TParmList &) = delete;
    TParmList &operator=(const TParmList &) = delete;

    // A new list of n entries from the runtime link.
    void Make(QvIntf *runtime, int n, int flag, QvWord context);
    TParm Arg(int i) const { return TParm(p_, ctx_, i + 1); }
    TParm Result() const { return TParm(p_, ctx_, 0); }
    QvIntf *intf() const { return p_; }

private:
    void drop();

    QvIntf *p_ = nullptr;
    QvWord ctx_ = 0;
};
