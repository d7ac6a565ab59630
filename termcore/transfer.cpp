// Requests 100 and 101: files received from the server and files sent to it,
// one block per request.
#include <algorithm>
#include <vector>

#include "filetime.h"
#include "handlers.h"
#include "hostpath.h"
#include "module.h"
#include "records.h"
#include "winfile.h"

namespace {

// The file being received is written under a name of its own beside the
// target, which it replaces only when complete: until then the user's old
// copy of the target stays as it was.
struct ReceiveFile {
    winutil::unique_handle file;
    std::wstring temp;
    std::string target;
    int64_t access = 0, modification = 0;
    bool stamp = false;
    std::vector<unsigned char> pending;  // received, not written yet
};

ReceiveFile &receiving() {
    static ReceiveFile r;
    return r;
}

BufferedReader &sending() {
    static BufferedReader f;
    return f;
}

// Whichever step failed (a write, the close, the rename) or however the
// transfer ended, only the temporary file goes.
void dropReceive() {
    ReceiveFile &r = receiving();
    r.file.reset();
    file_delete(r.temp);
    r.temp.clear();
    r.target.clear();
    std::vector<unsigned char>().swap(r.pending);
}

int recvReply(const TcRequest &req, uint32_t first, int16_t status) {
    WireWriter w = req.writer();
    w.u32(first);
    w.i16(status);
    return tc_replyLength(w);
}

int recvOpen(const TcRequest &req, const TcTransferRecord &rec) {
    dropReceive();
    std::string path;
    if (!rec.bodyOk || !host_composePath(path, std::string(rec.name), tc_setting(kSetUpDir)))
        return recvReply(req, 0, -1);
    ReceiveFile &f = receiving();
    if (rec.date.second == 255) {
        f.access = rec.access;
        f.modification = rec.modification;
        f.stamp = true;
    } else {
        int64_t t = 0;
        f.stamp = time_fromDate(rec.date, t);
        f.access = f.modification = t;
    }
    // A target that could not be replaced is refused now, not at the end.
    if (!file_canReplace(path)) return recvReply(req, 0, -1);
    f.file = file_createBeside(path, f.temp);
    if (!f.file) return recvReply(req, 0, -1);
    f.target = path;
    return recvReply(req, 1, 0);
}

// Blocks are gathered into writes of at least 64 KB that end on a page
// boundary: a write per host block (32 KB, no whole pages) took about twice
// as long under Wine. The bytes of a block are thus answered before they are
// all in the file; a full disk is answered at the block whose write met it,
// within 64 KB of where it happened, and always by the last block.
constexpr size_t kGather = 64 * 1024, kPage = 4096;

bool writeBlock(ReceiveFile &f, std::string_view data, bool last) {
    std::vector<unsigned char> &p = f.pending;
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(data.data());
    p.insert(p.end(), bytes, bytes + data.size());
    if (p.size() < kGather && !last) return true;
    size_t now = last ? p.size() : p.size() / kPage * kPage;
    if (!file_writeAll(f.file.get(), p.data(), now)) return false;
    p.erase(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(now));
    return true;
}

int recvData(const TcRequest &req, const TcTransferRecord &rec, bool last) {
    ReceiveFile &f = receiving();
    if (!f.file) return recvReply(req, rec.block, -1);
    bool ok = rec.bodyOk && writeBlock(f, rec.data, last);
    if (ok && last) {
        if (f.stamp) file_setTimes(f.file.get(), f.access, f.modification);
        ok = f.file.close() && file_replace(f.temp, f.target);
        if (ok) f.temp.clear();
    }
    if (!ok || last) dropReceive();
    return recvReply(req, rec.block, ok ? 0 : -1);
}

int sendFail(const TcRequest &req) {
    WireWriter w = req.writer();
    w.i32(0);
    w.i16(-1);
    w.i32(0);
    return tc_replyLength(w);
}

// Stage 0: the name, looked up in DNDIR.
int sendOpen(const TcRequest &req, const TcTransferRecord &rec) {
    sending().close();
    std::string path;
    if (!rec.bodyOk || !host_findFilePath(path, std::string(rec.name), tc_setting(kSetDnDir), 1))
        return sendFail(req);
    winutil::unique_handle f = file_openRead(path);
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
    TcTransferRecord rec;
    if (!tc_readRecv(req.data, req.length, rec)) return 0;
    switch (rec.stage) {
    case kTcStageOpen: return recvOpen(req, rec);
    case kTcStageData: return recvData(req, rec, false);
    case kTcStageLast: return recvData(req, rec, true);
    case kTcStageAbort: dropReceive(); return 0;
    default: return 0;
    }
}

int tc_fileSend(const TcRequest &req) {
    TcTransferRecord rec;
    if (!tc_readSend(req.data, req.length, rec)) return 0;
    switch (rec.stage) {
    case kTcStageOpen: return sendOpen(req, rec);
    case kTcStageData: return sendData(req, rec.block, rec.length);
    case kTcStageAbort: sending().close(); return 0;
    default: return 0;
    }
}

void tc_closeTransfers() {
    dropReceive();
    sending().close();
}
