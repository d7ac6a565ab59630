#include "paths.h"

#include <cstring>
#include <string_view>

#include "sysenv.h"
#include "trims.h"

namespace {

bool isSep(char c) { return c == '\\' || c == '/'; }

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool startsNoCase(const char *text, std::string_view prefix) {
    for (size_t i = 0; i < prefix.size(); ++i)
        if (asciiUpper(text[i]) != asciiUpper(prefix[i])) return false;  // stops at text's NUL
    return true;
}

// A path built into a fixed buffer; once a piece does not fit it stays
// failed.
class PathBuf {
public:
    PathBuf(char *out, size_t capacity) : s_(out), cap_(capacity) { s_[0] = '\0'; }
    PathBuf &add(std::string_view v) {
        if (ok_ && n_ + v.size() < cap_) {
            std::memcpy(s_ + n_, v.data(), v.size());
            n_ += v.size();
            s_[n_] = '\0';
        } else {
            ok_ = false;
        }
        return *this;
    }
    bool ok() const { return ok_; }
    bool endsInSep() const { return n_ > 0 && isSep(s_[n_ - 1]); }

private:
    char *s_;
    size_t cap_;
    size_t n_ = 0;
    bool ok_ = true;
};

bool accept(PathTestFn test, const char *path) { return test ? test(path) : true; }

// One element of a directory list made into a candidate in out; false when
// it does not fit.
bool buildCandidate(char *out, std::string_view element, const char *name) {
    char dir[kQvMaxPath];
    if (element.size() >= sizeof dir) return false;
    std::memcpy(dir, element.data(), element.size());
    dir[element.size()] = '\0';
    txt_trimBlanks(dir);
    PathBuf b(out, kQvMaxPath);
    if (!dir[0]) return b.add(name).ok();
    if (path_isBtrv(dir)) {
        b.add(dir);
        return b.ok() && txt_replaceAll(out, kQvMaxPath, "%NAME%", name, false) == 0;
    }
    b.add(dir);
    if (!b.endsInSep()) b.add("\\");
    b.add(name);
    path_normSlashes(out);
    return b.ok();
}

// Where the file parameter's value starts in a "btrv:" location, or null.
const char *btrvFileValue(const char *query) {
    for (const char *p = query + 1;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (startsNoCase(p, "file")) {
            const char *v = p + 4;
            while (*v == ' ' || *v == '\t') ++v;
            if (*v == '=') {
                while (*v == '=' || *v == ' ' || *v == '\t') ++v;
                return v;
            }
        }
        p = std::strchr(p, '&');
        if (!p) return nullptr;
        ++p;
    }
}

struct SplitParts {
    std::string_view dirHead, dirTail, name, ext;
    bool nameToken = false;  // "%NAME%" between dirHead and dirTail
};

bool splitBtrv(const char *path, SplitParts *s) {
    const char *query = std::strchr(path, '?');
    if (!query) {
        s->dirHead = path;
        return true;
    }
    const char *v = btrvFileValue(query);
    if (!v) return false;
    const char *nameEnd = v + std::strcspn(v, ".&");
    const char *tail = nameEnd;
    if (*nameEnd == '.') {
        tail = nameEnd + std::strcspn(nameEnd, "&");
        s->ext = std::string_view(nameEnd, tail - nameEnd);
    }
    s->dirHead = std::string_view(path, v - path);
    s->nameToken = true;
    s->dirTail = tail;
    s->name = std::string_view(v, nameEnd - v);
    return true;
}

void splitOrdinary(const char *path, SplitParts *s) {
    const char *sep = path_lastSep(path);
    const char *file = sep ? sep + 1 : path;
    const char *dot = std::strrchr(file, '.');
    s->dirHead = std::string_view(path, file - path);
    s->name = dot ? std::string_view(file, dot - file) : std::string_view(file);
    if (dot) s->ext = dot;
}

bool fits(const char *out, size_t size, size_t length) { return !out || length < size; }

void put(char *out, std::string_view v) {
    if (!out) return;
    if (!v.empty()) std::memcpy(out, v.data(), v.size());
    out[v.size()] = '\0';
}

}  // namespace

bool path_isBtrv(const char *path) { return path && startsNoCase(path, "btrv:"); }

