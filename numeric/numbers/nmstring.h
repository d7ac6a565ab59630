// NmCString: the numeric library's byte string. Copies share one buffer and
// count references; a shared buffer is copied only when it is about to
// change. The text may hold NUL bytes and is always followed by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>

// The header that lies immediately before the text of every buffer.
struct NmStringRep {
    int32_t refs;  // references minus one
    int32_t capacity;
    int32_t length;
};

class NmCString;

// A stretch of a string; start -1 marks the null substring.
struct CSubString {
    const NmCString *str = nullptr;
    long start = -1;
    size_t length = 0;

    bool isNull() const { return start < 0; }
};

class NmCString {
public:
    static constexpr size_t kInitialCapacity = 15;
    static constexpr size_t kResizeIncrement = 16;
    static constexpr size_t kMaxWaste = 15;

    NmCString();
    NmCString(const char *text);
    NmCString(const char *data, size_t length);
    NmCString(const CSubString &sub);
    NmCString(const NmCString &other);
    NmCString(NmCString &&other) noexcept;
    ~NmCString();

    NmCString &operator=(const NmCString &other);
    NmCString &operator=(NmCString &&other) noexcept;
    NmCString &operator=(const char *text);

    size_t length() const { return static_cast<size_t>(rep()->length); }
    size_t capacity() const { return static_cast<size_t>(rep()->capacity); }
    bool empty() const { return length() == 0; }
    const char *data() const { return text_; }
    const char *c_str() const { return text_; }
    char operator[](size_t i) const { return text_[i]; }
    // How many strings share this buffer (the shared empty text counts 0).
    int references() const;

    NmCString &append(size_t n, char c);
    NmCString &prepend(size_t n, char c);
    NmCString &append(const NmCString &s) { return replace(length(), 0, s.data(), s.length()); }
    NmCString &prepend(const NmCString &s) { return replace(0, 0, s.data(), s.length()); }
    NmCString &prepend(const char *text);
    NmCString &remove(size_t position, size_t count) { return replace(position, count, nullptr, 0); }
    // Replaces count bytes at position (both clamped to the text) by data.
    NmCString &replace(size_t position, size_t count, const char *data, size_t dataLength);

    CSubString substring(size_t start, size_t length) const;
    // First match at or after start, or -1; an empty pattern matches at start.
    long index(const char *pattern, size_t patternLength, size_t start, bool ignoreCase) const;
    // First occurrence in the text up to its first NUL, or -1.
    long index(char c) const;

    friend NmCString operator+(const NmCString &a, const NmCString &b);
    friend NmCString operator+(const char *a, const NmCString &b);

private:
    NmStringRep *rep() const { return reinterpret_cast<NmStringRep *>(text_) - 1; }
    bool isShared() const;
    static char *allocate(size_t capacity, size_t length);
    static NmCString concat(const char *a, size_t na, const char *b, size_t nb);
    void release();
    void setLength(size_t n);

    char *text_;
};

size_t NmCString_capacityFor(size_t n);
std::ostream &operator<<(std::ostream &os, const NmCString &s);

// A zeroed block of n bytes for the field code (freed with free); null,
// after mem_outOfMemory, when there is no memory.
void *mem_calloc(size_t n);
void mem_outOfMemory();
