// The request entry of nicinfo; ZamSetCallBacks and ZamDllMain come with the
// entry skeleton.
#include "address.h"
#include "wire.h"
#include "zamentry.h"

namespace {

// Request 1: +0 int32 status (0 found, 1 not), +4 the six address bytes.
int replyAddress(void *reply) {
    NicAddress a = nic_adapterAddress();
    WireWriter w(reply, 10);
    w.i32(a.found ? 0 : 1);
    w.bytes(a.bytes.data(), a.bytes.size());
    return static_cast<int>(w.size());
}

}  // namespace

extern "C" int __cdecl ZamExtMessageProc(unsigned code, const void *, void *reply) {
    ZamGetInstCount();
    try {
        return code == 1 ? replyAddress(reply) : 0;
    } catch (...) {
        // Nothing may unwind into the host.
        return 0;
    }
}
