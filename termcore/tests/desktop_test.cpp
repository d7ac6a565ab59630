// Clipboard (204, 205) and help (50, 51): both touch what the whole desktop
// shares, so they run apart from other such tests.
#include <cstring>

#include "requests.h"

namespace {

// code page 866 and 1251 spellings of "Привет".
const std::string kOem = "\x8F\xE0\xA8\xA2\xA5\xE2";
const std::string kAnsi = "\xCF\xF0\xE8\xE2\xE5\xF2";

std::string clipboardText(UINT format) {
    std::string s;
    if (!OpenClipboard(nullptr)) return "<not opened>";
    HANDLE h = GetClipboardData(format);
    if (const char *p = h ? static_cast<const char *>(GlobalLock(h)) : nullptr) {
        s = std::string(p, strnlen(p, GlobalSize(h)));
        GlobalUnlock(h);
    } else {
        s = "<none>";
    }
    CloseClipboard();
    return s;
}

// Puts bytes on the clipboard as another program would, terminated or not.
void putForeign(UINT format, const std::string &bytes) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(g), bytes.data(), bytes.size());
    GlobalUnlock(g);
    SetClipboardData(format, g);
    CloseClipboard();
}

struct Clipboard : TermcoreTest {
    struct Got {
        int32_t status, length;
        uint8_t mode;
        std::string text;
    };
    Got get(uint8_t kind) {
        int n = send(rq::kClipGet, rq::clipGet(kind));
        Got g{};
        WireReader r = reply(n);
        g.status = r.i32();
        g.length = r.i32();
        g.mode = r.u8();
        EXPECT_EQ(n, 9 + g.length);
        if (g.length > 0) g.text = std::string(r.text());
        EXPECT_TRUE(r.ok());
        return g;
    }
};

TEST_F(Clipboard, OemTextRoundTripsAndOtherReadersSeeItInTheWindowsCodePage) {
    load();
    ASSERT_EQ(4, send(rq::kClipSet, rq::clipSet(2, 0, kOem)));
    EXPECT_EQ(0, i32At(0));
    EXPECT_EQ(kAnsi, clipboardText(CF_TEXT));
    Got g = get(0);
    EXPECT_EQ(0, g.status);
    EXPECT_EQ(static_cast<int32_t>(kOem.size() + 1), g.length);
    EXPECT_EQ(2, g.mode);
    EXPECT_EQ(kOem, g.text);
}

TEST_F(Clipboard, WindowsTextRoundTripsAndCarriesTheUsersLocale) {
    load();
    ASSERT_EQ(4, send(rq::kClipSet, rq::clipSet(7, 1, kAnsi)));
    EXPECT_EQ(0, i32At(0));
    Got g = get(1);
    EXPECT_EQ(kAnsi, g.text);
    EXPECT_EQ(7, g.mode);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE h = GetClipboardData(CF_LOCALE);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(GetUserDefaultLCID(), *static_cast<const LCID *>(GlobalLock(h)));
    GlobalUnlock(h);
    CloseClipboard();
}

TEST_F(Clipboard, ModesOneAndFourLeaveNoEditorMark) {
    load();
    for (uint8_t mode : {1, 4}) {
        send(rq::kClipSet, rq::clipSet(mode, 1, "plain"));
        EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatA("QvEditor")));
        EXPECT_EQ(1, get(1).mode);
    }
    send(rq::kClipSet, rq::clipSet(0, 1, "zero"));
    EXPECT_EQ(0, get(1).mode);
    putForeign(CF_TEXT, std::string("foreign", 8));
    EXPECT_EQ(1, get(1).mode);
}

TEST_F(Clipboard, TextOf8192BytesIsReturnedAndLongerIsRefused) {
    load();
    std::string text(8192, 'x');
    send(rq::kClipSet, rq::clipSet(2, 1, text));
    Got g = get(1);
    EXPECT_EQ(0, g.status);
    EXPECT_EQ(text, g.text);
    send(rq::kClipSet, rq::clipSet(2, 1, text + "y"));
    g = get(1);
    EXPECT_EQ(-2, g.status);
    EXPECT_EQ(0, g.length);
}

TEST_F(Clipboard, LongTextIsRefusedWhenTheHostsBlockCannotHoldIt) {
    load(114);
    th::Host::get().maxBlockSize = 1000;
    send(rq::kClipSet, rq::clipSet(2, 1, std::string(990, 'a')));
    EXPECT_EQ(0, get(1).status);
    send(rq::kClipSet, rq::clipSet(2, 1, std::string(991, 'a')));
    EXPECT_EQ(-2, get(1).status);
}

TEST_F(Clipboard, ForeignTextIsReadNoFurtherThanItsBlock) {
    load();
    putForeign(CF_TEXT, std::string(24, 'A'));
    Got g = get(1);
    EXPECT_EQ(0, g.status);
    // Wine itself may give up the last byte for a terminator.
    EXPECT_GE(g.text.size(), 23u);
    EXPECT_LE(g.text.size(), 24u);
    EXPECT_EQ(std::string(g.text.size(), 'A'), g.text);
}

TEST_F(Clipboard, SetTextIsTerminatedAndEmptyClipboardAnswersNone) {
    load();
    send(rq::kClipSet, rq::clipSet(2, 1, "abc"));
    EXPECT_EQ("abc", clipboardText(CF_TEXT));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    Got g = get(1);
    EXPECT_EQ(-1, g.status);
    EXPECT_EQ(0, g.length);
}

