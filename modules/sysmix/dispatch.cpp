// The request codes of sysmix.
#include "module.h"

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

int unload(const SysmixRequest &) {
    sysmix_unload();
    return 0;
}

int createNew(const SysmixRequest &req) { return sysmix_create(req, false); }
int attachRunning(const SysmixRequest &req) { return sysmix_create(req, true); }

// Codes 1, -1 and every code without a row answer nothing.
const ZamHandlerRow kRows[] = {
    {2, sysmix_release, 0},
    {3, sysmix_call, 0},
    {10, createNew, 0},
    {11, attachRunning, 0},
    {12, sysmix_oleOn, 0},
    {13, sysmix_oleOff, 0},
    {14, setCurrencyMode, 0},
    {15, setEmptyMode, 0},
    {16, setStringCodePage, 0},
    {17, sysmix_hostAddresses, 0},
    {18, sysmix_adapterAddress, 0},
    {19, sysmix_userName, 0},
    {20, sysmix_consoleShow, 0},
    {21, sysmix_consoleInFront, 0},
    {22, sysmix_isRunning, 0},
    {kMsgUnload, unload, 0},
};

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], kSysmixReplyCapacity, nullptr};
