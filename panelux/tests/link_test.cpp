// formkit's terminal link through the loaded module: client connections,
// frames made by request, keys through the terminal's message filter and
// the event requests 4 to 6.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "hostwm.h"
#include "menuitems.h"
#include "module.h"
#include "msgbox.h"
#include "wire.h"

namespace {

th::Host &H() { return th::Host::get(); }

struct Link : ::testing::Test {
    void SetUp() override {
        H().reset();
        H().enableExt({18, 26});
    }
    void TearDown() override {
        EXPECT_TRUE(H().filters.empty());
        EXPECT_TRUE(H().idles.empty());
        EXPECT_TRUE(H().listErrors.empty());
    }

    struct Open {
        int length, status, index, version, menuMode;
    };
    static Open open(th::Module &m, int32_t version = 313130) {
        int n = m.message(1, th::Bytes().i16(0).i16(0).i32(version));
        WireReader r(m.reply(), static_cast<size_t>(n));
        Open o{n, r.i32(), -1, 0, 0};
        if (n == 14) o.index = r.i32(), o.version = r.i32(), o.menuMode = r.i16();
        return o;
    }
    static int close(th::Module &m, int32_t index) {
        EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(index)));
        return WireReader(m.reply(), 4).i32();
    }
    static HWND frameWnd() { return FindWindowA("pxFrameWnd", nullptr); }
    static void createFrame(th::Module &m, int columns, int rows, const char *title = "Frame") {
        EXPECT_EQ(0, m.message(7, th::Bytes().i16(static_cast<int16_t>(columns)).i16(static_cast<int16_t>(rows)).text(title)));
        H().pump();
    }
    // A started module with one client and a frame of that grid.
    static void startFramed(th::Module &m, int columns, int rows) {
        m.start();
        open(m);
        createFrame(m, columns, rows);
    }
    static std::vector<PxEvent> eventsOf(int code) {
        std::vector<PxEvent> v;
        for (const th::AddedEvent &a : H().added)
            if (a.event.code == code) v.push_back(a.event);
        return v;
    }
};

TEST_F(Link, VersionChecksRefuseWithTheModulesWarning) {
    th::Module m("formkit.dll");
    std::string modulePath(MAX_PATH, '\0');
    modulePath.resize(GetModuleFileNameA(m.handle(), &modulePath[0], MAX_PATH));
    std::wstring wpath(modulePath.begin(), modulePath.end());
    struct Case {
        int build;
        int32_t version;
        const wchar_t *text;
    } cases[] = {
        {114, 213000, L"Требуется расширение терминала версии 2.13\nВерсия загруженного расширения 3.13.130.3"},
        {114, 412345, L"Требуется расширение терминала версии 4.12\nВерсия загруженного расширения 3.13.130.3"},
        {113, 313130, L"Требуется терминал (или fs-библиотека) версии 5.06.114 или выше"},
    };
    for (const Case &c : cases) {
        m.start(c.build);
        th::MessageBoxCatcher boxes;
        Open o = open(m, c.version);
        EXPECT_EQ(4, o.length);
        EXPECT_EQ(-1, o.status);
        ASSERT_EQ(1u, boxes.seen.size()) << c.version;
        EXPECT_EQ(c.text, boxes.seen[0].text);
        EXPECT_EQ(wpath, boxes.seen[0].caption);
        EXPECT_TRUE(H().filters.empty());
        m.message(kMsgUnload);
    }
}

