#include "qvobject.h"

namespace {

TBaseObj *of(const QvIntf *i) { return static_cast<const QvSub *>(i)->obj; }
template <typename T>
T *as(const QvIntf *i) { return static_cast<T *>(of(i)); }

}  // namespace

QvWord QVSCB qv_subAddRef(const QvIntf *i) { return of(i)->AddRef(); }
QvWord QVSCB qv_subRelease(const QvIntf *i) { return of(i)->Release(); }
QvWord QVSCB qv_subQueryInterface(const QvIntf *i, QvWord iid, QvWord out) {
    QvIntf *found = of(i)->QueryInterface(static_cast<int>(iid));
    if (out) *qv_ptr<QvIntf *>(out) = found;
    return found != nullptr;
}
QvWord QVSCB qv_subClassName(const QvIntf *i) { return qv_word(of(i)->ClassName()); }
QvWord QVSCB qv_subOwner(const QvIntf *i) { return qv_word(of(i)->Owner()); }

namespace {

// Main interface.
QvWord QVSCB mainFalse(const QvIntf *) { return 0; }
QvWord QVSCB mainSelf(const QvIntf *, QvWord arg) { return arg; }
QvWord QVSCB mainGetRuntime(const QvIntf *i) { return qv_word(of(i)->runtime()); }
QvWord QVSCB mainSetRuntime(const QvIntf *i, QvWord link) {
    of(i)->setRuntime(qv_ptr<QvIntf>(link));
    return 0;
}
QvWord QVSCB mainName(const QvIntf *i) { return qv_word(of(i)->name().str()); }
QvWord QVSCB mainZero(const QvIntf *) { return 0; }
QvWord QVSCB mainSlot19(const QvIntf *i, QvWord a, QvWord b, QvWord c, QvWord d) {
    TBaseObj *o = of(i);
    return qv_call(o->runtime(), kRtForward19, o->dispatchIntf(), a, b, c, d, o->mainIntf());
}
QvWord QVSCB mainSetRegistered(const QvIntf *i, QvWord flag) {
    of(i)->setRegistered(flag != 0);
    return 0;
}
QvWord QVSCB mainGetHeld(const QvIntf *i) { return qv_word(of(i)->held()); }
QvWord QVSCB mainSetHeld(const QvIntf *i, QvWord intf) {
    of(i)->setHeld(qv_ptr<QvIntf>(intf));
    return 0;
}
QvWord QVSCB mainSlot76(const QvIntf *i, QvWord a, QvWord b, QvWord c, QvWord d, QvWord e) {
    TBaseObj *o = of(i);
    return qv_call(o->runtime(), kRtForward76, o->dispatchIntf(), a, b, c, d, e,
                   o->mainIntf());
}
// Flag bit 0 frees the block as well; without it the object is destroyed
// in place and its memory stays with the caller.
QvWord QVSCB mainDelete(const QvIntf *i, QvWord flag) {
    TBaseObj *o = of(i);
    if (flag & 1)
        delete o;
    else
        o->~TBaseObj();
    return 0;
}
QvWord QVSCB mainClassRecord(const QvIntf *i) { return qv_word(of(i)->classRecord()); }

void *const kMainTable[] = {
    QV_BASE_SLOTS,
    reinterpret_cast<void *>(mainFalse),        reinterpret_cast<void *>(mainSelf),
    reinterpret_cast<void *>(mainGetRuntime),   reinterpret_cast<void *>(mainSetRuntime),
    reinterpret_cast<void *>(mainName),         reinterpret_cast<void *>(mainZero),
    reinterpret_cast<void *>(mainSlot19),       reinterpret_cast<void *>(mainSetRegistered),
    reinterpret_cast<void *>(mainGetHeld),      reinterpret_cast<void *>(mainSetHeld),
    reinterpret_cast<void *>(mainSlot76),       reinterpret_cast<void *>(mainDelete),
    reinterpret_cast<void *>(mainClassRecord),
};
static_assert(sizeof kMainTable / sizeof kMainTable[0] == 18, "main interface: 18 slots");

// IQvLifecycle.
QvWord QVSCB lifeClose(const QvIntf *i) {
    return qv_guarded([&] { return of(i)->Close(); });
}
QvWord QVSCB lifeInit(const QvIntf *i, QvWord a, QvWord b, QvWord c) {
    return qv_guarded([&] { return of(i)->Init(a, b, c); });
}
void *const kLifeTable[] = {QV_BASE_SLOTS, reinterpret_cast<void *>(lifeClose), reinterpret_cast<void *>(lifeInit)};

// IQvDispatch.
QvWord QVSCB dispInvoke(const QvIntf *i, QvWord dispid, QvWord flags, QvWord parms, QvWord word) {
    return qv_guarded([&] {
        return as<TDispStub>(i)->Invoke(static_cast<int>(dispid), static_cast<int>(flags), qv_ptr<QvIntf>(parms),
                                        word);
    });
}
QvWord QVSCB dispMemberId(const QvIntf *i, QvWord name, QvWord id) {
    return qv_guarded([&] { return as<TDispStub>(i)->GetMemberId(qv_ptr<const char>(name), qv_ptr<int>(id)); });
}
QvWord QVSCB disp7(const QvIntf *i, QvWord a, QvWord b) {
    return qv_guarded([&] { return as<TDispStub>(i)->Member7(a, b); });
}
QvWord QVSCB disp8(const QvIntf *i, QvWord a, QvWord b) {
    return qv_guarded([&] { return as<TDispStub>(i)->Member8(a, b); });
}
QvWord QVSCB disp9(const QvIntf *i, QvWord a, QvWord b) {
    return qv_guarded([&] { return as<TDispStub>(i)->Member9(a, b); });
}
void *const kDispTable[] = {QV_BASE_SLOTS, reinterpret_cast<void *>(dispInvoke),
                            reinterpret_cast<void *>(dispMemberId), reinterpret_cast<void *>(disp7),
                            reinterpret_cast<void *>(disp8), reinterpret_cast<void *>(disp9)};

// The second call interface.
QvWord QVSCB call2Slot5(const QvIntf *i, QvWord id, QvWord flags, QvWord parms, QvWord kind) {
    return qv_guarded([&] { return as<TDispStub>(i)->Call2(id, flags, parms, kind); });
}
void *const kCall2Table[] = {QV_BASE_SLOTS, reinterpret_cast<void *>(call2Slot5)};

// The dispatch extension.
QvWord QVSCB ext5(const QvIntf *i, QvWord a, QvWord b, QvWord c, QvWord d) {
    return as<TDispStub>(i)->Extension(5, a, b, c, d);
}
QvWord QVSCB ext6(const QvIntf *i, QvWord a, QvWord b, QvWord c, QvWord d) {
    return as<TDispStub>(i)->Extension(6, a, b, c, d);
}
void *const kExtTable[] = {QV_BASE_SLOTS, reinterpret_cast<void *>(ext5), reinterpret_cast<void *>(ext6)};

// The module interface.
QvWord QVSCB module5(const QvIntf *i) { return as<TModuleObj>(i)->ModuleSlot(5); }
QvWord QVSCB module6(const QvIntf *i) { return as<TModuleObj>(i)->ModuleSlot(6); }
QvWord QVSCB module7(const QvIntf *i) { return as<TModuleObj>(i)->ModuleSlot(7); }
void *const kModuleTable[] = {QV_BASE_SLOTS, reinterpret_cast<void *>(module5), reinterpret_cast<void *>(module6),
                              reinterpret_cast<void *>(module7)};

void bind(QvSub &sub, void *const *table, TBaseObj *obj) {
    sub.fn = table;
    sub.obj = obj;
}

const QvMemberEntry kNoMembers[] = {{nullptr, -1, 0, nullptr, 0, 0, {}}};
const QvMemberEntry *QVSCB noMembers() { return kNoMembers; }

}  // namespace

