// The requests formkit serves, by code; codes without a row answer nothing.
#include "dispatch.h"

#include "module.h"

namespace {

int onLoad(const PxRequest &) {
    PxModule &m = px_module();
    objtab_create(&m.objects);
    m.loaded = true;
    return 0;
}

int onUnload(const PxRequest &) {
    PxModule &m = px_module();
    objtab_free(&m.objects);
    m.loaded = false;
    return 0;
}

int dispatchEntry(int code, const PxRequest &req) { return zam_dispatch(zam_moduleTable, code, req); }

int onBatch(const PxRequest &req) { return px_runBatch(req, dispatchEntry); }

const ZamHandlerRow kRows[] = {
    {kMsgLoad, onLoad, 0},
    {kMsgUnload, onUnload, 0},
    {kPxBatchCode, onBatch, 0},
};

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], kPxReplyCapacity, nullptr};
