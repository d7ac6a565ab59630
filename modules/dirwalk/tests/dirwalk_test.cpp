// dirwalk.dll registered with the stand-in interpreter, run on a temporary
// tree and compared with the system's own answers.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "regmodule.h"
#include "unique_handle.h"

namespace {

th::Interp &I() { return th::Interp::get(); }

// "name attributes size" of a found file, as dirwalk or the system reports it.
std::string entry(const std::string &name, DWORD attributes, DWORD size) {
    DWORD shown = attributes == FILE_ATTRIBUTE_NORMAL ? 0 : attributes;
    return name + " " + std::to_string(shown) + " " + std::to_string(size);
}

// The system's own listing, without "." and "..".
std::set<std::string> systemListing(const std::string &mask) {
    std::set<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(mask.c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd))
        if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..")
            out.insert(entry(fd.cFileName, fd.dwFileAttributes, fd.nFileSizeLow));
    FindClose(h);
    return out;
}

struct Dirwalk : ::testing::Test {
    void SetUp() override {
        I().reset();
        I().enableAll();
        dw = std::make_unique<th::RegModule>("dirwalk.dll");
    }
    void TearDown() override { EXPECT_TRUE(I().trapsHit.empty()); }

    VALUE s(const std::string &text) { return I().str(text); }
    th::Val call(const std::string &name, const std::vector<VALUE> &args = {}) { return dw->call(name, args); }
    bool ok(const std::string &name, const std::vector<VALUE> &args = {}) {
        th::Val v = call(name, args);
        EXPECT_EQ(V_BOOL, v.type) << name;
        return v.b;
    }
    // A search step: a found entry is written to parameters first..first+2
    // (into `found`), a miss writes nothing.
    bool search(bool hit, int first) {
        const std::vector<th::ParmWrite> &w = I().parmWrites;
        EXPECT_EQ(hit ? 3u : 0u, w.size());
        if (hit && w.size() == 3 && w[0].n == first && w[1].n == first + 1 && w[2].n == first + 2)
            found = entry(w[0].v.s, static_cast<DWORD>(w[1].v.i), static_cast<DWORD>(w[2].v.i));
        return hit;
    }
    bool findFirst(const std::string &mask) {
        VALUE u = th::Interp::undef();
        return search(ok("FileFindFirst", {s(dir.file(mask)), u, u, u}), 1);
    }
    bool findNext() {
        VALUE u = th::Interp::undef();
        return search(ok("FileFindNext", {u, u, u}), 0);
    }

    std::unique_ptr<th::RegModule> dw;
    th::TempDir dir;
    std::string found;
};

TEST_F(Dirwalk, RegistersTheAttributeConstantsAndTheFunctions) {
    std::vector<std::string> got;
    for (const th::VarReg &v : I().vars) {
        th::Val set = I().var(v.name);
        got.push_back(v.name + "=" + (v.type == V_INTEGER && set.type == V_INTEGER ? std::to_string(set.i) : "?"));
    }
    for (const th::ProcReg &p : I().procs) got.push_back(p.name + ":" + std::to_string(p.kind));
    EXPECT_EQ((std::vector<std::string>{"DIRWALK_A_NORMAL=0", "DIRWALK_A_RDONLY=1", "DIRWALK_A_HIDDEN=2",
                                        "DIRWALK_A_SYSTEM=4", "DIRWALK_A_SUBDIR=16", "DIRWALK_A_ARCH=32",
                                        "FileFindFirst:7", "FileFindNext:7", "FileFindClose:7", "FileDelete:7",
                                        "DirDelete:7", "MakeDir:7", "FileRename:7", "GetCWD:6",
                                        "GetShortFileName:6", "CreateGUID:6"}),
              got);
}

