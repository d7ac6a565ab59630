// The message modules' entry skeleton, linked into the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host.h"
#include "module.h"
#include "zamentry.h"

namespace {

struct StartupLog {
    static std::vector<DWORD> reasons;
    static std::vector<HANDLE> instances;
    static BOOL WINAPI startup(HANDLE instance, DWORD reason, LPVOID) {
        instances.push_back(instance);
        reasons.push_back(reason);
        return 7;
    }
};
std::vector<DWORD> StartupLog::reasons;
std::vector<HANDLE> StartupLog::instances;

struct ZamDllMainTest : ::testing::Test {
    void SetUp() override {
        StartupLog::reasons.clear();
        StartupLog::instances.clear();
    }
};

TEST_F(ZamDllMainTest, AfterTheEntryPointRanItAnswersOneAndStartsNothing) {
    ZamEntryFlags flags;
    flags.entryRan = true;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(1, zamDllMainStep(flags, StartupLog::startup, nullptr, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_TRUE(StartupLog::reasons.empty());
    EXPECT_FALSE(flags.started);
}

TEST_F(ZamDllMainTest, WithoutTheEntryPointItStartsTheModuleAndAgainWithNewArguments) {
    ZamEntryFlags flags;
    HANDLE a = reinterpret_cast<HANDLE>(0x1000), b = reinterpret_cast<HANDLE>(0x2000);
    EXPECT_EQ(7, zamDllMainStep(flags, StartupLog::startup, a, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_TRUE(flags.started);
    // The entry point running later does not stop a started module.
    flags.entryRan = true;
    EXPECT_EQ(7, zamDllMainStep(flags, StartupLog::startup, b, DLL_THREAD_ATTACH, nullptr));
    EXPECT_EQ((std::vector<DWORD>{DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH}), StartupLog::reasons);
    EXPECT_EQ((std::vector<HANDLE>{a, b}), StartupLog::instances);
}

TEST(ZamEntry, InstanceDataIsKeptAndTheCountIsOne) {
    int x = 0;
    EXPECT_EQ(&x, ZamSetInstData(&x));
    EXPECT_EQ(&x, ZamGetInstData());
    EXPECT_EQ(nullptr, ZamSetInstData(nullptr));
    EXPECT_EQ(1, ZamGetInstCount());
}

int ZAMCB keepValue(const char *key, const char *value, void *context) {
    auto *seen = static_cast<std::vector<std::string> *>(context);
    seen->push_back(std::string(key) + "=" + value);
    return seen->size() == 2 ? 42 : 0;
}

TEST(ZamEntry, TerminalServicesAreForwardedUnchanged) {
    th::Host &h = th::Host::get();
    h.reset();
    zamKeepExtTable(nullptr);
    std::vector<std::string> seen;
    EXPECT_NE(0, CompareNames("a", "a"));
    EXPECT_EQ(0, ReadIniFile("term.ini", keepValue, &seen));
    EXPECT_TRUE(seen.empty());

    th::TempDir dir;
    dir.write("term.ini", "A=1\r\nB = 2\r\nC=3\r\n");
    h.iniDir = dir.path();
    h.enableExt({1, 14});
    zamKeepExtTable(h.ext());
    EXPECT_EQ(h.ext(), ZamExtTable());
    EXPECT_EQ(0, CompareNames("Key", "KEY"));
    EXPECT_NE(0, CompareNames("Key", "Kez"));
    EXPECT_EQ(42, ReadIniFile("term.ini", keepValue, &seen));
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=2"}), seen);
    EXPECT_EQ((std::vector<std::string>{"term.ini"}), h.iniReads);
    zamKeepExtTable(nullptr);
}

}  // namespace
