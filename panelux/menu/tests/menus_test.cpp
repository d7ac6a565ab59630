// Server menus through the loaded module: descriptions inline and fetched,
// submenus loaded when opened, popups and the menu bar tracked with keys and
// the mouse, and the choice answered as request 22's reply.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>

#include "../../tests/freedtrap.h"
#include "descbuilder.h"
#include "menudriver.h"
#include "menuitems.h"
#include "module.h"
#include "wire.h"

namespace {

using th::MenuItem;
using th::MenuPack;

th::Host &H() { return th::Host::get(); }

constexpr int32_t kHandle = 0x4D01, kNumber = 7;

// Three items, the first a submenu with two inline items; Exit starts grayed
// by request 19.
MenuPack fileMenu(bool inlineSubs) {
    MenuPack p;
    p.add({1, 100, 0, "File", 2, 0, 0, "File help"});
    if (inlineSubs) p.add({2, 101, 2, "Open"}).add({3, 102, 2, "Save", 0, 0});
    p.add({4, 200, 2, "Exit"}).add({5, 300, 2, "  -"});
    return p;
}

struct Menus : ::testing::Test {
    th::Module m{"formkit.dll"};
    th::TempDir dir;

    void SetUp() override {
        H().reset();
        H().enableExt({14, 18, 26});
    }
    void TearDown() override {
        m.message(kMsgUnload);
        EXPECT_EQ(0, H().watchdogFired);
    }
    // A client whose panelux.ini sets the menu-loading mode, and a frame.
    void start(int loadingMode) {
        th::writeFile(dir.file("panelux.ini"), "MENULOADINGMODE=" + std::to_string(loadingMode) + "\n");
        char old[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, old);
        SetCurrentDirectoryA(dir.path().c_str());
        m.start();
        ASSERT_EQ(14, m.message(1, th::Bytes().i16(0).i16(0).i32(313130)));
        SetCurrentDirectoryA(old);
        m.message(7, th::Bytes().i16(40).i16(12).text("Menus"));
        H().pump();
    }
    int create(const MenuPack &p, uint8_t popup, uint8_t top, int32_t descId = 0) {
        th::Bytes b;
        b.i32(kHandle).i32(kNumber).u8(2).u8(3).u8(popup).u8(top).u16(static_cast<uint16_t>(p.total));
        b.i32(p.textBytes).i32(descId);
        if (descId == 0) b.raw(p.bytes);
        EXPECT_EQ(4, m.message(16, b));
        return WireReader(m.reply(), 4).i32();
    }
    struct Result {
        int length, code, command, id;
    };
    Result track(uint8_t flag = 0) {
        int n = m.message(22, th::Bytes().i32(kHandle).u8(flag));
        WireReader r(m.reply(), static_cast<size_t>(n));
        Result res{n, r.i16(), 0, 0};
        if (n == 17) r.skip(7), res.command = r.i32(), res.id = r.i32();
        return res;
    }
    static HWND bar() { return FindWindowExA(FindWindowExA(FindWindowA("pxFrameWnd", nullptr), nullptr, REBARCLASSNAMEA, nullptr), nullptr, "QVUI:MenuBar", nullptr); }
    static std::vector<std::string> buttons(HWND b) {
        std::vector<std::string> out;
        for (int i = 0, n = static_cast<int>(SendMessageA(b, TB_BUTTONCOUNT, 0, 0)); i < n; ++i) {
            char text[128] = {};
            SendMessageA(b, TB_GETBUTTONTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            out.push_back(text);
        }
        return out;
    }
};

TEST_F(Menus, PopupDescriptionsInlineAndFetchedGiveTheSameMenuAndChoice) {
    start(1);
    for (bool fetched : {false, true}) {
        MenuPack p = fileMenu(true);
        std::vector<th::Upcall> asked;
        H().respond("PXTBL#7", 100, [&](const th::Upcall &u) {
            asked.push_back(u);
            return std::optional<th::ByteVec>(th::Bytes().i32(static_cast<int32_t>(p.bytes.size())).raw(p.bytes).vec());
        });
        ASSERT_EQ(0, create(p, 1, 3, fetched ? 55 : 0)) << fetched;
        EXPECT_EQ(fetched ? 1u : 0u, asked.size());
        EXPECT_EQ(0, m.message(19, th::Bytes().i32(kHandle).i32(200).u8(0)) - 4);
        th::MenuDriver driver({{VK_RIGHT}, {VK_DOWN, VK_RETURN}});
        Result r = track();
        EXPECT_EQ(17, r.length);
        EXPECT_EQ(501, r.code);
        EXPECT_EQ(3, r.command);
        EXPECT_EQ(102, r.id);
        ASSERT_EQ(2u, driver.popups.size());
        const auto &top = driver.popups[0];
        ASSERT_EQ(3u, top.size());
        EXPECT_EQ("&File", top[0].text);
        EXPECT_NE(0u, top[1].state & MF_GRAYED);
        EXPECT_NE(0u, top[2].state & MF_SEPARATOR);
        ASSERT_EQ(2u, driver.popups[1].size());
        EXPECT_EQ("&Save", driver.popups[1][1].text);
        EXPECT_EQ(4, m.message(18, th::Bytes().i32(kHandle)));
    }
    EXPECT_EQ(4, m.message(22, th::Bytes().i32(kHandle).u8(0)));
    EXPECT_EQ(-1, WireReader(m.reply(), 4).i32());
}

TEST_F(Menus, SubmenusNotSentAreFetchedWhenFirstOpened) {
    start(0);
    MenuPack subs;
    subs.add({2, 101, 2, "Open"}).add({3, 102, 2, "Save"});
    int fetches = 0;
    H().respond("PXTBL#7", 101, [&](const th::Upcall &u) {
        ++fetches;
        WireReader r(u.payload.data(), u.payload.size());
        EXPECT_EQ(kHandle, r.i32());
        EXPECT_EQ(100, r.i32());
        EXPECT_EQ(2, r.u8());
        return std::optional<th::ByteVec>(
            th::Bytes().i32(0).u8(2).i16(2).i32(subs.textBytes).raw(subs.bytes).vec());
    });
    // A popup's inline items always come whole; a fetched description
    // follows the menu-loading mode.
    MenuPack top = fileMenu(false);
    H().respond("PXTBL#7", 100, [&](const th::Upcall &) {
        return std::optional<th::ByteVec>(th::Bytes().i32(static_cast<int32_t>(top.bytes.size())).raw(top.bytes).vec());
    });
    ASSERT_EQ(0, create(top, 1, 3, 55));
    {
        // Nothing chosen: code 0 in the 9-byte layout.
        th::MenuDriver driver({{VK_RIGHT}, {VK_ESCAPE, VK_ESCAPE}});
        Result r = track();
        EXPECT_EQ(9, r.length);
        EXPECT_EQ(0, r.code);
        ASSERT_EQ(2u, driver.popups.size());
        EXPECT_EQ(2u, driver.popups[1].size());
    }
    th::MenuDriver again({{VK_RIGHT}, {VK_RETURN}});
    EXPECT_EQ(2, track().command);
    EXPECT_EQ(1, fetches);
}

TEST_F(Menus, MenuBarFollowsKeysLettersAndTheMouse) {
    start(1);
    MenuPack p;
    p.add({1, 10, 0, "~File", 1}).add({11, 11, 2, "Open"});
    p.add({2, 20, 0, "Edit", 1, 0}).add({21, 21, 2, "Copy"});
    p.add({3, 30, 0, "\xA2\xA8\xA4", 1, 0}).add({31, 31, 2, "View all"});  // "Вид" in OEM 866
    ASSERT_EQ(0, create(p, 0, 3));
    HWND b = bar();
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(3, SendMessageA(b, TB_BUTTONCOUNT, 0, 0));
    HWND frame = FindWindowA("pxFrameWnd", nullptr);
    auto key = [&](UINT msg, WPARAM vk) { return [=] { PostMessageA(frame, msg, vk, msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP ? 1 << 29 : 0); }; };
    struct Case {
        const char *what;
        std::vector<std::function<void()>> script;
        std::vector<std::vector<UINT>> popupKeys;
        int command;
    } cases[] = {
        {"Right then Enter", {key(WM_KEYDOWN, VK_RIGHT), key(WM_KEYDOWN, VK_RETURN)}, {{VK_RETURN}}, 21},
        {"Left wraps to the last", {key(WM_KEYDOWN, VK_LEFT), key(WM_KEYDOWN, VK_DOWN)}, {{VK_RETURN}}, 31},
        {"Alt leaves, F10 enters", {key(WM_SYSKEYDOWN, VK_MENU), key(WM_SYSKEYUP, VK_MENU), key(WM_SYSKEYDOWN, VK_F10), key(WM_KEYDOWN, VK_RETURN)}, {{VK_RETURN}}, 11},
        {"Cyrillic Alt+letter", {key(WM_SYSCHAR, 0xE2)}, {{VK_RETURN}}, 31},  // 'в' in 1251
        {"Alt+unknown letter leaves", {key(WM_SYSCHAR, 'q'), key(WM_SYSKEYDOWN, VK_F10), key(WM_KEYDOWN, VK_RETURN)}, {{VK_RETURN}}, 11},
        {"hot item set by a program", {key(WM_SYSKEYDOWN, VK_MENU), key(WM_SYSKEYUP, VK_MENU), [&] { SendMessageA(b, TB_SETHOTITEM, 1, 0); }, key(WM_KEYDOWN, VK_RETURN)}, {{VK_RETURN}}, 21},
        {"Right inside a popup", {key(WM_KEYDOWN, VK_RETURN)}, {{VK_RIGHT}, {VK_RETURN}}, 21},
        {"mouse onto the next button", {key(WM_KEYDOWN, VK_RETURN)}, {{th::MenuDriver::kMoveTo + 2}, {VK_DOWN, VK_RETURN}}, 31},
    };
    for (const Case &c : cases) {
        SetForegroundWindow(frame);
        H().pump();
        H().queue.clear();
        for (auto &s : c.script) H().script.push_back(s);
        th::MenuDriver driver(c.popupKeys, b);
        Result r = track();
        EXPECT_EQ(17, r.length) << c.what;
        EXPECT_EQ(501, r.code) << c.what;
        EXPECT_EQ(c.command, r.command) << c.what;
        H().script.clear();
        H().queue.clear();
    }
}

// The frame comes with its menu bar showing the placeholder item; the
// first server menu takes the bar's place without changing the frame's
// grid, and the placeholder is back when the menu goes.
TEST_F(Menus, TheBarComesWithTheFrameAndAMenuLeavesTheGridAsItWas) {
    start(1);
    HWND b = bar();
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(std::vector<std::string>{" "}, buttons(b));
    H().added.clear();
    MenuPack p;
    p.add({1, 10, 0, "File", 1}).add({11, 11, 2, "Open"});
    ASSERT_EQ(0, create(p, 0, 1));
    H().pump();
    EXPECT_EQ(b, bar());
    EXPECT_EQ(std::vector<std::string>{"File"}, buttons(b));
    for (const th::AddedEvent &a : H().added) EXPECT_NE(500, a.event.code);
    m.message(18, th::Bytes().i32(kHandle));
    EXPECT_EQ(std::vector<std::string>{" "}, buttons(b));
}

// Request 22 on the bar made with the frame: a letter opens its popup, a
// click on the bar before the request opens the item clicked, Esc ends a
// first-event loop with 256. A dynamic item answers with the command value
// the server gives for it (upcall 102), and the choice clears the button
// bits and the pending click as every event does.
TEST_F(Menus, TheBarTracksLettersAndClicksAndAsksForDynamicItems) {
    start(1);
    std::vector<int32_t> asked;
    H().respond("PXTBL#7", 102, [&](const th::Upcall &u) {
        asked.push_back(WireReader(u.payload.data() + 4, 4).i32());
        return std::optional<th::ByteVec>(th::Bytes().i32(777).vec());
    });
    Desc d;
    d.owner1 = 90;
    DescField f;
    f.column = 3, f.row = 2, f.width = 10, f.length = 20;
    f.value = {'a', 'b', 'c', 'd', 'e', 0};
    d.fields = {f};
    ::Bytes desc = d.encode();
    ASSERT_EQ(4, m.message(23, th::Bytes().raw(desc.b.data(), desc.b.size())));
    MenuPack p;
    p.add({1, 10, 0, "~File", 1}).add({11, 11, 2, "Open"});
    p.add({2, 20, 0, "~Edit", 2, 0}).add({21, 21, 2, "Copy"}).add({22, 22, 1, "Recent"});
    ASSERT_EQ(0, create(p, 0, 2));
    HWND frame = FindWindowA("pxFrameWnd", nullptr), b = bar();
    HWND edit = FindWindowExA(FindWindowExA(FindWindowExA(frame, nullptr, "pxClientWnd", nullptr), nullptr,
                                            "pxDialogWnd", nullptr), nullptr, "Edit", nullptr);
    ASSERT_NE(nullptr, edit);
    RECT second;
    SendMessageA(b, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
    LPARAM onSecond = MAKELPARAM((second.left + second.right) / 2, (second.top + second.bottom) / 2);
    auto key = [&](WPARAM vk) { return [=] { PostMessageA(frame, WM_KEYDOWN, vk, 0); }; };
    struct Case {
        const char *what;
        bool clickFirst;
        uint8_t flag;
        std::vector<std::function<void()>> script;
        std::vector<std::vector<UINT>> popupKeys;
        int code, command, id;
    } cases[] = {
        {"a letter opens its popup", false, 0, {key('E')}, {{VK_DOWN, VK_RETURN}}, 501, 777, 22},
        {"a click on the bar opens its item", true, 0, {}, {{VK_DOWN, VK_RETURN}}, 501, 21, 21},
        {"Esc ends a first-event loop", false, 1, {key(VK_ESCAPE)}, {}, 256, 0, 0},
    };
    for (const Case &c : cases) {
        SetForegroundWindow(frame);
        H().pump();
        if (c.clickFirst) {
            // The suspended bar hands the click to the frame: two events and
            // the place for the menu loop to open.
            PostMessageA(b, WM_LBUTTONDOWN, MK_LBUTTON, onSecond);
            PostMessageA(b, WM_LBUTTONUP, 0, onSecond);
            H().pump();
        }
        H().queue.clear();
        // Both buttons held on the field, and a press to replay, before the choice.
        H().script.push_back([&] {
            SendMessageA(edit, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
            SendMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
            H().queue.clear();
        });
        for (auto &step : c.script) H().script.push_back(step);
        th::MenuDriver driver(c.popupKeys, b);
        Result r = track(c.flag);
        H().script.clear();
        H().queue.clear();
        EXPECT_EQ(c.code, r.code) << c.what;
        EXPECT_EQ(c.command, r.command) << c.what;
        EXPECT_EQ(c.id, r.id) << c.what;
        H().added.clear();
        SendMessageA(edit, WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(3, 3));
        ASSERT_EQ(1u, H().added.size()) << c.what;
        EXPECT_EQ(0, H().added[0].event.p4) << c.what;
        // No press left to replay: the input selects the whole text.
        DWORD from = 99, to = 99;
        H().queue.clear();
        H().script.push_back([&] {
            SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
            H().queue.push_back(PxEvent{13, 0, 0, 0, 0, 0});
        });
        m.message(26, th::Bytes().i32(90).i16(-1).i16(0).i16(-1).u8(0));
        EXPECT_EQ(0u, from) << c.what;
        EXPECT_EQ(5u, to) << c.what;
        ReleaseCapture();
    }
    EXPECT_EQ(std::vector<int32_t>{22}, asked);
}

// Request 18 for the menu whose bar loop waits (sent during the wait): the
// loop ends with the next event and reads nothing of the freed menu; the
// bar shows the placeholder again and the key indicators come back.
TEST_F(Menus, AMenuDestroyedWhileItsBarLoopWaitsEndsTheLoopCleanly) {
    FreedMemoryTrap trap(m.handle());
    ASSERT_TRUE(trap.redirected());
    start(1);
    MenuPack p;
    p.add({1, 10, 0, "File", 1}).add({11, 11, 2, "Open"});
    ASSERT_EQ(0, create(p, 0, 1));
    HWND frame = FindWindowA("pxFrameWnd", nullptr), status = GetDlgItem(frame, 0x604);
    SetForegroundWindow(frame);
    H().pump();
    H().queue.clear();
    H().script.push_back([&] {
        EXPECT_EQ(4, m.message(18, th::Bytes().i32(kHandle)));
        H().queue.push_back(PxEvent{316, 0, 0, 0, 0, 0});
    });
    Result r = track();
    H().script.clear();
    H().queue.clear();
    EXPECT_EQ(9, r.length);
    EXPECT_EQ(316, r.code);
    EXPECT_EQ(std::vector<std::string>{" "}, buttons(bar()));
    char ins[16] = {};
    SendMessageA(status, SB_GETTEXTA, 4, reinterpret_cast<LPARAM>(ins));
    EXPECT_STREQ("INS", ins);
    EXPECT_GT(FreedMemoryTrap::freed(), 0u);
}

// Space in the bar's keyboard mode opens the frame's system menu; the
// loop goes on to the next key.
TEST_F(Menus, SpaceInTheBarOpensTheSystemMenu) {
    start(1);
    MenuPack p;
    p.add({1, 10, 0, "File", 1}).add({11, 11, 2, "Open"});
    ASSERT_EQ(0, create(p, 0, 1));
    HWND frame = FindWindowA("pxFrameWnd", nullptr);
    SetForegroundWindow(frame);
    H().pump();
    H().queue.clear();
    H().script.push_back([=] { PostMessageA(frame, WM_KEYDOWN, VK_SPACE, 0); });
    H().script.push_back([=] { PostMessageA(frame, WM_KEYDOWN, VK_F2, 0); });
    th::MenuDriver driver({{VK_ESCAPE, VK_ESCAPE}}, bar());
    Result r = track();
    H().script.clear();
    H().queue.clear();
    EXPECT_EQ(316, r.code);
    ASSERT_EQ(1u, driver.popups.size());
    HMENU system = GetSystemMenu(frame, FALSE);
    ASSERT_EQ(static_cast<size_t>(GetMenuItemCount(system)), driver.popups[0].size());
    char first[128] = {};
    GetMenuStringA(system, 0, first, sizeof first, MF_BYPOSITION);
    EXPECT_EQ(first, driver.popups[0][0].text);
}

// F1 on a highlighted item asks the server for help with the item's own
// context, in a popup and in the menu bar's keyboard mode alike.
TEST_F(Menus, HelpOnAMenuItemAsksTheServerWithItsContext) {
    start(1);
    std::vector<int32_t> contexts;
    H().respond("PXTBL#7", 103, [&](const th::Upcall &u) {
        contexts.push_back(WireReader(u.payload.data(), u.payload.size()).i32());
        return std::optional<th::ByteVec>(th::Bytes().i32(0).vec());
    });
    MenuPack popup;
    popup.add({1, 10, 2, "Open", 0, 255, 0, "", 41}).add({2, 20, 2, "Exit", 0, 255, 0, "", 42});
    ASSERT_EQ(0, create(popup, 1, 2));
    {
        th::MenuDriver driver({{VK_DOWN, VK_F1, VK_ESCAPE}});
        EXPECT_EQ(0, track().code);
    }
    EXPECT_EQ(std::vector<int32_t>{42}, contexts);
    m.message(18, th::Bytes().i32(kHandle));

    MenuPack top;
    top.add({1, 10, 0, "File", 1, 255, 0, "", 51}).add({11, 11, 2, "Open"});
    top.add({2, 20, 0, "Edit", 1, 255, 0, "", 52}).add({21, 21, 2, "Copy"});
    ASSERT_EQ(0, create(top, 0, 2));
    HWND frame = FindWindowA("pxFrameWnd", nullptr);
    SetForegroundWindow(frame);
    H().pump();
    contexts.clear();
    H().queue.clear();
    H().script.push_back([=] { PostMessageA(frame, WM_KEYDOWN, VK_RIGHT, 0); });
    H().script.push_back([=] { PostMessageA(frame, WM_KEYDOWN, VK_F1, 0); });
    H().script.push_back([=] { PostMessageA(frame, WM_KEYDOWN, VK_RETURN, 0); });
    th::MenuDriver driver({{VK_RETURN}}, bar());
    EXPECT_EQ(21, track().command);
    EXPECT_EQ(std::vector<int32_t>{52}, contexts);
    H().script.clear();
    H().queue.clear();
}

// In the server's menu loop the message pane shows the help line of the
// bar's highlighted item and the key indicators are off; afterwards both
// come back. A loop left without a choice is reported as event 256.
TEST_F(Menus, StatusBarInAndAfterMenuMode) {
    start(1);
    MenuPack p;
    p.add({1, 10, 0, "File", 1, 255, 0, "Files"}).add({11, 11, 2, "Open", 0, 255, 0, "Opens"});
    p.add({2, 20, 0, "Edit", 1, 255, 0, "Edits"}).add({21, 21, 2, "Copy"});
    ASSERT_EQ(0, create(p, 0, 2));
    HWND frame = FindWindowA("pxFrameWnd", nullptr), status = GetDlgItem(frame, 0x604);
    auto text = [&](int part) {
        char buf[256] = {};
        SendMessageA(status, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buf));
        return std::string(buf);
    };
    m.message(53, th::Bytes().i16(0).text("Ready"));
    ASSERT_EQ("INS", text(4));
    struct Case {
        const char *what;
        uint8_t flag;
        std::vector<WPARAM> keys;  // one posted at each wait for an event
        std::vector<std::vector<UINT>> popupKeys;
        std::vector<std::string> paneSeen;  // the message pane before each key
        int code;
        size_t dismissals;
    } cases[] = {
        {"Right, Esc, then a key", 0, {VK_RIGHT, VK_ESCAPE, VK_F2}, {}, {"Files", "Edits", "Ready"}, 316, 1},
        {"Esc ends a loop for the first event", 1, {VK_ESCAPE}, {}, {"Files"}, 256, 1},
        {"a choice is no dismissal", 0, {VK_DOWN}, {{VK_RETURN}}, {"Files"}, 501, 0},
        {"Esc in a popup goes back to the bar", 0, {VK_DOWN, VK_ESCAPE, VK_F2}, {{VK_DOWN, VK_ESCAPE}},
         {"Files", "Files", "Ready"}, 316, 1},
    };
    for (const Case &c : cases) {
        SetForegroundWindow(frame);
        H().pump();
        H().queue.clear();
        H().added.clear();
        std::vector<std::string> seen, indicators;
        for (WPARAM vk : c.keys)
            H().script.push_back([&, vk] {
                seen.push_back(text(0));
                indicators.push_back(text(1) + text(2) + text(4));
                PostMessageA(frame, WM_KEYDOWN, vk, 0);
            });
        th::MenuDriver driver(c.popupKeys, bar());
        Result r = track(c.flag);
        EXPECT_EQ(c.code, r.code) << c.what;
        EXPECT_EQ(c.paneSeen, seen) << c.what;
        EXPECT_EQ(std::vector<std::string>(c.keys.size()), indicators) << c.what;
        EXPECT_EQ("Ready", text(0)) << c.what;
        EXPECT_EQ("INS", text(4)) << c.what;
        size_t dismissals = 0;
        for (const auto &a : H().added) dismissals += a.event.code == 256 && a.mode == 2;
        EXPECT_EQ(c.dismissals, dismissals) << c.what;
        H().script.clear();
        H().queue.clear();
    }
}

// A frame too narrow for its menu bar: moving onto a button that is cut off
// opens the chevron, which lists exactly the buttons cut off and opens
// their submenus.
TEST_F(Menus, TheChevronShowsTheButtonsCutOff) {
    start(1);
    MenuPack p;
    const char *names[] = {"First menu", "Second menu", "Third menu", "Fourth menu", "Fifth menu"};
    for (int i = 0; i < 5; ++i) {
        p.add({static_cast<int16_t>(i + 1), 10 * (i + 1), 0, names[i], 1, 255});
        p.add({static_cast<int16_t>(10 * (i + 1) + 1), 10 * (i + 1) + 1, 2, "Item"});
    }
    ASSERT_EQ(0, create(p, 0, 5));
    HWND frame = FindWindowA("pxFrameWnd", nullptr), b = bar();
    ASSERT_NE(nullptr, b);
    SetWindowPos(frame, nullptr, 0, 0, 260, 300, SWP_NOMOVE | SWP_NOZORDER);
    H().pump();
    RECT client;
    GetClientRect(b, &client);
    std::vector<std::string> hidden;
    for (int i = 0; i < 5; ++i) {
        RECT rc;
        SendMessageA(b, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rc));
        if (rc.right > client.right) hidden.push_back(names[i]);
    }
    ASSERT_FALSE(hidden.empty());
    ASSERT_LT(hidden.size(), 5u);
    size_t first = 0;
    while (names[first] != hidden[0]) ++first;
    // Left from the first item wraps onto a cut-off one; Alt+'/' asks for the chevron.
    const std::pair<UINT, WPARAM> starts[] = {{WM_KEYDOWN, VK_LEFT}, {WM_SYSCHAR, '/'}};
    for (const auto &start : starts) {
        SetForegroundWindow(frame);
        H().pump();
        H().queue.clear();
        H().script.push_back([=] { PostMessageA(frame, start.first, start.second, 0); });
        th::MenuDriver driver({{VK_RIGHT}, {VK_RETURN}}, b);
        Result r = track();
        H().script.clear();
        H().queue.clear();
        ASSERT_EQ(2u, driver.popups.size()) << start.first;
        std::vector<std::string> listed;
        for (const th::MenuLine &l : driver.popups[0]) listed.push_back(l.text);
        EXPECT_EQ(hidden, listed);
        EXPECT_EQ(501, r.code);
        EXPECT_EQ(static_cast<int>(10 * (first + 1) + 1), r.command);
    }
}

}  // namespace

namespace {

// The frame's placement goes to panelux.dat when the last connection ends
// and comes back for the next first frame; request 3 names the file.
TEST(AppDataFile, PlacementSavedAtCloseAndRestoredByTheNextFrame) {
    H().reset();
    H().enableExt({14, 18, 26});
    th::Module m("formkit.dll");
    char appData[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableA("APPDATA", appData, MAX_PATH));
    std::string folder = std::string(appData) + "\\Quorvex\\qvtmenus", file = folder + "\\panelux.dat";
    DeleteFileA(file.c_str());
    m.start();
    const RECT want = {123, 77, 623, 377};
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(14, m.message(1, th::Bytes().i16(0).i16(0).i32(313130)));
        m.message(3, th::Bytes().i16(0).text("qvtmenus").text("Caption").text("").text(""));
        m.message(7, th::Bytes().i16(40).i16(12).text("Placed"));
        H().pump();
        HWND frame = FindWindowA("pxFrameWnd", nullptr);
        ASSERT_NE(nullptr, frame);
        RECT r;
        GetWindowRect(frame, &r);
        if (run == 0) {
            EXPECT_FALSE(EqualRect(&r, &want));
            SetWindowPos(frame, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                         SWP_NOZORDER);
        } else {
            EXPECT_TRUE(EqualRect(&r, &want)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        }
        EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
        EXPECT_EQ(256u + 512u, th::readFile(file).size()) << run;
    }
    m.message(kMsgUnload);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
