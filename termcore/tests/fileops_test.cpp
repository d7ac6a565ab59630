// Requests 103 to 106 and 108: copy, rename, directories, the current
// directory and the two-number file.
#include "requests.h"

namespace {

using FileOps = TermcoreTest;

// Two names, the second `offset` bytes after the first (the default: just
// after its terminator).
th::Bytes namePair(const std::string &first, const std::string &second, int32_t offset = 0) {
    return th::Bytes().zeros(4).i32(offset ? offset : static_cast<int32_t>(first.size() + 1)).text(first).text(second);
}

TEST_F(FileOps, CopyTakesTheSourceFromDndirAndWritesIntoUpdirWithItsTime) {
    load();
    std::string content = patterned(100000, 9);
    spit(dn() + "\\from.bin", content);
    setUnixTimes(dn() + "\\from.bin", 1200000000, 1300000000);
    // A longer file of the name is replaced whole; nothing else is left.
    spit(up() + "\\to.bin", patterned(150000, 1));
    ASSERT_EQ(8, send(rq::kCopy, namePair("from.bin", "to.bin")));
    EXPECT_EQ(100000, i32At(0));
    EXPECT_EQ(0, i32At(4));
    EXPECT_EQ(1300000000, unixTimes(up() + "\\to.bin").second);
    EXPECT_EQ(content, slurp(up() + "\\to.bin"));
    EXPECT_EQ(std::set<std::string>{"to.bin"}, filesIn(up()));
}

TEST_F(FileOps, CopyWithoutUpdirGoesToTheCurrentDirectoryAndLeavesNoWorkingFile) {
    load(114, "DNDIR=" + dn() + "\r\n");
    spit(dn() + "\\from.bin", "new content");
    std::string here = tmp.file("here");
    CreateDirectoryA(here.c_str(), nullptr);
    spit(here + "\\to.bin", "old, and longer than the new content");
    char was[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, was));
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
    // Twice: a name of the same folder made new each time.
    int32_t first = send(rq::kCopy, namePair("from.bin", "to.bin")) == 8 ? i32At(0) : -2;
    int32_t second = send(rq::kCopy, namePair("from.bin", "to.bin")) == 8 ? i32At(0) : -2;
    SetCurrentDirectoryA(was);
    EXPECT_EQ(11, first);
    EXPECT_EQ(11, second);
    EXPECT_EQ("new content", slurp(here + "\\to.bin"));
    EXPECT_EQ(std::set<std::string>{"to.bin"}, filesIn(here));
}

TEST_F(FileOps, FailedCopyLeavesEveryFileAsItWas) {
    load(114, "UPDIR=" + dn() + "\r\nDNDIR=" + dn() + "\r\n");
    spit(dn() + "\\precious.txt", "keep me");
    CreateDirectoryA((dn() + "\\folder").c_str(), nullptr);
    struct Case {
        th::Bytes request;
        const char *why;
    } cases[] = {
        {namePair("missing.txt", "precious.txt"), "missing source"},
        {namePair("precious.txt", "precious.txt"), "onto itself"},
        {namePair("precious.txt", "nodir\\a.txt"), "missing folder"},
        {namePair("precious.txt", "folder"), "onto a folder: the finished copy cannot take its name"},
        {namePair("precious.txt", "b.txt", 2), "offset inside the first name"},
        {namePair("precious.txt", "b.txt", 0x7ffffff0), "offset beyond the record"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(8, send(rq::kCopy, c.request));
        EXPECT_EQ(-1, i32At(0)) << c.why;
    }
    ASSERT_EQ(4, send(rq::kRename, namePair("precious.txt", "b.txt", 2)));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ("keep me", slurp(dn() + "\\precious.txt"));
    EXPECT_EQ((std::set<std::string>{"folder", "precious.txt"}), filesIn(dn()));
    EXPECT_TRUE(filesIn(dn() + "\\folder").empty());
}

TEST_F(FileOps, RenameMovesAFileButNeverOverAnother) {
    load();
    spit(tmp.file("old.txt"), "1");
    spit(tmp.file("taken.txt"), "2");
    ASSERT_EQ(4, send(rq::kRename, namePair(tmp.file("old.txt"), tmp.file("new.txt"))));
    EXPECT_EQ(0, i32At(0));
    EXPECT_EQ("1", slurp(tmp.file("new.txt")));
    send(rq::kRename, namePair(tmp.file("new.txt"), tmp.file("taken.txt")));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ("2", slurp(tmp.file("taken.txt")));
}

TEST_F(FileOps, DirectoriesAreMadeAndRemovedAndFilesDeletedFromDndirThenUpdir) {
    load();
    auto op = [&](int16_t code, const std::string &path) {
        EXPECT_EQ(4, send(rq::kDirOp, th::Bytes().zeros(4).i16(code).text(path)));
        return i32At(0);
    };
    std::string d = tmp.file("made");
    EXPECT_EQ(0, op(0, d));
    EXPECT_TRUE(exists(d));
    EXPECT_EQ(-1, op(0, d));
    EXPECT_EQ(0, op(1, d));
    EXPECT_FALSE(exists(d));
    EXPECT_EQ(-1, op(1, d));
    EXPECT_EQ(-1, op(9, d));
    spit(dn() + "\\both.txt", "d");
    spit(up() + "\\both.txt", "u");
    EXPECT_EQ(0, op(2, "both.txt"));
    EXPECT_TRUE(!exists(dn() + "\\both.txt") && exists(up() + "\\both.txt"));
    EXPECT_EQ(0, op(2, "both.txt"));
    EXPECT_EQ(-1, op(2, "both.txt"));
}

TEST_F(FileOps, CurrentDirectoryAndTheTwoNumberFile) {
    load();
    char cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
    ASSERT_EQ(static_cast<int>(8 + n + 1), send(rq::kGetCwd, th::Bytes()));
    WireReader r = reply(static_cast<int>(8 + n + 1));
    EXPECT_EQ(0, r.i32());
    EXPECT_EQ(static_cast<int32_t>(n + 1), r.i32());
    EXPECT_EQ(std::string(cwd, n), r.text());

    ASSERT_EQ(4, send(rq::kPut2, th::Bytes().zeros(2).i32(0x04030201).i32(-2).text(tmp.file("two.bin"))));
    EXPECT_EQ(0, i32At(0));
    EXPECT_EQ(std::string("\x01\x02\x03\x04\xfe\xff\xff\xff", 8), slurp(tmp.file("two.bin")));
    send(rq::kPut2, th::Bytes().zeros(10).text(tmp.file("no\\such\\two.bin")));
    EXPECT_EQ(-1, i32At(0));
}

}  // namespace
