// The blocking dialog through the loaded module: it swallows other windows'
// input, works by keyboard inside, calls the server back (upcall 108) and
// survives requests that arrive while that call waits for the server.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "hostwm.h"
#include "module.h"
#include "msgbox.h"
#include "wire.h"

namespace {

th::Host &H() { return th::Host::get(); }

std::vector<HWND> lockDialogs() {
    std::vector<HWND> out;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        if (GetDlgItem(w, 1002)) reinterpret_cast<std::vector<HWND> *>(p)->push_back(w);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&out));
    return out;
}

HWND frameWnd() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        if (IsWindowVisible(w) && !GetDlgItem(w, 1002)) *reinterpret_cast<HWND *>(p) = w;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct LockDialog : ::testing::Test {
    th::Module m{"formkit.dll"};
    std::vector<int32_t> callbacks;
    void SetUp() override {
        H().reset();
        H().enableExt({18, 26});
        m.start();
        m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
        m.message(7, th::Bytes().i16(60).i16(20).text("Frame"));
        H().pump();
    }
    void TearDown() override {
        m.message(kMsgUnload);
        EXPECT_TRUE(lockDialogs().empty());
    }
    // Upcall 108's answer, running inside first while the server is asked.
    void answer(std::function<void()> inside = nullptr) {
        H().respond("PXTBL#0", 108, [this, inside](const th::Upcall &u) {
            callbacks.push_back(WireReader(u.payload.data(), u.payload.size()).i32());
            if (inside) inside();
            return std::optional<th::ByteVec>(th::ByteVec(4, 0));
        });
    }
    static size_t keysAdded() { return H().added.size(); }
};

TEST_F(LockDialog, SwallowsOtherWindowsInputAndWorksByKeyboardInside) {
    HWND frame = frameWnd();
    ASSERT_NE(nullptr, frame);
    answer();
    m.message(67, th::Bytes().i32(5).i32(77));
    std::vector<HWND> dlgs = lockDialogs();
    ASSERT_EQ(1u, dlgs.size());
    HWND dlg = dlgs[0], button = GetDlgItem(dlg, 1002);
    EXPECT_TRUE(IsWindowVisible(dlg));
    char caption[64] = {};
    GetWindowTextA(button, caption, sizeof caption);
    EXPECT_STREQ("&\xd1\xed\xff\xf2\xfc \xe1\xeb\xee\xea\xe8\xf0\xee\xe2\xea\xf3", caption);

    // A key on the frame normally becomes an event; while the dialog is
    // shown it, clicks and system commands are dropped.
    struct Case {
        UINT msg;
        WPARAM wParam;
    } swallowed[] = {{WM_KEYDOWN, VK_F2}, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_SYSCOMMAND, SC_CLOSE}};
    for (const Case &c : swallowed) {
        H().added.clear();
        PostMessageA(frame, c.msg, c.wParam, 0);
        H().pump();
        EXPECT_EQ(0u, keysAdded()) << c.msg;
        EXPECT_TRUE(IsWindow(frame)) << c.msg;
    }

    // Tab stays inside, Enter presses the button: the server's callback
    // with request 67's second value.
    SetFocus(button);
    PostMessageA(button, WM_KEYDOWN, VK_TAB, 0);
    H().pump();
    EXPECT_EQ(button, GetFocus());
    PostMessageA(button, WM_KEYDOWN, VK_RETURN, 0);
    H().pump();
    EXPECT_EQ(std::vector<int32_t>{77}, callbacks);
    SendMessageA(button, BM_CLICK, 0, 0);
    EXPECT_EQ(2u, callbacks.size());

    // The user cannot close it.
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(dlg));

    // Hidden, it blocks nothing.
    m.message(68);
    EXPECT_FALSE(IsWindowVisible(dlg));
    H().added.clear();
    PostMessageA(frame, WM_KEYDOWN, VK_F2, 0);
    H().pump();
    EXPECT_EQ(1u, keysAdded());
}

