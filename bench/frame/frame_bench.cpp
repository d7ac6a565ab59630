// Line steps of a frame's client window with 10 and 100 child windows,
// against ScrollWindowEx(SW_SCROLLCHILDREN) on a window beside it in the same
// run. The view goes down a band of lines and back up, so the children stay
// on the screen and every step has to show them at their new places. Each way
// is one scroll action that ends by drawing its scroll bar once: the frame on
// SB_ENDSCROLL, the peer with SetScrollInfo, as a program scrolling with
// ScrollWindowEx would.
#include "wintimer.h"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app.h"
#include "frame.h"
#include "host.h"
#include "registry.h"
#include "short.h"
#include "zam_entry.h"

namespace {

// One cycle goes down kBand lines and back up; cycles of the two sides
// alternate, so a busy machine slows both alike, and the median of the
// cycles' ratios is the figure (a burst of load spoils single cycles only).
constexpr int kBand = 20;
constexpr int kWidth = 620, kHeight = 560;

void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

// Children in columns, the last far down so that every step can scroll.
std::vector<HWND> makeChildren(HWND parent, int count) {
    std::vector<HWND> v;
    for (int i = 0; i < count; ++i) {
        int y = i + 1 == count ? 100000 : (i % 20) * 30;
        v.push_back(CreateWindowExA(0, "STATIC", "child", WS_CHILD | WS_VISIBLE | WS_BORDER, (i / 20) * 110, y, 100,
                                    24, parent, nullptr, nullptr, nullptr));
    }
    return v;
}

struct Ours {
    PxTopWnd *level = nullptr;
    PxFrame *frame = nullptr;
    int objects[100] = {};

    explicit Ours(int count) {
        level = px_newTopWnd();
        frame = px_createFrame("Bench", 0, 0, kWidth, kHeight, nullptr);
        level->frame = frame;
        px_showFrame(frame, SW_SHOWNORMAL);
        std::vector<HWND> kids = makeChildren(frame->client, count);
        for (int i = 0; i < count; ++i) px_addChildWnd(kids[static_cast<size_t>(i)], &objects[i], kPxChildOther);
        UpdateWindow(frame->wnd);
    }
    ~Ours() { px_dropTopWnd(level); }
    double cycle() {
        double t0 = bench_now();
        for (int code : {SB_LINEDOWN, SB_LINEUP}) {
            for (int i = 0; i < kBand; ++i) {
                SendMessageA(frame->client, WM_VSCROLL, static_cast<WPARAM>(code), 0);
                UpdateWindow(frame->client);
            }
            SendMessageA(frame->client, WM_VSCROLL, SB_ENDSCROLL, 0);
        }
        return bench_now() - t0;
    }
};

struct Peer {
    HWND wnd;
    int step;

    Peer(int count, int lineStep) : step(lineStep) {
        wnd = CreateWindowExA(WS_EX_CLIENTEDGE, "STATIC", "",
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL, kWidth + 10, 0, kWidth,
                              kHeight, nullptr, nullptr, nullptr, nullptr);
        makeChildren(wnd, count);
        RECT c;
        GetClientRect(wnd, &c);
        SCROLLINFO si = {sizeof si, SIF_ALL, 0, 100000 + 24, static_cast<UINT>(c.bottom), 0, 0};
        SetScrollInfo(wnd, SB_VERT, &si, TRUE);
        UpdateWindow(wnd);
    }
    ~Peer() { DestroyWindow(wnd); }
    double cycle() {
        double t0 = bench_now();
        int pos = 0;
        for (int dy : {-step, step}) {
            for (int i = 0; i < kBand; ++i) {
                ScrollWindowEx(wnd, 0, dy, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
                pos -= dy;
                UpdateWindow(wnd);
            }
            SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, pos, 0};
            SetScrollInfo(wnd, SB_VERT, &si, TRUE);
        }
        return bench_now() - t0;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
    for (int count : {10, 100}) {
        const int cycles = bench_count(count < 50 ? 40 : 16, 2);
        std::vector<double> ratios;
        double ours = 0, peer = 0;
        {
            Ours a(count);
            Peer b(count, px_app()->fieldLineH);
            pump();
            for (int c = 0; c < cycles; ++c) {
                double x, y;
                if (c % 2) {
                    y = b.cycle();
                    x = a.cycle();
                } else {
                    x = a.cycle();
                    y = b.cycle();
                }
                ours += x;
                peer += y;
                ratios.push_back(y > 0 ? x / y : 0.0);
                pump();
            }
        }
        pump();
        std::printf("frame scroll, %3d children, %d cycles of %d lines down and up: %.3f s, ScrollWindowEx %.3f s, "
                    "ratio %.2f (median of the cycles; whole run %.2f)\n",
                    count, cycles, kBand, ours, peer, median(ratios), peer > 0 ? ours / peer : 0.0);
    }
    px_freeTopWnds();
    px_freeSettings();
    return 0;
}
