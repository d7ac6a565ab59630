#include <gtest/gtest.h>

#include <cstring>

#include "descbuilder.h"
#include "formats.h"
#include "paneldesc.h"

namespace {

DescField textField(const std::string &value, int16_t length) {
    DescField f;
    f.length = length;
    f.header = "Name";
    f.format = "Type:C,Name:FMT_DEFAULT";
    f.value = textValue(value);
    return f;
}

Desc goodDesc() {
    Desc d;
    d.caption2 = "Second";
    d.ownerByte = 0;
    d.boxes = {{1, 1, 20, 5}};
    d.texts = {{{2, 2}, "Hello"}, {{3, 4}, "World"}};
    d.fields.push_back(textField("a longer text", 5));
    DescField n;
    n.type = PXV_INT32;
    n.length = 2;
    n.value = binValue<int32_t>(12345);
    d.fields.push_back(n);
    d.panes = {{1, 10, 1, 9, "first"}, {1, 12, 0, 0, "again"}, {2, 8, 0, 0, "second"}};
    return d;
}

PxPanelPtr build(const std::vector<unsigned char> &bytes, PxPanelOwner *owner, size_t *end = nullptr) {
    WireReader r(bytes.data(), bytes.size());
    PxPanelPtr p(px_buildPanel(r, 0, owner));
    if (end) *end = r.pos();
    return p;
}

TEST(PanelDescription, GoodDescriptionBuildsEveryItemFromCopies) {
    std::vector<unsigned char> bytes = goodDesc().encode().b;
    PxPanelOwner owner{};
    size_t end = 0;
    PxPanelPtr p = build(bytes, &owner, &end);
    ASSERT_TRUE(p);
    EXPECT_EQ(end, bytes.size());
    // Nothing may point into the request once it is handled.
    std::memset(bytes.data(), 'x', bytes.size());

    EXPECT_EQ(p->id, 0x0102);
    EXPECT_EQ(p->left, 2);
    EXPECT_EQ(p->bottom, 12);
    EXPECT_EQ(p->helpContext, 55);
    EXPECT_EQ(p->mark, 255);
    EXPECT_STREQ(p->name, "$$");
    EXPECT_STREQ(p->caption, "Caption");
    EXPECT_STREQ(p->caption2, "Second");
    EXPECT_EQ(p->owner, &owner);
    EXPECT_EQ(owner.serverHandle, 7);
    EXPECT_EQ(owner.objectNumber, 3);
    EXPECT_EQ(owner.ownerByte, -1);

    ASSERT_EQ(p->textCount, 3);
    EXPECT_TRUE(p->texts[0].isBox());
    EXPECT_EQ(p->texts[0].boxWidth, 20);
    EXPECT_STREQ(p->texts[1].text, "Hello");
    EXPECT_EQ(p->texts[2].row, 4);

    ASSERT_EQ(p->fieldCount, 2);
    const PxField &t = p->fields[0];
    EXPECT_STREQ(t.value, "a longer text");
    EXPECT_EQ(t.capacity, 14);  // longer than its length: text length + 1
    EXPECT_STREQ(t.header, "Name");
    EXPECT_STREQ(t.format, "Type:C,Name:FMT_DEFAULT");
    const PxField &n = p->fields[1];
    EXPECT_EQ(n.capacity, 4);
    int32_t v;
    std::memcpy(&v, n.value, 4);
    EXPECT_EQ(v, 12345);

    // The second pane with id 1 is not added; its text replaces the first's.
    ASSERT_NE(p->runtime->notes, nullptr);
    EXPECT_EQ(ring_count(p->runtime->notes), 2);
    EXPECT_STREQ(px_findPanelNote(p.get(), 1)->text, "again");
    EXPECT_EQ(px_findPanelNote(p.get(), 1)->style, 9);
}

TEST(PanelDescription, EmptyDescriptionBuildsEmptyArrays) {
    Desc d;
    d.caption.clear();
    PxPanelOwner owner{};
    PxPanelPtr p = build(d.encode().b, &owner);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->fieldCount, 0);
    EXPECT_EQ(p->textCount, 0);
    EXPECT_EQ(p->caption, nullptr);
}

