// Stand-in for the debugger library ZAMDBG.DLL. Started on a target, a
// debugger asks one question on the caller's thread and then runs a fixed
// session on a thread of its own, as the real debugger's window does: values,
// level, query, a post, a signal, the local entry and the detach. Everything
// it is asked and answered goes to a journal the tests read. A local start
// with the datum "fail" fails after its thread has asked its first question.
#include <windows.h>

#include <cstring>

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
    HANDLE failed = nullptr;  // the thread of a start that failed
    HANDLE asking = nullptr;
};

// The target record read as the library reads it, whatever the caller's
// header says: remote flag, active flag, the debugger's handle at +2, the
// owner after it, the list link, the session id, the thread id or cache
// folder, the source folder (words of the pointer size).
constexpr size_t kWord = sizeof(void *);
const unsigned char *bytesOf(const DbgTarget *t) { return reinterpret_cast<const unsigned char *>(t); }
QvWord wordAt(const DbgTarget *t, size_t offset) {
    QvWord w = 0;
    std::memcpy(&w, bytesOf(t) + offset, kWord);
    return w;
}
int32_t int32At(const DbgTarget *t, size_t offset) {
    int32_t v = 0;
    std::memcpy(&v, bytesOf(t) + offset, 4);
    return v;
}
// The target's first byte says whether the macro runs on the server; a
// remote datum or flag is a number, a local one a text.
bool isRemote(const DbgTarget *t) { return bytesOf(t)[0] != 0; }
void *handleIn(const DbgTarget *t) { return reinterpret_cast<void *>(wordAt(t, 2)); }

// The record of the last target started: remote, active, whether +2 names
// the debugger started, owner, session id, thread id or cache folder, source
// folder.
QvWord g_lastTarget[7];

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
    int32_t o[5] = {};
    char t1[8], t2[64];
    r = entry<DbgEntryStateFn>(d, kDbgEntryState)(t, 10, o, t1, sizeof t1, t2, sizeof t2);
    note("state %d %d %d %d %d %d %s|%s", static_cast<int>(r), o[0], o[1], o[2], o[3], o[4], t1, t2);
    r = entry<DbgEntryNameFn>(d, kDbgEntryName)(t, 20, o, t2, 5);
    note("name %d %d %s", static_cast<int>(r), o[0], t2);
    const int32_t pairs[] = {1, 2, 0, 4, 5, 6};
    DbgItem items[3] = {};
    r = entry<DbgEntryItemsFn>(d, kDbgEntryItems)(t, 30, 3, pairs, items);
    note("items %d %d,%d,%d,%d %d,%d,%d,%d", static_cast<int>(r), items[0].first, items[0].second, items[0].third,
         items[0].fourth, items[2].first, items[2].second, items[2].third, items[2].fourth);
    reinterpret_cast<void(DBGCB *)(DbgTarget *, int32_t, int16_t, const int32_t *)>(d->table->entry[kDbgEntryPostItems])(
        t, 31, 3, pairs);
    r = entry<DbgEntryFindFn>(d, kDbgEntryFind)(t, 40, "abc", o);
    note("find %d %d", static_cast<int>(r), o[0]);
    r = entry<DbgEntryTexts2Fn>(d, kDbgEntryTexts2)(t, 50, 3, o, t1, sizeof t1, t2, sizeof t2);
    note("texts2 %d %d %s|%s", static_cast<int>(r), o[0], t1, t2);
    note("check26 %d %d", static_cast<int>(entry<DbgEntryCheckFn>(d, kDbgEntryCheck26)(t, 60, 1, "ok")),
         static_cast<int>(entry<DbgEntryCheckFn>(d, kDbgEntryCheck26)(t, 60, 1, "no")));
    note("check14 %d", static_cast<int>(entry<DbgEntryCheckFn>(d, kDbgEntryCheck14)(t, 70, 2, "ok")));
    for (int i = 0; i < 4; ++i) {
        char t3[4];
        r = entry<DbgEntryTexts3Fn>(d, kDbgEntryTexts3 + i)(t, 80, o, t1, sizeof t1, t2, sizeof t2, t3, sizeof t3);
        note("texts3 %d %d %d %s|%s|%s", static_cast<int>(r), o[0], o[1], t1, t2, t3);
    }
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

