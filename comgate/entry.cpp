// comgate's host messages: COM entered and left on the host's thread, and
// TComgateServer created for the runtime.
#include <objbase.h>

#include <new>

#include "comgate.h"
#include "zam_entry.h"

namespace {

// Only an initialisation that succeeded is balanced at unload: a thread
// already in another apartment must keep its COM as it was.
bool g_comEntered = false;

int load(const ZamRequest &) {
    HRESULT hr = CoInitialize(nullptr);
    g_comEntered = hr == S_OK || hr == S_FALSE;
    return 0;
}

int unload(const ZamRequest &) {
    if (g_comEntered) CoUninitialize();
    g_comEntered = false;
    return 0;
}

int create(const ZamRequest &req) {
    QvObjRequest *r = static_cast<QvObjRequest *>(req.record);
    if (!r) return kQvNoClass;
    QvWord code = qv_guarded([&]() -> QvWord {
        r->out = 0;
        if (!r->className || lstrcmpiA(r->className, TComgateServer_class()->name) != 0) return kQvNoClass;
        if (!r->owner) return kQvNoInterface;
        TComgateServer *s = new (std::nothrow) TComgateServer(r->owner);
        if (!s) return kQvNoMemory;
        s->AddRef();
        QvWord answer = kQvNoInterface;
        if (QvIntf *life = s->QueryInterface(kQvIidLifecycle)) {
            answer = qv_call(life, kQvInit, r->arg1, r->arg2, 0);
            qv_call(life, kQvRelease);
        }
        if (answer == 0) {
            QvIntf *out = s->QueryInterface(static_cast<int>(r->iid));
            r->out = qv_word(out);
            if (!out) answer = kQvNoInterface;
        }
        s->Release();
        return answer;
    });
    return r->out ? 0 : static_cast<int>(code);
}

int noReply(const ZamRequest &) { return 0; }

const ZamHandlerRow kRows[] = {
    {kMsgLoad, load, 0}, {kMsgUnload, unload, 0}, {kMsgUnloadQuery, noReply, 0}, {kMsgCreate, create, 0},
};

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], 0, nullptr};
