// comscript's host messages: the object-model codes that create its two
// classes, describe them, ask whether the module may go and drop its locks.
#include <cstring>

#include "comscript.h"
#include "module.h"
#include "zam_entry.h"

namespace {

const char kModuleClass[] = "QvComModule";

// Makes an object, initialises it and hands out the interface asked for;
// the caller's interface keeps the object alive.
QvWord make(TBaseObj *obj, QvObjRequest &r) {
    obj->AddRef();
    QvWord code = kQvNoInterface;
    if (QvIntf *life = obj->QueryInterface(kQvIidLifecycle)) {
        code = qv_call(life, kQvInit, r.arg1, r.arg2, 0);
        qv_call(life, kQvRelease);
    }
    if (code == 0) {
        QvIntf *out = obj->QueryInterface(static_cast<int>(r.iid));
        r.out = qv_word(out);
        if (!out) code = kQvNoInterface;
    }
    obj->Release();
    return code;
}

int create(const ZamRequest &req) {
    QvObjRequest *r = static_cast<QvObjRequest *>(req.record);
    if (!r) return kQvNoClass;
    return static_cast<int>(qv_guarded([&]() -> QvWord {
        r->out = 0;
        // Every object starts from its owner's runtime link.
        if (!r->owner) return kQvNoInterface;
        const char *name = r->className ? r->className : "";
        if (std::strcmp(name, kModuleClass) == 0) {
            if (r->arg2) return qv_call(r->arg2, kQvQueryInterface, r->iid, &r->out) ? kQvOk : kQvNoInterface;
            TComscriptModule *m = new (std::nothrow) TComscriptModule(r->owner);
            return m ? make(m, *r) : QvWord(kQvNoMemory);
        }
        if (std::strcmp(name, TComscript_class()->name) == 0) {
            TComscript *c = new (std::nothrow) TComscript(r->owner);
            return c ? make(c, *r) : QvWord(kQvNoMemory);
        }
        return kQvNoClass;
    }));
}

int classInfo(const ZamRequest &req) {
    QvObjRequest *r = static_cast<QvObjRequest *>(req.record);
    if (!r || !r->className) return kQvNoClass;
    QvClassGetter getter = nullptr;
    if (std::strcmp(r->className, kModuleClass) == 0)
        getter = TComscriptModule_class;
    else if (std::strcmp(r->className, TComscript_class()->name) == 0)
        getter = TComscript_class;
    else
        return kQvNoClass;
    // Without an owner there is no runtime to describe the class to.
    if (!r->owner) return kQvNoInterface;
    return static_cast<int>(qv_guarded([&]() -> QvWord {
        QvIntf *runtime = qv_ptr<QvIntf>(qv_call(r->owner, kOwnRuntime));
        if (!runtime) return kQvNoInterface;
        return qv_call(runtime, kRtClassInfo, getter, r->className, kQvClassInfoLimit, &r->out);
    }));
}

int unloadQuery(const ZamRequest &req) {
    QvObjRequest *r = static_cast<QvObjRequest *>(req.record);
    if (!r || !r->arg2) return 0;
    // Only our own module can say how many objects live.
    TComscriptModule *m = TComscriptModule::of(r->arg2);
    if (!m) return 0;
    return static_cast<int>(qv_guarded([&]() -> QvWord {
        m->Purge(nullptr);
        return qv_call(r->arg2, 7) == 0 ? kQvUnloadAllowed : 0;
    }));
}

int dropLocks(const ZamRequest &req) {
    QvObjRequest *r = static_cast<QvObjRequest *>(req.record);
    if (r && r->arg2 && r->iid == 0)
        qv_guarded([&]() -> QvWord {
            if (TComscriptModule *m = TComscriptModule::of(r->arg2)) m->DropLocks();
            return 0;
        });
    return 0;
}

int noReply(const ZamRequest &) { return 0; }

const ZamHandlerRow kRows[] = {
    {kMsgHostVersion, noReply, 0}, {kMsgCreate, create, 0},      {kMsgClassInfo, classInfo, 0},
    {kMsgUnloadQuery, unloadQuery, 0}, {kMsgDropLocks, dropLocks, 0},
};

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], 0, nullptr};