TEST(PanelDescription, MalformedDescriptionsBuildNothing) {
    struct Case {
        const char *what;
        std::vector<unsigned char> bytes;
    };
    std::vector<Case> cases;
    std::vector<unsigned char> good = goodDesc().encode().b;
    cases.push_back({"header cut", std::vector<unsigned char>(good.begin(), good.begin() + 20)});
    for (size_t cut : {size_t(30), good.size() - 30, good.size() - 1})
        cases.push_back({"cut inside the items", std::vector<unsigned char>(good.begin(), good.begin() + cut)});
    Desc more = goodDesc();
    more.fieldCount = 9;
    cases.push_back({"more fields than data", more.encode().b});
    Desc texts = goodDesc();
    texts.textCount = 200;
    cases.push_back({"more texts than data", texts.encode().b});
    Desc over;
    over.boxCount = 200;
    over.textCount = 56;
    std::vector<unsigned char> big = over.encode().b;
    big.resize(big.size() + 4000, 'a');
    cases.push_back({"boxes and texts above 255", big});
    std::vector<unsigned char> open = goodDesc().encode().b;
    open.pop_back();  // the last pane text loses its end
    cases.push_back({"unterminated text", open});
    Desc value = goodDesc();
    value.fields[1].value.pop_back();
    value.panes.clear();
    cases.push_back({"binary value cut", value.encode().b});

    for (const Case &c : cases) {
        PxPanelOwner owner{11, 12, 13};
        EXPECT_FALSE(build(c.bytes, &owner)) << c.what;
        EXPECT_EQ(owner.serverHandle, 11) << c.what;
    }
}

struct Update {
    Bytes rec;
};

PxPanelPtr oneField(uint8_t type, int16_t length, std::vector<unsigned char> value) {
    Desc d;
    DescField f;
    f.type = type;
    f.length = length;
    f.value = std::move(value);
    d.fields.push_back(f);
    PxPanelPtr p = build(d.encode().b, nullptr);
    EXPECT_TRUE(p);
    return p;
}

bool apply(PxPanel *p, const Bytes &rec, size_t *end = nullptr) {
    WireReader r(rec.b.data(), rec.b.size());
    bool ok = px_applyFieldUpdate(p, &p->fields[0], r);
    if (end) *end = r.pos();
    return ok;
}

TEST(FieldUpdate, ValueNeverWritesPastItsBuffer) {
    // A 16-byte decimal replaces a 2-byte integer: the buffer grows first.
    PxPanelPtr p = oneField(PXV_INT16, 0, binValue<int16_t>(5));
    unsigned char dec[16];
    std::memset(dec, 0x5A, sizeof dec);
    ASSERT_TRUE(apply(p.get(), Bytes().u8(kPxUpdType | kPxUpdValue).u8(PXV_DECIMAL).u16(2).raw(dec, 16)));
    EXPECT_EQ(p->fields[0].type, PXV_DECIMAL);
    EXPECT_GE(p->fields[0].capacity, 16);
    EXPECT_EQ(std::memcmp(p->fields[0].value, dec, 16), 0);

    // A text longer than the buffer gets a buffer of its own length + 1.
    p = oneField(PXV_STRING, 4, textValue("ab"));
    std::string longText(300, 'q');
    ASSERT_TRUE(apply(p.get(), Bytes().u8(kPxUpdValue).text(longText)));
    EXPECT_EQ(p->fields[0].value, longText);
    EXPECT_EQ(p->fields[0].capacity, 301);

    // A new length alone resizes and keeps what fits, terminated.
    p = oneField(PXV_STRING, 10, textValue("abcdefgh"));
    ASSERT_TRUE(apply(p.get(), Bytes().u8(kPxUpdType).u8(PXV_STRING).u16(4)));
    EXPECT_EQ(p->fields[0].capacity, 4);
    EXPECT_STREQ(p->fields[0].value, "abc");

    // A new text type whose value is malformed still has a terminated buffer.
    p = oneField(PXV_INT16, 0, binValue<int16_t>(-1));
    EXPECT_FALSE(apply(p.get(), Bytes().u8(kPxUpdType | kPxUpdValue).u8(PXV_STRING).u16(2).u8('a')));
    EXPECT_LT(strnlen(p->fields[0].value, p->fields[0].capacity), static_cast<size_t>(p->fields[0].capacity));

    // A field whose buffer is gone gets one when a value arrives.
    p = oneField(PXV_STRING, 10, textValue("abc"));
    ASSERT_TRUE(px_fieldResize(&p->fields[0], 0));
    ASSERT_TRUE(apply(p.get(), Bytes().u8(kPxUpdValue).text("new")));
    EXPECT_STREQ(p->fields[0].value, "new");
}

