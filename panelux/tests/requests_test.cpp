// Requests where formkit meets what the server and the host hand it: padded
// application texts (3), a choice popup's record under an older host (15),
// a menu answered after the host moved its reply area (16), dialogs refused
// for a field without a control or a handle in use (23), the colours of
// field controls, the wait box's lines, button labels and list columns sent
// hidden.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "formkitfix.h"
#include "menuitems.h"
#include "wndfind.h"

namespace {

DescField fieldOf(uint8_t kind, uint32_t options, int row, const std::string &value = "abc") {
    DescField f;
    f.kind = kind;
    f.options = options;
    f.length = 20;
    f.column = 3, f.row = static_cast<int8_t>(row), f.width = 12;
    f.value = textValue(value);
    return f;
}

Desc dialogOf(int32_t handle, std::vector<DescField> fields) {
    Desc d;
    d.owner1 = handle;
    d.id = 0;
    d.fields = std::move(fields);
    return d;
}

std::string textOf(HWND w) {
    char buf[128] = {};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

std::string appDataDir() {
    char dir[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("APPDATA", dir, MAX_PATH);
    return n && n < MAX_PATH ? dir : "";
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The folders in dir whose names hold part.
std::vector<std::string> foldersLike(const std::string &dir, const std::string &part) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir + "*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return out;
    do {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::string(fd.cFileName).find(part) != std::string::npos)
            out.push_back(fd.cFileName);
    } while (FindNextFileA(f, &fd));
    FindClose(f);
    return out;
}

struct Requests : FormkitTest {
    void SetUp() override {
        startModule();
        openFrame(60, 20);
    }
    void TearDown() override {
        FormkitTest::TearDown();
        EXPECT_EQ(nullptr, findClass("pxDialogWnd"));
        EXPECT_EQ(0, H().watchdogFired);
    }
    int32_t open(const Desc &d) {
        EXPECT_EQ(4, m.message(23, withDesc(th::Bytes(), d)));
        return replyInt();
    }
    // The answer of a request run with one script step: look, then Escape.
    template <class Look> int32_t answered(int code, const th::Bytes &req, Look look, bool inBlock = false) {
        H().script.push_back([look] {
            look();
            H().queue.push_back(PxEvent{27, 0, 0, 0, 0, 0});
        });
        int n = inBlock ? m.messageInBlock(code, req) : m.message(code, req);
        H().script.clear();
        return n >= 4 ? WireReader(m.reply(), 4).i32() : -999;
    }
};

TEST_F(Requests, PaddedApplicationNamesKeepTheirDataFileInTheNamesOwnFolder) {
    const std::string base = appDataDir() + "\\Quorvex\\";
    ASSERT_FALSE(appDataDir().empty());
    auto clean = [&] {
        for (const std::string &f : foldersLike(base, "QvPadApp")) {
            DeleteFileA((base + f + "\\panelux.dat").c_str());
            RemoveDirectoryA((base + f).c_str());
        }
    };
    clean();
    for (const char *name : {"  QvPadApp", "QvPadApp   ", "   QvPadApp  "}) {
        SCOPED_TRACE(name);
        // The last client leaving saves the frame's placement into the file.
        m.message(3, th::Bytes().i16(0).text(name).text("  Caption ").text(" ").text(""));
        m.message(2, th::Bytes().i16(0).i32(0));
        EXPECT_TRUE(exists(base + "QvPadApp\\panelux.dat"));
        EXPECT_EQ(std::vector<std::string>{"QvPadApp"}, foldersLike(base, "QvPadApp"));
        clean();
        m.message(kMsgUnload);
        startModule();
        openFrame(60, 20);
    }
}

TEST_F(Requests, AChoicePopupReadsItsTextsOnlyAsFarAsItsRecordHoldsThem) {
    struct Case {
        int build;  // 80: a host that names no block size
        th::Bytes texts;
        int buttons;
    } cases[] = {
        {80, th::Bytes().text("Save?").text(""), 0},
        {80, th::Bytes().text("Save?").text("&Yes").text("&No").text(""), 2},
        {80, th::Bytes().text("Save?").text("&Yes").text("").text("extra"), 1},
        {114, th::Bytes().text("Save?").text(""), 0},
        {114, th::Bytes().text("Save?").text("&Yes").text("").text("extra").text("Title"), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.build << ", " << c.buttons << " buttons");
        m.hostVersion(c.build);
        std::string title = "none";
        int buttons = -1;
        th::Bytes req = th::Bytes().i16(27).i16(6).i32(3).i16(1).i16(0).raw(c.texts.data(), c.texts.size());
        int32_t result = answered(15, req, [&] {
            HWND p = findClass("pxPopupWnd");
            title = p ? textOf(p) : "none";
            buttons = 0;
            for (HWND b = p ? GetWindow(p, GW_CHILD) : nullptr; b; b = GetWindow(b, GW_HWNDNEXT))
                buttons += GetDlgCtrlID(b) >= 1024 && GetDlgCtrlID(b) < 1280;
        }, true);
        EXPECT_EQ(27, result);
        EXPECT_EQ("", title);  // this popup never shows a title of the server's
        EXPECT_EQ(c.buttons, buttons);
    }
    m.hostVersion(114);
}

TEST_F(Requests, AFetchedMenuIsAnsweredWhereTheHostNowKeepsItsReplyArea) {
    constexpr int32_t kMenu = 0x4D07;
    th::MenuPack p;
    p.add({1, 100, 2, "Open"}).add({2, 200, 2, "Exit"});
    struct Case {
        bool moves, served;
        int32_t expected;
    } cases[] = {{false, true, 0}, {true, true, 0}, {true, false, -1}, {false, false, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "moves " << c.moves << ", served " << c.served);
        H().moveReplyBuff = c.moves;
        H().replyBuffAsks.clear();
        H().respond("PXTBL#7", 100, [&](const th::Upcall &) {
            if (!c.served) return std::optional<th::ByteVec>();
            return std::optional<th::ByteVec>(th::Bytes().i32(static_cast<int32_t>(p.bytes.size())).raw(p.bytes).vec());
        });
        th::Bytes req = th::Bytes().i32(kMenu).i32(7).u8(2).u8(3).u8(1).u8(2).u16(static_cast<uint16_t>(p.total))
                            .i32(p.textBytes).i32(55);
        EXPECT_EQ(4, m.message(16, req));
        EXPECT_EQ(c.expected, replyInt());
        ASSERT_FALSE(H().replyBuffAsks.empty());
        EXPECT_EQ(4, H().replyBuffAsks.back());
        H().moveReplyBuff = false;
        m.message(18, th::Bytes().i32(kMenu));
    }
}

TEST_F(Requests, ADialogOpensOnlyWithAControlForEveryFieldAndAFreeHandle) {
    constexpr int32_t kDialog = 300;
    struct Case {
        uint8_t kind;
        uint32_t options;
        int32_t expected;
    } cases[] = {
        {0, 0, -1},          {6, 0, -1},          {9, 0, -1},          {15, 0, -1},         {7, 0, -1},
        {7, 0x02000000, -1}, {0, 0x01000000, 0},  {6, 0x01000000, 0},  {14, 0x01000000, 0}, {7, 0x20000, 0},
        {7, 0x40000, 0},     {7, 0x100000, 0},    {7, 0x800000, 0},    {2, 0, 0},           {0x13, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << ", options " << std::hex << c.options);
        EXPECT_EQ(c.expected, open(dialogOf(kDialog, {fieldOf(1, 0, 2), fieldOf(c.kind, c.options, 4)})));
        EXPECT_EQ(c.expected == 0, findClass("pxDialogWnd") != nullptr);
        // Refused, the handle stays free for the next description.
        if (c.expected != 0) {
            EXPECT_EQ(0, open(dialogOf(kDialog, {fieldOf(1, 0, 2)})));
        }
        m.message(29, th::Bytes().i32(kDialog));
    }

    // A handle already in the table is refused whatever it names.
    th::MenuPack p;
    p.add({1, 100, 2, "Open"});
    m.message(54, th::Bytes().i32(401));
    m.message(60, th::Bytes().i16(-1).i32(402));
    m.message(16, th::Bytes().i32(403).i32(7).u8(2).u8(3).u8(1).u8(1).u16(static_cast<uint16_t>(p.total))
                      .i32(p.textBytes).i32(0).raw(p.bytes));
    ASSERT_EQ(0, replyInt());
    for (int32_t handle : {401, 402, 403, kDialog}) {
        if (handle == kDialog) {
            ASSERT_EQ(0, open(dialogOf(kDialog, {fieldOf(1, 0, 2)})));
        }
        EXPECT_EQ(-1, open(dialogOf(handle, {fieldOf(1, 0, 2)}))) << handle;
        EXPECT_EQ(handle == kDialog ? 1 : 0, findClass("pxDialogWnd") != nullptr) << handle;
    }
    // Their owners still find them.
    m.message(29, th::Bytes().i32(kDialog));
    EXPECT_EQ(4, m.message(18, th::Bytes().i32(403)));
    m.message(55, th::Bytes().i32(401));
    m.message(61, th::Bytes().i16(-1).i32(402));
}

TEST_F(Requests, FieldControlsTakeTheColoursOfTheirKind) {
    constexpr int32_t kDialog = 310;
    constexpr uint16_t kNamed = 0x0200;  // colour class 2 on a panel of class 1
    const COLORREF named = RGB(255, 200, 240);
    std::vector<DescField> fields = {fieldOf(1, 0, 1),        fieldOf(1, 0x01000000, 2), fieldOf(0x11, 0, 3),
                                     fieldOf(4, 0, 4),        fieldOf(5, 0, 5),          fieldOf(5, 0, 6),
                                     fieldOf(2, 0, 7),        fieldOf(2, 0, 8)};
    fields[3].number = fields[5].number = kNamed;
    ASSERT_EQ(0, open(dialogOf(kDialog, fields)));
    HWND dlg = findClass("pxDialogWnd");
    ASSERT_NE(nullptr, dlg);
    struct Colours {
        COLORREF back, text, brush;
    };
    auto coloursOf = [&](int index) {
        HDC dc = CreateCompatibleDC(nullptr);
        HWND ctl = GetDlgItem(dlg, 768 + index);
        char cls[16] = {};
        GetClassNameA(ctl, cls, sizeof cls);
        UINT msg = lstrcmpiA(cls, "Static") == 0 ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
        HBRUSH b = reinterpret_cast<HBRUSH>(SendMessageA(dlg, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ctl)));
        LOGBRUSH lb = {};
        GetObjectA(b, sizeof lb, &lb);
        Colours c{GetBkColor(dc), GetTextColor(dc), lb.lbColor};
        DeleteDC(dc);
        return c;
    };
    const COLORREF window = GetSysColor(COLOR_WINDOW), face = GetSysColor(COLOR_3DFACE),
                   text = GetSysColor(COLOR_WINDOWTEXT);
    struct Case {
        int index;
        COLORREF back, text;
    } cases[] = {
        {0, window, text},  // input field
        {1, face, text},    // shown as plain text
        {2, face, text},    // out of input
        {3, named, text},   // its named colour
        {4, face, text},    // read-only
        {5, named, text},
        {6, window, text},  // kind 2 while another field is current
    };
    for (const Case &c : cases) {
        Colours got = coloursOf(c.index);
        EXPECT_EQ(c.back, got.back) << c.index;
        EXPECT_EQ(c.text, got.text) << c.index;
        EXPECT_EQ(c.back, got.brush) << c.index;
    }
    // Kind 2 as the current field: highlight while it has the focus,
    // inactive caption without.
    Colours focused{}, unfocused{};
    answered(26, th::Bytes().i32(kDialog).i16(-1).i16(7).i16(-1).u8(0), [&] {
        focused = coloursOf(7);
        SetFocus(nullptr);
        unfocused = coloursOf(7);
    });
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), focused.back);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHTTEXT), focused.text);
    EXPECT_EQ(GetSysColor(COLOR_INACTIVECAPTION), unfocused.back);
    EXPECT_EQ(GetSysColor(COLOR_INACTIVECAPTIONTEXT), unfocused.text);
    m.message(29, th::Bytes().i32(kDialog));
}

