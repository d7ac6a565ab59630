// Requests 10 to 14: debug sessions the server opens for macros it runs.
#include <string>

#include "dbgremote.h"
#include "handlers.h"
#include "module.h"
#include "records.h"

namespace {

uint16_t hostVersion() { return zam_host().version; }

bool read(int code, const TcRequest &req, TcDbgRecord &rec) { return tc_readDbg(code, req.data, req.length, rec); }

}  // namespace

int tc_dbgOpen(const TcRequest &req) {
    TcDbgRecord rec;
    int32_t id = 0;
    if (read(10, req, rec))
        id = DbgRemoteOpen(rec.id, tc_setting(kSetCashDir), tc_setting(kSetSrcDir), {zam_host().ext, hostVersion});
    WireWriter w = req.writer();
    w.i32(id ? 1 : 0);
    w.i32(id);
    return tc_replyLength(w);
}

int tc_dbgClose(const TcRequest &req) {
    TcDbgRecord rec;
    if (read(11, req, rec)) DbgRemoteClose(rec.id);
    return 0;
}

int tc_dbgStart(const TcRequest &req) {
    TcDbgRecord rec;
    bool started = read(12, req, rec) && DbgRemoteStart(rec.id, rec.word);
    WireWriter w = req.writer();
    w.i32(started ? 1 : 0);
    w.i32(0);
    return tc_replyLength(w);
}

int tc_dbgData(const TcRequest &req) {
    TcDbgRecord rec;
    if (read(13, req, rec)) DbgRemoteSend(rec.id, std::string(rec.data));
    return 0;
}

int tc_dbgFlag(const TcRequest &req) {
    TcDbgRecord rec;
    if (read(14, req, rec)) DbgRemoteSetFlag(rec.id, rec.word, rec.flag != 0);
    return 0;
}

void tc_dbgCloseAll() { DbgRemoteCloseAll(); }
