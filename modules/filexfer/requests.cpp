#include "requests.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <windows.h>

#include "records.h"
#include "zam_entry.h"
#include "zamentry.h"

namespace {

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The one output file, kept between requests.
FilePtr g_out;

int status(const ZamRequest &req, int code) { return zam_replyInt(req, code); }

// Request 1: a new open closes the file kept before.
int openFile(const ZamRequest &req) {
    WireReader r = req.reader();
    std::string_view name;
    if (!fx_readName(r, name)) return status(req, kFxCantOpenTerminalFile);
    g_out.reset();
    g_out.reset(std::fopen(std::string(name).c_str(), "wb"));
    // Unbuffered: a write that fails is reported on the request whose bytes
    // did not land, not at a later request.
    if (g_out) std::setvbuf(g_out.get(), nullptr, _IONBF, 0);
    return status(req, g_out ? kFxOk : kFxCantOpenTerminalFile);
}

// Request 2.
int closeFile(const ZamRequest &req) {
    if (!g_out) return status(req, kFxCantCloseTerminalFile);
    int rc = std::fclose(g_out.release());
    return status(req, rc == 0 ? kFxOk : kFxCantCloseTerminalFile);
}

// Request 3: a failed write keeps the file open.
int writeBlock(const ZamRequest &req) {
    WireReader r = req.reader();
    FxBlock block;
    if (!fx_readBlock(r, block) || !g_out) return status(req, kFxCantWriteTerminalFile);
    size_t written = block.length ? std::fwrite(block.data, 1, block.length, g_out.get()) : 0;
    if (written == block.length) return status(req, kFxOk);
    // Reported here; the stream's error mark would taint request 2 too.
    std::clearerr(g_out.get());
    return status(req, kFxCantWriteTerminalFile);
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

// Request 4.
int iniKey(const ZamRequest &req) {
    WireReader r = req.reader();
    FxIniKey ask;
    if (!fx_readIniKey(r, ask)) return status(req, kFxNoIniKey);
    IniSearch search;
    search.key = ask.key;
    ReadIniFile(std::string(ask.file).c_str(), takeFirstMatch, &search);
    if (!search.found) return status(req, kFxNoIniKey);
    WireWriter w = req.writer();
    w.i32(kFxOk);
    w.text(search.value);
    return zam_replyLength(w);
}

// Request 5.
int deleteFile(const ZamRequest &req) {
    WireReader r = req.reader();
    std::string_view name;
    if (!fx_readName(r, name)) return status(req, kFxCantDelete);
    return status(req, std::remove(std::string(name).c_str()) == 0 ? kFxOk : kFxCantDelete);
}

// Request 6.
int version(const ZamRequest &req) {
    WireWriter w = req.writer();
    w.i32(kFxOk);
    w.i32(kFxVersion);
    return zam_replyLength(w);
}

// Request 7: the error number as it stood when the request came, before
// anything this request did could change it.
int lastError(const ZamRequest &req) {
    int number = fx_errnoOnEntry();
    WireWriter w = req.writer();
    w.i32(kFxOk);
    w.i32(number);
    w.text(number ? std::strerror(number) : "");
    return zam_replyLength(w);
}

// Request 8: a path longer than 260 characters is a failure, not a cut.
int tempPath(const ZamRequest &req) {
    char path[kFxTempPathMax + 1];
    DWORD n = GetTempPathA(sizeof path, path);
    if (n == 0 || n > kFxTempPathMax) return status(req, kFxWinApiFailed);
    WireWriter w = req.writer();
    w.i32(kFxOk);
    w.text(std::string_view(path, n));
    return zam_replyLength(w);
}

// Request 9: the reply ends with the text's terminator.
int localeInfo(const ZamRequest &req) {
    WireReader r = req.reader();
    int32_t type = 0;
    if (!fx_readLocaleType(r, type)) return status(req, kFxNoLocaleInfo);
    char text[kFxLocaleMax];
    int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, static_cast<LCTYPE>(type), text, sizeof text);
    if (n <= 0) return status(req, kFxNoLocaleInfo);
    WireWriter w = req.writer();
    w.i32(kFxOk);
    w.bytes(text, static_cast<size_t>(n));
    return zam_replyLength(w);
}

int unload(const ZamRequest &) {
    g_out.reset();
    return 0;
}

int g_errnoOnEntry;

// The run-time's error number before the request ran; request 7 reports it.
void keepErrno(const ZamHandlerRow &) { g_errnoOnEntry = errno; }

const ZamHandlerRow kRows[] = {
    {1, openFile, 0},   {2, closeFile, 0},  {3, writeBlock, 0}, {4, iniKey, 0},
    {5, deleteFile, 0}, {6, version, 0},    {7, lastError, 0},  {8, tempPath, 0},
    {9, localeInfo, 0}, {kMsgUnload, unload, 0},
};

}  // namespace

int fx_errnoOnEntry() { return g_errnoOnEntry; }

const ZamModuleTable zam_moduleTable = {kRows, sizeof kRows / sizeof kRows[0], kFxReplyCapacity, keepErrno};
