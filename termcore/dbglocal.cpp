// Local debugger sessions: the debugger library ZAMDBG.DLL works on an
// interpreter of this process. The debugger asks through the target table;
// a request made on the interpreter's thread runs at once, one made on the
// debugger's own thread is handed to the interpreter's thread, which serves
// requests in DbgLocalLoop until the debugger detaches.
#include "dbglocal.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dbgtarget.h"
#include "oemtext.h"
#include "winfile.h"
#include "wire.h"
#include "zamdbg.h"

// The session record the interpreter holds as its debugger (ZamSetDbg) and
// hands back to its debug interface: packed, as the interpreter reads it.
#pragma pack(push, 1)
struct DbgSessionRecord {
    uint8_t unused0;
    DbgTarget *target;
    const ZamDbgInterface *dbg;
    void *instance;
    int32_t result;              // 3: not started
    volatile uint8_t stop;
    uint8_t unused1[4];
    DbgHandler handler;
    HANDLE go;                   // both auto-reset
    HANDLE done;
    int32_t op;                  // the request in flight
    const unsigned char *request;
    void *reply;
};
#pragma pack(pop)
static_assert(offsetof(DbgSessionRecord, target) == 1 && offsetof(DbgSessionRecord, result) == 1 + 3 * kDbgPtr &&
                  offsetof(DbgSessionRecord, stop) == 5 + 3 * kDbgPtr &&
                  offsetof(DbgSessionRecord, handler) == 10 + 3 * kDbgPtr &&
                  offsetof(DbgSessionRecord, op) == 10 + 6 * kDbgPtr &&
                  sizeof(DbgSessionRecord) == 14 + 8 * kDbgPtr,
              "session layout");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(DbgSessionRecord, dbg) == 5 && offsetof(DbgSessionRecord, instance) == 9 &&
                  offsetof(DbgSessionRecord, result) == 13 && offsetof(DbgSessionRecord, stop) == 17 &&
                  offsetof(DbgSessionRecord, handler) == 22 && offsetof(DbgSessionRecord, go) == 26 &&
                  offsetof(DbgSessionRecord, done) == 30 && offsetof(DbgSessionRecord, op) == 34 &&
                  offsetof(DbgSessionRecord, request) == 38 && offsetof(DbgSessionRecord, reply) == 42 &&
                  sizeof(DbgSessionRecord) == 46,
              "session record on i686");
#endif

// What only we read follows the record.
struct DbgSession : DbgSessionRecord {
    int32_t id = 0;              // the owner word of its requests
    size_t length = 0;           // of the request in flight
    size_t replySize = 0;
    size_t replyLength = 0;
    // Taken by a thread handing a request over and by the interpreter's thread
    // when it stops serving (a failed start, a detach), so that no request
    // waits on a thread that no longer serves.
    CRITICAL_SECTION handing;
    bool handingReady = false;
    bool serving = false;        // the interpreter's thread takes requests
    DbgSession() : DbgSessionRecord{} {}
};

