#include "wire.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(WireReader, ReadsLittleEndianAndFailsForGoodAtTheEnd) {
    const unsigned char rec[] = {0x34, 0x12, 0xff, 0xff, 0xff, 0x7f, 0x01};
    WireReader r(rec, sizeof rec);
    EXPECT_EQ(0x1234, r.i16());
    EXPECT_EQ(0x7fffffff, r.i32());
    EXPECT_EQ(0, r.i16());  // one byte left: fails, yields 0
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(0, r.u8());  // stays failed though a byte is left
}

TEST(WireReader, TextMustEndInsideTheRecord) {
    const char rec[] = {'a', 'b', 0, 'c', 'd'};
    WireReader r(rec, sizeof rec);
    EXPECT_EQ("ab", r.text());
    EXPECT_TRUE(r.ok());
    EXPECT_EQ("", r.text());
    EXPECT_FALSE(r.ok());
}

TEST(WireReader, CountsAreCheckedAgainstTheBytesLeftAndANullRecordHoldsNone) {
    unsigned char rec[10] = {};
    WireReader r(rec, sizeof rec);
    r.i16();
    EXPECT_TRUE(r.canHold(2, 4));
    EXPECT_FALSE(r.canHold(3, 4));
    EXPECT_FALSE(r.canHold(static_cast<size_t>(-1), 8));
    EXPECT_EQ(nullptr, r.bytes(static_cast<size_t>(-1)));
    EXPECT_FALSE(r.seek(11));
    WireReader none(nullptr, 100);
    EXPECT_EQ(0, none.i32());
    EXPECT_FALSE(none.ok());
}

TEST(WireWriter, NeverWritesPastItsCapacity) {
    unsigned char buf[8];
    std::memset(buf, 0xAA, sizeof buf);
    WireWriter w(buf, 6);
    w.i32(-1);
    w.text("xyz");  // needs 4, 2 left: nothing written
    EXPECT_FALSE(w.ok());
    w.i16(5);  // failed writers stay failed
    EXPECT_EQ(4u, w.size());
    EXPECT_EQ(0xAA, buf[4]);
    EXPECT_EQ(0xAA, buf[6]);
}

TEST(WireWriter, EmptyTextIsJustItsTerminator) {
    unsigned char buf[2] = {0xAA, 0xAA};
    WireWriter w(buf, sizeof buf);
    w.text(std::string_view());
    EXPECT_TRUE(w.ok());
    EXPECT_EQ(1u, w.size());
    EXPECT_EQ(0, buf[0]);
}

TEST(WireWriter, PatchesAnEarlierField) {
    unsigned char buf[8] = {};
    WireWriter w(buf, sizeof buf);
    w.i32(0);
    w.text("ab");
    size_t end = w.size();
    w.seek(0);
    w.i32(static_cast<int32_t>(end));
    EXPECT_EQ(7, buf[0]);
    EXPECT_EQ('a', buf[4]);
}

}  // namespace
