#include "vcs.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "filetime.h"
#include "oemtext.h"
#include "upcall.h"
#include "winfile.h"

namespace {

enum : uint8_t { kVcsTake = 0, kVcsReturn = 1, kVcsRelease = 2, kVcsLookup = 3, kVcsPut = 100 };

struct TakenFile {
    std::string local, server, base;
    int32_t time = -1;  // the local file's when it was taken; -1 unknown
};

bool g_on = true;
std::vector<TakenFile> g_taken;

std::string baseName(const std::string &path) {
    size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

// Names are the server's, in the OEM code page: compared as the letters
// they spell.
bool sameName(const std::string &a, const std::string &b) {
    return a == b || lstrcmpiW(oem_toWide(a).c_str(), oem_toWide(b).c_str()) == 0;
}

int32_t modified(const std::string &path) {
    FileInfo info;
    return file_infoByPath(path, info) ? time_wire(info.modification) : -1;
}

std::vector<TakenFile>::iterator byLocal(const std::string &local) {
    std::string full = file_absolute(local);
    for (auto it = g_taken.begin(); it != g_taken.end(); ++it)
        if (sameName(it->local, full)) return it;
    return g_taken.end();
}

std::vector<TakenFile>::iterator byBase(const std::string &base) {
    for (auto it = g_taken.begin(); it != g_taken.end(); ++it)
        if (sameName(it->base, base)) return it;
    return g_taken.end();
}

// One request; the reply's data from +4 (both texts) when it succeeds.
std::optional<std::vector<unsigned char>> request(uint8_t op, int32_t value, const std::string &name1,
                                                  const std::string &name2) {
    std::vector<unsigned char> rec(7 + name1.size() + name2.size());
    WireWriter w(rec.data(), rec.size());
    w.u8(op);
    w.i32(value);
    w.text(name1);
    w.text(name2);
    auto reply = tc_transact("VCS_ASYNC_TABLE", 203, rec);
    if (!tc_replyOk(reply)) return std::nullopt;
    return std::vector<unsigned char>(reply->begin() + 4, reply->end());
}

// The n-th NUL-terminated text of a reply's data (a text the reply cuts
// short ends with it).
std::string textOf(const std::vector<unsigned char> &data, int n) {
    size_t at = 0;
    for (; n > 0 && at < data.size(); --n) {
        const void *nul = std::memchr(data.data() + at, 0, data.size() - at);
        at = nul ? static_cast<size_t>(static_cast<const unsigned char *>(nul) - data.data()) + 1 : data.size();
    }
    const char *p = reinterpret_cast<const char *>(data.data()) + at;
    return std::string(p, strnlen(p, data.size() - at));
}

}  // namespace

void vcs_switchOff() { g_on = false; }
bool vcs_isOn() { return g_on; }
void vcs_forgetAll() { g_taken.clear(); }

bool VcsIsTaken(const std::string &local) { return byLocal(local) != g_taken.end(); }

std::optional<std::string> VcsTake(const std::string &local, const std::string &server, int32_t flags) {
    if (!g_on) return local.empty() ? server : local;
    std::string key = baseName(server.empty() ? local : server);
    if (byBase(key) != g_taken.end()) return std::nullopt;
    auto data = request(kVcsTake, flags & 0xFF, local, server.empty() ? key : server);
    if (!data) return std::nullopt;
    TakenFile f;
    f.local = file_absolute(textOf(*data, 0));
    f.server = textOf(*data, 1);
    if (f.local.empty()) return std::nullopt;
    f.base = baseName(f.server.empty() ? key : f.server);
    f.time = modified(f.local);
    g_taken.push_back(f);
    return sameName(f.local, local) ? local : f.local;
}

bool VcsUpdate(const std::string &local, int32_t flags) {
    if (!g_on) return true;
    auto it = byLocal(local);
    if (it == g_taken.end()) return false;
    if (it->time != -1 && it->time == modified(it->local)) {
        if (flags & 0x100) return true;
        int32_t v = ((flags >> 16) & 0xFF) | ((flags & 0x200) ? 2 : 0);
        if (!request(kVcsRelease, static_cast<int32_t>(static_cast<uint32_t>(v) << 16), it->local, it->server))
            return false;
        g_taken.erase(it);
        return true;
    }
    if (!request(kVcsReturn, flags & 0xFF00, it->local, it->server)) return false;
    if (!(flags & 0x100)) g_taken.erase(it);
    return true;
}

bool VcsRelease(const std::string &local, int32_t flags) {
    if (!g_on) return true;
    auto it = byLocal(local);
    if (it == g_taken.end() || !request(kVcsRelease, flags & 0xFF0000, it->local, it->server)) return false;
    g_taken.erase(it);
    return true;
}

std::optional<std::string> VcsServerPath(const std::string &local) {
    if (!g_on) return local;
    auto it = byLocal(local);
    if (it != g_taken.end()) return it->server;
    auto data = request(kVcsLookup, 0, baseName(local), "");
    if (!data) return std::nullopt;
    return textOf(*data, 0);
}

std::optional<std::string> VcsLocalPath(const std::string &server) {
    if (!g_on) return server;
    auto it = byBase(baseName(server));
    if (it != g_taken.end()) return it->local;
    auto data = request(kVcsLookup, 0, "", baseName(server));
    if (!data) return std::nullopt;
    return textOf(*data, 0);
}

std::optional<std::string> VcsPut(const std::string &local, const std::string &server, int32_t value) {
    if (!g_on) return value == 0 ? server : local;
    auto data = request(kVcsPut, value, local, server);
    if (!data) return std::nullopt;
    return textOf(*data, 0);
}
