// Requests 100 and 101: files in both directions, block by block.
#include <ctime>
#include <functional>
#include <set>

#include "unique_handle.h"

#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

// Stage 0 of a receive: the date block (second 255: take the two times).
th::Bytes recvOpen(const std::string &name, const rq::Date &d = {1, 1, 2020, 0, 0, 255}, int32_t access = 0,
                   int32_t modification = 0) {
    return th::Bytes().zeros(9).u8(d.day).u8(d.month).u16(d.year).u8(d.hour).u8(d.minute).u8(d.second)
        .i32(access).i32(modification).zeros(4).text(name);
}
th::Bytes recvData(uint32_t block, const std::string &data, uint8_t stage) {
    return th::Bytes().u32(block).u32(static_cast<uint32_t>(data.size())).u8(stage).raw(data.data(), data.size());
}
th::Bytes stage(uint8_t stage, uint32_t block = 0, uint32_t length = 0) {
    return th::Bytes().u32(block).u32(length).u8(stage);
}

struct Transfer : TermcoreTest {
    // The block number and status of a receive reply.
    std::pair<uint32_t, int16_t> recvReply(int n) {
        EXPECT_EQ(6, n);
        WireReader r = reply(6);
        return {r.u32(), r.i16()};
    }

    // Sends content in blocks of `block` bytes; the last block is stage 2.
    void receive(const std::string &name, const std::string &content, size_t block) {
        th::Bytes open = recvOpen(name, {1, 1, 2020, 0, 0, 255}, 1500000000, 1600000000);
        ASSERT_EQ(std::pair(1u, int16_t(0)), recvReply(send(rq::kRecv, open)));
        uint32_t id = 7;
        for (size_t at = 0; at < content.size(); at += block, ++id) {
            th::Bytes data = recvData(id, content.substr(at, block), at + block >= content.size() ? 2 : 1);
            ASSERT_EQ(std::pair(id, int16_t(0)), recvReply(send(rq::kRecv, data))) << "block at " << at;
        }
    }

    // Reads a file through stage 1 requests of `ask` bytes; each reply must
    // carry `expectBlock` bytes until the end, and the file is closed then.
    std::string fetch(const std::string &name, uint32_t ask, size_t expectBlock, int *requests = nullptr) {
        EXPECT_EQ(29, send(rq::kSend, th::Bytes().zeros(9).text(name)));
        std::string got;
        int count = 0;
        for (uint32_t id = 1; id < 100000; ++id) {
            int n = send(rq::kSend, stage(1, id, ask));
            ++count;
            WireReader r = reply(n);
            uint32_t first = r.u32();
            EXPECT_EQ(0, r.i16());
            int32_t bytes = r.i32();
            EXPECT_EQ(n, bytes + 10);
            got.append(reinterpret_cast<const char *>(r.bytes(bytes)), bytes);
            if (first == 0) break;
            EXPECT_EQ(id, first);
            EXPECT_EQ(expectBlock, static_cast<size_t>(bytes));
        }
        EXPECT_EQ(10, send(rq::kSend, stage(1, 1, ask)));
        EXPECT_EQ(-1, WireReader(m->reply() + 4, 2).i16());
        if (requests) *requests = count;
        return got;
    }
};

TEST_F(Transfer, ReceiveBlockBeyondTheHostsLargestIsAnErrorAndDropsTheFile) {
    load(114);
    H().maxBlockSize = 4096;
    recvReply(send(rq::kRecv, recvOpen("big.bin")));
    EXPECT_EQ(std::pair(1u, int16_t(0)), recvReply(send(rq::kRecv, recvData(1, std::string(4096 - 9, 'a'), 1))));
    // The record claims one byte more than any block can hold.
    th::Bytes b = recvData(2, std::string(4096 - 9, 'b'), 1);
    b.patch16(4, 4096 - 8);
    EXPECT_EQ(std::pair(2u, int16_t(-1)), recvReply(send(rq::kRecv, b)));
    EXPECT_FALSE(exists(up() + "\\big.bin"));
}

