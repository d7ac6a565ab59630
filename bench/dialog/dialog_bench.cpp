// A 255-field dialog in a frame, opened with request 23 and closed with
// request 29, against CreateDialogIndirectParam building the same controls
// (classes, styles, texts, places, check marks) from an in-memory template
// in the same frame, then DestroyWindow. Both sides paint the open dialog
// once (request 23 does; the peer calls UpdateWindow) and empty the message
// queue before the clock stops. The opener's steps are timed through its
// step watcher.
#include "wintimer.h"
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app.h"
#include "descbuilder.h"
#include "frame.h"
#include "host.h"
#include "openstep.h"
#include "panel.h"
#include "registry.h"
#include "short.h"
#include "zam_entry.h"

extern "C" {
int __stdcall ZamSetCallBacks(void *table);
TAppObj *__cdecl ZamExtSetupProc(TAppObj *object);
int __cdecl ZamExtMessageProc(unsigned code, const void *request, void *reply);
}

namespace {

const int kRounds = bench_count(8, 1), kPerRound = bench_count(2, 1), kWarmUp = bench_count(1, 0);
constexpr int32_t kHandle = 4242;

std::vector<unsigned char> g_reply(65536);
bool g_failed = false;

int message(int code, const std::vector<unsigned char> &request) {
    th::Host &h = th::Host::get();
    h.currentReply = g_reply.data();
    h.currentReplySize = g_reply.size();
    int n = ZamExtMessageProc(static_cast<unsigned>(code), request.data(), g_reply.data());
    h.currentReply = nullptr;
    h.currentReplySize = 0;
    return n;
}

int32_t replyInt() {
    int32_t v;
    std::memcpy(&v, g_reply.data(), sizeof v);
    return v;
}

void pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

std::string numbered(const char *prefix, int n) { return prefix + std::to_string(n); }

// Four group boxes of two columns each, 32 rows of fields: per 51 fields 14
// number fields with a format, 14 text fields, 4 read-only fields, 8 check
// boxes, 6 radio buttons and 5 push buttons; the last button is a list field.
Desc bigDialog() {
    Desc d;
    d.owner1 = kHandle;
    d.id = 0x0001;
    d.left = 0, d.top = 1, d.right = 121, d.bottom = 38;
    d.caption = "Bench";
    for (int b = 0; b < 4; ++b) {
        d.boxes.push_back({static_cast<int8_t>(1 + 30 * b), 2, 29, 35});
        d.texts.push_back({{static_cast<int8_t>(3 + 30 * b), 2}, numbered("Group ", b + 1)});
    }
    for (int s = 0; s < 255; ++s) {
        int row = 3 + s / 8, k = s % 8, base = 3 + 30 * (k / 2) + 13 * (k % 2), r = s % 51;
        auto at = [&](int column) { return std::make_pair(static_cast<int8_t>(column), static_cast<int8_t>(row)); };
        DescField f;
        f.number = static_cast<uint16_t>(s + 1);
        f.row = static_cast<int8_t>(row);
        f.column = static_cast<int8_t>(base + 5);
        f.width = 7;
        f.type = PXV_STRING;
        f.length = 20;
        if (s == 254) {
            f.kind = 2;
            f.value = textValue("first item");
            d.texts.push_back({at(base), "List"});
        } else if (r < 14) {
            f.type = PXV_DOUBLE;
            f.length = 10;
            f.format = "Type:C, Name:FMT_NUMBER[10.2], Align:r";
            f.value = binValue(1000.25 + s);
            d.texts.push_back({at(base), numbered("N", s)});
        } else if (r < 28) {
            f.value = textValue(numbered("text ", s));
            d.texts.push_back({at(base), numbered("T", s)});
        } else if (r < 32) {
            f.kind = 5;
            f.value = textValue(numbered("fixed ", s));
            d.texts.push_back({at(base), numbered("R", s)});
        } else if (r < 46) {
            f.kind = 2;
            f.column = static_cast<int8_t>(base);
            f.width = 1;
            f.length = 2;
            f.value = textValue(s % 2 ? "X" : " ");
            d.texts.push_back({at(base), (r < 40 ? "[ ] Opt" : "( ) Ch") + std::to_string(s)});
        } else {
            f.kind = 3;
            f.column = static_cast<int8_t>(base + 1);
            f.width = 8;
            f.value = textValue(numbered("~Go ", s));
        }
        d.fields.push_back(f);
    }
    return d;
}

std::vector<unsigned char> bytesOf(const Desc &d) { return d.encode().b; }

std::vector<unsigned char> handleRequest() {
    std::vector<unsigned char> b(4);
    std::memcpy(b.data(), &kHandle, 4);
    return b;
}

HWND findDialog(HWND client) { return FindWindowExA(client, nullptr, "pxDialogWnd", nullptr); }

// The steps the watcher reports, in the order they end.
const char *const kStepNames[] = {"panel build", "formatters", "layout", "window", "controls", "show"};
constexpr int kStepCount = 6;
double g_steps[kStepCount];
int g_reports[kStepCount];
double g_mark;

void onStep(PxOpenStep step) {
    double now = bench_now();
    g_steps[static_cast<int>(step)] += now - g_mark;
    ++g_reports[static_cast<int>(step)];
    g_mark = now;
}

// A dialog template built up in memory (DLGTEMPLATEEX and DLGITEMTEMPLATEEX).
struct Template {
    std::vector<unsigned char> b;
    void align(size_t n) {
        while (b.size() % n) b.push_back(0);
    }
    void u16(uint16_t v) {
        b.push_back(static_cast<unsigned char>(v & 0xFF));
        b.push_back(static_cast<unsigned char>(v >> 8));
    }
    void u32(uint32_t v) { u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16)); }
    void text(const std::string &ansi) {
        int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
        std::vector<wchar_t> w(static_cast<size_t>(n > 0 ? n : 1));
        MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, w.data(), n);
        for (wchar_t c : w) u16(static_cast<uint16_t>(c));
    }
};

