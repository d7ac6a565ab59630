#include "module.h"

#include <algorithm>

namespace {

const QvMemberEntry kMembers[] = {
    {"TComscript", 0, kQvtClass, nullptr, kQvCreatable, 0, {}},
    {nullptr, -1, 0, nullptr, 0, 0, {}},
};
const QvMemberEntry *QVSCB members() { return kMembers; }

// Second call interface: kind 2, id 1 is the runtime asking for a purge.
constexpr QvWord kPurgeKind = 2, kPurgeId = 1;

void QVSCB dropped(void *context, QvIntf *object) { static_cast<TComscriptModule *>(context)->Purge(object); }

}  // namespace

const QvClassRecord *QVSCB TComscriptModule_class() {
    static const QvClassRecord rec{TModuleObj_class, members, "TComscriptModule", 0};
    return &rec;
}

TComscriptModule::TComscriptModule(QvIntf *owner) : TModuleObj(owner) {}

const QvClassRecord *TComscriptModule::classRecord() const { return TComscriptModule_class(); }

TComscriptModule *TComscriptModule::of(QvIntf *moduleIntf) {
    return dynamic_cast<TComscriptModule *>(TModuleObj::fromModuleIntf(moduleIntf));
}

QvWord TComscriptModule::Init(QvWord name, QvWord, QvWord) {
    if (ownerVersion() > 4) qv_call(Owner(), kOwnAddDropHook, dropped, this);
    setName(qv_ptr<const char>(name));
    return 0;
}

QvWord TComscriptModule::Close() {
    if (ownerVersion() >= kOwnVersionDropHooks) qv_call(Owner(), kOwnRemoveDropHook, dropped, this);
    return 0;
}

QvWord TComscriptModule::ModuleSlot(int slot) {
    switch (slot) {
    case 5: return ++users_;
    case 6: return --users_;
    default: return users_;
    }
}

QvWord TComscriptModule::Call2(QvWord id, QvWord flags, QvWord, QvWord kind) {
    if (kind != kPurgeKind || id != kPurgeId) return kQvDispidUnknown;
    if (!(flags & 6)) return 3;
    Purge(nullptr);
    return 0;
}

void TComscriptModule::Lock(QvIntf *object) {
    for (LockEntry &e : locks_)
        if (e.object == object) {
            ++e.count;
            return;
        }
    qv_call(object, kQvAddRef);
    locks_.push_back({object, 1, 0});
}

void TComscriptModule::UnLock(QvIntf *object) {
    for (LockEntry &e : locks_)
        if (e.object == object) {
            --e.count;
            if (ownerVersion() >= kOwnVersionDropHooks) e.stamp = static_cast<int>(qv_call(Owner(), kOwnStamp));
            return;
        }
}

void TComscriptModule::Purge(QvIntf *object) {
    // A released object may hold the last reference to this module.
    AddRef();
    for (size_t i = 0; i < locks_.size(); ++i)
        if (locks_[i].count == 0 && locks_[i].object) {
            QvIntf *o = locks_[i].object;
            locks_[i].object = nullptr;
            qv_call(o, kQvRelease);
        }
    locks_.erase(std::remove_if(locks_.begin(), locks_.end(), [&](const LockEntry &e) { return e.object == object; }),
                 locks_.end());
    Release();
}

void TComscriptModule::DropLocks() {
    AddRef();
    for (size_t i = 0; i < locks_.size(); ++i)
        if (QvIntf *o = locks_[i].object) {
            locks_[i].object = nullptr;
            qv_call(o, kQvRelease);
        }
    Release();
}