TEST_F(Transfer, DateBlockIsTakenAsLocalTimeAndEmptyBlocksWriteNothing) {
    load();
    recvReply(send(rq::kRecv, recvOpen("d.txt", {15, 6, 2021, 13, 45, 30})));
    EXPECT_EQ(std::pair(3u, int16_t(0)), recvReply(send(rq::kRecv, recvData(3, "", 1))));
    EXPECT_EQ(std::pair(4u, int16_t(0)), recvReply(send(rq::kRecv, recvData(4, "", 2))));
    struct tm tm = {30, 45, 13, 15, 5, 121, 0, 0, _daylight};
    int64_t want = _mktime64(&tm);
    EXPECT_EQ(std::pair(want, want), unixTimes(up() + "\\d.txt"));
    EXPECT_TRUE(exists(up() + "\\d.txt"));
    EXPECT_EQ("", slurp(up() + "\\d.txt"));
}

TEST_F(Transfer, WithoutAUsableFileEveryStageAnswersFailure) {
    load();
    EXPECT_EQ(std::pair(5u, int16_t(-1)), recvReply(send(rq::kRecv, recvData(5, "data", 1))));
    EXPECT_EQ(std::pair(0u, int16_t(-1)), recvReply(send(rq::kRecv, recvOpen(std::string(300, 'n')))));
    EXPECT_EQ(std::pair(0u, int16_t(-1)), recvReply(send(rq::kRecv, recvOpen("no\\such\\x.txt"))));
    const std::string fail("\0\0\0\0\xff\xff\0\0\0\0", 10);
    ASSERT_EQ(10, send(rq::kSend, stage(1, 5, 100)));
    EXPECT_EQ(fail, std::string(reinterpret_cast<const char *>(m->reply()), 10));
    ASSERT_EQ(10, send(rq::kSend, th::Bytes().zeros(9).text("absent.txt")));
    EXPECT_EQ(fail, std::string(reinterpret_cast<const char *>(m->reply()), 10));
}

TEST_F(Transfer, AbortAndSessionEndDeleteAnIncompleteReceive) {
    load();
    recvReply(send(rq::kRecv, recvOpen("a.txt")));
    recvReply(send(rq::kRecv, recvData(1, "part", 1)));
    EXPECT_EQ(0, send(rq::kRecv, stage(3)));
    EXPECT_FALSE(exists(up() + "\\a.txt"));
    // A stage after the abort finds no file.
    EXPECT_EQ(std::pair(2u, int16_t(-1)), recvReply(send(rq::kRecv, recvData(2, "more", 2))));

    recvReply(send(rq::kRecv, recvOpen("b.txt")));
    recvReply(send(rq::kRecv, recvData(1, "part", 1)));
    lifeCycle(kMsgUnload, false);
    EXPECT_FALSE(exists(up() + "\\b.txt"));
    EXPECT_EQ(0, send(rq::kRecv, stage(9)));
    EXPECT_TRUE(m->replyUntouchedFrom(0));
}

