#include "capture.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "writer.h"

namespace ptest {

StdoutCapture::StdoutCapture() {
    char dir[MAX_PATH], file[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "ptc", 0, file);
    path_ = file;
    std::fflush(stdout);
    saved_ = _dup(1);
    int fd = _sopen(file, _O_WRONLY | _O_TRUNC | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    _dup2(fd, 1);
    _close(fd);
}

StdoutCapture::~StdoutCapture() {
    std::fflush(stdout);
    _dup2(saved_, 1);
    _close(saved_);
    DeleteFileA(path_.c_str());
}

std::string StdoutCapture::text() const {
    std::fflush(stdout);
    std::string text = readFile(path_);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

bool StdoutCapture::waitFor(const std::string &needle, unsigned timeoutMs) const {
    return ptest::waitFor([&] { return text().find(needle) != std::string::npos; }, timeoutMs);
}

}  // namespace ptest
