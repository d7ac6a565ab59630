// Request 202: source editors of the stand-in Quillpad.dll, their run menu,
// the run commands sent back to the server and the designer program.
#include <windows.h>

#include <thread>

#include "dialogs.h"
#include "editmgr_server.h"
#include "requests.h"
#include "unique_handle.h"

namespace {

th::Host &H() { return th::Host::get(); }

enum : int { kEditor = 202 };
enum : uint8_t { kOpen = 0, kClose = 1, kLoad = 4, kCurrent = 7, kClearErrors = 8, kAddError = 9 };

// The stand-in editor library, loaded by its path so that termcore's load by
// name finds this copy.
class Quillpad {
public:
    Quillpad() {
        std::string path = th::distDir() + "..\\tests\\quillpad\\Quillpad.dll";
        h_ = LoadLibraryA(path.c_str());
        if (!h_) ADD_FAILURE() << "Quillpad.dll not loaded from " << path;
        call<void (*)()>("QpTestReset")();
    }
    ~Quillpad() {
        if (h_) FreeLibrary(h_);
    }
    template <typename Fn>
    Fn call(const char *name) const {
        return reinterpret_cast<Fn>(GetProcAddress(h_, name));
    }
    std::string journal() const {
        auto f = call<int (*)(char *, int)>("QpTestJournal");
        std::string s(static_cast<size_t>(f(nullptr, 0)) + 1, '\0');
        f(&s[0], static_cast<int>(s.size()));
        s.resize(s.size() - 1);
        return s;
    }
    int editors() const { return call<int (*)()>("QpTestEditors")(); }
    int item(int index, int command) const { return call<int (*)(int, int)>("QpTestItemEnabled")(index, command); }
    int command(int index, int command, int otherMenu = 0) const {
        return call<int (*)(int, int, int)>("QpTestCommand")(index, command, otherMenu);
    }
    int update(int index, int command) const { return call<int (*)(int, int)>("QpTestUpdateState")(index, command); }
    int notify(int index, int code, const char *text) const {
        return call<int (*)(int, int, const char *)>("QpTestNotify")(index, code, text);
    }
    void frames(int index, int count) const { call<void (*)(int, int)>("QpTestFrames")(index, count); }
    void current(int index, const char *name) const { call<void (*)(int, const char *)>("QpTestSetCurrent")(index, name); }
    void fail(const char *entry) const { call<void (*)(const char *)>("QpTestFail")(entry); }

private:
    HMODULE h_ = nullptr;
};

th::Bytes editorRequest(uint8_t op, int32_t value, int32_t handle, std::initializer_list<const char *> texts = {}) {
    th::Bytes b;
    b.u8(op).i32(value).i32(handle);
    for (const char *t : texts) b.text(t);
    return b;
}

struct Editor : TermcoreTest {
    std::unique_ptr<Quillpad> qp = std::make_unique<Quillpad>();