// The user's copy of a file being received stays as it was, bytes and
// times, until the last block is in; however the transfer ends before that,
// only the file being written goes.
TEST_F(Transfer, AnUnfinishedReceiveLeavesTheOldFileAsItWas) {
    load();
    H().maxBlockSize = 4096;
    const std::string target = up() + "\\keep.txt";
    auto keep = [&] { spit(target, "the old bytes"); setUnixTimes(target, 1300000000, 1400000000); };
    struct End {
        const char *why;
        std::function<void()> end;
    };
    const End ends[] = {
        {"stage 3", [&] { EXPECT_EQ(0, send(rq::kRecv, stage(3))); }},
        {"a new stage 0", [&] { EXPECT_EQ(std::pair(1u, int16_t(0)), recvReply(send(rq::kRecv, recvOpen("b.txt")))); }},
        {"a block that fails",
         [&] {
             th::Bytes b = recvData(2, "x", 1);
             b.patch16(4, 4096);
             EXPECT_EQ(std::pair(2u, int16_t(-1)), recvReply(send(rq::kRecv, b)));
         }},
        {"the session's end", [&] { lifeCycle(kMsgUnload, false); }},
        {"the session's end with its flag", [&] { lifeCycle(kMsgUnload, true); }},
    };
    for (const End &e : ends) {
        keep();
        ASSERT_EQ(std::pair(1u, int16_t(0)), recvReply(send(rq::kRecv, recvOpen("keep.txt"))));
        EXPECT_EQ(std::pair(1u, int16_t(0)), recvReply(send(rq::kRecv, recvData(1, "new", 1))));
        e.end();
        // Times first: reading the file may move its access time.
        EXPECT_EQ(std::pair(int64_t(1300000000), int64_t(1400000000)), unixTimes(target)) << e.why;
        EXPECT_EQ("the old bytes", slurp(target)) << e.why;
        send(rq::kRecv, stage(3));
        EXPECT_EQ(std::set<std::string>{"keep.txt"}, filesIn(up())) << e.why;
    }
    // Completed, the new file takes the old one's place with the sent times.
    keep();
    receive("keep.txt", "the new bytes", 5);
    EXPECT_EQ(std::pair(int64_t(1500000000), int64_t(1600000000)), unixTimes(target));
    EXPECT_EQ("the new bytes", slurp(target));
    EXPECT_EQ(std::set<std::string>{"keep.txt"}, filesIn(up()));
}

// A target that could not be replaced is refused at stage 0, and neither it
// nor the folder is touched.
TEST_F(Transfer, ATargetThatCannotBeWrittenIsRefusedAtTheStart) {
    load();
    const std::string readOnly = up() + "\\ro.txt", locked = up() + "\\locked.txt";
    spit(readOnly, "read only");
    spit(locked, "locked");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    CreateDirectoryA((up() + "\\folder").c_str(), nullptr);
    winutil::unique_handle holder(
        CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    for (const char *name : {"ro.txt", "locked.txt", "folder", "no\\such\\x.txt"})
        EXPECT_EQ(std::pair(0u, int16_t(-1)), recvReply(send(rq::kRecv, recvOpen(name)))) << name;
    holder.reset();
    EXPECT_EQ("read only", slurp(readOnly));
    EXPECT_EQ("locked", slurp(locked));
    EXPECT_EQ((std::set<std::string>{"folder", "locked.txt", "ro.txt"}), filesIn(up()));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Transfer, SendBlocksFollowTheHostsBlockAndTheRequest) {
    std::string content = patterned(2500, 3), exact = patterned(3000, 4);
    spit(dn() + "\\s.bin", content);
    spit(dn() + "\\m.bin", exact);
    int requests = 0;
    load(89);
    H().maxBlockSize = 1010;
    EXPECT_EQ(content, fetch("s.bin", 100000, 1000, &requests));
    EXPECT_EQ(3, requests);
    // An exact multiple ends with an empty block.
    EXPECT_EQ(exact, fetch("m.bin", 5000, 1000, &requests));
    EXPECT_EQ(4, requests);
    // A smaller request than the block gives what was asked.
    EXPECT_EQ(content, fetch("s.bin", 64, 64));
}

TEST_F(Transfer, SendOpenReportsSizeDateAndTimesAndKeepsWritersOut) {
    load();
    std::string path = dn() + "\\t.txt";
    spit(path, "hello");
    setUnixTimes(path, 1400000000, 1500000000);
    ASSERT_EQ(29, send(rq::kSend, th::Bytes().zeros(9).text("t.txt")));
    WireReader r = reply(29);
    EXPECT_EQ(1, r.i32());
    EXPECT_EQ(0, r.i16());
    EXPECT_EQ(5, r.i32());
    __time64_t t = 1500000000;
    struct tm tm;
    _localtime64_s(&tm, &t);
    rq::Date d = rq::readDate(r);
    EXPECT_TRUE(d.day == tm.tm_mday && d.month == tm.tm_mon + 1 && d.year == tm.tm_year + 1900 &&
                d.hour == tm.tm_hour && d.minute == tm.tm_min && d.second == 255);
    EXPECT_EQ(1400000000, r.i32());
    EXPECT_EQ(1500000000, r.i32());
    r.i32();
    EXPECT_TRUE(r.ok());
    HANDLE w = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, w);
    if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
    EXPECT_EQ(0, send(rq::kSend, stage(3)));
}

