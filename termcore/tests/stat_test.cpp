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

struct Stat : TermcoreTest {
    std::string data() const { return tmp.file("data"); }
    void SetUp() override {
        TermcoreTest::SetUp();
        CreateDirectoryA(data().c_str(), nullptr);
    }
    void loadWithData(int protocol = 114) {
        load(protocol, "UPDIR=" + up() + "\r\nDNDIR=" + dn() + "\r\nDATAPATH=" + data() + "\\\r\n");
    }
    std::vector<StatEntry> entries(int n) {
        std::vector<StatEntry> v;
        WireReader r = reply(n);
        while (r.ok() && r.left() > 0) {
            StatEntry e;
            e.status = r.i32();
            e.date = rq::readDate(r);
            e.size = r.i32();
            e.access = r.i32();
            e.modification = r.i32();
            e.change = r.i32();
            e.path = std::string(r.text());
            v.push_back(e);
        }
        EXPECT_TRUE(r.ok());
        return v;
    }
};

void setModified(const std::string &path, int64_t t) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    uint64_t v = static_cast<uint64_t>(t * 10000000 + 116444736000000000LL);
    FILETIME ft = {static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
    SetFileTime(h, nullptr, &ft, &ft);
    CloseHandle(h);
}

TEST_F(Stat, FoundFileReportsItsStatusTimesAndFullPath) {
    loadWithData();
    spit(dn() + "\\f.txt", "12345");
    setModified(dn() + "\\f.txt", 1300000000);
    std::vector<StatEntry> v = entries(send(rq::kStat, rq::stat("f.txt")));
    ASSERT_EQ(1u, v.size());
    const StatEntry &e = v[0];
    EXPECT_EQ(0, e.status);
    __time64_t t = 1300000000;
    struct tm tm;
    _localtime64_s(&tm, &t);
    EXPECT_EQ(tm.tm_mday, e.date.day);
    EXPECT_EQ(tm.tm_mon + 1, e.date.month);
    EXPECT_EQ(tm.tm_year + 1900, e.date.year);
    EXPECT_EQ(tm.tm_sec, e.date.second);
    EXPECT_EQ(5, e.size);
    EXPECT_EQ(1300000000, e.access);
    EXPECT_EQ(1300000000, e.modification);
    EXPECT_EQ(dn() + "\\f.txt", e.path);
}

TEST_F(Stat, AbsoluteNameIsLookedUpAsItStands) {
    loadWithData();
    spit(tmp.file("abs.txt"), "abcd");
    std::vector<StatEntry> v = entries(send(rq::kStat, rq::stat(tmp.file("abs.txt"))));
    ASSERT_EQ(1u, v.size());
    EXPECT_EQ(4, v[0].size);
    EXPECT_EQ(tmp.file("abs.txt"), v[0].path);
}

TEST_F(Stat, MissingFileGetsMinusOneTimesAndTheUpdirPath) {
    loadWithData();
    std::vector<StatEntry> v = entries(send(rq::kStat, rq::stat("gone.txt")));
    ASSERT_EQ(1u, v.size());
    EXPECT_EQ(0, v[0].status);
    EXPECT_EQ(0, v[0].size);
    EXPECT_EQ(0, v[0].date.year);
    EXPECT_EQ(-1, v[0].access);
    EXPECT_EQ(-1, v[0].modification);
    EXPECT_EQ(-1, v[0].change);
    EXPECT_EQ(up() + "\\gone.txt", v[0].path);
}

TEST_F(Stat, MacroDirectoryIsExpandedAndSearchedAlone) {
    loadWithData();
    spit(data() + "\\m.txt", "abc");
    spit(dn() + "\\m.txt", "other");
    std::vector<StatEntry> v = entries(send(rq::kStat, rq::stat("%DATAPATH%\\m.txt")));
    ASSERT_EQ(1u, v.size());
    EXPECT_EQ(3, v[0].size);
    EXPECT_EQ(data() + "\\m.txt", v[0].path);
    v = entries(send(rq::kStat, rq::stat("%DATAPATH%\\none.txt")));
    ASSERT_EQ(1u, v.size());
    EXPECT_EQ(-1, v[0].modification);
    EXPECT_EQ(data() + "\\none.txt", v[0].path);
}

TEST_F(Stat, ListOfNamesIsLookedUpInTheExpandedBase) {
    loadWithData();
    spit(data() + "\\a.txt", "a");
    spit(data() + "\\b.txt", "bb");
    std::vector<StatEntry> v =
        entries(send(rq::kStat, rq::statList("%DATAPATH%", {"a.txt", "missing.txt", "b.txt"})));
    ASSERT_EQ(3u, v.size());
    EXPECT_EQ(1, v[0].size);
    EXPECT_EQ(data() + "\\a.txt", v[0].path);
    EXPECT_EQ(-1, v[1].modification);
    EXPECT_EQ(data() + "\\missing.txt", v[1].path);
    EXPECT_EQ(2, v[2].size);
}

TEST_F(Stat, ListWithoutBaseSearchesDndirThenUpdir) {
    loadWithData();
    spit(up() + "\\u.txt", "uuu");
    std::vector<StatEntry> v = entries(send(rq::kStat, rq::statList("", {"u.txt", "x.txt"})));
    ASSERT_EQ(2u, v.size());
    EXPECT_EQ(3, v[0].size);
    EXPECT_EQ(up() + "\\u.txt", v[0].path);
    EXPECT_EQ(up() + "\\x.txt", v[1].path);
    EXPECT_TRUE(entries(send(rq::kStat, rq::statList("", {}))).empty());
}

TEST_F(Stat, ReplyStopsBeforeAnEntryThatWouldNotFit) {
    loadWithData();
    H().maxBlockSize = 300;
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i) names.push_back("name_" + std::to_string(i) + ".txt");
    int n = send(rq::kStat, rq::statList("", names));
    EXPECT_LE(n, 300);
    std::vector<StatEntry> v = entries(n);
    size_t each = 28 + (up() + "\\name_0.txt").size();
    EXPECT_EQ(300 / each, v.size());
    EXPECT_EQ(up() + "\\name_0.txt", v[0].path);
}

TEST_F(Stat, WorkingAreaHoldsAtMost8200Bytes) {
    loadWithData();
    std::vector<std::string> names(400, "n.txt");
    int n = send(rq::kStat, rq::statList("", names));
    EXPECT_LE(n, 8200);
    EXPECT_EQ(8200 / (28 + (up() + "\\n.txt").size()), entries(n).size());
}

}  // namespace
