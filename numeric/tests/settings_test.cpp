#include "settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "paths.h"
#include "scratch.h"
#include "settings_reader.h"
#include "sysenv.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct Sink {
    Pairs pairs;
    int stopAt = -1;  // index of the pair whose callback answers 7
    static int take(const char *name, const char *value, void *ctx) {
        Sink *s = static_cast<Sink *>(ctx);
        s->pairs.emplace_back(name, value);
        return static_cast<int>(s->pairs.size()) - 1 == s->stopAt ? 7 : 0;
    }
};

std::string exeDir() {
    char buf[kQvMaxPath] = "";
    return sys_exeDirPath(buf) ? buf : "";
}

// Each test reads from its own folder, made current, with the executable
// directory and QVCNFG moved out of the way.
struct Settings : ::testing::Test {
    scratch::Dir dir;
    scratch::Dir exe;
    scratch::Cwd cwd{dir.path()};
    scratch::Env exeEnv{"QVEXEDIR", exe.path().c_str()};
    scratch::Env cnfgEnv{"QVCNFG", nullptr};
    Sink sink;

    int read(const char *name, const char *list = ".") {
        sink.pairs.clear();
        return cfg_readFile(name, Sink::take, &sink, list);
    }
    Pairs readText(const std::string &text, const char *list = ".") {
        dir.write("t.ini", text);
        EXPECT_EQ(0, read("t.ini", list));
        return sink.pairs;
    }
};

TEST_F(Settings, LinesSplitIntoUpperCaseNamesAndValues) {
    Pairs got = readText(
        "  stepx = 8\n"
        "; a comment\n"
        "\n"
        "   \t \n"
        "Name===value\n"
        "name value\n"
        "onlyname\n"
        "\tTab=\tinner  blanks kept \t \n"
        "[sec]\n"
        "$x_1[2]=y\n"
        "=no name\n"
        "a.b=c\n");
    Pairs want = {{"STEPX", "8"},   {"NAME", "value"}, {"NAME", "value"},
                  {"ONLYNAME", ""}, {"TAB", "inner  blanks kept"},
                  {"[SEC]", ""},    {"$X_1[2]", "y"},  {"", "no name"},
                  {"A", ".b=c"}};
    EXPECT_EQ(want, got);
}

TEST_F(Settings, KeysLongerThanNineteenCharactersStartTheValue) {
    Pairs got = readText("key_longer_than_nineteen = 1\nabcdefghijklmnopqrs=2\n");
    Pairs want = {{"KEY_LONGER_THAN_NIN", "eteen = 1"}, {"ABCDEFGHIJKLMNOPQRS", "2"}};
    EXPECT_EQ(want, got);
}

TEST_F(Settings, CrLfLinesLoseTheirCarriageReturn) {
    Pairs got = readText("a=1\r\nb = 2 \r\n\r\n;c\r\nd=\r\n");
    Pairs want = {{"A", "1"}, {"B", "2"}, {"D", ""}};
    EXPECT_EQ(want, got);
}

TEST_F(Settings, OverLongLinesAreCutAndTheirRestSkipped) {
    std::string longValue(kCfgLineMax + 500, 'x');
    std::string exact(kCfgLineMax - 1 - 2, 'y');  // "E=" plus this fills the line
    Pairs got = readText("LONG=" + longValue + "=z\nE=" + exact + "\nnext=1\nlast=2");
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ("LONG", got[0].first);
    EXPECT_EQ(std::string(kCfgLineMax - 1 - 5, 'x'), got[0].second);
    EXPECT_EQ(exact, got[1].second);
    EXPECT_EQ((std::pair<std::string, std::string>{"NEXT", "1"}), got[2]);
    EXPECT_EQ((std::pair<std::string, std::string>{"LAST", "2"}), got[3]);
}

TEST_F(Settings, PlaceholdersExpandWithBackslashesCollapsed) {
    Pairs got = readText(
        "h=%HOME%\\sub\n"
        "e=%EXEDIR%\\\\x\n"
        "u=\\\\srv\\\\share\n"
        "l=%home% %EXEDIR\n");
    std::string exeDirText = exe.path() + "\\";
    Pairs want = {{"H", ".\\sub"},
                  {"E", exeDirText + "x"},
                  {"U", "\\\\srv\\share"},
                  {"L", "%home% %EXEDIR"}};
    EXPECT_EQ(want, got);
    dir.write("n.ini", "h=%HOME%");
    ASSERT_EQ(0, read("n.ini", nullptr));
    EXPECT_EQ(".", sink.pairs.at(0).second);
}

TEST_F(Settings, ExpansionGrowsTheLineBuffer) {
    // %HOME% is the directory list as given: 200 blanks and ".".
    std::string list = std::string(200, ' ') + ".";
    std::string value;
    for (int i = 0; i < 60; ++i) value += "%HOME%";
    Pairs got = readText("big=" + value + "\nsmall=%HOME%|\n", list.c_str());
    ASSERT_EQ(2u, got.size());
    std::string want;
    for (int i = 0; i < 60; ++i) want += list;
    EXPECT_EQ(want, got[0].second);
    EXPECT_EQ(list + "|", got[1].second);
}

