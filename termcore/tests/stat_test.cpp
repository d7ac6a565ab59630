// Request 107: file information, with the file macros in directories.
#include <ctime>

#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

struct StatEntry {
    int32_t status;
    rq::Date date;
    int32_t size, access, modification, change;
    std::string path;
};

th::Bytes statOne(const std::string &name) { return th::Bytes().u8(0).text(name); }
th::Bytes statList(const std::string &base, const std::vector<std::string> &names) {
    th::Bytes b;
    b.u8(1).text(base);
    for (const std::string &n : names) b.text(n);
    return b.text("");
}

struct Stat : TermcoreTest {
    std::string data() const { return tmp.file("data"); }
    void SetUp() override {
        TermcoreTest::SetUp();
        CreateDirectoryA(data().c_str(), nullptr);
        load(114, "UPDIR=" + up() + "\r\nDNDIR=" + dn() + "\r\nDATAPATH=" + data() + "\\\r\n");
    }
    std::vector<StatEntry> entries(const th::Bytes &request) {
        std::vector<StatEntry> v;
        n = send(rq::kStat, request);
        WireReader r = reply(n);
        while (r.ok() && r.left() > 0)
            v.push_back(StatEntry{r.i32(), rq::readDate(r), r.i32(), r.i32(), r.i32(), r.i32(), std::string(r.text())});
        EXPECT_TRUE(r.ok());
        return v;
    }
    // Size and full path of each entry; a missing file shows -1 as its size.
    std::vector<std::pair<int32_t, std::string>> found(const th::Bytes &request) {
        std::vector<std::pair<int32_t, std::string>> v;
        for (const StatEntry &e : entries(request)) v.emplace_back(e.modification == -1 ? -1 : e.size, e.path);
        return v;
    }
    int n = 0;
};

TEST_F(Stat, FoundFileReportsItsStatusTimesAndFullPathAndAMissingOneMinusOne) {
    spit(dn() + "\\f.txt", "12345");
    setUnixTimes(dn() + "\\f.txt", 1300000000, 1300000000);
    std::vector<StatEntry> v = entries(statOne("f.txt"));
    ASSERT_EQ(1u, v.size());
    const StatEntry &e = v[0];
    __time64_t t = 1300000000;
    struct tm tm;
    _localtime64_s(&tm, &t);
    EXPECT_TRUE(e.date.day == tm.tm_mday && e.date.month == tm.tm_mon + 1 && e.date.year == tm.tm_year + 1900 &&
                e.date.second == tm.tm_sec);
    EXPECT_EQ(0, e.status);
    EXPECT_EQ(5, e.size);
    EXPECT_EQ(1300000000, e.access);
    EXPECT_EQ(1300000000, e.modification);
    EXPECT_EQ(dn() + "\\f.txt", e.path);

    v = entries(statOne("gone.txt"));
    ASSERT_EQ(1u, v.size());
    EXPECT_TRUE(v[0].status == 0 && v[0].size == 0 && v[0].date.year == 0);
    EXPECT_TRUE(v[0].access == -1 && v[0].modification == -1 && v[0].change == -1);
    EXPECT_EQ(up() + "\\gone.txt", v[0].path);
}

TEST_F(Stat, NamesAreLookedUpAsTheyStandInTheMacroDirectoryOrInDndirThenUpdir) {
    spit(tmp.file("abs.txt"), "abcd");
    spit(data() + "\\m.txt", "abc");
    spit(dn() + "\\m.txt", "other");
    spit(data() + "\\b.txt", "bb");
    spit(up() + "\\u.txt", "uuu");
    using Found = std::vector<std::pair<int32_t, std::string>>;
    EXPECT_EQ((Found{{4, tmp.file("abs.txt")}}), found(statOne(tmp.file("abs.txt"))));
    EXPECT_EQ((Found{{3, data() + "\\m.txt"}}), found(statOne("%DATAPATH%\\m.txt")));
    EXPECT_EQ((Found{{-1, data() + "\\none.txt"}}), found(statOne("%DATAPATH%\\none.txt")));
    EXPECT_EQ((Found{{3, data() + "\\m.txt"}, {-1, data() + "\\missing.txt"}, {2, data() + "\\b.txt"}}),
              found(statList("%DATAPATH%", {"m.txt", "missing.txt", "b.txt"})));
    EXPECT_EQ((Found{{3, up() + "\\u.txt"}, {-1, up() + "\\x.txt"}}), found(statList("", {"u.txt", "x.txt"})));
    EXPECT_TRUE(entries(statList("", {})).empty());
}

TEST_F(Stat, ReplyStopsBeforeAnEntryThatWouldNotFitTheBlockOrTheWorkingArea) {
    for (int block : {300, 0x7ff0}) {
        H().maxBlockSize = block;
        std::vector<StatEntry> v = entries(statList("", std::vector<std::string>(400, "n.txt")));
        size_t area = std::min(block, 8200);
        EXPECT_LE(static_cast<size_t>(n), area);
        EXPECT_EQ(area / (28 + (up() + "\\n.txt").size()), v.size()) << block;
        EXPECT_EQ(up() + "\\n.txt", v[0].path);
    }
}

}  // namespace