    void SetUp() override {
        TermcoreTest::SetUp();
        load();
    }
    void TearDown() override {
        TermcoreTest::TearDown();
        EXPECT_EQ(0, qp->editors());
        qp.reset();
    }
    // A new editor's handle; 0 when it did not open.
    int32_t open(int32_t flags = 0) {
        int n = send(kEditor, editorRequest(kOpen, flags, 0));
        return n == 8 && i32At(0) == 0 ? i32At(4) : 0;
    }
    int32_t op(uint8_t code, int32_t handle, int32_t value = 0, std::initializer_list<const char *> texts = {}) {
        EXPECT_LE(4, send(kEditor, editorRequest(code, value, handle, texts)));
        return i32At(0);
    }
    std::vector<th::Upcall> extedits() const {
        std::vector<th::Upcall> out;
        for (const th::Upcall &u : H().upcalls)
            if (u.table == "EXTEDIT_ASYNC_TABLE") out.push_back(u);
        return out;
    }
};

TEST_F(Editor, HooksAreRegisteredWhileAnyEditorIsOpen) {
    int32_t first = open();
    ASSERT_NE(0, first);
    EXPECT_EQ(1u, H().filters.size());
    int32_t second = open();
    EXPECT_NE(first, second);
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_EQ(1u, H().idles.size());
    EXPECT_EQ(0, op(kClose, first));
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_EQ(0, op(kClose, second));
    EXPECT_TRUE(H().filters.empty());
    EXPECT_TRUE(H().idles.empty());
    // A closed editor's handle names nothing any more.
    EXPECT_EQ(-1, op(kClose, first));
    ASSERT_NE(0, open());
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_TRUE(H().listErrors.empty());
    // The newest editor sees window messages first; the filter and the idle
    // procedure reach the editors.
    MSG msg = {};
    msg.message = WM_USER + 7;
    EXPECT_EQ(0, H().filters[0](&msg));
    H().idles[0]();
    EXPECT_NE(std::string::npos, qp->journal().find("idle\n"));
}

TEST_F(Editor, AnEditorThatCannotStartLeavesNothingLoaded) {
    for (const char *entry : {"InitInstance", "LoadEditor"}) {
        qp->fail(entry);
        EXPECT_EQ(4, send(kEditor, editorRequest(kOpen, 0, 0))) << entry;
        EXPECT_EQ(-1, i32At(0));
        EXPECT_EQ(0, qp->editors());
        EXPECT_TRUE(H().filters.empty());
    }
}

TEST_F(Editor, RunMenuComesFromTheLibraryFileOrTheModule) {
    struct Case {
        bool lbr;
        int32_t flags;
        const char *from;
        int compile;  // item 103: disabled for an editor opened with the open flag
    } cases[] = {
        {false, 0, "menu <runzam> from module 102\n", 1},
        {false, 1, "menu <runzam> from module 102\n", 0},
        {true, 0, "menu <runzam> from termcore.lbr\n", 1},
    };
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    SetCurrentDirectoryA(tmp.path().c_str());
    for (const Case &c : cases) {
        if (c.lbr) tmp.write("termcore.lbr", "[OTHER]\r\n1 x\r\n[RUNZAM]\r\n101 Run\r\n103 Compile\r\n201 Next\r\n202 Prev\r\n");
        qp->call<void (*)()>("QpTestReset")();
        int32_t h = open(c.flags);
        ASSERT_NE(0, h);
        EXPECT_NE(std::string::npos, qp->journal().find(c.from)) << qp->journal();
        EXPECT_EQ(c.compile, qp->item(0, 103));
        EXPECT_EQ(1, qp->item(0, 101));
        for (int item : {201, 202}) EXPECT_EQ(0, qp->item(0, item));
        // Errors enable the navigation items; clearing them disables them.
        EXPECT_EQ(0, op(kAddError, h, (5 << 16) | 10, {"f.mac", "bad"}));
        for (int item : {201, 202}) EXPECT_EQ(1, qp->item(0, item));
        EXPECT_EQ(0, op(kClearErrors, h));
        for (int item : {201, 202}) EXPECT_EQ(0, qp->item(0, item));
        // Run commands and error navigation are enabled, the rest not.
        for (int item : {101, 104, 201, 202}) EXPECT_EQ(1, qp->update(0, item));
        for (int item : {100, 105, 301}) EXPECT_EQ(0, qp->update(0, item));
        op(kClose, h);
    }
    SetCurrentDirectoryA(cwd);
}

TEST_F(Editor, ErrorsCarryLineAndSignedColumn) {
    int32_t h = open();
    struct Case {
        int32_t value;
        const char *line;
    } cases[] = {
        {(5 << 16) | 10, "error f.mac 5 10 message\n"},
        {(7 << 16) | 0xFFFF, "error f.mac 7 -1 message\n"},
        {static_cast<int32_t>(0xFFFF0001u), "error f.mac 65535 1 message\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(0, op(kAddError, h, c.value, {"f.mac", "message"}));
        EXPECT_NE(std::string::npos, qp->journal().find(c.line)) << c.line << qp->journal();
    }
}

TEST_F(Editor, RunCommandsAndClosedFramesReachTheServer) {
    H().respond("EXTEDIT_ASYNC_TABLE", 202, [](const th::Upcall &) { return th::ByteVec{0, 0, 0, 0}; });
    int32_t h = open();
    qp->current(0, "cur.mac");
    EXPECT_EQ(0, op(kCurrent, h));
    EXPECT_EQ("cur.mac", std::string(reinterpret_cast<const char *>(m->reply()) + 4));
    EXPECT_EQ(1, qp->command(0, 102));
    EXPECT_EQ(0, qp->command(0, 102, 1));  // another menu's command
    EXPECT_EQ(0, qp->command(0, 150));
    EXPECT_EQ(-1, qp->notify(0, 202, ""));  // a frame is still open
    qp->frames(0, 0);
    EXPECT_EQ(-1, qp->notify(0, 202, ""));
    auto sent = extedits();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(th::Bytes().u8(100).i32(2).i32(h).text("cur.mac").vec(), sent[0].payload);
    EXPECT_EQ(th::Bytes().u8(100).i32(9999).i32(h).text("").vec(), sent[1].payload);
    std::string j = qp->journal();
    EXPECT_NE(std::string::npos, j.find("save all\nremove errors\ndisable frames\nenable frames\n")) << j;
    // A run whose files cannot be saved sends nothing.
    qp->fail("SaveAllFiles");
    EXPECT_EQ(1, qp->command(0, 101));
    EXPECT_EQ(2u, extedits().size());
}

// Runs the thread's message loop until the closed editors are gone.
void pumpUntilNoEditors(const Quillpad &qp) {
    for (int i = 0; i < 200 && qp.editors() != 0; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(5);
    }
}

// The server answers a closed frame or a run command by closing the editor
// while the editor's own code is still on the stack: the editor and its
// library go only once that code has returned to the message loop.
TEST_F(Editor, AnEditorClosedFromItsOwnCallbackGoesAfterTheCallback) {
    int32_t closing = 0;
    H().respond("EXTEDIT_ASYNC_TABLE", 202, [&](const th::Upcall &) {
        EXPECT_EQ(0, op(kClose, closing));
        return th::ByteVec{0, 0, 0, 0};
    });
    // A frame-closed notify.
    closing = open();
    qp->frames(0, 0);
    EXPECT_EQ(-1, qp->notify(0, 202, ""));
    EXPECT_TRUE(H().filters.empty());
    pumpUntilNoEditors(*qp);
    std::string j = qp->journal();
    EXPECT_EQ(std::string::npos, j.find("unloaded inside")) << j;
    size_t returned = j.find("notify 202 returned\n");
    EXPECT_NE(std::string::npos, returned) << j;
    EXPECT_LT(j.find("exit\n"), returned) << j;
    EXPECT_NE(std::string::npos, j.find("unload editor\n", returned)) << j;
    EXPECT_EQ(0, qp->editors());

    // A run command given through the editor's accelerator, inside the
    // message filter: nothing is asked of the closed editor afterwards.
    qp->call<void (*)()>("QpTestReset")();
    closing = open();
    MSG msg = {};
    msg.message = WM_USER + 8;
    msg.wParam = reinterpret_cast<WPARAM>(qp->call<void *(*)(int)>("QpTestEditor")(0));
    msg.lParam = 101;
    ASSERT_EQ(1u, H().filters.size());
    EXPECT_EQ(1, H().filters[0](&msg));
    pumpUntilNoEditors(*qp);
    j = qp->journal();
    EXPECT_EQ(std::string::npos, j.find("unloaded inside")) << j;
    EXPECT_NE(std::string::npos, j.find("disable frames\nexit\nunload editor\n")) << j;
    EXPECT_EQ(std::string::npos, j.find("enable frames")) << j;
    EXPECT_EQ(0, qp->editors());
    EXPECT_EQ(2u, extedits().size());
    // The handle names nothing any more.
    EXPECT_EQ(-1, op(kClose, closing));
}

// Disabling and enabling the frames answer success whatever the editor says.
TEST_F(Editor, FrameSwitchesAnswerSuccess) {
    int32_t h = open();
    qp->fail("DisableAllFrames");
    qp->fail("EnableAllFrames");
    EXPECT_EQ(0, op(2, h));
    EXPECT_EQ(0, op(3, h));
    std::string j = qp->journal();
    EXPECT_NE(std::string::npos, j.find("disable frames\nenable frames\n")) << j;
    op(kClose, h);
}

TEST_F(Editor, DesignerIsStartedWithTheEditManagerId) {
    std::string log = tmp.file("designer.log");
    HANDLE ran = CreateEventA(nullptr, TRUE, FALSE, "QvDesignerTestRan");
    SetEnvironmentVariableA("QVDESIGNER_LOG", log.c_str());
    SetEnvironmentVariableA("QVDESIGNER_EVENT", "QvDesignerTestRan");
    open();
    EXPECT_EQ(1, qp->command(0, 301));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ran, 30000));
    CloseHandle(ran);
    SetEnvironmentVariableA("QVDESIGNER_LOG", nullptr);
    SetEnvironmentVariableA("QVDESIGNER_EVENT", nullptr);
    EXPECT_NE(std::string::npos, slurp(log).find("QVDesigner.exe /ed:0")) << slurp(log);
}

