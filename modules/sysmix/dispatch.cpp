// The request codes of sysmix and the export the host sends them to.
#include <exception>

#include "module.h"
#include "wire.h"
#include "zam_ext.h"
#include "zamentry.h"

namespace {

int setCurrencyMode(const SysmixRequest &req) {
    WireReader r(req.data, req.length);
    sysmix_module().currencyMode = r.u8() != 0;
    req.reply[0] = kSysmixOk;
    return 1;
}

// Codes other than 1 and 2 mean an empty argument.
int setEmptyMode(const SysmixRequest &req) {
    WireReader r(req.data, req.length);
    uint8_t mode = r.u8();
    sysmix_module().emptyMode = mode == 1 ? SysmixEmpty::null : mode == 2 ? SysmixEmpty::missing : SysmixEmpty::empty;
    req.reply[0] = kSysmixOk;
    return 1;
}

int setStringCodePage(const SysmixRequest &req) {
    WireReader r(req.data, req.length);
    sysmix_module().ansiStrings = r.u8() != 0;
    req.reply[0] = kSysmixOk;
    return 1;
}

int dispatch(int code, const SysmixRequest &req) {
    switch (code) {
    case 2: return sysmix_release(req);
    case 3: return sysmix_call(req);
    case 10: return sysmix_create(req, false);
    case 11: return sysmix_create(req, true);
    case 12: return sysmix_oleOn(req);
    case 13: return sysmix_oleOff(req);
    case 14: return setCurrencyMode(req);
    case 15: return setEmptyMode(req);
    case 16: return setStringCodePage(req);
    case 17: return sysmix_hostAddresses(req);
    case 18: return sysmix_adapterAddress(req);
    case 19: return sysmix_userName(req);
    case 20: return sysmix_consoleShow(req);
    case 21: return sysmix_consoleInFront(req);
    case 22: return sysmix_isRunning(req);
    case kMsgUnload: sysmix_unload(); return 0;
    default: return 0;  // 1, -1 and every code sysmix does not serve
    }
}

}  // namespace

extern "C" int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply) {
    ZamGetInstCount();
    try {
        SysmixRequest req{static_cast<const unsigned char *>(request), kWireUnbounded,
                          static_cast<unsigned char *>(reply)};
        return dispatch(static_cast<int>(code), req);
    } catch (...) {
        // Nothing may unwind into the host.
        return 0;
    }
}
