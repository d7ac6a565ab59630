// TComscriptModule: the module object the runtime creates as "QvComModule",
// with its count of live TComscript objects and the vector of objects that
// scripts locked.
#pragma once

#include <vector>

#include "qvobject.h"

class TComscriptModule : public TModuleObj {
public:
    explicit TComscriptModule(QvIntf *owner);

    const QvClassRecord *classRecord() const override;
    QvWord Init(QvWord name, QvWord second, QvWord zero) override;
    QvWord Close() override;
    QvWord ModuleSlot(int slot) override;
    QvWord Call2(QvWord id, QvWord flags, QvWord parms, QvWord kind) override;

    // Our module object behind a module interface; null for any other.
    static TComscriptModule *of(QvIntf *moduleIntf);

    int users() const { return users_; }
    void Lock(QvIntf *object);
    void UnLock(QvIntf *object);
    // Releases the objects no longer locked, then removes the entries of the
    // given object (null: every released entry).
    void Purge(QvIntf *object);
    // Releases every locked object, keeping the entries.
    void DropLocks();

    struct LockEntry {
        QvIntf *object;
        int count;
        int stamp;
    };
    const std::vector<LockEntry> &locks() const { return locks_; }

private:
    int users_ = 0;
    std::vector<LockEntry> locks_;
};

const QvClassRecord *QVSCB TComscriptModule_class();
