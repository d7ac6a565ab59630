// A buffer whose last byte sits right before a PAGE_NOACCESS page, so that
// reading or writing one byte past it crashes the test instead of passing.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

namespace th {

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer &) = delete;
    GuardedBuffer &operator=(const GuardedBuffer &) = delete;

    unsigned char *data() { return data_; }
    const unsigned char *data() const { return data_; }
    size_t size() const { return size_; }
    void fill(unsigned char byte);
    // True when every byte from offset on still holds the fill byte.
    bool untouchedFrom(size_t offset, unsigned char byte) const;

private:
    void *base_ = nullptr;
    unsigned char *data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace th