TEST_F(Transfer, FilesRoundTripByteForByteInTheProtocolsBlocksWithTheSentTimes) {
    // Protocol 88 has fixed areas, asking the host nothing: 8208 bytes in,
    // 400 out; later ones follow the host's block.
    struct Case {
        int protocol, block;
        size_t in, out;
    } cases[] = {{88, 0x7ff0, 8208 - 9, 400}, {114, 4096, 4096 - 9, 4096 - 10}, {114, 0x7ff0, 0x7ff0 - 9, 0x7ff0 - 10},
                 {114, 300000, 300000 - 9, 300000 - 10}};
    for (const Case &c : cases) {
        load(c.protocol, "", 300064);
        H().maxBlockSize = c.block;
        H().maxBlockSizeCalls = 0;
        std::string content = patterned(700000 + c.in % 977, static_cast<unsigned>(c.in));
        receive("big.bin", content, c.in);
        // Times first: reading the file may move its access time.
        EXPECT_EQ(std::pair(int64_t(1500000000), int64_t(1600000000)), unixTimes(up() + "\\big.bin"));
        ASSERT_TRUE(CopyFileA((up() + "\\big.bin").c_str(), (dn() + "\\big.bin").c_str(), FALSE));
        EXPECT_EQ(content, fetch("big.bin", static_cast<uint32_t>(c.block), c.out));
        EXPECT_EQ(c.protocol > 88, H().maxBlockSizeCalls > 0);
        m.reset();
    }
}

TEST_F(Transfer, CyrillicNamesReachTheDiskAndComeBackInTheOemCodePage) {
    load();
    const std::wstring report = L"Отчёт за май.txt", copy = L"Копия.txt";
    const std::wstring upW = wide(up()) + L"\\", dnW = wide(dn()) + L"\\";
    receive(oem(report), "content", 4);
    EXPECT_TRUE(existsW(upW + report));

    ASSERT_TRUE(CopyFileW((upW + report).c_str(), (dnW + report).c_str(), FALSE));
    EXPECT_EQ("content", fetch(oem(report), 100, 100));

    th::Bytes copyNames = th::Bytes().zeros(4).i32(static_cast<int32_t>(oem(report).size() + 1));
    ASSERT_EQ(8, send(rq::kCopy, copyNames.text(oem(report)).text(oem(copy))));
    EXPECT_EQ(7, i32At(0));
    EXPECT_TRUE(existsW(upW + copy));

    // The listing names both in the server's code page.
    std::string pattern = up() + "\\*.txt";
    th::Bytes list = th::Bytes().zeros(4).u8(0).i32(1).i32(static_cast<int32_t>(pattern.size() + 1)).i16(0);
    WireReader r = reply(send(rq::kDirList, list.text(pattern)));
    EXPECT_EQ(0, r.i32());
    std::set<std::string> names;
    for (uint16_t i = 0, count = r.u16(); i < count; ++i) {
        r.skip(15);
        names.insert(std::string(r.text()));
    }
    EXPECT_TRUE(r.ok());
    EXPECT_EQ((std::set<std::string>{oem(report), oem(copy)}), names);
}

}  // namespace