namespace {

std::vector<DbgSession *> g_sessions;  // by id - 1; null once closed

DbgSession *sessionOf(int32_t id) {
    return id > 0 && static_cast<size_t>(id) <= g_sessions.size() ? g_sessions[id - 1] : nullptr;
}

// --- the receiving side: requests run against the interpreter -------------

enum : int { kOpState = 0, kOpName = 1, kOpItems = 5, kOpPostItems = 6, kOpFind = 7, kOpTexts2 = 9, kOpTexts3 = 10,
             kOpTexts3Last = 13, kOpCheck14 = 14, kOpCheck26 = 26 };
enum : int { kOpValues = 2, kOpPost3 = 3, kOpPost4 = 4, kOpPost8 = 8, kOpPost15 = 15, kOpSource = 16,
             kOpSourceRead = 17, kOpSourceSize = 18, kOpSourceClose = 19, kOpNone = 20, kOpDetach = 21,
             kOpQuery = 23, kOpLevel = 24 };

// The largest block one source read asks for.
constexpr int32_t kSourceBlock = 8192;
// Texts the interpreter writes are cut to this, and so are the sizes asked.
constexpr size_t kTextMax = 4096;

size_t textLimit(int32_t size) {
    return size <= 0 ? 0 : static_cast<size_t>(size) < kTextMax ? static_cast<size_t>(size) : kTextMax;
}

// A text of the interpreter, cut to fit limit bytes with its terminator.
void putText(WireWriter &w, const std::vector<char> &text, size_t limit) {
    size_t n = limit ? strnlen(text.data(), limit - 1) : 0;
    w.bytes(text.data(), n);
    w.u8(0);
}

// Texts the interpreter fills: one buffer per size asked.
std::vector<char> textBuffer(size_t limit) { return std::vector<char>(limit + 1, '\0'); }

int32_t number(const ZamDbgInterface *d, int slot, void *in, QvWord object) {
    return static_cast<int32_t>(zdb_call(d, slot, in, object));
}

// Requests with two values and a text (operations 14 and 26): the answer.
void checkRequest(WireReader &r, const ZamDbgInterface *d, void *in, int op, WireWriter &w) {
    int32_t a = r.i32(), b = r.i32();
    std::string_view text = r.text();
    if (!r.ok()) return;
    std::string t(text);
    QvWord object = zdb_call(d, kZdbObject, in, a);
    if (op == kOpCheck14) object = zdb_call(d, kZdbCheck14Object, in, object);
    w.i32(static_cast<int32_t>(zdb_call(d, op == kOpCheck14 ? kZdbCheck14 : kZdbCheck26, in, object, b, t.c_str())));
    w.i32(0);
}

size_t dispatchMore(int op, WireReader &r, const ZamDbgInterface *d, void *in, WireWriter &w) {
    switch (op) {
    case kOpState: {
        int32_t value = r.i32();
        size_t size1 = textLimit(r.i32());
        if (!r.ok()) return 0;
        QvWord out[5] = {};
        std::vector<char> t1 = textBuffer(size1), t2 = textBuffer(kTextMax);
        QvWord object = zdb_call(d, kZdbObject, in, value);
        int32_t result = static_cast<int32_t>(zdb_call(d, kZdbState, in, object, out, t1.data(), size1, t2.data(), kTextMax));
        w.i32(result);
        w.i32(number(d, kZdbNumber28, in, out[0]));
        w.i32(number(d, kZdbNumber34, in, out[1]));
        w.i32(number(d, kZdbNumber30, in, out[2]));
        w.i32(number(d, kZdbNumber, in, out[3]));
        w.i32(static_cast<int32_t>(out[4]));
        putText(w, t1, size1 + 1);
        putText(w, t2, w.left());
        break;
    }
    case kOpName: {
        int32_t value = r.i32();
        size_t size = textLimit(r.i16());
        if (!r.ok()) return 0;
        QvWord out = 0;
        std::vector<char> t = textBuffer(size);
        int32_t result = static_cast<int32_t>(zdb_call(d, kZdbName, in, zdb_call(d, kZdbObject, in, value), &out, t.data(), size));
        w.i32(result);
        w.i32(number(d, kZdbNumber30, in, out));
        putText(w, t, size + 1);
        break;
    }
    case kOpItems:
    case kOpPostItems: {
        int32_t value = r.i32();
        int16_t count = r.i16();
        if (!r.ok() || count < 0 || !r.canHold(static_cast<size_t>(count), 8)) return 0;
        std::vector<int32_t> pairs(2 * static_cast<size_t>(count));
        for (int32_t &p : pairs) p = r.i32();
        QvWord object = zdb_call(d, kZdbObject, in, value);
        if (op == kOpPostItems) {
            zdb_call(d, kZdbPostItems, in, object, count, pairs.data());
            return 0;
        }
        std::vector<DbgItem> items(static_cast<size_t>(count));
        zdb_call(d, kZdbItems, in, object, count, pairs.data(), items.data());
        for (const DbgItem &it : items) {
            w.i32(number(d, kZdbNumber, in, it.first));
            w.i32(it.second);
            w.i16(it.third);
            w.i16(it.fourth);
        }
        break;
    }
    case kOpFind: {
        int32_t value = r.i32();
        std::string name(r.text());
        if (!r.ok()) return 0;
        QvWord out = 0;
        int32_t result = static_cast<int32_t>(zdb_call(d, kZdbFind, in, zdb_call(d, kZdbObject, in, value), name.c_str(), &out));
        w.i32(result);
        w.i32(0);
        w.i32(number(d, kZdbNumber36, in, out));
        break;
    }
    case kOpTexts2: {
        int32_t a = r.i32(), b = r.i32();
        size_t size1 = textLimit(r.i32()), size2 = textLimit(r.i32());
        if (!r.ok()) return 0;
        QvWord out = 0;
        std::vector<char> t1 = textBuffer(size1), t2 = textBuffer(size2);
        int32_t result = static_cast<int32_t>(
            zdb_call(d, kZdbTexts2, in, zdb_call(d, kZdbObject, in, a), b, &out, t1.data(), size1, t2.data(), size2));
        w.i32(result);
        w.i32(number(d, kZdbNumber39, in, out));
        putText(w, t1, size1 + 1);
        putText(w, t2, size2 + 1);
        break;
    }
    case kOpCheck14:
    case kOpCheck26:
        checkRequest(r, d, in, op, w);
        break;
    default: {
        if (op < kOpTexts3 || op > kOpTexts3Last) return 0;
        int32_t value = r.i32();
        size_t size[3];
        for (size_t &n : size) n = textLimit(r.i32());
        if (!r.ok()) return 0;
        QvWord out[2] = {};
        std::vector<char> t[3] = {textBuffer(size[0]), textBuffer(size[1]), textBuffer(size[2])};
        int32_t result = static_cast<int32_t>(zdb_call(d, kZdbTexts3 + (op - kOpTexts3), in, zdb_call(d, kZdbObject, in, value),
                                                       op, out, t[0].data(), size[0], t[1].data(), size[1],
                                                       t[2].data(), size[2]));
        w.i32(result);
        w.i32(number(d, kZdbNumber37, in, out[0]));
        w.i32(number(d, kZdbNumber38, in, out[1]));
        for (int i = 0; i < 3; ++i) putText(w, t[i], size[i] + 1);
        break;
    }
    }
    return w.ok() ? w.size() : 0;
}

size_t dispatch(int op, const unsigned char *request, size_t length, unsigned char *reply, size_t size) {
    WireReader r(request, length);
    DbgSession *s = sessionOf(r.i32());
    if (!s || !r.ok()) return 0;
    const ZamDbgInterface *d = s->dbg;
    void *in = s->instance;
    WireWriter w(reply, reply ? size : 0);
    switch (op) {
    case kOpValues: {
        int32_t a = r.i32(), b = r.i32(), c = r.i32();
        if (!r.ok()) return 0;
        int32_t out[3] = {};
        QvWord object = zdb_call(d, kZdbObject, in, a);
        int32_t result = static_cast<int32_t>(zdb_call(d, kZdbValues, in, object, b, c, out));
        out[0] = static_cast<int32_t>(zdb_call(d, kZdbNumber, in, static_cast<QvWord>(out[0])));
        w.i32(result);
        for (int32_t o : out) w.i32(o);
        break;
    }
    case kOpPost3: case kOpPost4: case kOpPost8: case kOpPost15: {
        int32_t a = r.i32();
        int32_t b = op == kOpPost3 ? r.i32() : 0;
        if (!r.ok()) return 0;
        QvWord object = zdb_call(d, kZdbObject, in, a);
        int slot = op == kOpPost3 ? kZdbPost3 : op == kOpPost4 ? kZdbPost4 : op == kOpPost8 ? kZdbPost8 : kZdbPost15;
        zdb_call(d, slot, in, object, b);
        return 0;
    }
    case kOpSource: {
        int32_t value = r.i32();
        if (!r.ok()) return 0;
        QvWord source = zdb_call(d, kZdbSource, in, zdb_call(d, kZdbObject, in, value));
        w.i32(source ? static_cast<int32_t>(zdb_call(d, kZdbSourceNumber, in, source)) : 0);
        w.i32(0);
        break;
    }
    case kOpSourceRead: {
        int32_t handle = r.i32(), want = r.i32();
        if (!r.ok() || want < 0) return 0;
        size_t room = size >= 4 ? size - 4 : 0;
        size_t n = static_cast<size_t>(want) < room ? static_cast<size_t>(want) : room;
        QvWord got = zdb_call(d, kZdbSourceRead, in, handle, w.here() + 4, n);
        if (got < 0 || static_cast<size_t>(got) > n) got = 0;
        w.i32(static_cast<int32_t>(got));
        w.advance(static_cast<size_t>(got));
        break;
    }
    case kOpSourceSize: {
        int32_t handle = r.i32();
        if (!r.ok()) return 0;
        w.i32(static_cast<int32_t>(zdb_call(d, kZdbSourceSize, in, handle)));
        w.i32(0);
        break;
    }
    case kOpSourceClose: {
        int32_t handle = r.i32();
        if (r.ok()) zdb_call(d, kZdbSourceClose, in, handle);
        return 0;
    }
    case kOpDetach: {
        int32_t value = r.i32();
        s->result = r.ok() ? value : 0;
        s->stop = 1;
        return 0;
    }
    case kOpQuery:
        w.i32(static_cast<int32_t>(zdb_call(d, kZdbQuery, in)));
        w.i32(0);
        break;
    case kOpLevel:
        w.i32(1);
        w.i32(0);
        break;
    default:
        return dispatchMore(op, r, d, in, w);
    }
    return w.ok() ? w.size() : 0;
}

size_t dispatchPlain(int op, const unsigned char *request, size_t length, void *reply, size_t size) {
    return dispatch(op, request, length, static_cast<unsigned char *>(reply), size);
}

size_t dispatchAlloc(int op, const unsigned char *request, size_t length, void *reply, size_t) {
    unsigned char *buf = reply ? static_cast<DbgReplyObject *>(reply)->buffer(kDbgAllocReply) : nullptr;
    return dispatch(op, request, length, buf, buf ? kDbgAllocReply : 0);
}

// --- the sending side: routing of one request ------------------------------

DbgSession *sessionOfTarget(const DbgTarget *t) { return reinterpret_cast<DbgSession *>(t->owner); }

// A request: the owner word, then the entry's values.
struct Request {
    std::vector<unsigned char> buf;
    WireWriter w;
    explicit Request(DbgTarget *t, size_t size = 64) : buf(size), w(buf.data(), size) {
        w.i32(t->remote ? static_cast<int32_t>(t->owner) : sessionOfTarget(t)->id);
    }
};

const char kChannel[] = "ZamDebug";
DbgChannelHost g_channel;

// A remote request is the server's to answer. The length the host reports
// decides, whatever the call returns: 0 is no answer, and a reply longer
// than the room given counts as no more than that room.
size_t remoteCall(int op, const Request &req, unsigned char *reply, size_t size) {
    ZamExtCallBacks *ext = g_channel.ext;
    if (!ext || !ext->TransactChannel) return 0;
    unsigned got = 0;
    int room = size < 0x7fffffff ? static_cast<int>(size) : 0x7fffffff;
    ext->TransactChannel(req.buf.data(), static_cast<int>(req.w.size()), kChannel, op, reply, room, &got, -1);
    return got < size ? got : size;
}

void remotePost(int op, const Request &req) {
    ZamExtCallBacks *ext = g_channel.ext;
    if (ext && ext->SendChannel) ext->SendChannel(req.buf.data(), static_cast<int>(req.w.size()), kChannel, op);
}

// From the debugger's thread a request waits until the interpreter's thread
// has served it; one made while that thread serves none (a start that
// failed, a session that ended) is answered with nothing. A detach goes to a
// target already marked inactive.
size_t handOff(DbgTarget *t, int op, const Request &req, unsigned char *reply, size_t size, bool detach = false) {
    if (t->remote) {
        if (reply) return remoteCall(op, req, reply, size);
        remotePost(op, req);
        return 0;
    }
    DbgSession *s = sessionOfTarget(t);
    if (GetCurrentThreadId() == t->thread) return dispatch(op, req.buf.data(), req.w.size(), reply, size);
    EnterCriticalSection(&s->handing);
    if (!s->serving || (!detach && !t->active)) {
        LeaveCriticalSection(&s->handing);
        return 0;
    }
    s->op = op;
    s->request = req.buf.data();
    s->length = req.w.size();
    s->reply = reply;
    s->replySize = size;
    s->replyLength = size;
    SetEvent(s->go);
    LeaveCriticalSection(&s->handing);
    WaitForSingleObject(s->done, INFINITE);
    return s->replyLength;
}

size_t dbgCall(DbgTarget *t, int op, const Request &req, unsigned char *reply, size_t size) {
    return t->active ? handOff(t, op, req, reply, size) : 0;
}

QvWord dbgPost(DbgTarget *t, int op, const Request &req) {
    if (!t->active) return 0;
    handOff(t, op, req, nullptr, 0);
    return 1;
}

QvWord DBGCB entryValues(DbgTarget *t, int32_t a, int32_t b, int32_t c, int32_t *out) {
    Request q(t);
    q.w.i32(a);
    q.w.i32(b);
    q.w.i32(c);
    unsigned char reply[16];
    if (dbgCall(t, kOpValues, q, reply, sizeof reply) < 16) return 0;
    WireReader r(reply, sizeof reply);
    int32_t result = r.i32();
    for (int i = 0; i < 3; ++i) out[i] = r.i32();
    return result;
}

template <int Op, int Words>
QvWord DBGCB entryPost(DbgTarget *t, int32_t a, int32_t b) {
    Request q(t);
    q.w.i32(a);
    if (Words > 1) q.w.i32(b);
    return dbgPost(t, Op, q);
}

// The remote signal is an empty post, which hosts before 82 do not know.
constexpr uint16_t kSignalVersion = 82;

void DBGCB entrySignal(DbgTarget *t) {
    if (t->remote) {
        ZamExtCallBacks *ext = g_channel.ext;
        uint16_t version = g_channel.version ? g_channel.version() : 0;
        if (ext && ext->SendChannel && version >= kSignalVersion) ext->SendChannel(nullptr, 0, nullptr, 0);
        return;
    }
    DbgSession *s = sessionOfTarget(t);
    zdb_call(s->dbg, kZdbSignal, static_cast<DbgSessionRecord *>(s), s->instance);
}

QvWord DBGCB entryDetach(DbgTarget *t, int32_t value) {
    if (!t->active) return value;
    // Later requests find the target inactive; this one still goes.
    t->active = 0;
    Request q(t);
    q.w.i32(value);
    handOff(t, kOpDetach, q, nullptr, 0, true);
    return 1;
}

void DBGCB entryLocal(DbgTarget *, int32_t *out) {
    if (out) *out = 0;
}

QvWord DBGCB entryQuery(DbgTarget *t, int32_t value) {
    Request q(t);
    q.w.i32(value);
    unsigned char reply[8];
    if (dbgCall(t, kOpQuery, q, reply, sizeof reply) < 8) return 0;
    return WireReader(reply, 4).i32();
}

// The lowest level the interpreter asks for: a level below 2 wins, at 2 the
// smaller value.
int32_t DBGCB entryLevel(DbgTarget *t, int32_t *value) {
    int32_t level = 2, v = 0;
    Request q(t);
    q.w.i32(0);
    unsigned char reply[8];
    if (t->active && dbgCall(t, kOpLevel, q, reply, sizeof reply) >= 8) {
        WireReader r(reply, sizeof reply);
        int32_t l = r.i32(), lv = r.i32();
        if (l < 2) {
            level = l;
            v = lv;
        } else if (l == 2 && lv < v) {
            v = lv;
        }
    }
    if (value) *value = v;
    return level;
}

}  // namespace

