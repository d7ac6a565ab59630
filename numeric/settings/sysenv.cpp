#include "sysenv.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cstdlib>
#endif

namespace {

#ifndef _WIN32
// The library runs on Windows; the native build, used to test it, reads a
// backslash as the separator it stands for.
std::string hostPath(const char *path) {
    std::string s(path);
    for (char &c : s)
        if (c == '\\') c = '/';
    return s;
}
#endif

struct ModulePath {
    char text[kQvMaxPath] = {};
    ModulePath() {
#ifdef _WIN32
        DWORD n = GetModuleFileNameA(nullptr, text, kQvMaxPath);
        if (n == 0 || n >= kQvMaxPath) text[0] = '\0';  // truncated: no good
#else
        ssize_t n = readlink("/proc/self/exe", text, kQvMaxPath);
        text[n > 0 && static_cast<size_t>(n) < kQvMaxPath ? n : 0] = '\0';
#endif
    }
};

bool endsInSeparator(const std::string &s) {
    return !s.empty() && (s.back() == '\\' || s.back() == '/');
}

}  // namespace

const char *sys_modulePath() {
    static const ModulePath path;
    return path.text;
}

char *sys_exeDirPath(char *buf) {
    size_t nameLen = strnlen(buf, kQvMaxPath);
    if (nameLen == kQvMaxPath) return nullptr;
    std::string dir;
    if (sys_getEnv("QVEXEDIR", &dir) && !dir.empty()) {
        if (!endsInSeparator(dir)) dir += '\\';
    } else {
        const char *exe = sys_modulePath();
        const char *cut = std::strrchr(exe, '\\');
        const char *slash = std::strrchr(exe, '/');
        if (!cut || (slash && slash > cut)) cut = slash;
        if (!cut) return nullptr;
        dir.assign(exe, cut + 1);
    }
    if (dir.size() + nameLen >= kQvMaxPath) return nullptr;
    std::memmove(buf + dir.size(), buf, nameLen + 1);
    std::memcpy(buf, dir.data(), dir.size());
    return buf;
}

bool sys_getEnv(const char *name, std::string *value) {
#ifdef _WIN32
    // The process's own environment, not the runtime's copy taken at start.
    DWORD n = GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        value->clear();
        return true;
    }
    std::string v(n, '\0');
    DWORD got = GetEnvironmentVariableA(name, &v[0], n);
    if (got >= n) return false;  // changed under us
    v.resize(got);
    *value = std::move(v);
    return true;
#else
    const char *v = std::getenv(name);
    if (!v) return false;
    *value = v;
    return true;
#endif
}

bool sys_fileExists(const char *path) {
#ifdef _WIN32
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
#else
    return access(hostPath(path).c_str(), F_OK) == 0;
#endif
}

std::FILE *sys_openText(const char *path) {
#ifdef _WIN32
    return std::fopen(path, "rt");
#else
    return std::fopen(hostPath(path).c_str(), "r");
#endif
}