// A debugger whose start fails after its thread asked: the question must
// come back unanswered, and the thread must not be left waiting.
DWORD WINAPI failedSession(void *p) {
    Debugger *d = static_cast<Debugger *>(p);
    SetEvent(d->asking);
    int32_t out[3] = {};
    QvWord r = entry<DbgEntryValuesFn>(d, kDbgEntryValues)(d->target, 5, 6, 7, out);
    note("failed start asked: %d", static_cast<int>(r));
    return 0;
}

int failStart(Debugger *d) {
    d->asking = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    d->failed = CreateThread(nullptr, 0, failedSession, d, 0, nullptr);
    WaitForSingleObject(d->asking, 5000);
    // Long enough for the question to be handed over.
    Sleep(100);
    note("start failed");
    return 0;
}

void recordTarget(const DbgTarget *t, void *handle) {
    const QvWord words[7] = {bytesOf(t)[0], bytesOf(t)[1], handleIn(t) == handle, wordAt(t, 2 + kWord),
                             int32At(t, 2 + 3 * kWord), wordAt(t, 6 + 3 * kWord), wordAt(t, 6 + 4 * kWord)};
    std::memcpy(g_lastTarget, words, sizeof words);
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
    if (d->failed) {
        if (WaitForSingleObject(d->failed, 5000) != WAIT_OBJECT_0) {
            note("failed start still waiting");
            TerminateThread(d->failed, 1);
        }
        CloseHandle(d->failed);
        CloseHandle(d->asking);
    }
    delete d;
    --g_alive;
    note("destroy");
}
int DBGCB start(DbgTarget *target, void *handle, QvWord datum) {
    Debugger *d = static_cast<Debugger *>(handle);
    recordTarget(target, handle);
    if (handleIn(target) != handle) note("start: the target names another debugger");
    if (isRemote(target))
        note("start #%d", static_cast<int>(datum));
    else
        note("start %s", reinterpret_cast<const char *>(datum));
    if (!isRemote(target) && std::strcmp(reinterpret_cast<const char *>(datum), "fail") == 0 && !d->failed)
        return failStart(d);
    // On the interpreter's own thread the request runs at once.
    note("direct query %d", static_cast<int>(entry<DbgEntryQueryFn>(d, kDbgEntryQuery)(target, 4)));
    d->thread = CreateThread(nullptr, 0, session, d, 0, nullptr);
    return d->thread != nullptr;
}
void DBGCB send(DbgTarget *, void *, void *data) { note("send %s", static_cast<const char *>(data)); }
void noteFlag(void *handle, void *data, const char *how) {
    if (isRemote(static_cast<Debugger *>(handle)->target))
        note("flag %s #%d", how, static_cast<int>(reinterpret_cast<intptr_t>(data)));
    else
        note("flag %s %s", how, static_cast<const char *>(data));
}
void DBGCB setFlag(void *handle, void *data) { noteFlag(handle, data, "on"); }
void DBGCB clearFlag(void *handle, void *data) { noteFlag(handle, data, "off"); }
void DBGCB setMode(void *, int value) { note("mode %d", value); }

DbgUiInterface g_ui = {query, anyLeft, create, destroy, start, send, setFlag, clearFlag, setMode};

}  // namespace

extern "C" {

DbgUiInterface *__stdcall ZamGetInterface(void) { return &g_ui; }

int QVSCB ZamDbgTestJournal(char *out, int size) { return g_journal.read(out, size); }
void QVSCB ZamDbgTestReset(void) {
    g_journal.clear();
    std::memset(g_lastTarget, 0, sizeof g_lastTarget);
    g_localSource.clear();
}
void QVSCB ZamDbgTestSource(const char *path) { g_localSource = path ? path : ""; }
void QVSCB ZamDbgTestTarget(QvWord *out) { std::memcpy(out, g_lastTarget, sizeof g_lastTarget); }

}  // extern "C"
