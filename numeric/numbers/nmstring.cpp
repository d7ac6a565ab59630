#include "nmstring.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>
#include <stdexcept>

namespace {

// The shared empty text: never freed and never written, so it needs no
// count and is safe to share between threads.
struct EmptyRep {
    NmStringRep rep;
    char text[4];
};
EmptyRep g_empty = {{0, 0, 0}, {0, 0, 0, 0}};

char *emptyText() { return g_empty.text; }

constexpr size_t kHeaderSize = sizeof(NmStringRep);
constexpr size_t kMaxCapacity = 0x7FFFFFFF - kHeaderSize - 1;

static_assert(kHeaderSize == 12, "the header is three 32-bit words");
static_assert(offsetof(EmptyRep, text) == kHeaderSize, "the text follows its header");

int lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

}  // namespace

size_t NmCString_capacityFor(size_t n) {
    const size_t first = NmCString::kInitialCapacity, step = NmCString::kResizeIncrement;
    if (n <= first) return first;
    return first + step * ((n - first + step - 1) / step);
}

char *NmCString::allocate(size_t capacity, size_t length) {
    if (capacity == 0 && length == 0) return emptyText();
    if (capacity > kMaxCapacity) throw std::length_error("NmCString too long");
    auto *r = static_cast<NmStringRep *>(::operator new(kHeaderSize + capacity + 1));
    r->refs = 0;
    r->capacity = static_cast<int32_t>(capacity);
    r->length = static_cast<int32_t>(length);
    char *text = reinterpret_cast<char *>(r + 1);
    text[length] = '\0';
    return text;
}

void NmCString::release() {
    if (text_ == emptyText()) return;
    NmStringRep *r = rep();
    if (r->refs == 0)
        ::operator delete(r);
    else
        --r->refs;
    text_ = emptyText();
}

bool NmCString::isShared() const { return text_ == emptyText() || rep()->refs > 0; }

int NmCString::references() const { return text_ == emptyText() ? 0 : rep()->refs + 1; }

void NmCString::setLength(size_t n) {
    rep()->length = static_cast<int32_t>(n);
    text_[n] = '\0';
}

NmCString::NmCString() : text_(emptyText()) {}

NmCString::NmCString(const char *text) : NmCString(text, text ? std::strlen(text) : 0) {}

NmCString::NmCString(const char *data, size_t length) : text_(allocate(length, length)) {
    if (length) std::memcpy(text_, data, length);
}

NmCString::NmCString(const CSubString &sub) : text_(emptyText()) {
    size_t n = sub.isNull() ? 0 : sub.length;
    text_ = allocate(NmCString_capacityFor(n), n);
    if (n) std::memcpy(text_, sub.str->data() + sub.start, n);
}

NmCString::NmCString(const NmCString &other) : text_(other.text_) {
    if (text_ != emptyText()) ++rep()->refs;
}

NmCString::NmCString(NmCString &&other) noexcept : text_(other.text_) { other.text_ = emptyText(); }

NmCString::~NmCString() { release(); }

NmCString &NmCString::operator=(const NmCString &other) {
    if (text_ == other.text_) return *this;
    if (other.text_ != emptyText()) ++other.rep()->refs;
    release();
    text_ = other.text_;
    return *this;
}

NmCString &NmCString::operator=(NmCString &&other) noexcept {
    if (this != &other) {
        release();
        text_ = other.text_;
        other.text_ = emptyText();
    }
    return *this;
}

NmCString &NmCString::operator=(const char *text) {
    size_t n = text ? std::strlen(text) : 0;
    if (n > 0) return replace(0, length(), text, n);
    if (isShared())
        release();
    else
        setLength(0);
    return *this;
}

NmCString &NmCString::append(size_t n, char c) {
    size_t len = length(), total = len + n;
    if (isShared() || capacity() < total) {
        char *fresh = allocate(total, len);
        std::memcpy(fresh, text_, len);
        release();
        text_ = fresh;
    }
    std::memset(text_ + len, c, n);
    setLength(total);
    return *this;
}

