#include "labels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char *skipBlanks(const char *s) {
    while (*s == ' ') ++s;
    return s;
}

void cutTrailingBlanks(std::string &s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
}

// Writes s back over text, cut to capacity.
char *putBack(char *text, size_t capacity, const std::string &s) {
    if (capacity == 0) return text;
    size_t n = s.size() < capacity - 1 ? s.size() : capacity - 1;
    std::memcpy(text, s.data(), n);
    text[n] = 0;
    return text;
}

const char kNoHotkeyAfterTilde[] = "<>=-+*/:;,.!?@#$%";

}  // namespace

char *px_barsToNewlines(char *text) {
    for (char *p = text; p && *p; ++p)
        if (*p == '|') *p = '\n';
    return text;
}

char *px_makeLabel(char *text) {
    if (!text) return text;
    std::string s;
    bool first = true;
    for (const char *p = skipBlanks(text); *p; ++p) {
        if (*p != '~') s += *p;
        else if (first) s += '&', first = false;
    }
    cutTrailingBlanks(s);
    return putBack(text, s.size() + 1, s);
}

char *px_stripTilde(char *text) {
    if (!text) return nullptr;
    char *w = text;
    bool any = false;
    for (const char *r = text; *r; ++r) {
        if (*r == '~') any = true;
        else *w++ = *r;
    }
    *w = 0;
    return any ? w : nullptr;
}

char *px_makeMenuText(char *text, size_t capacity) {
    if (!text || capacity == 0) return nullptr;
    std::string s;
    bool first = true;
    const char *p = skipBlanks(text);
    for (; *p; ++p) {
        if (*p != '~') {
            s += *p;
        } else if (first) {
            first = false;
            if (!p[1] || !std::strchr(kNoHotkeyAfterTilde, p[1])) s += '&';
        }
    }
    cutTrailingBlanks(s);

    std::string t;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        bool keep = i == 0 || s[i - 1] == '-';
        if (c == 16 || c == 17) t += ' ';
        else if (c == 26 && !keep) t += "->";
        else if (c == 27 && !keep) t += "-<";
        else if (c != 255) t += static_cast<char>(c);
    }

    size_t tab = std::string::npos;
    size_t run = t.find("  ");
    if (run != std::string::npos) {
        size_t end = t.find_first_not_of(' ', run);
        if (end != std::string::npos) {
            t.replace(run, end - run, "\t");
            tab = run;
            std::string tail;
            for (size_t i = tab + 1; i < t.size(); ++i)
                if (t[i] != '&') tail += t[i];
            t.erase(tab + 1);
            t += tail;
        }
    }
    putBack(text, capacity, t);
    return tab != std::string::npos && tab < capacity - 1 ? text + tab : nullptr;
}

char *px_toCrLf(const char *text, char *buf, size_t bufSize) {
    if (!text) text = "";
    size_t need = 1;
    for (const char *p = text; *p; ++p) {
        if (*p == '\r' && p[1] == '\n') need += 2, ++p;
        else if (*p == '\r' || *p == '\n') need += 2;
        else need += 1;
    }
    char *out = buf;
    if (!out || need > bufSize) {
        out = static_cast<char *>(std::malloc(need));
        if (!out) return nullptr;
    }
    char *w = out;
    for (const char *p = text; *p; ++p) {
        if (*p == '\r' || *p == '\n') {
            *w++ = '\r';
            *w++ = '\n';
            if (*p == '\r' && p[1] == '\n') ++p;
        } else {
            *w++ = *p;
        }
    }
    *w = 0;
    return out;
}

size_t px_fromCrLf(const char *text, char *buf, size_t n) {
    if (!text) text = "";
    size_t size = 0;
    for (const char *p = text;; ++p) {
        char c = *p;
        if (c == '\r' && p[1] == '\n') c = '\n', ++p;
        if (buf && size < n) buf[size] = c;
        ++size;
        if (!*p) break;
    }
    if (buf && n > 0 && size > n) buf[n - 1] = 0;
    return size;
}

int px_parseColor(uint32_t *out, const char *text) {
    if (!out || !text || !*text) return -1;
    int r, g, b, used = 0;
    if (std::sscanf(text, "RGB(%d,%d,%d)%n", &r, &g, &b, &used) == 3 && used > 0) {
        *out = static_cast<uint32_t>(r & 0xff) | static_cast<uint32_t>(g & 0xff) << 8 |
               static_cast<uint32_t>(b & 0xff) << 16;
        return 0;
    }
    const char *digits = text;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) digits = text + 2, base = 16;
    if (!*digits || *digits == '-' || *digits == '+' || *digits == ' ') return -1;
    char *end = nullptr;
    unsigned long long v = std::strtoull(digits, &end, base);
    if (!end || *end || end == digits) return -1;
    *out = static_cast<uint32_t>(v);
    return 0;
}
