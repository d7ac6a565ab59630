// Request 102: paged listings with delete, copy and move on the way.
#include <algorithm>
#include <set>

#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

struct Entry {
    uint32_t size;
    rq::Date date;
    uint8_t attr, deleted;
    std::string name;
};

struct Page {
    int32_t more = -1;
    std::vector<Entry> entries;
};

struct DirList : TermcoreTest {
    std::string src() const { return tmp.file("src"); }
    std::string dst() const { return tmp.file("dst"); }

    void SetUp() override {
        TermcoreTest::SetUp();
        CreateDirectoryA(src().c_str(), nullptr);
        CreateDirectoryA(dst().c_str(), nullptr);
    }

    Page readPage(int n, size_t budget) {
        Page p;
        EXPECT_GE(n, 6);
        EXPECT_LE(static_cast<size_t>(n), budget + 6);
        WireReader r = reply(n);
        p.more = r.i32();
        uint16_t count = r.u16();
        for (uint16_t i = 0; i < count; ++i) {
            Entry e;
            e.size = r.u32();
            e.date = rq::readDate(r);
            e.attr = r.u8();
            e.deleted = r.u8();
            uint16_t len = r.u16();
            e.name = std::string(r.text());
            EXPECT_EQ(e.name.size() + 1, len);
            p.entries.push_back(e);
        }
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(0u, r.left()) << "reply length matches its entries";
        return p;
    }

    // Every page of a listing, from stage 0 to the page with more = 0.
    std::vector<Page> listAll(int32_t flags, int16_t action, const std::string &pattern,
                              const std::string &dest, size_t budget) {
        std::vector<Page> pages;
        pages.push_back(readPage(send(rq::kDirList, rq::dirList(0, flags, action, pattern, dest)), budget));
        while (pages.back().more == 1 && pages.size() < 1000)
            pages.push_back(readPage(send(rq::kDirList, rq::dirList(1)), budget));
        EXPECT_EQ(0, pages.back().more);
        return pages;
    }

    static std::vector<std::string> names(const std::vector<Page> &pages) {
        std::vector<std::string> v;
        for (const Page &p : pages)
            for (const Entry &e : p.entries) v.push_back(e.name);
        return v;
    }

    void makeFiles(int count, const std::string &ext) {
        for (int i = 0; i < count; ++i)
            spit(src() + "\\file_" + std::to_string(100 + i) + ext, patterned(static_cast<size_t>(i * 37), i));
    }
};

TEST_F(DirList, PagesStayWithinTheOldBudgetAndListEveryFileOnce) {
    load(88);
    makeFiles(40, ".txt");
    std::vector<Page> pages = listAll(1, 0, src() + "\\*.txt", "", 400);
    // 14 entries of 28 bytes each fit under 400 bytes.
    ASSERT_EQ(3u, pages.size());
    EXPECT_EQ(14u, pages[0].entries.size());
    std::vector<std::string> got = names(pages);
    std::sort(got.begin(), got.end());
    ASSERT_EQ(40u, got.size());
    EXPECT_EQ("file_100.txt", got.front());
    EXPECT_EQ("file_139.txt", got.back());
    for (const Page &p : pages)
        for (const Entry &e : p.entries) {
            EXPECT_EQ(37u * (std::stoi(e.name.substr(5, 3)) - 100), e.size) << e.name;
            EXPECT_EQ(0, e.attr);
            EXPECT_EQ(0, e.deleted);
            EXPECT_GE(e.date.year, 2020);
        }
    EXPECT_EQ(0, H().maxBlockSizeCalls);
}

TEST_F(DirList, NewerProtocolPagesFollowTheHostsBlock) {
    load(89);
    H().maxBlockSize = 106;
    makeFiles(7, ".dat");
    // Each entry takes 28 bytes; under 100 bytes of budget three fit.
    std::vector<Page> pages = listAll(1, 0, src() + "\\*.dat", "", 100);
    ASSERT_EQ(3u, pages.size());
    EXPECT_EQ(3u, pages[0].entries.size());
    EXPECT_EQ(3u, pages[1].entries.size());
    EXPECT_EQ(1u, pages[2].entries.size());
}

TEST_F(DirList, FilesAndDirectoriesListThePatternsFilesThenEveryDirectory) {
    load();
    makeFiles(3, ".txt");
    spit(src() + "\\other.bin", "x");
    CreateDirectoryA((src() + "\\sub1").c_str(), nullptr);
    CreateDirectoryA((src() + "\\sub2.txt").c_str(), nullptr);
    std::vector<Page> pages = listAll(3, 0, src() + "\\*.txt", "", 0x7ff0);
    ASSERT_EQ(2u, pages.size());
    std::set<std::string> files, dirs;
    for (const Entry &e : pages[0].entries) {
        EXPECT_EQ(0, e.attr);
        files.insert(e.name);
    }
    for (const Entry &e : pages[1].entries) {
        EXPECT_EQ(0x10, e.attr);
        dirs.insert(e.name);
    }
    EXPECT_EQ((std::set<std::string>{"file_100.txt", "file_101.txt", "file_102.txt"}), files);
    EXPECT_EQ((std::set<std::string>{".", "..", "sub1", "sub2.txt"}), dirs);
}