// The source record the debugger holds: a source of the interpreter or the
// server (by id), or, with id 0, a local file that is read.
struct DbgSourceRecord {
    int32_t handle;
    std::FILE *file;     // id 0: the file read
    int32_t serverTime;
};
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DbgSourceRecord) == 12 && offsetof(DbgSourceRecord, file) == 4 &&
                  offsetof(DbgSourceRecord, serverTime) == 8,
              "source record on i686");
#endif
// A server's text is copied into a cache file while it is read; the copy
// stays beside the cache under a name of its own and becomes the cache only
// once the whole text was read and written.
struct DbgSource : DbgSourceRecord {
    std::string cachePath;
    winutil::unique_handle cache;
    std::wstring cacheTemp;
    int64_t written = 0;
    int64_t size = -1;   // as the server reported it; -1 not asked
    bool atEnd = false;  // a read came back short of what it asked
    DbgSource() : DbgSourceRecord{} {}
};

namespace {

enum : int { kOpSourceInfo = 25 };

size_t namePart(const std::string &path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? 0 : slash + 1;
}

// The path with its extension replaced (or added).
std::string withExtension(const std::string &path, const char *ext) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < namePart(path)) dot = path.size();
    return path.substr(0, dot) + ext;
}

bool hasText(const char *text) { return text && *text; }

