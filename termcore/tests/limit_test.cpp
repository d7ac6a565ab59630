// Receives and copies whose writes fail part-way, for real: this program runs
// under testhost/filelimit, so no file of it grows past kLimit bytes; the
// write that reaches the limit is cut short and the next one fails.
#include "requests.h"

namespace {

constexpr size_t kLimit = 64 * 1024;
// What a receive gathers before it writes.
constexpr size_t kGather = 64 * 1024;

// Files bigger than the limit can only be read: this program itself.
std::string bigFile() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

struct WriteFailure : TermcoreTest {
    void SetUp() override {
        TermcoreTest::SetUp();
        // Without the limit these cases would prove nothing.
        spit(tmp.file("probe"), std::string(kLimit, 'p'));
        spit(tmp.file("probe+1"), std::string(kLimit + 1, 'p'));
        ASSERT_EQ(kLimit, slurp(tmp.file("probe")).size());
        ASSERT_EQ(kLimit, slurp(tmp.file("probe+1")).size()) << "run this program through testhost/filelimit 64";
        DeleteFileA(tmp.file("probe").c_str());
        DeleteFileA(tmp.file("probe+1").c_str());
        load();
    }
    int16_t recvStatus(const th::Bytes &b) {
        EXPECT_EQ(6, send(rq::kRecv, b));
        return WireReader(m->reply() + 4, 2).i16();
    }
};

TEST_F(WriteFailure, ReceiveAnswersTheBlockThatFailedAndLeavesNoFile) {
    struct Case {
        size_t block, size;
        const char *why;
    } cases[] = {
        {3000, 100000, "a data block runs past the limit; the last block fails"},
        {3000, 300000, "a data block runs past the limit; a later one fails"},
        {4096, kLimit + 100, "the limit is reached exactly; the last block fails"},
    };
    for (const Case &c : cases) {
        th::Bytes open = th::Bytes().zeros(9).u8(1).u8(1).u16(2020).zeros(2).u8(255).zeros(12).text("big.bin");
        ASSERT_EQ(0, recvStatus(open));
        std::string content = patterned(c.size, 5);
        size_t failedAt = 0;
        for (size_t at = 0; at < content.size() && !failedAt; at += c.block) {
            std::string data = content.substr(at, c.block);
            uint8_t stage = at + c.block >= content.size() ? 2 : 1;
            th::Bytes b = th::Bytes().u32(1).u32(static_cast<uint32_t>(data.size())).u8(stage);
            if (recvStatus(b.raw(data.data(), data.size())) != 0) failedAt = at + data.size();
        }
        // Blocks reach the file gathered: the failure is answered no sooner
        // than the block whose bytes passed the limit, and at the latest once
        // 64 KB more have come, or at the last block.
        size_t passed = (kLimit / c.block + 1) * c.block;
        EXPECT_GE(failedAt, std::min(c.size, passed)) << c.why;
        EXPECT_LE(failedAt, std::min(c.size, passed + kGather + c.block)) << c.why;
        EXPECT_FALSE(exists(up() + "\\big.bin")) << c.why;
        EXPECT_EQ(-1, recvStatus(th::Bytes().u32(1).u32(1).u8(1).u8('x'))) << c.why;
    }
    EXPECT_TRUE(filesIn(up()).empty());
}

TEST_F(WriteFailure, FailedReceiveLeavesTheOldFile) {
    spit(up() + "\\old.txt", "keep me");
    th::Bytes open = th::Bytes().zeros(9).u8(1).u8(1).u16(2020).zeros(2).u8(255).zeros(12).text("old.txt");
    ASSERT_EQ(0, recvStatus(open));
    std::string block = patterned(3000, 6);
    int16_t status = 0;
    for (int i = 0; i < 40 && status == 0; ++i) {
        uint8_t stage = i == 39 ? 2 : 1;
        status = recvStatus(th::Bytes().u32(1).u32(static_cast<uint32_t>(block.size())).u8(stage).raw(block.data(), block.size()));
    }
    EXPECT_EQ(-1, status);
    EXPECT_EQ("keep me", slurp(up() + "\\old.txt"));
    EXPECT_EQ(std::set<std::string>{"old.txt"}, filesIn(up()));
}

TEST_F(WriteFailure, FailedCopyLeavesTheOldDestinationAndNoPartialFile) {
    std::string source = bigFile();
    spit(up() + "\\old.txt", "keep me");
    auto copy = [&](const std::string &to) {
        th::Bytes b = th::Bytes().zeros(4).i32(static_cast<int32_t>(source.size() + 1)).text(source).text(to);
        EXPECT_EQ(8, send(rq::kCopy, b));
        return i32At(0);
    };
    EXPECT_EQ(-1, copy("old.txt"));
    EXPECT_EQ(-1, copy("new.bin"));

    // Copy and move of a listing: the source stays and the marks say so.
    std::string src = tmp.file("src"), linked = src + "\\old.txt";
    CreateDirectoryA(src.c_str(), nullptr);
    ASSERT_TRUE(CreateHardLinkA(linked.c_str(), source.c_str(), nullptr)) << "a large file without writing one";
    for (int16_t action : {2, 3}) {
        std::string pattern = src + "\\*.txt", dest = up() + "\\*.*";
        th::Bytes b = th::Bytes().zeros(4).u8(0).i32(1).i32(static_cast<int32_t>(pattern.size() + 1)).i16(action);
        WireReader r = reply(send(rq::kDirList, b.text(pattern).text(dest)));
        EXPECT_EQ(0, r.i32());
        EXPECT_EQ(1, r.u16());
        r.skip(11);
        EXPECT_EQ(0, r.u8()) << "copied mark, action " << action;
        EXPECT_EQ(0, r.u8()) << "deleted mark, action " << action;
        EXPECT_TRUE(r.ok());
        EXPECT_TRUE(exists(linked));
    }
    EXPECT_EQ("keep me", slurp(up() + "\\old.txt"));
    EXPECT_EQ(std::set<std::string>{"old.txt"}, filesIn(up()));
}

}  // namespace
