// Request 107: status, times and full path of files named by the server.
#include "filestat.h"

#include <algorithm>
#include <vector>

#include "filetime.h"
#include "handlers.h"
#include "hostpath.h"
#include "module.h"
#include "oemtext.h"
#include "paths.h"
#include "records.h"
#include "winfile.h"

namespace {

// The reply gathers the entries in a working area of this size.
constexpr size_t kStatArea = 8200;
constexpr size_t kBaseCapacity = 1024;
constexpr size_t kEntryFixed = 27;

struct Macro {
    const char *token;
    TcSetting setting;
};
const Macro kMacros[] = {
    {"%DATAPATH%", kSetDataPath}, {"%DBFPATH%", kSetDbfPath}, {"%TXTPATH%", kSetTxtPath},
    {"%INCPATH%", kSetIncPath},   {"%OUTPUT%", kSetOutput},   {"%CASHDIR%", kSetCashDir},
    {"%SRCDIR%", kSetSrcDir},     {"%UPDIR%", kSetUpDir},     {"%DNDIR%", kSetDnDir},
};

// Where a name is looked for: in one directory (host flag 0), or in DNDIR
// and then UPDIR (flag 1).
struct Lookup {
    std::string name, dir;
    bool inDir;
};

void putEntry(WireWriter &w, const Lookup &l) {
    std::string path;
    bool found = l.inDir ? host_findFilePath(path, l.name, l.dir, 0)
                         : host_findFilePath(path, l.name, tc_setting(kSetDnDir), 1) ||
                               host_findFilePath(path, l.name, tc_setting(kSetUpDir), 1);
    FileInfo info;
    if (found) {
        bool ok = file_infoByPath(path, info);
        w.i32(ok ? 0 : -1);
        if (ok) time_putDate(w, info.modification);
        else w.zeros(7);
        w.u32(ok ? static_cast<uint32_t>(info.size) : 0);
        w.i32(ok ? time_wire(info.access) : 0);
        w.i32(ok ? time_wire(info.modification) : 0);
        w.i32(ok ? time_wire(info.change) : 0);
    } else {
        if (!host_composePath(path, l.name, l.inDir ? l.dir : tc_setting(kSetUpDir))) path = l.name;
        w.zeros(15);
        w.i32(-1);
        w.i32(-1);
        w.i32(-1);
    }
    w.text(file_absolute(path));
}

// One entry, unless it would not fit; false then, with nothing written.
bool addEntry(WireWriter &w, const Lookup &l) {
    unsigned char scratch[kEntryFixed + 2 * kHostPathMax + 8];
    WireWriter e(scratch, sizeof scratch);
    putEntry(e, l);
    if (!e.ok() || e.size() > w.left()) return false;
    w.bytes(scratch, e.size());
    return true;
}

// Mode 0: a name whose directory part names a macro is looked for in the
// expanded directory.
Lookup single(const std::string &name) {
    Lookup l{name, "", false};
    std::string dir, file;
    if (!host_splitPath(name, &dir, &file)) return l;
    std::string expanded = dir;
    tc_expandFileMacros(expanded, kHostPathMax);
    if (expanded != dir) l = Lookup{file, expanded, true};
    return l;
}

}  // namespace

size_t tc_collapseBackslashPairs(char *text) {
    char *out = text;
    size_t removed = 0;
    for (const char *in = text; *in;) {
        *out++ = *in;
        if (in[0] == '\\' && in[1] == '\\') {
            in += 2;
            ++removed;
        } else {
            ++in;
        }
    }
    *out = 0;
    return removed;
}

bool tc_expandFileMacros(std::string &text, size_t capacity) {
    if (text.size() >= capacity) return false;
    std::vector<char> buf(capacity, '\0');
    std::copy(text.begin(), text.end(), buf.begin());
    for (const Macro &m : kMacros) {
        if (txt_replaceAll(buf.data(), capacity, m.token, tc_setting(m.setting).c_str(), false) != 0)
            return false;
        tc_collapseBackslashPairs(buf.data());
    }
    text = buf.data();
    return true;
}

// A name (mode 0), or a base directory and then names.
int tc_fileStat(const TcRequest &req) {
    TcStatRecord rec;
    if (!tc_readStat(req.data, req.length, rec)) return 0;
    WireWriter w(req.reply, std::min(req.replyCapacity, kStatArea));
    if (rec.mode == 0) {
        addEntry(w, single(std::string(rec.first)));
        return tc_replyLength(w);
    }
    std::string base(rec.first);
    tc_expandFileMacros(base, kBaseCapacity);
    for (std::string_view name : rec.names)
        if (!addEntry(w, Lookup{std::string(name), base, !base.empty()})) return tc_replyLength(w);
    // A list that runs past the record is no request.
    return rec.complete ? tc_replyLength(w) : 0;
}