TEST_F(Settings, ANonZeroCallbackResultStopsTheReading) {
    dir.write("t.ini", "a=1\nb=2\nc=3\n");
    sink.stopAt = 1;
    EXPECT_EQ(7, cfg_readFile("t.ini", Sink::take, &sink, "."));
    EXPECT_EQ(2u, sink.pairs.size());
}

TEST_F(Settings, AMissingFileGivesMinusOneAndNoCall) {
    EXPECT_EQ(-1, read("absent.ini"));
    EXPECT_EQ(-1, read("absent.ini", nullptr));
    EXPECT_TRUE(sink.pairs.empty());
    EXPECT_EQ(-1, cfg_readFile(nullptr, Sink::take, &sink, "."));
}

TEST_F(Settings, SearchOrderListThenNameThenExecutableDirectoryThenQvcnfg) {
    scratch::Dir listDir, cnfgDir;
    std::string list = "nowhere; " + listDir.path() + " ;";
    std::string cnfg = "nowhere;" + cnfgDir.path();
    scratch::Env cnfgSet("QVCNFG", cnfg.c_str());
    listDir.write("s.ini", "where=list");
    dir.write("s.ini", "where=cwd");
    exe.write("s.ini", "where=exe");
    cnfgDir.write("s.ini", "where=cnfg");
    auto where = [&](const char *name, const char *l) {
        sink.pairs.clear();
        int r = cfg_readFile(name, Sink::take, &sink, l);
        return r == 0 && sink.pairs.size() == 1 ? sink.pairs[0].second : "r=" + std::to_string(r);
    };
    EXPECT_EQ("list", where("s", list.c_str()));  // ".ini" added along the list
    EXPECT_EQ("cwd", where("s.ini", nullptr));
    listDir.remove("s.ini");
    EXPECT_EQ("cwd", where("s.ini", list.c_str()));
    dir.remove("s.ini");
    EXPECT_EQ("exe", where("s.ini", list.c_str()));
    EXPECT_EQ("cnfg", where("s", nullptr));  // no ".ini" added beside the executable
    exe.remove("s.ini");
    EXPECT_EQ("cnfg", where("s.ini", list.c_str()));
    EXPECT_EQ("cnfg", where("s", nullptr));
    cnfgDir.remove("s.ini");
    EXPECT_EQ("r=-1", where("s.ini", list.c_str()));
}

TEST_F(Settings, ANameWithASlashIgnoresTheDirectoryLists) {
    scratch::Dir listDir;
    listDir.write("sub/s.ini", "where=list");
    scratch::Env cnfgSet("QVCNFG", listDir.path().c_str());
    EXPECT_EQ(-1, read("sub/s.ini", listDir.path().c_str()));
    dir.write("sub/s.ini", "where=cwd");
    EXPECT_EQ(0, read("sub/s.ini", listDir.path().c_str()));
    EXPECT_EQ("cwd", sink.pairs.at(0).second);
}

TEST_F(Settings, TheRealExecutableDirectoryIsSearchedWithoutQvexedir) {
    scratch::Env noExe("QVEXEDIR", "");
    std::string name = "qvtext_test_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".ini";
    std::string path = exeDir() + name;
    {
        std::ofstream f(path, std::ios::binary);
        f << "where=beside";
    }
    int r = read(name.c_str());
    std::remove(path.c_str());
    EXPECT_EQ(0, r);
    EXPECT_EQ("beside", sink.pairs.at(0).second);
}

TEST(ExeDir, QvexedirGetsExactlyOneSeparatorBeforeTheName) {
    char buf[kQvMaxPath];
    {
        scratch::Env e("QVEXEDIR", "C:\\apps\\term");
        std::strcpy(buf, "a.ini");
        EXPECT_STREQ("C:\\apps\\term\\a.ini", sys_exeDirPath(buf));
    }
    {
        scratch::Env e("QVEXEDIR", "C:\\apps\\term\\");
        std::strcpy(buf, "a.ini");
        EXPECT_STREQ("C:\\apps\\term\\a.ini", sys_exeDirPath(buf));
        buf[0] = '\0';
        EXPECT_STREQ("C:\\apps\\term\\", sys_exeDirPath(buf));
    }
    {
        scratch::Env e("QVEXEDIR", "/opt/term/");
        std::strcpy(buf, "a.ini");
        EXPECT_STREQ("/opt/term/a.ini", sys_exeDirPath(buf));
    }
    std::string longDir(kQvMaxPath - 5, 'd');  // with its backslash, 256
    scratch::Env e("QVEXEDIR", longDir.c_str());
    std::strcpy(buf, "abcd");
    EXPECT_EQ(nullptr, sys_exeDirPath(buf));
    EXPECT_STREQ("abcd", buf);
    std::strcpy(buf, "abc");
    EXPECT_EQ(kQvMaxPath - 1, std::strlen(sys_exeDirPath(buf)));
}

TEST(ExeDir, EmptyOrUnsetQvexedirGivesTheExecutablesDirectory) {
    std::string exe = sys_modulePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(path_exists(exe.c_str()));
    std::string dir = exe.substr(0, path_lastSep(exe.c_str()) - exe.c_str() + 1);
    for (const char *value : {"", static_cast<const char *>(nullptr)}) {
        scratch::Env e("QVEXEDIR", value);
        char buf[kQvMaxPath] = "b.ini";
        EXPECT_EQ(dir + "b.ini", sys_exeDirPath(buf));
    }
}

}  // namespace