std::string joinPath(const std::string &dir, const std::string &name) {
    if (dir.empty()) return name;
    char last = dir.back();
    return last == '\\' || last == '/' ? dir + name : dir + "\\" + name;
}

// A copy not older than the server's text: the source folder's ".mac" first,
// then the cache's ".ma~". Names are the server's, in the OEM code page.
std::FILE *openFreshCopy(const DbgTarget *t, const std::string &path, int32_t serverTime) {
    std::string candidates[2];
    if (hasText(t->sourceDir)) candidates[0] = joinPath(t->sourceDir, withExtension(path, ".mac"));
    if (hasText(t->cacheDir)) candidates[1] = joinPath(t->cacheDir, withExtension(path.substr(namePart(path)), ".ma~"));
    for (const std::string &c : candidates) {
        FileInfo info;
        if (c.empty() || !file_infoByPath(c, info) || info.directory || info.modification < serverTime) continue;
        if (std::FILE *f = _wfopen(oem_toWide(c).c_str(), L"rb")) return f;
    }
    return nullptr;
}

void dropCache(DbgSource *src) {
    src->cache.reset();
    file_delete(src->cacheTemp);
    src->cacheTemp.clear();
}

// A text of which a part was lost, or whose end was never seen, is not kept:
// it must reach the size the server gave, or, without one, a short read.
void finishCache(DbgSource *src) {
    if (!src->cache) return;
    bool whole = src->size >= 0 ? src->written == src->size : src->atEnd;
    bool ok = whole && file_setTimes(src->cache.get(), src->serverTime, src->serverTime) && src->cache.close() &&
              file_replace(src->cacheTemp, src->cachePath);
    if (ok) src->cacheTemp.clear();
    dropCache(src);
}

