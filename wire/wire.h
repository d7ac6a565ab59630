// Bounded reader and writer for the packed little-endian records that the
// server sends and the modules answer. Every read checks the bytes left;
// a failed read or write makes the object fail for good, so a handler can
// read a whole record and test ok() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// Length to use for a record whose size the host does not pass along; the
// host guarantees the record holds what its code promises.
constexpr size_t kWireUnbounded = static_cast<size_t>(-1) / 4;
// How far a reader looks for a text's terminator in a record of unknown
// length; also the furthest any record whose length is not known is read.
constexpr size_t kWireScanLimit = size_t(1) << 20;

class WireReader {
public:
    WireReader(const void *data, size_t length)
        : p_(static_cast<const unsigned char *>(data)), len_(data ? length : 0) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    size_t left() const { return len_ - pos_; }
    const unsigned char *here() const { return p_ + pos_; }

    uint8_t u8() { return static_cast<uint8_t>(le(1)); }
    int8_t i8() { return static_cast<int8_t>(le(1)); }
    uint16_t u16() { return static_cast<uint16_t>(le(2)); }
    int16_t i16() { return static_cast<int16_t>(le(2)); }
    uint32_t u32() { return static_cast<uint32_t>(le(4)); }
    int32_t i32() { return static_cast<int32_t>(le(4)); }
    uint64_t u64() { return le(8); }
    int64_t i64() { return static_cast<int64_t>(le(8)); }

    // A NUL-terminated text; the terminator must lie inside the record.
    std::string_view text() {
        if (!ok_) return {};
        // Byte by byte: never touch memory past the terminator.
        size_t cap = left() < kScanCap ? left() : kScanCap, n = 0;
        while (n < cap && p_[pos_ + n] != 0) ++n;
        if (n == cap) return fail<std::string_view>();
        std::string_view s(reinterpret_cast<const char *>(p_ + pos_), n);
        pos_ += n + 1;
        return s;
    }

    // n raw bytes, or null when fewer are left.
    const unsigned char *bytes(size_t n) {
        if (!ok_ || n > left()) return fail<const unsigned char *>();
        const unsigned char *b = p_ + pos_;
        pos_ += n;
        return b;
    }

    bool skip(size_t n) { return bytes(n) != nullptr || n == 0; }

    bool seek(size_t offset) {
        if (!ok_ || offset > len_) return fail<bool>();
        pos_ = offset;
        return true;
    }

    // True when count records of at least each bytes could still follow;
    // checked before anything is allocated for them.
    bool canHold(size_t count, size_t each) const {
        return ok_ && (each == 0 || count <= left() / each);
    }

private:
    static constexpr size_t kScanCap = kWireScanLimit;

    template <class T> T fail() {
        ok_ = false;
        return T();
    }
    uint64_t le(size_t n) {
        const unsigned char *b = bytes(n);
        if (!b) return 0;
        uint64_t v = 0;
        for (size_t i = n; i-- > 0;) v = (v << 8) | b[i];
        return v;
    }

    const unsigned char *p_;
    size_t len_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class WireWriter {
public:
    WireWriter(void *data, size_t capacity)
        : p_(static_cast<unsigned char *>(data)), cap_(data ? capacity : 0) {}

    bool ok() const { return ok_; }
    size_t size() const { return pos_; }
    size_t left() const { return cap_ - pos_; }
    unsigned char *here() { return p_ + pos_; }

    void u8(uint8_t v) { le(v, 1); }
    void i8(int8_t v) { le(static_cast<uint8_t>(v), 1); }
    void u16(uint16_t v) { le(v, 2); }
    void i16(int16_t v) { le(static_cast<uint16_t>(v), 2); }
    void u32(uint32_t v) { le(v, 4); }
    void i32(int32_t v) { le(static_cast<uint32_t>(v), 4); }
    void u64(uint64_t v) { le(v, 8); }
    void i64(int64_t v) { le(static_cast<uint64_t>(v), 8); }

    // The text and its terminator, or nothing when both do not fit.
    void text(std::string_view s) {
        if (!room(s.size() + 1)) return;
        if (!s.empty()) std::memcpy(p_ + pos_, s.data(), s.size());
        p_[pos_ + s.size()] = 0;
        pos_ += s.size() + 1;
    }

    void bytes(const void *src, size_t n) {
        if (!room(n)) return;
        if (n) std::memcpy(p_ + pos_, src, n);
        pos_ += n;
    }

    void zeros(size_t n) {
        if (!room(n)) return;
        std::memset(p_ + pos_, 0, n);
        pos_ += n;
    }

    // Moves the write position (for patching a field written earlier).
    bool seek(size_t offset) {
        if (!ok_ || offset > cap_) return ok_ = false;
        pos_ = offset;
        return true;
    }

    // Marks n bytes written directly at here() by the caller.
    bool advance(size_t n) { return room(n) ? (pos_ += n, true) : false; }

private:
    bool room(size_t n) {
        if (!ok_ || n > left()) return ok_ = false;
        return true;
    }
    void le(uint64_t v, size_t n) {
        if (!room(n)) return;
        for (size_t i = 0; i < n; ++i, v >>= 8) p_[pos_ + i] = static_cast<unsigned char>(v);
        pos_ += n;
    }

    unsigned char *p_;
    size_t cap_;
    size_t pos_ = 0;
    bool ok_ = true;
};
