#include "module.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace th {

std::string distDir() {
    const char *d = std::getenv("QV_DIST_DIR");
    std::string s = d ? d : ".";
    if (!s.empty() && s.back() != '\\' && s.back() != '/') s += '\\';
    return s;
}

std::string sourcePath(const std::string &relative) {
    const char *d = std::getenv("QV_SOURCE_DIR");
    std::string s = std::string(d ? d : ".") + "\\" + relative;
    for (char &c : s)
        if (c == '/') c = '\\';
    return s;
}

Module::Module(const std::string &file, size_t replyCapacity) : reply_(replyCapacity) {
    std::string path = distDir() + file;
    h_ = LoadLibraryA(path.c_str());
    if (!h_) ADD_FAILURE() << "LoadLibrary(" << path << ") failed: " << GetLastError();
}

Module::~Module() {
    if (h_) FreeLibrary(h_);
}

FARPROC Module::proc(const char *name) const {
    FARPROC p = h_ ? GetProcAddress(h_, name) : nullptr;
    // Thrown, not answered null: no caller can then call through it.
    if (!p) throw std::runtime_error(std::string("export ") + name + " not found" + (h_ ? "" : " (the module did not load)"));
    return p;
}

int Module::setCallBacks(void *table) {
    auto f = reinterpret_cast<ZamSetCallBacksFn>(proc(setCallBacksName));
    return f(table);
}

TAppObj *Module::setup(TAppObj *object) {
    auto f = reinterpret_cast<ZamExtSetupProcFn>(proc("ZamExtSetupProc"));
    return f(object);
}

int Module::message(int code, const Bytes &request) {
    GuardedBuffer req(request.size());
    if (request.size()) std::memcpy(req.data(), request.data(), request.size());
    return send(code, req.data());
}

int Module::messageInBlock(int code, const Bytes &request) {
    size_t block = static_cast<size_t>(Host::get().maxBlockSize);
    GuardedBuffer req(block);
    req.fill('x');
    std::memcpy(req.data(), request.data(), request.size() < block ? request.size() : block);
    return send(code, req.data());
}

int Module::send(int code, unsigned char *request) {
    auto f = reinterpret_cast<ZamExtMessageProcFn>(proc(messageProcName));
    reply_.fill(kReplyFill);
    Host &h = Host::get();
    h.currentReply = reply_.data();
    h.currentReplySize = reply_.size();
    h.movedReply = nullptr;
    int n = f(static_cast<unsigned>(code), request, reply_.data());
    // A host whose reply area moved sends what the last area holds.
    if (h.movedReply) std::memcpy(reply_.data(), h.movedReply, reply_.size());
    h.movedReply = nullptr;
    h.currentReply = nullptr;
    h.currentReplySize = 0;
    return n;
}

int Module::hostVersion(int build) {
    Bytes b;
    b.zeros(18).u16(static_cast<uint16_t>(build));
    return message(kMsgHostVersion, b);
}

void Module::start(int build) {
    Host &h = Host::get();
    h.enableExt({26});
    setCallBacks(h.ext());
    setup(h.app());
    hostVersion(build);
    message(kMsgLoad);
}

namespace {
void removeTree(const std::string &dir) {
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string p = dir + "\\" + name;
            SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(p);
            else DeleteFileA(p.c_str());
        } while (FindNextFileA(f, &fd));
        FindClose(f);
    }
    RemoveDirectoryA(dir.c_str());
}
}  // namespace

TempDir::TempDir() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned serial;
    for (;;) {
        char name[MAX_PATH + 64];
        std::snprintf(name, sizeof name, "%sqvt%lu_%u", base, GetCurrentProcessId(), serial++);
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder in " << base;
            break;
        }
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) removeTree(path_);
}

void TempDir::write(const std::string &name, const std::string &content) const { writeFile(file(name), content); }

std::string TempDir::read(const std::string &name) const { return readFile(file(name)); }

std::string readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
}

}  // namespace th
