// Console window requests on a console of this test's own, and the keys
// that must not go astray when there is none.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "module.h"
#include "wire.h"

namespace {

std::mutex g_lock;
std::string g_keys;

LRESULT CALLBACK onKey(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        char item[8];
        bool up = wp == WM_KEYUP || wp == WM_SYSKEYUP;
        std::snprintf(item, sizeof item, "%c%02lX", up ? '-' : '+', reinterpret_cast<KBDLLHOOKSTRUCT *>(lp)->vkCode);
        std::lock_guard<std::mutex> hold(g_lock);
        g_keys += (g_keys.empty() ? "" : " ") + std::string(item);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The keys that reach the desktop's input, through a low-level keyboard
// hook served by a thread of its own.
class KeyLog {
public:
    KeyLog() {
        thread_ = CreateThread(nullptr, 0, run, ready_, 0, &threadId_);
        hooked_ = WaitForSingleObject(ready_, 5000) == WAIT_OBJECT_0 && GetExitCodeThread(thread_, &code_) &&
                  code_ == STILL_ACTIVE;
        take();
    }
    ~KeyLog() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    bool ok() const { return hooked_; }
    // "+VK" for a key down, "-VK" for a key up, in hexadecimal; waits a
    // little for stragglers.
    std::string take() {
        Sleep(200);
        std::lock_guard<std::mutex> hold(g_lock);
        return std::move(g_keys);
    }

private:
    static DWORD WINAPI run(void *ready) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue
        HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, onKey, GetModuleHandleA(nullptr), 0);
        if (!hook) return 1;
        SetEvent(ready);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        UnhookWindowsHookEx(hook);
        return 0;
    }
    HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0, code_ = 0;
    bool hooked_ = false;
};

struct SysmixConsole : ::testing::Test {
    SysmixConsole() { m.messageProcName = "_ZamExtMessageProc"; }
    ~SysmixConsole() override { m.message(kMsgUnload); }
    // Request 20 with an operation, or 21; the answer.
    int32_t ask(int code, int32_t op = 0) {
        EXPECT_EQ(4, m.message(code, th::Bytes().i32(op)));
        return WireReader(m.reply(), 4).i32();
    }
    HWND window(const char *title) {
        return CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200, nullptr,
                               nullptr, nullptr, nullptr);
    }

    KeyLog keys;
    th::Module m{"sysmix.dll"};
};

TEST_F(SysmixConsole, WithoutAConsoleWindowNoKeysGoToTheWindowInFront) {
    ASSERT_TRUE(keys.ok());
    ASSERT_EQ(nullptr, GetConsoleWindow());
    HWND front = window("front");
    SetForegroundWindow(front);
    keys.take();
    for (int op : {3, 0, 3}) EXPECT_EQ(1, ask(20, op));
    EXPECT_EQ("", keys.take());
    EXPECT_EQ(front, GetForegroundWindow());
    EXPECT_EQ(0, ask(21));
    DestroyWindow(front);
}

TEST_F(SysmixConsole, ShowOperationsMinimiseRestoreMaximiseAndSwitchToFullScreenInFront) {
    ASSERT_TRUE(keys.ok());
    FreeConsole();  // the console Wine gave the test has no window
    ASSERT_TRUE(AllocConsole());
    HWND console = GetConsoleWindow();
    ASSERT_NE(nullptr, console) << "no console window here";
    SetForegroundWindow(console);
    EXPECT_EQ(1, ask(21));
    EXPECT_EQ(1, ask(20, 0));
    EXPECT_TRUE(IsIconic(console));
    EXPECT_EQ("", keys.take()) << "not full-screen: nothing to leave";
    EXPECT_EQ(1, ask(20, 1));
    EXPECT_FALSE(IsIconic(console) || IsZoomed(console));
    EXPECT_EQ(1, ask(20, 2));
    EXPECT_TRUE(!IsIconic(console) && IsZoomed(console));
    ask(20, 1);
    ask(20, 0);
    keys.take();
    EXPECT_EQ(1, ask(20, 3));
    EXPECT_TRUE(!IsIconic(console) && GetForegroundWindow() == console);
    EXPECT_EQ("+12 +0D -0D -12", keys.take()) << "Alt down, Enter down, Enter up, Alt up";
    EXPECT_EQ(1, ask(20, 9));
    HWND other = window("other");
    SetForegroundWindow(other);
    EXPECT_EQ(0, ask(21));
    DestroyWindow(other);
    FreeConsole();
}

}  // namespace