// The interpreter's text of a source (a remote target's from a fresh local
// copy when there is one), or a local file the fallback names.
DbgSource *DBGCB entryFetch(DbgTarget *t, int32_t value, DbgSourceFallback fallback, void *datum) {
    if (!t->active) return nullptr;
    DbgSource *src = new (std::nothrow) DbgSource;
    if (!src) return nullptr;
    std::string path;
    if (t->remote) {
        Request q(t);
        q.w.i32(value);
        q.w.i32(kHostPathMax);
        unsigned char reply[4 + kHostPathMax];
        size_t n = dbgCall(t, kOpSourceInfo, q, reply, sizeof reply);
        if (n >= 4) {
            WireReader r(reply, n);
            src->serverTime = r.i32();
            size_t len = strnlen(reinterpret_cast<const char *>(r.here()), r.left());
            path.assign(reinterpret_cast<const char *>(r.here()), len < kHostPathMax ? len : kHostPathMax - 1);
            if (!path.empty() && (src->file = openFreshCopy(t, path, src->serverTime)) != nullptr) return src;
        }
    }
    Request q(t);
    q.w.i32(value);
    unsigned char reply[8];
    if (dbgCall(t, kOpSource, q, reply, sizeof reply) >= 8) {
        WireReader r(reply, sizeof reply);
        src->handle = r.i32();
        if (src->handle) {
            if (t->remote && hasText(t->cacheDir) && !path.empty()) {
                src->cachePath = joinPath(t->cacheDir, withExtension(path.substr(namePart(path)), ".ma~"));
                src->cache = file_createBeside(src->cachePath, src->cacheTemp);
            }
            return src;
        }
    }
    char local[kHostPathMax] = "";
    if (fallback && fallback(datum, local)) {
        local[sizeof local - 1] = '\0';
        src->file = std::fopen(local, "rb");
        if (src->file) return src;
    }
    delete src;
    return nullptr;
}

// A server source's bytes as they pass, into the cache.
void toCache(DbgSource *src, const unsigned char *data, int32_t n) {
    if (!src->cache) return;
    if (!file_writeAll(src->cache.get(), data, static_cast<size_t>(n))) {
        dropCache(src);
        return;
    }
    src->written += n;
}

int32_t DBGCB entryRead(DbgTarget *t, DbgSource *src, void *buffer, int32_t size) {
    if (!src || !buffer || size <= 0) return 0;
    if (!src->handle)
        return src->file ? static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(size), src->file)) : 0;
    int32_t total = 0;
    while (total < size) {
        int32_t want = size - total < kSourceBlock ? size - total : kSourceBlock;
        Request q(t);
        q.w.i32(src->handle);
        q.w.i32(want);
        std::vector<unsigned char> reply(4 + static_cast<size_t>(want));
        size_t n = dbgCall(t, kOpSourceRead, q, reply.data(), reply.size());
        int32_t got = n >= 4 ? WireReader(reply.data(), 4).i32() : -1;
        if (got < 0 || static_cast<size_t>(got) > n - 4) {
            // No answer, or one that does not hold what it claims: the
            // cache would miss these bytes.
            dropCache(src);
            break;
        }
        std::memcpy(static_cast<unsigned char *>(buffer) + total, reply.data() + 4, static_cast<size_t>(got));
        toCache(src, reply.data() + 4, got);
        total += got;
        if (got < want) {
            src->atEnd = true;
            break;
        }
    }
    return total;
}

