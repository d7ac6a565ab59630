#include "appdata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rec {
    uint32_t key, size;
};

void putU32(std::vector<uint8_t> &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A header with the magic, then each record's head and size - 8 bytes of
// its own index (or as many as `cut` leaves), then `tail` junk bytes.
PxAppData image(std::vector<Rec> records, size_t tail = 0, size_t cut = SIZE_MAX) {
    PxAppData d;
    putU32(d.bytes, kPxDataMagic);
    d.bytes.resize(kPxDataHeaderSize);
    for (size_t i = 0; i < records.size(); ++i) {
        putU32(d.bytes, records[i].key);
        putU32(d.bytes, records[i].size);
        if (records[i].size > 8 && records[i].size < 4096) d.bytes.resize(d.bytes.size() + records[i].size - 8, uint8_t(i));
    }
    d.bytes.resize(std::min(cut, d.bytes.size() + tail), 0xEE);
    d.bytes.shrink_to_fit();  // exactly sized: ASan sees a read past the end
    return d;
}

long offsetOf(PxAppData &d, uint32_t key) {
    uint8_t *r = px_findAppRecord(d, key);
    return r ? static_cast<long>(r - d.bytes.data()) : -1;
}

TEST(AppData, FindWalksOnlyWholeRecordsInsideTheImage) {
    struct Case {
        const char *what;
        PxAppData d;
        uint32_t key;
        long at;
    } cases[] = {
        {"no image", PxAppData{}, 1, -1},
        {"short image", PxAppData{std::vector<uint8_t>(100)}, 0, -1},
        {"header only", image({}), 0, -1},
        {"half a head after the header", image({}, 4), 0xEEEEEEEE, -1},
        {"second record", image({{2, 16}, {1, 512}}), 1, 272},
        {"duplicates: the one nearer the header", image({{1, 512}, {1, 512}}), 1, 256},
        {"a last record of exactly a head", image({{2, 16}, {5, 8}}), 5, 272},
        {"a lone record of exactly a head", image({{5, 8}}), 5, 256},
        {"absent key past several records", image({{2, 16}, {3, 24}, {4, 8}, {6, 512}}), 9, -1},
        {"junk shorter than a head at the end", image({{2, 16}}, 7), 0xEEEEEEEE, -1},
        {"size below a head", image({{2, 4}, {1, 512}}), 1, -1},
        {"matching key with size below a head", image({{1, 7}}), 1, -1},
        {"matching key with size zero", image({{1, 0}}), 1, -1},
        {"size past the end", image({{1, 512}}, 0, 256 + 511), 1, -1},
        {"size past the end after a record", image({{2, 16}, {1, 512}}, 0, 256 + 16 + 100), 1, -1},
        {"size that overflows", image({{2, 0xFFFFFFFF}, {1, 512}}), 1, -1},
        {"size that overflows, key matching", image({{1, 0xFFFFFFF9}}), 1, -1},
    };
    for (auto &c : cases) EXPECT_EQ(c.at, offsetOf(c.d, c.key)) << c.what;
}

TEST(AppData, AddPutsAZeroedRecordInFrontAndKeepsTheOthers) {
    PxAppData d;
    uint8_t *r = px_addAppRecord(d, 7, 24);
    ASSERT_NE(nullptr, r);
    ASSERT_EQ(kPxDataHeaderSize + 24, d.bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(kPxDataHeaderSize, 0), std::vector<uint8_t>(d.bytes.begin(), d.bytes.begin() + 256));
    EXPECT_EQ(24u, px_appRecordSize(r));
    std::memset(r + 8, 0xAB, 16);

    d = image({{2, 16}});
    std::vector<uint8_t> before = d.bytes;
    r = px_addAppRecord(d, 2, 12);
    ASSERT_EQ(d.bytes.data() + 256, r);
    EXPECT_EQ(before.size() + 12, d.bytes.size());
    EXPECT_EQ(std::vector<uint8_t>({2, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0}),
              std::vector<uint8_t>(r, r + 12));
    EXPECT_EQ(std::vector<uint8_t>(before.begin(), before.begin() + 256),
              std::vector<uint8_t>(d.bytes.begin(), d.bytes.begin() + 256));
    EXPECT_EQ(std::vector<uint8_t>(before.begin() + 256, before.end()),
              std::vector<uint8_t>(d.bytes.begin() + 268, d.bytes.end()));
    EXPECT_EQ(256, offsetOf(d, 2));

    // Nothing changes for a size that cannot hold a head.
    before = d.bytes;
    for (uint32_t size : {0u, 1u, 7u}) EXPECT_EQ(nullptr, px_addAppRecord(d, 3, size)) << size;
    EXPECT_EQ(before, d.bytes);

    // A stub shorter than a header is replaced by a new image.
    d.bytes.assign(10, 0xFF);
    ASSERT_NE(nullptr, px_addAppRecord(d, 3, 8));
    EXPECT_EQ(264u, d.bytes.size());
    EXPECT_EQ(256, offsetOf(d, 3));
}

TEST(AppData, OnlyAWholeHeaderWithTheMagicIsAnImage) {
    std::vector<uint8_t> b = image({}).bytes;
    EXPECT_TRUE(px_isAppImage(b.data(), b.size()));
    EXPECT_FALSE(px_isAppImage(b.data(), 255));
    EXPECT_FALSE(px_isAppImage(b.data(), 3));
    EXPECT_FALSE(px_isAppImage(nullptr, 0));
    b[3] ^= 1;
    EXPECT_FALSE(px_isAppImage(b.data(), b.size()));
    EXPECT_FALSE(px_hasAppRecords(image({})));
    EXPECT_TRUE(px_hasAppRecords(image({}, 1)));
}

TEST(AppData, HeaderIsRebuiltByteForByteAndRecordsAreLeftAlone) {
    PxAppData d = image({{1, 512}});
    std::memset(d.bytes.data(), 0x5A, kPxDataHeaderSize);
    std::vector<uint8_t> records(d.bytes.begin() + 256, d.bytes.end());
    px_stampAppHeader(d);

    std::vector<uint8_t> want(256, 0);
    const uint8_t magic[] = {0xE3, 0xB9, 0x12, 0x0A};
    std::memcpy(want.data(), magic, 4);
    const std::string title = "Panelux Application Data File.";
    std::memcpy(want.data() + 4, title.c_str(), title.size() + 1);
    std::memcpy(want.data() + 35, kPxDataNotice, std::strlen(kPxDataNotice));
    EXPECT_EQ(want, std::vector<uint8_t>(d.bytes.begin(), d.bytes.begin() + 256));
    EXPECT_EQ(records, std::vector<uint8_t>(d.bytes.begin() + 256, d.bytes.end()));
    EXPECT_LT(std::strlen(kPxDataNotice), 221u);
}

}  // namespace
