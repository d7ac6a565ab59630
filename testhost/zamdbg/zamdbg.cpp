// Stand-in for the debugger library ZAMDBG.DLL. Started on a target, a
// debugger asks one question on the caller's thread and then runs a fixed
// session on a thread of its own, as the real debugger's window does: values,
// level, query, a post, a signal, the local entry and the detach. Everything
// it is asked and answered goes to a journal the tests read.
#include <windows.h>

#include "journal.h"
#include "zamdbg.h"

namespace {

StandInJournal g_journal;
int g_alive = 0;
std::string g_localSource;  // the fallback's answer; empty: none

int DBGCB fallback(void *, char *path) {
    if (g_localSource.empty()) return 0;
    snprintf(path, 260, "%s", g_localSource.c_str());
    return 1;
}

template <typename... A>
void note(const char *format, A... args) {
    g_journal.note(format, args...);
}

struct Debugger {
    DbgTarget *target;
    const DbgTargetTable *table;
    HANDLE thread = nullptr;
};

template <typename Fn>
Fn entry(const Debugger *d, int n) {
    return reinterpret_cast<Fn>(d->table->entry[n]);
}

DWORD WINAPI session(void *p) {
    Debugger *d = static_cast<Debugger *>(p);
    DbgTarget *t = d->target;
    int32_t out[3] = {};
    QvWord r = entry<DbgEntryValuesFn>(d, kDbgEntryValues)(t, 5, 6, 7, out);
    note("values %d %d %d %d", static_cast<int>(r), out[0], out[1], out[2]);
    int32_t v = -1;
    int32_t level = entry<DbgEntryLevelFn>(d, kDbgEntryLevel)(t, &v);
    note("level %d %d", level, v);
    note("query %d", static_cast<int>(entry<DbgEntryQueryFn>(d, kDbgEntryQuery)(t, 3)));
    note("post4 %d", static_cast<int>(entry<DbgEntryPostFn>(d, kDbgEntryPost4)(t, 9, 0)));
    // Two sources: the interpreter's (5) and, for 6, the fallback's file.
    for (int32_t value : {5, 6}) {
        DbgSource *src = entry<DbgEntryFetchFn>(d, kDbgEntryFetch)(t, value, fallback, nullptr);
        if (!src) {
            note("source %d none", value);
            continue;
        }
        char text[64] = {};
        int32_t size = entry<DbgEntrySizeFn>(d, kDbgEntrySize)(t, src);
        int32_t got = entry<DbgEntryReadFn>(d, kDbgEntryRead)(t, src, text, sizeof text - 1);
        entry<DbgEntryCloseFn>(d, kDbgEntryClose)(t, src);
        note("source %d %d %d %s", value, size, got, text);
    }
    entry<DbgEntrySignalFn>(d, kDbgEntrySignal)(t);
    int32_t local = -1;
    entry<DbgEntryLocalFn>(d, kDbgEntryLocal)(t, &local);
    note("local %d", local);
    note("detach %d", static_cast<int>(entry<DbgEntryDetachFn>(d, kDbgEntryDetach)(t, 42)));
    // Detached: nothing more is asked.
    note("query after %d", static_cast<int>(entry<DbgEntryQueryFn>(d, kDbgEntryQuery)(t, 3)));
    return 0;
}

int DBGCB query(void *) { return 2; }
int DBGCB anyLeft() { return g_alive; }
void *DBGCB create(DbgTarget *target, const DbgTargetTable *table) {
    note("create %d", table->version);
    ++g_alive;
    return new Debugger{target, table};
}
void DBGCB destroy(void *handle) {
    Debugger *d = static_cast<Debugger *>(handle);
    if (d->thread) {
        WaitForSingleObject(d->thread, INFINITE);
        CloseHandle(d->thread);
    }
    delete d;
    --g_alive;
    note("destroy");
}
int DBGCB start(DbgTarget *target, void *handle, QvWord datum) {
    Debugger *d = static_cast<Debugger *>(handle);
    note("start %s", reinterpret_cast<const char *>(datum));
    // On the interpreter's own thread the request runs at once.
    note("direct query %d", static_cast<int>(entry<DbgEntryQueryFn>(d, kDbgEntryQuery)(target, 4)));
    d->thread = CreateThread(nullptr, 0, session, d, 0, nullptr);
    return d->thread != nullptr;
}
void DBGCB send(DbgTarget *, void *, void *data) { note("send %s", static_cast<const char *>(data)); }
void DBGCB setFlag(void *, void *data) { note("flag on %s", static_cast<const char *>(data)); }
void DBGCB clearFlag(void *, void *data) { note("flag off %s", static_cast<const char *>(data)); }
void DBGCB setMode(void *, int value) { note("mode %d", value); }

DbgUiInterface g_ui = {query, anyLeft, create, destroy, start, send, setFlag, clearFlag, setMode};

}  // namespace

extern "C" {

DbgUiInterface *__stdcall ZamGetInterface(void) { return &g_ui; }

int QVSCB ZamDbgTestJournal(char *out, int size) { return g_journal.read(out, size); }
void QVSCB ZamDbgTestReset(void) {
    g_journal.clear();
    g_localSource.clear();
}
void QVSCB ZamDbgTestSource(const char *path) { g_localSource = path ? path : ""; }

}  // extern "C"