TEST(FieldUpdate, RecordsSetTheirPartsOrAreRefused) {
    PxPanelPtr p = oneField(PXV_STRING, 10, textValue("abc"));
    size_t end = 0;
    Bytes rec;
    rec.u8(kPxUpdKind | kPxUpdWidth | kPxUpdOptions | kPxUpdFormat | kPxUpdText2 | kPxUpdList);
    rec.u8(5).u16(0xFFFE).u8(33).u32(0x80000).text("Name:FMT_DATE").text("two").u8(PXV_STRING).text("list");
    ASSERT_TRUE(apply(p.get(), rec, &end));
    EXPECT_EQ(end, rec.b.size());
    const PxField &f = p->fields[0];
    EXPECT_EQ(f.kind, 5);
    EXPECT_EQ(f.number, 0xFFFE);
    EXPECT_EQ(f.width, 33);
    EXPECT_EQ(f.options, 0x80000u);
    EXPECT_STREQ(f.format, "Name:FMT_DATE");
    ASSERT_NE(f.formatSlot, nullptr);
    EXPECT_STREQ(f.formatSlot->text2, "two");
    ASSERT_NE(f.formatSlot->listData, nullptr);
    EXPECT_STREQ(f.formatSlot->listData->text, "list");
    ASSERT_TRUE(apply(p.get(), Bytes().u8(kPxUpdList).u8(255)));
    EXPECT_EQ(f.formatSlot->listData, nullptr);

    struct Bad {
        const char *what;
        Bytes rec;
    } bad[] = {
        {"negative text length", Bytes().u8(kPxUpdType).u8(PXV_STRING).u16(0xFFF0)},
        {"negative length with a value", Bytes().u8(kPxUpdType | kPxUpdValue).u8(PXV_STRING).u16(0x8000).text("x")},
        {"value cut", Bytes().u8(kPxUpdType | kPxUpdValue).u8(PXV_INT32).u16(0).u8(1)},
        {"unterminated text", Bytes().u8(kPxUpdValue).u8('a')},
        {"record cut", Bytes().u8(kPxUpdOptions).u8(1)},
    };
    for (const Bad &b : bad) {
        PxPanelPtr q = oneField(PXV_STRING, 10, textValue("abc"));
        EXPECT_FALSE(apply(q.get(), b.rec)) << b.what;
        EXPECT_LE(std::strlen(q->fields[0].value) + 1, static_cast<size_t>(q->fields[0].capacity)) << b.what;
    }
}

