// Requests 103 to 106 and 108: file copy, rename, directory operations, the
// current directory and the two-number file.
#include <climits>

#include "filecopy.h"
#include "handlers.h"
#include "hostpath.h"
#include "module.h"
#include "oemtext.h"
#include "winfile.h"

namespace {

// Two texts: the first at `at`, the second at `at` + offset, where the offset
// must lie past the first text's terminator and inside the record.
bool readPair(WireReader &r, size_t at, int32_t offset, std::string &first, std::string &second) {
    if (!r.seek(at)) return false;
    first = std::string(r.text());
    if (!r.ok() || offset <= static_cast<int32_t>(first.size()) || !r.seek(at + offset)) return false;
    second = std::string(r.text());
    return r.ok();
}

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

// +4 offset of the destination from +8, +8 source, then the destination.
int tc_fileCopy(const TcRequest &req) {
    WireReader r = req.reader();
    r.skip(4);
    int32_t offset = r.i32();
    std::string source, dest, sourcePath, destPath;
    int64_t copied = -1;
    if (r.ok() && readPair(r, 8, offset, source, dest) &&
        host_composePath(destPath, dest, tc_setting(kSetUpDir)) &&
        host_findFilePath(sourcePath, source, tc_setting(kSetDnDir), 1))
        copied = file_copy(sourcePath, destPath);
    WireWriter w = req.writer();
    // A copy of 2 GB or more reports the largest count the field holds.
    w.i32(copied > INT32_MAX ? INT32_MAX : static_cast<int32_t>(copied));
    w.i32(0);
    return tc_replyLength(w);
}

// +4 offset of the new name from +8, +8 old name, then the new name.
int tc_fileRename(const TcRequest &req) {
    WireReader r = req.reader();
    r.skip(4);
    int32_t offset = r.i32();
    std::string from, to;
    bool ok = r.ok() && readPair(r, 8, offset, from, to);
    std::wstring wf = oem_toWide(from), wt = oem_toWide(to);
    ok = ok && !wf.empty() && !wt.empty() && MoveFileW(wf.c_str(), wt.c_str());
    return tc_replyInt(req, ok ? 0 : -1);
}

// +4 operation, +6 path.
int tc_dirOp(const TcRequest &req) {
    WireReader r = req.reader();
    r.skip(4);
    int16_t op = r.i16();
    std::string path(r.text());
    return tc_replyInt(req, r.ok() && dirOp(op, path) ? 0 : -1);
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

// +2 first value, +6 second value, +10 file name.
int tc_filePut2(const TcRequest &req) {
    WireReader r = req.reader();
    r.skip(2);
    int32_t a = r.i32(), b = r.i32();
    std::string name(r.text());
    if (!r.ok()) return tc_replyInt(req, -1);
    unsigned char data[8];
    WireWriter d(data, sizeof data);
    d.i32(a);
    d.i32(b);
    FileHandle f = file_create(name);
    bool ok = f && file_writeAll(f.get(), data, sizeof data);
    ok = f.close() && ok;
    return tc_replyInt(req, ok ? 0 : -1);
}
