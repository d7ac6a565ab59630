// The message modules' entry skeleton, linked into the test.
#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
