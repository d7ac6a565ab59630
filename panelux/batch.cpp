#include "dispatch.h"

// Entries are {int16 code; int16 length; payload}. A negative length or a
// payload that would run past the enclosing entry ends the batch.
int px_runBatch(const PxRequest &req, PxDispatchFn dispatch) {
    if (req.depth >= kPxMaxBatchDepth) return 0;
    WireReader r = req.reader();
    int count = r.i16();
    int result = 0;
    for (int i = 0; i < count && r.ok(); ++i) {
        int code = r.i16();
        int length = r.i16();
        if (!r.ok() || length < 0) break;
        const unsigned char *payload = r.bytes(static_cast<size_t>(length));
        if (!payload) break;
        PxRequest entry = req;
        entry.data = payload;
        entry.length = static_cast<size_t>(length);
        entry.lengthKnown = true;
        entry.flag = nullptr;
        entry.depth = req.depth + 1;
        result = dispatch(code, entry);
    }
    return result;
}