int32_t DBGCB entrySize(DbgTarget *t, DbgSource *src) {
    if (!src) return 0;
    if (!src->handle) {
        if (!src->file) return 0;
        long at = std::ftell(src->file);
        if (at < 0 || std::fseek(src->file, 0, SEEK_END) != 0) return 0;
        long end = std::ftell(src->file);
        std::fseek(src->file, at, SEEK_SET);
        return end < 0 ? 0 : static_cast<int32_t>(end);
    }
    Request q(t);
    q.w.i32(src->handle);
    unsigned char reply[8];
    if (dbgCall(t, kOpSourceSize, q, reply, sizeof reply) < 8) return 0;
    int32_t size = WireReader(reply, 4).i32();
    src->size = size;
    return size;
}

void DBGCB entryClose(DbgTarget *t, DbgSource *src) {
    if (!src) return;
    if (src->handle) {
        Request q(t);
        q.w.i32(src->handle);
        dbgPost(t, kOpSourceClose, q);
    }
    if (src->file) std::fclose(src->file);
    // Stamped with the server's time, the copy counts as fresh next time.
    finishCache(src);
    delete src;
}

// A text of the reply into the caller's buffer of size bytes; a text the
// reply cuts short ends with the reply.
void copyText(WireReader &r, char *out, int32_t size) {
    const char *at = reinterpret_cast<const char *>(r.here());
    std::string_view text(at, strnlen(at, r.left()));
    r.skip(text.size() < r.left() ? text.size() + 1 : text.size());
    if (!out || size <= 0) return;
    size_t n = text.size() < static_cast<size_t>(size) - 1 ? text.size() : static_cast<size_t>(size) - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// Room for a reply with texts of the sizes the caller gives.
size_t replyRoom(size_t fixed, std::initializer_list<int32_t> sizes) {
    for (int32_t n : sizes) fixed += textLimit(n) + 1;
    return fixed;
}

// A call whose reply carries texts of the given sizes after fixed bytes.
struct TextReply {
    std::vector<unsigned char> buf;
    size_t n = 0;
};
TextReply callForTexts(DbgTarget *t, int op, const Request &q, size_t fixed, std::initializer_list<int32_t> sizes) {
    TextReply rep;
    rep.buf.resize(replyRoom(fixed, sizes));
    rep.n = dbgCall(t, op, q, rep.buf.data(), rep.buf.size());
    return rep;
}

QvWord DBGCB entryState(DbgTarget *t, int32_t value, int32_t *out, char *t1, int32_t s1, char *t2, int32_t s2) {
    Request q(t);
    q.w.i32(value);
    q.w.i32(s1);
    TextReply rep = callForTexts(t, kOpState, q, 24, {s1, s2});
    if (rep.n <= 25) return 0;
    WireReader r(rep.buf.data(), rep.n);
    int32_t result = r.i32();
    for (int i = 0; i < 5; ++i) out[i] = r.i32();
    copyText(r, t1, s1);
    copyText(r, t2, s2);
    return result;
}

QvWord DBGCB entryName(DbgTarget *t, int32_t value, int32_t *out, char *text, int16_t size) {
    Request q(t);
    q.w.i32(value);
    q.w.i16(size);
    TextReply rep = callForTexts(t, kOpName, q, 8, {size});
    if (rep.n <= 8) return 0;
    WireReader r(rep.buf.data(), rep.n);
    int32_t result = r.i32();
    *out = r.i32();
    copyText(r, text, size);
    return result;
}

QvWord DBGCB entryItems(DbgTarget *t, int32_t value, int16_t count, const int32_t *pairs, DbgItem *out) {
    if (count < 0) return 0;
    Request q(t, 10 + 8 * static_cast<size_t>(count));
    q.w.i32(value);
    q.w.i16(count);
    for (int i = 0; i < 2 * count; ++i) q.w.i32(pairs[i]);
    std::vector<unsigned char> reply(12 * static_cast<size_t>(count) + 1);
    size_t n = dbgCall(t, kOpItems, q, reply.data(), reply.size());
    if (n < 12 * static_cast<size_t>(count)) return 0;
    WireReader r(reply.data(), n);
    QvWord set = 0;
    for (int i = 0; i < count; ++i) {
        out[i].first = r.i32();
        out[i].second = r.i32();
        out[i].third = r.i16();
        out[i].fourth = r.i16();
        if (out[i].first) ++set;
    }
    return set;
}

void DBGCB entryPostItems(DbgTarget *t, int32_t value, int16_t count, const int32_t *pairs) {
    if (count < 0) return;
    Request q(t, 10 + 8 * static_cast<size_t>(count));
    q.w.i32(value);
    q.w.i16(count);
    for (int i = 0; i < 2 * count; ++i) q.w.i32(pairs[i]);
    dbgPost(t, kOpPostItems, q);
}

QvWord DBGCB entryFind(DbgTarget *t, int32_t value, const char *name, int32_t *out) {
    std::string_view n = name ? name : "";
    if (n.size() > kTextMax) n = n.substr(0, kTextMax);
    Request q(t, 9 + n.size());
    q.w.i32(value);
    q.w.text(n);
    unsigned char reply[12];
    if (dbgCall(t, kOpFind, q, reply, sizeof reply) <= 11) return 0;
    WireReader r(reply, sizeof reply);
    int32_t result = r.i32();
    r.i32();
    *out = r.i32();
    return result;
}

QvWord DBGCB entryTexts2(DbgTarget *t, int32_t a, int32_t b, int32_t *out, char *t1, int32_t s1, char *t2, int32_t s2) {
    Request q(t);
    q.w.i32(a);
    q.w.i32(b);
    q.w.i32(s1);
    q.w.i32(s2);
    TextReply rep = callForTexts(t, kOpTexts2, q, 8, {s1, s2});
    if (rep.n <= 7) return 0;
    WireReader r(rep.buf.data(), rep.n);
    int32_t result = r.i32();
    *out = r.i32();
    copyText(r, t1, s1);
    copyText(r, t2, s2);
    return result;
}

template <int Op>
QvWord DBGCB entryCheck(DbgTarget *t, int32_t a, int32_t b, const char *text) {
    std::string_view v = text ? text : "";
    if (v.size() > kTextMax) v = v.substr(0, kTextMax);
    Request q(t, 13 + v.size());
    q.w.i32(a);
    q.w.i32(b);
    q.w.text(v);
    unsigned char reply[8];
    return dbgCall(t, Op, q, reply, sizeof reply) >= 8 && WireReader(reply, 4).i32() > 0;
}

template <int Op>
QvWord DBGCB entryTexts3(DbgTarget *t, int32_t value, int32_t *out, char *t1, int32_t s1, char *t2, int32_t s2, char *t3,
                         int32_t s3) {
    Request q(t);
    q.w.i32(value);
    q.w.i32(s1);
    q.w.i32(s2);
    q.w.i32(s3);
    TextReply rep = callForTexts(t, Op, q, 12, {s1, s2, s3});
    if (rep.n <= 12) return 0;
    WireReader r(rep.buf.data(), rep.n);
    int32_t result = r.i32();
    out[0] = r.i32();
    out[1] = r.i32();
    copyText(r, t1, s1);
    copyText(r, t2, s2);
    copyText(r, t3, s3);
    return result;
}

DbgTargetTable makeTable() {
    DbgTargetTable t{};
    t.version = kDbgTargetTableVersion;
    t.entry[kDbgEntryState] = reinterpret_cast<void *>(entryState);
    t.entry[kDbgEntryName] = reinterpret_cast<void *>(entryName);
    t.entry[kDbgEntryItems] = reinterpret_cast<void *>(entryItems);
    t.entry[kDbgEntryPostItems] = reinterpret_cast<void *>(entryPostItems);
    t.entry[kDbgEntryFind] = reinterpret_cast<void *>(entryFind);
    t.entry[kDbgEntryTexts2] = reinterpret_cast<void *>(entryTexts2);
    t.entry[kDbgEntryCheck26] = reinterpret_cast<void *>(entryCheck<kOpCheck26>);
    t.entry[kDbgEntryCheck14] = reinterpret_cast<void *>(entryCheck<kOpCheck14>);
    t.entry[kDbgEntryTexts3] = reinterpret_cast<void *>(entryTexts3<kOpTexts3>);
    t.entry[kDbgEntryTexts3 + 1] = reinterpret_cast<void *>(entryTexts3<kOpTexts3 + 1>);
    t.entry[kDbgEntryTexts3 + 2] = reinterpret_cast<void *>(entryTexts3<kOpTexts3 + 2>);
    t.entry[kDbgEntryTexts3 + 3] = reinterpret_cast<void *>(entryTexts3<kOpTexts3 + 3>);
    t.entry[kDbgEntryValues] = reinterpret_cast<void *>(entryValues);
    t.entry[kDbgEntryPost3] = reinterpret_cast<void *>(entryPost<kOpPost3, 2>);
    t.entry[kDbgEntryPost4] = reinterpret_cast<void *>(entryPost<kOpPost4, 1>);
    t.entry[kDbgEntryPost8] = reinterpret_cast<void *>(entryPost<kOpPost8, 1>);
    t.entry[kDbgEntryPost15] = reinterpret_cast<void *>(entryPost<kOpPost15, 1>);
    t.entry[kDbgEntryFetch] = reinterpret_cast<void *>(entryFetch);
    t.entry[kDbgEntryRead] = reinterpret_cast<void *>(entryRead);
    t.entry[kDbgEntrySize] = reinterpret_cast<void *>(entrySize);
    t.entry[kDbgEntryClose] = reinterpret_cast<void *>(entryClose);
    t.entry[kDbgEntrySignal] = reinterpret_cast<void *>(entrySignal);
    t.entry[kDbgEntryDetach] = reinterpret_cast<void *>(entryDetach);
    t.entry[kDbgEntryLocal] = reinterpret_cast<void *>(entryLocal);
    t.entry[kDbgEntryQuery] = reinterpret_cast<void *>(entryQuery);
    t.entry[kDbgEntryLevel] = reinterpret_cast<void *>(entryLevel);
    return t;
}
const DbgTargetTable kTargetTable = makeTable();

HMODULE g_lib = nullptr;
DbgUiInterface *g_ui = nullptr;

}  // namespace

