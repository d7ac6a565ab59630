#include "dispatch.h"

#include "module.h"
#include "wire.h"

namespace {

typedef int (*PxHandler)(const PxRequest &req);

// Window requests 1..99; an empty slot answers nothing (reply length 0).
// The window, menu and event Parts fill their rows in as they arrive.
struct HandlerRow {
    int code;
    PxHandler handler;
};

int batchHandler(const PxRequest &req) { return px_runBatch(req, px_dispatch); }

const HandlerRow kHandlers[] = {
    {kPxBatchCode, batchHandler},
};

PxHandler handlerFor(int code) {
    for (const HandlerRow &row : kHandlers)
        if (row.code == code) return row.handler;
    return nullptr;
}

int onHostVersion(const PxRequest &req) {
    WireReader r(req.data, req.length);
    r.seek(kHostVersionOffset);
    uint16_t build = r.u16();
    if (r.ok()) px_module().hostBuild = build;
    return 0;
}

int onLoad() {
    PxModule &m = px_module();
    objtab_create(&m.objects);
    m.loaded = true;
    return 0;
}

int onUnload() {
    PxModule &m = px_module();
    objtab_free(&m.objects);
    m.loaded = false;
    return 0;
}

}  // namespace

int px_dispatch(int code, const PxRequest &req) {
    switch (code) {
    case kMsgHostVersion: return onHostVersion(req);
    case kMsgLoad: return onLoad();
    case kMsgUnload: return onUnload();
    default: break;
    }
    PxHandler h = handlerFor(code);
    return h ? h(req) : 0;
}

// Entries are {int16 code; int16 length; payload}. A negative length or a
// payload that would run past the enclosing entry ends the batch.
int px_runBatch(const PxRequest &req, PxDispatchFn dispatch) {
    if (req.depth >= kPxMaxBatchDepth) return 0;
    WireReader r(req.data, req.length);
    int count = r.i16();
    int result = 0;
    for (int i = 0; i < count && r.ok(); ++i) {
        int code = r.i16();
        int length = r.i16();
        if (!r.ok() || length < 0) break;
        const unsigned char *payload = r.bytes(static_cast<size_t>(length));
        if (!payload) break;
        PxRequest entry{payload, static_cast<size_t>(length), req.reply, req.depth + 1};
        result = dispatch(code, entry);
    }
    return result;
}
