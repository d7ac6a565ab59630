// Request 102: paged listings with delete, copy and move on the way.
#include <algorithm>
#include <set>

#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

enum : int16_t { kList = 0, kDelete = 1, kCopy = 2, kMove = 3 };

struct Entry {
    uint32_t size;
    uint8_t attr, deleted;
    std::string name;
};

struct Page {
    int32_t more = -1;
    std::vector<Entry> entries;
};

th::Bytes stage(uint8_t stage) { return th::Bytes().zeros(4).u8(stage); }

struct DirList : TermcoreTest {
    std::string src() const { return tmp.file("src"); }
    std::string dst() const { return tmp.file("dst"); }

    void SetUp() override {
        TermcoreTest::SetUp();
        CreateDirectoryA(src().c_str(), nullptr);
        CreateDirectoryA(dst().c_str(), nullptr);
    }

    // A page of at most `budget` bytes of entries, its length matching them.
    Page readPage(int n, size_t budget) {
        Page p;
        EXPECT_GE(n, 6);
        EXPECT_LE(static_cast<size_t>(n), budget + 6);
        WireReader r = reply(n);
        p.more = r.i32();
        for (uint16_t i = 0, count = r.u16(); i < count; ++i) {
            Entry e{r.u32(), 0, 0, ""};
            EXPECT_GE(rq::readDate(r).year, 2020);
            e.attr = r.u8();
            e.deleted = r.u8();
            uint16_t len = r.u16();
            e.name = std::string(r.text());
            EXPECT_EQ(e.name.size() + 1, len);
            p.entries.push_back(e);
        }
        EXPECT_TRUE(r.ok() && r.left() == 0);
        return p;
    }

    // Every page of a listing, from stage 0 to the page with more = 0.
    std::vector<Page> listAll(int32_t flags, int16_t action, const std::string &pattern, const std::string &dest = "",
                              size_t budget = 0x7ff0) {
        std::string full = src() + "\\" + pattern;
        th::Bytes first = stage(0).i32(flags).i32(static_cast<int32_t>(full.size() + 1)).i16(action);
        std::vector<Page> pages{readPage(send(rq::kDirList, first.text(full).text(dest)), budget)};
        while (pages.back().more == 1 && pages.size() < 1000)
            pages.push_back(readPage(send(rq::kDirList, stage(1)), budget));
        EXPECT_EQ(0, pages.back().more);
        return pages;
    }

    static std::vector<Entry> entries(const std::vector<Page> &pages) {
        std::vector<Entry> v;
        for (const Page &p : pages) v.insert(v.end(), p.entries.begin(), p.entries.end());
        return v;
    }
    static std::set<std::string> names(const std::vector<Page> &pages) {
        std::set<std::string> s;
        for (const Entry &e : entries(pages)) s.insert(e.name);
        return s;
    }

    // file_100<ext> ... with 0, 37, 74, ... bytes.
    void makeFiles(int count, const std::string &ext) {
        for (int i = 0; i < count; ++i)
            spit(src() + "\\file_" + std::to_string(100 + i) + ext, patterned(static_cast<size_t>(i * 37), i));
    }
    static std::string content(const std::string &name) {
        int i = std::stoi(name.substr(5, 3)) - 100;
        return patterned(static_cast<size_t>(i * 37), i);
    }
};

TEST_F(DirList, PagesStayWithinTheBudgetOfTheProtocolAndListEveryFileOnce) {
    // Entries take 28 bytes: 14 fit under the old 400 bytes, 3 under the
    // newer protocol's 100 of a 106-byte block.
    struct Case {
        int protocol, files;
        const char *ext;
        size_t budget, firstPage, pages;
    } cases[] = {{88, 40, ".txt", 400, 14, 3}, {89, 7, ".dat", 100, 3, 3}};
    for (const Case &c : cases) {
        load(c.protocol);
        H().maxBlockSize = 106;
        makeFiles(c.files, c.ext);
        std::vector<Page> pages = listAll(1, kList, std::string("*") + c.ext, "", c.budget);
        ASSERT_EQ(c.pages, pages.size());
        EXPECT_EQ(c.firstPage, pages[0].entries.size());
        std::vector<Entry> all = entries(pages);
        EXPECT_EQ(static_cast<size_t>(c.files), all.size());
        EXPECT_EQ(all.size(), names(pages).size());
        for (const Entry &e : all) EXPECT_TRUE(e.size == content(e.name).size() && e.attr == 0 && e.deleted == 0);
        EXPECT_EQ(c.protocol > 88, H().maxBlockSizeCalls > 0);
        m.reset();
    }
}

