// Builds packed little-endian request records in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace th {

class Bytes {
public:
    Bytes &u8(uint8_t v) { return le(v, 1); }
    Bytes &i8(int8_t v) { return le(static_cast<uint8_t>(v), 1); }
    Bytes &u16(uint16_t v) { return le(v, 2); }
    Bytes &i16(int16_t v) { return le(static_cast<uint16_t>(v), 2); }
    Bytes &u32(uint32_t v) { return le(v, 4); }
    Bytes &i32(int32_t v) { return le(static_cast<uint32_t>(v), 4); }
    Bytes &i64(int64_t v) { return le(static_cast<uint64_t>(v), 8); }
    Bytes &u64(uint64_t v) { return le(v, 8); }
    // The text and its terminator.
    Bytes &text(std::string_view s) {
        v_.insert(v_.end(), s.begin(), s.end());
        v_.push_back(0);
        return *this;
    }
    Bytes &raw(const void *p, size_t n) {
        const unsigned char *b = static_cast<const unsigned char *>(p);
        v_.insert(v_.end(), b, b + n);
        return *this;
    }
    Bytes &raw(const Bytes &b) { return raw(b.data(), b.size()); }
    Bytes &zeros(size_t n) {
        v_.insert(v_.end(), n, 0);
        return *this;
    }
    void patch16(size_t at, uint16_t v) {
        v_[at] = static_cast<uint8_t>(v);
        v_[at + 1] = static_cast<uint8_t>(v >> 8);
    }

    const unsigned char *data() const { return v_.data(); }
    size_t size() const { return v_.size(); }
    const std::vector<unsigned char> &vec() const { return v_; }

private:
    Bytes &le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i, v >>= 8) v_.push_back(static_cast<unsigned char>(v));
        return *this;
    }
    std::vector<unsigned char> v_;
};

}  // namespace th
