// filepick.dll registered with the stand-in interpreter; a second thread
// drives the real file dialog that TrmSelectFile shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include "regmodule.h"

namespace {

th::Interp &I() { return th::Interp::get(); }

// "Все файлы (*.*)" and "Выбор файла" in code page 866.
const char kAllFilesOem[] = "\x82\xe1\xa5 \xe4\xa0\xa9\xab\xeb (*.*)";
const char kTitleOem[] = "\x82\xeb\xa1\xae\xe0 \xe4\xa0\xa9\xab\xa0";

std::string oemToAnsi(std::string s) {
    OemToCharBuffA(s.data(), &s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string windowText(HWND h) {
    char text[9000] = "";
    GetWindowTextA(h, text, sizeof text);
    return text;
}

BOOL CALLBACK findDialog(HWND h, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char cls[32] = "";
    GetClassNameA(h, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || std::string(cls) != "#32770" || !IsWindowVisible(h)) return TRUE;
    *reinterpret_cast<HWND *>(found) = h;
    return FALSE;
}

// What the driver saw of the dialog before it answered.
struct Seen {
    bool shown = false;
    std::string title, name, okText;
    std::vector<std::string> filters;
};

// Waits for the dialog, notes what it shows, types `name` (unless null)
// and presses OK, or Cancel when `ok` is false.
class Driver {
public:
    Driver(const char *name, bool ok) : thread_([=] { run(name ? name : "", name != nullptr, ok); }) {}
    ~Driver() { seen(); }
    const Seen &seen() {
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void run(std::string name, bool typeName, bool ok) {
        HWND dlg = nullptr;
        for (int i = 0; i < 500 && !dlg; ++i, Sleep(20)) EnumWindows(findDialog, reinterpret_cast<LPARAM>(&dlg));
        if (!dlg) return;
        Sleep(100);  // let the dialog finish filling its controls
        seen_.shown = true;
        seen_.title = windowText(dlg);
        seen_.name = windowText(GetDlgItem(dlg, cmb13));
        seen_.okText = windowText(GetDlgItem(dlg, IDOK));
        HWND types = GetDlgItem(dlg, cmb1);
        for (LRESULT i = 0, n = SendMessageA(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
            char item[512] = "";
            SendMessageA(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            seen_.filters.push_back(item);
        }
        if (typeName) SendMessageA(dlg, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(name.c_str()));
        PostMessageA(dlg, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    }

    Seen seen_;
    std::thread thread_;
};

struct Filepick : ::testing::Test {
    void SetUp() override {
        I().reset();
        I().enableAll();
        fp = std::make_unique<th::RegModule>("filepick.dll");
    }
    void TearDown() override { EXPECT_TRUE(I().trapsHit.empty()); }
    // A host new enough for arrays and the string option.
    void newHost(bool ansiStrings) {
        I().symbols = {"IsGUI"};
        I().hostVersion = 312;
        I().options[kZamOptionAnsiStrings] = ansiStrings ? 1 : 0;
        fp->module().setCallBacks(I().table());
    }
    // TrmSelectFile(first, filter, dir, title, save); true when it answered true.
    bool select(const VALUE &first, const char *filter = nullptr, const char *title = nullptr, bool save = false) {
        VALUE u = th::Interp::undef();
        I().call("TrmSelectFile", {u, first, filter ? I().str(filter) : u, I().str(dir.path()),
                                   title ? I().str(title) : u, th::Interp::boolean(save)});
        EXPECT_EQ(1u, I().returns.size());
        return !I().returns.empty() && I().returns[0].type == V_BOOL && I().returns[0].b;
    }
    void expectWritten(const std::string &name) {
        ASSERT_EQ(1u, I().parmWrites.size());
        EXPECT_EQ(1, I().parmWrites[0].n);
        EXPECT_TRUE(I().parmWrites[0].v.isText(dir.file(name))) << I().parmWrites[0].v.s;
    }

    std::unique_ptr<th::RegModule> fp;
    th::TempDir dir;
};

TEST_F(Filepick, OpenAndSaveDialogsHandTheChosenPathBackInTheFirstArgument) {
    ASSERT_EQ(1u, I().procs.size());
    EXPECT_EQ("TrmSelectFile", I().procs[0].name);
    EXPECT_EQ(1, I().procs[0].kind);
    dir.write("pick.txt", "x");
    Driver open("pick.txt", true);
    EXPECT_TRUE(select(I().str("start.txt"), "Text (*.txt)|*.txt", kTitleOem));
    ASSERT_TRUE(open.seen().shown);
    expectWritten("pick.txt");
    // An old-style host: title and filter came in the OEM code page.
    EXPECT_EQ(oemToAnsi(kTitleOem), open.seen().title);
    EXPECT_EQ("start.txt", open.seen().name);
    EXPECT_EQ((std::vector<std::string>{"Text (*.txt)", oemToAnsi(kAllFilesOem)}), open.seen().filters);

    Driver save("new file.dat", true);
    EXPECT_TRUE(select(I().str(""), nullptr, nullptr, true));
    expectWritten("new file.dat");
    EXPECT_NE(open.seen().okText, save.seen().okText) << "the open and the save dialog look alike";
}

TEST_F(Filepick, AnsiStringsAreShownAsTheyComeAndAnOverlongNameIsCut) {
    newHost(true);
    std::string title = oemToAnsi(kTitleOem);
    Driver d(nullptr, false);
    EXPECT_FALSE(select(I().str(std::string(9000, 'n')), nullptr, title.c_str()));
    ASSERT_TRUE(d.seen().shown);
    EXPECT_EQ(title, d.seen().title);
    EXPECT_EQ(std::string(8195, 'n'), d.seen().name);
    // The all-files entry is converted whatever the script's strings are.
    EXPECT_EQ(std::vector<std::string>{oemToAnsi(kAllFilesOem)}, d.seen().filters);
    EXPECT_TRUE(I().parmWrites.empty());
}

// A text that names no folder opens the dialog at its default folder.
TEST_F(Filepick, AnInitialFolderThatIsNoFolderIsNotHandedOn) {
    VALUE u = th::Interp::undef();
    for (const std::string &folder : {std::string(2000, 'd'), std::string("nul.txt"), std::string("con"),
                                      dir.file("missing"), dir.file("file.txt")}) {
        dir.write("file.txt", "x");
        Driver d(nullptr, false);
        I().call("TrmSelectFile", {u, I().str("x.txt"), u, I().str(folder), u, th::Interp::boolean(false)});
        EXPECT_TRUE(d.seen().shown) << folder.substr(0, 20);
        ASSERT_EQ(1u, I().returns.size());
        EXPECT_FALSE(I().returns[0].b);
    }
}

TEST_F(Filepick, MultiSelectionEmptiesTheArrayAndFillsItWithTheChosenFiles) {
    newHost(false);
    for (const char *name : {"a.txt", "b.txt"}) dir.write(name, "x");
    struct Case {
        VALUE array;
        const char *typed, *shown;
        std::vector<std::string> chosen;
    } cases[] = {
        {I().array({I().str("first.txt"), I().str("old 2"), I().str("old 3")}), "\"a.txt\" \"b.txt\"", "first.txt",
         {"a.txt", "b.txt"}},
        {I().array({th::Interp::integer(5)}), "b.txt", "", {"b.txt"}},
    };
    for (const Case &c : cases) {
        Driver d(c.typed, true);
        EXPECT_TRUE(select(c.array));
        EXPECT_EQ(c.shown, d.seen().name);
        EXPECT_EQ(std::vector<int>{0}, I().arrayOf(c.array)->sizeSets);
        std::vector<th::Val> got = I().elements(c.array);
        ASSERT_EQ(c.chosen.size(), got.size()) << c.typed;
        for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i].isText(dir.file(c.chosen[i]))) << got[i].s;
        EXPECT_TRUE(I().parmWrites.empty());
    }
}

}  // namespace