int path_search(char *out, const char *name, const char *dirList, const char *defaultExt,
                bool alreadyTried, PathTestFn test) {
    out[0] = '\0';
    if (!name) return 0;
    char base[kQvMaxPath];
    PathBuf b(base, sizeof base);
    b.add(name);
    if (defaultExt && *defaultExt && !std::strchr(path_baseName(name), '.')) b.add(defaultExt);
    if (!b.ok()) return 0;
    path_normSlashes(base);
    std::memcpy(out, base, std::strlen(base) + 1);

    if (path_isAbsolute(base) || path_hasSlash(base) || !dirList || !*dirList)
        return accept(test, out) ? 1 : 0;
    if (alreadyTried && accept(test, out)) return 1;
    for (const char *p = dirList;;) {
        const char *end = std::strchr(p, ';');
        std::string_view element = end ? std::string_view(p, end - p) : std::string_view(p);
        if (!end && element.empty()) return 0;  // a trailing ';' tests nothing
        if (buildCandidate(out, element, base) && accept(test, out)) return 1;
        if (!end) return 0;
        p = end + 1;
    }
}

bool path_exists(const char *path) {
    if (!path || !*path) return false;
    return path[0] == '$' || path_isBtrv(path) || sys_fileExists(path);
}

const char *path_split(const char *path, char *dir, size_t dirSize, char *name, size_t nameSize,
                       char *ext, size_t extSize) {
    if (!path) return nullptr;
    SplitParts s;
    if (path_isBtrv(path)) {
        if (!splitBtrv(path, &s)) return nullptr;
    } else {
        splitOrdinary(path, &s);
    }
    const std::string_view token = s.nameToken ? "%NAME%" : "";
    size_t dirLen = s.dirHead.size() + token.size() + s.dirTail.size();
    if (!fits(dir, dirSize, dirLen) || !fits(name, nameSize, s.name.size()) ||
        !fits(ext, extSize, s.ext.size()))
        return nullptr;
    if (dir) {
        put(dir, s.dirHead);
        put(dir + s.dirHead.size(), token);
        put(dir + s.dirHead.size() + token.size(), s.dirTail);
        path_normSlashes(dir);
    }
    put(name, s.name);
    put(ext, s.ext);
    return path;
}

const char *path_lastSep(const char *path) {
    if (!path) return nullptr;
    const char *b = std::strrchr(path, '\\');
    const char *s = std::strrchr(path, '/');
    return !b || (s && s > b) ? s : b;
}

const char *path_baseName(const char *path) {
    const char *sep = path_lastSep(path);
    return sep ? sep + 1 : path;
}

char *path_normSlashes(char *path) {
    if (!path || path_isBtrv(path)) return path;
    for (char *p = path; *p; ++p)
        if (*p == '/') *p = '\\';
    return path;
}

bool path_isAbsolute(const char *path) {
    if (!path || !*path) return false;
    return path[1] == ':' || path[0] == '$' || isSep(path[0]) || path_isBtrv(path);
}

bool path_hasSlash(const char *path) { return path && std::strpbrk(path, "\\/") != nullptr; }

size_t txt_replaceAll(char *text, size_t capacity, const char *token, const char *replacement,
                      bool collapse) {
    if (!text) return 0;
    const size_t len = std::strlen(text);
    const size_t tokenLen = token ? std::strlen(token) : 0;
    if (!replacement) replacement = "";
    const size_t replLen = std::strlen(replacement);
    size_t count = 0;
    if (tokenLen)
        for (const char *p = text; (p = std::strstr(p, token)) != nullptr; p += tokenLen) ++count;
    const size_t need = len - count * tokenLen + count * replLen + 1;
    if (capacity < need) return need;
    if (count) {
        // Move the text to the end of its new length first: writing from
        // the front then never overtakes what is still to be read.
        const size_t shift = need - 1 > len ? need - 1 - len : 0;
        std::memmove(text + shift, text, len + 1);
        const char *src = text + shift;
        char *dst = text;
        while (*src) {
            if (std::strncmp(src, token, tokenLen) == 0) {
                std::memcpy(dst, replacement, replLen);
                dst += replLen;
                src += tokenLen;
            } else {
                *dst++ = *src++;
            }
        }
        *dst = '\0';
    }
    if (collapse) path_collapseBackslashes(text);
    return 0;
}

size_t path_collapseBackslashes(char *path) {
    if (!path) return 0;
    char *start = path;
    while (*start == ' ' || *start == '\t' || *start == '\\') ++start;
    char *w = start;
    size_t removed = 0;
    for (const char *r = start; *r; ++r) {
        if (*r == '\\' && w > start && w[-1] == '\\') {
            ++removed;
            continue;
        }
        *w++ = *r;
    }
    *w = '\0';
    return removed;
}