TEST_F(Requests, WaitBoxLinesBreakAtBarsAndButtonLabelsKeepOneHotkey) {
    struct Wait {
        std::string text;
        std::vector<std::string> lines;
    } waits[] = {
        {"One|Two\nThree", {"One", "Two", "Three"}},
        {"||Lead|", {"Lead"}},
        {"a b", {"a b"}},
    };
    for (const Wait &w : waits) {
        SCOPED_TRACE(w.text);
        m.message(65, th::Bytes().i16(0).i32(0).text(w.text));
        HWND box = findClass("pxDialogWnd");
        ASSERT_NE(nullptr, box);
        std::vector<std::string> lines;
        for (int id = 512; GetDlgItem(box, id); ++id) lines.push_back(textOf(GetDlgItem(box, id)));
        EXPECT_EQ(w.lines, lines);
        m.message(66, th::Bytes());
    }

    struct Label {
        std::string value, shown;
    } labels[] = {{"~Save ~as", "&Save as"}, {"  ~OK~~  ", "&OK"}, {"No hotkey", "No hotkey"}};
    for (const Label &l : labels) {
        DescField button = fieldOf(3, 0, 2, l.value);
        ASSERT_EQ(0, open(dialogOf(320, {button})));
        EXPECT_EQ(l.shown, textOf(GetDlgItem(findClass("pxDialogWnd"), 768))) << l.value;
        m.message(29, th::Bytes().i32(320));
    }
}

