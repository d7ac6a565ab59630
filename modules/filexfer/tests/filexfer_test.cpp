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

    int32_t status() const { return WireReader(m->reply(), 4).i32(); }
    std::string textAt(size_t offset) const {
        WireReader r(m->reply(), m->replyCapacity());
        r.seek(offset);
        return std::string(r.text());
    }
    int open(const std::string &path) { return m->message(1, th::Bytes().zeros(4).text(path)); }
    int write(const std::string &data) {
        return m->message(3, th::Bytes().i32(static_cast<int32_t>(data.size())).raw(data.data(), data.size()));
    }
    int iniKey(const std::string &key, const std::string &file, int32_t flag = 1) {
        return m->message(4, th::Bytes().i32(flag).text(key).text(file));
    }

    std::unique_ptr<th::Module> m;
    th::TempDir dir;
};

TEST_F(Filexfer, EntryExportsAnswerAsTheHostExpects) {
    auto dllMain = reinterpret_cast<ZamDllMainFn>(m->proc("ZamDllMain"));
    ASSERT_NE(nullptr, dllMain);
    // The entry point ran at load: ZamDllMain has nothing to start.
    EXPECT_EQ(1, dllMain(m->handle(), DLL_PROCESS_ATTACH, nullptr));
    for (int code : {0, 10, 100, -1, -4, 0x7fffffff}) {
        EXPECT_EQ(0, m->message(code, th::Bytes().zeros(32))) << code;
        EXPECT_TRUE(m->replyUntouchedFrom(0)) << code;
    }
    EXPECT_EQ(8, m->message(6));
    WireReader r(m->reply(), 8);
    EXPECT_EQ(0, r.i32());
    EXPECT_EQ(100, r.i32());
}

TEST_F(Filexfer, BlocksWrittenAreReadBackAfterClose) {
    EXPECT_EQ(4, open(dir.file("out.bin")));
    EXPECT_EQ(0, status());
    std::string block("ab\0c\r\n", 6);
    EXPECT_EQ(4, write(block));
    EXPECT_EQ(0, status());
    EXPECT_EQ(4, write(""));
    EXPECT_EQ(0, status());
    EXPECT_EQ(4, write(std::string(70000, 'x')));
    EXPECT_EQ(0, status());
    EXPECT_EQ(4, m->message(2));
    EXPECT_EQ(0, status());
    EXPECT_EQ(block + std::string(70000, 'x'), dir.read("out.bin"));
    // Nothing is open any more.
    EXPECT_EQ(4, m->message(2));
    EXPECT_EQ(12, status());
    EXPECT_EQ(4, write("late"));
    EXPECT_EQ(4, status());
}

TEST_F(Filexfer, ASecondOpenClosesTheFirstFile) {
    open(dir.file("a.txt"));
    write("first");
    open(dir.file("b.txt"));
    EXPECT_EQ(0, status());
    EXPECT_EQ("first", dir.read("a.txt"));
    EXPECT_EQ(4, m->message(5, th::Bytes().i32(0).text(dir.file("a.txt"))));
    EXPECT_EQ(0, status());
    write("second");
    m->message(2);
    EXPECT_EQ("second", dir.read("b.txt"));
}

TEST_F(Filexfer, ANegativeLengthIsRefusedAndTheFileStaysOpen) {
    open(dir.file("neg.txt"));
    EXPECT_EQ(4, m->message(3, th::Bytes().i32(-1).text("xyz")));
    EXPECT_EQ(4, status());
    EXPECT_EQ(4, m->message(3, th::Bytes().i32(INT32_MIN)));
    EXPECT_EQ(4, status());
    write("kept");
    EXPECT_EQ(0, status());
    m->message(kMsgUnload);
    EXPECT_EQ("kept", dir.read("neg.txt"));
}

TEST_F(Filexfer, AFailedOpenReportsTheRunTimeErrorOfTheLibrary) {
    std::string path = dir.file("missing\\sub\\x.txt");
    EXPECT_EQ(4, open(path));
    EXPECT_EQ(3, status());
    // The test's own run-time library says what the same failure means.
    errno = 0;
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_EQ(nullptr, f);
    int number = errno;
    std::string text = std::strerror(number);
    int n = m->message(7);
    EXPECT_EQ(static_cast<int>(text.size()) + 9, n);
    WireReader r(m->reply(), static_cast<size_t>(n));
    EXPECT_EQ(0, r.i32());
    EXPECT_EQ(number, r.i32());
    EXPECT_EQ(text, r.text());
    EXPECT_TRUE(m->replyUntouchedFrom(static_cast<size_t>(n)));
}

TEST_F(Filexfer, DeleteAnswersNineForAFileThatIsNotThere) {
    dir.write("gone.txt", "x");
    EXPECT_EQ(4, m->message(5, th::Bytes().i32(0).text(dir.file("gone.txt"))));
    EXPECT_EQ(0, status());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(dir.file("gone.txt").c_str()));
    EXPECT_EQ(4, m->message(5, th::Bytes().i32(0).text(dir.file("gone.txt"))));
    EXPECT_EQ(9, status());
}

