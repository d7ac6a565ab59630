// dirwalk.dll registered with the stand-in interpreter; its functions run
// on a temporary tree and are compared with the system's own answers.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "regmodule.h"

namespace {

th::Interp &I() { return th::Interp::get(); }

struct Entry {
    std::string name;
    int32_t attributes;
    int32_t size;
    bool operator<(const Entry &o) const { return name < o.name; }
    bool operator==(const Entry &o) const {
        return name == o.name && attributes == o.attributes && size == o.size;
    }
};

struct Dirwalk : ::testing::Test {
    void SetUp() override {
        I().reset();
        I().enableAll();
        dw = std::make_unique<th::RegModule>("dirwalk.dll");
    }
    void TearDown() override { EXPECT_TRUE(I().trapsHit.empty()); }

    VALUE s(const std::string &text) { return I().str(text); }
    bool boolCall(const std::string &name, const std::vector<VALUE> &args = {}) {
        th::Val v = dw->call(name, args);
        EXPECT_EQ(V_BOOL, v.type) << name;
        return v.b;
    }
    std::string textCall(const std::string &name, const std::vector<VALUE> &args = {}) {
        th::Val v = dw->call(name, args);
        EXPECT_EQ(V_STRING, v.type) << name;
        return v.s;
    }
    // The entry the last search call wrote into parameters first..first+2.
    Entry written(int first) {
        Entry e{"", -1, -1};
        for (const th::ParmWrite &w : I().parmWrites) {
            if (w.n == first && w.v.type == V_STRING) e.name = w.v.s;
            if (w.n == first + 1 && w.v.type == V_INTEGER) e.attributes = w.v.i;
            if (w.n == first + 2 && w.v.type == V_INTEGER) e.size = w.v.i;
        }
        EXPECT_EQ(3u, I().parmWrites.size());
        return e;
    }
    bool findFirst(const std::string &mask, Entry *e = nullptr) {
        bool found = boolCall("FileFindFirst", {s(mask), th::Interp::undef(), th::Interp::undef(), th::Interp::undef()});
        if (found && e) *e = written(1);
        if (!found) {
            EXPECT_TRUE(I().parmWrites.empty());
        }
        return found;
    }
    bool findNext(Entry *e = nullptr) {
        bool found = boolCall("FileFindNext", {th::Interp::undef(), th::Interp::undef(), th::Interp::undef()});
        if (found && e) *e = written(0);
        if (!found) {
            EXPECT_TRUE(I().parmWrites.empty());
        }
        return found;
    }

