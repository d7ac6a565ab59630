// Requests 103 to 106 and 108: copy, rename, directories, the current
// directory and the two-number file.
#include "requests.h"

namespace {

using FileOps = TermcoreTest;

int64_t mtimeOf(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
    // Whole seconds: the times travel as seconds.
    return ((static_cast<int64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime) /
           10000000;
}

void backdate(const std::string &path) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME ft = {0x12345600, 0x01d00000};
    SetFileTime(h, nullptr, &ft, &ft);
    CloseHandle(h);
}

TEST_F(FileOps, CopyTakesTheSourceFromDndirAndWritesIntoUpdir) {
    load();
    std::string content = patterned(10000, 9);
    spit(dn() + "\\from.bin", content);
    backdate(dn() + "\\from.bin");
    ASSERT_EQ(8, send(rq::kCopy, rq::copy("from.bin", "to.bin")));
    EXPECT_EQ(10000, i32At(0));
    EXPECT_EQ(0, i32At(4));
    EXPECT_EQ(mtimeOf(dn() + "\\from.bin"), mtimeOf(up() + "\\to.bin"));
    EXPECT_EQ(content, slurp(up() + "\\to.bin"));
}

TEST_F(FileOps, FailedCopyLeavesAnExistingDestinationAlone) {
    load();
    spit(up() + "\\precious.txt", "keep me");
    ASSERT_EQ(8, send(rq::kCopy, rq::copy("missing.txt", "precious.txt")));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ("keep me", slurp(up() + "\\precious.txt"));
}

TEST_F(FileOps, CopyOntoItselfIsRefusedAndTheFileKept) {
    load(114, "UPDIR=" + dn() + "\r\nDNDIR=" + dn() + "\r\n");
    spit(dn() + "\\same.txt", "contents");
    ASSERT_EQ(8, send(rq::kCopy, rq::copy("same.txt", "same.txt")));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ("contents", slurp(dn() + "\\same.txt"));
}

TEST_F(FileOps, CopyIntoAMissingFolderFailsAndCreatesNothing) {
    load();
    spit(dn() + "\\a.txt", "a");
    ASSERT_EQ(8, send(rq::kCopy, rq::copy("a.txt", "nodir\\a.txt")));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_FALSE(exists(up() + "\\nodir"));
}

TEST_F(FileOps, NameOffsetsMustLieBeyondTheFirstName) {
    load();
    spit(dn() + "\\a.txt", "a");
    th::Bytes b;
    b.zeros(4).i32(2).text("a.txt").text("b.txt");
    ASSERT_EQ(8, send(rq::kCopy, b));
    EXPECT_EQ(-1, i32At(0));
    th::Bytes beyond;
    beyond.zeros(4).i32(0x7ffffff0).text("a.txt").text("b.txt");
    ASSERT_EQ(8, send(rq::kCopy, beyond));
    EXPECT_EQ(-1, i32At(0));
    ASSERT_EQ(4, send(rq::kRename, b));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_FALSE(exists(up() + "\\b.txt"));
}

TEST_F(FileOps, RenameMovesAFileButNeverOverAnother) {
    load();
    spit(tmp.file("old.txt"), "1");
    spit(tmp.file("taken.txt"), "2");
    ASSERT_EQ(4, send(rq::kRename, rq::rename(tmp.file("old.txt"), tmp.file("new.txt"))));
    EXPECT_EQ(0, i32At(0));
    EXPECT_EQ("1", slurp(tmp.file("new.txt")));
    ASSERT_EQ(4, send(rq::kRename, rq::rename(tmp.file("new.txt"), tmp.file("taken.txt"))));
    EXPECT_EQ(-1, i32At(0));
    EXPECT_EQ("2", slurp(tmp.file("taken.txt")));
}

TEST_F(FileOps, DirectoryOperations) {
    load();
    std::string d = tmp.file("made");
    ASSERT_EQ(4, send(rq::kDirOp, rq::dirOp(0, d)));
    EXPECT_EQ(0, i32At(0));
    EXPECT_TRUE(exists(d));
    send(rq::kDirOp, rq::dirOp(0, d));
    EXPECT_EQ(-1, i32At(0));
    send(rq::kDirOp, rq::dirOp(1, d));
    EXPECT_EQ(0, i32At(0));
    EXPECT_FALSE(exists(d));
    send(rq::kDirOp, rq::dirOp(1, d));
    EXPECT_EQ(-1, i32At(0));
    send(rq::kDirOp, rq::dirOp(9, d));
    EXPECT_EQ(-1, i32At(0));
}

TEST_F(FileOps, DeleteLooksInDndirThenUpdir) {
    load();
    spit(dn() + "\\both.txt", "d");
    spit(up() + "\\both.txt", "u");
    spit(up() + "\\uponly.txt", "u");
    send(rq::kDirOp, rq::dirOp(2, "both.txt"));
    EXPECT_EQ(0, i32At(0));
    EXPECT_FALSE(exists(dn() + "\\both.txt"));
    EXPECT_TRUE(exists(up() + "\\both.txt"));
    send(rq::kDirOp, rq::dirOp(2, "uponly.txt"));
    EXPECT_EQ(0, i32At(0));
    EXPECT_FALSE(exists(up() + "\\uponly.txt"));
    send(rq::kDirOp, rq::dirOp(2, "nowhere.txt"));
    EXPECT_EQ(-1, i32At(0));
}

TEST_F(FileOps, CurrentDirectoryIsReportedWithItsLength) {
    load();
    char cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
    ASSERT_EQ(static_cast<int>(8 + n + 1), send(rq::kGetCwd, th::Bytes()));
    WireReader r = reply(static_cast<int>(8 + n + 1));
    EXPECT_EQ(0, r.i32());
    EXPECT_EQ(static_cast<int32_t>(n + 1), r.i32());
    EXPECT_EQ(std::string(cwd, n), r.text());
}

TEST_F(FileOps, TwoNumbersAreWrittenFirstThenSecond) {
    load();
    ASSERT_EQ(4, send(rq::kPut2, rq::put2(0x04030201, -2, tmp.file("two.bin"))));
    EXPECT_EQ(0, i32At(0));
    EXPECT_EQ(std::string("\x01\x02\x03\x04\xfe\xff\xff\xff", 8), slurp(tmp.file("two.bin")));
    send(rq::kPut2, rq::put2(1, 2, tmp.file("no\\such\\two.bin")));
    EXPECT_EQ(-1, i32At(0));
}

}  // namespace
