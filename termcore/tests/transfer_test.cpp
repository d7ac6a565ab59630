// Requests 100 and 101: files in both directions, block by block.
#include <ctime>

#include "requests.h"

namespace {

th::Host &H() { return th::Host::get(); }

struct Times {
    int64_t access, modification;
};

int64_t unixOf(const FILETIME &ft) {
    int64_t v = static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    return (v - 116444736000000000LL) / 10000000;
}

Times timesOf(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
    return {unixOf(d.ftLastAccessTime), unixOf(d.ftLastWriteTime)};
}

struct Transfer : TermcoreTest {
    // Sends content in blocks of `block` bytes; the last block is stage 2.
    void receive(const std::string &name, const std::string &content, size_t block) {
        ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen(name, {1, 1, 2020, 0, 0, 255}, 1500000000, 1600000000)));
        WireReader r = reply(6);
        ASSERT_EQ(1u, r.u32());
        ASSERT_EQ(0, r.i16());
        size_t at = 0;
        uint32_t id = 7;
        do {
            size_t n = std::min(block, content.size() - at);
            bool last = at + n == content.size();
            ASSERT_EQ(6, send(rq::kRecv, rq::recvData(id, content.substr(at, n), last ? 2 : 1)));
            WireReader d = reply(6);
            EXPECT_EQ(id, d.u32());
            ASSERT_EQ(0, d.i16()) << "block at " << at;
            at += n;
            ++id;
        } while (at < content.size());
    }

    // Reads a file through stage 1 requests of `ask` bytes; each reply must
    // carry `expectBlock` bytes until the end.
    std::string fetch(const std::string &name, uint32_t ask, size_t expectBlock, int *requests = nullptr) {
        EXPECT_EQ(29, send(rq::kSend, rq::sendOpen(name)));
        std::string got;
        int count = 0;
        for (uint32_t id = 1; id < 100000; ++id) {
            int n = send(rq::kSend, rq::sendData(id, ask));
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
        if (requests) *requests = count;
        return got;
    }
};

TEST_F(Transfer, ReceivedFileMatchesByteForByteAndCarriesTheSentTimes) {
    load(114);
    H().maxBlockSize = 4096;
    std::string content = patterned(3 * 4087 + 5, 1);
    receive("got.bin", content, 4096 - 9);
    // Times first: reading the file may move its access time.
    Times t = timesOf(up() + "\\got.bin");
    EXPECT_EQ(1500000000, t.access);
    EXPECT_EQ(1600000000, t.modification);
    EXPECT_EQ(content, slurp(up() + "\\got.bin"));
}

TEST_F(Transfer, ReceiveBlockBeyondTheHostsLargestIsAnErrorAndDropsTheFile) {
    load(114);
    H().maxBlockSize = 4096;
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("big.bin", {1, 1, 2020, 0, 0, 255})));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(1, std::string(4096 - 9, 'a'), 1)));
    EXPECT_EQ(0, i16At(4));
    // The record claims one byte more than any block can hold.
    th::Bytes b = rq::recvData(2, std::string(4096 - 9, 'b'), 1);
    b.patch16(4, 4096 - 8);
    ASSERT_EQ(6, send(rq::kRecv, b));
    WireReader r = reply(6);
    EXPECT_EQ(2u, r.u32());
    EXPECT_EQ(-1, r.i16());
    EXPECT_FALSE(exists(up() + "\\big.bin"));
}

TEST_F(Transfer, OlderProtocolBoundsBlocksByTheFixedArea) {
    load(88);
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("old.bin", {1, 1, 2020, 0, 0, 255})));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(1, std::string(8208 - 9, 'x'), 2)));
    EXPECT_EQ(0, i16At(4));
    EXPECT_EQ(8208u - 9, slurp(up() + "\\old.bin").size());
    EXPECT_EQ(0, H().maxBlockSizeCalls);
}