struct Control {
    std::string cls, text;
    DWORD style, exStyle;
    RECT r;  // dialog client co-ordinates
    int id;
    bool checked;
};

std::string windowText(HWND w) {
    char buf[512] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

struct Peer {
    HWND client;
    std::vector<unsigned char> templ;
    std::vector<int> checked;

    // The same dialog as ours: its style with a dialog font, its place and
    // size, and every child control as it stands after opening.
    Peer(HWND clientWnd, HWND ours) : client(clientWnd) {
        const PxApp *a = px_app();
        const LOGFONTA &font = a->fonts[kPxTextFont];
        HDC screen = GetDC(nullptr);
        int points = font.lfHeight < 0 ? MulDiv(-font.lfHeight, 72, GetDeviceCaps(screen, LOGPIXELSY)) : 9;
        ReleaseDC(nullptr, screen);
        POINT base = baseUnits(font, points);
        auto dlu = [&](int px, bool vertical) {
            return static_cast<int16_t>(MulDiv(px, vertical ? 8 : 4, vertical ? base.y : base.x));
        };

        std::vector<Control> controls;
        for (HWND w = GetWindow(ours, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
            Control c;
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            c.cls = cls;
            c.text = windowText(w);
            c.style = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
            c.exStyle = static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE));
            GetWindowRect(w, &c.r);
            MapWindowPoints(nullptr, ours, reinterpret_cast<POINT *>(&c.r), 2);
            c.id = GetDlgCtrlID(w);
            c.checked = lstrcmpiA(cls, "Button") == 0 && SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
            if (c.checked) checked.push_back(c.id);
            controls.push_back(c);
        }
        std::sort(controls.begin(), controls.end(), [](const Control &x, const Control &y) { return x.id < y.id; });

        RECT wr, cr;
        GetWindowRect(ours, &wr);
        MapWindowPoints(nullptr, client, reinterpret_cast<POINT *>(&wr), 2);
        GetClientRect(ours, &cr);
        Template t;
        t.u16(1);
        t.u16(0xFFFF);
        t.u32(0);
        t.u32(static_cast<uint32_t>(GetWindowLongA(ours, GWL_EXSTYLE)));
        t.u32(static_cast<uint32_t>(GetWindowLongA(ours, GWL_STYLE)) | DS_SETFONT);
        t.u16(static_cast<uint16_t>(controls.size()));
        t.u16(static_cast<uint16_t>(dlu(wr.left, false)));
        t.u16(static_cast<uint16_t>(dlu(wr.top, true)));
        t.u16(static_cast<uint16_t>(dlu(cr.right, false)));
        t.u16(static_cast<uint16_t>(dlu(cr.bottom, true)));
        t.u16(0);
        t.u16(0);
        t.text(windowText(ours));
        t.u16(static_cast<uint16_t>(points));
        t.u16(static_cast<uint16_t>(font.lfWeight));
        t.b.push_back(font.lfItalic);
        t.b.push_back(font.lfCharSet);
        t.text(font.lfFaceName);
        for (const Control &c : controls) {
            t.align(4);
            t.u32(0);
            t.u32(c.exStyle);
            t.u32(c.style);
            t.u16(static_cast<uint16_t>(dlu(c.r.left, false)));
            t.u16(static_cast<uint16_t>(dlu(c.r.top, true)));
            t.u16(static_cast<uint16_t>(dlu(c.r.right - c.r.left, false)));
            t.u16(static_cast<uint16_t>(dlu(c.r.bottom - c.r.top, true)));
            t.u32(static_cast<uint32_t>(c.id));
            t.text(c.cls);
            t.text(c.text);
            t.u16(0);
        }
        templ = t.b;
        int marks = static_cast<int>(std::count_if(controls.begin(), controls.end(), [](const Control &c) {
            DWORD type = c.style & BS_TYPEMASK;
            return c.cls == "Button" && (type == BS_CHECKBOX || type == BS_RADIOBUTTON);
        }));
        std::printf("the same controls: %zu (%d check boxes and radio buttons), font %s %d pt\n", controls.size(),
                    marks, font.lfFaceName, points);
    }

    // Dialog units of the font, from a dialog made with it.
    static POINT baseUnits(const LOGFONTA &font, int points) {
        Template t;
        t.u16(1);
        t.u16(0xFFFF);
        t.u32(0);
        t.u32(0);
        t.u32(WS_POPUP | DS_SETFONT);
        t.u16(0);
        for (int i = 0; i < 4; ++i) t.u16(10);
        t.u16(0);
        t.u16(0);
        t.u16(0);
        t.u16(static_cast<uint16_t>(points));
        t.u16(static_cast<uint16_t>(font.lfWeight));
        t.b.push_back(font.lfItalic);
        t.b.push_back(font.lfCharSet);
        t.text(font.lfFaceName);
        HWND probe = CreateDialogIndirectParamA(nullptr, reinterpret_cast<const DLGTEMPLATE *>(t.b.data()), nullptr,
                                                probeProc, 0);
        RECT r = {0, 0, 4, 8};
        if (probe) {
            MapDialogRect(probe, &r);
            DestroyWindow(probe);
        }
        return POINT{r.right > 0 ? r.right : 8, r.bottom > 0 ? r.bottom : 16};
    }
    static INT_PTR CALLBACK probeProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

    static INT_PTR CALLBACK dialogProc(HWND wnd, UINT msg, WPARAM, LPARAM lParam) {
        if (msg != WM_INITDIALOG) return FALSE;
        for (int id : *reinterpret_cast<const std::vector<int> *>(lParam)) CheckDlgButton(wnd, id, BST_CHECKED);
        return TRUE;
    }

    double created = 0, shown = 0, closed = 0;

    HWND create() {
        return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                          reinterpret_cast<const DLGTEMPLATE *>(templ.data()), client, dialogProc,
                                          reinterpret_cast<LPARAM>(&checked));
    }
    double openClose() {
        double t0 = bench_now();
        HWND d = create();
        if (!d) {
            std::printf("dialog_bench: CreateDialogIndirectParam failed (%lu)\n", GetLastError());
            g_failed = true;
            return 0;
        }
        double t1 = bench_now();
        UpdateWindow(d);
        pump();
        double t2 = bench_now();
        DestroyWindow(d);
        pump();
        double t3 = bench_now();
        created += t1 - t0;
        shown += t2 - t1;
        closed += t3 - t2;
        return t3 - t0;
    }
};