NmCString &NmCString::prepend(size_t n, char c) {
    size_t len = length(), total = len + n;
    if (isShared() || capacity() < total) {
        char *fresh = allocate(NmCString_capacityFor(total), total);
        std::memcpy(fresh + n, text_, len);
        release();
        text_ = fresh;
    } else {
        std::memmove(text_ + n, text_, len);
    }
    std::memset(text_, c, n);
    setLength(total);
    return *this;
}

NmCString &NmCString::prepend(const char *text) {
    return replace(0, 0, text, text ? std::strlen(text) : 0);
}

NmCString &NmCString::replace(size_t p, size_t n, const char *d, size_t m) {
    if (!d) m = 0;
    size_t len = length();
    p = std::min(p, len);
    n = std::min(n, len - p);
    size_t newLength = len + m - n, tail = len - n - p;
    size_t cap = capacity();
    auto at = reinterpret_cast<uintptr_t>(d), self = reinterpret_cast<uintptr_t>(text_);
    bool intoSelf = d && at >= self && at <= self + len;
    if (isShared() || cap < newLength || (newLength < len && cap - newLength > kMaxWaste) || intoSelf) {
        char *fresh = allocate(NmCString_capacityFor(newLength), newLength);
        std::memcpy(fresh, text_, p);
        if (m) std::memcpy(fresh + p, d, m);
        std::memcpy(fresh + p + m, text_ + p + n, tail);
        release();
        text_ = fresh;
        return *this;
    }
    std::memmove(text_ + p + m, text_ + p + n, tail);
    if (m) std::memcpy(text_ + p, d, m);
    setLength(newLength);
    return *this;
}

CSubString NmCString::substring(size_t start, size_t n) const {
    if (start > length()) return CSubString{this, -1, 0};
    return CSubString{this, static_cast<long>(start), std::min(n, length() - start)};
}

long NmCString::index(const char *pattern, size_t m, size_t start, bool ignoreCase) const {
    size_t len = length();
    if (start > len || m > len - start) return -1;
    if (m == 0) return static_cast<long>(start);
    for (size_t i = start; i + m <= len; ++i) {
        size_t k = 0;
        if (ignoreCase) {
            while (k < m && lower(text_[i + k]) == lower(pattern[k])) ++k;
        } else {
            while (k < m && text_[i + k] == pattern[k]) ++k;
        }
        if (k == m) return static_cast<long>(i);
    }
    return -1;
}

long NmCString::index(char c) const {
    if (c == '\0') return -1;
    const char *hit = std::strchr(text_, c);
    return hit ? static_cast<long>(hit - text_) : -1;
}

NmCString NmCString::concat(const char *a, size_t na, const char *b, size_t nb) {
    NmCString r;
    r.text_ = allocate(NmCString_capacityFor(na + nb), na + nb);
    if (na) std::memcpy(r.text_, a, na);
    if (nb) std::memcpy(r.text_ + na, b, nb);
    return r;
}

NmCString operator+(const NmCString &a, const NmCString &b) {
    return NmCString::concat(a.data(), a.length(), b.data(), b.length());
}

NmCString operator+(const char *a, const NmCString &b) {
    return NmCString::concat(a, a ? std::strlen(a) : 0, b.data(), b.length());
}

std::ostream &operator<<(std::ostream &os, const NmCString &s) {
    std::ostream::sentry ready(os);
    if (!ready) return os;
    std::streamsize w = os.width(), n = static_cast<std::streamsize>(s.length());
    std::streamsize pad = w > n ? w - n : 0;
    os.width(0);
    bool left = (os.flags() & std::ios::adjustfield) == std::ios::left;
    auto fill = [&] {
        for (std::streamsize i = 0; i < pad; ++i)
            if (os.rdbuf()->sputc(os.fill()) == std::char_traits<char>::eof()) return false;
        return true;
    };
    bool ok = (left || fill()) && os.rdbuf()->sputn(s.data(), n) == n && (!left || fill());
    if (!ok) os.setstate(std::ios::badbit);
    return os;
}

void mem_outOfMemory() {}

void *mem_calloc(size_t n) {
    void *p = std::calloc(n ? n : 1, 1);
    if (!p) mem_outOfMemory();
    return p;
}