TEST_F(Link, ConnectionsTakeTheLowestFreeIndexUpToThirtyTwo) {
    th::Module m("formkit.dll");
    m.start();
    Open first = open(m);
    EXPECT_EQ(14, first.length);
    EXPECT_EQ(0, first.status);
    EXPECT_EQ(0, first.index);
    EXPECT_EQ(313130, first.version);
    EXPECT_EQ(1, first.menuMode);
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_EQ(1u, H().idles.size());
    for (int i = 1; i < 32; ++i) EXPECT_EQ(i, open(m).index);
    {
        th::MessageBoxCatcher boxes;
        EXPECT_EQ(-1, open(m).status);
        ASSERT_EQ(1u, boxes.seen.size());
        EXPECT_EQ(L"Превышено максимальное число клиентов", boxes.seen[0].text);
    }
    for (int32_t bad : {40, -1, 32, 100000}) EXPECT_EQ(-1, close(m, bad)) << bad;
    EXPECT_EQ(0, close(m, 5));
    EXPECT_EQ(-1, close(m, 5));
    EXPECT_EQ(5, open(m).index);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(0, close(m, i));
    // The last close tore everything down once; the next open starts again.
    EXPECT_TRUE(H().filters.empty());
    EXPECT_TRUE(H().idles.empty());
    EXPECT_EQ(0, open(m).index);
    EXPECT_EQ(1u, H().filters.size());
    m.message(kMsgUnload);
    EXPECT_EQ(nullptr, frameWnd());
}

// addFilterProc and addIdleProc answer nothing a start could rely on: a
// host that answers 0 still gets a running module and its procedures back.
TEST_F(Link, TheAnswersOfAddFilterAndAddIdleNeverFailAStart) {
    th::Module m("formkit.dll");
    m.start();
    H().addProcsAnswerZero = true;
    th::MessageBoxCatcher boxes;
    Open o = open(m);
    EXPECT_EQ(14, o.length);
    EXPECT_EQ(0, o.status);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_EQ(1u, H().idles.size());
    createFrame(m, 40, 10);
    EXPECT_NE(nullptr, frameWnd());
    EXPECT_EQ(0, close(m, 0));
    EXPECT_EQ(nullptr, frameWnd());
    m.message(kMsgUnload);
}

// A terminal that answers 0 for its block size names none: formkit works
// as with an older host, its replies within its own largest.
TEST_F(Link, AHostWithoutABlockSizeIsServedAsAnOlderOne) {
    H().blockSizeAnswersZero = true;
    th::Module m("formkit.dll");
    m.start(114);
    Open o = open(m);
    EXPECT_EQ(14, o.length);
    EXPECT_EQ(0, o.status);
    createFrame(m, 40, 10);
    EXPECT_EQ(0, m.message(11, th::Bytes().i32(0).text("Caption")));
    EXPECT_EQ(12, m.message(12, th::Bytes().i32(0).i16(8)));
    EXPECT_EQ("Caption", std::string(reinterpret_cast<const char *>(m.reply()) + 4));
    EXPECT_GT(H().maxBlockSizeCalls, 0);
    m.message(kMsgUnload);
}

// GetHostApp (slot 40) exists only in a service object of version 12 or
// more, whatever the terminal's build: an older table ends, at a guard page,
// after slot 13 and is never read past it.
TEST_F(Link, HostApplicationIsAskedOnlyOfAServiceObjectThatHasIt) {
    for (int version : {0, 10, 11, 12}) {
        SCOPED_TRACE(version);
        H().reset();
        H().enableExt({18, 26});
        H().setAppVersion(version);
        th::HostWmLog log;
        th::FakeHostApp app(log, nullptr);
        app.version = 3;
        H().hostApp = static_cast<IPxHostApp *>(&app);
        {
            th::Module m("formkit.dll");
            m.start(114);
            EXPECT_EQ(0, open(m).status);
            createFrame(m, 40, 10);
            EXPECT_EQ(version >= 12 ? frameWnd() : reinterpret_cast<HWND>(0x1234), app.mainWindow);
            m.message(8);
            createFrame(m, 40, 10);
            m.message(kMsgUnload);
        }
        EXPECT_EQ(version >= 12, H().appCalls[40] > 0);
        EXPECT_EQ(reinterpret_cast<HWND>(0x1234), app.mainWindow);
        H().hostApp = nullptr;
    }
}

