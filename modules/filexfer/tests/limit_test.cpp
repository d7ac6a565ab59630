// Request 3 on a volume that fills: this program runs under
// testhost/filelimit, so no file of it grows past kLimit bytes; the write
// that reaches the limit is cut short and the next one fails.
#include <gtest/gtest.h>

#include <string>

#include "module.h"
#include "wire.h"

namespace {

constexpr size_t kLimit = 64 * 1024;

TEST(FilexferLimit, AFailedWriteIsReportedOnTheBlockWhoseBytesDidNotLand) {
    th::TempDir dir;
    th::Host::get().reset();
    th::Module m("filexfer.dll");
    m.setCallBacksName = "ZamSetCallBacks";
    m.messageProcName = "_ZamExtMessageProc";
    ASSERT_EQ(304, m.setCallBacks(th::Host::get().ext()));
    auto status = [&m](int code, const th::Bytes &b) {
        EXPECT_EQ(4, m.message(code, b));
        return WireReader(m.reply(), 4).i32();
    };
    // Without the limit this case would prove nothing.
    th::writeFile(dir.file("probe"), std::string(kLimit + 1, 'p'));
    ASSERT_EQ(kLimit, th::readFile(dir.file("probe")).size()) << "run this program through testhost/filelimit 64";

    ASSERT_EQ(0, status(1, th::Bytes().zeros(4).text(dir.file("out.bin"))));
    const size_t block = 1000;
    size_t failedAt = 0;
    for (size_t at = 0; at < 2 * kLimit && !failedAt; at += block) {
        std::string data(block, static_cast<char>('a' + at / block % 26));
        if (status(3, th::Bytes().i32(static_cast<int32_t>(block)).raw(data.data(), block)) != 0) failedAt = at + block;
    }
    EXPECT_EQ((kLimit / block + 1) * block, failedAt);
    // The file stays open; later blocks fail too, and closing succeeds.
    EXPECT_EQ(4, status(3, th::Bytes().i32(1).raw("x", 1)));
    EXPECT_EQ(0, status(2, th::Bytes()));
    EXPECT_EQ(kLimit, th::readFile(dir.file("out.bin")).size());
    m.message(kMsgUnload);
}

}  // namespace
