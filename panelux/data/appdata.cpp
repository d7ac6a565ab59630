#include "appdata.h"

#include <cstring>
#include <new>

#include "wire.h"

const char kPxDataTitle[] = "Panelux Application Data File.";
const char kPxDataNotice[] = "Window state remembered by formkit between runs. Records follow at 256.";

static_assert(sizeof kPxDataTitle == kPxDataNoticeAt - kPxDataTitleAt, "the title fills 4 to 34");
static_assert(sizeof kPxDataNotice <= kPxDataHeaderSize - kPxDataNoticeAt, "the notice fits the header");

uint8_t *px_findAppRecord(PxAppData &image, uint32_t key) {
    if (image.bytes.size() <= kPxDataHeaderSize) return nullptr;
    WireReader r(image.bytes.data(), image.bytes.size());
    r.seek(kPxDataHeaderSize);
    // A last record of exactly a head is legal; fewer bytes than a head are
    // trailing junk, never read as one.
    while (r.left() >= kPxRecordHeadSize) {
        uint8_t *record = image.bytes.data() + r.pos();
        uint32_t recordKey = r.u32();
        uint32_t size = r.u32();
        if (size < kPxRecordHeadSize || size - kPxRecordHeadSize > r.left()) return nullptr;
        if (recordKey == key) return record;
        r.skip(size - kPxRecordHeadSize);
    }
    return nullptr;
}

uint32_t px_appRecordSize(const uint8_t *record) {
    WireReader r(record, kPxRecordHeadSize);
    r.skip(4);
    return r.u32();
}

uint8_t *px_addAppRecord(PxAppData &image, uint32_t key, uint32_t size) {
    if (size < kPxRecordHeadSize) return nullptr;
    // An image too short for its header is no image: start a new one.
    const bool fresh = image.bytes.size() < kPxDataHeaderSize;
    const size_t records = fresh ? 0 : image.bytes.size() - kPxDataHeaderSize;
    std::vector<uint8_t> grown;
    if (size > grown.max_size() - kPxDataHeaderSize - records) return nullptr;
    try {
        grown.resize(kPxDataHeaderSize + size + records);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    if (!fresh) {
        std::memcpy(grown.data(), image.bytes.data(), kPxDataHeaderSize);
        if (records) std::memcpy(grown.data() + kPxDataHeaderSize + size, image.bytes.data() + kPxDataHeaderSize, records);
    }
    WireWriter w(grown.data() + kPxDataHeaderSize, kPxRecordHeadSize);
    w.u32(key);
    w.u32(size);
    image.bytes.swap(grown);
    return image.bytes.data() + kPxDataHeaderSize;
}

bool px_isAppImage(const uint8_t *bytes, size_t length) {
    WireReader r(bytes, length);
    return length >= kPxDataHeaderSize && r.u32() == kPxDataMagic;
}

bool px_hasAppRecords(const PxAppData &image) { return image.bytes.size() > kPxDataHeaderSize; }

void px_stampAppHeader(PxAppData &image) {
    if (image.bytes.size() < kPxDataHeaderSize) return;
    WireWriter w(image.bytes.data(), kPxDataHeaderSize);
    w.zeros(kPxDataHeaderSize);
    w.seek(0);
    w.u32(kPxDataMagic);
    w.bytes(kPxDataTitle, sizeof kPxDataTitle);
    w.bytes(kPxDataNotice, sizeof kPxDataNotice);
}
