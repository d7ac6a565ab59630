// Loads a module as the host does (LoadLibrary by name, exports by their
// literal names) and sends it requests with the request record and the
// reply area placed against guard pages.
#pragma once

#include <memory>
#include <string>

#include "bytes.h"
#include "guardbuf.h"
#include "host.h"

namespace th {

// Folder of the built deliverables (QV_DIST_DIR), with a trailing backslash.
std::string distDir();
// A file of the source tree (QV_SOURCE_DIR), '/' separated relative path.
std::string sourcePath(const std::string &relative);

class Module {
public:
    // file: a deliverable's file name, loaded from distDir().
    explicit Module(const std::string &file, size_t replyCapacity = 65536);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    HMODULE handle() const { return h_; }
    // The export, never null: a module that did not load or lacks the
    // export throws std::runtime_error, and the test fails saying so.
    FARPROC proc(const char *name) const;

    // The export names of formkit, termcore, comscript and comgate; the
    // small message modules use "ZamSetCallBacks" and "_ZamExtMessageProc".
    const char *setCallBacksName = "_ZamSetCallBacks@4";
    const char *messageProcName = "ZamExtMessageProc";

    int setCallBacks(void *table);
    TAppObj *setup(TAppObj *object);
    // The reply area is filled with kReplyFill before each request; when the
    // host moved it (Host::moveReplyBuff), it holds what the host sends.
    int message(int code, const Bytes &request);
    int message(int code) { return message(code, Bytes()); }
    // The request at the start of a block of the host's maxBlockSize,
    // filled up with 'x' and followed by a guard page: a module may read the
    // block but nothing past it.
    int messageInBlock(int code, const Bytes &request);
    // Code -4 with the build number at byte 18.
    int hostVersion(int build);
    // setCallBacks and setup with the stand-in host (its GetMaxBlockSize
    // enabled), then -4 and -1.
    void start(int build = 114);

    const unsigned char *reply() const { return reply_.data(); }
    size_t replyCapacity() const { return reply_.size(); }
    bool replyUntouchedFrom(size_t offset) const { return reply_.untouchedFrom(offset, kReplyFill); }

    static constexpr unsigned char kReplyFill = 0xCD;

private:
    int send(int code, unsigned char *request);

    HMODULE h_ = nullptr;
    GuardedBuffer reply_;
};

// The whole content of a file, and a file made or replaced with content.
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &content);

// A temporary folder, removed with its contents at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }
    void write(const std::string &name, const std::string &content) const;
    std::string read(const std::string &name) const;

private:
    std::string path_;
};

}  // namespace th
