// Requests 100 and 101: files received from the server and files sent to it,
// one block per request.
#include <algorithm>

#include "filetime.h"
#include "handlers.h"
#include "hostpath.h"
#include "module.h"
#include "winfile.h"

namespace {

enum : uint8_t { kStageOpen = 0, kStageData = 1, kStageLast = 2, kStageAbort = 3 };

struct ReceiveFile {
    BufferedWriter file;
    std::string path;
    int64_t access = 0, modification = 0;
    bool stamp = false;
};

ReceiveFile &receiving() {
    static ReceiveFile r;
    return r;
}

BufferedReader &sending() {
    static BufferedReader f;
    return f;
}

// An incomplete file is never left behind looking like a received one.
void dropReceive() {
    ReceiveFile &r = receiving();
    if (r.file.isOpen()) {
        r.file.drop();
        file_delete(r.path);
    }
    r.path.clear();
}

int recvReply(const TcRequest &req, uint32_t first, int16_t status) {
    WireWriter w = req.writer();
    w.u32(first);
    w.i16(status);
    return tc_replyLength(w);
}

// Stage 0: +9 date block, +16 access, +20 modification, +24 unused, +28 name.
int recvOpen(const TcRequest &req, WireReader &r) {
    DateBlock date = time_readDate(r);
    int32_t access = r.i32(), modification = r.i32();
    r.skip(4);
    std::string name(r.text());
    dropReceive();
    std::string path;
    if (!r.ok() || !host_composePath(path, name, tc_setting(kSetUpDir))) return recvReply(req, 0, -1);
    ReceiveFile &f = receiving();
    if (date.second == 255) {
        f.access = access;
        f.modification = modification;
        f.stamp = true;
    } else {
        int64_t t = 0;
        f.stamp = time_fromDate(date, t);
        f.access = f.modification = t;
    }
    FileHandle h = file_create(path);
    if (!h) return recvReply(req, 0, -1);
    f.file.open(std::move(h));
    f.path = path;
    return recvReply(req, 1, 0);
}

// Stages 1 and 2: the data bytes from +9; the last stage completes the file.
int recvData(const TcRequest &req, WireReader &r, uint32_t block, uint32_t length, bool last) {
    ReceiveFile &f = receiving();
    if (!f.file.isOpen()) return recvReply(req, block, -1);
    const unsigned char *data = r.bytes(length);
    bool ok = data && f.file.put(data, length);
    if (ok && last) {
        ok = f.file.flush();
        if (ok && f.stamp) file_setTimes(f.file.handle(), f.access, f.modification);
        ok = f.file.close() && ok;
        if (ok) f.path.clear();
    }
    if (!ok) dropReceive();
    return recvReply(req, block, ok ? 0 : -1);
}

int sendFail(const TcRequest &req) {
    WireWriter w = req.writer();
    w.i32(0);
    w.i16(-1);
    w.i32(0);
    return tc_replyLength(w);
}

// Stage 0: +9 the name, looked up in DNDIR.
int sendOpen(const TcRequest &req, WireReader &r) {
    std::string name(r.text());
    sending().close();
    std::string path;
    if (!r.ok() || !host_findFilePath(path, name, tc_setting(kSetDnDir), 1)) return sendFail(req);
    FileHandle f = file_openRead(path);
    FileInfo info;
    if (!f || !file_info(f.get(), info)) return sendFail(req);
    WireWriter w = req.writer();
    w.i32(1);
    w.i16(0);
    w.u32(static_cast<uint32_t>(info.size));
    time_putDate(w, info.modification, 255);
    w.i32(time_wire(info.access));
    w.i32(time_wire(info.modification));
    w.i32(time_wire(info.change));
    if (!w.ok()) return 0;
    sending().open(std::move(f));
    return tc_replyLength(w);
}

// Stage 1: one block of at most the requested length into +10.
int sendData(const TcRequest &req, uint32_t block, uint32_t requested) {
    constexpr size_t kHeader = 10;
    BufferedReader &f = sending();
    size_t room = req.replyCapacity > kHeader ? req.replyCapacity - kHeader : 0;
    size_t want = std::min<size_t>({requested, tc_dataBlock(kHeader), room});
    if (!f.isOpen()) return sendFail(req);
    int64_t got = f.read(req.reply + kHeader, want);
    if (got < 0) {
        f.close();
        return sendFail(req);
    }
    bool end = static_cast<size_t>(got) < want;
    if (end) f.close();
    WireWriter w = req.writer();
    w.u32(end ? 0 : block);
    w.i16(0);
    w.i32(static_cast<int32_t>(got));
    w.advance(static_cast<size_t>(got));
    return tc_replyLength(w);
}

}  // namespace

int tc_fileRecv(const TcRequest &req) {
    WireReader r = req.reader();
    uint32_t block = r.u32(), length = r.u32();
    uint8_t stage = r.u8();
    if (!r.ok()) return 0;
    switch (stage) {
    case kStageOpen: return recvOpen(req, r);
    case kStageData: return recvData(req, r, block, length, false);
    case kStageLast: return recvData(req, r, block, length, true);
    case kStageAbort: dropReceive(); return 0;
    default: return 0;
    }
}

int tc_fileSend(const TcRequest &req) {
    WireReader r = req.reader();
    uint32_t block = r.u32(), requested = r.u32();
    uint8_t stage = r.u8();
    if (!r.ok()) return 0;
    switch (stage) {
    case kStageOpen: return sendOpen(req, r);
    case kStageData: return sendData(req, block, requested);
    case kStageAbort: sending().close(); return 0;
    default: return 0;
    }
}

void tc_closeTransfers() {
    dropReceive();
    sending().close();
}
