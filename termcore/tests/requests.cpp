#include "requests.h"

#include <fstream>
#include <sstream>

#include "unique_handle.h"

namespace rq {

// Braced initialisers are evaluated in order.
Date readDate(WireReader &r) { return Date{r.u8(), r.u8(), r.u16(), r.u8(), r.u8(), r.u8()}; }

}  // namespace rq

void TermcoreTest::SetUp() {
    th::Host::get().reset();
    th::Host::get().enableExtAll();
    th::Host::get().iniDir = tmp.path();
    CreateDirectoryA(up().c_str(), nullptr);
    CreateDirectoryA(dn().c_str(), nullptr);
}

void TermcoreTest::TearDown() {
    if (m) lifeCycle(kMsgUnload, true);
    m.reset();
    EXPECT_TRUE(th::Host::get().filters.empty());
    EXPECT_TRUE(th::Host::get().idles.empty());
}

void TermcoreTest::load(int protocol, const std::string &ini, size_t replyCapacity) {
    spit(tmp.file("termcore.ini"), ini.empty() ? "UPDIR=" + up() + "\r\nDNDIR=" + dn() + "\r\n" : ini);
    m = std::make_unique<th::Module>("termcore.d32", replyCapacity);
    m->start(protocol);
}

int TermcoreTest::lifeCycle(int code, bool flag) {
    auto f = reinterpret_cast<ZamExtMessageProcFn>(m->proc("ZamExtMessageProc"));
    unsigned char reply[16];
    return f(static_cast<unsigned>(code), flag ? reinterpret_cast<const void *>(1) : nullptr, reply);
}

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string oem(const std::wstring &name) {
    char buf[1024];
    int n = WideCharToMultiByte(866, 0, name.c_str(), static_cast<int>(name.size()), buf, sizeof buf, nullptr, nullptr);
    return std::string(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring wide(const std::string &ansi) {
    wchar_t buf[1024];
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), buf, 1024);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

bool existsW(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::set<std::string> filesIn(const std::string &dir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    winutil::unique_find_handle find(FindFirstFileA((dir + "\\*").c_str(), &fd));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &fd))
        if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..") names.insert(fd.cFileName);
    return names;
}

std::string patterned(size_t size, unsigned seed) {
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char &c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

namespace {

constexpr int64_t kEpoch = 116444736000000000LL;  // 1970 in 100-ns steps from 1601

FILETIME fileTime(int64_t unixSeconds) {
    uint64_t v = static_cast<uint64_t>(unixSeconds * 10000000 + kEpoch);
    return {static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

int64_t seconds(const FILETIME &ft) {
    return (static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) - kEpoch) /
           10000000;
}

}  // namespace

void setUnixTimes(const std::string &path, int64_t access, int64_t modification) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME a = fileTime(access), w = fileTime(modification);
    SetFileTime(h, nullptr, &a, &w);
    CloseHandle(h);
}

std::pair<int64_t, int64_t> unixTimes(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
    return {seconds(d.ftLastAccessTime), seconds(d.ftLastWriteTime)};
}
