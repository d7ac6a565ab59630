// nicinfo's one request and its handler table.
#include "address.h"
#include "zam_entry.h"

namespace {

// Request 1: +0 int32 status (0 found, 1 not), +4 the six address bytes.
int replyAddress(const ZamRequest &req) {
    NicAddress a = nic_adapterAddress();
    WireWriter w = req.writer();
    w.i32(a.found ? 0 : 1);
    w.bytes(a.bytes.data(), a.bytes.size());
    return zam_replyLength(w);
}

const ZamHandlerRow kRows[] = {
    {1, replyAddress, 0},
};

constexpr size_t kReplySize = 10;

}  // namespace

const ZamModuleTable zam_moduleTable = {kRows, 1, kReplySize, nullptr};
