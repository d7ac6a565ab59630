#include "storm.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host.h"

namespace storm {

namespace {

// What a crash or hang report says about the request under way. Written
// before each request, read by the exception filter and the watchdog.
char g_where[768] = "before the first request";
std::atomic<ULONGLONG> g_busySince{0};

void writeErr(const char *s) {
    DWORD n;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), s, static_cast<DWORD>(std::strlen(s)), &n, nullptr);
}

// Runs on the faulting thread, perhaps without stack to spare: it only
// writes the text made before the request.
void writeHex(uint64_t v) {
    char x[19] = "0x";
    for (int i = 0; i < 16; ++i) x[17 - i] = "0123456789abcdef"[(v >> (4 * i)) & 15];
    x[18] = 0;
    writeErr(x);
}

LONG WINAPI onCrash(EXCEPTION_POINTERS *e) {
    const EXCEPTION_RECORD *x = e ? e->ExceptionRecord : nullptr;
    std::fflush(stdout);
    writeErr("storm failure: crash, exception ");
    writeHex(x ? x->ExceptionCode : 0);
    // The module and offset of the faulting code, for addr2line.
    HMODULE mod = nullptr;
    char file[MAX_PATH] = "?";
    if (x && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                static_cast<LPCSTR>(x->ExceptionAddress), &mod))
        GetModuleFileNameA(mod, file, sizeof file);
    writeErr(" at ");
    writeErr(file);
    writeErr("+");
    writeHex(x ? reinterpret_cast<uintptr_t>(x->ExceptionAddress) - reinterpret_cast<uintptr_t>(mod) : 0);
    if (x && x->NumberParameters >= 2) {
        writeErr(", touching ");
        writeHex(x->ExceptionInformation[1]);
    }
    writeErr(" ");
    writeErr(g_where);
    writeErr("\n");
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD hangLimitMs() {
    const char *s = std::getenv("QV_STORM_HANG_SECONDS");
    long v = s ? std::strtol(s, nullptr, 10) : 0;
    return static_cast<DWORD>(v > 0 ? v : 90) * 1000;
}

DWORD WINAPI watchdog(void *) {
    const DWORD limit = hangLimitMs();
    for (;;) {
        Sleep(250);
        ULONGLONG since = g_busySince.load();
        if (since && GetTickCount64() - since > limit) {
            std::fflush(stdout);
            writeErr("storm failure: hang, no answer within the limit ");
            writeErr(g_where);
            writeErr("\n");
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

// Wine keeps the window DCs it gave out, each with its region, for reuse:
// as many as were ever out at once. Filled at once, the cache no longer
// grows while a storm runs.
void fillDcCache() {
    HWND w = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::vector<HDC> dcs;
    for (int i = 0; i < 80; ++i) dcs.push_back(GetDCEx(w, nullptr, DCX_CACHE));
    for (HDC dc : dcs) ReleaseDC(w, dc);
    DestroyWindow(w);
}

// The system's shared icons and cursors (message boxes and popups show
// them) load on first use and stay: all of them loaded before anything is
// counted.
void loadSharedImages() {
    for (LPCSTR id : {IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK, IDI_WINLOGO})
        LoadIconA(nullptr, id);
    for (LPCSTR id : {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_UPARROW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE,
                      IDC_SIZENS, IDC_SIZEALL, IDC_NO, IDC_HAND, IDC_APPSTARTING, IDC_HELP})
        LoadCursorA(nullptr, id);
}

void installGuards() {
    static bool done = false;
    if (done) return;
    done = true;
    SetUnhandledExceptionFilter(onCrash);
    // The first count sets up what counting itself needs (the thread's
    // window station, stock objects): taken once before any storm.
    fillDcCache();
    loadSharedImages();
    usage();
    if (HANDLE t = CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr)) CloseHandle(t);
}

uint64_t envSeed(uint64_t fallback) {
    const char *s = std::getenv("QV_STORM_SEED");
    return s && *s ? std::strtoull(s, nullptr, 0) : fallback;
}

std::string hexHead(const th::Bytes &b, size_t limit) {
    std::string s;
    char x[4];
    for (size_t i = 0; i < b.size() && i < limit; ++i) {
        std::snprintf(x, sizeof x, "%02x", b.data()[i]);
        s += x;
    }
    if (b.size() > limit) s += "..";
    return s;
}

const int kEdges1[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFE};
const int kEdges2[] = {0, -1, 1, 0x7FFF, -0x8000, 0xFFFF, 256, 1000, 8192, 8191};
const int32_t kEdges4[] = {0,       -1,        1,      INT32_MAX, INT32_MIN, 0x10000,  0x7FFF,
                           1 << 20, (1 << 20) - 1, 1 << 24, 8192,      8193,      0x7FFFFFF0};

std::string repeated(const char *unit, size_t length) {
    std::string s;
    while (s.size() < length) s += unit;
    s.resize(length);
    return s;
}

// Counts the live objects one by one where the system does not count them
// (Wine's GetGuiResources answers nothing): a GDI object answers its type
// to the handle's index alone, a menu IsMenu.
int gdiObjects() {
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return static_cast<int>(n);
    int count = 0;
    for (uintptr_t i = 1; i < 0x10000; ++i)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(i))) ++count;
    return count;
}