// What the opener does to each field control beyond what the template does,
// each timed on the peer's controls: the cost the platform does not pay.
std::vector<std::pair<HWND, WNDPROC>> g_subclassed;

LRESULT CALLBACK passOn(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    for (const auto &s : g_subclassed)
        if (s.first == wnd) return CallWindowProcA(s.second, wnd, msg, wParam, lParam);
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// Messages that reach the field controls of our dialog, counted by a hook.
int g_fieldMessages = 0;
HHOOK g_counter = nullptr;

LRESULT CALLBACK countFieldMessages(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT *m = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code == HC_ACTION && m && GetDlgCtrlID(m->hwnd) >= 768 && GetPropA(m->hwnd, "pxField")) ++g_fieldMessages;
    return CallNextHookEx(g_counter, code, wParam, lParam);
}

void timeFieldExtras(Peer &peer) {
    const int kTimes = bench_count(3, 1);
    // On a hidden dialog, as the opener's controls are made before it shows.
    constexpr size_t kStyleAt = 12;
    uint32_t style;
    std::memcpy(&style, peer.templ.data() + kStyleAt, 4);
    uint32_t hidden = style & ~static_cast<uint32_t>(WS_VISIBLE);
    std::memcpy(peer.templ.data() + kStyleAt, &hidden, 4);
    double prop = 0, subclass = 0, text = 0, measure = 0, lookup = 0;
    int fields = 0;
    for (int round = 0; round < kTimes; ++round) {
        HWND d = peer.create();
        if (!d) return;
        std::vector<HWND> v;
        for (HWND w = GetWindow(d, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetDlgCtrlID(w) >= 768) v.push_back(w);
        fields = static_cast<int>(v.size());
        double t0 = bench_now();
        for (HWND w : v) SetPropA(w, "pxField", w);
        double t1 = bench_now();
        for (HWND w : v)
            g_subclassed.emplace_back(
                w, reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(passOn))));
        double t2 = bench_now();
        for (HWND w : v) SetWindowTextA(w, windowText(w).c_str());
        double t3 = bench_now();
        for (HWND w : v) {
            HDC dc = GetDC(w);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)));
            RECT r;
            GetClientRect(w, &r);
            SendMessageA(w, EM_GETMARGINS, 0, 0);
            SIZE size;
            GetTextExtentPoint32A(dc, "1001.25", 7, &size);
            SelectObject(dc, old);
            ReleaseDC(w, dc);
        }
        double t4 = bench_now();
        for (int i = 0; i < 4; ++i)
            for (HWND w : v) GetPropA(w, "pxField");
        double t5 = bench_now();
        prop += t1 - t0, subclass += t2 - t1, text += t3 - t2, measure += t4 - t3, lookup += (t5 - t4) / (4 * v.size());
        for (const auto &s : g_subclassed)
            SetWindowLongPtrA(s.first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s.second));
        g_subclassed.clear();
        for (HWND w : v) RemovePropA(w, "pxField");
        DestroyWindow(d);
        pump();
    }
    std::memcpy(peer.templ.data() + kStyleAt, &style, 4);
    auto ms = [kTimes](double seconds) { return 1000 * seconds / kTimes; };
    std::printf("what the opener adds per field, timed on the %d field controls of a hidden peer dialog: a window "
                "property %.1f ms, a subclass %.1f ms, the value set after creation %.1f ms, a device context to "
                "measure the text %.1f ms\n",
                fields, ms(prop), ms(subclass), ms(text), ms(measure));
    std::printf("the field procedure looks its field up (GetPropA) on each of the %d messages its controls get "
                "from request 23 to the end of request 29: %.1f us each, %.1f ms per dialog\n",
                g_fieldMessages, 1e6 * lookup / kTimes, 1000 * lookup / kTimes * g_fieldMessages);
}

