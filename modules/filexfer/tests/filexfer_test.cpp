// filexfer.dll loaded and driven by the stand-in terminal host.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "module.h"
#include "wire.h"
#include "zam_interp.h"

namespace {

struct Filexfer : ::testing::Test {
    void SetUp() override {
        th::Host::get().reset();
        th::Host::get().enableExt({1, 14});
        m = std::make_unique<th::Module>("filexfer.dll");
        m->setCallBacksName = "ZamSetCallBacks";
        m->messageProcName = "_ZamExtMessageProc";
        ASSERT_EQ(304, m->setCallBacks(th::Host::get().ext()));
    }
    void TearDown() override { m->message(kMsgUnload); }

    // Sends a request and answers its status; n gets the reply's length.
    int32_t ask(int code, const th::Bytes &b = th::Bytes()) {
        n = m->message(code, b);
        return WireReader(m->reply(), 4).i32();
    }
    // The text after the status, checked to end the reply.
    std::string text() const {
        WireReader r(m->reply(), static_cast<size_t>(n));
        r.skip(4);
        std::string s(r.text());
        EXPECT_TRUE(r.ok() && r.left() == 0 && m->replyUntouchedFrom(static_cast<size_t>(n)));
        return s;
    }
    int32_t open(const std::string &name) { return ask(1, th::Bytes().zeros(4).text(dir.file(name))); }
    int32_t write(const std::string &data) {
        return ask(3, th::Bytes().i32(static_cast<int32_t>(data.size())).raw(data.data(), data.size()));
    }
    int32_t remove(const std::string &name) { return ask(5, th::Bytes().i32(0).text(dir.file(name))); }
    int32_t iniKey(const std::string &key, const std::string &file, int32_t flag = 1) {
        return ask(4, th::Bytes().i32(flag).text(key).text(dir.file(file)));
    }

