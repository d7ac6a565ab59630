// Drives the system's menu loops in tests: each popup menu that opens is
// read (item texts and states) and answered with the keys given for it, posted
// to the thread when the loop tells its owner it is idle (WM_ENTERIDLE): a
// popup closed by one key must not take the next with it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace th {

struct MenuLine {
    std::string text;  // Windows code page, "" for a separator
    UINT state;        // GetMenuState by position
};

class MenuDriver {
public:
    // keys[n]: what the n-th popup gets; popups beyond get Esc. A key of
    // kMoveTo + i moves the mouse onto button i of the bar given.
    explicit MenuDriver(std::vector<std::vector<UINT>> keys, HWND bar = nullptr);
    ~MenuDriver();
    MenuDriver(const MenuDriver &) = delete;
    MenuDriver &operator=(const MenuDriver &) = delete;

    static constexpr UINT kMoveTo = 0x10000;
    std::vector<std::vector<MenuLine>> popups;  // each popup as first seen

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam);
    void onMenuMessage();
    std::vector<std::vector<UINT>> keys_;
    std::vector<HWND> seen_;
    HWND bar_;
    HHOOK hook_ = nullptr;
    POINT cursor_ = {};  // given back at the end: a cursor left over a menu steers the next one
    bool moved_ = false;
};

}  // namespace th