TEST_F(Dirwalk, NestedSearchesReturnToTheOuterSearchWhereItStopped) {
    dir.write("a.txt", "abc");
    dir.write("c.txt", "");
    CreateDirectoryA(dir.file("sub").c_str(), nullptr);
    CreateDirectoryA(dir.file("sub\\empty").c_str(), nullptr);
    dir.write("sub\\x.txt", "xx");
    SetFileAttributesA(dir.file("c.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    std::set<std::string> outer, inner;
    ASSERT_TRUE(findFirst("*"));
    do {
        outer.insert(found);
        if (found.rfind("sub ", 0) != 0) continue;
        ASSERT_TRUE(findFirst("sub\\*"));
        do inner.insert(found);
        while (findNext());
        // Only "." and "..", or nothing: not found, yet a search to close.
        EXPECT_FALSE(findFirst("sub\\empty\\*"));
        EXPECT_TRUE(ok("FileFindClose"));
        EXPECT_FALSE(findFirst("sub\\none*.xyz"));
        EXPECT_FALSE(ok("FileFindClose"));
        EXPECT_TRUE(ok("FileFindClose"));
    } while (findNext());
    EXPECT_TRUE(ok("FileFindClose"));
    EXPECT_EQ(3u, outer.size());
    EXPECT_EQ(systemListing(dir.file("*")), outer);
    EXPECT_EQ(systemListing(dir.file("sub\\*")), inner);
    SetFileAttributesA(dir.file("c.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(ok("FileFindFirst", {th::Interp::integer(5)}));
}

TEST_F(Dirwalk, AfterTheLastSearchIsClosedTheSearchFunctionsFailCleanly) {
    EXPECT_FALSE(findNext());
    EXPECT_FALSE(ok("FileFindClose"));
    dir.write("one.txt", "1");
    dir.write("two.txt", "2");
    ASSERT_TRUE(findFirst("*.txt"));
    EXPECT_TRUE(ok("FileFindClose"));
    // A search of someone else's may now sit where the closed one was.
    WIN32_FIND_DATAA fd;
    HANDLE other = FindFirstFileA(dir.file("*").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_FALSE(findNext());
    EXPECT_FALSE(ok("FileFindClose"));
    int rest = 0;
    while (FindNextFileA(other, &fd)) ++rest;
    EXPECT_EQ(3, rest);  // "..", one.txt, two.txt after "."
    EXPECT_TRUE(FindClose(other));
    ASSERT_TRUE(findFirst("one.*"));
    EXPECT_EQ(0u, found.rfind("one.txt ", 0));
    EXPECT_FALSE(findNext());
    EXPECT_TRUE(ok("FileFindClose"));
}

TEST_F(Dirwalk, FileAndDirectoryOperationsAnswerWhetherTheyWorked) {
    std::string d = dir.file("made"), f = dir.file("made\\f.txt"), g = dir.file("made\\g.txt");
    EXPECT_TRUE(ok("MakeDir", {s(d)}));
    EXPECT_FALSE(ok("MakeDir", {s(d)}));
    dir.write("made\\f.txt", "data");
    EXPECT_TRUE(ok("FileRename", {s(f), s(g)}));
    EXPECT_EQ("data", dir.read("made\\g.txt"));
    EXPECT_FALSE(ok("FileRename", {s(f), s(g)}));
    EXPECT_FALSE(ok("DirDelete", {s(d)}));
    EXPECT_TRUE(ok("FileDelete", {s(g)}));
    EXPECT_FALSE(ok("FileDelete", {s(g)}));
    EXPECT_TRUE(ok("DirDelete", {s(d)}));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.c_str()));
    VALUE n = th::Interp::integer(1);
    for (const char *fn : {"MakeDir", "DirDelete", "FileDelete"}) EXPECT_FALSE(ok(fn, {n})) << fn;
    EXPECT_FALSE(ok("FileRename", {s(f), n}));
    EXPECT_FALSE(ok("FileRename"));
}

TEST_F(Dirwalk, NamesAreTheSystemsAndOverlongPathsAreCut) {
    char cwd[MAX_PATH + 1];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_TRUE(call("GetCWD").isText(cwd));
    std::string longName = dir.file("A rather long file name.text");
    dir.write("A rather long file name.text", "x");
    WIN32_FIND_DATAA fd{};
    FindClose(FindFirstFileA(longName.c_str(), &fd));
    ASSERT_NE(0, fd.cAlternateFileName[0]) << "the system records no short name here";
    EXPECT_TRUE(call("GetShortFileName", {s(longName)}).isText(fd.cAlternateFileName));
    // No short name: the path itself, cut to 259 characters.
    std::string missing = dir.file("missing name.txt"), longPath = "C:\\" + std::string(300, 'p');
    EXPECT_TRUE(call("GetShortFileName", {s(missing)}).isText(missing));
    EXPECT_TRUE(call("GetShortFileName", {s(longPath)}).isText(longPath.substr(0, 259)));
    EXPECT_TRUE(call("GetShortFileName", {s("")}).isText(""));
    EXPECT_TRUE(call("GetShortFileName", {th::Interp::integer(3)}).isText(""));
    std::string a = call("CreateGUID").s, b = call("CreateGUID").s;
    EXPECT_TRUE(std::regex_match(a, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"))) << a;
    EXPECT_NE(a, b);
}

// Script strings are in the Windows code page (1251 here).
std::string ansi(const std::wstring &w) {
    char buf[MAX_PATH * 2];
    int n = WideCharToMultiByte(1251, 0, w.c_str(), static_cast<int>(w.size()), buf, sizeof buf, nullptr, nullptr);
    return std::string(buf, static_cast<size_t>(n > 0 ? n : 0));
}

TEST_F(Dirwalk, CyrillicNamesReachTheDiskAndComeBackInTheWindowsCodePage) {
    const std::wstring folder = L"Папка", file = L"Файл.txt", renamed = L"Новый файл.txt";
    std::wstring base = std::wstring(dir.path().begin(), dir.path().end()) + L"\\";
    std::string d = dir.file(ansi(folder));
    ASSERT_TRUE(ok("MakeDir", {s(d)}));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((base + folder).c_str()));
    winutil::unique_handle f(CreateFileW((base + folder + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_NEW, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(f && WriteFile(f.get(), "abc", 3, &written, nullptr));
    f.reset();
    ASSERT_TRUE(findFirst(ansi(folder) + "\\*"));
    EXPECT_EQ(0u, found.rfind(ansi(file) + " ", 0)) << found;
    EXPECT_EQ(found.size() - 2, found.rfind(" 3")) << found;
    EXPECT_TRUE(ok("FileFindClose"));
    EXPECT_TRUE(ok("FileRename", {s(d + "\\" + ansi(file)), s(d + "\\" + ansi(renamed))}));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((base + folder + L"\\" + renamed).c_str()));
    EXPECT_TRUE(ok("FileDelete", {s(d + "\\" + ansi(renamed))}));
    EXPECT_TRUE(ok("DirDelete", {s(d)}));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((base + folder).c_str()));
}

TEST_F(Dirwalk, EndOfTheScriptRunClosesTheSearchesLeftOpen) {
    auto doneExec = reinterpret_cast<ZamDoneExecFn>(dw->module().proc("_DoneExec@0"));
    ASSERT_TRUE(doneExec);
    doneExec();
    CreateDirectoryA(dir.file("inner").c_str(), nullptr);
    dir.write("a.txt", "a");
    ASSERT_TRUE(findFirst("*"));
    EXPECT_FALSE(findFirst("inner\\*"));  // only "." and "..", yet open
    doneExec();
    // As if no search was ever started.
    EXPECT_FALSE(findNext());
    EXPECT_FALSE(ok("FileFindClose"));
    ASSERT_TRUE(findFirst("a.*"));
    EXPECT_TRUE(ok("FileFindClose"));
}

}  // namespace
