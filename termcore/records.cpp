#include "records.h"

#include <cstring>

namespace {

// A text that starts `offset` bytes after `from`: the offset must lie past
// what was read since `from` and inside the record, or the record fails.
std::string_view textAt(WireReader &r, size_t from, int32_t offset) {
    size_t at = offset > 0 ? from + static_cast<size_t>(offset) : 0;
    if (at < r.pos()) r.skip(r.left() + 1);
    r.seek(at);
    return r.text();
}

// The header requests 100 and 101 share.
bool transferHeader(WireReader &r, TcTransferRecord &out) {
    out = TcTransferRecord();
    out.block = r.u32();
    out.length = r.u32();
    out.stage = r.u8();
    return r.ok();
}

}  // namespace

TcDate tc_readDate(WireReader &r) {
    TcDate d;
    d.day = r.u8();
    d.month = r.u8();
    d.year = r.u16();
    d.hour = r.u8();
    d.minute = r.u8();
    d.second = r.u8();
    return d;
}

bool tc_readRecv(const void *record, size_t size, TcTransferRecord &out) {
    WireReader r(record, size);
    if (!transferHeader(r, out)) return false;
    if (out.stage == kTcStageOpen) {
        out.date = tc_readDate(r);
        out.access = r.i32();
        out.modification = r.i32();
        r.skip(4);
        out.name = r.text();
    } else if (out.stage == kTcStageData || out.stage == kTcStageLast) {
        const unsigned char *data = r.bytes(out.length);
        if (data) out.data = std::string_view(reinterpret_cast<const char *>(data), out.length);
    }
    out.bodyOk = r.ok();
    return true;
}

bool tc_readSend(const void *record, size_t size, TcTransferRecord &out) {
    WireReader r(record, size);
    if (!transferHeader(r, out)) return false;
    if (out.stage == kTcStageOpen) out.name = r.text();
    out.bodyOk = r.ok();
    return true;
}

bool tc_readDirList(const void *record, size_t size, TcDirListRecord &out) {
    out = TcDirListRecord();
    WireReader r(record, size);
    r.skip(4);
    out.stage = r.u8();
    if (!r.ok()) return false;
    if (out.stage != kTcStageOpen) return true;
    out.flags = r.i32();
    int32_t destOffset = r.i32();
    out.action = r.i16();
    size_t patternAt = r.pos();
    out.pattern = r.text();
    if (out.action == kTcActionCopy || out.action == kTcActionMove)
        out.destination = textAt(r, patternAt, destOffset);
    out.bodyOk = r.ok();
    return true;
}

bool tc_readNamePair(const void *record, size_t size, TcNamePair &out) {
    out = TcNamePair();
    WireReader r(record, size);
    r.skip(4);
    int32_t offset = r.i32();
    size_t firstAt = r.pos();
    out.first = r.text();
    out.second = textAt(r, firstAt, offset);
    return r.ok();
}

bool tc_readDirOp(const void *record, size_t size, TcDirOpRecord &out) {
    out = TcDirOpRecord();
    WireReader r(record, size);
    r.skip(4);
    out.operation = r.i16();
    out.path = r.text();
    return r.ok();
}

bool tc_readStat(const void *record, size_t size, TcStatRecord &out) {
    out = TcStatRecord();
    WireReader r(record, size);
    out.mode = r.u8();
    out.first = r.text();
    if (!r.ok()) return false;
    if (out.mode == 0) return true;
    // Each name takes at least two bytes of the record: the vector stays
    // within half of it.
    for (;;) {
        std::string_view name = r.text();
        if (!r.ok()) return true;
        if (name.empty()) break;
        out.names.push_back(name);
    }
    out.complete = true;
    return true;
}

bool tc_readPut2(const void *record, size_t size, TcPut2Record &out) {
    out = TcPut2Record();
    WireReader r(record, size);
    r.skip(2);
    out.first = r.i32();
    out.second = r.i32();
    out.name = r.text();
    return r.ok();
}

bool tc_readProcess(const void *record, size_t size, TcProcessRecord &out) {
    out = TcProcessRecord();
    WireReader r(record, size);
    out.operation = r.u8();
    if (!r.ok()) return false;
    switch (out.operation) {
    case kTcProcessStart:
        r.seek(7);
        out.untracked = r.i16();
        out.program = r.text();
        out.arguments = r.text();
        break;
    case kTcProcessTerminate:
        out.id = r.i32();
        out.exitCode = r.i16();
        break;
    case kTcProcessWait:
        out.id = r.i32();
        r.skip(2);
        out.timeout = r.i16();
        break;
    default: return true;
    }
    out.bodyOk = r.ok();
    return true;
}

bool tc_readClipSet(const void *record, size_t size, TcClipSetRecord &out) {
    out = TcClipSetRecord();
    WireReader r(record, size);
    out.mode = r.u8();
    out.kind = r.u8();
    int32_t count = r.i32();
    const unsigned char *text = count >= 0 ? r.bytes(static_cast<size_t>(count)) : nullptr;
    if (!r.ok() || !text) return false;
    out.text = std::string_view(reinterpret_cast<const char *>(text), static_cast<size_t>(count));
    return true;
}

bool tc_readClipGet(const void *record, size_t size, uint8_t &kind) {
    WireReader r(record, size);
    kind = r.u8();
    return r.ok();
}

bool tc_readLocaleInfo(const void *record, size_t size, TcLocaleRecord &out) {
    WireReader r(record, size);
    out.selector = r.i32();
    out.type = r.i32();
    return r.ok();
}

bool tc_readLangIds(const void *record, size_t size, int32_t &selector) {
    WireReader r(record, size);
    selector = r.i32();
    return r.ok();
}

bool tc_readHelp(const void *record, size_t size, bool extended, TcHelpRecord &out) {
    out = TcHelpRecord();
    WireReader r(record, size);
    out.kind = r.i32();
    out.length = r.i32();
    r.skip(4);
    if (extended) out.number = r.i32();
    out.file = r.text();
    bool keyword = out.kind == 0 || (extended && out.kind == 4);
    if (keyword) out.keyword = r.text();
    return r.ok();
}

bool tc_readDbg(int code, const void *record, size_t size, TcDbgRecord &out) {
    WireReader r(record, size);
    out = TcDbgRecord();
    out.id = r.i32();
    if (code == 12 || code == 14) out.word = r.i32();
    if (code == 14) {
        out.flag = r.i16();
    } else if (code == 13 && r.seek(8)) {
        const char *at = reinterpret_cast<const char *>(r.here());
        out.data = std::string_view(at, strnlen(at, r.left()));
    }
    return r.ok();
}

bool tc_readEditor(const void *record, size_t size, TcEditorRecord &out) {
    WireReader r(record, size);
    out = TcEditorRecord();
    out.operation = r.u8();
    if (!r.ok()) return false;
    out.value = r.i32();
    if (out.operation != 0) out.handle = r.i32();
    // Only loading a file and adding an error carry texts.
    if (!r.ok() || (out.operation != 4 && out.operation != 9)) return true;
    out.text = r.text();
    if (out.operation == 9 && r.ok()) out.message = r.text();
    if (!r.ok()) out.text = out.message = {};
    return true;
}

bool tc_readEditMgr(const void *record, size_t size, TcEditMgrRecord &out) {
    WireReader r(record, size);
    out = TcEditMgrRecord();
    out.operation = r.u8();
    if (!r.ok()) return false;
    out.flags = r.i32();
    // Only connecting names the caller.
    if (r.ok() && out.operation == 1) out.text = r.text();
    if (!r.ok()) out.text = {};
    return true;
}