// --- TBaseObj ---------------------------------------------------------------

TBaseObj::TBaseObj(QvIntf *owner) : owner_(owner) {
    bind(main_, kMainTable, this);
    bind(life_, kLifeTable, this);
    runtime_ = owner ? qv_ptr<QvIntf>(qv_call(owner, kOwnRuntime)) : nullptr;
}

TBaseObj::~TBaseObj() {
    if (registered_ && runtime_) qv_call(runtime_, kRtUnregister, mainIntf());
    setHeld(nullptr);
}

QvWord TBaseObj::AddRef() { return ++refs_; }

QvWord TBaseObj::Release() { return releaseOwn(); }

QvWord TBaseObj::releaseOwn() {
    int n = --refs_;
    if (n == 0) {
        // Close sees the object still referenced once.
        refs_ = 1;
        Close();
        delete this;
    }
    return n;
}

QvIntf *TBaseObj::QueryInterface(int iid) {
    QvIntf *found = findInterface(iid);
    if (found) AddRef();
    return found;
}

QvIntf *TBaseObj::findInterface(int iid) {
    switch (iid) {
    case kQvIidMain1: case kQvIidMain2: case kQvIidMain4: case kQvIidMain24: return &main_;
    case kQvIidLifecycle: return &life_;
    default: return nullptr;
    }
}

