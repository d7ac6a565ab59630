// Requests 103 to 106 and 108: file copy, rename, directory operations, the
// current directory and the two-number file.
#include <climits>

#include "filecopy.h"
#include "handlers.h"
#include "hostpath.h"
#include "module.h"
#include "oemtext.h"
#include "records.h"
#include "winfile.h"

namespace {

enum : int16_t { kMakeDir = 0, kRemoveDir = 1, kDeleteFile = 2 };

bool dirOp(int16_t op, const std::string &path) {
    std::wstring w = oem_toWide(path);
    switch (op) {
    case kMakeDir: return !w.empty() && CreateDirectoryW(w.c_str(), nullptr);
    case kRemoveDir: return !w.empty() && RemoveDirectoryW(w.c_str());
    case kDeleteFile: {
        std::string found;
        if (!host_findFilePath(found, path, tc_setting(kSetDnDir), 1) &&
            !host_findFilePath(found, path, tc_setting(kSetUpDir), 1))
            return false;
        return file_delete(found);
    }
    default: return false;
    }
}

}  // namespace

// The source, then the destination.
int tc_fileCopy(const TcRequest &req) {
    TcNamePair names;
    std::string sourcePath, destPath;
    int64_t copied = -1;
    if (tc_readNamePair(req.data, req.length, names) &&
        host_composePath(destPath, std::string(names.second), tc_setting(kSetUpDir)) &&
        host_findFilePath(sourcePath, std::string(names.first), tc_setting(kSetDnDir), 1))
        copied = file_copy(sourcePath, destPath);
    WireWriter w = req.writer();
    // A copy of 2 GB or more reports the largest count the field holds.
    w.i32(copied > INT32_MAX ? INT32_MAX : static_cast<int32_t>(copied));
    w.i32(0);
    return tc_replyLength(w);
}

// The old name, then the new name.
int tc_fileRename(const TcRequest &req) {
    TcNamePair names;
    bool ok = tc_readNamePair(req.data, req.length, names);
    std::wstring wf = oem_toWide(names.first), wt = oem_toWide(names.second);
    ok = ok && !wf.empty() && !wt.empty() && MoveFileW(wf.c_str(), wt.c_str());
    return tc_replyInt(req, ok ? 0 : -1);
}

int tc_dirOp(const TcRequest &req) {
    TcDirOpRecord rec;
    bool ok = tc_readDirOp(req.data, req.length, rec) && dirOp(rec.operation, std::string(rec.path));
    return tc_replyInt(req, ok ? 0 : -1);
}

int tc_getCwd(const TcRequest &req) {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetCurrentDirectoryW(MAX_PATH * 2, buf);
    std::string cwd = n > 0 && n < MAX_PATH * 2 ? oem_fromWide(std::wstring_view(buf, n)) : std::string();
    WireWriter w = req.writer();
    if (cwd.empty() || cwd.size() + 1 > static_cast<size_t>(kHostPathMax)) {
        w.i32(-1);
        w.i32(0);
        return tc_replyLength(w);
    }
    w.i32(0);
    w.i32(static_cast<int32_t>(cwd.size() + 1));
    w.text(cwd);
    return tc_replyLength(w);
}

int tc_filePut2(const TcRequest &req) {
    TcPut2Record rec;
    if (!tc_readPut2(req.data, req.length, rec)) return tc_replyInt(req, -1);
    unsigned char data[8];
    WireWriter d(data, sizeof data);
    d.i32(rec.first);
    d.i32(rec.second);
    winutil::unique_handle f = file_create(std::string(rec.name));
    bool ok = f && file_writeAll(f.get(), data, sizeof data);
    ok = f.close() && ok;
    return tc_replyInt(req, ok ? 0 : -1);
}