TEST_F(Filexfer, IniKeysAreReadThroughTheTerminalFirstMatchWins) {
    dir.write("app.ini", "[Main]\r\nOther=x\r\nName = first value\r\nNAME=second\r\nEmpty=\r\n");
    std::string ini = dir.file("app.ini");
    int n = iniKey("name", ini);
    EXPECT_EQ(4 + 11 + 1, n);
    EXPECT_EQ(0, status());
    EXPECT_EQ("first value", textAt(4));
    EXPECT_TRUE(m->replyUntouchedFrom(static_cast<size_t>(n)));
    EXPECT_EQ((std::vector<std::string>{ini}), th::Host::get().iniReads);

    EXPECT_EQ(5, iniKey("Empty", ini));
    EXPECT_EQ("", textAt(4));
    for (auto key : {"Absent", "Main", ""}) {
        EXPECT_EQ(4, iniKey(key, ini)) << key;
        EXPECT_EQ(10, status()) << key;
    }
    EXPECT_EQ(4, iniKey("nope", dir.file("none.ini")));
    EXPECT_EQ(10, status());
}

TEST_F(Filexfer, IniRequestWithAZeroFlagDoesNotReadTheFile) {
    dir.write("app.ini", "Name=v\r\n");
    EXPECT_EQ(4, iniKey("Name", dir.file("app.ini"), 0));
    EXPECT_EQ(10, status());
    EXPECT_TRUE(th::Host::get().iniReads.empty());
}

TEST_F(Filexfer, AnIniValueLongerThanTheBufferIsNotCopied) {
    dir.write("long.ini", "Fit=" + std::string(1023, 'f') + "\r\nLong=" + std::string(1024, 'l') + "\r\n");
    int n = iniKey("Fit", dir.file("long.ini"));
    EXPECT_EQ(4 + 1024, n);
    EXPECT_EQ(std::string(1023, 'f'), textAt(4));
    EXPECT_EQ(4, iniKey("Long", dir.file("long.ini")));
    EXPECT_EQ(10, status());
    EXPECT_TRUE(m->replyUntouchedFrom(4));
}

TEST_F(Filexfer, TempPathIsTheSystemsAndALongOneIsAFailure) {
    char expected[MAX_PATH + 1];
    DWORD len = GetTempPathA(sizeof expected, expected);
    ASSERT_GT(len, 0u);
    int n = m->message(8);
    EXPECT_EQ(static_cast<int>(len) + 5, n);
    EXPECT_EQ(0, status());
    EXPECT_EQ(std::string(expected, len), textAt(4));

    // Around the limit: the module answers the system's path when it has
    // at most 260 characters and 14 otherwise, never a cut path.
    char saved[32768];
    DWORD savedLen = GetEnvironmentVariableA("TMP", saved, sizeof saved);
    for (size_t length : {200, 257, 258, 259, 260, 300}) {
        std::string tmp = "C:\\" + std::string(length - 3, 't');
        SetEnvironmentVariableA("TMP", tmp.c_str());
        char probe[32768];
        DWORD probeLen = GetTempPathA(sizeof probe, probe);
        n = m->message(8);
        if (probeLen == 0 || probeLen > 260) {
            EXPECT_EQ(4, n) << length;
            EXPECT_EQ(14, status()) << length;
        } else {
            EXPECT_EQ(static_cast<int>(probeLen) + 5, n) << length;
            EXPECT_EQ(std::string(probe, probeLen), textAt(4)) << length;
        }
    }
    SetEnvironmentVariableA("TMP", savedLen ? saved : nullptr);
}

TEST_F(Filexfer, LocaleAnswersAreTheSystemsAndEndWithTheirTerminator) {
    for (LCTYPE type : {LOCALE_SDECIMAL, LOCALE_STHOUSAND, LOCALE_SSHORTDATE, LOCALE_SENGLANGUAGE,
                        LOCALE_SNATIVELANGNAME, LOCALE_IDEFAULTANSICODEPAGE}) {
        char expected[1024];
        int len = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, expected, sizeof expected);
        ASSERT_GT(len, 0) << type;
        int n = m->message(9, th::Bytes().i32(0).i32(static_cast<int32_t>(type)));
        EXPECT_EQ(4 + len, n) << type;
        EXPECT_EQ(0, status());
        EXPECT_EQ(std::string(expected), textAt(4)) << type;
        EXPECT_TRUE(m->replyUntouchedFrom(static_cast<size_t>(n))) << type;
    }
    EXPECT_EQ(4, m->message(9, th::Bytes().i32(0).i32(0x7ff0)));
    EXPECT_EQ(15, status());
}

TEST_F(Filexfer, UnloadClosesTheKeptFile) {
    open(dir.file("u.txt"));
    write("data");
    EXPECT_EQ(0, m->message(kMsgUnload));
    EXPECT_TRUE(m->replyUntouchedFrom(0));
    EXPECT_EQ("data", dir.read("u.txt"));
    EXPECT_EQ(4, m->message(5, th::Bytes().i32(0).text(dir.file("u.txt"))));
    EXPECT_EQ(0, status());
}

}  // namespace