TEST_F(Clipboard, CountBeyondTheBlockIsRefused) {
    load(114);
    th::Host::get().maxBlockSize = 100;
    th::Bytes b = rq::clipSet(2, 1, std::string(95, 'z'));
    ASSERT_EQ(4, send(rq::kClipSet, b));
    EXPECT_EQ(-1, i32At(0));
    th::Bytes negative;
    negative.u8(2).u8(1).i32(-5).zeros(4);
    ASSERT_EQ(4, send(rq::kClipSet, negative));
    EXPECT_EQ(-1, i32At(0));
}

// A hidden window of the help program's class: WinHelp hands it every call.
struct HelpCall {
    UINT command;
    LONG data;
    std::string file, text;
};
std::vector<HelpCall> gHelpCalls;
LRESULT gHelpAnswer = TRUE;

LRESULT CALLBACK helpWindow(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_COPYDATA) return DefWindowProcA(w, msg, wp, lp);
    auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(lp);
    const char *p = static_cast<const char *>(cds->lpData);
    WireReader r(p, cds->cbData);
    HelpCall c{};
    r.u16();
    c.command = r.u16();
    c.data = r.i32();
    r.i32();
    uint16_t ofsFile = r.u16(), ofsData = r.u16();
    if (ofsFile) c.file = p + ofsFile;
    if (ofsData) c.text = p + ofsData;
    gHelpCalls.push_back(c);
    return gHelpAnswer;
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
        gHelpCalls.clear();
        gHelpAnswer = TRUE;
    }
    void TearDown() override {
        TermcoreTest::TearDown();
        DestroyWindow(window);
    }
};

TEST_F(Help, KeywordContentsAndQuitReachTheHelpProgram) {
    load();
    ASSERT_EQ(4, send(rq::kHelp, rq::help(0, "app.hlp", "Index")));
    EXPECT_EQ(1, i32At(0));
    send(rq::kHelp, rq::help(1, "app.hlp"));
    EXPECT_EQ(1, i32At(0));
    send(rq::kHelp, rq::help(2, "app.hlp"));
    EXPECT_EQ(1, i32At(0));
    send(rq::kHelp, rq::help(3, "app.hlp"));
    EXPECT_EQ(0, i32At(0));
    ASSERT_EQ(3u, gHelpCalls.size());
    EXPECT_EQ(static_cast<UINT>(HELP_KEY), gHelpCalls[0].command);
    EXPECT_EQ("app.hlp", gHelpCalls[0].file);
    EXPECT_EQ("Index", gHelpCalls[0].text);
    EXPECT_EQ(static_cast<UINT>(HELP_CONTENTS), gHelpCalls[1].command);
    EXPECT_EQ(static_cast<UINT>(HELP_QUIT), gHelpCalls[2].command);
}

TEST_F(Help, ExtendedKindsSendContextsAndJumpMacros) {
    load();
    send(rq::kHelpEx, rq::helpEx(3, "x.hlp", 4711));
    EXPECT_EQ(1, i32At(0));
    send(rq::kHelpEx, rq::helpEx(4, "x.hlp", 0, "topic_" + kOem));
    EXPECT_EQ(1, i32At(0));
    send(rq::kHelpEx, rq::helpEx(5, "x.hlp", 42));
    EXPECT_EQ(1, i32At(0));
    send(rq::kHelpEx, rq::helpEx(0, "x.hlp", 0, "key"));
    send(rq::kHelpEx, rq::helpEx(6, "x.hlp", 0));
    EXPECT_EQ(0, i32At(0));
    ASSERT_EQ(4u, gHelpCalls.size());
    EXPECT_EQ(static_cast<UINT>(HELP_CONTEXT), gHelpCalls[0].command);
    EXPECT_EQ(4711, gHelpCalls[0].data);
    EXPECT_EQ(static_cast<UINT>(HELP_COMMAND), gHelpCalls[1].command);
    EXPECT_EQ("JumpID(\"\",\"topic_" + kAnsi + "\")", gHelpCalls[1].text);
    EXPECT_EQ("JumpID(\"\",\"T42\")", gHelpCalls[2].text);
    EXPECT_EQ("key", gHelpCalls[3].text);
}

TEST_F(Help, FailedCallAnswersZeroAndTheSessionEndQuitsOpenHelp) {
    load();
    gHelpAnswer = FALSE;
    send(rq::kHelp, rq::help(1, "f.hlp"));
    EXPECT_EQ(0, i32At(0));
    gHelpAnswer = TRUE;
    send(rq::kHelp, rq::help(1, "g.hlp"));
    EXPECT_EQ(1, i32At(0));
    lifeCycle(kMsgUnload, false);
    ASSERT_EQ(3u, gHelpCalls.size());
    EXPECT_EQ(static_cast<UINT>(HELP_QUIT), gHelpCalls[2].command);
    EXPECT_EQ("g.hlp", gHelpCalls[2].file);
}

TEST_F(Help, FileNameLengthCutsTheNameAndBadLengthsAnswerZero) {
    load();
    th::Bytes b;
    b.i32(1).i32(3).zeros(4).text("abc.hlp");
    send(rq::kHelp, b);
    EXPECT_EQ(1, i32At(0));
    th::Bytes bad;
    bad.i32(1).i32(-1).zeros(4).text("abc.hlp");
    send(rq::kHelp, bad);
    EXPECT_EQ(0, i32At(0));
    ASSERT_EQ(1u, gHelpCalls.size());
    EXPECT_EQ("abc", gHelpCalls[0].file);
}

}  // namespace