const DbgTargetTable *dbg_targetTable() { return &kTargetTable; }

DbgHandler DbgGetHandler(int mode) { return mode == kDbgHandlerAlloc ? dispatchAlloc : dispatchPlain; }
DbgUiInterface *dbg_ui() { return g_ui; }

bool dbg_loadLibrary() {
    if (g_lib) return true;
    HMODULE lib = LoadLibraryA("ZAMDBG.DLL");
    if (!lib) return false;
    auto entry = reinterpret_cast<ZamGetInterfaceFn>(GetProcAddress(lib, "_ZamGetInterface@0"));
    if (!entry) entry = reinterpret_cast<ZamGetInterfaceFn>(GetProcAddress(lib, "ZamGetInterface"));
    DbgUiInterface *ui = entry ? entry() : nullptr;
    if (!ui) {
        FreeLibrary(lib);
        return false;
    }
    g_lib = lib;
    g_ui = ui;
    return true;
}

void dbg_setChannelHost(const DbgChannelHost &host) { g_channel = host; }

void dbg_releaseLibrary() {
    if (!g_lib || g_ui->anyLeft() != 0) return;
    FreeLibrary(g_lib);
    g_lib = nullptr;
    g_ui = nullptr;
    dbg_remoteForget();
}

namespace {

void freeSession(DbgSession *s) {
    if (s->go) CloseHandle(s->go);
    if (s->done) CloseHandle(s->done);
    if (s->handingReady) DeleteCriticalSection(&s->handing);
    if (s->id) g_sessions[s->id - 1] = nullptr;
    delete s->target;
    delete s;
}

// The interpreter's thread takes requests from now on, or no longer: a
// request handed over before that is answered with nothing, and its signal
// does not wait for the next run.
void setServing(DbgSession *s, bool on) {
    EnterCriticalSection(&s->handing);
    s->serving = on;
    if (!on) s->target->active = 0;
    LeaveCriticalSection(&s->handing);
    if (!on && WaitForSingleObject(s->go, 0) == WAIT_OBJECT_0) {
        s->replyLength = 0;
        SetEvent(s->done);
    }
}

bool attach(DbgSession *s, void *data) {
    DbgTarget *t = s->target;
    t->thread = GetCurrentThreadId();
    setServing(s, true);
    t->active = 1;
    if (g_ui->start(t, t->handle, reinterpret_cast<QvWord>(data))) return true;
    setServing(s, false);
    return false;
}

// Serves the debugger's requests until it detaches; one that detached while
// starting, on this thread, needs no wait.
int loop(DbgSession *s) {
    while (!s->stop) {
        WaitForSingleObject(s->go, INFINITE);
        s->replyLength = s->handler(s->op, s->request, s->length, s->reply, s->replySize);
        SetEvent(s->done);
    }
    setServing(s, false);
    zdb_call(s->dbg, kZdbLoopEnd, static_cast<DbgSessionRecord *>(s), s->instance, 0);
    return s->result;
}

}  // namespace

