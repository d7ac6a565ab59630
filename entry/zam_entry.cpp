#include "zam_entry.h"

namespace {

#ifdef _WIN32
bool readable(const MEMORY_BASIC_INFORMATION &m) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return m.State == MEM_COMMIT && (m.Protect & kReadable) && !(m.Protect & (PAGE_GUARD | PAGE_NOACCESS));
}
#endif

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
        req.length = named ? block : zam_readableLength(request, kZamUnnamedBlock);
        req.lengthKnown = named;
    }
    if (reply) {
        req.reply = static_cast<unsigned char *>(reply);
        req.replyCapacity = named ? block : table.largestReply;
    }
    return req;
}

}  // namespace

size_t zam_readableLength(const void *at, size_t limit) {
#ifdef _WIN32
    // Regions end where the protection or the allocation changes; the next
    // one may be readable too.
    const unsigned char *start = static_cast<const unsigned char *>(at);
    size_t length = 0;
    MEMORY_BASIC_INFORMATION m;
    while (length < limit && VirtualQuery(start + length, &m, sizeof m) == sizeof m && readable(m))
        length = static_cast<size_t>(static_cast<const unsigned char *>(m.BaseAddress) + m.RegionSize - start);
    return length < limit ? length : limit;
#else
    (void)at;
    return limit;
#endif
}

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