TEST_F(DirList, PatternWithoutFilesGoesStraightToTheDirectories) {
    load();
    CreateDirectoryA((src() + "\\only").c_str(), nullptr);
    std::vector<Page> pages = listAll(3, 0, src() + "\\*.none", "", 0x7ff0);
    ASSERT_EQ(1u, pages.size());
    std::vector<std::string> got = names(pages);
    EXPECT_NE(got.end(), std::find(got.begin(), got.end(), "only"));
}

TEST_F(DirList, FlagsChooseFilesOrDirectories) {
    load();
    makeFiles(2, ".txt");
    CreateDirectoryA((src() + "\\d.txt").c_str(), nullptr);
    EXPECT_EQ((std::vector<std::string>{"d.txt"}), names(listAll(2, 0, src() + "\\*.txt", "", 0x7ff0)));
    EXPECT_EQ(2u, names(listAll(1, 0, src() + "\\*.txt", "", 0x7ff0)).size());
    EXPECT_TRUE(names(listAll(0, 0, src() + "\\*.txt", "", 0x7ff0)).empty());
}

TEST_F(DirList, DeleteRemovesEveryListedFile) {
    load();
    makeFiles(5, ".tmp");
    spit(src() + "\\keep.txt", "k");
    std::vector<Page> pages = listAll(1, 1, src() + "\\*.tmp", "", 0x7ff0);
    ASSERT_EQ(5u, names(pages).size());
    for (const Entry &e : pages[0].entries) {
        EXPECT_EQ(1, e.deleted) << e.name;
        EXPECT_FALSE(exists(src() + "\\" + e.name));
    }
    EXPECT_TRUE(exists(src() + "\\keep.txt"));
}

TEST_F(DirList, CopyAndMoveCarryEveryFileWithItsTimes) {
    load();
    makeFiles(4, ".a");
    makeFiles(3, ".b");
    std::vector<Page> copied = listAll(1, 2, src() + "\\*.a", dst() + "\\*.*", 0x7ff0);
    for (const Entry &e : copied[0].entries) {
        EXPECT_EQ(1, e.attr) << e.name;
        EXPECT_EQ(0, e.deleted);
        EXPECT_EQ(slurp(src() + "\\" + e.name), slurp(dst() + "\\" + e.name));
    }
    std::vector<Page> moved = listAll(1, 3, src() + "\\*.b", dst() + "\\*.*", 0x7ff0);
    ASSERT_EQ(3u, names(moved).size());
    for (const Entry &e : moved[0].entries) {
        EXPECT_EQ(1, e.attr);
        EXPECT_EQ(1, e.deleted);
        EXPECT_FALSE(exists(src() + "\\" + e.name));
        EXPECT_EQ(patterned(37u * (std::stoi(e.name.substr(5, 3)) - 100), std::stoi(e.name.substr(5, 3)) - 100),
                  slurp(dst() + "\\" + e.name));
    }
}

TEST_F(DirList, MoveOntoItselfKeepsTheSource) {
    load();
    makeFiles(3, ".c");
    std::vector<Page> pages = listAll(1, 3, src() + "\\*.c", src() + "\\*.*", 0x7ff0);
    for (const Entry &e : pages[0].entries) {
        EXPECT_EQ(0, e.attr) << e.name;
        EXPECT_EQ(0, e.deleted);
        EXPECT_EQ(e.size, slurp(src() + "\\" + e.name).size());
    }
    EXPECT_EQ(3u, names(pages).size());
}

TEST_F(DirList, CloseEndsTheListingAndANextPageIsEmpty) {
    load(88);
    makeFiles(40, ".txt");
    Page first = readPage(send(rq::kDirList, rq::dirList(0, 1, 0, src() + "\\*.txt")), 400);
    EXPECT_EQ(1, first.more);
    EXPECT_EQ(0, send(rq::kDirList, rq::dirList(3)));
    Page next = readPage(send(rq::kDirList, rq::dirList(1)), 400);
    EXPECT_EQ(0, next.more);
    EXPECT_TRUE(next.entries.empty());
    EXPECT_EQ(0, send(rq::kDirList, rq::dirList(7)));
}

TEST_F(DirList, DestinationOffsetInsideThePatternIsRefused) {
    load();
    makeFiles(2, ".m");
    th::Bytes b;
    std::string pattern = src() + "\\*.m";
    b.zeros(4).u8(0).i32(1).i32(3).i16(3).text(pattern).text(dst() + "\\*.*");
    Page p = readPage(send(rq::kDirList, b), 0x7ff0);
    EXPECT_EQ(0, p.more);
    EXPECT_TRUE(p.entries.empty());
    EXPECT_TRUE(exists(src() + "\\file_100.m"));
}

}  // namespace
