// regionfmt.dll registered with the stand-in interpreter. The
// RegionfmtLocale cases run twice: under the Russian locale and LC_ALL=C.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include <windows.h>

#include "regmodule.h"

namespace {

th::Interp &I() { return th::Interp::get(); }

struct Regionfmt : ::testing::Test {
    void SetUp() override {
        I().reset();
        I().enable({3, 6, 11});
        rf = std::make_unique<th::RegModule>("regionfmt.dll");
    }
    void TearDown() override { EXPECT_TRUE(I().trapsHit.empty()); }
    std::unique_ptr<th::RegModule> rf;
};
using RegionfmtLocale = Regionfmt;

TEST_F(RegionfmtLocale, EachFunctionIsRegisteredAndAnswersTheUsersLocale) {
    const std::map<std::string, LCTYPE> functions{
        {"GetLocaleDecimalSeparator", LOCALE_SDECIMAL}, {"GetLocaleTimeSeparator", LOCALE_STIME},
        {"GetLocaleDateSeparator", LOCALE_SDATE},       {"GetLocaleTimeFormat", LOCALE_STIMEFORMAT},
        {"GetLocaleDateFormat", LOCALE_SSHORTDATE},     {"GetLocaleEnglishNameLanguage", LOCALE_SENGLANGUAGE},
    };
    ASSERT_EQ(functions.size() + 1, I().procs.size());
    for (const th::ProcReg &p : I().procs) {
        EXPECT_EQ(p.name == "MakeDirDOS" ? 7 : 6, p.kind) << p.name;
        EXPECT_TRUE(p.name == "MakeDirDOS" || functions.count(p.name)) << p.name;
    }
    for (const auto &f : functions) {
        char expected[256] = "";
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, f.second, expected, sizeof expected), 0) << f.first;
        EXPECT_TRUE(rf->call(f.first).isText(expected)) << f.first;
    }
}

TEST_F(Regionfmt, MakeDirDosAnswersWhetherTheDirectoryWasMade) {
    th::TempDir dir;
    std::string d = dir.file("new dir");
    EXPECT_TRUE(rf->call("MakeDirDOS", {I().str(d)}).b);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.c_str()));
    EXPECT_FALSE(rf->call("MakeDirDOS", {I().str(d)}).b);
    th::Val v = rf->call("MakeDirDOS", {th::Interp::integer(1)});
    EXPECT_EQ(V_BOOL, v.type);
    EXPECT_FALSE(v.b);
    EXPECT_FALSE(rf->call("MakeDirDOS").b);
}

TEST_F(Regionfmt, ZamDllMainAnswersOneOnceTheLibraryEntryRan) {
    auto dllMain = reinterpret_cast<ZamDllMainFn>(rf->module().proc("ZamDllMain"));
    ASSERT_NE(nullptr, dllMain);
    EXPECT_EQ(1, dllMain(rf->module().handle(), DLL_PROCESS_ATTACH, nullptr));
}

}  // namespace