TEST_F(Editor, LoadingTakesTheServerFileAndReleasesItWhenTheLoadFails) {
    std::string local = tmp.file("rep.mac");
    spit(local, "text");
    H().respond("VCS_ASYNC_TABLE", 203, [&](const th::Upcall &) {
        return th::Bytes().i32(0).text(local).text("srv/rep.mac").vec();
    });
    int32_t h = open();
    EXPECT_EQ(0, op(kLoad, h, 1, {"rep.mac"}));
    EXPECT_NE(std::string::npos, qp->journal().find("load file " + local + " 1\n")) << qp->journal();
    EXPECT_EQ(th::Bytes().u8(0).i32(0).text("").text("rep.mac").vec(), H().upcalls.back().payload);
    // Saved unchanged with 0x100: nothing to send. Closed: released.
    size_t before = H().upcalls.size();
    qp->notify(0, 101, local.c_str());
    EXPECT_EQ(before, H().upcalls.size());
    qp->notify(0, 102, local.c_str());
    ASSERT_EQ(before + 1, H().upcalls.size());
    EXPECT_EQ(th::Bytes().u8(2).i32(0x10000).text(local).text("srv/rep.mac").vec(), H().upcalls.back().payload);

    qp->fail("LoadFile");
    EXPECT_EQ(-1, op(kLoad, h, 0, {"rep.mac"}));
    EXPECT_EQ(2, H().upcalls.back().payload[0]);  // the take was given back

    // An editor opened with bit 12 switches version control off: the server's
    // name is loaded as it is.
    qp->call<void (*)()>("QpTestReset")();
    size_t upcalls = H().upcalls.size();
    int32_t direct = open(0x1000);
    EXPECT_EQ(0, op(kLoad, direct, 0, {"direct.mac"}));
    EXPECT_NE(std::string::npos, qp->journal().find("load file direct.mac 0\n")) << qp->journal();
    EXPECT_EQ(upcalls, H().upcalls.size());
}