    std::unique_ptr<th::Module> m;
    th::TempDir dir;
    int n = 0;
};

TEST_F(Filexfer, EntryExportsAnswerAsTheHostExpects) {
    auto dllMain = reinterpret_cast<ZamDllMainFn>(m->proc("ZamDllMain"));
    ASSERT_NE(nullptr, dllMain);
    EXPECT_EQ(1, dllMain(m->handle(), DLL_PROCESS_ATTACH, nullptr));
    for (int code : {0, 10, 100, -1, -4, 0x7fffffff}) {
        EXPECT_EQ(0, m->message(code, th::Bytes().zeros(32))) << code;
        EXPECT_TRUE(m->replyUntouchedFrom(0)) << code;
    }
    EXPECT_EQ(0, ask(6));
    EXPECT_EQ(8, n);
    EXPECT_EQ(100, WireReader(m->reply() + 4, 4).i32());
}

// filexfer never asks the host for its block: a record is read no further
// than the reader's scan limit, so a length or a name that runs past it is
// refused, not read.
TEST_F(Filexfer, RecordsAreReadNoFurtherThanTheScanLimit) {
    th::Host::get().enableExt({26});
    th::Host::get().maxBlockSize = static_cast<int>(kWireScanLimit) + 64;
    m->hostVersion(114);
    EXPECT_EQ(0, open("big.bin"));
    n = m->messageInBlock(3, th::Bytes().i32(static_cast<int32_t>(kWireScanLimit) - 3));
    EXPECT_EQ(4, WireReader(m->reply(), 4).i32());
    n = m->message(3, th::Bytes().i32(0x7fffffff).raw("data", 4));
    EXPECT_EQ(4, WireReader(m->reply(), 4).i32());
    EXPECT_EQ(0, write("kept"));
    EXPECT_EQ(0, ask(2));
    EXPECT_EQ("kept", dir.read("big.bin"));
    n = m->messageInBlock(1, th::Bytes().zeros(4).raw("name", 4));
    EXPECT_EQ(3, WireReader(m->reply(), 4).i32());
    EXPECT_EQ(0, th::Host::get().maxBlockSizeCalls);
}

// A record at the start of the host's 8 KiB block, the block followed by
// memory that cannot be read: a text or length that runs to the block's end
// is refused, never followed past it.
TEST_F(Filexfer, RecordsThatRunToTheEndOfTheHostsBufferAreRefused) {
    th::Host::get().maxBlockSize = 8192;
    EXPECT_EQ(0, open("kept.bin"));
    n = m->messageInBlock(4, th::Bytes().i32(1));
    EXPECT_EQ(10, WireReader(m->reply(), 4).i32());
    n = m->messageInBlock(4, th::Bytes().i32(1).text("key"));
    EXPECT_EQ(10, WireReader(m->reply(), 4).i32());
    n = m->messageInBlock(3, th::Bytes().i32(8189));
    EXPECT_EQ(4, WireReader(m->reply(), 4).i32());
    n = m->messageInBlock(3, th::Bytes().i32(8188));
    EXPECT_EQ(0, WireReader(m->reply(), 4).i32());
    for (int code : {1, 5}) {
        n = m->messageInBlock(code, th::Bytes().zeros(4));
        EXPECT_NE(0, WireReader(m->reply(), 4).i32()) << code;
    }
    EXPECT_EQ(0, ask(2));
    EXPECT_EQ(std::string(8188, 'x'), dir.read("kept.bin"));
}

TEST_F(Filexfer, BlocksAreWrittenToTheOneOpenFile) {
    EXPECT_EQ(0, open("a.txt"));
    EXPECT_EQ(0, write("first"));
    // A second open closes the first file.
    EXPECT_EQ(0, open("b.txt"));
    EXPECT_EQ("first", dir.read("a.txt"));
    EXPECT_EQ(0, remove("a.txt"));
    EXPECT_EQ(9, remove("a.txt"));
    std::string block("ab\0c\r\n", 6);
    for (const std::string &data : {block, std::string(), std::string(70000, 'x')}) EXPECT_EQ(0, write(data));
    // A negative length is refused and the file stays open.
    EXPECT_EQ(4, ask(3, th::Bytes().i32(-1).text("xyz")));
    EXPECT_EQ(4, ask(3, th::Bytes().i32(INT32_MIN)));
    EXPECT_EQ(0, ask(2));
    EXPECT_EQ(4, n);
    EXPECT_EQ(block + std::string(70000, 'x'), dir.read("b.txt"));
    EXPECT_EQ(12, ask(2));
    EXPECT_EQ(4, write("late"));
    // The session's end closes the kept file.
    EXPECT_EQ(0, open("u.txt"));
    EXPECT_EQ(0, write("data"));
    EXPECT_EQ(0, m->message(kMsgUnload));
    EXPECT_TRUE(m->replyUntouchedFrom(0));
    EXPECT_EQ("data", dir.read("u.txt"));
    EXPECT_EQ(0, remove("u.txt"));
}

TEST_F(Filexfer, AFailedOpenReportsTheRunTimeErrorOfTheLibrary) {
    EXPECT_EQ(3, open("missing\\sub\\x.txt"));
    // The test's own run-time library says what the same failure means.
    errno = 0;
    ASSERT_EQ(nullptr, std::fopen(dir.file("missing\\sub\\x.txt").c_str(), "wb"));
    int number = errno;
    EXPECT_EQ(0, ask(7));
    WireReader r(m->reply(), static_cast<size_t>(n));
    r.skip(4);
    EXPECT_EQ(number, r.i32());
    EXPECT_EQ(std::string(std::strerror(number)), r.text());
    EXPECT_TRUE(r.ok() && r.left() == 0 && m->replyUntouchedFrom(static_cast<size_t>(n)));
}

TEST_F(Filexfer, IniKeysAreReadThroughTheTerminalFirstMatchWins) {
    dir.write("app.ini", "[Main]\r\nOther=x\r\nName = first value\r\nNAME=second\r\nEmpty=\r\nFit=" +
                             std::string(1023, 'f') + "\r\nLong=" + std::string(1024, 'l') + "\r\n");
    EXPECT_EQ(10, iniKey("Name", "app.ini", 0));
    EXPECT_TRUE(th::Host::get().iniReads.empty()) << "a zero flag reads nothing";
    EXPECT_EQ(0, iniKey("name", "app.ini"));
    EXPECT_EQ("first value", text());
    EXPECT_EQ((std::vector<std::string>{dir.file("app.ini")}), th::Host::get().iniReads);
    EXPECT_EQ(0, iniKey("Empty", "app.ini"));
    EXPECT_EQ("", text());
    EXPECT_EQ(0, iniKey("Fit", "app.ini"));
    EXPECT_EQ(std::string(1023, 'f'), text());
    // A value longer than the terminal's buffer is not copied.
    for (auto key : {"Long", "Absent", "Main", ""}) {
        EXPECT_EQ(10, iniKey(key, "app.ini")) << key;
        EXPECT_TRUE(m->replyUntouchedFrom(4)) << key;
    }
    EXPECT_EQ(10, iniKey("nope", "none.ini"));
}

TEST_F(Filexfer, TempPathIsTheSystemsAndALongOneIsAFailure) {
    // The system's path when it has at most 260 characters, 14 otherwise,
    // never a cut path.
    char saved[32768];
    DWORD savedLen = GetEnvironmentVariableA("TMP", saved, sizeof saved);
    for (size_t length : {0, 200, 257, 258, 259, 260, 300}) {
        if (length) SetEnvironmentVariableA("TMP", ("C:\\" + std::string(length - 3, 't')).c_str());
        char probe[32768];
        DWORD probeLen = GetTempPathA(sizeof probe, probe);
        if (probeLen == 0 || probeLen > 260) {
            EXPECT_EQ(14, ask(8)) << length;
            EXPECT_EQ(4, n) << length;
        } else {
            EXPECT_EQ(0, ask(8)) << length;
            EXPECT_EQ(std::string(probe, probeLen), text()) << length;
        }
    }
    SetEnvironmentVariableA("TMP", savedLen ? saved : nullptr);
}

TEST_F(Filexfer, LocaleAnswersAreTheSystemsAndEndWithTheirTerminator) {
    for (LCTYPE type : {LOCALE_SDECIMAL, LOCALE_SSHORTDATE, LOCALE_SNATIVELANGNAME, LOCALE_IDEFAULTANSICODEPAGE}) {
        char expected[1024];
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, type, expected, sizeof expected), 0) << type;
        EXPECT_EQ(0, ask(9, th::Bytes().i32(0).i32(static_cast<int32_t>(type))));
        EXPECT_EQ(expected, text()) << type;
    }
    EXPECT_EQ(15, ask(9, th::Bytes().i32(0).i32(0x7ff0)));
}

}  // namespace
