#include "paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scratch.h"
#include "sysenv.h"

namespace {

struct Split {
    const char *result;
    std::string dir, name, ext;
};

Split split(const char *path) {
    char d[kQvMaxPath] = "?", n[kQvMaxPath] = "?", e[kQvMaxPath] = "?";
    const char *r = path_split(path, d, sizeof d, n, sizeof n, e, sizeof e);
    return {r, d, n, e};
}

TEST(PathSplit, OrdinaryPathsGiveDirectoryNameAndLastExtension) {
    Split s = split("C:/dir/sub\\file.tar.gz");
    EXPECT_NE(nullptr, s.result);
    EXPECT_EQ("C:\\dir\\sub\\", s.dir);
    EXPECT_EQ("file.tar", s.name);
    EXPECT_EQ(".gz", s.ext);
    s = split("file");
    EXPECT_EQ("", s.dir);
    EXPECT_EQ("file", s.name);
    EXPECT_EQ("", s.ext);
    s = split("dir.d/.profile");
    EXPECT_EQ("dir.d\\", s.dir);
    EXPECT_EQ("", s.name);
    EXPECT_EQ(".profile", s.ext);
    s = split("dir\\");
    EXPECT_EQ("dir\\", s.dir);
    EXPECT_EQ("", s.name);
}

TEST(PathSplit, BtrvLocationsPutTheFileParameterInName) {
    Split s = split("btrv://host/db");
    EXPECT_EQ("btrv://host/db", s.dir);
    EXPECT_EQ("", s.name);
    EXPECT_EQ("", s.ext);
    s = split("BTRV:/db?mode=r&file = orders.btr.bak&x=1");
    EXPECT_NE(nullptr, s.result);
    EXPECT_EQ("BTRV:/db?mode=r&file = %NAME%&x=1", s.dir);
    EXPECT_EQ("orders", s.name);
    EXPECT_EQ(".btr.bak", s.ext);
    // Without a dot the rest of the location is kept behind the token.
    s = split("btrv:/db?file==orders&x=1");
    EXPECT_EQ("btrv:/db?file==%NAME%&x=1", s.dir);
    EXPECT_EQ("orders", s.name);
    EXPECT_EQ("", s.ext);
}

TEST(PathSplit, BtrvWithoutFileParameterWritesNothing) {
    for (const char *p : {"btrv:/db?x=1", "btrv:/db?profile=a.b", "btrv:/db?file", "btrv:/db?filename=a"}) {
        Split s = split(p);
        EXPECT_EQ(nullptr, s.result) << p;
        EXPECT_EQ("?", s.dir) << p;
        EXPECT_EQ("?", s.name) << p;
    }
}

TEST(PathSplit, OutputsTakeTheirSizesAndMayBeNull) {
    char d[4] = "?", n[8] = "?", e[5] = "?";
    EXPECT_EQ(nullptr, path_split("abc\\name.ext", d, sizeof d, n, sizeof n, e, sizeof e));
    EXPECT_STREQ("?", d);
    EXPECT_STREQ("?", n);
    const char *p = "ab\\name.ext";
    EXPECT_EQ(p, path_split(p, d, sizeof d, n, sizeof n, e, sizeof e));
    EXPECT_STREQ("ab\\", d);
    EXPECT_STREQ(".ext", e);
    EXPECT_EQ(p, path_split(p, nullptr, 0, n, sizeof n, nullptr, 0));
    EXPECT_STREQ("name", n);
    EXPECT_EQ(nullptr, path_split("btrv:x?file=%s", d, sizeof d, nullptr, 0, nullptr, 0));
}

TEST(PathParts, AbsolutenessAndSlashesOfBtrvLocations) {
    for (const char *a : {"C:x", "\\\\srv\\s", "/x", "$DATA", "Btrv:t"}) EXPECT_TRUE(path_isAbsolute(a)) << a;
    for (const char *r : {"x", "sub\\x", "", ".\\x"}) EXPECT_FALSE(path_isAbsolute(r)) << r;
    char s1[] = "a/b/c", s2[] = "btrv://h/t";
    EXPECT_STREQ("a\\b\\c", path_normSlashes(s1));
    EXPECT_STREQ("btrv://h/t", path_normSlashes(s2));
}

TEST(PathExists, DollarAndBtrvAlwaysExistOthersOnDisk) {
    EXPECT_TRUE(path_exists("$anything"));
    EXPECT_TRUE(path_exists("BTRV:table"));
    EXPECT_FALSE(path_exists(""));
    scratch::Dir d;
    d.write("f.ini", "x");
    EXPECT_TRUE(path_exists(d.file("f.ini").c_str()));
    EXPECT_TRUE(path_exists((d.path() + "\\f.ini").c_str()));
    EXPECT_FALSE(path_exists(d.file("g.ini").c_str()));
}

std::string replaced(std::string text, size_t cap, const char *token, const char *repl,
                     bool collapse = false, size_t *need = nullptr) {
    std::vector<char> buf(std::max(cap, text.size() + 1), '#');
    std::memcpy(buf.data(), text.c_str(), text.size() + 1);
    size_t r = txt_replaceAll(buf.data(), cap, token, repl, collapse);
    if (need) *need = r;
    return buf.data();
}

TEST(ReplaceAll, GrowsShrinksOrAnswersTheNeededSizeUnchanged) {
    size_t need = 1;
    EXPECT_EQ("x[ab]y[ab]", replaced("x%N%y%N%", 11, "%N%", "[ab]", false, &need));
    EXPECT_EQ(0u, need);
    EXPECT_EQ("x-y-", replaced("x%N%y%N%", 9, "%N%", "-"));
    EXPECT_EQ("b%N%b%N%", replaced("%N%%N%", 9, "%N%", "b%N%"));  // no rescan
    EXPECT_EQ("ba", replaced("aaa", 4, "aa", "b"));
    EXPECT_EQ("abc", replaced("abc", 4, "", "x"));
    EXPECT_EQ("a%N%\\\\b", replaced("a%N%\\\\b", 9, "%N%", "12345", true, &need));
    EXPECT_EQ(10u, need);  // 7 - 3 + 5 + 1
    EXPECT_EQ("a12345\\b", replaced("a%N%\\\\b", 10, "%N%", "12345", true, &need));
    EXPECT_EQ(0u, need);
}

TEST(CollapseBackslashes, KeepsTheLeadingOnesAndShortensEveryRun) {
    char a[] = "\\\\srv\\\\share\\\\\\x";
    EXPECT_EQ(3u, path_collapseBackslashes(a));
    EXPECT_STREQ("\\\\srv\\share\\x", a);
    char b[] = " \t\\\\\\a\\\\";
    EXPECT_EQ(1u, path_collapseBackslashes(b));
    EXPECT_STREQ(" \t\\\\\\a\\", b);
    char c[] = "no runs";
    EXPECT_EQ(0u, path_collapseBackslashes(c));
}

// Records every candidate path_search tests; accepts the one named.
struct Probe {
    static std::vector<std::string> seen;
    static std::string accept;
    static bool test(const char *p) {
        seen.push_back(p);
        return accept == p;
    }
};
std::vector<std::string> Probe::seen;
std::string Probe::accept;

std::vector<std::string> probe(const char *name, const char *list, const char *ext, bool tried,
                               const char *accept, int *found = nullptr, std::string *out = nullptr) {
    Probe::seen.clear();
    Probe::accept = accept ? accept : "";
    char buf[kQvMaxPath];
    int r = path_search(buf, name, list, ext, tried, Probe::test);
    if (found) *found = r;
    if (out) *out = buf;
    return Probe::seen;
}

using Seen = std::vector<std::string>;

TEST(PathSearch, TriesEachElementInOrderWithTheDefaultExtension) {
    int found = -1;
    std::string out;
    EXPECT_EQ((Seen{"a\\s.ini", "b\\s.ini", "c\\s.ini"}),
              probe("s", " a ;b\\;\tc/ ", ".ini", false, "c\\s.ini", &found, &out));
    EXPECT_EQ(1, found);
    EXPECT_EQ("c\\s.ini", out);
    EXPECT_EQ((Seen{"a\\s.cfg", "b\\s.cfg"}), probe("s.cfg", "a;b", ".ini", false, nullptr, &found));
    EXPECT_EQ(0, found);
}

TEST(PathSearch, EmptyElementsAndBtrvElements) {
    // An empty element in the middle stands for the bare name; an empty
    // last element ends the search untested.
    EXPECT_EQ((Seen{"a\\s.ini", "s.ini", "btrv:db?file=s.ini&m=1"}),
              probe("s", "a;;btrv:db?file=%NAME%&m=1;", ".ini", false, nullptr));
    EXPECT_EQ((Seen{"s.ini"}), probe("s", ";", ".ini", false, nullptr));
}

TEST(PathSearch, NamesWithDriveOrSlashAreTestedUnchanged) {
    int found = -1;
    EXPECT_EQ((Seen{"C:\\x\\s.ini"}), probe("C:/x/s", "a;b", ".ini", false, nullptr, &found));
    EXPECT_EQ(0, found);
    EXPECT_EQ((Seen{"sub\\s.ini"}), probe("sub/s.ini", "a;b", nullptr, false, "sub\\s.ini", &found));
    EXPECT_EQ(1, found);
    EXPECT_EQ((Seen{"s.ini"}), probe("s.ini", "", nullptr, false, nullptr));
    EXPECT_EQ((Seen{"s.ini"}), probe("s.ini", nullptr, nullptr, false, nullptr));
}

TEST(PathSearch, AlreadyTriedNameComesFirstAndNoTestTakesTheFirstCandidate) {
    EXPECT_EQ((Seen{"s.ini", "a\\s.ini"}), probe("s.ini", "a", nullptr, true, nullptr));
    char out[kQvMaxPath];
    EXPECT_EQ(1, path_search(out, "s", "a;b", ".ini", false, nullptr));
    EXPECT_STREQ("a\\s.ini", out);
}

TEST(PathSearch, CandidatesThatDoNotFitAreSkipped) {
    std::string longDir(kQvMaxPath - 4, 'd');
    std::string list = longDir + ";ok";
    EXPECT_EQ((Seen{"ok\\s.ini"}), probe("s", list.c_str(), ".ini", false, nullptr));
    std::string longName(kQvMaxPath, 'n');
    int found = -1;
    EXPECT_EQ(Seen{}, probe(longName.c_str(), "a", nullptr, false, nullptr, &found));
    EXPECT_EQ(0, found);
    // The element fits, the name put into it does not.
    std::string btrv = "btrv:" + std::string(kQvMaxPath - 12, 'b') + "%NAME%;x";
    EXPECT_EQ((Seen{"x\\longer.ini"}), probe("longer", btrv.c_str(), ".ini", false, nullptr));
}

}  // namespace
