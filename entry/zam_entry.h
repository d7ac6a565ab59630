// The one door of every message module. The host calls ZamExtMessageProc
// with a code, a request record it does not measure and a reply area; the
// entry layer turns them into a bounded request, runs the module's handler
// behind a catch-all guard and keeps what every module needs of the host
// (its tables and the version of code -4).
//
// Bounds. A request record is read no further than the host's transfer
// block, for the modules that ask the host for it (their table says so):
// the host's GetMaxBlockSize when the version of code -4 says the host
// offers it and its answer is positive. Otherwise (other modules, an older
// host, an answer of 0 or less) no block is named, and the record is read
// no further than the end of the readable memory that holds it: the run of
// committed, readable pages from the record's start (VirtualQuery), and
// never beyond the reader's scan limit. The host does not say how long its
// record is, and a record whose text or count runs to the end of the host's
// buffer must fail as one that runs past its record, not be followed into
// whatever lies behind it; the process's own memory map is the only bound
// to be had without a host service. A count, length or offset that reaches
// past the bound fails as one past the record. Life-cycle and object-model
// codes never ask.
//
// Replies travel back in one block too: the reply area is the host's block
// when the host names it, else the module's largest reply. A reply that
// does not fit is not sent: the handler answers 0, as for a request the
// module does not serve, unless the module's own reply says "too large".
#pragma once

#include <cstddef>
#include <cstdint>

#include "wire.h"
#include "zam_ext.h"

struct ZamRequest {
    const unsigned char *data = nullptr;  // the request record, read only
    size_t length = 0;                    // how far it may be read
    // The length is the record's own extent (the host named its block, or
    // a batch entry gave it), not just the scan limit of an older host.
    bool lengthKnown = false;
    unsigned char *reply = nullptr;
    size_t replyCapacity = 0;
    const void *flag = nullptr;  // codes -1 and -2: the host's plain flag
    // Object-model codes (-5, -8, -12, -13): the host's record of words,
    // read and answered in place.
    void *record = nullptr;
    int depth = 0;               // batch nesting of this request

    WireReader reader() const { return WireReader(data, length); }
    WireWriter writer() const { return WireWriter(reply, replyCapacity); }
};

// The reply length of a finished writer: 0 when the reply did not fit.
inline int zam_replyLength(const WireWriter &w) { return w.ok() ? static_cast<int>(w.size()) : 0; }

// A reply of one int32.
inline int zam_replyInt(const ZamRequest &req, int32_t value) {
    WireWriter w = req.writer();
    w.i32(value);
    return zam_replyLength(w);
}

typedef int (*ZamHandler)(const ZamRequest &req);

struct ZamHandlerRow {
    int code;
    ZamHandler handler;
    unsigned flags;  // the module's own marks, handed to its prepare hook
};

// Each module defines exactly one of these: its handler table.
struct ZamModuleTable {
    const ZamHandlerRow *rows;
    size_t count;
    size_t largestReply;  // the reply area when the host names no block
    // Runs before every handler, with its row (for example to load settings).
    void (*prepare)(const ZamHandlerRow &row);
    // The module bounds its requests by the host's block (GetMaxBlockSize);
    // a module that does not never calls that service.
    bool asksBlockSize = false;
};
extern const ZamModuleTable zam_moduleTable;

struct ZamHost {
    ZamExtCallBacks *ext = nullptr;
    TAppObj *app = nullptr;
    // The 16-bit value at byte 18 of the last code -4: the terminal's build
    // number, which is also its protocol version; 0 before the first -4.
    uint16_t version = 0;
};
ZamHost &zam_host();

// Versions above this one offer GetMaxBlockSize.
constexpr uint16_t kZamBlockSizeVersion = 88;

// True when the host names its block size (its version offers the service
// and it answers more than 0); size gets it. Asks the host each time.
bool zam_hostBlock(size_t &size);

// The furthest a record of unknown size is read.
constexpr size_t kZamUnnamedBlock = kWireScanLimit;

// How many bytes from at on may be read, at most limit: the readable,
// committed memory that starts there. Native builds, which never run under
// a host, know no memory map and answer limit.
size_t zam_readableLength(const void *at, size_t limit);

// Runs one request through the module's table; batches call it for their
// entries. Code -4 keeps the host version before its row (if any) runs.
int zam_dispatch(const ZamModuleTable &table, int code, const ZamRequest &req);

// Everything ZamExtMessageProc does: bounds, dispatch, the guard.
int zam_message(const ZamModuleTable &table, unsigned code, const void *request, void *reply);
