// Batches from the server: every entry must lie inside its parent.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dispatch.h"

namespace {

const unsigned char *g_begin;
const unsigned char *g_end;

int entry(int code, const PxRequest &req) {
    if (req.data < g_begin || req.data + req.length > g_end) __builtin_trap();
    if (code == kPxBatchCode) return px_runBatch(req, entry);
    // Read the entry as a handler would: a text and a number.
    WireReader r = req.reader();
    r.text();
    return r.i32();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<unsigned char> record(data, data + size);  // exactly sized for ASan
    g_begin = record.data();
    g_end = record.data() + record.size();
    PxRequest req;
    req.data = record.data();
    req.length = record.size();
    px_runBatch(req, entry);
    return 0;
}