    std::unique_ptr<th::RegModule> dw;
    th::TempDir dir;
};

// The system's own listing, without "." and "..".
std::set<Entry> systemListing(const std::string &mask) {
    std::set<Entry> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(mask.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::string n = fd.cFileName;
        if (n == "." || n == "..") continue;
        int32_t attr = fd.dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : static_cast<int32_t>(fd.dwFileAttributes);
        out.insert({n, attr, static_cast<int32_t>(fd.nFileSizeLow)});
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

TEST_F(Dirwalk, RegistersTheAttributeConstantsAndTheFunctions) {
    const std::map<std::string, int> constants{
        {"DIRWALK_A_NORMAL", 0}, {"DIRWALK_A_RDONLY", 1}, {"DIRWALK_A_HIDDEN", 2},
        {"DIRWALK_A_SYSTEM", 4}, {"DIRWALK_A_SUBDIR", 16}, {"DIRWALK_A_ARCH", 32},
    };
    ASSERT_EQ(constants.size(), I().vars.size());
    for (const th::VarReg &v : I().vars) {
        ASSERT_TRUE(constants.count(v.name)) << v.name;
        EXPECT_EQ(V_INTEGER, v.type) << v.name;
        th::Val set = I().var(v.name);
        EXPECT_EQ(V_INTEGER, set.type) << v.name;
        EXPECT_EQ(constants.at(v.name), set.i) << v.name;
    }
    const std::map<std::string, int> kinds{
        {"FileFindFirst", 7}, {"FileFindNext", 7}, {"FileFindClose", 7}, {"FileDelete", 7},
        {"DirDelete", 7},     {"MakeDir", 7},      {"FileRename", 7},    {"GetCWD", 6},
        {"GetShortFileName", 6}, {"CreateGUID", 6},
    };
    ASSERT_EQ(kinds.size(), I().procs.size());
    for (const th::ProcReg &p : I().procs) {
        ASSERT_TRUE(kinds.count(p.name)) << p.name;
        EXPECT_EQ(kinds.at(p.name), p.kind) << p.name;
        EXPECT_EQ(0, p.zero) << p.name;
    }
}

TEST_F(Dirwalk, OtherExportsDoNothingTheHostCanSee) {
    I().calls.clear();
    th::Module &m = dw->module();
    reinterpret_cast<ZamInitExecFn>(m.proc("_InitExec@0"))();
    reinterpret_cast<ZamDoneExecFn>(m.proc("_DoneExec@0"))();
    reinterpret_cast<ZamAttachFn>(m.proc("_ZamAttach@4"))(1);
    EXPECT_EQ(0, reinterpret_cast<ZamDlmMainFn>(m.proc("_DlmMain@8"))(1, 2));
    EXPECT_TRUE(I().calls.empty());
}

TEST_F(Dirwalk, NestedSearchesReturnToTheOuterSearchWhereItStopped) {
    dir.write("a.txt", "abc");
    dir.write("b.dat", "12345");
    dir.write("c.txt", "");
    CreateDirectoryA(dir.file("sub").c_str(), nullptr);
    dir.write("sub\\x.txt", "xx");
    dir.write("sub\\y.txt", "yyyy");
    SetFileAttributesA(dir.file("c.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    std::set<Entry> outer, inner;
    Entry e;
    ASSERT_TRUE(findFirst(dir.file("*"), &e));
    for (;;) {
        outer.insert(e);
        if (e.name == "sub") {
            EXPECT_EQ(16, e.attributes & 16);
            ASSERT_TRUE(findFirst(dir.file("sub\\*"), &e));
            do inner.insert(e);
            while (findNext(&e));
            EXPECT_TRUE(boolCall("FileFindClose"));
        }
        if (!findNext(&e)) break;
    }
    EXPECT_TRUE(boolCall("FileFindClose"));
    EXPECT_EQ(systemListing(dir.file("*")), outer);
    EXPECT_EQ(systemListing(dir.file("sub\\*")), inner);
    EXPECT_EQ(4u, outer.size());
    for (const Entry &x : outer) {
        if (x.name == "c.txt") {
            EXPECT_EQ(1, x.attributes & 1);
        }
    }
    SetFileAttributesA(dir.file("c.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Dirwalk, AMaskMatchingOnlyDotsOrNothingFindsNothing) {
    CreateDirectoryA(dir.file("empty").c_str(), nullptr);
    EXPECT_FALSE(findFirst(dir.file("empty\\*")));
    EXPECT_FALSE(findNext());
    EXPECT_TRUE(boolCall("FileFindClose"));
    EXPECT_FALSE(findFirst(dir.file("none*.xyz")));
    EXPECT_FALSE(boolCall("FileFindClose"));
    EXPECT_FALSE(boolCall("FileFindFirst", {th::Interp::integer(5)}));
}

TEST_F(Dirwalk, AfterTheLastSearchIsClosedTheSearchFunctionsFailCleanly) {
    EXPECT_FALSE(findNext());
    EXPECT_FALSE(boolCall("FileFindClose"));
    dir.write("one.txt", "1");
    dir.write("two.txt", "2");
    ASSERT_TRUE(findFirst(dir.file("*.txt")));
    EXPECT_TRUE(boolCall("FileFindClose"));
    // A search of someone else's may now sit where the closed one was.
    WIN32_FIND_DATAA fd;
    HANDLE other = FindFirstFileA(dir.file("*").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_FALSE(findNext());
    EXPECT_FALSE(boolCall("FileFindClose"));
    int rest = 0;
    while (FindNextFileA(other, &fd)) ++rest;
    EXPECT_EQ(3, rest);  // "..", one.txt, two.txt after "."
    EXPECT_TRUE(FindClose(other));
    // A new search works as the first did.
    Entry e;
    ASSERT_TRUE(findFirst(dir.file("one.*"), &e));
    EXPECT_EQ("one.txt", e.name);
    EXPECT_EQ(1, e.size);
    EXPECT_FALSE(findNext());
    EXPECT_TRUE(boolCall("FileFindClose"));
    EXPECT_FALSE(findNext());
}

bool exists(const std::string &p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST_F(Dirwalk, FileAndDirectoryOperationsAnswerWhetherTheyWorked) {
    std::string d = dir.file("made"), f = dir.file("made\\f.txt"), g = dir.file("made\\g.txt");
    EXPECT_TRUE(boolCall("MakeDir", {s(d)}));
    EXPECT_TRUE(exists(d));
    EXPECT_FALSE(boolCall("MakeDir", {s(d)}));
    dir.write("made\\f.txt", "data");
    EXPECT_TRUE(boolCall("FileRename", {s(f), s(g)}));
    EXPECT_FALSE(exists(f));
    EXPECT_EQ("data", dir.read("made\\g.txt"));
    EXPECT_FALSE(boolCall("FileRename", {s(f), s(g)}));
    EXPECT_FALSE(boolCall("DirDelete", {s(d)}));
    EXPECT_TRUE(boolCall("FileDelete", {s(g)}));
    EXPECT_FALSE(exists(g));
    EXPECT_FALSE(boolCall("FileDelete", {s(g)}));
    EXPECT_TRUE(boolCall("DirDelete", {s(d)}));
    EXPECT_FALSE(exists(d));
    // Parameters that are not strings.
    VALUE n = th::Interp::integer(1);
    for (const char *fn : {"MakeDir", "DirDelete", "FileDelete"}) EXPECT_FALSE(boolCall(fn, {n})) << fn;
    EXPECT_FALSE(boolCall("FileRename", {s(f), n}));
    EXPECT_FALSE(boolCall("FileRename", {}));
}

TEST_F(Dirwalk, CurrentDirectoryIsTheProcesses) {
    char saved[MAX_PATH + 1], expected[MAX_PATH + 1];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(dir.path().c_str());
    GetCurrentDirectoryA(sizeof expected, expected);
    EXPECT_EQ(expected, textCall("GetCWD"));
    SetCurrentDirectoryA(saved);
}

TEST_F(Dirwalk, ShortNamesAreTheSystemsAlternateNames) {
    const char *longName = "A rather long file name.text";
    dir.write(longName, "x");
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(dir.file(longName).c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    std::string alternate = fd.cAlternateFileName;
    ASSERT_FALSE(alternate.empty()) << "the system records no short name here";
    EXPECT_EQ(alternate, textCall("GetShortFileName", {s(dir.file(longName))}));

    // No short name: the path itself.
    dir.write("SHORT.TXT", "x");
    h = FindFirstFileA(dir.file("SHORT.TXT").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    std::string expectShort = fd.cAlternateFileName[0] ? fd.cAlternateFileName : dir.file("SHORT.TXT");
    EXPECT_EQ(expectShort, textCall("GetShortFileName", {s(dir.file("SHORT.TXT"))}));
    EXPECT_EQ(dir.file("missing name.txt"), textCall("GetShortFileName", {s(dir.file("missing name.txt"))}));
    EXPECT_EQ("", textCall("GetShortFileName", {s("")}));
    std::string longPath = "C:\\" + std::string(300, 'p');
    EXPECT_EQ(longPath.substr(0, 259), textCall("GetShortFileName", {s(longPath)}));
    EXPECT_EQ("", textCall("GetShortFileName", {th::Interp::integer(3)}));
}

TEST_F(Dirwalk, NewGuidsAreHexadecimalGroupsWithoutBraces) {
    std::string a = textCall("CreateGUID"), b = textCall("CreateGUID");
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(a, form)) << a;
    EXPECT_TRUE(std::regex_match(b, form)) << b;
    EXPECT_NE(a, b);
    std::wstring braced = L"{" + std::wstring(a.begin(), a.end()) + L"}";
    CLSID parsed;
    EXPECT_EQ(S_OK, CLSIDFromString(braced.c_str(), &parsed));
}

}  // namespace