TEST_F(Requests, AListColumnSentWithTheHiddenKindBitStartsHidden) {
    constexpr int32_t kList = 330;
    auto listOpen = [&](const std::vector<int16_t> &widths) {
        Desc d;
        d.owner1 = kList;
        d.id = 0x0100;
        d.left = 0, d.top = 1, d.right = 50, d.bottom = 16;
        d.options = 0x40000;  // header mode
        for (int i = 0; i < 3; ++i) {
            DescField f = fieldOf(1, 0, 1, "");
            f.column = static_cast<int8_t>(1 + 12 * i), f.width = 10;
            f.header = "H" + std::to_string(i);
            d.fields.push_back(f);
        }
        d.fields[1].kind = 1 | 0x20;
        th::Bytes layout;
        if (!widths.empty()) {
            layout.u8('w').i16(3);
            for (int16_t w : widths) layout.i16(w);
            layout.u8('o').i16(3).i16(0).i16(1).i16(2);
        }
        th::Bytes req = withDesc(th::Bytes().u8(0).u8(1).u8(0).u8(1).i16(20), d).i32(static_cast<int32_t>(layout.size()));
        m.message(34, req.raw(layout.data(), layout.size()));
    };
    auto widthOf = [&](int field) {
        EXPECT_EQ(22, m.message(44, th::Bytes().i32(kList).i16(18)));
        WireReader r(m.reply(), 22);
        r.skip(4 + 3 + 2 * field);
        return r.i16();
    };
    enum Then { kNothing, kStoredWidth, kReset };
    struct Case {
        std::vector<int16_t> layout;
        Then then;
        bool hidden;
    } cases[] = {
        {{}, kNothing, true},
        {{}, kStoredWidth, false},  // request 41 with -1: the width it was built with
        {{}, kReset, false},        // request 69
        {{80, 90, 80}, kNothing, false},  // a saved layout that shows it wins
        {{80, 0, 80}, kNothing, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.layout.size() << " " << c.then);
        listOpen(c.layout);
        ASSERT_NE(nullptr, findClass("SysHeader32"));
        if (c.then == kStoredWidth) m.message(41, th::Bytes().i32(kList).u8(1).i8(-1));
        if (c.then == kReset) m.message(69, th::Bytes().i32(kList));
        EXPECT_GT(widthOf(0), 0);
        EXPECT_EQ(c.hidden, widthOf(1) == 0);
        EXPECT_GT(widthOf(2), 0);
        m.message(29, th::Bytes().i32(kList));
    }
}

}  // namespace