TEST_F(DirList, FlagsChooseFilesDirectoriesOrTheFilesThenEveryDirectory) {
    load();
    makeFiles(3, ".txt");
    spit(src() + "\\other.bin", "x");
    CreateDirectoryA((src() + "\\sub1").c_str(), nullptr);
    CreateDirectoryA((src() + "\\sub2.txt").c_str(), nullptr);
    std::vector<Page> both = listAll(3, kList, "*.txt");
    ASSERT_EQ(2u, both.size());
    for (const Entry &e : both[0].entries) EXPECT_EQ(0, e.attr) << e.name;
    for (const Entry &e : both[1].entries) EXPECT_EQ(0x10, e.attr) << e.name;
    EXPECT_EQ((std::set<std::string>{"file_100.txt", "file_101.txt", "file_102.txt"}), names({both[0]}));
    EXPECT_EQ((std::set<std::string>{".", "..", "sub1", "sub2.txt"}), names({both[1]}));
    EXPECT_EQ((std::set<std::string>{"sub2.txt"}), names(listAll(2, kList, "*.txt")));
    EXPECT_EQ(3u, names(listAll(1, kList, "*.txt")).size());
    EXPECT_TRUE(names(listAll(0, kList, "*.txt")).empty());
    // A pattern without files goes straight to the directories.
    EXPECT_EQ(4u, names(listAll(3, kList, "*.none")).size());
}

TEST_F(DirList, DeleteCopyAndMoveActOnEveryListedFile) {
    load();
    makeFiles(5, ".tmp");
    makeFiles(4, ".a");
    makeFiles(3, ".b");
    std::vector<Entry> deleted = entries(listAll(1, kDelete, "*.tmp"));
    EXPECT_EQ(5u, deleted.size());
    for (const Entry &e : deleted) EXPECT_TRUE(e.deleted == 1 && !exists(src() + "\\" + e.name)) << e.name;
    EXPECT_TRUE(exists(src() + "\\file_100.a"));
    for (int16_t action : {kCopy, kMove}) {
        std::vector<Entry> done = entries(listAll(1, action, action == kCopy ? "*.a" : "*.b", dst() + "\\*.*"));
        EXPECT_EQ(action == kCopy ? 4u : 3u, done.size());
        for (const Entry &e : done) {
            EXPECT_EQ(1, e.attr) << e.name;
            EXPECT_EQ(action == kMove, e.deleted == 1) << e.name;
            EXPECT_EQ(action == kCopy, exists(src() + "\\" + e.name)) << e.name;
            EXPECT_EQ(content(e.name), slurp(dst() + "\\" + e.name)) << e.name;
        }
    }
    // A move onto itself copies nothing and keeps the source.
    std::vector<Entry> same = entries(listAll(1, kMove, "*.a", src() + "\\*.*"));
    EXPECT_EQ(4u, same.size());
    for (const Entry &e : same) {
        EXPECT_TRUE(e.attr == 0 && e.deleted == 0) << e.name;
        EXPECT_EQ(content(e.name), slurp(src() + "\\" + e.name)) << e.name;
    }
}

TEST_F(DirList, CloseEndsTheListingAndADestinationInsideThePatternIsRefused) {
    load(88);
    makeFiles(40, ".txt");
    th::Bytes b = stage(0).i32(1).i32(0).i16(kList).text(src() + "\\*.txt");
    EXPECT_EQ(1, readPage(send(rq::kDirList, b), 400).more);
    EXPECT_EQ(0, send(rq::kDirList, stage(3)));
    Page next = readPage(send(rq::kDirList, stage(1)), 400);
    EXPECT_EQ(0, next.more);
    EXPECT_TRUE(next.entries.empty());
    EXPECT_EQ(0, send(rq::kDirList, stage(7)));

    th::Bytes inside = stage(0).i32(1).i32(3).i16(kMove).text(src() + "\\*.txt").text(dst() + "\\*.*");
    EXPECT_EQ(4, send(rq::kDirList, inside));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_TRUE(exists(src() + "\\file_100.txt"));
}

}  // namespace
