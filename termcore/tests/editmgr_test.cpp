// Request 201: the edit manager (the stand-in COM server registered in this
// process), its sink's events, the edit dialog and version control.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "dialogs.h"
#include "editmgr_server.h"
#include "requests.h"
#include "unique_handle.h"

namespace {

th::Host &H() { return th::Host::get(); }

enum : int { kEditMgr = 201 };

th::Bytes editMgrRequest(uint8_t op, int32_t flags, const std::string &text = "") {
    th::Bytes b;
    b.u8(op).i32(flags);
    if (op == 1) b.text(text);
    return b;
}

th::ByteVec ok() { return {0, 0, 0, 0}; }

struct EditMgr : TermcoreTest {
    void SetUp() override {
        TermcoreTest::SetUp();
        CoInitialize(nullptr);
        load();
        H().respond("EDITMGR_ASYNC_TABLE", 201, [](const th::Upcall &) { return ok(); });
    }
    void TearDown() override {
        TermcoreTest::TearDown();
        CoUninitialize();
    }
    int32_t request(uint8_t op, int32_t flags = 0, const std::string &text = "") {
        EXPECT_EQ(4, send(kEditMgr, editMgrRequest(op, flags, text)));
        return i32At(0);
    }
    std::vector<th::ByteVec> sent(const char *table) const {
        std::vector<th::ByteVec> out;
        for (const th::Upcall &u : H().upcalls)
            if (u.table == table) out.push_back(u.payload);
        return out;
    }
    void idle() {
        for (PxIdleProc p : std::vector<PxIdleProc>(H().idles)) p();
    }
};

TEST_F(EditMgr, RegistersThroughTheNewerInterfaceElseTheOlder) {
    // "Редактор" in code page 866.
    const std::string oemName = "\x90\xA5\xA4\xA0\xAA\xE2\xAE\xE0";
    for (bool newer : {true, false}) {
        SCOPED_TRACE(newer);
        th::EditMgrServer server(newer);
        EXPECT_EQ(0, request(1, 0, oemName));
        EXPECT_EQ(0, request(1, 0, oemName));  // counted, not registered again
        ASSERT_EQ(1u, server.registrations.size());
        EXPECT_EQ(L"\x0420\x0435\x0434\x0430\x043A\x0442\x043E\x0440", server.registrations[0].name);
        EXPECT_EQ(newer ? static_cast<long>(GetCurrentProcessId()) : -1, server.registrations[0].process);
        EXPECT_EQ(42, request(3));
        EXPECT_EQ(2u, H().idles.size());
        EXPECT_EQ(0, request(2));
        EXPECT_TRUE(server.unregistrations.empty());
        EXPECT_EQ(0, request(2));
        EXPECT_EQ(std::vector<long>{42}, server.unregistrations);
        EXPECT_TRUE(H().idles.empty());
        EXPECT_EQ(nullptr, server.sink);
    }
}

TEST_F(EditMgr, ConnectFailsWithoutAServerOrARegistration) {
    EXPECT_EQ(-1, request(1, 0, "x"));
    {
        th::EditMgrServer refusing(true, 42, E_FAIL);
        EXPECT_EQ(-1, request(1, 0, "x"));
        EXPECT_EQ(1u, refusing.registrations.size());
    }
    EXPECT_TRUE(H().idles.empty());
    // The next connection starts afresh.
    th::EditMgrServer server(false);
    EXPECT_EQ(0, request(1, 0, "x"));
    EXPECT_EQ(1u, server.registrations.size());
    // The end of the session drops the connection.
    lifeCycle(kMsgUnload, true);
    EXPECT_EQ(std::vector<long>{42}, server.unregistrations);
}

TEST_F(EditMgr, SinkEventsReachTheServer) {
    th::EditMgrServer server(true);
    H().respond("VCS_ASYNC_TABLE", 203, [&](const th::Upcall &u) -> std::optional<th::ByteVec> {
        if (u.payload[0] != 0) return std::nullopt;
        return th::Bytes().i32(0).text(tmp.file("t.mac")).text("srv/t.mac").vec();
    });
    ASSERT_EQ(0, request(1, 0, "x"));
    IQvEditSink *sink = server.primary();
    IQvEditSink2 *second = server.second();
    ASSERT_TRUE(sink && second);
    EXPECT_EQ(S_OK, sink->SaveAll());
    EXPECT_EQ(S_OK, sink->ReloadAll());
    long done = -1;
    BSTR name = SysAllocString(L"t.mac");
    EXPECT_EQ(S_OK, second->SendToServer(3, name, &done));
    EXPECT_EQ(1, done);
    EXPECT_EQ((std::vector<th::ByteVec>{th::Bytes().u8(100).i32(2).text("").vec(),
                                        th::Bytes().u8(100).i32(3).text("").vec(),
                                        th::Bytes().u8(100).i32(0x30007).text("t.mac").vec()}),
              sent("EDITMGR_ASYNC_TABLE"));
    EXPECT_EQ(S_OK, sink->TakeFile(name, &done));
    EXPECT_EQ(1, done);
    EXPECT_EQ(S_OK, sink->TakeFile(name, &done));  // taken already
    EXPECT_EQ(0, done);
    EXPECT_EQ(1u, sent("VCS_ASYNC_TABLE").size());

    // Invoke: only its six ids, with a string first argument where one is due.
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = name;
    DISPPARAMS none = {nullptr, nullptr, 0, 0}, one = {&arg, nullptr, 1, 0};
    struct Case {
        DISPID id;
        DISPPARAMS *params;
        HRESULT result;
    } cases[] = {
        {kSinkOpen, &none, DISP_E_BADPARAMCOUNT},
        {kSinkOpen, nullptr, DISP_E_BADPARAMCOUNT},
        {9, &one, DISP_E_MEMBERNOTFOUND},
        {kSinkOpen, &one, S_OK},
        {kSinkOpen, &one, DISP_E_MEMBERNOTFOUND},  // one open is queued already
        {kSinkSaveAll, &none, S_OK},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.result, sink->Invoke(c.id, IID_NULL, 0, DISPATCH_METHOD, c.params, nullptr, nullptr, nullptr))
            << c.id;
    EXPECT_EQ(S_OK, sink->OpenFile(name, 0, &done));
    EXPECT_EQ(0, done);
    SysFreeString(name);
    request(2);
}

// A taken file that comes back unchanged is released instead of returned;
// a changed one is returned; either way it is no longer taken. The edit
// manager's names reach version control as the server spells them, so a
// Cyrillic name finds its taken file and its time.
TEST_F(EditMgr, ReturnReleasesAnUnchangedFileAndReturnsAChangedOne) {
    th::EditMgrServer server(true);
    ASSERT_EQ(0, request(1, 0, "x"));
    IQvEditSink *sink = server.primary();
    for (const std::wstring name : {L"t.mac", L"\u041e\u0442\u0447\u0451\u0442.mac"}) {
        const std::wstring file = wide(tmp.path()) + L"\\" + name;
        const std::string local = tmp.path() + "\\" + oem(name), remote = "srv/" + oem(name);
        auto stamp = [&](DWORD high) {
            winutil::unique_handle f(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
            FILETIME t{0, high};
            ASSERT_TRUE(f && SetFileTime(f.get(), nullptr, nullptr, &t));
        };
        stamp(0x01D00000);
        const th::ByteVec taken = th::Bytes().i32(0).text(local).text(remote).vec();
        H().respond("VCS_ASYNC_TABLE", 203, [&](const th::Upcall &) { return taken; });
        BSTR bname = SysAllocString(file.c_str());
        auto take = [&] {
            long done = 0;
            H().upcalls.clear();
            EXPECT_EQ(S_OK, sink->TakeFile(bname, &done));
            EXPECT_EQ(1, done);
            EXPECT_EQ((std::vector<th::ByteVec>{th::Bytes().u8(0).i32(0).text(local).text(oem(name)).vec()}),
                      sent("VCS_ASYNC_TABLE"));
            H().upcalls.clear();
        };
        struct Case {
            bool changed;
            uint8_t op;
        } cases[] = {{false, 2}, {true, 1}};
        for (const Case &c : cases) {
            take();
            if (c.changed) stamp(0x01E00000);
            long done = 0;
            EXPECT_EQ(S_OK, sink->ReturnFile(bname, &done));
            EXPECT_EQ(1, done);
            EXPECT_EQ((std::vector<th::ByteVec>{th::Bytes().u8(c.op).i32(0).text(local).text(remote).vec()}),
                      sent("VCS_ASYNC_TABLE"));
            H().upcalls.clear();
            EXPECT_EQ(S_OK, sink->ReleaseFile(bname));
            EXPECT_TRUE(sent("VCS_ASYNC_TABLE").empty());
        }
        take();
        EXPECT_EQ(S_OK, sink->ReleaseFile(bname));
        EXPECT_EQ((std::vector<th::ByteVec>{th::Bytes().u8(2).i32(0).text(local).text(remote).vec()}),
                  sent("VCS_ASYNC_TABLE"));
        SysFreeString(bname);
    }
    request(2);
}

TEST_F(EditMgr, WithVersionControlOffAnOpenGoesToTheConsoleEditor) {
    th::EditMgrServer server(true);
    ASSERT_EQ(0, request(1, 0x1000, "x"));
    long done = 0;
    const std::wstring cyrillic = L"\u041e\u0442\u0447\u0451\u0442.mac";
    BSTR name = SysAllocString(cyrillic.c_str());
    // Takes and returns succeed without the server.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(S_OK, server.primary()->TakeFile(name, &done));
        EXPECT_EQ(1, done);
    }
    EXPECT_EQ(S_OK, server.primary()->ReturnFile(name, &done));
    EXPECT_EQ(1, done);
    server.primary()->OpenFile(name, 0, &done);
    SysFreeString(name);
    EXPECT_EQ(1, done);
    EXPECT_TRUE(sent("EDITMGR_ASYNC_TABLE").empty());  // not inside the COM call
    idle();
    // The server gets the name in its own code page.
    EXPECT_EQ(std::vector<th::ByteVec>{th::Bytes().u8(100).i32(0x10001).text(oem(cyrillic)).vec()},
              sent("EDITMGR_ASYNC_TABLE"));
    EXPECT_TRUE(sent("VCS_ASYNC_TABLE").empty());
    request(2);
}

// The dialog asks how to edit a file the server does not know: left as it
// opens, the server side is missing and a warning says so; with "create or
// update" checked the file is put to the server and opened in the console.
TEST_F(EditMgr, EditDialogPutsANewFileOrWarns) {
    th::EditMgrServer server(true);
    std::string local = tmp.file("new.mac");
    spit(local, "text");
    const th::ByteVec putReply = th::Bytes().i32(0).text("srv/new.mac").vec();
    H().respond("VCS_ASYNC_TABLE", 203, [&](const th::Upcall &u) -> std::optional<th::ByteVec> {
        if (u.payload.empty() || u.payload[0] != 100) return std::nullopt;  // no lookup answers
        return putReply;
    });
    ASSERT_EQ(0, request(1, 0, "x"));
    struct Case {
        bool put;
        std::wstring warning;  // empty: none expected
        th::ByteVec console;   // the EDITMGR request, empty: none
    } cases[] = {
        {false, L"server://new.mac\n\x0424\x0430\x0439\x043B \x043D\x0435 \x0441\x0443\x0449\x0435\x0441\x0442\x0432\x0443\x0435\x0442.",
         {}},
        {true, L"", th::Bytes().u8(100).i32(0x10001).text("srv/new.mac").vec()},
    };
    for (const Case &c : cases) {
        H().upcalls.clear();
        BSTR name = SysAllocString(wide(local).c_str());
        long done = 0;
        server.primary()->OpenFile(name, 0, &done);
        SysFreeString(name);
        std::wstring field, warning;
        std::atomic<bool> consoleEnabled{false}, graphicalEnabled{true};
        std::thread driver([&] {
            HWND dlg = th::findDialog(L"\x0420\x0435\x0434\x0430\x043A\x0442\x0438\x0440\x043E\x0432\x0430\x043D\x0438\x0435 - new.mac");
            if (!dlg) return;
            field = th::windowText(GetDlgItem(dlg, 1001));
            consoleEnabled = IsWindowEnabled(GetDlgItem(dlg, 1006)) != 0;
            graphicalEnabled = IsWindowEnabled(GetDlgItem(dlg, 1007)) != 0;
            if (c.put) SendMessageW(GetDlgItem(dlg, 1002), BM_CLICK, 0, 0);
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            if (c.warning.empty()) return;
            if (HWND box = th::findDialog(L"TermCore.d32")) {
                warning = th::windowText(GetDlgItem(box, 65535));
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        });
        idle();
        driver.join();
        EXPECT_EQ(L"new.mac", field);
        // Without an editor only the console editor can be chosen.
        EXPECT_TRUE(consoleEnabled);
        EXPECT_FALSE(graphicalEnabled);
        EXPECT_EQ(c.warning, warning.substr(0, c.warning.size()));
        std::vector<th::ByteVec> console = sent("EDITMGR_ASYNC_TABLE");
        EXPECT_EQ(c.console.empty() ? 0u : 1u, console.size());
        if (!c.console.empty() && !console.empty()) {
            EXPECT_EQ(c.console, console[0]);
        }
    }
    request(2);
}

}  // namespace
