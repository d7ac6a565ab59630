// Request 200: programs started, stopped and waited for, tracked in the
// process table by small ids.
#include "process.h"

#include <memory>
#include <new>

#include "handlers.h"
#include "locklist.h"
#include "oemtext.h"
#include "records.h"

namespace {

constexpr int32_t kStillRunning = 259;

// The entry owns its process handle: it is closed when the entry is freed,
// the end of a session included (the process itself runs on).
struct ProcessEntry {
    LockNode link;  // at the start: the table's link offset is 0
    uint32_t id;
    winutil::unique_handle process;
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
    delete e;
}

int32_t start(const TcProcessRecord &rec) {
    std::string program(rec.program), arguments(rec.arguments);
    if (rec.untracked) {
        TcStarted s = tc_startProcess(program, arguments, true, nullptr, nullptr, kConsoleNew);
        return s.ok ? static_cast<int32_t>(s.id) : -1;
    }
    std::unique_ptr<ProcessEntry> e(new (std::nothrow) ProcessEntry());
    if (!e) return -1;
    TcStarted s = tc_startProcess(program, arguments, false, nullptr, nullptr, kConsoleNew);
    if (!s.ok) return -1;
    e->process = std::move(s.process);
    link(e.get());
    return static_cast<int32_t>(e.release()->id);
}

int32_t terminate(const TcProcessRecord &rec) {
    ProcessEntry *e = find(rec.id);
    if (!e) return -1;
    UINT code = static_cast<UINT>(static_cast<int32_t>(rec.exitCode));
    bool ok = TerminateProcess(e->process.get(), code) != FALSE;
    drop(e);
    return ok ? 0 : -1;
}

// The time-out is in milliseconds (-1: no limit). An entry stays only while
// the wait times out; an exit code of 259 is an exit like any other.
int32_t wait(const TcProcessRecord &rec) {
    ProcessEntry *e = find(rec.id);
    if (!e) return -1;
    DWORD w = WaitForSingleObject(e->process.get(), static_cast<DWORD>(static_cast<int32_t>(rec.timeout)));
    if (w == WAIT_TIMEOUT) return kStillRunning;
    DWORD code = 0;
    bool ended = w == WAIT_OBJECT_0 && GetExitCodeProcess(e->process.get(), &code);
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
    winutil::unique_handle thread(pi.hThread), process(pi.hProcess);
    out.ok = true;
    out.id = pi.dwProcessId;
    if (!closeHandle) out.process = std::move(process);
    return out;
}

int tc_process(const TcRequest &req) {
    TcProcessRecord rec;
    int32_t result = -1;
    if (tc_readProcess(req.data, req.length, rec) && rec.bodyOk) {
        switch (rec.operation) {
        case kTcProcessStart: result = start(rec); break;
        case kTcProcessTerminate: result = terminate(rec); break;
        case kTcProcessWait: result = wait(rec); break;
        default: break;
        }
    }
    return tc_replyInt(req, result);
}

void tc_processTableEmpty() {
    while (ProcessEntry *e = entryAfter(nullptr)) drop(e);
}
