// Console window requests: show, hide or switch the window of the process's
// console, and whether it is in front.
#include <cstdio>

#include "module.h"
#include "screen.h"
#include "wire.h"

namespace {

constexpr DWORD kTitleSettleMs = 40;
constexpr DWORD kSwitchMs = 20;
constexpr DWORD kTitleMax = 1024;

enum ConsoleOp { kMinimise = 0, kShowNormal = 1, kMaximise = 2, kFullScreen = 3 };

// The window is found by a title no other window has; the old title comes
// back after.
HWND searchConsoleWindow() {
    char old[kTitleMax] = "";
    GetConsoleTitleA(old, kTitleMax);
    char title[64];
    std::snprintf(title, sizeof title, "%lu/%lu", GetTickCount(), GetCurrentProcessId());
    if (!SetConsoleTitleA(title)) return nullptr;  // no console
    Sleep(kTitleSettleMs);
    HWND w = FindWindowA(nullptr, title);
    SetConsoleTitleA(old);
    return w;
}

HWND consoleWindow() {
    SysmixModule &m = sysmix_module();
    if (!m.console) m.console = searchConsoleWindow();
    return m.console;
}

bool isFullScreen(HWND w) {
    RECT r;
    return GetWindowRect(w, &r) && sysmix_fullScreenRect(r.left, r.top, r.right - r.left);
}

void bringToFront(HWND w) {
    SetForegroundWindow(w);
    Sleep(kSwitchMs);
}

void keyInput(INPUT &in, WORD vk, bool up) {
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
}

// Alt down, Enter down, Enter up, Alt up: the console's full-screen switch.
// Pressed only while the console window is in front, so that no other
// window gets the keys.
bool pressAltEnter(HWND w) {
    if (GetForegroundWindow() != w) return false;
    INPUT in[4] = {};
    keyInput(in[0], VK_MENU, false);
    keyInput(in[1], VK_RETURN, false);
    keyInput(in[2], VK_RETURN, true);
    keyInput(in[3], VK_MENU, true);
    SendInput(4, in, sizeof(INPUT));
    return true;
}

void restoreIfMinimised(HWND w) {
    if (IsIconic(w)) ShowWindow(w, SW_RESTORE);
}

void minimise(HWND w) {
    bringToFront(w);
    if (isFullScreen(w) && pressAltEnter(w)) Sleep(kSwitchMs);
    if (!IsIconic(w)) ShowWindow(w, SW_MINIMIZE);
}

void showNormal(HWND w) {
    restoreIfMinimised(w);
    ShowWindow(w, SW_SHOWNORMAL);
}

void maximise(HWND w) {
    restoreIfMinimised(w);
    if (!IsZoomed(w)) ShowWindow(w, SW_MAXIMIZE);
}

void fullScreen(HWND w) {
    bringToFront(w);
    restoreIfMinimised(w);
    if (!isFullScreen(w)) pressAltEnter(w);
}

}  // namespace

int sysmix_consoleShow(const SysmixRequest &req) {
    WireReader r(req.data, req.length);
    int32_t op = r.i32();
    if (HWND w = r.ok() ? consoleWindow() : nullptr) {
        switch (op) {
        case kMinimise: minimise(w); break;
        case kShowNormal: showNormal(w); break;
        case kMaximise: maximise(w); break;
        case kFullScreen: fullScreen(w); break;
        default: break;
        }
    }
    WireWriter w(req.reply, kSysmixReplyCapacity);
    w.i32(1);
    return static_cast<int>(w.size());
}

int sysmix_consoleInFront(const SysmixRequest &req) {
    HWND w = consoleWindow();
    WireWriter out(req.reply, kSysmixReplyCapacity);
    out.i32(w && GetForegroundWindow() == w ? 1 : 0);
    return static_cast<int>(out.size());
}
