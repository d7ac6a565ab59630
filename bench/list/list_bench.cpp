// 300 one-row scrolls of a list of 10,000 rows and 10 columns: the list
// shifts its rows, takes the new row's values and repaints; the peer is a
// SysListView32 in report mode that reads the same texts on demand.
#include "wintimer.h"
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app.h"
#include "dialog.h"
#include "host.h"
#include "list.h"
#include "panel.h"
#include "registry.h"
#include "short.h"
#include "zam_entry.h"

namespace {

constexpr int kRows = 10000, kColumns = 10;
const int kSteps = bench_count(300, 10);

std::vector<std::string> g_texts;  // kRows x kColumns

const std::string &text(int row, int column) {
    return g_texts[static_cast<size_t>(row % kRows) * kColumns + static_cast<size_t>(column)];
}

void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

double listSeconds() {
    PxPanel *panel = px_allocPanel(0x0100, kColumns, 0, 0, 0, 100, 30, 0, 0, 212);
    panel->options = 0x40000;
    for (int c = 0; c < kColumns; ++c) px_appendField(panel, 1, c + 1, PXV_STRING, 20, static_cast<int16_t>(1 + 9 * c), 1, 8, 1, 0);
    PxScrollList *list = px_makeScrollList(panel, 0, 1, 0, 1, kRows, nullptr, 0);
    if (px_openDialog(panel, list) != 0) {
        px_freeScrollList(list);
        px_freePanel(panel);
        return 0;
    }
    int rows = list->visibleRows;
    HWND wnd = list->wnd;
    auto fillRow = [&](int row, int record) {
        px_setListRow(panel, row);
        for (int c = 0; c < kColumns; ++c) px_fieldStoreText(&panel->fields[c], text(record, c).c_str(), text(record, c).size());
        px_refreshFields(panel);
    };
    for (int r = 0; r < rows; ++r) fillRow(r, r);
    UpdateWindow(wnd);
    pump();
    double t0 = bench_now();
    for (int i = 0; i < kSteps; ++i) {
        px_shiftListRows(panel, 1, rows - 1, -1);
        fillRow(rows - 1, i + rows);
        UpdateWindow(wnd);
    }
    double t = bench_now() - t0;
    px_closeDialog(panel);
    px_freePanel(panel);
    return t;
}

LRESULT CALLBACK peerParent(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR *>(lParam)->code == LVN_GETDISPINFOA) {
        LVITEMA &item = reinterpret_cast<NMLVDISPINFOA *>(lParam)->item;
        if (item.mask & LVIF_TEXT) lstrcpynA(item.pszText, text(item.iItem, item.iSubItem).c_str(), item.cchTextMax);
        return 0;
    }
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

double peerSeconds(int width, int height) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = peerParent;
    wc.lpszClassName = "listBenchParent";
    RegisterClassA(&wc);
    HWND parent = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, width + 40,
                                  height + 60, nullptr, nullptr, nullptr, nullptr);
    HWND lv = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, width,
                              height, parent, nullptr, nullptr, nullptr);
    for (int c = 0; c < kColumns; ++c) {
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        std::string title = "Column " + std::to_string(c);
        col.pszText = const_cast<char *>(title.c_str());
        col.cx = width / kColumns;
        SendMessageA(lv, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
    }
    SendMessageA(lv, LVM_SETITEMCOUNT, kRows, 0);
    UpdateWindow(lv);
    pump();
    RECT item{};
    item.left = LVIR_BOUNDS;
    SendMessageA(lv, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    int step = item.bottom - item.top;
    double t0 = bench_now();
    for (int i = 0; i < kSteps; ++i) {
        SendMessageA(lv, LVM_SCROLL, 0, step);
        UpdateWindow(lv);
    }
    double t = bench_now() - t0;
    DestroyWindow(parent);
    return t;
}

}  // namespace

int main() {
    th::Host &h = th::Host::get();
    zam_host().app = h.app();
    zam_host().version = 114;
    if (!px_loadSettings(h.app(), nullptr) || !px_initTopWnds() || !px_newTopWnd()) {
        std::printf("list_bench: no application record\n");
        return 1;
    }
    InitCommonControls();
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) g_texts.push_back("r" + std::to_string(r) + "c" + std::to_string(c));
    double ours = listSeconds();
    double peer = peerSeconds(100 * px_app()->stepX, 29 * px_app()->stepY);
    std::printf("list scroll, %d rows x %d columns, %d one-row steps: %.3f s, SysListView32 %.3f s, ratio %.2f\n", kRows,
                kColumns, kSteps, ours, peer, peer > 0 ? ours / peer : 0.0);
    px_freeTopWnds();
    px_freeSettings();
    return 0;
}
