#include "host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace th {

void trapped(const char *table, int slot) {
    ADD_FAILURE() << table << " slot " << slot << " was called but the test did not enable it";
}

namespace {

// Fills the first `count` slots of a table with traps.
template <class T, size_t... I>
void fillTraps(void **slots, size_t count, std::index_sequence<I...>, T) {
    ((I < count ? (slots[I] = reinterpret_cast<void *>(&T::template trap<static_cast<int>(I)>)) : nullptr), ...);
}

constexpr int kAppSlots = sizeof(AppIntf) / sizeof(void *);
// The last slot an older host's AppIntf has (getReplyBuff).
constexpr int kOldAppSlots = 14;

Host &H() { return Host::get(); }

void countExt(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < H().extCalls.size()) ++H().extCalls[slot];
}
void countApp(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < H().appCalls.size()) ++H().appCalls[slot];
}

// A trap takes no arguments: the caller cleans the stack (cdecl), so any
// slot may be called through it.
struct ExtTraps {
    template <int N> static int ZAMCB trap() { return countExt(N), trapped("ZamExtCallBacks", N), 0; }
};
struct AppTraps {
    template <int N> static int ZAMCB trap() { return countApp(N), trapped("AppIntf", N), 0; }
};

std::set<int> calledSlots(const std::vector<int> &calls) {
    std::set<int> s;
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i]) s.insert(static_cast<int>(i));
    return s;
}

// A table area of `slots` pointers that ends at a guard page.
void **tableArea(std::map<int, std::unique_ptr<GuardedBuffer>> &areas, int slots) {
    auto &area = areas[slots];
    if (!area) area = std::make_unique<GuardedBuffer>(static_cast<size_t>(slots) * sizeof(void *));
    return reinterpret_cast<void **>(area->data());
}

std::string orEmpty(const char *s) { return s ? s : ""; }

// Copies at most 260 bytes (terminator included); 0 when it does not fit.
int putPath(char *out, const std::string &path) {
    if (!out || path.size() >= kHostPathMax) return 0;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return 1;
}

std::string joinPath(const std::string &dir, const std::string &name) {
    if (dir.empty()) return name;
    char last = dir.back();
    if (last == '\\' || last == '/' || last == ':') return dir + name;
    return dir + "\\" + name;
}

bool hasFolder(const std::string &p) { return p.find_first_of("\\/:") != std::string::npos; }

