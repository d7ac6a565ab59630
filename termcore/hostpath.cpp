#include "hostpath.h"

#include <cstring>

#include "module.h"

namespace {

// The helper writes at most 260 bytes; the slack catches one that does not
// keep to that before it can reach anything else.
struct PathOut {
    char buf[kHostPathMax * 2] = {};
    bool take(std::string &out) const {
        const void *end = std::memchr(buf, 0, kHostPathMax);
        if (!end) return false;
        out.assign(buf, static_cast<const char *>(end) - buf);
        return true;
    }
};

// Room for both parts, a separator and the terminator in one path.
bool fits(const std::string &a, const std::string &b) {
    return a.size() + b.size() + 2 <= static_cast<size_t>(kHostPathMax);
}

ZamExtCallBacks *ext() { return zam_host().ext; }

}  // namespace

bool host_composePath(std::string &out, const std::string &name, const std::string &dir) {
    if (!ext() || !fits(name, dir)) return false;
    PathOut p;
    ext()->ComposePath(p.buf, name.c_str(), dir.c_str(), 0);
    return p.take(out) && !out.empty();
}

bool host_findFilePath(std::string &out, const std::string &name, const std::string &dir, int flag) {
    if (!ext() || !fits(name, dir) || name.empty()) return false;
    PathOut p;
    if (!ext()->FindFilePath(p.buf, name.c_str(), dir.c_str(), 0, flag)) return false;
    return p.take(out) && !out.empty();
}

bool host_splitPath(const std::string &path, std::string *dir, std::string *name) {
    if (!ext() || path.size() >= static_cast<size_t>(kHostPathMax)) return false;
    PathOut d, n;
    ext()->SplitPath(path.c_str(), dir ? d.buf : nullptr, name ? n.buf : nullptr, 0);
    if (dir && !d.take(*dir)) return false;
    if (name && !n.take(*name)) return false;
    return true;
}

bool host_makePath(std::string &out, const std::string &dir, const std::string &name) {
    if (!ext() || !fits(dir, name)) return false;
    PathOut p;
    ext()->MakePath(p.buf, dir.c_str(), name.c_str(), nullptr);
    return p.take(out) && !out.empty();
}