TEST(PanelModel, ExtraFieldCountNeverPassesTheFields) {
    PxPanelPtr p(px_allocPanel(0, 3, 0, 0, 0, 10, 10, 0, 255, 0));
    for (int i = 0; i < 3; ++i) px_appendField(p.get(), 1, i, PXV_STRING, 4, 0, i, 4, 1, 0);
    EXPECT_EQ(px_fieldsCovered(p.get(), 2, 0), 2);
    EXPECT_EQ(px_fieldsCovered(p.get(), 2, 1), 3);
    EXPECT_EQ(px_fieldsCovered(p.get(), 2, 5000), 3);
    EXPECT_EQ(px_fieldsCovered(p.get(), 2, -7), 2);
    EXPECT_EQ(px_appendField(p.get(), 1, 9, PXV_STRING, 4, 0, 0, 4, 1, 0), nullptr);
}

TEST(PanelModel, ValueSizesByType) {
    const int sizes[] = {2, 4, 4, 4, 8, 8, 8, 99, 99, 4, 4, 4, 1, 1, 8, 8, 8, 10, 99, 8, 8, 10, 8, 10, 99, 16};
    for (int t = 0; t < kPxValueTypeCount; ++t) {
        EXPECT_EQ(px_valueSize(t, 99), sizes[t]) << t;
        EXPECT_EQ(px_valueSize(t | kPxVariant, 99), sizes[t]) << t;
    }
    EXPECT_EQ(px_valueSize(26, 99), 0);
    EXPECT_EQ(px_valueSize(-1, 99), 0);
}

TEST(PanelModel, FieldTextChecksByType) {
    struct Case {
        uint8_t type;
        int length;
        uint32_t options;
        const char *text;
        int result;
    } cases[] = {
        {PXV_INT16, 0, 0, " 12 ", 0}, {PXV_INT16, 0, 0, "12a", 1}, {PXV_INT16, 0, 0, "", -1},
        {PXV_INT16, 0, 0, "   ", -1}, {PXV_INT16, 0, 0, "32001", 1}, {PXV_INT16, 0, 0, "-32000", 0},
        {PXV_INT16, 0, 0, "99999999999999999999", 1}, {PXV_INT16, 2, 0, "320.01", 1},
        {PXV_INT16, 2, 0, "3.5", 0}, {PXV_BYTE, 0, 0, "255", 0}, {PXV_BYTE, 0, 0, "256", 1},
        {PXV_BYTE, 0, 0, "-1", 1}, {PXV_INT32, 0, 0, "123456789", 0}, {PXV_INT32, 0, 0, "1234567890", 1},
        {PXV_INT32, 0, 0, "1.5", 1}, {PXV_MONEY, -2, 0, "-5", 0}, {PXV_MONEY, -2, 0, "1.5", 1},
        {PXV_MONEY, 2, 0, "12345678901234.56", 0}, {PXV_MONEY, 2, 0, "1.567", 1},
        {PXV_DOUBLE, -3, 0, "1.234", 0}, {PXV_DECIMAL, 13, 0, "1234567890123456.123456789012", 0},
        {PXV_DECIMAL, 13, 0, "1.1234567890123", 1}, {PXV_DECIMAL | kPxVariant, 2, kPxAnyDecimals, "1.12345", 0},
        {PXV_DECIMAL | kPxVariant, 2, 0, "1.12345", 1}, {PXV_RJSTRING, 4, 0, "123", 0},
        {PXV_RJSTRING, 4, 0, "1234", 1}, {PXV_RJSTRING, 6, 0, "1.2", 1}, {PXV_CHAR, 0, 0, "ab", 1},
        {PXV_CHAR, 0, 0, "a", 0}, {PXV_STRING, 0, 0, "anything", 0}, {PXV_DATE, 0, 0, "31.12.2024", 0},
        {PXV_DATE, 0, 0, "31.02.2024", 1}, {PXV_SHORTTIME, 0, 0, "12:30", 0}, {PXV_TIME, 0, 0, "25:00:00", 1},
    };
    for (const Case &c : cases) {
        PxField f{};
        f.type = c.type;
        f.length = c.length;
        f.options = c.options;
        EXPECT_EQ(px_checkFieldText(c.text, &f), c.result) << int(c.type) << " '" << c.text << "'";
    }
}

}  // namespace