// A repeated -1 starts from an empty table: a menu made before goes with its
// native menu and leaves the frame's menu bar to its placeholder item.
TEST_F(Link, RepeatedLoadFreesTheMenusOfTheTableBefore) {
    th::Module m("formkit.dll");
    startFramed(m, 40, 10);
    th::MenuPack items;
    items.add({1, 10, 2, "File"});
    th::Bytes menu;
    menu.i32(0x4D01).i32(7).u8(2).u8(3).u8(0).u8(1).u16(static_cast<uint16_t>(items.total));
    menu.i32(items.textBytes).i32(0).raw(items.bytes);
    ASSERT_EQ(4, m.message(16, menu));
    ASSERT_EQ(0, WireReader(m.reply(), 4).i32());
    HWND bar = FindWindowExA(FindWindowExA(frameWnd(), nullptr, REBARCLASSNAMEA, nullptr), nullptr, "QVUI:MenuBar", nullptr);
    ASSERT_NE(nullptr, bar);
    auto shown = [bar] {
        char text[16] = {};
        SendMessageA(bar, TB_GETBUTTONTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return std::to_string(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0)) + ":" + text;
    };
    EXPECT_EQ("1:File", shown());
    m.message(kMsgLoad);
    EXPECT_EQ("1: ", shown());
    // The handle is free for a new menu.
    ASSERT_EQ(4, m.message(16, menu));
    EXPECT_EQ(0, WireReader(m.reply(), 4).i32());
    EXPECT_EQ("1:File", shown());
    m.message(kMsgUnload);
}

TEST_F(Link, FrameRequestBuildsItsWindowsOnTheGridAndUnloadDestroysIt) {
    th::Module m("formkit.dll");
    m.start();
    open(m);
    createFrame(m, 80, 25, "Main");
    HWND f = frameWnd();
    ASSERT_NE(nullptr, f);
    EXPECT_TRUE(IsWindowVisible(f));
    char title[64];
    GetWindowTextA(f, title, sizeof title);
    EXPECT_STREQ("Main", title);
    for (int id : {0x601, 0x602, 0x604}) EXPECT_NE(nullptr, GetDlgItem(f, id)) << id;
    // The module's own icon, not the system's.
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(f, GCLP_HICON));
    EXPECT_NE(nullptr, icon);
    EXPECT_NE(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), icon);
    char cls[32];
    GetClassNameA(GetDlgItem(f, 0x602), cls, sizeof cls);
    EXPECT_STREQ("pxClientWnd", cls);
    // The window was sized for exactly this grid: no size event.
    EXPECT_TRUE(eventsOf(500).empty());

    // Request 11 and 12 on the frame; the reply is always size + 4 long.
    m.message(11, th::Bytes().i32(0).text("Other title"));
    EXPECT_EQ(24, m.message(12, th::Bytes().i32(0).i16(20)));
    WireReader r(m.reply(), 24);
    EXPECT_EQ(11, r.i32());
    EXPECT_STREQ("Other title", reinterpret_cast<const char *>(m.reply() + 4));
    EXPECT_EQ(7, m.message(12, th::Bytes().i32(0).i16(3)));
    EXPECT_STREQ("Ot", reinterpret_cast<const char *>(m.reply() + 4));
    EXPECT_EQ(4, m.message(12, th::Bytes().i32(0).i16(-5)));
    EXPECT_EQ(4, m.message(12, th::Bytes().i32(77).i16(0)));
    EXPECT_EQ(0, WireReader(m.reply(), 4).i32());

    m.message(8);
    EXPECT_EQ(nullptr, frameWnd());
    createFrame(m, 40, 10);
    EXPECT_NE(nullptr, frameWnd());
    m.message(kMsgUnload);
    EXPECT_EQ(nullptr, frameWnd());
}

