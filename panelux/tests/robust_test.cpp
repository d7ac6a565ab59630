// Every request through the loaded module with records cut short (the rest of
// the host's block is filler before a guard page) and with hostile values:
// the module answers with a sane reply length, writes nothing past it, and
// keeps serving the objects it already has.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "formkitfix.h"
#include "menuitems.h"

namespace {

// Objects opened before the storm; kSpare is what the open requests under
// test use, closed after every send.
constexpr int32_t kDialog = 41, kList = 51, kEditor = 61, kTabs = 71, kMenu = 0x4D01, kSpare = 900;

Desc dialogDesc(int32_t handle) {
    Desc d;
    d.owner1 = handle;
    d.boxes = {{1, 1, 30, 6}};
    d.texts = {{{2, 2}, "Name"}};
    DescField f;
    f.length = 20;
    f.column = 8, f.row = 2, f.width = 12;
    f.header = "H";
    f.value = textValue("abc");
    d.fields = {f, f};
    d.fields[1].row = 3;
    return d;
}

th::Bytes listOpen(int32_t handle) {
    Desc d = dialogDesc(handle);
    d.options = 0x40000;
    return withDesc(th::Bytes().u8(0).u8(1).u8(0).u8(1).i16(20), d).i32(0);
}

th::Bytes editorOpen(int32_t handle) {
    Desc d;
    d.owner1 = handle;
    d.left = 0, d.top = 0, d.right = 40, d.bottom = 10;
    return withDesc(th::Bytes().u8(0).u8(0).u8(40).u8(10), d);
}

th::Bytes tabOpen(int32_t handle) {
    Desc d;
    d.owner1 = handle;
    return withDesc(th::Bytes().u8(2).u8(2).u8(30).u8(8), d).text("One\nTwo");
}

th::Bytes menuCreate(int32_t handle) {
    th::MenuPack p;
    p.add({1, 100, 2, "Open"}).add({2, 200, 2, "Exit"});
    return th::Bytes().i32(handle).i32(7).u8(2).u8(3).u8(1).u8(0).u16(static_cast<uint16_t>(p.total))
        .i32(p.textBytes).i32(0).raw(p.bytes);
}

th::Bytes menuItems() {
    th::MenuPack p;
    p.add({3, 300, 2, "More"});
    return p.bytes;
}

struct Case {
    int code;
    std::vector<th::Bytes> records;  // the first is valid and is also sent cut short
};

std::vector<Case> cases() {
    using B = th::Bytes;
    const B upd = B().u8(0x10).text("new");
    return {
        {3, {B().i16(0).text("App").text("Caption").text("a").text("b")}},
        {4, {B().i16(1), B().i16(0)}},
        {5, {B().i16(0), B().i16(1)}},
        {6, {B().i16(13).u8(0).u8(0).i16(0).i16(0).u8(0)}},
        {7, {B().i16(60).i16(25).text("Frame"), B().i16(-1).i16(32767).text(""), B().i16(32767).i16(-32768).text("")}},
        {11, {B().i32(0).text("Title"), B().i32(kDialog).text("T"), B().i32(kMenu).text("T"), B().i32(kList).text("")}},
        {12, {B().i32(0).i16(20), B().i32(kDialog).i16(32767), B().i32(kMenu).i16(20), B().i32(kList).i16(-32768)}},
        {16, {menuCreate(kSpare), menuCreate(kDialog),
              B().i32(kSpare).i32(7).u8(2).u8(3).u8(1).u8(0).u16(0xFFFF).i32(-1).i32(0).raw(menuItems()),
              B().i32(kSpare).i32(7).u8(2).u8(3).u8(1).u8(0).u16(3).i32(0x7FFFFFFF).i32(0).raw(menuItems())}},
        {17, {B().i32(kMenu).u8(1).i16(1).i32(6).raw(menuItems()), B().i32(kMenu).u8(255).i16(-1).i32(-1),
              B().i32(kMenu).u8(1).i16(32767).i32(0x7FFFFFFF).raw(menuItems()), B().i32(kDialog).u8(1).i16(1).i32(6).raw(menuItems())}},
        {18, {B().i32(kSpare), B().i32(kDialog), B().i32(kList)}},
        {19, {B().i32(kMenu).i32(200).u8(0), B().i32(kDialog).i32(200).u8(0), B().i32(kMenu).i32(-1).u8(255)}},
        {20, {B().i32(kMenu).i32(999), B().i32(kDialog).i32(0), B().i32(kTabs).i32(-1)}},
        {21, {B().i32(kMenu).i32(300).i32(0).u8(0).u8(1).u16(1).i32(6).raw(menuItems()),
              B().i32(kMenu).i32(300).i32(-1).u8(255).u8(255).u16(0xFFFF).i32(-1).raw(menuItems()),
              B().i32(kEditor).i32(300).i32(0).u8(0).u8(1).u16(1).i32(6).raw(menuItems())}},
        {23, {withDesc(B(), dialogDesc(kSpare))}},
        {24, {B().i32(kDialog).i16(0).u8(0).raw(upd), B().i32(kDialog).i16(32767).u8(0).raw(upd),
              B().i32(kDialog).i16(-32768), B().i32(kList).i16(5).u8(0xFF), B().i32(kMenu).i16(0).u8(0x10).text("x")}},
        {25, {B().i32(kDialog).u16(200).u8(2).u8(2).text("Other"), B().i32(kDialog).u16(200).u8(250).u8(250).text("x"),
              B().i32(kEditor).u16(200).u8(1).u8(1).text("x"), B().i32(kMenu).u16(200).u8(1).u8(1).text("x")}},
        {26, {B().i32(kDialog).i16(-1).i16(0).i16(-1).u8(0), B().i32(kDialog).i16(32767).i16(-1).i16(30000).u8(0),
              B().i32(kDialog).i16(-1).i16(300).i16(-1).u8(0), B().i32(kList).i16(-1).i16(-2).i16(32767).u8(0),
              B().i32(kDialog).i16(-1).i16(1).i16(-1).u8(0x12).u8(7).i16(-5).text("x"),
              B().i32(kTabs).i16(-1).i16(0).i16(-1).u8(0), B().i32(kMenu).i16(-1).i16(0).i16(-1).u8(0)}},
        {27, {B().i32(kDialog).i16(1).raw(upd), B().i32(kDialog).i16(1).u8(0x02).u8(7).i16(-5),
              B().i32(kDialog).i16(1).u8(0x12).u8(7).i16(2).text("much longer than two"),
              B().i32(kDialog).i16(1).u8(0x02).u8(7).i16(32767).u8(0x10),
              B().i32(kDialog).i16(1).u8(0x80).u8(7).text("list"), B().i32(kDialog).i16(1).u8(0x80).u8(255),
              B().i32(kDialog).i16(1).u8(0x20).text("999.99").u8(0x40),
              B().i32(kDialog).i16(-1).raw(upd), B().i32(kDialog).i16(300).raw(upd), B().i32(kEditor).i16(0).raw(upd)}},
        {28, {B().i32(kList).i32(1), B().i32(kDialog).i32(1), B().i32(kEditor).i32(-1), B().i32(kMenu).i32(1)}},
        {29, {B().i32(kSpare), B().i32(kMenu)}},
        {30, {B().i32(kDialog), B().i32(kMenu)}},
        {31, {B().i16(50).u8(0).u8(0).i16(5).i16(0).text("mask"), B().i16(-32768).u8(255).u8(255).i16(-1).i16(-1).text(""),
              B().i16(32767).u8(0).u8(0).i16(32767).i16(0).text(std::string(200, 'm'))}},
        {32, {B().i32(kDialog).i16(0), B().i32(kDialog).i16(-1), B().i32(kDialog).i16(32767), B().i32(kList).i16(0),
              B().i32(kMenu).i16(0)}},
        {33, {B().i32(kDialog).i16(0x100F).i32(0).i32(100).i32(5).i16(10),
              B().i32(kDialog).i16(0x300F).i32(100).i32(-100).i32(-5).i16(-10), B().i32(kMenu).i16(0x200F)}},
        {34, {listOpen(kSpare)}},
        {35, {listOpen(kSpare), listOpen(kSpare).i32(-1), listOpen(kSpare).i32(0x7FFFFFFF)}},
        {36, {B().i32(kList).i16(0).i16(5).i16(1), B().i32(kList).i16(-100).i16(30000).i16(-30000),
              B().i32(kList).i16(32767).i16(32767).i16(32767), B().i32(kDialog).i16(0).i16(5).i16(1),
              B().i32(kEditor).i16(0).i16(5).i16(1)}},
        {37, {B().i32(kList).i16(3), B().i32(kList).i16(32767), B().i32(kDialog).i16(3), B().i32(kTabs).i16(0)}},
        {38, {B().i32(kList).i16(1), B().i32(kList).i16(-5), B().i32(kList).i16(300), B().i32(kEditor).i16(1)}},
        {39, {B().i32(kList).i16(1).i16(1), B().i32(kList).i16(-32768).i16(32767), B().i32(kDialog).i16(1).i16(1),
              B().i32(kEditor).i16(1).i16(1)}},
        {40, {B().i32(kList), B().i32(kDialog), B().i32(kTabs), B().i32(0)}},
        {41, {B().i32(kList).u8(1).i8(5), B().i32(kList).u8(255).i8(-128), B().i32(kDialog).u8(0).i8(5)}},
        {42, {B().i32(kList).text("A").text("B"), B().i32(kDialog).text("A"), B().i32(kEditor).text("A")}},
        {43, {B().i32(kList).i16(1).i32(1).u8(1), B().i32(kList).i16(-1).i32(-1).u8(255),
              B().i32(kList).i16(300).i32(1).u8(1), B().i32(kDialog).i16(0).i32(1).u8(1)}},
        {44, {B().i32(kList).i16(20), B().i32(kList).i16(-5), B().i32(kList).i16(32767), B().i32(kList).i16(0),
              B().i32(kDialog).i16(20), B().i32(kEditor).i16(20)}},
        {45, {B().i32(kList), B().i32(kDialog), B().i32(kEditor)}},
        {46, {editorOpen(kSpare)}},
        {47, {B().i32(kEditor).i16(1).i16(1).i16(262), B().i32(kEditor).i16(-32768).i16(32767).i16(-1),
              B().i32(kList).i16(1).i16(1).i16(262), B().i32(kDialog).i16(1).i16(1).i16(262)}},
        {48, {B().i32(kEditor).i16(0).i16(10).i16(0).i16(0).text("hello").u8(1).u8(2).u8(3).u8(4).u8(5),
              B().i32(kEditor).i16(0).i16(32767).i16(-1).i16(32767).text("x"),
              B().i32(kEditor).i16(-32768).i16(-32768).i16(32767).i16(-32768).text(""),
              B().i32(kList).i16(0).i16(10).i16(0).i16(0).text("x"), B().i32(kDialog).i16(0).i16(10).i16(0).i16(0).text("x")}},
        {49, {B().i32(kEditor), B().i32(kList), B().i32(kDialog)}},
        {50, {B().i16(1), B().i16(-1), B().i16(0)}},
        {51, {tabOpen(kSpare)}},
        {52, {B().i32(kTabs).i16(1), B().i32(kTabs).i16(-1), B().i32(kTabs).i16(300), B().i32(kDialog).i16(1),
              B().i32(kList).i16(1), B().i32(kMenu).i16(1)}},
        {53, {B().i16(0).text("Ready")}},
        {54, {B().i32(kSpare + 1), B().i32(kDialog)}},
        {55, {B().i32(kSpare + 1), B().i32(kDialog), B().i32(kMenu)}},
        {56, {B().i16(5).i16(40).i16(-1), B().i16(5).i16(-100).i16(-1), B().i16(-32768).i16(32767).i16(5)}},
        {57, {B().i16(5), B().i16(-1)}},
        {58, {B().i16(5).i32(2).text("Pane").text("Tip"), B().i16(-1).i32(-1).text("").text("")}},
        {59, {B().i16(5).i32(2).text("Pane").text("Tip")}},
        {60, {B().i16(-1).i32(kSpare + 2), B().i16(5).i32(kDialog), B().i16(300).i32(kSpare + 2)}},
        {61, {B().i16(-1).i32(kSpare + 2), B().i16(-1).i32(kDialog), B().i16(-1).i32(kMenu)}},
        {62, {B().i32(kDialog).i16(2).text("Busy"), B().i32(0).i16(300).text("x"), B().i32(kMenu).i16(1).text("x")}},
        {63, {B().i32(kDialog).i16(1).i16(4).text("New"), B().i32(kDialog).i16(1).i16(-5).text(""),
              B().i32(kDialog).i16(-32768).i16(32767).text(""), B().i32(kMenu).i16(1).i16(4).text("x")}},
        {64, {B().i32(kDialog).i16(1), B().i32(0).i16(30), B().i32(kMenu).i16(1)}},
        {65, {B().i16(0).i32(1).text("Wait"), B().i16(0).i32(-1).text("")}},
        {66, {B()}},
        {67, {B().i32(5).i32(77), B().i32(-1).i32(-1)}},
        {68, {B()}},
        {69, {B().i32(kList), B().i32(kDialog), B().i32(kEditor)}},
        // Requests that drop the frame or the client come last; 1 is left out.
        {10, {B()}},
        {9, {B()}},
        {8, {B()}},
        {2, {B()}},
    };
}

struct Robust : FormkitTest {
    void SetUp() override {
        startModule({14});
        openFrame(80, 25);
    }
    void TearDown() override {
        FormkitTest::TearDown();
        EXPECT_EQ(0, H().watchdogFired);
    }
};

TEST_F(Robust, CutAndHostileRecordsOfEveryRequestAreRefusedSafely) {
    // 13-15 and 22 wait for keys in a popup or a menu and are left out.
    ASSERT_EQ(4, m.message(23, withDesc(th::Bytes(), dialogDesc(kDialog))));
    ASSERT_EQ(0, replyInt());
    ASSERT_EQ(4, m.message(34, listOpen(kList)));
    ASSERT_EQ(4, m.message(46, editorOpen(kEditor)));
    ASSERT_EQ(4, m.message(51, tabOpen(kTabs)));
    ASSERT_EQ(0, replyInt());
    ASSERT_EQ(4, m.message(16, menuCreate(kMenu)));
    ASSERT_EQ(0, replyInt());

    int sent = 0;
    auto send = [&](int code, const th::Bytes &req, size_t cut) {
        SCOPED_TRACE(testing::Message() << "request " << code << ", " << cut << " of " << req.size() << " bytes");
        // A blocking read or input loop ends on Escape events from the script.
        H().script.clear();
        for (int i = 0; i < 4; ++i) H().script.push_back([] { H().queue.push_back(PxEvent{27, 0, 0, 0, 0, 0}); });
        int n = m.messageInBlock(code, th::Bytes().raw(req.data(), cut));
        H().script.clear();
        H().queue.clear();
        ++sent;
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 32767 + 4);
        if (n >= 0) {
            EXPECT_TRUE(m.replyUntouchedFrom(static_cast<size_t>(n)));
        }
        m.message(29, th::Bytes().i32(kSpare));
        m.message(18, th::Bytes().i32(kSpare));
        // Still serving: the dialog opened first answers its field's text.
        if (code != 2) {
            int t = m.message(32, th::Bytes().i32(kDialog).i16(0));
            EXPECT_GE(replyInt(), 0);
            EXPECT_EQ(replyInt() + 5, t);
        }
    };
    for (const Case &c : cases()) {
        for (size_t cut = 0; cut < c.records[0].size(); ++cut) send(c.code, c.records[0], cut);
        for (const th::Bytes &r : c.records) send(c.code, r, r.size());
    }
    EXPECT_GT(sent, 500);
}

}  // namespace
