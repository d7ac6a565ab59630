// Day numbers, the call record of the wire and the table of objects the
// server holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "bytes.h"
#include "calendar.h"
#include "objects.h"
#include "screen.h"
#include "value.h"

namespace {

int32_t day(int d, int m, int y) { return sysmix_dayNumber(SysmixDate{d, m, y}); }

TEST(SysmixCalendar, DayNumbersCountLikeAutomationDatesAndClampBadFields) {
    EXPECT_EQ(0, day(30, 12, 1899));
    EXPECT_EQ(61, day(1, 3, 1900));  // 1900 has no 29 February
    EXPECT_EQ(36585, day(29, 2, 2000));
    EXPECT_EQ(kSysmixLastDay, day(31, 12, 9999));
    EXPECT_EQ(kSysmixFirstDay, day(1, 1, 100));
    for (auto [bad, good] : {std::pair{SysmixDate{5, 0, 2001}, SysmixDate{5, 1, 2001}},
                             {{5, 255, 2001}, {5, 12, 2001}},
                             {{31, 2, 2001}, {28, 2, 2001}},
                             {{29, 2, 2100}, {28, 2, 2100}},
                             {{31, 4, 2001}, {30, 4, 2001}}})
        EXPECT_EQ(sysmix_dayNumber(good), sysmix_dayNumber(bad)) << bad.day << "." << bad.mon << "." << bad.year;
}

TEST(SysmixCalendar, EveryDayAndEveryWholeSecondRoundTrip) {
    SysmixDate prev = sysmix_dateOfDay(kSysmixFirstDay - 1);
    for (int32_t n = kSysmixFirstDay; n <= kSysmixLastDay; ++n) {
        SysmixDate d = sysmix_dateOfDay(n);
        ASSERT_EQ(n, sysmix_dayNumber(d)) << d.day << "." << d.mon << "." << d.year;
        bool next = (d.year == prev.year && d.mon == prev.mon && d.day == prev.day + 1) ||
                    (d.year == prev.year && d.mon == prev.mon + 1 && d.day == 1) ||
                    (d.year == prev.year + 1 && d.mon == 1 && d.day == 1 && prev.mon == 12 && prev.day == 31);
        ASSERT_TRUE(next) << n;
        prev = d;
    }
    for (int32_t d : {kSysmixFirstDay, -3, 0, day(29, 2, 2024), kSysmixLastDay}) {
        for (int s = 0; s < 86400; s += 7) {
            SysmixDateTime dt;
            double fraction = sysmix_dayFraction({0, s % 60, s / 60 % 60, s / 3600});
            ASSERT_TRUE(sysmix_splitOleDate(sysmix_oleDate(d, fraction), dt));
            ASSERT_EQ(d, sysmix_dayNumber(dt.date)) << d << " " << s;
            ASSERT_EQ(s, dt.time.hour * 3600 + dt.time.min * 60 + dt.time.sec) << d;
        }
    }
}

// "d.m.y h:m:s" of an automation date.
std::string split(double v) {
    SysmixDateTime dt{};
    if (!sysmix_splitOleDate(v, dt)) return "refused";
    char s[64];
    std::snprintf(s, sizeof s, "%d.%d.%d %d:%d:%d", dt.date.day, dt.date.mon, dt.date.year, dt.time.hour,
                  dt.time.min, dt.time.sec);
    return s;
}

TEST(SysmixCalendar, AutomationDatesSplitWithHundredthsRoundedUp) {
    EXPECT_EQ("31.12.1899 12:0:0", split(1.5));
    EXPECT_EQ("29.12.1899 6:0:0", split(-1.25));  // the fraction counts forward
    double base = day(14, 7, 2021);
    EXPECT_EQ("14.7.2021 9:10:16", split(base + sysmix_dayFraction(SysmixTime{30, 15, 10, 9})));
    EXPECT_EQ("14.7.2021 10:0:0", split(base + sysmix_dayFraction(SysmixTime{50, 59, 59, 9})));
    // The last moment of a day rounds into the next day, not to its start.
    EXPECT_EQ("15.7.2021 0:0:0", split(base + sysmix_dayFraction(SysmixTime{50, 59, 59, 23})));
    EXPECT_EQ("29.12.1899 0:0:0", split(sysmix_oleDate(-2, sysmix_dayFraction(SysmixTime{50, 59, 59, 23}))));
    for (double v : {kSysmixLastDay + 1.0, kSysmixFirstDay - 1.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ("refused", split(v)) << v;
}

th::Bytes callHeader(int32_t count, int32_t byRefs) {
    return th::Bytes().u32(0xCAFE).u16(2).text("Item").i32(count).i32(byRefs);
}

SysmixArgFault faultOf(const th::Bytes &b) {
    SysmixCall c;
    EXPECT_TRUE(sysmix_readCall(b.data(), b.size(), c));
    return c.fault;
}

TEST(SysmixCallRecord, ArgumentsFollowTheHeaderInOrder) {
    th::Bytes b = callHeader(2, 1).u8(kSysmixInteger).i32(5).u8(kSysmixString | kSysmixByRef).text("x");
    SysmixCall c;
    ASSERT_TRUE(sysmix_readCall(b.data(), b.size(), c));
    EXPECT_TRUE(c.object == 0xCAFEu && c.flags == 2 && c.member == "Item" && c.byRefCount == 1);
    ASSERT_EQ(2u, c.args.size());
    EXPECT_EQ(5, c.args[0].integer);
    EXPECT_EQ("x", c.args[1].text);
    EXPECT_TRUE(c.args[1].byRef);
    EXPECT_FALSE(sysmix_readCall(b.data(), 7, c));  // no member name
}

TEST(SysmixCallRecord, BadCountsUnknownTypesShortRecordsAndExtraByReferenceTagsAreFaults) {
    using F = SysmixArgFault;
    const std::pair<th::Bytes, F> cases[] = {
        {callHeader(-1, 0), F::badCount},
        {callHeader(1, -1), F::badCount},
        {callHeader(kSysmixMaxArgs + 1, 0), F::badCount},
        {callHeader(2, 0).u8(kSysmixInteger).i32(1), F::truncated},
        {callHeader(1, 0).u8(kSysmixString).u8('a'), F::truncated},
        {th::Bytes().u32(1).u16(1).text("M").i32(0), F::truncated},
        {callHeader(3, 1).u8(kSysmixInteger | kSysmixByRef).i32(1).u8(kSysmixInteger).i32(2)
             .u8(kSysmixBool | kSysmixByRef).u8(1),
         F::byRefOverflow},
        {callHeader(1, 0).u8(kSysmixBool | kSysmixByRef).u8(1), F::byRefOverflow},
        {callHeader(1, 2).u8(kSysmixBool | kSysmixByRef).u8(1), F::none},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].second, faultOf(cases[i].first)) << i;
    for (uint8_t type : {8, 11, 20, 24, 63})
        EXPECT_EQ(F::unknownType, faultOf(callHeader(2, 0).u8(kSysmixInteger).i32(1).u8(type).i32(0))) << int(type);
}

TEST(SysmixObjectTable, FieldsCountTheServersReferences) {
    SysmixObjects t;
    int a, b;
    uint32_t fa = t.add(&a);
    EXPECT_EQ(fa, t.add(&a));
    uint32_t fb = t.add(&b);
    EXPECT_TRUE(fa != 0 && fa != fb);
    EXPECT_EQ(&a, t.drop(fa));
    EXPECT_EQ(&a, t.find(fa));  // one reference left
    EXPECT_EQ(&a, t.drop(fa));
    EXPECT_EQ(nullptr, t.find(fa));
    EXPECT_EQ(nullptr, t.drop(fa));
    EXPECT_EQ(nullptr, t.find(0));
    EXPECT_EQ(nullptr, t.find(fb + 1));
    // A handle given back is not given out again.
    uint32_t again = t.add(&a);
    EXPECT_TRUE(sizeof(void *) == sizeof(uint32_t) || fa != again);
    int releasedA = 0, releasedB = 0;
    t.add(&a);
    t.clear([&](void *p) { ++(p == &a ? releasedA : releasedB); });
    EXPECT_EQ(2, releasedA);
    EXPECT_EQ(1, releasedB);
    EXPECT_EQ(0u, t.size());
}

TEST(SysmixConsoleGeometry, FullScreenMeansFarOffTheDesktopAndOneHundredSixtyWide) {
    EXPECT_TRUE(sysmix_fullScreenRect(3000, 3000, 160) && sysmix_fullScreenRect(-32000, 4000, 160));
    EXPECT_FALSE(sysmix_fullScreenRect(2999, 3000, 160) || sysmix_fullScreenRect(3000, -2999, 160) ||
                 sysmix_fullScreenRect(3000, 3000, 161));
}

}  // namespace
