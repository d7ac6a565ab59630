#include "requests.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <windows.h>

#include "wire.h"
#include "zamentry.h"

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The one output file, kept between requests.
FilePtr g_out;

int status(WireWriter &w, int code) {
    w.i32(code);
    return static_cast<int>(w.size());
}

// Request 1: a new open closes the file kept before.
int openFile(WireReader &r, WireWriter &w) {
    r.seek(4);
    std::string name(r.text());
    if (!r.ok()) return status(w, kFxCantOpenTerminalFile);
    g_out.reset();
    g_out.reset(std::fopen(name.c_str(), "wb"));
    return status(w, g_out ? kFxOk : kFxCantOpenTerminalFile);
}

// Request 2.
int closeFile(WireWriter &w) {
    if (!g_out) return status(w, kFxCantCloseTerminalFile);
    int rc = std::fclose(g_out.release());
    return status(w, rc == 0 ? kFxOk : kFxCantCloseTerminalFile);
}

// Request 3: a failed write keeps the file open.
int writeBlock(WireReader &r, WireWriter &w) {
    int32_t n = r.i32();
    if (!r.ok() || n < 0 || !g_out) return status(w, kFxCantWriteTerminalFile);
    const unsigned char *data = r.bytes(static_cast<size_t>(n));
    if (!data && n > 0) return status(w, kFxCantWriteTerminalFile);
    size_t written = n > 0 ? std::fwrite(data, 1, static_cast<size_t>(n), g_out.get()) : 0;
    return status(w, written == static_cast<size_t>(n) ? kFxOk : kFxCantWriteTerminalFile);
}

struct IniSearch {
    std::string key;
    std::string value;
    bool found = false;
};

// Stops the walk at the first key the terminal calls equal.
int ZAMCB takeFirstMatch(const char *key, const char *value, void *context) {
    auto *s = static_cast<IniSearch *>(context);
    if (!key || CompareNames(key, s->key.c_str()) != 0) return 0;
    s->found = value && std::strlen(value) < kFxIniValueMax;
    if (s->found) s->value = value;
    return 100;
}

// Request 4: +0 non-zero, +4 the key, the ini file after the key's NUL.
int iniKey(WireReader &r, WireWriter &w) {
    int32_t wanted = r.i32();
    if (!r.ok() || wanted == 0) return status(w, kFxNoIniKey);
    IniSearch search;
    search.key = r.text();
    std::string file(r.text());
    if (!r.ok()) return status(w, kFxNoIniKey);
    ReadIniFile(file.c_str(), takeFirstMatch, &search);
    if (!search.found) return status(w, kFxNoIniKey);
    w.i32(kFxOk);
    w.text(search.value);
    return static_cast<int>(w.size());
}

// Request 5.
int deleteFile(WireReader &r, WireWriter &w) {
    r.seek(4);
    std::string name(r.text());
    if (!r.ok()) return status(w, kFxCantDelete);
    return status(w, std::remove(name.c_str()) == 0 ? kFxOk : kFxCantDelete);
}

// Request 6.
int version(WireWriter &w) {
    w.i32(kFxOk);
    w.i32(kFxVersion);
    return static_cast<int>(w.size());
}

// Request 7: the error number as it stood when the request came.
int lastError(int number, WireWriter &w) {
    w.i32(kFxOk);
    w.i32(number);
    w.text(number ? std::strerror(number) : "");
    return static_cast<int>(w.size());
}

// Request 8: a path longer than 260 characters is a failure, not a cut.
int tempPath(WireWriter &w) {
    char path[kFxTempPathMax + 1];
    DWORD n = GetTempPathA(sizeof path, path);
    if (n == 0 || n > kFxTempPathMax) return status(w, kFxWinApiFailed);
    w.i32(kFxOk);
    w.text(std::string_view(path, n));
    return static_cast<int>(w.size());
}

// Request 9: the reply ends with the text's terminator.
int localeInfo(WireReader &r, WireWriter &w) {
    r.seek(4);
    int32_t type = r.i32();
    if (!r.ok()) return status(w, kFxNoLocaleInfo);
    char text[kFxLocaleMax];
    int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, static_cast<LCTYPE>(type), text, sizeof text);
    if (n <= 0) return status(w, kFxNoLocaleInfo);
    w.i32(kFxOk);
    w.bytes(text, static_cast<size_t>(n));
    return static_cast<int>(w.size());
}

}  // namespace

int fx_request(int code, const void *request, void *reply) {
    int lastErrno = errno;
    WireReader r(request, kWireUnbounded);
    WireWriter w(reply, kFxReplyCapacity);
    switch (code) {
    case 1: return openFile(r, w);
    case 2: return closeFile(w);
    case 3: return writeBlock(r, w);
    case 4: return iniKey(r, w);
    case 5: return deleteFile(r, w);
    case 6: return version(w);
    case 7: return lastError(lastErrno, w);
    case 8: return tempPath(w);
    case 9: return localeInfo(r, w);
    case -2:
        g_out.reset();
        return 0;
    default: return 0;
    }
}
