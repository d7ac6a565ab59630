// formkit's module sink with a stand-in host application and window
// manager: the registration sequence, balanced references, and terminal
// windows shown in the current frame only.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "descbuilder.h"
#include "hostwm.h"
#include "module.h"
#include "msgbox.h"

namespace {

th::Host &H() { return th::Host::get(); }

using Calls = std::vector<std::string>;

TEST(HostSinks, RegistrationFollowsTheHostAndGivesEveryReferenceBack) {
    struct Case {
        const char *what;
        LONG version;
        bool managerAnswers;
        Calls start, end;
    } cases[] = {
        {"with the manager", 5, true,
         {"app.version", "app.windowManager", "wm.query", "wm.registerModuleSink"},
         {"app.version", "wm.registerModuleSink(null)"}},
        {"manager without registration", 5, false,
         {"app.version", "app.windowManager", "wm.query", "app.registerModuleSink"},
         {"app.version", "app.registerModuleSink(null)"}},
        {"host too old", 4, true, {"app.version"}, {}},
    };
    for (const Case &c : cases) {
        H().reset();
        H().enableExt({18, 26});
        th::HostWmLog log;
        th::FakeWindowManager manager(log);
        manager.answersRegistration = c.managerAnswers;
        th::FakeHostApp app(log, &manager);
        app.version = c.version;
        H().hostApp = static_cast<IPxHostApp *>(&app);
        th::Module m("formkit.dll");
        m.start();
        ASSERT_EQ(14, m.message(1, th::Bytes().i16(0).i16(0).i32(313130)));
        EXPECT_EQ(c.start, log.calls) << c.what;
        log.calls.clear();
        IPxModuleSink *sink = manager.sink ? manager.sink : app.sink;
        EXPECT_EQ(c.version > 4, sink != nullptr) << c.what;
        if (sink) {
            th::FakeHostWindow win;
            sink->AttachHostWindow(&win);
            EXPECT_EQ(1, win.refs) << c.what << ": no frame yet";
            m.message(7, th::Bytes().i16(40).i16(12).text("Host"));
            HWND frame = FindWindowA("pxFrameWnd", nullptr);
            EXPECT_EQ(frame, app.mainWindow) << c.what;
            HWND client = FindWindowExA(frame, nullptr, "pxClientWnd", nullptr);
            sink->AttachHostWindow(&win);
            sink->AttachHostWindow(&win);
            EXPECT_EQ(2, win.refs) << c.what;
            HWND holder = FindWindowExA(client, nullptr, "#32770", nullptr);
            ASSERT_NE(nullptr, holder) << c.what;
            EXPECT_TRUE(GetWindowLongA(holder, GWL_STYLE) & WS_CHILD);
            sink->DetachHostWindow(&win);
            EXPECT_EQ(1, win.refs) << c.what;
            EXPECT_FALSE(IsWindow(holder));
            sink->AttachHostWindow(&win);
            m.message(8);
            EXPECT_EQ(reinterpret_cast<HWND>(0x1234), app.mainWindow) << c.what << ": given back by request 8";
            sink->AttachHostWindow(&win);
            log.calls.clear();
            EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
            EXPECT_EQ(1, win.refs) << c.what << ": given back at the end";
        } else {
            EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
        }
        EXPECT_EQ(c.end, log.calls) << c.what;
        EXPECT_EQ(nullptr, manager.sink);
        EXPECT_EQ(nullptr, app.sink);
        EXPECT_EQ(1, manager.refs) << c.what;
        m.message(kMsgUnload);
        H().hostApp = nullptr;
    }
}

// A fresh stand-in terminal whose host application keeps a window manager.
struct ManagedHost {
    th::HostWmLog log;
    th::FakeWindowManager manager{log};
    th::FakeHostApp app{log, &manager};
    ManagedHost() {
        H().reset();
        H().enableExt({18, 26});
        H().hostApp = static_cast<IPxHostApp *>(&app);
    }
    // The module started, with one client connection.
    bool open(th::Module &m) {
        m.start();
        return m.message(1, th::Bytes().i16(0).i16(0).i32(313130)) == 14;
    }
};

// The module's tear-down: the terminal stops calling in (message filter,
// idle function) before the blocking dialog goes, and the frames go while
// the host's window manager still holds the module's sink.
TEST(HostSinks, TearDownStopsTheTerminalFirstAndLeavesTheManagerLast) {
    ManagedHost host;
    th::Module m("formkit.dll");
    ASSERT_TRUE(host.open(m));
    m.message(7, th::Bytes().i16(40).i16(12).text("Ends"));
    m.message(67, th::Bytes().i32(5).i32(77));
    H().pump();
    static std::vector<std::string> s_seen;
    static th::FakeWindowManager *s_manager;
    s_seen.clear();
    s_manager = &host.manager;
    HHOOK hook = SetWindowsHookExA(WH_CBT, [](int code, WPARAM wParam, LPARAM lParam) CALLBACK -> LRESULT {
        HWND w = reinterpret_cast<HWND>(wParam);
        char cls[32] = {};
        if (code == HCBT_DESTROYWND && GetClassNameA(w, cls, sizeof cls) &&
            (!lstrcmpA(cls, "pxFrameWnd") || (!lstrcmpA(cls, "#32770") && !(GetWindowLongA(w, GWL_STYLE) & WS_CHILD))))
            s_seen.push_back(std::string(cls) + (H().filters.empty() && H().idles.empty() ? " terminal off" : " terminal on") +
                             (s_manager->sink ? ", manager on" : ", manager off"));
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }, nullptr, GetCurrentThreadId());
    EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
    UnhookWindowsHookEx(hook);
    EXPECT_EQ((std::vector<std::string>{"#32770 terminal off, manager on", "pxFrameWnd terminal off, manager on"}), s_seen);
    EXPECT_EQ(nullptr, host.manager.sink);
    m.message(kMsgUnload);
    H().hostApp = nullptr;
}

}  // namespace

