#include "status.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "app.h"
#include "celledit.h"
#include "errbox.h"
#include "frame.h"
#include "labels.h"
#include "wire.h"
#include "wndutil.h"

namespace {

int indexOf(const PxStatusPanes *p, int id) {
    for (int i = 0; i < p->count; ++i)
        if (p->ids[i] == id) return i;
    return -1;
}

// Panes in identifier order; negative ones go to the right-hand end.
int insertionPlace(const PxStatusPanes *p, int id) {
    int i = 0;
    if (id >= 0)
        while (i < p->count && p->ids[i] >= 0 && p->ids[i] < id) ++i;
    else {
        while (i < p->count && p->ids[i] >= 0) ++i;
        while (i < p->count && p->ids[i] < id) ++i;
    }
    return i;
}

int availableWidth(HWND bar, const PxStatusPanes *p) {
    RECT r;
    GetClientRect(bar, &r);
    int w = r.right;
    HWND parent = GetParent(bar);
    bool grip = p->frameBar ? !IsZoomed(parent) : p->sizeGrip;
    if (grip) w -= r.bottom;
    return w;
}

std::string shown(const char *oem) {
    std::string s = oem ? oem : "";
    std::vector<char> b(s.begin(), s.end());
    b.push_back(0);
    px_stripTilde(b.data());
    return px_oemToAnsi(b.data());
}

void setPartText(HWND bar, int part, const char *text, bool noBorders) {
    if (part < 0) return;
    SendMessageA(bar, SB_SETTEXTA, static_cast<WPARAM>(part) | (noBorders ? SBT_NOBORDERS : 0),
                 reinterpret_cast<LPARAM>(text));
}

// Frame bar: one part per pane; those before pane 1 from the left, those
// after it from the right, pane 1 takes the rest.
void layoutFrame(HWND bar, PxStatusPanes *p, std::vector<int> &edges) {
    int avail = availableWidth(bar, p);
    int one = indexOf(p, 1);
    edges.assign(static_cast<size_t>(p->count), 0);
    int x = 0;
    for (int i = 0; i < (one < 0 ? p->count : one); ++i) {
        x += p->widths[i] > 0 ? p->widths[i] + 6 : 0;
        edges[static_cast<size_t>(i)] = x;
    }
    if (one < 0) return;
    int right = avail;
    for (int i = p->count - 1; i > one; --i) {
        edges[static_cast<size_t>(i)] = right;
        right -= p->widths[i] > 0 ? p->widths[i] + 6 : 0;
    }
    edges[static_cast<size_t>(one)] = right;
    if (one == p->count - 1) edges[static_cast<size_t>(one)] = -1;
}

// Dialog bar: non-negative panes from the left, a filler, negative panes
// from the right.
void layoutDialog(HWND bar, PxStatusPanes *p, std::vector<int> &edges) {
    int avail = availableWidth(bar, p);
    edges.clear();
    if (p->count == 0) {
        edges.push_back(-1);
        return;
    }
    int x = 0, i = 0;
    for (; i < p->count && p->ids[i] >= 0; ++i) {
        x += p->widths[i] + 6;
        edges.push_back(x);
    }
    int negatives = p->count - i, right = avail;
    std::vector<int> tail;
    for (int j = p->count - 1; j >= i; --j) {
        tail.insert(tail.begin(), right);
        right -= p->widths[j] + 6;
    }
    edges.push_back(negatives ? right : -1);
    edges.insert(edges.end(), tail.begin(), tail.end());
}

}  // namespace

PxStatusPanes *px_statusPanesOf(HWND bar) {
    return bar ? reinterpret_cast<PxStatusPanes *>(GetWindowLongPtrA(bar, GWLP_USERDATA)) : nullptr;
}

HWND px_createStatusBar(HWND parent, bool tooltips, bool sizeGrip, const PxPaneSpec *panes, int count) {
    PxApp *app = px_app();
    PxStatusPanes *p = new (std::nothrow) PxStatusPanes;
    if (!p || !app) return delete p, nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | (tooltips ? SBARS_TOOLTIPS : 0) | (sizeGrip ? SBARS_SIZEGRIP : CCS_NOPARENTALIGN);
    HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPxStatusId)), app->instance, nullptr);
    if (!bar) {
        px_sysErrorBox(GetLastError(), "px_createStatusBar: CreateWindowEx() failed!");
        delete p;
        return nullptr;
    }
    if (!sizeGrip) SetWindowLongA(bar, GWL_STYLE, GetWindowLongA(bar, GWL_STYLE) & ~CCS_NOPARENTALIGN);
    p->sizeGrip = sizeGrip;
    p->tooltips = tooltips;
    p->frameBar = px_frameOf(parent) != nullptr;
    SetWindowLongPtrA(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
    for (int i = 0; panes && i < count && p->count < kPxPaneLimit; ++i) {
        int at = insertionPlace(p, panes[i].id);
        std::memmove(p->ids + at + 1, p->ids + at, sizeof(int16_t) * static_cast<size_t>(p->count - at));
        std::memmove(p->widths + at + 1, p->widths + at, sizeof(int16_t) * static_cast<size_t>(p->count - at));
        p->ids[at] = panes[i].id;
        p->widths[at] = static_cast<int16_t>(panes[i].widthChars * app->stepX);
        ++p->count;
    }
    px_layoutStatusBar(bar);
    return bar;
}