struct Ours {
    std::vector<unsigned char> open = bytesOf(bigDialog()), close = handleRequest();
    double opened = 0, closed = 0;

    double openClose() {
        double t0 = bench_now();
        g_mark = t0;
        if (message(23, open) != 4 || replyInt() != 0) {
            std::printf("dialog_bench: request 23 failed\n");
            g_failed = true;
            return 0;
        }
        pump();
        double t1 = bench_now();
        message(29, close);
        pump();
        double t2 = bench_now();
        opened += t1 - t0;
        closed += t2 - t1;
        return t2 - t0;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string exeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

}  // namespace

int main() {
    // The format library stand-in, loaded by name as the module does.
    SetDllDirectoryA((exeDir() + "..\\tests\\qvformat\\full").c_str());
    th::Host &h = th::Host::get();
    h.reset();
    h.enableExt({18, 26});
    ZamSetCallBacks(h.ext());
    ZamExtSetupProc(h.app());
    std::vector<unsigned char> version(20, 0);
    version[18] = 114;
    message(kMsgHostVersion, version);
    message(kMsgLoad, {});
    message(1, Bytes().u16(0).u16(0).u32(313130).b);
    message(7, Bytes().u16(125).u16(40).text("Frame").b);
    pump();
    PxTopWnd *top = px_app() ? px_firstTopWnd() : nullptr;
    HWND client = top && top->frame ? top->frame->client : nullptr;
    if (!client) {
        std::printf("dialog_bench: the module opened no frame\n");
        return 1;
    }

    Ours ours;
    if (message(23, ours.open) != 4 || replyInt() != 0 || !findDialog(client)) {
        std::printf("dialog_bench: request 23 did not open the dialog\n");
        return 1;
    }
    pump();
    Peer peer(client, findDialog(client));
    message(29, ours.close);
    pump();

    for (int i = 0; i < kWarmUp; ++i) ours.openClose(), peer.openClose();
    std::fill(std::begin(g_steps), std::end(g_steps), 0.0);
    ours = Ours();
    peer.created = peer.shown = peer.closed = 0;
    px_openStepHook = onStep;
    // Rounds alternate which side goes first; the median of the rounds'
    // ratios is the figure, as the machine is shared.
    std::vector<double> ratios;
    double oursTotal = 0, peerTotal = 0;
    for (int round = 0; round < kRounds; ++round) {
        double x = 0, y = 0;
        for (int i = 0; i < kPerRound; ++i) {
            if ((round + i) % 2) {
                y += peer.openClose();
                x += ours.openClose();
            } else {
                x += ours.openClose();
                y += peer.openClose();
            }
        }
        oursTotal += x;
        peerTotal += y;
        ratios.push_back(y > 0 ? x / y : 0.0);
    }
    px_openStepHook = nullptr;
    int n = kRounds * kPerRound;
    std::printf("dialog open+close, 255 fields, %d times: %.1f ms each, CreateDialogIndirectParam %.1f ms, "
                "ratio %.2f (median of %d rounds; whole run %.2f)\n",
                n, 1000 * oursTotal / n, 1000 * peerTotal / n, median(ratios), kRounds,
                peerTotal > 0 ? oursTotal / peerTotal : 0.0);
    double made = 0;
    for (int i = 0; i <= static_cast<int>(PxOpenStep::Controls); ++i) made += g_steps[i];
    auto ms = [n](double seconds) { return 1000 * seconds / n; };
    std::printf("request 23 %.1f ms:", ms(ours.opened));
    for (int i = 0; i < kStepCount; ++i)
        std::printf(" %s %.1f ms (%.0f%%),", kStepNames[i], ms(g_steps[i]), 100 * g_steps[i] / ours.opened);
    std::printf(" the queue after it %.1f ms\n", ms(ours.opened - made - g_steps[kStepCount - 1]));
    for (int i = 0; i < kStepCount; ++i)
        if (g_reports[i] != n) {
            std::printf("dialog_bench: step \"%s\" reported %d times in %d openings\n", kStepNames[i], g_reports[i], n);
            g_failed = true;
        }
    std::printf("side by side: made %.1f ms against CreateDialogIndirectParam %.1f ms; shown and painted %.1f ms "
                "against UpdateWindow %.1f ms; closed (request 29) %.1f ms against DestroyWindow %.1f ms\n",
                ms(made), ms(peer.created), ms(ours.opened - made), ms(peer.shown), ms(ours.closed), ms(peer.closed));
    g_counter = SetWindowsHookExA(WH_CALLWNDPROC, countFieldMessages, nullptr, GetCurrentThreadId());
    ours.openClose();
    UnhookWindowsHookEx(g_counter);
    timeFieldExtras(peer);
    message(kMsgUnload, {});
    return g_failed ? 1 : 0;
}