// A name with a drive or a leading separator names its own place.
bool isAbsolute(const std::string &p) {
    return (p.size() > 1 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

std::string placed(const std::string &dir, const std::string &name) {
    return isAbsolute(name) ? name : joinPath(dir, name);
}

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// ZamExtCallBacks stand-ins.
int ZAMCB compareNames(const char *a, const char *b) { return countExt(1), _stricmp(orEmpty(a).c_str(), orEmpty(b).c_str()); }

int ZAMCB composePath(char *out, const char *name, const char *dir, int) {
    countExt(8);
    return putPath(out, placed(orEmpty(dir), orEmpty(name)));
}

// Names from the server are in the OEM code page, as the host passes them on.
std::wstring oemWide(const std::string &s) {
    int n = MultiByteToWideChar(CP_OEMCP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_OEMCP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string wideOem(const std::wstring &w) {
    int n = WideCharToMultiByte(CP_OEMCP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_OEMCP, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

int ZAMCB findFilePath(char *out, const char *name, const char *dir, int, int) {
    countExt(9);
    std::wstring candidate = oemWide(placed(orEmpty(dir), orEmpty(name)));
    if (candidate.empty() || GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(candidate.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) return 0;
    return putPath(out, wideOem(std::wstring(full, n)));
}

int ZAMCB splitPath(const char *path, char *dir, char *name, int) {
    countExt(11);
    std::string p = orEmpty(path);
    size_t cut = p.find_last_of("\\/:");
    std::string d = cut == std::string::npos ? "" : p.substr(0, cut + (p[cut] == ':' ? 1 : 0));
    std::string n = cut == std::string::npos ? p : p.substr(cut + 1);
    if (dir) putPath(dir, d);
    if (name) putPath(name, n);
    return 0;
}

int ZAMCB makePath(char *out, const char *dir, const char *name, const char *ext) {
    countExt(12);
    std::string p = joinPath(orEmpty(dir), orEmpty(name));
    if (ext && *ext) p += (*ext == '.' ? "" : ".") + std::string(ext);
    return putPath(out, p);
}

int ZAMCB readIniFile(const char *file, ZamIniCallback cb, void *context) {
    countExt(14);
    std::string f = orEmpty(file);
    H().iniReads.push_back(f);
    if (!H().iniDir.empty() && !hasFolder(f)) f = joinPath(H().iniDir, f);
    std::unique_ptr<FILE, int (*)(FILE *)> fp(std::fopen(f.c_str(), "rb"), std::fclose);
    if (!fp) return 0;
    char line[4096];
    while (std::fgets(line, sizeof line, fp.get())) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        std::string t = trim(s);
        if (t.empty() || t[0] == ';' || t[0] == '[') continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos) continue;
        std::string key = trim(t.substr(0, eq)), value = trim(t.substr(eq + 1));
        int r = cb(key.c_str(), value.c_str(), context);
        if (r != 0) return r;
    }
    return 0;
}

intptr_t ZAMCB redirectOutput(intptr_t a, intptr_t b, intptr_t c, intptr_t d, int n) {
    countExt(15);
    H().redirects.push_back({a, b, c, d, n});
    H().redirectTargets.push_back(orEmpty(reinterpret_cast<const char *>(c)));
    return H().redirectResult;
}

int ZAMCB showMessage(const char **lines, int count) {
    countExt(16);
    std::vector<std::string> v;
    for (int i = 0; lines && i < count && i < 16; ++i) v.push_back(orEmpty(lines[i]));
    H().messages.push_back(v);
    return 0;
}

ChannelCall channelCall(const void *req, int len, const char *channel, int op, int replySize) {
    ChannelCall c;
    if (req && len > 0) c.request.assign(static_cast<const unsigned char *>(req),
                                         static_cast<const unsigned char *>(req) + len);
    c.channel = orEmpty(channel);
    c.op = op;
    c.replySize = replySize;
    return c;
}

int ZAMCB sendChannel(const void *req, int len, const char *channel, int op) {
    countExt(18);
    if (!req && len == 0 && !channel && op == 0) {
        ++H().userBreaks;
        return 0;
    }
    H().channelSends.push_back(channelCall(req, len, channel, op, 0));
    return 0;
}

int ZAMCB transactChannel(const void *req, int len, const char *channel, int op, void *reply,
                          int replySize, unsigned *replyLength, int) {
    countExt(19);
    ChannelCall c = channelCall(req, len, channel, op, replySize);
    H().channelTransacts.push_back(c);
    std::optional<ByteVec> answer;
    if (H().channelResponder) answer = H().channelResponder(c);
    if (!answer) {
        if (replyLength) *replyLength = 0;
        return 0;
    }
    size_t n = answer->size() < static_cast<size_t>(replySize > 0 ? replySize : 0)
                   ? answer->size() : static_cast<size_t>(replySize > 0 ? replySize : 0);
    if (n) std::memcpy(reply, answer->data(), n);
    if (replyLength) *replyLength = static_cast<unsigned>(n) + H().channelExtraLength;
    return 1;
}

int ZAMCB getMaxBlockSize() {
    countExt(26);
    ++H().maxBlockSizeCalls;
    return H().blockSizeAnswersZero ? 0 : H().maxBlockSize;
}

// AppIntf stand-ins.
int ZAMCB appVersion(TAppObj *) { return countApp(0), H().version; }

}  // namespace

struct HostAccess {
    static char *ZAMCB getSendBuff(TAppObj *, int size, const char *table, int code) {
        countApp(1);
        if (size < 0) return nullptr;
        H().pending_.push_back({orEmpty(table), code, ByteVec(static_cast<size_t>(size) + 1)});
        return reinterpret_cast<char *>(H().pending_.back().buffer.data());
    }
    static Host::Pending *findPending(char *buff) {
        for (auto &p : H().pending_)
            if (reinterpret_cast<char *>(p.buffer.data()) == buff) return &p;
        return nullptr;
    }
    static Upcall takePending(char *buff, int size, bool transact) {
        Host::Pending *p = findPending(buff);
        Upcall u{p ? p->table : "?", p ? p->code : -1, {}, transact};
        if (p) {
            size_t n = size < 0 ? p->buffer.size() - 1 : static_cast<size_t>(size);
            if (n > p->buffer.size() - 1) n = p->buffer.size() - 1;
            u.payload.assign(p->buffer.begin(), p->buffer.begin() + n);
            H().pending_.erase(H().pending_.begin() + (p - H().pending_.data()));
        } else {
            ADD_FAILURE() << "AppIntf: a buffer that getSendBuff did not give was sent";
        }
        return u;
    }
    static int ZAMCB sendMessage(TAppObj *, char *buff) {
        countApp(2);
        H().upcalls.push_back(takePending(buff, -1, false));
        return 1;
    }
    static char *ZAMCB transactMessage(TAppObj *, char *buff, int *size) {
        countApp(3);
        Upcall u = takePending(buff, size ? *size : -1, true);
        H().upcalls.push_back(u);
        auto it = H().responders_.find({u.table, u.code});
        std::optional<ByteVec> answer;
        if (it != H().responders_.end()) answer = it->second(u);
        if (!answer) return nullptr;
        H().lastReply_ = *answer;
        H().lastReply_.push_back(0);
        if (size) *size = static_cast<int>(answer->size());
        return reinterpret_cast<char *>(H().lastReply_.data());
    }
    static int ZAMCB addFilterProc(TAppObj *, PxFilterProc f, int) {
        countApp(4);
        H().filters.push_back(f);
        return H().addProcsAnswerZero ? 0 : 1;
    }
    static int ZAMCB remFilterProc(TAppObj *, PxFilterProc f) {
        countApp(5);
        auto &v = H().filters;
        for (auto it = v.begin(); it != v.end(); ++it)
            if (*it == f) return v.erase(it), 1;
        H().listErrors.push_back("remFilterProc of a filter never added");
        return 0;
    }
    static int ZAMCB addIdleProc(TAppObj *, PxIdleProc f, int) {
        countApp(6);
        H().idles.push_back(f);
        return H().addProcsAnswerZero ? 0 : 1;
    }
    static int ZAMCB remIdleProc(TAppObj *, PxIdleProc f) {
        countApp(7);
        auto &v = H().idles;
        for (auto it = v.begin(); it != v.end(); ++it)
            if (*it == f) return v.erase(it), 1;
        H().listErrors.push_back("remIdleProc of a procedure never added");
        return 0;
    }
    static int ZAMCB getEvent(TAppObj *, PxEvent *out, int wait) {
        countApp(8);
        Host &h = H();
        ULONGLONG start = GetTickCount64();
        for (;;) {
            h.pump();
            if (h.queue.empty())
                for (PxIdleProc idle : std::vector<PxIdleProc>(h.idles)) idle();
            if (!h.queue.empty()) {
                *out = h.queue.front();
                h.queue.pop_front();
                return 1;
            }
            if (wait == 0) return 0;
            if (!h.script.empty()) {
                auto step = std::move(h.script.front());
                h.script.pop_front();
                step();
                continue;
            }
            if (GetTickCount64() - start > h.watchdogMs) {
                ++h.watchdogFired;
                ADD_FAILURE() << "getEvent waited " << h.watchdogMs << " ms for an event; Esc fed";
                *out = PxEvent{27, 0, 1, 0, 0, 0};
                return 1;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    static int ZAMCB addEvent(TAppObj *, const PxEvent *ev, int mode) {
        countApp(9);
        if (!ev) return 0;
        H().added.push_back({*ev, mode});
        H().queue.push_back(*ev);
        return 1;
    }
    static int ZAMCB stopSession(TAppObj *, unsigned char flag) {
        countApp(10);
        H().stopSessions.push_back(flag);
        return H().stopSessionResult;
    }
    static char *ZAMCB getReplyBuff(TAppObj *, int size) {
        countApp(13);
        Host &h = H();
        h.replyBuffAsks.push_back(size);
        if (size < 0 || static_cast<size_t>(size) > h.currentReplySize) return nullptr;
        if (!h.moveReplyBuff || !h.currentReply) return reinterpret_cast<char *>(h.currentReply);
        // Another area than the last one, holding what the reply holds so far.
        auto &area = h.replyAreas_[h.nextReplyArea_];
        h.nextReplyArea_ ^= 1;
        if (!area || area->size() != h.currentReplySize) area = std::make_unique<GuardedBuffer>(h.currentReplySize);
        std::memcpy(area->data(), h.currentReply, h.currentReplySize);
        h.currentReply = h.movedReply = area->data();
        return reinterpret_cast<char *>(area->data());
    }
    static void ZAMCB flushInput(TAppObj *) { countApp(35), ++H().flushInputs; }
    static void *ZAMCB getHostApp(TAppObj *) { return countApp(40), H().hostApp; }
};

Host &Host::get() {
    static Host h;
    return h;
}

Host::Host() { reset(); }

void Host::layoutExt() {
    ext_ = reinterpret_cast<ZamExtCallBacks *>(tableArea(extTables_, extSlots_));
    fillTraps(reinterpret_cast<void **>(ext_), static_cast<size_t>(extSlots_),
              std::make_index_sequence<kZamExtSlots>(), ExtTraps());
}

void Host::layoutApp() {
    intf_ = reinterpret_cast<AppIntf *>(tableArea(appTables_, appSlots_));
    fillTraps(reinterpret_cast<void **>(intf_), static_cast<size_t>(appSlots_),
              std::make_index_sequence<kAppSlots>(), AppTraps());
    intf_->version = appVersion;
    intf_->getSendBuff = HostAccess::getSendBuff;
    intf_->sendMessage = HostAccess::sendMessage;
    intf_->transactMessage = HostAccess::transactMessage;
    intf_->addFilterProc = HostAccess::addFilterProc;
    intf_->remFilterProc = HostAccess::remFilterProc;
    intf_->addIdleProc = HostAccess::addIdleProc;
    intf_->remIdleProc = HostAccess::remIdleProc;
    intf_->getEvent = HostAccess::getEvent;
    intf_->addEvent = HostAccess::addEvent;
    intf_->stopSession = HostAccess::stopSession;
    intf_->getReplyBuff = HostAccess::getReplyBuff;
    if (appSlots_ > 35) intf_->FlushInput = HostAccess::flushInput;
    if (appSlots_ > 40) intf_->GetHostApp = HostAccess::getHostApp;
    app_.fn = intf_;
}

void Host::setExtSlots(int slots) {
    extSlots_ = slots < 1 ? 1 : slots > kZamExtSlots ? kZamExtSlots : slots;
    layoutExt();
}

void Host::setAppVersion(int appVersion) {
    version = appVersion;
    appSlots_ = appVersion >= kAppIntfGetHostAppVersion ? kAppSlots : kOldAppSlots;
    layoutApp();
}

std::set<int> Host::extSlotsCalled() const { return calledSlots(extCalls); }
std::set<int> Host::appSlotsCalled() const { return calledSlots(appCalls); }

void Host::reset() {
    bool strict = std::getenv("QV_STRICT_HOST") && std::strcmp(std::getenv("QV_STRICT_HOST"), "1") == 0;
    setExtSlots(strict ? 27 : kZamExtSlots);
    setAppVersion(12);
    blockSizeAnswersZero = strict;
    addProcsAnswerZero = strict;
    moveReplyBuff = strict;
    forgetRecords();
    movedReply = nullptr;
    iniDir.clear();
    redirectResult = 0;
    userBreaks = 0;
    channelResponder = nullptr;
    channelExtraLength = 0;
    maxBlockSize = 0x7ff0;
    maxBlockSizeCalls = 0;
    responders_.clear();
    filters.clear();
    idles.clear();
    listErrors.clear();
    queue.clear();
    script.clear();
    watchdogMs = 10000;
    watchdogFired = 0;
    stopSessionResult = 0;
    flushInputs = 0;
    hostApp = nullptr;
    pending_.clear();
    lastReply_.clear();
}

void Host::forgetRecords() {
    extCalls.assign(kZamExtSlots, 0);
    appCalls.assign(kAppSlots, 0);
    iniReads.clear();
    redirects.clear();
    redirectTargets.clear();
    messages.clear();
    channelSends.clear();
    channelTransacts.clear();
    upcalls.clear();
    added.clear();
    stopSessions.clear();
    replyBuffAsks.clear();
}

void Host::enableExt(std::initializer_list<int> slots) {
    for (int s : slots) {
        if (s >= 0 && s < kZamExtSlots && s >= extSlots_) continue;  // the host has no such slot
        switch (s) {
        case 1: ext_->CompareNames = compareNames; break;
        case 8: ext_->ComposePath = composePath; break;
        case 9: ext_->FindFilePath = findFilePath; break;
        case 11: ext_->SplitPath = splitPath; break;
        case 12: ext_->MakePath = makePath; break;
        case 14: ext_->ReadIniFile = readIniFile; break;
        case 15: ext_->RedirectOutput = redirectOutput; break;
        case 16: ext_->ShowMessage = showMessage; break;
        case 18: ext_->SendChannel = sendChannel; break;
        case 19: ext_->TransactChannel = transactChannel; break;
        case 26: ext_->GetMaxBlockSize = getMaxBlockSize; break;
        default: ADD_FAILURE() << "the stand-in host has no ZamExtCallBacks slot " << s;
        }
    }
}

void Host::enableExtAll() { enableExt({1, 8, 9, 11, 12, 14, 15, 16, 18, 19, 26}); }

void Host::respond(const std::string &table, int code, Responder r) {
    responders_[{table, code}] = std::move(r);
}

void Host::pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        bool consumed = false;
        for (PxFilterProc f : std::vector<PxFilterProc>(filters))
            if (f(&msg)) {
                consumed = true;
                break;
            }
        if (!consumed) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace th