namespace {

// The manager's calls; activations (the frame's own, as boxes come and
// go) only when asked.
std::vector<std::string> managerCalls(const th::HostWmLog &log, bool activations = true) {
    std::vector<std::string> v;
    for (const std::string &c : log.calls)
        if (c.compare(0, 3, "wm.") == 0 && (activations || c != "wm.activate")) v.push_back(c);
    return v;
}

// A formkit frame and a terminal window in it, with the manager kept: the
// frame's sink is registered while the frame lives and holds one reference
// of formkit's own; the placeholder passes its commands to the terminal's
// window; closing the frame asks the manager first.
TEST(HostSinks, FormkitWindowsRegisterTheirSinksAndCloseThroughTheManager) {
    ManagedHost host;
    th::HostWmLog &log = host.log;
    th::FakeWindowManager &manager = host.manager;
    th::Module m("formkit.dll");
    ASSERT_TRUE(host.open(m));
    log.calls.clear();
    m.message(7, th::Bytes().i16(40).i16(12).text("Sinks"));
    H().pump();
    HWND frame = FindWindowA("pxFrameWnd", nullptr);
    ASSERT_NE(nullptr, frame);
    Calls calls = managerCalls(log);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("wm.registerWindow", calls[0]);
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "wm.activate")) << "the frame's activation";
    ASSERT_EQ(1u, manager.windows.size());
    EXPECT_EQ(std::vector<ULONG>{2}, manager.refsSeen);

    // The manager brings the frame back to the front through its sink.
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    SetForegroundWindow(other);
    H().pump();
    ASSERT_EQ(S_OK, manager.windows[0]->Activate());
    EXPECT_EQ(frame, GetForegroundWindow());
    BOOL modal = TRUE, shown = FALSE;
    manager.windows[0]->IsModal(&modal);
    manager.windows[0]->IsShown(&shown);
    EXPECT_FALSE(modal);
    EXPECT_TRUE(shown);
    DestroyWindow(other);

    // A dialog in the frame has a sink of its own while it is open.
    Desc d;
    d.owner1 = 61;
    d.id = 0;
    ::Bytes desc = d.encode();
    log.calls.clear();
    EXPECT_EQ(4, m.message(23, th::Bytes().raw(desc.b.data(), desc.b.size())));
    EXPECT_EQ(Calls{"wm.registerWindow"}, managerCalls(log, false));
    EXPECT_EQ(2u, manager.windows.size());
    m.message(29, th::Bytes().i32(61));
    EXPECT_EQ((Calls{"wm.registerWindow", "wm.unregisterWindow"}), managerCalls(log, false));
    EXPECT_EQ(1u, manager.windows.size());

    // Two terminal windows: only the placeholder in front passes the close
    // on and may change the stacking order; control 1001 always reaches
    // its terminal window.
    th::FakeHostWindow win, second;
    HWND client = FindWindowExA(frame, nullptr, "pxClientWnd", nullptr);
    log.calls.clear();
    manager.sink->AttachHostWindow(&win);
    HWND holder = FindWindowExA(client, nullptr, "#32770", nullptr);
    manager.sink->AttachHostWindow(&second);
    EXPECT_EQ(Calls{}, managerCalls(log)) << "a terminal window has no sink of formkit's";
    HWND front = nullptr;
    for (HWND w = FindWindowExA(client, nullptr, "#32770", nullptr); w; w = FindWindowExA(client, w, "#32770", nullptr))
        if (w != holder) front = w;
    ASSERT_NE(nullptr, holder);
    ASSERT_NE(nullptr, front);
    struct Placeholder {
        HWND wnd;
        th::FakeHostWindow *host;
        bool inFront;
    } holders[] = {{holder, &win, false}, {front, &second, true}};
    for (const Placeholder &h : holders) {
        SendMessageA(h.wnd, WM_COMMAND, 1001, 0);
        SendMessageA(h.wnd, WM_COMMAND, 1002, 0);
        SendMessageA(h.wnd, WM_CLOSE, 0, 0);
        WINDOWPOS pos = {h.wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE};
        SendMessageA(h.wnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        EXPECT_EQ(1, h.host->activated) << h.inFront;
        EXPECT_EQ(h.inFront ? 1 : 0, h.host->closed) << h.inFront;
        EXPECT_EQ(h.inFront ? 0u : static_cast<UINT>(SWP_NOZORDER), pos.flags & SWP_NOZORDER) << h.inFront;
        EXPECT_TRUE(IsWindow(h.wnd));
    }
    EXPECT_FALSE(IsWindowVisible(holder));
    manager.sink->DetachHostWindow(&second);
    EXPECT_TRUE(IsWindowVisible(holder)) << "the terminal window behind comes back";
    manager.sink->DetachHostWindow(&win);

    struct Case {
        BOOL mayClose;
        Calls calls;
        std::vector<int> stops;
    } cases[] = {
        {FALSE, {"wm.mayClose"}, {}},
        {TRUE, {"wm.mayClose", "wm.close"}, {1}},
    };
    for (const Case &c : cases) {
        manager.mayClose = c.mayClose;
        log.calls.clear();
        H().stopSessions.clear();
        {
            th::MessageBoxCatcher boxes(IDYES);
            SendMessageA(frame, WM_CLOSE, 0, 0);
            EXPECT_EQ(1u, boxes.seen.size());
        }
        EXPECT_EQ(c.calls, managerCalls(log, false)) << c.mayClose;
        EXPECT_EQ(c.stops, H().stopSessions) << c.mayClose;
    }

    log.calls.clear();
    m.message(8);
    EXPECT_EQ(Calls{"wm.unregisterWindow"}, managerCalls(log));
    EXPECT_TRUE(manager.windows.empty());
    EXPECT_EQ((std::vector<ULONG>{2, 2, 1, 1}), manager.refsSeen) << "formkit's own reference outlives the registration";
    EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0)));
    EXPECT_EQ(1, manager.refs);
    EXPECT_EQ(1, win.refs);
    EXPECT_EQ(1, second.refs);
    m.message(kMsgUnload);
    H().hostApp = nullptr;
}

}  // namespace

