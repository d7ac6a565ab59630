// formkit's module sink with a stand-in host application and window
// manager: the registration sequence, balanced references, and terminal
// windows shown in the current frame only.
#include <gtest/gtest.h>

#include <windows.h>

#include "hostwm.h"
#include "module.h"

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

}  // namespace
