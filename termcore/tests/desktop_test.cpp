// Clipboard (204, 205) and help (50, 51): both touch what the whole desktop
// shares, so they run apart from other such tests.
#include <cstring>
#include <tuple>

#include <windows.h>
#include <tlhelp32.h>

#include "requests.h"
#include "unique_handle.h"

namespace {

// code page 866 and 1251 spellings of "Привет".
const std::string kOem = "\x8F\xE0\xA8\xA2\xA5\xE2";
const std::string kAnsi = "\xCF\xF0\xE8\xE2\xE5\xF2";

th::Bytes clipSet(uint8_t mode, uint8_t kind, const std::string &text) {
    return th::Bytes().u8(mode).u8(kind).i32(static_cast<int32_t>(text.size())).raw(text.data(), text.size());
}

// What another program sees on the clipboard in a format, raw.
std::string clipboardBytes(UINT format) {
    std::string s = "<none>";
    if (!OpenClipboard(nullptr)) return "<not opened>";
    HANDLE h = GetClipboardData(format);
    if (const char *p = h ? static_cast<const char *>(GlobalLock(h)) : nullptr) {
        s.assign(p, GlobalSize(h));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return s;
}

// Puts bytes on the clipboard as another program would, terminated or not.
void putForeign(const std::string &bytes) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(g), bytes.data(), bytes.size());
    GlobalUnlock(g);
    SetClipboardData(CF_TEXT, g);
    CloseClipboard();
}

struct Clipboard : TermcoreTest {
    // Status, editor mode and text of request 205; the length must match.
    std::tuple<int32_t, uint8_t, std::string> get(uint8_t kind) {
        int n = send(rq::kClipGet, th::Bytes().u8(kind));
        WireReader r = reply(n);
        int32_t status = r.i32(), length = r.i32();
        uint8_t mode = r.u8();
        std::string text = length > 0 ? std::string(r.text()) : "";
        EXPECT_TRUE(r.ok() && n == 9 + length && (length == 0 || length == int32_t(text.size() + 1)));
        return {status, mode, text};
    }
    int32_t set(const th::Bytes &b) {
        EXPECT_EQ(4, send(rq::kClipSet, b));
        return i32At(0);
    }
};

TEST_F(Clipboard, TextRoundTripsInBothCodePagesWithTheEditorModeAndTheUsersLocale) {
    load();
    ASSERT_EQ(0, set(clipSet(2, 0, kOem)));
    EXPECT_EQ(kAnsi, clipboardBytes(CF_TEXT).c_str()) << "other readers see the Windows code page, terminated";
    EXPECT_EQ(std::make_tuple(0, uint8_t(2), kOem), get(0));
    ASSERT_EQ(0, set(clipSet(7, 1, kAnsi)));
    EXPECT_EQ(std::make_tuple(0, uint8_t(7), kAnsi), get(1));
    LCID lcid = GetUserDefaultLCID();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&lcid), 4), clipboardBytes(CF_LOCALE).substr(0, 4));
    // Modes 1 and 4 leave no editor mark, and foreign text has none.
    for (uint8_t mode : {1, 4, 0}) {
        set(clipSet(mode, 1, "plain"));
        EXPECT_EQ(mode == 0, IsClipboardFormatAvailable(RegisterClipboardFormatA("QvEditor")) != FALSE);
        EXPECT_EQ(mode == 0 ? 0 : 1, std::get<1>(get(1)));
    }
    // Another program's text is read no further than its block; Wine itself
    // may give up the last byte for a terminator.
    putForeign(std::string(24, 'A'));
    auto [status, mode, text] = get(1);
    EXPECT_TRUE(status == 0 && mode == 1) << status;
    EXPECT_TRUE(text == std::string(24, 'A') || text == std::string(23, 'A')) << text;
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(std::make_tuple(-1, uint8_t(0), std::string()), get(1));
}

TEST_F(Clipboard, RepliesAndRecordsAreBoundedByTheLimitAndTheHostsBlock) {
    load(114);
    std::string text(8192, 'x');
    set(clipSet(2, 1, text));
    EXPECT_EQ(std::make_tuple(0, uint8_t(2), text), get(1));
    set(clipSet(2, 1, text + "y"));
    EXPECT_EQ(std::make_tuple(-2, uint8_t(0), std::string()), get(1));
    th::Host::get().maxBlockSize = 1000;
    set(clipSet(2, 1, std::string(990, 'a')));
    EXPECT_EQ(0, std::get<0>(get(1)));
    set(clipSet(2, 1, std::string(991, 'a')));
    EXPECT_EQ(-2, std::get<0>(get(1)));
    // A count beyond the record or below zero is refused.
    th::Host::get().maxBlockSize = 100;
    EXPECT_EQ(-1, set(clipSet(2, 1, std::string(95, 'z'))));
    EXPECT_EQ(-1, set(th::Bytes().u8(2).u8(1).i32(-5).zeros(4)));
}

// How the help program saw a call: command, file and keyword, macro or number.
std::string helpCall(UINT command, const std::string &file, const std::string &argument = "") {
    return std::to_string(command) + " " + file + " " + argument;
}