TEST_F(Transfer, DateBlockIsTakenAsLocalTime) {
    load();
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("d.txt", {15, 6, 2021, 13, 45, 30})));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(1, "abc", 2)));
    struct tm tm = {};
    tm.tm_mday = 15;
    tm.tm_mon = 5;
    tm.tm_year = 121;
    tm.tm_hour = 13;
    tm.tm_min = 45;
    tm.tm_sec = 30;
    tm.tm_isdst = _daylight;
    int64_t want = _mktime64(&tm);
    Times t = timesOf(up() + "\\d.txt");
    EXPECT_EQ(want, t.modification);
    EXPECT_EQ(want, t.access);
}

TEST_F(Transfer, EmptyDataBlocksWriteNothingAndSucceed) {
    load();
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("e.txt", {1, 1, 2020, 0, 0, 255})));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(3, "", 1)));
    EXPECT_EQ(0, i16At(4));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(4, "", 2)));
    EXPECT_EQ("", slurp(up() + "\\e.txt"));
    EXPECT_TRUE(exists(up() + "\\e.txt"));
}

TEST_F(Transfer, DataStagesWithoutAnOpenFileAnswerFailure) {
    load();
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(5, "data", 1)));
    WireReader r = reply(6);
    EXPECT_EQ(5u, r.u32());
    EXPECT_EQ(-1, r.i16());
    ASSERT_EQ(10, send(rq::kSend, rq::sendData(5, 100)));
    WireReader s = reply(10);
    EXPECT_EQ(0u, s.u32());
    EXPECT_EQ(-1, s.i16());
    EXPECT_EQ(0, s.i32());
}

TEST_F(Transfer, AbortAndSessionEndDeleteAnIncompleteReceive) {
    load();
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("a.txt", {1, 1, 2020, 0, 0, 255})));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(1, "part", 1)));
    EXPECT_EQ(0, send(rq::kRecv, rq::recvStage(3)));
    EXPECT_FALSE(exists(up() + "\\a.txt"));
    // A stage after the abort finds no file.
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(2, "more", 2)));
    EXPECT_EQ(-1, i16At(4));

    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("b.txt", {1, 1, 2020, 0, 0, 255})));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvData(1, "part", 1)));
    lifeCycle(kMsgUnload, false);
    EXPECT_FALSE(exists(up() + "\\b.txt"));
    EXPECT_EQ(0, send(rq::kRecv, rq::recvStage(9)));
    EXPECT_TRUE(m->replyUntouchedFrom(0));
}

TEST_F(Transfer, ReceiveIntoAMissingFolderOrAnOverlongPathFails) {
    load();
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen(std::string(300, 'n'), {1, 1, 2020, 0, 0, 255})));
    EXPECT_EQ(0, i32At(0));
    EXPECT_EQ(-1, i16At(4));
    ASSERT_EQ(6, send(rq::kRecv, rq::recvOpen("no\\such\\x.txt", {1, 1, 2020, 0, 0, 255})));
    WireReader r = reply(6);
    EXPECT_EQ(0u, r.u32());
    EXPECT_EQ(-1, r.i16());
}

TEST_F(Transfer, SendBlocksFollowTheProtocolThreshold) {
    std::string content = patterned(2500, 3);
    {
        load(88);
        spit(dn() + "\\s.bin", content);
        int requests = 0;
        EXPECT_EQ(content, fetch("s.bin", 100000, 400, &requests));
        EXPECT_EQ(7, requests);
        EXPECT_EQ(0, H().maxBlockSizeCalls);
        m.reset();
    }
    load(89);
    H().maxBlockSize = 1010;
    int requests = 0;
    EXPECT_EQ(content, fetch("s.bin", 100000, 1000, &requests));
    EXPECT_EQ(3, requests);
    // A smaller request than the block gives what was asked.
    EXPECT_EQ(content, fetch("s.bin", 64, 64));
}

