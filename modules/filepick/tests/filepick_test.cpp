// filepick.dll registered with the stand-in interpreter; a second thread
// drives the real file dialog that TrmSelectFile shows.
#include <gtest/gtest.h>

#include <atomic>
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

std::string oemToAnsi(const std::string &oem) {
    std::string ansi(oem);
    OemToCharBuffA(oem.data(), &ansi[0], static_cast<DWORD>(oem.size()));
    return ansi;
}

std::string windowText(HWND h) {
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(h)) + 2, 0);
    GetWindowTextA(h, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// What the driver saw of the dialog before it answered.
struct Seen {
    bool shown = false;
    std::string title;
    std::string name;
    std::string okText;
    std::vector<std::string> filters;
};

HWND findDialog() {
    struct Search {
        HWND found;
    } s{nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            char cls[32] = "";
            GetClassNameA(h, cls, sizeof cls);
            if (pid != GetCurrentProcessId() || std::string(cls) != "#32770" || !IsWindowVisible(h)) return TRUE;
            reinterpret_cast<Search *>(p)->found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Waits for the dialog, notes what it shows, types `name` (unless null)
// and presses OK, or Cancel when `ok` is false.
class Driver {
public:
    Driver(const char *name, bool ok) : name_(name ? name : ""), typeName_(name != nullptr), ok_(ok) {
        thread_ = std::thread([this] { run(); });
    }
    ~Driver() {
        if (thread_.joinable()) thread_.join();
    }
    const Seen &seen() {
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void run() {
        HWND dlg = nullptr;
        for (int i = 0; i < 500 && !dlg; ++i) {
            Sleep(20);
            dlg = findDialog();
        }
        if (!dlg) return;
        Sleep(100);  // let the dialog finish filling its controls
        seen_.shown = true;
        seen_.title = windowText(dlg);
        seen_.name = windowText(GetDlgItem(dlg, cmb13));
        seen_.okText = windowText(GetDlgItem(dlg, IDOK));
        HWND types = GetDlgItem(dlg, cmb1);
        LRESULT n = SendMessageA(types, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            char item[512] = "";
            SendMessageA(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            seen_.filters.push_back(item);
        }
        if (typeName_) SendMessageA(dlg, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(name_.c_str()));
        PostMessageA(dlg, WM_COMMAND, ok_ ? IDOK : IDCANCEL, 0);
    }

    std::string name_;
    bool typeName_;
    bool ok_;
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
    std::vector<VALUE> args(const VALUE &first, const char *filter, const char *dir, const char *title, bool save) {
        return {th::Interp::undef(), first, filter ? I().str(filter) : th::Interp::undef(),
                dir ? I().str(dir) : th::Interp::undef(), title ? I().str(title) : th::Interp::undef(),
                th::Interp::boolean(save)};
    }
    bool result() {
        EXPECT_EQ(1u, I().returns.size());
        return !I().returns.empty() && I().returns[0].type == V_BOOL && I().returns[0].b;
    }

    std::unique_ptr<th::RegModule> fp;
    th::TempDir dir;
};

TEST_F(Filepick, RegistersTrmSelectFile) {
    ASSERT_EQ(1u, I().procs.size());
    EXPECT_EQ("TrmSelectFile", I().procs[0].name);
    EXPECT_EQ(1, I().procs[0].kind);
}

TEST_F(Filepick, OpenDialogHandsTheChosenPathBackInTheFirstArgument) {
    dir.write("pick.txt", "x");
    std::string title(kTitleOem);
    Driver d("pick.txt", true);
    I().call("TrmSelectFile", args(I().str("start.txt"), "Text (*.txt)|*.txt", dir.path().c_str(), title.c_str(), false));
    const Seen &seen = d.seen();
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(result());
    ASSERT_EQ(1u, I().parmWrites.size());
    EXPECT_EQ(1, I().parmWrites[0].n);
    EXPECT_TRUE(I().parmWrites[0].v.isText(dir.file("pick.txt"))) << I().parmWrites[0].v.s;
    // An old-style host: title and filter came in the OEM code page.
    EXPECT_EQ(oemToAnsi(title), seen.title);
    EXPECT_EQ("start.txt", seen.name);
    EXPECT_EQ((std::vector<std::string>{"Text (*.txt)", oemToAnsi(kAllFilesOem)}), seen.filters);
}

TEST_F(Filepick, AnsiScriptStringsAreShownAsTheyCome) {
    newHost(true);
    std::string title = oemToAnsi(kTitleOem);
    Driver d(nullptr, false);
    I().call("TrmSelectFile", args(th::Interp::undef(), nullptr, dir.path().c_str(), title.c_str(), false));
    const Seen &seen = d.seen();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(title, seen.title);
    EXPECT_EQ(std::vector<std::string>{oemToAnsi(kAllFilesOem)}, seen.filters);
    EXPECT_FALSE(result());
    EXPECT_TRUE(I().parmWrites.empty());
}

TEST_F(Filepick, SaveDialogTakesANewNameAndCancelWritesNothing) {
    std::string openOk, saveOk;
    {
        Driver d(nullptr, false);
        I().call("TrmSelectFile", args(I().str("a.txt"), nullptr, dir.path().c_str(), nullptr, false));
        openOk = d.seen().okText;
        EXPECT_FALSE(result());
        EXPECT_TRUE(I().parmWrites.empty());
    }
    Driver d("new file.dat", true);
    I().call("TrmSelectFile", args(I().str(""), nullptr, dir.path().c_str(), nullptr, true));
    saveOk = d.seen().okText;
    EXPECT_TRUE(result());
    ASSERT_EQ(1u, I().parmWrites.size());
    EXPECT_TRUE(I().parmWrites[0].v.isText(dir.file("new file.dat"))) << I().parmWrites[0].v.s;
    EXPECT_NE(openOk, saveOk) << "the open and the save dialog look alike";
}

TEST_F(Filepick, MultiSelectionEmptiesTheArrayAndFillsItWithTheChosenFiles) {
    newHost(false);
    dir.write("a.txt", "a");
    dir.write("b.txt", "b");
    VALUE array = I().array({I().str("first.txt"), I().str("old 2"), I().str("old 3")});
    Driver d("\"a.txt\" \"b.txt\"", true);
    I().call("TrmSelectFile", args(array, nullptr, dir.path().c_str(), nullptr, false));
    const Seen &seen = d.seen();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ("first.txt", seen.name);
    EXPECT_TRUE(result());
    EXPECT_EQ(std::vector<int>{0}, I().arrayOf(array)->sizeSets);
    std::vector<th::Val> got = I().elements(array);
    ASSERT_EQ(2u, got.size());
    EXPECT_TRUE(got[0].isText(dir.file("a.txt"))) << got[0].s;
    EXPECT_TRUE(got[1].isText(dir.file("b.txt"))) << got[1].s;
    EXPECT_TRUE(I().parmWrites.empty());
}

TEST_F(Filepick, OneFileOfAMultiSelectionIsElementZero) {
    newHost(false);
    dir.write("only.txt", "o");
    VALUE array = I().array({th::Interp::integer(5)});
    Driver d("only.txt", true);
    I().call("TrmSelectFile", args(array, nullptr, dir.path().c_str(), nullptr, false));
    EXPECT_EQ("", d.seen().name);
    EXPECT_TRUE(result());
    std::vector<th::Val> got = I().elements(array);
    ASSERT_EQ(1u, got.size());
    EXPECT_TRUE(got[0].isText(dir.file("only.txt"))) << got[0].s;
}

TEST_F(Filepick, AnInitialNameLongerThanTheBufferIsCut) {
    std::string huge(9000, 'n');
    Driver d(nullptr, false);
    I().call("TrmSelectFile", args(I().str(huge), nullptr, dir.path().c_str(), nullptr, false));
    const Seen &seen = d.seen();
    ASSERT_TRUE(seen.shown);
    EXPECT_FALSE(result());
    EXPECT_EQ(std::string(8195, 'n'), seen.name);
}

}  // namespace
