// Application data images as a file may hold them: every record found lies
// inside the image, and a record added in front is found first.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "appdata.h"

namespace {

void check(PxAppData &d, uint32_t key) {
    uint8_t *r = px_findAppRecord(d, key);
    if (!r) return;
    size_t at = static_cast<size_t>(r - d.bytes.data());
    uint32_t size = px_appRecordSize(r);
    if (at < kPxDataHeaderSize || size < kPxRecordHeadSize || size > d.bytes.size() - at) __builtin_trap();
    uint32_t found;
    std::memcpy(&found, r, 4);
    if (found != key) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    PxAppData d;
    d.bytes.assign(data, data + size);  // exactly sized for ASan
    if (px_isAppImage(d.bytes.data(), d.bytes.size()) && size < 4) __builtin_trap();
    // Every key the image holds at a 4-byte step past the header, and two more.
    for (size_t at = kPxDataHeaderSize; at + 4 <= size; at += 4) {
        uint32_t key;
        std::memcpy(&key, data + at, 4);
        check(d, key);
    }
    check(d, kPxPlacementKey);
    check(d, 0);
    std::vector<uint8_t> before = d.bytes;
    uint32_t key = size ? data[0] : 0;
    uint32_t add = size > 1 ? 8 + data[1] : kPxPlacementSize;
    uint8_t *r = px_addAppRecord(d, key, add);
    if (!r || px_findAppRecord(d, key) != r || px_appRecordSize(r) != add) __builtin_trap();
    if (before.size() >= kPxDataHeaderSize &&
        std::memcmp(before.data() + kPxDataHeaderSize, r + add, before.size() - kPxDataHeaderSize) != 0)
        __builtin_trap();
    px_stampAppHeader(d);
    if (!px_isAppImage(d.bytes.data(), d.bytes.size())) __builtin_trap();
    return 0;
}
