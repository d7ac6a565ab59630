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

TEST(PathSplit, GivesDirectoryNameAndExtensionOrForBtrvTheFileParameter) {
    const struct {
        const char *path, *dir, *name, *ext;  // dir null: nothing found, nothing written
    } cases[] = {
        {"C:/dir/sub\\file.tar.gz", "C:\\dir\\sub\\", "file.tar", ".gz"}, {"file", "", "file", ""},
        {"dir.d/.profile", "dir.d\\", "", ".profile"}, {"dir\\", "dir\\", "", ""},
        {"btrv://host/db", "btrv://host/db", "", ""},
        {"BTRV:/db?mode=r&file = orders.btr.bak&x=1", "BTRV:/db?mode=r&file = %NAME%&x=1", "orders", ".btr.bak"},
        // Without a dot the rest of the location is kept behind the token.
        {"btrv:/db?file==orders&x=1", "btrv:/db?file==%NAME%&x=1", "orders", ""},
        {"btrv:/db?x=1", nullptr, "?", "?"},  {"btrv:/db?profile=a.b", nullptr, "?", "?"},
        {"btrv:/db?file", nullptr, "?", "?"}, {"btrv:/db?filename=a", nullptr, "?", "?"},
    };
    for (const auto &c : cases) {
        Split s = split(c.path);
        EXPECT_EQ(c.dir != nullptr, s.result != nullptr) << c.path;
        EXPECT_EQ(c.dir ? c.dir : "?", s.dir) << c.path;
        EXPECT_EQ(c.name, s.name) << c.path;
        EXPECT_EQ(c.ext, s.ext) << c.path;
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

TEST(PathParts, AbsolutenessSlashesAndExistenceOfDollarAndBtrvLocations) {
    for (const char *a : {"C:x", "\\\\srv\\s", "/x", "$DATA", "Btrv:t"}) EXPECT_TRUE(path_isAbsolute(a)) << a;
    for (const char *r : {"x", "sub\\x", "", ".\\x"}) EXPECT_FALSE(path_isAbsolute(r)) << r;
    char s1[] = "a/b/c", s2[] = "btrv://h/t";
    EXPECT_STREQ("a\\b\\c", path_normSlashes(s1));
    EXPECT_STREQ("btrv://h/t", path_normSlashes(s2));
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
    const struct {
        const char *in, *out;
        size_t removed;
    } cases[] = {{"\\\\srv\\\\share\\\\\\x", "\\\\srv\\share\\x", 3},
                 {" \t\\\\\\a\\\\", " \t\\\\\\a\\", 1},
                 {"no runs", "no runs", 0}};
    for (const auto &c : cases) {
        std::string s = c.in;
        EXPECT_EQ(c.removed, path_collapseBackslashes(&s[0])) << c.in;
        EXPECT_STREQ(c.out, s.c_str());
    }
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

TEST(PathSearch, TriesTheCandidatesInOrderUntilOneIsAccepted) {
    const struct {
        const char *name, *list, *ext;
        bool tried;
        const char *accept;
        Seen seen;
    } cases[] = {
        {"s", " a ;b\\;\tc/ ", ".ini", false, "c\\s.ini", {"a\\s.ini", "b\\s.ini", "c\\s.ini"}},
        {"s.cfg", "a;b", ".ini", false, nullptr, {"a\\s.cfg", "b\\s.cfg"}},
        // An empty element in the middle stands for the bare name; an empty
        // last element ends the search untested.
        {"s", "a;;btrv:db?file=%NAME%&m=1;", ".ini", false, nullptr, {"a\\s.ini", "s.ini", "btrv:db?file=s.ini&m=1"}},
        {"s", ";", ".ini", false, nullptr, {"s.ini"}}, {"s.ini", "", nullptr, false, nullptr, {"s.ini"}},
        {"s.ini", nullptr, nullptr, false, nullptr, {"s.ini"}},
        // Names with a drive or a slash are tested unchanged.
        {"C:/x/s", "a;b", ".ini", false, nullptr, {"C:\\x\\s.ini"}},
        {"sub/s.ini", "a;b", nullptr, false, "sub\\s.ini", {"sub\\s.ini"}},
        // An already tried name comes first.
        {"s.ini", "a", nullptr, true, nullptr, {"s.ini", "a\\s.ini"}},
    };
    for (const auto &c : cases) {
        int found = -1;
        std::string out;
        EXPECT_EQ(c.seen, probe(c.name, c.list, c.ext, c.tried, c.accept, &found, &out)) << c.name;
        EXPECT_EQ(c.accept ? 1 : 0, found) << c.name;
        EXPECT_TRUE(!c.accept || out == c.accept) << out;
    }
    char out[kQvMaxPath];  // without a test the first candidate is taken
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
