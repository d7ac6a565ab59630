// Request dispatch of ZamExtMessageProc: life-cycle codes, the handler
// table of the window requests and the batch request 99.
#pragma once

#include <cstddef>
#include <cstdint>

// One request as a handler sees it. A request that came straight from the
// host has no known length (kWireUnbounded); one inside a batch is bounded by
// its entry.
struct PxRequest {
    const unsigned char *data;
    size_t length;
    void *reply;
    int depth;  // batch nesting level of this request
};

typedef int (*PxDispatchFn)(int code, const PxRequest &req);

// Deepest batch inside a batch that is still run.
constexpr int kPxMaxBatchDepth = 8;
constexpr int kPxBatchCode = 99;

int px_dispatch(int code, const PxRequest &req);

// Runs the entries of a batch through dispatch; returns the reply length of
// the last entry run.
int px_runBatch(const PxRequest &req, PxDispatchFn dispatch);