TEST_F(LockDialog, ASecondRequestReplacesTheFirstOnlyAfterItsCallbackReturns) {
    m.message(67, th::Bytes().i32(1).i32(10));
    HWND first = lockDialogs().at(0);
    HWND second = nullptr;
    bool firstAliveInside = false;
    answer([&] {
        // A press while the server is asked is ignored; the replacement
        // must leave the window under the running callback alone.
        SendMessageA(GetDlgItem(first, 1002), BM_CLICK, 0, 0);
        m.message(67, th::Bytes().i32(2).i32(20));
        firstAliveInside = IsWindow(first) && !IsWindowVisible(first);
        for (HWND w : lockDialogs())
            if (w != first) second = w;
    });
    SendMessageA(GetDlgItem(first, 1002), BM_CLICK, 0, 0);
    EXPECT_EQ(std::vector<int32_t>{10}, callbacks);
    EXPECT_TRUE(firstAliveInside);
    EXPECT_FALSE(IsWindow(first));
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(std::vector<HWND>{second}, lockDialogs());

    // The module's end while the callback runs waits for it too.
    answer([&] {
        m.message(kMsgUnload);
        firstAliveInside = IsWindow(second);
    });
    SendMessageA(GetDlgItem(second, 1002), BM_CLICK, 0, 0);
    EXPECT_TRUE(firstAliveInside);
    EXPECT_FALSE(IsWindow(second));
}

// The owner is the host's main window (the frame, once request 7 made it
// so) only with a host newer than version 2; the close command asks the
// host window manager, when there is one, first.
TEST(LockDialogHost, OwnedByTheHostsMainWindowAndClosingAsksTheManager) {
    struct Case {
        const char *what;
        LONG host;  // 0: no host application
        bool ownedByFrame;
    } cases[] = {
        {"no host", 0, false},
        {"host too old", 2, false},
        {"host main window", 5, true},
    };
    for (const Case &c : cases) {
        H().reset();
        H().enableExt({18, 26});
        th::HostWmLog log;
        th::FakeWindowManager manager(log);
        th::FakeHostApp app(log, &manager);
        app.version = c.host;
        H().hostApp = c.host ? static_cast<IPxHostApp *>(&app) : nullptr;
        th::Module m("formkit.dll");
        m.start();
        m.message(1, th::Bytes().i16(0).i16(0).i32(313130));
        m.message(7, th::Bytes().i16(60).i16(20).text("Frame"));
        H().pump();
        m.message(67, th::Bytes().i32(1).i32(2));
        std::vector<HWND> dlgs = lockDialogs();
        ASSERT_EQ(1u, dlgs.size()) << c.what;
        HWND owner = GetWindow(dlgs[0], GW_OWNER);
        EXPECT_EQ(c.ownedByFrame ? FindWindowA("pxFrameWnd", nullptr) : nullptr, owner) << c.what;

        {
            th::MessageBoxCatcher no(IDNO);
            SendMessageA(dlgs[0], WM_COMMAND, 1003, 0);
            // The dialog itself counts too when it is activated again.
            ASSERT_FALSE(no.seen.empty()) << c.what;
            EXPECT_EQ(L"\u0412\u044b \u0434\u0435\u0439\u0441\u0442\u0432\u0438\u0442\u0435\u043b\u044c\u043d\u043e "
                      L"\u0445\u043e\u0442\u0438\u0442\u0435 \u0437\u0430\u043a\u0440\u044b\u0442\u044c "
                      L"\u043f\u0440\u0438\u043b\u043e\u0436\u0435\u043d\u0438\u0435?",
                      no.seen[0].text);
        }
        EXPECT_TRUE(H().stopSessions.empty()) << c.what;
        {
            th::MessageBoxCatcher yes(IDYES);
            SendMessageA(dlgs[0], WM_COMMAND, 1003, 0);
        }
        EXPECT_EQ(std::vector<int>{1}, H().stopSessions) << c.what;
        bool told = std::find(log.calls.begin(), log.calls.end(), "wm.close") != log.calls.end();
        EXPECT_EQ(c.host > 4, told) << c.what;
        m.message(kMsgUnload);
        H().hostApp = nullptr;
        EXPECT_TRUE(lockDialogs().empty());
    }
}

}  // namespace