BOOL CALLBACK countWindow(HWND w, LPARAM p) {
    ++*reinterpret_cast<int *>(p);
    EnumChildWindows(w, [](HWND, LPARAM q) CALLBACK -> BOOL { return ++*reinterpret_cast<int *>(q), TRUE; }, p);
    return TRUE;
}

int userObjects() {
    SetLastError(0);
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (n || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return static_cast<int>(n);
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&count));
    for (uintptr_t i = 1; i < 0x10000; ++i)
        if (IsMenu(reinterpret_cast<HMENU>(i))) ++count;
    return count;
}

int handleCount() {
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n) return static_cast<int>(n);
    // Handles are given out from the lowest free slot: a few thousand
    // slots hold every handle of a test process.
    int count = 0;
    for (uintptr_t h = 4; h < 4 * 8192; h += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++count;
    }
    return count;
}

size_t privateBytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION m;
    const unsigned char *p = nullptr;
    while (VirtualQuery(p, &m, sizeof m) == sizeof m) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += m.RegionSize;
        const unsigned char *next = static_cast<const unsigned char *>(m.BaseAddress) + m.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return total;
}

}  // namespace

uint64_t Rng::next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int32_t num(Rng &r, int bytes, int32_t plausible) {
    switch (r.below(10)) {
    case 0: case 1: case 2: case 3: return plausible;
    case 4: return plausible + static_cast<int32_t>(r.below(5)) - 2;
    case 5: return static_cast<int32_t>(r.below(300)) - 2;
    default: break;
    }
    if (bytes == 1) return kEdges1[r.below(sizeof kEdges1 / sizeof kEdges1[0])];
    if (bytes == 2) return kEdges2[r.below(sizeof kEdges2 / sizeof kEdges2[0])];
    return r.chance(20) ? static_cast<int32_t>(r.next()) : kEdges4[r.below(sizeof kEdges4 / sizeof kEdges4[0])];
}

namespace {
std::string inCodePage(const std::wstring &text, unsigned codePage) {
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}
}  // namespace

std::string text(Rng &r) {
    static const std::wstring kRussian = L"~Файл|Привет, мир: ЁЖЗ ёжз «№»";
    static const std::string k866 = inCodePage(kRussian, 866), k1251 = inCodePage(kRussian, 1251);
    switch (r.below(12)) {
    case 0: return "";
    case 1: return r.pick(std::vector<std::string>{"a", "Name", "x.txt", "OK", " ", "0", "-", "~", "|"});
    case 2: return repeated("abcdefghij", 100 + r.below(5000));
    case 3: return repeated("W", r.chance(50) ? 70000 : 9000);
    case 4: return r.pick(std::vector<std::string>{"%s%s%s%n", "%x%x%x%x", "%999999999d", "%%%", "{0}%1$s%p"});
    case 5: return k866;
    case 6: return k1251;
    case 7: return repeated(r.chance(50) ? k866.c_str() : k1251.c_str(), 300 + r.below(3000));
    case 8: {
        std::string s(1 + r.below(300), ' ');
        for (char &c : s) c = static_cast<char>(1 + r.below(255));
        return s;
    }
    case 9: return r.pick(std::vector<std::string>{"~~~~", "|||", "~|~|", "-", "\xC4\xC4\xC4", "&&&", "\t\r\n"});
    case 10: return r.pick(std::vector<std::string>{"..\\..\\x", "C:\\", "\\\\?\\C:\\x", "*.*", "<>:\"|?*", "%UPDIR%\\..",
                                                    "con", "nul.txt", "a\\b\\c\\d"});
    default:
        return r.pick(std::vector<std::string>{"-12345678901234567890.12345", "1e308", "99999999999", "0.000000001",
                                               "12.5x", "-", "1'234'567.89", "31.02.2024", "25:61:61"});
    }
}

std::string scratchName(Rng &r) {
    std::string s = text(r);
    if (s.size() > 120) s.resize(120);
    for (char &c : s)
        if (c == '\\' || c == '/' || c == ':') c = '_';
    if (s.find_first_not_of(". ") == std::string::npos) s = "n" + s;
    return s;
}

th::Bytes mutate(Rng &r, const th::Bytes &record) {
    const auto &v = record.vec();
    switch (r.below(20)) {
    case 0: case 1: case 2: return th::Bytes().raw(v.data(), r.below(static_cast<uint32_t>(v.size()) + 1));
    case 3: return v.empty() ? record : th::Bytes().raw(v.data(), v.size() - 1);
    case 4: {
        th::Bytes b = record;
        for (uint32_t i = 1 + r.below(64); i > 0; --i) b.u8(static_cast<uint8_t>(r.next()));
        return b;
    }
    case 5: {
        th::Bytes b = record;
        if (!v.empty()) {
            std::vector<unsigned char> w = v;
            for (uint32_t i = 1 + r.below(4); i > 0; --i) w[r.below(static_cast<uint32_t>(w.size()))] = static_cast<unsigned char>(r.next());
            b = th::Bytes().raw(w.data(), w.size());
        }
        return b;
    }
    default: return record;
    }
}