// A hidden window of the help program's class: WinHelp hands it every call.
std::vector<std::string> gHelpCalls;
LRESULT gHelpAnswer = TRUE;

LRESULT CALLBACK helpWindow(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_COPYDATA) return DefWindowProcA(w, msg, wp, lp);
    auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(lp);
    const char *p = static_cast<const char *>(cds->lpData);
    WireReader r(p, cds->cbData);
    r.u16();
    UINT command = r.u16();
    int32_t data = r.i32();
    r.i32();
    uint16_t ofsFile = r.u16(), ofsData = r.u16();
    std::string argument = command == HELP_CONTEXT ? std::to_string(data) : ofsData ? p + ofsData : "";
    gHelpCalls.push_back(helpCall(command, ofsFile ? p + ofsFile : "", argument));
    return gHelpAnswer;
}

// WinHelp starts the help program itself when it finds no window of its
// class; such a program would outlive the test and hold its output open.
// Ends every one this process started; answers how many there were.
int endHelpPrograms() {
    int ended = 0;
    winutil::unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    for (bool more = snapshot && Process32First(snapshot.get(), &e); more; more = Process32Next(snapshot.get(), &e)) {
        if (e.th32ParentProcessID != GetCurrentProcessId() || _stricmp(e.szExeFile, "winhlp32.exe") != 0) continue;
        winutil::unique_handle p(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, e.th32ProcessID));
        if (p && TerminateProcess(p.get(), 0)) WaitForSingleObject(p.get(), 10000);
        ++ended;
    }
    return ended;
}

struct Help : TermcoreTest {
    HWND window = nullptr;
    void SetUp() override {
        TermcoreTest::SetUp();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = helpWindow;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MS_WINHELP";
        RegisterClassA(&wc);
        window = CreateWindowA("MS_WINHELP", "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_EQ(window, FindWindowA("MS_WINHELP", nullptr)) << "help calls would start the help program";
        gHelpCalls.clear();
        gHelpAnswer = TRUE;
        load();
    }
    void TearDown() override {
        TermcoreTest::TearDown();
        DestroyWindow(window);
        EXPECT_EQ(0, endHelpPrograms()) << "a help call reached the help program";
    }
    // Request 50 (no number) or 51 (a number from 0 up) and its answer; the
    // file name's length field is the name's own unless one is given.
    static constexpr int32_t kOwnLength = INT32_MIN;
    int32_t help(int32_t kind, const std::string &file, const std::string &keyword = "", int32_t number = -1,
                 int32_t length = kOwnLength) {
        if (length == kOwnLength) length = static_cast<int32_t>(file.size());
        th::Bytes b = th::Bytes().i32(kind).i32(length).zeros(4);
        if (number >= 0) b.i32(number);
        EXPECT_EQ(4, send(number < 0 ? rq::kHelp : rq::kHelpEx, b.text(file).text(keyword)));
        return i32At(0);
    }
};

TEST_F(Help, EachKindReachesTheHelpProgramAsItsCommand) {
    EXPECT_EQ(1, help(0, "app.hlp", "Index"));
    EXPECT_EQ(1, help(1, "app.hlp"));
    EXPECT_EQ(1, help(2, "app.hlp"));
    EXPECT_EQ(0, help(3, "app.hlp"));
    EXPECT_EQ(1, help(3, "x.hlp", "", 4711));
    EXPECT_EQ(1, help(4, "x.hlp", "topic_" + kOem, 0));
    EXPECT_EQ(1, help(5, "x.hlp", "", 42));
    EXPECT_EQ(1, help(0, "x.hlp", "key", 0));
    EXPECT_EQ(0, help(6, "x.hlp", "", 0));
    EXPECT_EQ((std::vector<std::string>{
                  helpCall(HELP_KEY, "app.hlp", "Index"), helpCall(HELP_CONTENTS, "app.hlp"),
                  helpCall(HELP_QUIT, "app.hlp"), helpCall(HELP_CONTEXT, "x.hlp", "4711"),
                  helpCall(HELP_COMMAND, "x.hlp", "JumpID(\"\",\"topic_" + kAnsi + "\")"),
                  helpCall(HELP_COMMAND, "x.hlp", "JumpID(\"\",\"T42\")"), helpCall(HELP_KEY, "x.hlp", "key")}),
              gHelpCalls);
}

TEST_F(Help, FileLengthsCutTheNameAndTheSessionEndQuitsOnlyOpenHelp) {
    EXPECT_EQ(0, help(1, "abc.hlp", "", -1, -1));
    lifeCycle(kMsgUnload, false);
    EXPECT_TRUE(gHelpCalls.empty()) << "help never opened has nothing to quit";
    gHelpAnswer = FALSE;
    EXPECT_EQ(0, help(1, "f.hlp"));
    gHelpAnswer = TRUE;
    EXPECT_EQ(1, help(1, "abc.hlp", "", -1, 3));
    lifeCycle(kMsgUnload, false);
    EXPECT_EQ((std::vector<std::string>{helpCall(HELP_CONTENTS, "f.hlp"), helpCall(HELP_CONTENTS, "abc"),
                                        helpCall(HELP_QUIT, "abc")}),
              gHelpCalls);
}

}  // namespace
