// 1,000 line steps of a frame's client window with 10 and 100 child
// windows, against ScrollWindowEx(SW_SCROLLCHILDREN) in the same run.
#include "wintimer.h"
#include <windows.h>

#include <cstdio>
#include <vector>

#include "app.h"
#include "frame.h"
#include "host.h"
#include "registry.h"
#include "zam_entry.h"

namespace {

constexpr int kSteps = 1000;

void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

// Children in a column, the last far down so that every step scrolls.
std::vector<HWND> makeChildren(HWND parent, int count) {
    std::vector<HWND> v;
    for (int i = 0; i < count; ++i) {
        int y = i + 1 == count ? 100000 : (i % 20) * 30;
        v.push_back(CreateWindowExA(0, "STATIC", "child", WS_CHILD | WS_VISIBLE | WS_BORDER, (i / 20) * 110, y, 100,
                                    24, parent, nullptr, nullptr, nullptr));
    }
    return v;
}

double frameSeconds(int count) {
    PxTopWnd *level = px_newTopWnd();
    PxFrame *f = px_createFrame("Bench", 0, 0, 800, 600, nullptr);
    level->frame = f;
    px_showFrame(f, SW_SHOWNORMAL);
    std::vector<HWND> kids = makeChildren(f->client, count);
    static int objects[100];
    for (int i = 0; i < count; ++i) px_addChildWnd(kids[static_cast<size_t>(i)], &objects[i], kPxChildOther);
    pump();
    double t0 = bench_now();
    for (int i = 0; i < kSteps; ++i) {
        SendMessageA(f->client, WM_VSCROLL, SB_LINEDOWN, 0);
        UpdateWindow(f->client);
    }
    SendMessageA(f->client, WM_VSCROLL, SB_ENDSCROLL, 0);
    double t = bench_now() - t0;
    px_dropTopWnd(level);
    return t;
}

double peerSeconds(int count, int step) {
    HWND w = CreateWindowExA(WS_EX_CLIENTEDGE, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                             0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    makeChildren(w, count);
    pump();
    double t0 = bench_now();
    for (int i = 0; i < kSteps; ++i) {
        ScrollWindowEx(w, 0, -step, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
        UpdateWindow(w);
    }
    double t = bench_now() - t0;
    DestroyWindow(w);
    return t;
}

}  // namespace

int main() {
    th::Host &h = th::Host::get();
    zam_host().app = h.app();
    zam_host().version = 114;
    if (!px_loadSettings(h.app(), nullptr) || !px_initTopWnds()) {
        std::printf("frame_bench: no application record\n");
        return 1;
    }
    int step = px_app()->fieldLineH;
    for (int count : {10, 100}) {
        double ours = frameSeconds(count), peer = peerSeconds(count, step);
        std::printf("frame scroll, %3d children, %d line steps: %.3f s, ScrollWindowEx %.3f s, ratio %.2f\n", count,
                    kSteps, ours, peer, peer > 0 ? ours / peer : 0.0);
    }
    px_freeTopWnds();
    px_freeSettings();
    return 0;
}
