#include "zam_entry.h"

namespace {

const ZamHandlerRow *rowFor(const ZamModuleTable &table, int code) {
    for (size_t i = 0; i < table.count; ++i)
        if (table.rows[i].code == code) return &table.rows[i];
    return nullptr;
}

void keepHostVersion(const ZamRequest &req) {
    WireReader r = req.reader();
    r.seek(kHostVersionOffset);
    uint16_t version = r.u16();
    if (r.ok()) zam_host().version = version;
}

// Codes -1 and -2 carry a plain flag where other codes carry a record.
bool takesFlag(int code) { return code == kMsgLoad || code == kMsgUnload; }
bool takesObjectRecord(int code) {
    return code == kMsgUnloadQuery || code == kMsgCreate || code == kMsgClassInfo || code == kMsgDropLocks;
}

// Only the numbered requests of a module that bounds by the host's block
// ask for it.
bool asksBlock(const ZamModuleTable &table, int code) { return table.asksBlockSize && code >= 0; }

ZamRequest bounded(const ZamModuleTable &table, int code, const void *request, void *reply) {
    ZamRequest req;
    size_t block = 0;
    bool named = asksBlock(table, code) && zam_hostBlock(block);
    if (takesFlag(code)) {
        req.flag = request;
    } else if (takesObjectRecord(code)) {
        req.record = const_cast<void *>(request);
    } else if (request) {
        req.data = static_cast<const unsigned char *>(request);
        req.length = named ? block : kZamUnnamedBlock;
        req.lengthKnown = named;
    }
    if (reply) {
        req.reply = static_cast<unsigned char *>(reply);
        req.replyCapacity = named ? block : table.largestReply;
    }
    return req;
}

}  // namespace

ZamHost &zam_host() {
    static ZamHost host;
    return host;
}

bool zam_hostBlock(size_t &size) {
    const ZamHost &h = zam_host();
    if (h.version <= kZamBlockSizeVersion || !h.ext || !h.ext->GetMaxBlockSize) return false;
    int n = h.ext->GetMaxBlockSize();
    if (n <= 0) return false;
    size = static_cast<size_t>(n);
    return true;
}

int zam_dispatch(const ZamModuleTable &table, int code, const ZamRequest &req) {
    if (code == kMsgHostVersion) keepHostVersion(req);
    const ZamHandlerRow *row = rowFor(table, code);
    if (!row) return 0;
    if (table.prepare) table.prepare(*row);
    return row->handler(req);
}

int zam_message(const ZamModuleTable &table, unsigned code, const void *request, void *reply) {
    try {
        int c = static_cast<int>(code);
        return zam_dispatch(table, c, bounded(table, c, request, reply));
    } catch (...) {
        // Nothing may unwind into the host.
        return 0;
    }
}
