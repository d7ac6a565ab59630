// The image of the application data file, panelux.dat: a 256-byte header
// and then records, each a key, its whole size and its data, newest first.
// Kept in memory from request 3 to the last client connection's close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint32_t kPxDataMagic = 0x0A12B9E3;
constexpr size_t kPxDataHeaderSize = 256;
constexpr size_t kPxDataTitleAt = 4;
constexpr size_t kPxDataNoticeAt = 35;
constexpr uint32_t kPxRecordHeadSize = 8;
extern const char kPxDataTitle[];   // with its NUL: 31 bytes
extern const char kPxDataNotice[];  // at most 220 characters

// Record 1: the frame's placement.
constexpr uint32_t kPxPlacementKey = 1;
constexpr uint32_t kPxPlacementSize = 512;

struct PxAppData {
    std::vector<uint8_t> bytes;  // header included; empty when there is none
};

// The record of `key` nearest the header (the newest), or null. A record
// is found only when its head and its whole size lie inside the image.
uint8_t *px_findAppRecord(PxAppData &image, uint32_t key);
// The whole size of a record px_findAppRecord or px_addAppRecord gave.
uint32_t px_appRecordSize(const uint8_t *record);

// Puts a zero-filled record of `size` bytes (head included) in front of the
// others; null, with the image unchanged, when the size cannot hold a head,
// the image would grow past what memory holds, or memory runs out. An image
// made here has a zero header until px_stampAppHeader.
uint8_t *px_addAppRecord(PxAppData &image, uint32_t key, uint32_t size);

// Whether bytes read from the file are an image worth keeping: the whole
// header, beginning with the magic.
bool px_isAppImage(const uint8_t *bytes, size_t length);
// Whether the image holds anything past its header (only then is it saved).
bool px_hasAppRecords(const PxAppData &image);
// Rebuilds the header: zeros, the magic, the title at 4 and the notice at 35.
void px_stampAppHeader(PxAppData &image);
