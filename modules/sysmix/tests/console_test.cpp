// Console window requests, run in a child that has a console window of its
// own, and the keys that must not go astray when there is none.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "keylog.h"
#include "module.h"

namespace {

// Virtual keys as the key log writes them: Alt down, Enter down, Enter up,
// Alt up.
const char *const kAltEnter = "+12 +0D -0D -12";

class SysmixConsoleChild : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new th::TempDir;
        std::string out = dir->file("console.txt");
        std::string cmd = "sysmix_console_child.exe \"" + out + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &si,
                            &pi))
            return;
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::ifstream f(out);
        std::string line;
        while (std::getline(f, line)) {
            size_t blank = line.find(' ');
            if (blank != std::string::npos) seen[line.substr(0, blank)] = line.substr(blank + 1);
        }
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ("1", seen["done"]) << "the child did not finish";
        ASSERT_EQ("1", seen["loaded"]);
        ASSERT_EQ("1", seen["window"]) << "no console window here";
    }

    static th::TempDir *dir;
    static std::map<std::string, std::string> seen;
};
th::TempDir *SysmixConsoleChild::dir;
std::map<std::string, std::string> SysmixConsoleChild::seen;

TEST_F(SysmixConsoleChild, RequestTwentyOneTellsWhetherTheConsoleIsInFront) {
    EXPECT_EQ("1", seen["infront.console"]);
    EXPECT_EQ("0", seen["infront.other"]);
}

TEST_F(SysmixConsoleChild, ShowOperationsMinimiseRestoreAndMaximise) {
    for (const char *op : {"op0", "op1", "op2", "op3", "op9"}) EXPECT_EQ("1", seen[op]) << op;
    EXPECT_EQ("1", seen["op0.iconic"]);
    EXPECT_EQ("", seen["op0.keys"]);  // not full-screen: nothing to leave
    EXPECT_EQ("0", seen["op1.iconic"]);
    EXPECT_EQ("0", seen["op1.zoomed"]);
    EXPECT_EQ("0", seen["op2.iconic"]);
    EXPECT_EQ("1", seen["op2.zoomed"]);
}

TEST_F(SysmixConsoleChild, FullScreenIsEnteredWithAltEnterInFront) {
    EXPECT_EQ("0", seen["op3.iconic"]);
    EXPECT_EQ("1", seen["op3.front"]);
    EXPECT_EQ("1", seen["hooked"]);
    EXPECT_EQ(kAltEnter, seen["op3.keys"]);
}

LRESULT CALLBACK plainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, msg, wp, lp); }

TEST(SysmixConsole, WithoutAConsoleWindowNoKeysGoToTheWindowInFront) {
    KeyLog keys;
    ASSERT_TRUE(keys.ok());
    WNDCLASSA wc{};
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "SysmixFront";
    wc.hInstance = GetModuleHandleA(nullptr);
    RegisterClassA(&wc);
    HWND front = CreateWindowExA(0, "SysmixFront", "front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(front);
    keys.take();

    th::Module m("sysmix.dll");
    m.messageProcName = "_ZamExtMessageProc";
    for (int op : {3, 0, 3}) EXPECT_EQ(4, m.message(20, th::Bytes().i32(op)));
    EXPECT_EQ("", keys.take());
    EXPECT_EQ(front, GetForegroundWindow());
    EXPECT_EQ(4, m.message(21));
    EXPECT_EQ(0, m.reply()[0]);
    m.message(kMsgUnload);
    DestroyWindow(front);
}

}  // namespace