void px_destroyStatusBar(HWND bar) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (IsWindow(bar)) {
        SetWindowLongPtrA(bar, GWLP_USERDATA, 0);
        DestroyWindow(bar);
    }
    delete p;
}

void px_layoutStatusBar(HWND bar) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (!p) return;
    std::vector<int> edges;
    if (p->frameBar) layoutFrame(bar, p, edges);
    else layoutDialog(bar, p, edges);
    if (edges.empty()) edges.push_back(-1);
    SendMessageA(bar, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    if (!p->frameBar) {
        for (int i = 0; i < p->count; ++i) setPartText(bar, px_statusPartOf(bar, p->ids[i]), p->texts[i], p->ids[i] == 1);
        int filler = 0;
        while (filler < p->count && p->ids[filler] >= 0) ++filler;
        setPartText(bar, p->count ? filler : 0, "", true);
    }
}

int px_statusPartOf(HWND bar, int id) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (!p) return -1;
    int i = indexOf(p, id);
    if (i < 0 || p->frameBar || id >= 0) return i;
    return i + 1;  // after the dialog bar's filler
}

int px_addStatusPane(HWND bar, int id, int width, int before) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (!p) return -1;
    if (p->count >= kPxPaneLimit) return p->count + 1;
    if (indexOf(p, id) >= 0) return -1;
    int at = before >= 0 && indexOf(p, before) >= 0 ? indexOf(p, before) : insertionPlace(p, id);
    std::string keep[kPxMaxPanes];
    for (int i = 0; p->frameBar && i < p->count; ++i) keep[i] = px_statusPaneText(bar, p->ids[i]);
    std::memmove(p->ids + at + 1, p->ids + at, sizeof(int16_t) * static_cast<size_t>(p->count - at));
    std::memmove(p->widths + at + 1, p->widths + at, sizeof(int16_t) * static_cast<size_t>(p->count - at));
    std::memmove(p->texts + at + 1, p->texts + at, sizeof p->texts[0] * static_cast<size_t>(p->count - at));
    p->ids[at] = static_cast<int16_t>(id);
    p->widths[at] = static_cast<int16_t>(width < 0 && id != 1 ? 0 : width);
    p->texts[at][0] = 0;
    ++p->count;
    px_layoutStatusBar(bar);
    for (int i = 0; p->frameBar && i < p->count; ++i) {
        const std::string &t = i < at ? keep[i] : i > at ? keep[i - 1] : std::string();
        setPartText(bar, i, t.c_str(), p->ids[i] == 1);
    }
    return 0;
}

int px_removeStatusPane(HWND bar, int id) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    int at = p ? indexOf(p, id) : -1;
    if (at < 0) return -1;
    std::string keep[kPxMaxPanes];
    for (int i = 0; p->frameBar && i < p->count; ++i) keep[i] = px_statusPaneText(bar, p->ids[i]);
    std::memmove(p->ids + at, p->ids + at + 1, sizeof(int16_t) * static_cast<size_t>(p->count - at - 1));
    std::memmove(p->widths + at, p->widths + at + 1, sizeof(int16_t) * static_cast<size_t>(p->count - at - 1));
    std::memmove(p->texts + at, p->texts + at + 1, sizeof p->texts[0] * static_cast<size_t>(p->count - at - 1));
    --p->count;
    px_layoutStatusBar(bar);
    for (int i = 0; p->frameBar && i < p->count; ++i)
        setPartText(bar, i, keep[i < at ? i : i + 1].c_str(), p->ids[i] == 1);
    return 0;
}

int px_setStatusPaneWidth(HWND bar, int id, int width) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    int at = p ? indexOf(p, id) : -1;
    if (at < 0) return -1;
    p->widths[at] = static_cast<int16_t>(std::clamp(width, 0, 0x7fff));
    px_layoutStatusBar(bar);
    return 0;
}