DbgSession *DbgLocalOpen(void *instance, void *dbgInterface) {
    if (!dbg_loadLibrary()) return nullptr;
    DbgSession *s = new (std::nothrow) DbgSession;
    DbgTarget *t = s ? new (std::nothrow) DbgTarget() : nullptr;
    if (s) {
        s->target = t;
        s->result = 3;
        s->handler = dispatchPlain;
        s->handingReady = InitializeCriticalSectionAndSpinCount(&s->handing, 0) != 0;
    }
    if (t && s->handingReady) {
        s->dbg = static_cast<const ZamDbgInterface *>(dbgInterface);
        s->instance = instance;
        s->go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        s->done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        t->owner = reinterpret_cast<QvWord>(s);
        g_sessions.push_back(s);
        s->id = static_cast<int32_t>(g_sessions.size());
        if (s->go && s->done && s->dbg) t->handle = g_ui->create(t, &kTargetTable);
    }
    if (!t || !t->handle) {
        if (s) freeSession(s);
        dbg_releaseLibrary();
        return nullptr;
    }
    return s;
}

void DbgLocalClose(DbgSession *s) {
    if (!s) return;
    g_ui->destroy(s->target->handle);
    freeSession(s);
    dbg_releaseLibrary();
}

void DbgLocalSetMode(DbgSession *s, int value) {
    if (s && g_ui->query(s->target->handle) > 1) g_ui->setMode(s->target->handle, value);
}

int DbgLocalRun(DbgSession *s, void *data) {
    if (!s) return 3;
    s->stop = 0;
    if (!attach(s, data)) return 3;
    return loop(s);
}

void DbgLocalSend(DbgSession *s, void *data) {
    if (s) g_ui->send(s->target, s->target->handle, data);
}

void DbgLocalSetFlag(DbgSession *s, void *data, bool set) {
    if (!s) return;
    (set ? g_ui->setFlag : g_ui->clearFlag)(s->target->handle, data);
}