// Version control with a name the server spells in its own code page: the
// local file's time is read, so an unchanged file is only reported, a
// changed one returned, and the name is found in any letter case.
TEST_F(Editor, VersionControlReadsCyrillicNamesAsTheServerSpellsThem) {
    const std::wstring folder = wide(tmp.path()) + L"\\", name = L"\u041e\u0442\u0447\u0451\u0442.mac";
    const std::string local = tmp.path() + "\\" + oem(name), server = "srv/" + oem(name);
    {
        winutil::unique_handle f(CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(f);
        DWORD n = 0;
        WriteFile(f.get(), "text", 4, &n, nullptr);
    }
    H().respond("VCS_ASYNC_TABLE", 203, [&](const th::Upcall &) { return th::Bytes().i32(0).text(local).text(server).vec(); });
    int32_t h = open();
    ASSERT_EQ(0, op(kLoad, h, 1, {oem(name).c_str()}));
    const size_t taken = H().upcalls.size();
    qp->notify(0, 101, local.c_str());
    EXPECT_EQ(taken, H().upcalls.size()) << "an unchanged file is only reported";
    {
        winutil::unique_handle f(CreateFileW((folder + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME later{0, 0x01E00000};
        ASSERT_TRUE(SetFileTime(f.get(), nullptr, nullptr, &later));
    }
    qp->notify(0, 101, local.c_str());
    ASSERT_EQ(taken + 1, H().upcalls.size());
    EXPECT_EQ(th::Bytes().u8(1).i32(0x100).text(local).text(server).vec(), H().upcalls.back().payload);
    const std::string lower = tmp.path() + "\\" + oem(L"\u043e\u0442\u0447\u0451\u0442.MAC");
    qp->notify(0, 102, lower.c_str());
    ASSERT_EQ(taken + 2, H().upcalls.size());
    EXPECT_EQ(th::Bytes().u8(2).i32(0x10000).text(local).text(server).vec(), H().upcalls.back().payload);
    op(kClose, h);
}

// The edit manager's open with the graphical editor chosen in its dialog:
// the file is taken for editing and loaded; once taken, it is loaded again
// without asking. A Cyrillic name is looked up, shown, taken and loaded as
// the server and the editor spell it.
TEST_F(Editor, EditManagerOpenTakesTheFileIntoTheGraphicalEditor) {
    CoInitialize(nullptr);
    {
        th::EditMgrServer server(true);
        const std::wstring name = L"\u041e\u0442\u0447\u0451\u0442.mac", file = wide(tmp.path()) + L"\\" + name;
        const std::string local = tmp.path() + "\\" + oem(name), remote = "srv/" + oem(name);
        winutil::unique_handle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        const th::ByteVec lookup = th::Bytes().i32(0).text(remote).vec();
        const th::ByteVec taken = th::Bytes().i32(0).text(local).text(remote).vec();
        H().respond("VCS_ASYNC_TABLE", 203, [&](const th::Upcall &u) { return u.payload[0] == 3 ? lookup : taken; });
        th::Bytes connect;
        connect.u8(1).i32(1).text("x");  // graphical editor
        ASSERT_EQ(4, send(201, connect));
        ASSERT_EQ(0, i32At(0));
        int32_t h = open();
        std::wstring caption, field;
        for (int round = 0; round < 2; ++round) {
            long done = 0;
            BSTR bname = SysAllocString(file.c_str());
            server.primary()->OpenFile(bname, 0, &done);
            SysFreeString(bname);
            // The second open must not ask; a dialog that appears is cancelled.
            bool asked = false;
            std::thread driver([&] {
                HWND dlg = th::findDialog(L"", round == 0 ? 400 : 40);
                asked = dlg != nullptr;
                if (!dlg) return;
                if (round == 0) {
                    caption = th::windowText(dlg);
                    field = th::windowText(GetDlgItem(dlg, 1001));
                    SendMessageW(GetDlgItem(dlg, 1007), BM_CLICK, 0, 0);
                }
                PostMessageW(dlg, WM_COMMAND, round == 0 ? IDOK : IDCANCEL, 0);
            });
            for (PxIdleProc p : std::vector<PxIdleProc>(H().idles)) p();
            driver.join();
            EXPECT_EQ(round == 0, asked) << round;
        }
        EXPECT_EQ(L"\u0420\u0435\u0434\u0430\u043A\u0442\u0438\u0440\u043E\u0432\u0430\u043D\u0438\u0435 - " + name, caption);
        EXPECT_EQ(L"srv/" + name, field);
        std::string j = qp->journal();
        size_t first = j.find("load file " + local + " 0\n");
        EXPECT_NE(std::string::npos, first) << j;
        EXPECT_NE(std::string::npos, j.find("load file " + local + " 0\n", first + 1)) << j;
        std::vector<th::ByteVec> asks;
        for (const th::Upcall &u : H().upcalls)
            if (u.table == "VCS_ASYNC_TABLE") asks.push_back(u.payload);
        // Looked up once, taken once.
        EXPECT_EQ((std::vector<th::ByteVec>{th::Bytes().u8(3).i32(0).text(oem(name)).text("").vec(),
                                           th::Bytes().u8(0).i32(0).text(local).text(remote).vec()}),
                  asks);
        op(kClose, h);
        th::Bytes disconnect;
        disconnect.u8(2).i32(0);
        send(201, disconnect);
    }
    CoUninitialize();
}

// -2 without its flag leaves open editors their filter and idle procedures;
// once they close, the next editor registers them again. -2 with the flag
// closes the editors and drops everything.
TEST_F(Editor, EndWithoutItsFlagKeepsTheEditorsHooks) {
    int32_t h = open();
    ASSERT_NE(0, h);
    EXPECT_EQ(0, lifeCycle(kMsgUnload, false));
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_EQ(1u, H().idles.size());
    EXPECT_EQ(0, op(kClose, h));
    EXPECT_TRUE(H().filters.empty());
    ASSERT_NE(0, open());
    EXPECT_EQ(1u, H().filters.size());
    EXPECT_EQ(1u, H().idles.size());
    EXPECT_EQ(0, lifeCycle(kMsgUnload, true));
    EXPECT_EQ(0, qp->editors());
    EXPECT_TRUE(H().filters.empty());
    EXPECT_TRUE(H().idles.empty());
    EXPECT_TRUE(H().listErrors.empty());
}

}  // namespace
