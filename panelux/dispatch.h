// formkit's handler table and the batch request 99.
#pragma once

#include "zam_entry.h"

using PxRequest = ZamRequest;

typedef int (*PxDispatchFn)(int code, const PxRequest &req);

// Deepest batch inside a batch that is still run.
constexpr int kPxMaxBatchDepth = 8;
constexpr int kPxBatchCode = 99;

// The host's reply area holds every reply of formkit.
constexpr size_t kPxReplyCapacity = 65536;

// Runs the entries of a batch through dispatch; returns the reply length of
// the last entry run.
int px_runBatch(const PxRequest &req, PxDispatchFn dispatch);
