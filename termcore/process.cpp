// Request 200: programs started, stopped and waited for, tracked in the
// process table by small ids.
#include "process.h"

#include <new>

#include "handlers.h"
#include "locklist.h"
#include "oemtext.h"

namespace {

enum : uint8_t { kOpStart = 0, kOpTerminate = 1, kOpWait = 2 };
constexpr int32_t kStillRunning = 259;

struct ProcessEntry {
    LockNode link;  // at the start: the table's link offset is 0
    uint32_t id;
    HANDLE process;
};

// Set up when the module loads, so every request finds it ready and an id
// is handed out only while its entry is in the table.
struct ProcessTable {
    LockList list;
    ProcessTable() { LockListInit(&list, kLockNoFree | kLockFront, 0); }
};
ProcessTable gTable;

ProcessEntry *entryAfter(ProcessEntry *e) {
    return static_cast<ProcessEntry *>(e ? LockListNext(&gTable.list, e) : LockListFirst(&gTable.list));
}

// The smallest free id from 1 up; the table stays sorted by id.
void link(ProcessEntry *fresh) {
    uint32_t candidate = 1;
    ProcessEntry *passed = nullptr;
    for (ProcessEntry *e = entryAfter(nullptr); e && e->id <= candidate; e = entryAfter(e)) {
        candidate = e->id + 1;
        passed = e;
    }
    fresh->id = candidate;
    LockListInsert(&gTable.list, fresh, passed);
}

ProcessEntry *find(int32_t id) {
    if (id <= 0) return nullptr;
    for (ProcessEntry *e = entryAfter(nullptr); e; e = entryAfter(e))
        if (e->id == static_cast<uint32_t>(id)) return e;
    return nullptr;
}

void drop(ProcessEntry *e) {
    LockListRemove(&gTable.list, e);
    if (e->process) CloseHandle(e->process);
    delete e;
}

// +7 untracked flag, +9 program, then the arguments.
int32_t start(WireReader &r) {
    r.seek(7);
    int16_t untracked = r.i16();
    std::string program(r.text());
    std::string arguments(r.text());
    if (!r.ok()) return -1;
    if (untracked) {
        TcStarted s = tc_startProcess(program, arguments, true, nullptr, nullptr, kConsoleNew);
        return s.ok ? static_cast<int32_t>(s.id) : -1;
    }
    ProcessEntry *e = new (std::nothrow) ProcessEntry();
    if (!e) return -1;
    TcStarted s = tc_startProcess(program, arguments, false, nullptr, nullptr, kConsoleNew);
    if (!s.ok) {
        delete e;
        return -1;
    }
    e->process = s.process;
    link(e);
    return static_cast<int32_t>(e->id);
}

// +1 id, +5 exit code.
int32_t terminate(WireReader &r) {
    int32_t id = r.i32();
    int16_t code = r.i16();
    ProcessEntry *e = r.ok() ? find(id) : nullptr;
    if (!e) return -1;
    bool ok = TerminateProcess(e->process, static_cast<UINT>(static_cast<int32_t>(code))) != FALSE;
    drop(e);
    return ok ? 0 : -1;
}

// +1 id, +7 time-out in milliseconds (-1: no limit). An entry stays only
// while the wait times out; an exit code of 259 is an exit like any other.
int32_t wait(WireReader &r) {
    int32_t id = r.i32();
    r.skip(2);
    int16_t timeout = r.i16();
    ProcessEntry *e = r.ok() ? find(id) : nullptr;
    if (!e) return -1;
    DWORD w = WaitForSingleObject(e->process, static_cast<DWORD>(static_cast<int32_t>(timeout)));
    if (w == WAIT_TIMEOUT) return kStillRunning;
    DWORD code = 0;
    bool ended = w == WAIT_OBJECT_0 && GetExitCodeProcess(e->process, &code);
    drop(e);
    return ended ? static_cast<int32_t>(code) : -1;
}

}  // namespace

TcStarted tc_startProcess(const std::string &program, const std::string &arguments, bool closeHandle,
                          HANDLE stdIn, HANDLE stdOut, TcConsole console) {
    TcStarted out;
    std::wstring line = oem_toWide(arguments.empty() ? program : program + " " + arguments);
    if (line.empty()) return out;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    bool inherit = stdIn || stdOut;
    if (inherit) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = stdIn;
        si.hStdOutput = stdOut;
        si.hStdError = stdOut;
    }
    DWORD flags = console == kConsoleNew ? CREATE_NEW_CONSOLE : console == kConsoleDetached ? DETACHED_PROCESS : 0;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, inherit, flags, nullptr, nullptr, &si, &pi))
        return out;
    CloseHandle(pi.hThread);
    out.ok = true;
    out.id = pi.dwProcessId;
    if (closeHandle) CloseHandle(pi.hProcess);
    else out.process = pi.hProcess;
    return out;
}

int tc_process(const TcRequest &req) {
    WireReader r = req.reader();
    uint8_t op = r.u8();
    int32_t result = -1;
    if (r.ok()) {
        switch (op) {
        case kOpStart: result = start(r); break;
        case kOpTerminate: result = terminate(r); break;
        case kOpWait: result = wait(r); break;
        default: break;
        }
    }
    return tc_replyInt(req, result);
}

void tc_processTableEmpty() {
    while (ProcessEntry *e = entryAfter(nullptr)) drop(e);
}
