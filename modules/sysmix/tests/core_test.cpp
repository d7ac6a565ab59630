// Day numbers, the tagged values and call record of the wire, and the table
// of objects the server holds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "bytes.h"
#include "calendar.h"
#include "objects.h"
#include "screen.h"
#include "value.h"

namespace {

int32_t day(int d, int m, int y) { return sysmix_dayNumber(SysmixDate{d, m, y}); }

TEST(SysmixCalendar, DayNumbersMatchTheAutomationDateCount) {
    EXPECT_EQ(0, day(30, 12, 1899));
    EXPECT_EQ(1, day(31, 12, 1899));
    EXPECT_EQ(2, day(1, 1, 1900));
    EXPECT_EQ(61, day(1, 3, 1900));  // 1900 has no 29 February
    EXPECT_EQ(36526, day(1, 1, 2000));
    EXPECT_EQ(36585, day(29, 2, 2000));
    EXPECT_EQ(kSysmixLastDay, day(31, 12, 9999));
    EXPECT_EQ(kSysmixFirstDay, day(1, 1, 100));
}

TEST(SysmixCalendar, OutOfRangeMonthsAndDaysAreClamped) {
    EXPECT_EQ(day(5, 1, 2001), day(5, 0, 2001));
    EXPECT_EQ(day(5, 12, 2001), day(5, 13, 2001));
    EXPECT_EQ(day(5, 12, 2001), day(5, 255, 2001));
    EXPECT_EQ(day(28, 2, 2001), day(31, 2, 2001));
    EXPECT_EQ(day(29, 2, 2004), day(30, 2, 2004));
    EXPECT_EQ(day(29, 2, 2000), day(31, 2, 2000));
    EXPECT_EQ(day(28, 2, 2100), day(29, 2, 2100));
    EXPECT_EQ(day(30, 4, 2001), day(31, 4, 2001));
}

TEST(SysmixCalendar, DatesOfDayNumbersRoundTrip) {
    SysmixDate prev = sysmix_dateOfDay(kSysmixFirstDay - 1);
    for (int32_t n = kSysmixFirstDay; n <= kSysmixLastDay; ++n) {
        SysmixDate d = sysmix_dateOfDay(n);
        ASSERT_EQ(n, sysmix_dayNumber(d)) << d.day << "." << d.mon << "." << d.year;
        // Each day follows the one before.
        bool nextDay = d.year == prev.year && d.mon == prev.mon && d.day == prev.day + 1;
        bool nextMonth = d.year == prev.year && d.mon == prev.mon + 1 && d.day == 1;
        bool nextYear = d.year == prev.year + 1 && d.mon == 1 && d.day == 1 && prev.mon == 12 && prev.day == 31;
        ASSERT_TRUE(nextDay || nextMonth || nextYear) << n;
        prev = d;
    }
}

SysmixDateTime split(double v) {
    SysmixDateTime dt{};
    EXPECT_TRUE(sysmix_splitOleDate(v, dt)) << v;
    return dt;
}

void expectDateTime(const SysmixDateTime &dt, int d, int m, int y, int hour, int min, int sec) {
    EXPECT_EQ(d, dt.date.day);
    EXPECT_EQ(m, dt.date.mon);
    EXPECT_EQ(y, dt.date.year);
    EXPECT_EQ(hour, dt.time.hour);
    EXPECT_EQ(min, dt.time.min);
    EXPECT_EQ(sec, dt.time.sec);
    EXPECT_EQ(0, dt.time.hundr);
}

TEST(SysmixCalendar, AutomationDatesSplitIntoDateAndTime) {
    expectDateTime(split(1.5), 31, 12, 1899, 12, 0, 0);
    expectDateTime(split(36526.75), 1, 1, 2000, 18, 0, 0);
    expectDateTime(split(0), 30, 12, 1899, 0, 0, 0);
    // Before the base day the fraction still counts forward from midnight.
    expectDateTime(split(-1.25), 29, 12, 1899, 6, 0, 0);
}

TEST(SysmixCalendar, SecondsWithHundredthsRoundUpAndCarry) {
    double base = day(14, 7, 2021);
    SysmixTime t{30, 15, 10, 9};  // 09:10:15.30
    expectDateTime(split(base + sysmix_dayFraction(t)), 14, 7, 2021, 9, 10, 16);
    t = SysmixTime{50, 59, 59, 9};
    expectDateTime(split(base + sysmix_dayFraction(t)), 14, 7, 2021, 10, 0, 0);
    // The last moment of a day rounds into the next day, not to its start.
    t = SysmixTime{50, 59, 59, 23};
    expectDateTime(split(base + sysmix_dayFraction(t)), 15, 7, 2021, 0, 0, 0);
    t = SysmixTime{50, 59, 59, 23};
    expectDateTime(split(sysmix_oleDate(day(28, 12, 1899), sysmix_dayFraction(t))), 29, 12, 1899, 0, 0, 0);
}

TEST(SysmixCalendar, EveryWholeSecondSurvivesTheRoundTrip) {
    for (int32_t d : {day(1, 1, 100), -3, 0, day(31, 12, 1999), day(29, 2, 2024), day(30, 12, 9999)}) {
        for (int s = 0; s < 86400; s += 7) {
            SysmixTime t{0, s % 60, s / 60 % 60, s / 3600};
            SysmixDateTime dt = split(sysmix_oleDate(d, sysmix_dayFraction(t)));
            ASSERT_EQ(d, sysmix_dayNumber(dt.date)) << d << " " << s;
            ASSERT_EQ(t.hour, dt.time.hour) << d << " " << s;
            ASSERT_EQ(t.min, dt.time.min) << d << " " << s;
            ASSERT_EQ(t.sec, dt.time.sec) << d << " " << s;
        }
    }
}

TEST(SysmixCalendar, DatesOutsideTheAutomationRangeAreRefused) {
    SysmixDateTime dt;
    EXPECT_FALSE(sysmix_splitOleDate(kSysmixLastDay + 1.0, dt));
    EXPECT_FALSE(sysmix_splitOleDate(kSysmixFirstDay - 1.0, dt));
    EXPECT_FALSE(sysmix_splitOleDate(std::numeric_limits<double>::quiet_NaN(), dt));
    EXPECT_FALSE(sysmix_splitOleDate(1e300, dt));
    EXPECT_TRUE(sysmix_splitOleDate(kSysmixLastDay + 0.5, dt));
}

TEST(SysmixCalendar, TimeOfDayIsTheFractionOfTheDay) {
    EXPECT_DOUBLE_EQ(0.5, sysmix_dayFraction(SysmixTime{0, 0, 0, 12}));
    EXPECT_DOUBLE_EQ((1 / 360000.0 + 2 / 3600.0 + 3 / 60.0 + 4) / 24, sysmix_dayFraction(SysmixTime{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(2.25, sysmix_oleDate(2, 0.25));
    EXPECT_DOUBLE_EQ(-2.25, sysmix_oleDate(-2, 0.25));
}

SysmixValue readOne(const th::Bytes &b, SysmixRead expect = SysmixRead::ok) {
    WireReader r(b.data(), b.size());
    SysmixValue v;
    EXPECT_EQ(expect, sysmix_readValue(r, v));
    if (expect == SysmixRead::ok) {
        EXPECT_EQ(b.size(), r.pos());
    }
    return v;
}

uint64_t bitsOf(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

TEST(SysmixValueWire, EachTypeReadsItsPayload) {
    EXPECT_EQ(-7, readOne(th::Bytes().u8(kSysmixInteger).i32(-7)).integer);
    EXPECT_EQ(2.5, readOne(th::Bytes().u8(kSysmixDouble).u64(bitsOf(2.5))).real);
    EXPECT_EQ(2.5, readOne(th::Bytes().u8(kSysmixDoubleL).u64(bitsOf(2.5))).real);
    SysmixValue m = readOne(th::Bytes().u8(kSysmixMoney).i64(1234500));
    EXPECT_EQ(1234500, m.money);
    EXPECT_EQ(12345.0, readOne(th::Bytes().u8(kSysmixMoneyL).u64(bitsOf(12345.0))).real);
    EXPECT_EQ("abc", readOne(th::Bytes().u8(kSysmixString).text("abc")).text);
    EXPECT_TRUE(readOne(th::Bytes().u8(kSysmixBool).u8(2)).boolean);
    EXPECT_FALSE(readOne(th::Bytes().u8(kSysmixBool).u8(0)).boolean);
    SysmixValue d = readOne(th::Bytes().u8(kSysmixDate).u8(31).u8(12).i16(1999));
    EXPECT_EQ(31, d.date.day);
    EXPECT_EQ(12, d.date.mon);
    EXPECT_EQ(1999, d.date.year);
    SysmixValue t = readOne(th::Bytes().u8(kSysmixTime).u8(5).u8(6).u8(7).u8(8));
    EXPECT_EQ(5, t.time.hundr);
    EXPECT_EQ(8, t.time.hour);
    SysmixValue dt = readOne(th::Bytes().u8(kSysmixDateTime).u8(1).u8(2).i16(2003).u8(4).u8(5).u8(6).u8(7));
    EXPECT_EQ(2003, dt.date.year);
    EXPECT_EQ(7, dt.time.hour);
    EXPECT_EQ(0x12345678u, readOne(th::Bytes().u8(kSysmixObject).u32(0x12345678)).object);
    SysmixValue e = readOne(th::Bytes().u8(kSysmixUndef));
    EXPECT_EQ(kSysmixUndef, e.type);
}

TEST(SysmixValueWire, TagCarriesTheByReferenceMark) {
    SysmixValue v = readOne(th::Bytes().u8(kSysmixInteger | kSysmixByRef).i32(3));
    EXPECT_TRUE(v.byRef);
    EXPECT_EQ(kSysmixInteger, v.type);
    EXPECT_FALSE(readOne(th::Bytes().u8(kSysmixInteger).i32(3)).byRef);
}

TEST(SysmixValueWire, UnknownTypesAndShortPayloadsAreRefused) {
    for (uint8_t type : {8, 11, 18, 20, 22, 24, 63}) readOne(th::Bytes().u8(type).i32(0), SysmixRead::unknownType);
    readOne(th::Bytes().u8(kSysmixInteger).u16(1), SysmixRead::truncated);
    readOne(th::Bytes().u8(kSysmixDouble).i32(1), SysmixRead::truncated);
    readOne(th::Bytes().u8(kSysmixString).u8('a'), SysmixRead::truncated);  // no terminator
    readOne(th::Bytes().u8(kSysmixDateTime).i32(1), SysmixRead::truncated);
    readOne(th::Bytes(), SysmixRead::truncated);
}

th::Bytes callHeader(int32_t count, int32_t byRefs) {
    th::Bytes b;
    b.u32(0xCAFE).u16(2).text("Item").i32(count).i32(byRefs);
    return b;
}

SysmixCall readCall(const th::Bytes &b, bool expect = true) {
    SysmixCall c;
    EXPECT_EQ(expect, sysmix_readCall(b.data(), b.size(), c));
    return c;
}

TEST(SysmixCallRecord, FieldsSitAtTheirOffsets) {
    th::Bytes b = callHeader(2, 1);
    b.u8(kSysmixInteger).i32(5).u8(kSysmixString | kSysmixByRef).text("x");
    SysmixCall c = readCall(b);
    EXPECT_EQ(0xCAFEu, c.object);
    EXPECT_EQ(2, c.flags);
    EXPECT_EQ("Item", c.member);
    EXPECT_EQ(2, c.count);
    EXPECT_EQ(1, c.byRefCount);
    EXPECT_EQ(SysmixArgFault::none, c.fault);
    ASSERT_EQ(2u, c.args.size());
    EXPECT_EQ(5, c.args[0].integer);
    EXPECT_EQ("x", c.args[1].text);
    EXPECT_TRUE(c.args[1].byRef);
    EXPECT_EQ(4u, kCallFlagsOffset);
    EXPECT_EQ(6u, kCallMemberOffset);
}

TEST(SysmixCallRecord, ByReferenceTagsBeyondTheDeclaredCountAreAFault) {
    th::Bytes b = callHeader(3, 1);
    b.u8(kSysmixInteger | kSysmixByRef).i32(1).u8(kSysmixInteger).i32(2).u8(kSysmixInteger | kSysmixByRef).i32(3);
    EXPECT_EQ(SysmixArgFault::byRefOverflow, readCall(b).fault);
    th::Bytes none = callHeader(1, 0);
    none.u8(kSysmixBool | kSysmixByRef).u8(1);
    EXPECT_EQ(SysmixArgFault::byRefOverflow, readCall(none).fault);
    // Fewer by-reference tags than declared is fine.
    th::Bytes fewer = callHeader(1, 2);
    fewer.u8(kSysmixBool | kSysmixByRef).u8(1);
    EXPECT_EQ(SysmixArgFault::none, readCall(fewer).fault);
}

TEST(SysmixCallRecord, BadCountsUnknownTypesAndShortRecordsAreFaults) {
    EXPECT_EQ(SysmixArgFault::badCount, readCall(callHeader(-1, 0)).fault);
    EXPECT_EQ(SysmixArgFault::badCount, readCall(callHeader(1, -1)).fault);
    EXPECT_EQ(SysmixArgFault::badCount, readCall(callHeader(kSysmixMaxArgs + 1, 0)).fault);
    EXPECT_EQ(SysmixArgFault::truncated, readCall(callHeader(2, 0).u8(kSysmixInteger).i32(1)).fault);
    th::Bytes unknown = callHeader(3, 0);
    unknown.u8(kSysmixInteger).i32(1).u8(8).u8(kSysmixInteger).i32(2);
    SysmixCall c = readCall(unknown);
    EXPECT_EQ(SysmixArgFault::unknownType, c.fault);
    th::Bytes noCounts;
    noCounts.u32(1).u16(1).text("M").i32(0);
    SysmixCall n = readCall(noCounts);
    EXPECT_EQ("M", n.member);
    EXPECT_EQ(SysmixArgFault::truncated, n.fault);
    readCall(th::Bytes().u32(1).u16(1).u8('M'), false);
    readCall(th::Bytes().u32(1), false);
}

std::vector<unsigned char> written(void (*put)(WireWriter &)) {
    std::vector<unsigned char> buf(64);
    WireWriter w(buf.data(), buf.size());
    put(w);
    buf.resize(w.size());
    return buf;
}

TEST(SysmixValueWire, RepliesReadBackAsTheSameValues) {
    std::vector<unsigned char> buf(256);
    WireWriter w(buf.data(), buf.size());
    sysmix_putInteger(w, -5);
    sysmix_putReal(w, 0.25);
    sysmix_putMoney(w, 1234500);
    sysmix_putMoneyHundredths(w, 12345.0);
    sysmix_putBool(w, true);
    sysmix_putText(w, "abc");
    sysmix_putObject(w, 77);
    sysmix_putEmpty(w);
    ASSERT_TRUE(w.ok());
    WireReader r(buf.data(), w.size());
    SysmixValue v;
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ(-5, v.integer);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ(kSysmixDouble, v.type);
    EXPECT_EQ(0.25, v.real);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ(kSysmixMoney, v.type);
    EXPECT_EQ(1234500, v.money);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ(kSysmixMoney, v.type);
    EXPECT_EQ(12345.0, v.real);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_TRUE(v.boolean);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ("abc", v.text);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ(77u, v.object);
    ASSERT_EQ(SysmixRead::ok, sysmix_readValue(r, v));
    EXPECT_EQ(kSysmixUndef, v.type);
    EXPECT_EQ(0u, r.left());
}

TEST(SysmixValueWire, DateTimeReplyIsDayMonthYearThenZeroSecondsMinutesHours) {
    std::vector<unsigned char> got = written([](WireWriter &w) {
        sysmix_putDateTime(w, SysmixDateTime{SysmixDate{31, 12, 1899}, SysmixTime{0, 7, 30, 12}});
    });
    std::vector<unsigned char> want = {kSysmixDateTime, 31, 12, 0x6B, 0x07, 0, 7, 30, 12};
    EXPECT_EQ(want, got);
}

TEST(SysmixValueWire, TextRepliesEndAtAnEmbeddedNul) {
    std::vector<unsigned char> got = written([](WireWriter &w) { sysmix_putText(w, std::string_view("ab\0cd", 5)); });
    std::vector<unsigned char> want = {kSysmixString, 'a', 'b', 0};
    EXPECT_EQ(want, got);
}

TEST(SysmixObjectTable, TheSameObjectKeepsItsFieldAndCountsReferences) {
    SysmixObjects t;
    int a, b;
    uint32_t fa = t.add(&a);
    EXPECT_NE(0u, fa);
    EXPECT_EQ(fa, t.add(&a));
    uint32_t fb = t.add(&b);
    EXPECT_NE(fa, fb);
    EXPECT_EQ(&a, t.find(fa));
    EXPECT_EQ(&a, t.drop(fa));
    EXPECT_EQ(&a, t.find(fa));  // one reference left
    EXPECT_EQ(&a, t.drop(fa));
    EXPECT_EQ(nullptr, t.find(fa));
    EXPECT_EQ(nullptr, t.drop(fa));
    EXPECT_EQ(&b, t.find(fb));
}

TEST(SysmixObjectTable, UnknownFieldsNameNothing) {
    SysmixObjects t;
    int a;
    uint32_t f = t.add(&a);
    EXPECT_EQ(nullptr, t.find(0));
    EXPECT_EQ(nullptr, t.drop(0));
    EXPECT_EQ(nullptr, t.find(f + 1));
    EXPECT_EQ(nullptr, t.drop(f + 1));
    EXPECT_EQ(&a, t.find(f));
}

TEST(SysmixObjectTable, HandlesAreNotReusedSoAStaleOneNamesNothing) {
    if (sizeof(void *) == sizeof(uint32_t)) GTEST_SKIP() << "the wire carries pointers here";
    SysmixObjects t;
    int a, b;
    uint32_t f = t.add(&a);
    t.drop(f);
    uint32_t g = t.add(&b);
    EXPECT_NE(f, g);
    EXPECT_EQ(nullptr, t.find(f));
}

TEST(SysmixObjectTable, ClearGivesBackEveryReference) {
    SysmixObjects t;
    int a, b;
    t.add(&a);
    t.add(&a);
    t.add(&b);
    int releasedA = 0, releasedB = 0;
    t.clear([&](void *p) { (p == &a ? releasedA : releasedB)++; });
    EXPECT_EQ(2, releasedA);
    EXPECT_EQ(1, releasedB);
    EXPECT_EQ(0u, t.size());
}

TEST(SysmixConsoleGeometry, FullScreenMeansFarOffTheDesktopAndOneHundredSixtyWide) {
    EXPECT_TRUE(sysmix_fullScreenRect(3000, 3000, 160));
    EXPECT_TRUE(sysmix_fullScreenRect(-32000, -32000, 160));
    EXPECT_TRUE(sysmix_fullScreenRect(-3000, 4000, 160));
    EXPECT_FALSE(sysmix_fullScreenRect(2999, 3000, 160));
    EXPECT_FALSE(sysmix_fullScreenRect(3000, -2999, 160));
    EXPECT_FALSE(sysmix_fullScreenRect(3000, 3000, 161));
    EXPECT_FALSE(sysmix_fullScreenRect(0, 0, 160));
}

}  // namespace
