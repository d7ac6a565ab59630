// termcore's request records decoded into their fields, with no Windows call:
// texts and data are views into the record and never reach past it, and
// every length, count and offset the server sends is checked against the
// record before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "wire.h"

// The wire's date block {day, month 1-12, year, hour, minute, second}.
struct TcDate {
    uint8_t day = 0, month = 0;
    uint16_t year = 0;
    uint8_t hour = 0, minute = 0, second = 0;
};
TcDate tc_readDate(WireReader &r);

enum : uint8_t { kTcStageOpen = 0, kTcStageData = 1, kTcStageLast = 2, kTcStageAbort = 3 };

// Requests 100 and 101: +0 block id, +4 length, +8 stage, then what the stage
// carries. bodyOk: that part is whole.
struct TcTransferRecord {
    uint32_t block = 0, length = 0;
    uint8_t stage = 0;
    bool bodyOk = false;
    // Stage 0 of 100: +9 date, +16 access, +20 modification, +28 name.
    TcDate date;
    int32_t access = 0, modification = 0;
    // Stage 0: the file name (+28 in 100, +9 in 101).
    std::string_view name;
    // Stages 1 and 2 of 100: the length's bytes from +9.
    std::string_view data;
};
// False when the header itself is short.
bool tc_readRecv(const void *record, size_t size, TcTransferRecord &out);
bool tc_readSend(const void *record, size_t size, TcTransferRecord &out);

enum : int16_t { kTcActionList = 0, kTcActionDelete = 1, kTcActionCopy = 2, kTcActionMove = 3 };

// Request 102: +4 stage; stage 0 goes on with +5 flags, +9 offset of the
// destination counted from +15, +13 action, +15 pattern, then the
// destination, which is read only for copy and move.
struct TcDirListRecord {
    uint8_t stage = 0;
    bool bodyOk = false;
    int32_t flags = 0;
    int16_t action = 0;
    std::string_view pattern, destination;
};
bool tc_readDirList(const void *record, size_t size, TcDirListRecord &out);

// Requests 103 and 104: +4 offset of the second name counted from +8, +8 the
// first name, then the second, which must start past the first's terminator.
struct TcNamePair {
    std::string_view first, second;
};
bool tc_readNamePair(const void *record, size_t size, TcNamePair &out);

// Request 105: +4 operation, +6 path.
struct TcDirOpRecord {
    int16_t operation = 0;
    std::string_view path;
};
bool tc_readDirOp(const void *record, size_t size, TcDirOpRecord &out);

// Request 107: +0 mode, +1 a name (mode 0) or a base directory followed by
// names, ended by an empty name. complete: the end was found; names holds
// every name before it, or before the first that runs past the record.
struct TcStatRecord {
    uint8_t mode = 0;
    std::string_view first;
    std::vector<std::string_view> names;
    bool complete = false;
};
bool tc_readStat(const void *record, size_t size, TcStatRecord &out);

// Request 108: +2 first value, +6 second value, +10 file name.
struct TcPut2Record {
    int32_t first = 0, second = 0;
    std::string_view name;
};
bool tc_readPut2(const void *record, size_t size, TcPut2Record &out);

enum : uint8_t { kTcProcessStart = 0, kTcProcessTerminate = 1, kTcProcessWait = 2 };

// Request 200: +0 operation. Start: +7 untracked flag, +9 program, then the
// arguments. Terminate: +1 id, +5 exit code. Wait: +1 id, +7 time-out.
struct TcProcessRecord {
    uint8_t operation = 0;
    bool bodyOk = false;
    int16_t untracked = 0;
    std::string_view program, arguments;
    int32_t id = 0;
    int16_t exitCode = 0, timeout = 0;
};
// False when there is no operation byte.
bool tc_readProcess(const void *record, size_t size, TcProcessRecord &out);

// Request 204: +0 editor mode, +1 text kind, +2 byte count, +6 the bytes.
struct TcClipSetRecord {
    uint8_t mode = 0, kind = 0;
    std::string_view text;
};
bool tc_readClipSet(const void *record, size_t size, TcClipSetRecord &out);
// Request 205: +0 text kind.
bool tc_readClipGet(const void *record, size_t size, uint8_t &kind);

// Requests 206 (+0 selector, +4 information type) and 207 (+0 selector).
struct TcLocaleRecord {
    int32_t selector = 0, type = 0;
};
bool tc_readLocaleInfo(const void *record, size_t size, TcLocaleRecord &out);
bool tc_readLangIds(const void *record, size_t size, int32_t &selector);

// Requests 50 (+0 kind, +4 length of the file name, +12 file name) and 51
// (+12 number, +16 file name); the keyword follows the file name's
// terminator and is read only for the kinds that use it.
struct TcHelpRecord {
    int32_t kind = -1, length = 0, number = 0;
    std::string_view file, keyword;
};
bool tc_readHelp(const void *record, size_t size, bool extended, TcHelpRecord &out);

// Requests 10 to 14: +0 the server's handle (10) or the session id, +4 the
// datum (12) or the flag's data word (14), +8 the flag (14, int16) or the
// data (13: its bytes up to a NUL or the end of the record).
struct TcDbgRecord {
    int32_t id = 0, word = 0;
    int16_t flag = 0;
    std::string_view data;
};
bool tc_readDbg(int code, const void *record, size_t size, TcDbgRecord &out);

// Request 202: +0 operation, +1 value, +5 editor handle (not for 0), +9 a
// text (operations 4 and 9) and, for operation 9, the message after it.
struct TcEditorRecord {
    uint8_t operation = 0;
    int32_t value = 0, handle = 0;
    std::string_view text, message;
};
// False when the operation byte is missing.
bool tc_readEditor(const void *record, size_t size, TcEditorRecord &out);

// Request 201: +0 operation, +1 flags, +5 text (operation 1 only).
struct TcEditMgrRecord {
    uint8_t operation = 0;
    int32_t flags = 0;
    std::string_view text;
};
bool tc_readEditMgr(const void *record, size_t size, TcEditMgrRecord &out);
