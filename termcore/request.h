// One request as a handler sees it: the record the host handed over and the
// reply area, both bounded by the host's largest block.
#pragma once

#include <cstddef>

#include "wire.h"

struct TcRequest {
    const unsigned char *data;
    size_t length;
    unsigned char *reply;
    size_t replyCapacity;

    WireReader reader() const { return WireReader(data, length); }
    WireWriter writer() const { return WireWriter(reply, replyCapacity); }
};

// The length of a finished reply, or 0 when it did not fit the reply area.
inline int tc_replyLength(const WireWriter &w) { return w.ok() ? static_cast<int>(w.size()) : 0; }

// A reply of one int32.
inline int tc_replyInt(const TcRequest &req, int32_t value) {
    WireWriter w = req.writer();
    w.i32(value);
    return tc_replyLength(w);
}
