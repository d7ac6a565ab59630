#include "guardbuf.h"

#include <cstring>
#include <new>

namespace th {

GuardedBuffer::GuardedBuffer(size_t size) : size_(size) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    size_t page = si.dwPageSize;
    size_t body = (size + page - 1) / page * page;
    base_ = VirtualAlloc(nullptr, body + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!base_) throw std::bad_alloc();
    DWORD old;
    VirtualProtect(static_cast<unsigned char *>(base_) + body, page, PAGE_NOACCESS, &old);
    data_ = static_cast<unsigned char *>(base_) + body - size;
}

GuardedBuffer::~GuardedBuffer() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
}

void GuardedBuffer::fill(unsigned char byte) { std::memset(data_, byte, size_); }

bool GuardedBuffer::untouchedFrom(size_t offset, unsigned char byte) const {
    for (size_t i = offset; i < size_; ++i)
        if (data_[i] != byte) return false;
    return true;
}

}  // namespace th