void TBaseObj::setHeld(QvIntf *intf) {
    if (intf) qv_call(intf, kQvAddRef);
    if (held_) qv_call(held_, kQvRelease);
    held_ = intf;
}

int TBaseObj::ownerVersion() const { return owner_ ? static_cast<int>(qv_call(owner_, kOwnVersion)) : 0; }

// --- TDispStub --------------------------------------------------------------

TDispStub::TDispStub(QvIntf *owner) : TBaseObj(owner) {
    bind(disp_, kDispTable, this);
    bind(call2_, kCall2Table, this);
    bind(ext_, kExtTable, this);
}

QvIntf *TDispStub::findInterface(int iid) {
    switch (iid) {
    case kQvIidDispatch6: case kQvIidDispatch17: return &disp_;
    case kQvIidDispatchExt: return &ext_;
    default: return TBaseObj::findInterface(iid);
    }
}

QvWord TDispStub::Invoke(int dispid, int flags, QvIntf *parms, QvWord word) {
    if (flags & kQvExtended) {
        if (ownerVersion() > kOwnVersionExtended)
            return qv_call(runtime(), kRtInvokeNew, mainIntf(), dispid, flags, parms, word);
        return qv_call(runtime(), kRtInvokeOld, mainIntf(), dispid, parms, word);
    }
    QvWord self = passObject_ || word ? qv_word(mainIntf()) : 0;
    return qv_call(runtime(), kRtInvoke, self, dispid, flags, parms, word, &call2_);
}

QvWord TDispStub::GetMemberId(const char *name, int *id) {
    return qv_call(runtime(), kRtGetMemberId, selfOrNull(), classRecord(), name, id);
}

QvWord TDispStub::Member7(QvWord a, QvWord b) { return qv_call(runtime(), kRtMember7, a, b); }

QvWord TDispStub::Member8(QvWord a, QvWord b) {
    return qv_call(runtime(), kRtMember8, selfOrNull(), classRecord(), a, b);
}

QvWord TDispStub::Member9(QvWord a, QvWord b) { return qv_call(runtime(), kRtMember9, mainIntf(), a, b); }

QvWord TDispStub::Extension(int slot, QvWord a, QvWord b, QvWord c, QvWord d) {
    if (ownerVersion() < kOwnVersionExtended) return 3;
    return qv_call(runtime(), slot == 5 ? kRtExt5 : kRtExt6, a, b, c, d);
}

// --- TModuleObj -------------------------------------------------------------

TModuleObj::TModuleObj(QvIntf *owner) : TDispStub(owner) { bind(module_, kModuleTable, this); }

