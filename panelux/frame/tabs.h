// Tab controls whose selection the server decides, tracked tooltips and
// window captions.
#pragma once

#include <windows.h>

enum : int { kPxTabId = 0x1004, kPxTipToolId = 4101, kPxTabTitleMax = 512 };

struct PxTab {
    HWND wnd = nullptr;
    HFONT font = nullptr;
};

// Titles separated by line feeds; rect is the display area wanted in the
// parent's client co-ordinates.
bool px_createTab(HWND parent, RECT rect, const char *titlesOem, PxTab *tab);
void px_destroyTab(PxTab *tab);
void px_fitTabPage(const PxTab *tab, HWND page);
// TCN_SELCHANGING: posts event 376 + the tab under the cursor and refuses
// the change; the server selects with request 52. Other codes: 0.
LRESULT px_tabNotify(const NMHDR *hdr);
void px_selectTab(HWND tab, int index);

HWND px_createToolTip(HWND owner, const char *textOem, const char *titleOem, int icon, bool balloon);
void px_trackToolTip(HWND tip);

// Request 11: the caption of wnd (the current frame when null).
void px_setWndText(HWND wnd, const char *textOem);
// Request 12: the caption in OEM into buf of size bytes (clamped to 0 and
// capacity); returns the caption length, 0 without a window.
int px_getWndText(HWND wnd, char *buf, int size, size_t capacity);