namespace {

// A host application of version 3 (a main window, no manager): every frame
// is the host's main window from request 7 on and gives the one before it
// back before it goes, whichever way it goes.
TEST(HostSinks, EveryFrameGivesTheHostItsMainWindowBackBeforeItGoes) {
    const HWND hostMain = reinterpret_cast<HWND>(0x1234);
    enum End { Request8, Request9, LastClose, Unload };
    for (End end : {Request8, Request9, LastClose, Unload}) {
        SCOPED_TRACE(end);
        H().reset();
        H().enableExt({18, 26});
        th::HostWmLog log;
        th::FakeHostApp app(log, nullptr);
        app.version = 3;
        H().hostApp = static_cast<IPxHostApp *>(&app);
        th::Module m("formkit.dll");
        m.start();
        ASSERT_EQ(14, m.message(1, th::Bytes().i16(0).i16(0).i32(313130)));
        m.message(7, th::Bytes().i16(40).i16(12).text("First"));
        HWND first = FindWindowA("pxFrameWnd", "First");
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(first, app.mainWindow);
        m.message(7, th::Bytes().i16(40).i16(12).text("Second"));
        HWND second = FindWindowA("pxFrameWnd", "Second");
        ASSERT_NE(nullptr, second);
        EXPECT_EQ(second, app.mainWindow);
        switch (end) {
        case Request8:
        case Request9:
            m.message(end == Request8 ? 8 : 9);
            EXPECT_FALSE(IsWindow(second));
            EXPECT_EQ(first, app.mainWindow) << "the frame below is the main window again";
            m.message(8);
            EXPECT_FALSE(IsWindow(first));
            break;
        case LastClose: EXPECT_EQ(4, m.message(2, th::Bytes().i16(0).i32(0))); break;
        case Unload: m.message(kMsgUnload); break;
        }
        EXPECT_EQ(hostMain, app.mainWindow);
        EXPECT_EQ(nullptr, FindWindowA("pxFrameWnd", nullptr));
        m.message(kMsgUnload);
        EXPECT_EQ(hostMain, app.mainWindow) << "given back once";
        H().hostApp = nullptr;
    }
}

}  // namespace