QvIntf *TModuleObj::findInterface(int iid) {
    return iid == kQvIidModule ? &module_ : TDispStub::findInterface(iid);
}

TModuleObj *TModuleObj::fromModuleIntf(QvIntf *intf) {
    return intf && intf->fn == kModuleTable ? static_cast<TModuleObj *>(of(intf)) : nullptr;
}

QvWord TModuleObj::AddRef() { return qv_call(Owner(), kOwnModuleAddRef, &refs_); }

QvWord TModuleObj::Release() {
    QvWord answer = registered() ? qv_call(runtime(), kRtModuleRelease, mainIntf(), &refs_)
                                 : qv_call(Owner(), kOwnModuleRelease, &refs_);
    if (answer != 0) return answer;
    if (registered()) setRegistered(false);
    // The runtime brought the count to 0: the object closes and goes.
    ++refs_;
    return releaseOwn();
}

// --- class records ----------------------------------------------------------

const QvClassRecord *QVSCB TDispStub_class() {
    static const QvClassRecord rec{nullptr, noMembers, "TDispStub", 0};
    return &rec;
}

const QvClassRecord *QVSCB TModuleObj_class() {
    static const QvClassRecord rec{TDispStub_class, noMembers, "TModuleObj", 0};
    return &rec;
}

// --- call frames ------------------------------------------------------------

void TParm::SetInt(int32_t v) const {
    if (p_) qv_call(p_, kPmSet, ctx_, index_, kQvtInt, &v);
}

void TParm::SetBool(bool b) const {
    uint8_t v = b ? 1 : 0;
    if (p_) qv_call(p_, kPmSet, ctx_, index_, kQvtBool, &v);
}

void TParm::SetObject(QvIntf *o) const {
    if (p_) qv_call(p_, kPmSet, ctx_, index_, kQvtObject, &o);
}

void TParm::SetString(const char *text) const {
    if (p_) qv_call(p_, kPmSetText, ctx_, index_, text ? text : "");
}

int TParm::GetType() const { return p_ ? static_cast<int>(qv_call(p_, kPmType, ctx_, index_)) : 0; }

const char *TParm::GetString() const {
    const char *s = p_ ? qv_ptr<const char>(qv_call(p_, kPmText, ctx_, index_)) : nullptr;
    return s ? s : "";
}

int TParm::ReadAs(int type, QvWord *out) const {
    if (!p_) return kQvTypeMismatch;
    QvWord answer = qv_call(p_, kPmReadAs, ctx_, index_, type, out, 0);
    if (answer != 0) throw XQVComError(qv_call(p_, kQvOwner), static_cast<int>(answer));
    return 0;
}

bool TParm::GetBool() const {
    QvWord v = 0;
    ReadAs(kQvtBool, &v);
    return v != 0;
}

QvIntf *TParm::GetObject() const {
    if (!p_) return nullptr;
    const QvValue *v = qv_ptr<const QvValue>(qv_call(p_, kPmValue, ctx_, index_));
    if (!v) return nullptr;
    if (v->code() == kQvtObject || v->code() == kQvtObject16) return qv_ptr<QvIntf>(v->value);
    if (v->code() == kQvtNone || (v->code() == kQvtInt && static_cast<int32_t>(v->value) == 0)) return nullptr;
    throw XQVComError(qv_call(p_, kQvOwner), kQvTypeMismatch);
}

TParmList::TParmList(QvIntf *parms, QvWord context) : p_(parms), ctx_(context) {
    if (p_) qv_call(p_, kQvAddRef);
}

void TParmList::Make(QvIntf *runtime, int n, int flag, QvWord context) {
    drop();
    ctx_ = context;
    p_ = qv_ptr<QvIntf>(qv_call(runtime, kRtNewParms, n, flag, context));
}

void TParmList::drop() {
    if (p_) qv_call(p_, kQvRelease);
    p_ = nullptr;
}
