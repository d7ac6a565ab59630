// Request 102: a directory listing in pages, deleting, copying or moving each
// listed file on the way.
#include <algorithm>

#include "filecopy.h"
#include "filetime.h"
#include "handlers.h"
#include "hostpath.h"
#include "module.h"
#include "oemtext.h"
#include "records.h"
#include "winfile.h"

namespace {

enum : uint8_t { kStageFirst = 0, kStageNext = 1, kStageClose = 3 };
enum : int32_t { kFlagFiles = 1, kFlagDirs = 2 };

constexpr size_t kReplyHeader = 6;
// Fixed bytes of an entry besides its name and the name's terminator.
constexpr size_t kEntryFixed = 15;
constexpr uint8_t kDirAttribute = 0x10;

struct DirSearch {
    winutil::unique_find_handle find;
    WIN32_FIND_DATAW entry = {};
    bool haveEntry = false;  // entry is found but not yet listed
    int32_t flags = 0;
    int16_t action = 0;
    std::string sourceDir, destDir, secondPattern;
};

DirSearch &search() {
    static DirSearch s;
    return s;
}

bool openSearch(const std::string &pattern) {
    DirSearch &s = search();
    std::wstring w = oem_toWide(pattern);
    s.find.reset(w.empty() ? INVALID_HANDLE_VALUE : FindFirstFileW(w.c_str(), &s.entry));
    s.haveEntry = static_cast<bool>(s.find);
    return s.haveEntry;
}

// The first pass of a listing of files and directories lists the pattern's
// files; the second lists the directories of "*.*" in the same place.
std::string allOf(const std::string &dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/' && dir.back() != ':') return dir + "\\*.*";
    return dir + "*.*";
}

bool passes(const DirSearch &s) {
    bool dir = (s.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!s.secondPattern.empty() && s.action == kTcActionList) return !dir;
    switch (s.flags & (kFlagFiles | kFlagDirs)) {
    case kFlagFiles: return !dir;
    case kFlagDirs:
    case kFlagFiles | kFlagDirs: return dir;
    default: return false;
    }
}

// Moves to the next entry; at the end of the first pass opens the second,
// which starts on the next page. False when the page must end.
bool advance(DirSearch &s) {
    if (FindNextFileW(s.find.get(), &s.entry)) {
        s.haveEntry = true;
        return true;
    }
    s.find.reset();
    s.haveEntry = false;
    if (!s.secondPattern.empty() && s.action == kTcActionList) {
        std::string second;
        second.swap(s.secondPattern);
        openSearch(second);
    }
    return false;
}

struct Marks {
    uint8_t done = 0;     // copied (copy and move)
    uint8_t deleted = 0;  // deleted (delete and move)
};

Marks act(const DirSearch &s, const std::string &name) {
    Marks m;
    std::string source, dest;
    if (s.action == kTcActionDelete) {
        m.deleted = host_makePath(source, s.sourceDir, name) && file_delete(source);
    } else if (s.action == kTcActionCopy || s.action == kTcActionMove) {
        m.done = host_makePath(source, s.sourceDir, name) && host_makePath(dest, s.destDir, name) &&
                 file_copy(source, dest) >= 0;
        if (m.done && s.action == kTcActionMove) m.deleted = file_delete(source);
    }
    return m;
}

void putEntry(WireWriter &w, const DirSearch &s, const std::string &name, const Marks &m) {
    const WIN32_FIND_DATAW &e = s.entry;
    w.u32(e.nFileSizeLow);
    time_putDate(w, time_fromFileTime(e.ftLastWriteTime));
    bool copying = s.action == kTcActionCopy || s.action == kTcActionMove;
    uint8_t dirAttr = (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? kDirAttribute : 0;
    w.u8(copying ? m.done : dirAttr);
    w.u8(m.deleted);
    w.u16(static_cast<uint16_t>(name.size() + 1));
    w.text(name);
}

int page(const TcRequest &req) {
    DirSearch &s = search();
    WireWriter w = req.writer();
    w.zeros(kReplyHeader);
    size_t budget = std::min(tc_dataBlock(kReplyHeader),
                             req.replyCapacity > kReplyHeader ? req.replyCapacity - kReplyHeader : 0);
    uint16_t count = 0;
    while (s.find) {
        if (!s.haveEntry && !advance(s)) break;
        if (!passes(s)) {
            s.haveEntry = false;
            continue;
        }
        std::string name = oem_fromWide(s.entry.cFileName);
        size_t length = kEntryFixed + name.size() + 1;
        if (length >= budget) {
            if (count > 0) break;
            // Not even an empty page holds it: passed over, or the listing
            // would never move on.
            s.haveEntry = false;
            continue;
        }
        putEntry(w, s, name, act(s, name));
        budget -= length;
        ++count;
        s.haveEntry = false;
    }
    size_t end = w.size();
    w.seek(0);
    w.i32(s.find ? 1 : 0);
    w.u16(count);
    w.seek(end);
    return tc_replyLength(w);
}

// Stage 0: flags, action, pattern and, for copy and move, the destination.
int first(const TcRequest &req, const TcDirListRecord &rec) {
    DirSearch &s = search();
    s = DirSearch();
    // A record that runs past its end names no listing: refused.
    if (!rec.bodyOk) return tc_replyInt(req, -1);
    s.flags = rec.flags;
    s.action = rec.action;
    std::string pattern(rec.pattern);
    bool ok = true;
    if (s.action == kTcActionCopy || s.action == kTcActionMove)
        ok = host_splitPath(std::string(rec.destination), &s.destDir, nullptr);
    if (ok && s.action != kTcActionList) ok = host_splitPath(pattern, &s.sourceDir, nullptr);
    if (ok && s.action == kTcActionList && (s.flags & 3) == 3) {
        std::string dir;
        ok = host_splitPath(pattern, &dir, nullptr);
        s.secondPattern = allOf(dir);
    }
    if (!ok) {
        s = DirSearch();
        return page(req);
    }
    if (!openSearch(pattern) && !s.secondPattern.empty()) {
        std::string second;
        second.swap(s.secondPattern);
        openSearch(second);
    }
    return page(req);
}

}  // namespace

int tc_dirList(const TcRequest &req) {
    TcDirListRecord rec;
    if (!tc_readDirList(req.data, req.length, rec)) return 0;
    switch (rec.stage) {
    case kStageFirst: return first(req, rec);
    case kStageNext: return page(req);
    case kStageClose: tc_closeDirList(); return 0;
    default: return 0;
    }
}

void tc_closeDirList() { search() = DirSearch(); }