TEST_F(Link, WindowLevelsStackFramesAndGiveThePreviousOneBack) {
    th::Module m("formkit.dll");
    startFramed(m, 60, 20);
    HWND a = frameWnd();
    // A second frame on the same level opens a level of its own, owned by
    // the first, which stays disabled while it lives.
    createFrame(m, 40, 10, "Second");
    HWND b = FindWindowA("pxFrameWnd", "Second");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(a, GetWindow(b, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(a));
    m.message(8);
    EXPECT_FALSE(IsWindow(b));
    EXPECT_TRUE(IsWindowEnabled(a));
    // Request 10 minimises the level's frame; 9 closes the new level and
    // restores it.
    m.message(10);
    EXPECT_TRUE(IsIconic(a));
    createFrame(m, 40, 10, "Third");
    HWND c = FindWindowA("pxFrameWnd", "Third");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(nullptr, GetWindow(c, GW_OWNER));
    m.message(9);
    EXPECT_FALSE(IsWindow(c));
    EXPECT_FALSE(IsIconic(a));
    m.message(9);  // the base level is never closed
    EXPECT_TRUE(IsWindow(a));
    m.message(kMsgUnload);
    EXPECT_FALSE(IsWindow(a));
}

TEST_F(Link, DraggingTheBorderQueuesOneSizeEventWhenTheDragEnds) {
    th::Module m("formkit.dll");
    startFramed(m, 60, 20);
    HWND f = frameWnd();
    H().added.clear();
    RECT r;
    GetWindowRect(f, &r);
    SendMessageA(f, WM_ENTERSIZEMOVE, 0, 0);
    for (int grow : {50, 120, 200})
        SetWindowPos(f, nullptr, 0, 0, r.right - r.left + grow, r.bottom - r.top + grow, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(eventsOf(500).empty());
    SendMessageA(f, WM_EXITSIZEMOVE, 0, 0);
    std::vector<PxEvent> sizes = eventsOf(500);
    ASSERT_EQ(1u, sizes.size());
    EXPECT_GT(sizes[0].p2, 60);
    EXPECT_GT(sizes[0].p3, 20);
    EXPECT_EQ(0, H().added.back().mode);
    // Outside a drag each change is reported at once.
    SetWindowPos(f, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    sizes = eventsOf(500);
    ASSERT_EQ(2u, sizes.size());
    EXPECT_EQ(60, sizes[1].p2);
    EXPECT_EQ(20, sizes[1].p3);
    m.message(kMsgUnload);
}

TEST_F(Link, ClosingTheFrameAsksAndStopsTheSessionOnlyOnYes) {
    th::Module m("formkit.dll");
    startFramed(m, 60, 20);
    for (int answer : {IDNO, IDYES}) {
        th::MessageBoxCatcher boxes(answer);
        SendMessageA(frameWnd(), WM_CLOSE, 0, 0);
        ASSERT_EQ(1u, boxes.seen.size());
        EXPECT_EQ(L"Вы действительно хотите закрыть приложение?", boxes.seen[0].text);
        EXPECT_EQ(L"Принудительное завершение", boxes.seen[0].caption);
    }
    EXPECT_EQ(std::vector<int>{1}, H().stopSessions);
    EXPECT_NE(nullptr, frameWnd());
    m.message(kMsgUnload);
}

// Keys posted to the frame reach the terminal's filter; the key table
// decides the event code.
TEST_F(Link, KeysBecomeEventsThroughTheKeyTable) {
    th::Module m("formkit.dll");
    startFramed(m, 60, 20);
    HWND f = frameWnd();
    enum { None = 0, Alt = 8, Shift = 3, Ctrl = 4 };
    struct Row {
        int vk, shift, code;
    } rows[] = {
        {'A', Ctrl, 1},           {'Z', Ctrl, 26},         {'Q', Alt, 272},        {'M', Alt, 306},
        {'A', None, 0},           {'0', Alt, 385},         {'9', Alt, 384},        {'6', Ctrl, 30},
        {'5', Ctrl, 262},         {VK_F1, None, 0},        {VK_F1, Shift, 340},    {VK_F2, None, 316},
        {VK_F10, Ctrl, 359},      {VK_F11, None, 389},     {VK_F12, Alt, 396},     {VK_TAB, Shift, 271},
        {VK_RETURN, Ctrl, 10},    {VK_ESCAPE, Alt, 0},     {VK_BACK, Ctrl, 127},   {VK_NUMPAD5, Shift, 332},
        {VK_NUMPAD0, Ctrl, 402},  {VK_MULTIPLY, Alt, 311}, {VK_OEM_MINUS, Ctrl, 31}, {VK_OEM_4, Alt, 282},
        {VK_DELETE, Alt, 419},    {VK_HOME, None, 327},    {VK_DOWN, Ctrl, 401},   {VK_SPACE, Ctrl, 0},
    };
    for (const Row &row : rows) {
        BYTE keys[256] = {};
        if (row.shift & Alt) keys[VK_MENU] = 0x80;
        if (row.shift & Shift) keys[VK_SHIFT] = 0x80;
        if (row.shift & Ctrl) keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        UINT scan = MapVirtualKeyA(static_cast<UINT>(row.vk), MAPVK_VK_TO_VSC);
        LPARAM lp = 1 | static_cast<LPARAM>(scan) << 16 | ((row.shift & Alt) ? 1L << 29 : 0);
        H().added.clear();
        PostMessageA(f, (row.shift & Alt) ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(row.vk), lp);
        H().pump();
        if (row.code == 0) {
            EXPECT_TRUE(H().added.empty()) << row.vk << "/" << row.shift;
            continue;
        }
        ASSERT_EQ(1u, H().added.size()) << row.vk << "/" << row.shift;
        EXPECT_EQ(row.code, H().added[0].event.code) << row.vk << "/" << row.shift;
        EXPECT_EQ(row.shift, H().added[0].event.shift);
        EXPECT_EQ(static_cast<int>(scan), H().added[0].event.p1);
        EXPECT_EQ(2, H().added[0].mode);
    }
    // In event mode key events are queued with mode 0.
    BYTE keys[256] = {};
    SetKeyboardState(keys);
    m.message(4, th::Bytes().i16(1));
    H().added.clear();
    PostMessageA(f, WM_KEYDOWN, VK_F2, 1);
    H().pump();
    ASSERT_EQ(1u, H().added.size());
    EXPECT_EQ(0, H().added[0].mode);
    m.message(kMsgUnload);
}

// FlushInput (slot 35) exists from version 12 on: an older table ends, at a
// guard page, before it.
TEST_F(Link, UserBreakCallsTheHostBreakAndFlushesOnlyWhereTheHostCan) {
    for (int hostVersion : {12, 11}) {
        H().reset();
        H().enableExt({18, 26});
        H().setAppVersion(hostVersion);
        th::Module m("formkit.dll");
        startFramed(m, 60, 20);
        BYTE keys[256] = {};
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        PostMessageA(frameWnd(), WM_KEYDOWN, VK_CANCEL, 1);
        H().pump();
        keys[VK_SHIFT] = 0x80;  // not exactly Ctrl: no break
        SetKeyboardState(keys);
        PostMessageA(frameWnd(), WM_KEYDOWN, VK_CANCEL, 1);
        H().pump();
        SetKeyboardState(std::vector<BYTE>(256).data());
        EXPECT_EQ(1, H().userBreaks);
        EXPECT_EQ(hostVersion >= 12 ? 1 : 0, H().flushInputs);
        EXPECT_TRUE(H().added.empty() || H().added.back().event.code != 3);
        m.message(kMsgUnload);
    }
}

TEST_F(Link, QueuedEventsReadBackWithFunctionKeysMappedByShiftState) {
    th::Module m("formkit.dll");
    m.start();
    open(m);
    struct Row {
        int code, shift, read;
    } rows[] = {{352, 4, 352}, {352, 7, 764}, {350, 8, 762}, {357, 12, 769},
                {361, 8, 361}, {361, 11, 763}, {361, 12, 763}, {368, 15, 368}, {500, 0, 500}};
    for (const Row &row : rows) {
        th::Bytes ev;
        ev.i16(static_cast<int16_t>(row.code)).u8(static_cast<uint8_t>(row.shift)).u8(200).i16(-3).i16(40).u8(2);
        EXPECT_EQ(0, m.message(6, ev));
        EXPECT_EQ(1, H().added.back().mode);
        ASSERT_EQ(9, m.message(5, th::Bytes().i16(1)));
        WireReader r(m.reply(), 9);
        EXPECT_EQ(row.read, r.i16()) << row.code << "/" << row.shift;
        EXPECT_EQ(row.shift, r.u8());
        EXPECT_EQ(200, r.u8());
        EXPECT_EQ(-3, r.i16());
        EXPECT_EQ(40, r.i16());
        EXPECT_EQ(2, r.u8());
    }
    // Polling with nothing queued answers code 0 with the previous fields.
    ASSERT_EQ(9, m.message(5, th::Bytes().i16(0)));
    WireReader r(m.reply(), 9);
    EXPECT_EQ(0, r.i16());
    r.skip(2);
    EXPECT_EQ(-3, r.i16());
    m.message(kMsgUnload);
}

TEST_F(Link, FrameStatusBarPanesFollowTheServer) {
    th::Module m("formkit.dll");
    startFramed(m, 80, 25);
    HWND bar = GetDlgItem(frameWnd(), 0x604);
    auto parts = [&] {
        int edges[64] = {};
        int n = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 64, reinterpret_cast<LPARAM>(edges)));
        return std::vector<int>(edges, edges + n);
    };
    auto text = [&](int part) {
        char buf[512] = {};
        SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buf));
        return std::string(buf);
    };
    // Pane 1 fills what the four indicators leave.
    std::vector<int> p = parts();
    ASSERT_EQ(5u, p.size());
    RECT rc;
    GetClientRect(bar, &rc);
    EXPECT_GT(p[0], rc.right / 2);
    for (size_t i = 1; i < p.size(); ++i) EXPECT_GT(p[i], p[i - 1]);
    EXPECT_EQ("INS", text(4));

    m.message(53, th::Bytes().i16(0).text("Ready ~now"));
    EXPECT_EQ("Ready now", text(0));
    m.message(54, th::Bytes().i32(900));
    m.message(53, th::Bytes().i16(0).text("Busy"));
    m.message(55, th::Bytes().i32(900));
    EXPECT_EQ("Ready now", text(0));
    m.message(55, th::Bytes().i32(900));  // already restored: nothing
    // A handle of another kind is unknown: a saved layout is no saved text.
    m.message(60, th::Bytes().i16(-1).i32(902));
    m.message(53, th::Bytes().i16(0).text("Kept"));
    m.message(55, th::Bytes().i32(902));
    EXPECT_EQ("Kept", text(0));

    m.message(60, th::Bytes().i16(-1).i32(901));
    m.message(56, th::Bytes().i16(5).i16(40).i16(-1));
    m.message(56, th::Bytes().i16(-2).i16(30).i16(-1));
    EXPECT_EQ(7u, parts().size());
    m.message(58, th::Bytes().i16(5).i32(2).text("Pane five").text("The tip"));
    std::string five = text(1);
    EXPECT_EQ(127u, five.size());
    EXPECT_EQ(0u, five.find("Pane five"));
    char tip[128] = {};
    SendMessageA(bar, SB_GETTIPTEXTA, MAKEWPARAM(1, sizeof tip), reinterpret_cast<LPARAM>(tip));
    EXPECT_STREQ("The tip", tip);
    m.message(57, th::Bytes().i16(-2));
    EXPECT_EQ(6u, parts().size());
    m.message(61, th::Bytes().i16(-1).i32(901));
    EXPECT_EQ(5u, parts().size());
    m.message(64, th::Bytes().i32(0).i16(30));
    EXPECT_EQ(4u, parts().size());
    m.message(kMsgUnload);
}

}  // namespace