TEST_F(Transfer, SendOfAnExactMultipleEndsWithAnEmptyBlock) {
    load(114);
    H().maxBlockSize = 1010;
    std::string content = patterned(3000, 4);
    spit(dn() + "\\m.bin", content);
    ASSERT_EQ(29, send(rq::kSend, rq::sendOpen("m.bin")));
    for (uint32_t id = 1; id <= 3; ++id) {
        ASSERT_EQ(1010, send(rq::kSend, rq::sendData(id, 5000)));
        EXPECT_EQ(id, reply(4).u32());
    }
    ASSERT_EQ(10, send(rq::kSend, rq::sendData(4, 5000)));
    WireReader r = reply(10);
    EXPECT_EQ(0u, r.u32());
    EXPECT_EQ(0, r.i16());
    EXPECT_EQ(0, r.i32());
    // The file was closed at its end.
    ASSERT_EQ(10, send(rq::kSend, rq::sendData(5, 5000)));
    EXPECT_EQ(-1, i16At(4));
}

TEST_F(Transfer, SendOpenReportsSizeDateAndTimes) {
    load();
    std::string path = dn() + "\\t.txt";
    spit(path, "hello");
    {
        HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        int64_t a = 1400000000, w = 1500000000;
        FILETIME fa, fw;
        uint64_t va = static_cast<uint64_t>(a * 10000000 + 116444736000000000LL);
        uint64_t vw = static_cast<uint64_t>(w * 10000000 + 116444736000000000LL);
        fa = {static_cast<DWORD>(va), static_cast<DWORD>(va >> 32)};
        fw = {static_cast<DWORD>(vw), static_cast<DWORD>(vw >> 32)};
        SetFileTime(h, nullptr, &fa, &fw);
        CloseHandle(h);
    }
    ASSERT_EQ(29, send(rq::kSend, rq::sendOpen("t.txt")));
    WireReader r = reply(29);
    EXPECT_EQ(1, r.i32());
    EXPECT_EQ(0, r.i16());
    EXPECT_EQ(5, r.i32());
    __time64_t t = 1500000000;
    struct tm tm;
    _localtime64_s(&tm, &t);
    EXPECT_EQ(tm.tm_mday, r.u8());
    EXPECT_EQ(tm.tm_mon + 1, r.u8());
    EXPECT_EQ(tm.tm_year + 1900, r.u16());
    EXPECT_EQ(tm.tm_hour, r.u8());
    EXPECT_EQ(tm.tm_min, r.u8());
    EXPECT_EQ(255, r.u8());
    EXPECT_EQ(1400000000, r.i32());
    EXPECT_EQ(1500000000, r.i32());
    r.i32();
    EXPECT_TRUE(r.ok());
    // Other writers are kept out while the file is being sent.
    HANDLE w = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, w);
    if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
    EXPECT_EQ(0, send(rq::kSend, rq::sendStage(3)));
}

TEST_F(Transfer, SendOfAMissingFileFails) {
    load();
    ASSERT_EQ(10, send(rq::kSend, rq::sendOpen("absent.txt")));
    WireReader r = reply(10);
    EXPECT_EQ(0, r.i32());
    EXPECT_EQ(-1, r.i16());
    EXPECT_EQ(0, r.i32());
}

TEST_F(Transfer, LargeFilesRoundTripAtSmallAndLargeBlocks) {
    for (int block : {0x7ff0, 300000}) {
        load(114, "", 300064);
        H().maxBlockSize = block;
        std::string content = patterned(1500000 + static_cast<size_t>(block) % 977, static_cast<unsigned>(block));
        receive("big.bin", content, static_cast<size_t>(block) - 9);
        ASSERT_TRUE(CopyFileA((up() + "\\big.bin").c_str(), (dn() + "\\big.bin").c_str(), FALSE));
        EXPECT_EQ(content, fetch("big.bin", static_cast<uint32_t>(block), static_cast<size_t>(block) - 10));
        m.reset();
    }
}

}  // namespace