int px_setStatusPane(HWND bar, int id, const char *textOem, const char *tipOem, int flags) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    int at = p ? indexOf(p, id) : -1;
    if (at < 0) return -1;
    std::string text = shown(textOem);
    if (flags & 1) {
        std::string t = text;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        HDC dc = GetDC(bar);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(bar, WM_GETFONT, 0, 0)));
        SIZE s = {};
        GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &s);
        SelectObject(dc, old);
        ReleaseDC(bar, dc);
        p->widths[at] = static_cast<int16_t>(s.cx > 0x7fff ? 0x7fff : s.cx);
        px_layoutStatusBar(bar);
    }
    if (flags & 2) {
        std::string tip = tipOem && *tipOem ? shown(tipOem) : std::string();
        // The bar shows a part's tip only when its text is cut: padding makes it so.
        if (!tip.empty() && text.size() < kPxTipPadding) text.resize(kPxTipPadding, ' ');
        px_setStatusPaneText(bar, id, text.c_str());
        if (!tip.empty())
            SendMessageA(bar, SB_SETTIPTEXTA, static_cast<WPARAM>(px_statusPartOf(bar, id)),
                         reinterpret_cast<LPARAM>(tip.c_str()));
    }
    return 0;
}

std::string px_statusPaneText(HWND bar, int id) {
    int part = px_statusPartOf(bar, id);
    if (part < 0) return {};
    LRESULT len = SendMessageA(bar, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
    std::string s(static_cast<size_t>(LOWORD(len)) + 1, '\0');
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(std::strlen(s.c_str()));
    return s;
}

void px_setStatusPaneText(HWND bar, int id, const char *textAnsi) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    int at = p ? indexOf(p, id) : -1;
    if (at < 0) return;
    lstrcpynA(p->texts[at], textAnsi ? textAnsi : "", kPxPaneTextSlot);
    setPartText(bar, px_statusPartOf(bar, id), textAnsi ? textAnsi : "", id == 1);
}

void px_setStatusText(const char *textOem) {
    HWND frame = px_curFrameWnd();
    PxFrame *f = px_frameOf(frame);
    if (f && f->status) px_setStatusPaneText(f->status, 1, shown(textOem).c_str());
}

void px_updateIndicators(HWND bar) {
    PxApp *app = px_app();
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (!p || !app) return;
    bool off = p->indicatorsOff;
    const struct {
        int id, vk;
        const char *text;
    } toggles[] = {{30, VK_NUMLOCK, "NUM"}, {31, VK_CAPITAL, "CAPS"}, {32, VK_SCROLL, "SCRL"}};
    auto put = [&](int id, const char *text) {
        if (px_statusPaneText(bar, id) != text) px_setStatusPaneText(bar, id, text);
    };
    // An editor with the focus shows its own overwrite state (request 50).
    bool overwrite = px_editorHasFocus() ? app->overwrite2 != 0 : app->overwrite != 0;
    if (px_statusPartOf(bar, 33) >= 0) put(33, off ? "" : overwrite ? "OVR" : "INS");
    for (const auto &t : toggles)
        if (px_statusPartOf(bar, t.id) >= 0) put(t.id, !off && (GetKeyState(t.vk) & 1) ? t.text : "");
}

void px_setIndicatorsOff(HWND bar, bool off) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (!p) return;
    p->indicatorsOff = off;
    px_updateIndicators(bar);
}

std::vector<unsigned char> px_getStatusLayout(HWND bar, int id) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    std::vector<unsigned char> out;
    if (!p) return out;
    int n = 0;
    for (int i = 0; i < p->count; ++i) n += (id == -1 || p->ids[i] == id) ? 1 : 0;
    if (n == 0) return out;
    out.resize(2 + 4 * static_cast<size_t>(n));
    WireWriter w(out.data(), out.size());
    w.i16(static_cast<int16_t>(out.size()));
    for (int i = 0; i < p->count; ++i) {
        if (id != -1 && p->ids[i] != id) continue;
        w.i16(p->ids[i]);
        w.i16(p->widths[i]);
    }
    return out;
}

bool px_setStatusLayout(HWND bar, int id, const unsigned char *record, size_t size) {
    PxStatusPanes *p = px_statusPanesOf(bar);
    if (!p || !record || size < 2) return false;
    WireReader r(record, size);
    int total = r.i16();
    if (total < 2 || static_cast<size_t>(total) != size || (total - 2) % 4) return false;
    int pairs = (total - 2) / 4;
    if (id == -1) {
        while (p->count > 0) px_removeStatusPane(bar, p->ids[p->count - 1]);
        for (int i = 0; i < pairs; ++i) {
            int16_t pid = r.i16(), width = r.i16();
            px_addStatusPane(bar, pid, width, -1);
        }
    } else {
        for (int i = 0; i < pairs; ++i) {
            int16_t pid = r.i16(), width = r.i16();
            int at = indexOf(p, pid);
            if (at >= 0) p->widths[at] = width;
        }
        px_layoutStatusBar(bar);
    }
    return true;
}