th::Bytes junk(Rng &r) {
    th::Bytes b;
    for (uint32_t i = r.below(65); i > 0; --i) b.u8(static_cast<uint8_t>(r.next()));
    return b;
}

void VersionTracker::sent(int code, const th::Bytes &record, bool inBlock) {
    if (code != kMsgHostVersion || (record.size() < 20 && !inBlock)) return;
    auto at = [&](size_t i) { return i < record.size() ? record.data()[i] : static_cast<unsigned char>('x'); };
    version = static_cast<uint16_t>(at(18) | at(19) << 8);
}

void VersionTracker::flip(Rng &r) {
    if (r.chance(3)) answersZero = th::Host::get().blockSizeAnswersZero = !answersZero;
}

Usage usage() {
    Usage u;
    u.handles = handleCount();
    u.gdi = gdiObjects();
    u.user = userObjects();
    u.privateBytes = privateBytes();
    return u;
}

Session::Session(const char *module, const char *test, uint64_t defaultSeed)
    : module_(module), test_(test), seed_(envSeed(defaultSeed)), rng_(seed_) {
    const char *t = std::getenv("QV_STORM_TRACE");
    trace_ = t ? std::atoi(t) : 0;
    installGuards();
    std::printf("storm %s: seed 0x%llx\n", module, static_cast<unsigned long long>(seed_));
}

Session::~Session() {
    end();
    std::snprintf(g_where, sizeof g_where, "after the storm of %s", module_.c_str());
}

long Session::scaled(long count) const {
    const char *s = std::getenv("QV_STORM_SCALE");
    double f = s ? std::strtod(s, nullptr) : 1.0;
    return std::max(1L, static_cast<long>(static_cast<double>(count) * (f > 0 ? f : 1.0)));
}

std::string Session::where() const {
    char line[512];
    std::snprintf(line, sizeof line,
                  "in %s, seed 0x%llx, request %ld (code %d); replay: QV_STORM_SEED=0x%llx storm_test.exe "
                  "--gtest_filter=Storm.%s (QV_STORM_TRACE=1 lists the requests)",
                  module_.c_str(), static_cast<unsigned long long>(seed_), number_, code_,
                  static_cast<unsigned long long>(seed_), test_.c_str());
    return line;
}

void Session::begin(int code, const std::string &what) {
    ++number_;
    code_ = code;
    std::string w = where() + ": " + what;
    std::snprintf(g_where, sizeof g_where, "%s", w.c_str());
    if (trace_) std::printf("storm %s #%ld: code %d %s\n", module_.c_str(), number_, code, what.c_str());
    std::fflush(stdout);
    g_busySince = GetTickCount64();
}

void Session::end() { g_busySince = 0; }

void Session::fail(const std::string &what) const { ADD_FAILURE() << "storm failure: " << what << " " << where(); }

int Session::send(th::Module &m, int code, const th::Bytes &record, bool blockNamed) {
    bool inBlock = lastInBlock_ = blockNamed || rng_.chance(50);
    std::string what = std::to_string(record.size()) + "-byte record " +
                       (inBlock ? "at the start of the host's block: " : "ending at unreadable memory: ");
    begin(code, what + hexHead(record, trace_ > 1 ? record.size() : 24));
    int n = inBlock ? m.messageInBlock(code, record) : m.message(code, record);
    end();
    size_t area = blockNamed ? static_cast<size_t>(kBlock) : m.replyCapacity();
    if (n < 0 || static_cast<size_t>(n) > area)
        fail("reply length " + std::to_string(n) + " outside the reply area of " + std::to_string(area) + " bytes");
    if (blockNamed && !m.replyUntouchedFrom(area)) fail("reply written past the host's block");
    if (number_ % 64 == 0) forgetHostRecords();
    return n;
}

void Session::expectNoGrowth(const Usage &before, const Usage &after, size_t memoryBound, int extraHandles) const {
    // The counted run repeats its warm-up, so that the system's caches
    // (control images, DCs) are full before it: growth left is the
    // modules'. A few GDI objects more stay room for images first drawn in
    // the second run; a leak of one per request shows as hundreds.
    constexpr int kFew = 8, kFewGdi = 16;
    char line[256];
    std::snprintf(line, sizeof line, "handles %d -> %d, GDI objects %d -> %d, USER objects %d -> %d, memory %zu -> %zu KiB",
                  before.handles, after.handles, before.gdi, after.gdi, before.user, after.user,
                  before.privateBytes >> 10, after.privateBytes >> 10);
    std::printf("storm %s: %s\n", module_.c_str(), line);
    if (after.handles > before.handles + kFew + extraHandles || after.gdi > before.gdi + kFewGdi || after.user > before.user + kFew ||
        after.privateBytes > before.privateBytes + memoryBound)
        fail(std::string("growth after the storm: ") + line + " (memory bound " + std::to_string(memoryBound >> 10) +
             " KiB)");
}

void forgetHostRecords() { th::Host::get().forgetRecords(); }

}  // namespace storm
