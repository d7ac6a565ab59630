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
    // The value of the one pair the file found holds, or the result.
    std::string where(const char *name, const char *list) {
        int r = read(name, list);
        return r == 0 && sink.pairs.size() == 1 ? sink.pairs[0].second : "r=" + std::to_string(r);
    }
    Pairs readText(const std::string &text, const char *list = ".") {
        dir.write("t.ini", text);
        EXPECT_EQ(0, read("t.ini", list));
        return sink.pairs;
    }
};

TEST_F(Settings, LinesSplitIntoUpperCaseNamesAndValues) {
    const struct {
        const char *text;
        Pairs want;
    } cases[] = {
        {"  stepx = 8\n; a comment\n\n   \t \nName===value\nname value\nonlyname\n"
         "\tTab=\tinner  blanks kept \t \n[sec]\n$x_1[2]=y\n=no name\na.b=c\n",
         {{"STEPX", "8"}, {"NAME", "value"}, {"NAME", "value"}, {"ONLYNAME", ""}, {"TAB", "inner  blanks kept"},
          {"[SEC]", ""}, {"$X_1[2]", "y"}, {"", "no name"}, {"A", ".b=c"}}},
        // Names longer than nineteen characters run on into the value.
        {"key_longer_than_nineteen = 1\nabcdefghijklmnopqrs=2\n",
         {{"KEY_LONGER_THAN_NIN", "eteen = 1"}, {"ABCDEFGHIJKLMNOPQRS", "2"}}},
        {"a=1\r\nb = 2 \r\n\r\n;c\r\nd=\r\n", {{"A", "1"}, {"B", "2"}, {"D", ""}}},
    };
    for (const auto &c : cases) EXPECT_EQ(c.want, readText(c.text)) << c.text;
}

TEST_F(Settings, OverLongLinesAreCutAndTheirRestSkipped) {
    std::string longValue(kCfgLineMax + 500, 'x');
    std::string exact(kCfgLineMax - 1 - 2, 'y');  // "E=" plus this fills the line
    Pairs got = readText("LONG=" + longValue + "=z\nE=" + exact + "\nnext=1\nlast=2");
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ("LONG", got[0].first);
    EXPECT_EQ(std::string(kCfgLineMax - 1 - 5, 'x'), got[0].second);
    EXPECT_EQ(exact, got[1].second);
    EXPECT_EQ((Pairs{{"NEXT", "1"}, {"LAST", "2"}}), Pairs(got.begin() + 2, got.end()));
}

TEST_F(Settings, PlaceholdersExpandWithBackslashesCollapsed) {
    Pairs got = readText("h=%HOME%\\sub\ne=%EXEDIR%\\\\x\nu=\\\\srv\\\\share\nl=%home% %EXEDIR\n");
    Pairs want = {{"H", ".\\sub"}, {"E", exe.path() + "\\x"}, {"U", "\\\\srv\\share"}, {"L", "%home% %EXEDIR"}};
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

TEST_F(Settings, ANonZeroCallbackResultStopsTheReadingAMissingFileCallsNothing) {
    dir.write("t.ini", "a=1\nb=2\nc=3\n");
    sink.stopAt = 1;
    EXPECT_EQ(7, cfg_readFile("t.ini", Sink::take, &sink, "."));
    EXPECT_EQ(2u, sink.pairs.size());
    EXPECT_EQ(-1, read("absent.ini"));
    EXPECT_EQ(-1, read("absent.ini", nullptr));
    EXPECT_EQ(-1, cfg_readFile(nullptr, Sink::take, &sink, "."));
    EXPECT_TRUE(sink.pairs.empty());
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
    EXPECT_EQ("r=-1", where("sub/s.ini", listDir.path().c_str()));
    dir.write("sub/s.ini", "where=cwd");
    EXPECT_EQ("cwd", where("sub/s.ini", listDir.path().c_str()));
}

TEST_F(Settings, WithAnEmptyOrUnsetQvexedirTheExecutablesOwnDirectoryIsSearched) {
    std::string module = sys_modulePath();
    ASSERT_TRUE(path_exists(module.c_str()));
    std::string name = "qvtext_test_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".ini";
    std::string exeDir = module.substr(0, path_lastSep(module.c_str()) - module.c_str() + 1), path = exeDir + name;
    std::ofstream(path, std::ios::binary) << "where=beside";
    for (const char *value : {"", static_cast<const char *>(nullptr)}) {
        scratch::Env e("QVEXEDIR", value);
        char buf[kQvMaxPath] = "b.ini";
        EXPECT_EQ(exeDir + "b.ini", sys_exeDirPath(buf));
        EXPECT_EQ("beside", where(name.c_str(), "."));
    }
    std::remove(path.c_str());
}

TEST(ExeDir, QvexedirGetsExactlyOneSeparatorBeforeTheNameAndTheResultMustFit) {
    const std::string longDir(kQvMaxPath - 5, 'd');  // with its backslash, 256
    const struct {
        const char *dir, *name, *want;
    } cases[] = {
        {"C:\\apps\\term", "a.ini", "C:\\apps\\term\\a.ini"}, {"C:\\apps\\term\\", "a.ini", "C:\\apps\\term\\a.ini"},
        {"C:\\apps\\term\\", "", "C:\\apps\\term\\"},         {"/opt/term/", "a.ini", "/opt/term/a.ini"},
        {longDir.c_str(), "abcd", nullptr},
    };
    char buf[kQvMaxPath];
    for (const auto &c : cases) {
        scratch::Env e("QVEXEDIR", c.dir);
        std::strcpy(buf, c.name);
        EXPECT_STREQ(c.want, sys_exeDirPath(buf)) << c.dir;
        EXPECT_STREQ(c.want ? c.want : c.name, buf);
    }
    scratch::Env e("QVEXEDIR", longDir.c_str());
    std::strcpy(buf, "abc");
    EXPECT_EQ(kQvMaxPath - 1, std::strlen(sys_exeDirPath(buf)));
}

}  // namespace
