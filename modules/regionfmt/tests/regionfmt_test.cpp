// regionfmt.dll registered with the stand-in interpreter; its locale
// answers are compared with GetLocaleInfoA. The RegionfmtLocale cases run
// twice: under the test run's Russian locale and under LC_ALL=C.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include <windows.h>

#include "regmodule.h"

namespace {

th::Interp &I() { return th::Interp::get(); }

const std::map<std::string, LCTYPE> kLocaleFunctions{
    {"GetLocaleDecimalSeparator", LOCALE_SDECIMAL},
    {"GetLocaleTimeSeparator", LOCALE_STIME},
    {"GetLocaleDateSeparator", LOCALE_SDATE},
    {"GetLocaleTimeFormat", LOCALE_STIMEFORMAT},
    {"GetLocaleDateFormat", LOCALE_SSHORTDATE},
    {"GetLocaleEnglishNameLanguage", LOCALE_SENGLANGUAGE},
};

struct Regionfmt : ::testing::Test {
    void SetUp() override {
        I().reset();
        I().enable({3, 6, 11});
        rf = std::make_unique<th::RegModule>("regionfmt.dll");
    }
    void TearDown() override { EXPECT_TRUE(I().trapsHit.empty()); }

    // Every locale function answers what the system says for the user.
    void expectTheSystemsAnswers() {
        for (const auto &f : kLocaleFunctions) {
            char expected[256] = "";
            ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, f.second, expected, sizeof expected), 0) << f.first;
            th::Val v = rf->call(f.first);
            EXPECT_EQ(V_STRING, v.type) << f.first;
            EXPECT_EQ(expected, v.s) << f.first;
        }
    }

    std::unique_ptr<th::RegModule> rf;
    th::TempDir dir;
};

TEST_F(Regionfmt, RegistersTheLocaleFunctionsAndMakeDirDos) {
    ASSERT_EQ(kLocaleFunctions.size() + 1, I().procs.size());
    for (const th::ProcReg &p : I().procs) {
        EXPECT_EQ(p.name == "MakeDirDOS" ? 7 : 6, p.kind) << p.name;
        EXPECT_TRUE(p.name == "MakeDirDOS" || kLocaleFunctions.count(p.name)) << p.name;
        EXPECT_EQ(0, p.zero);
    }
}


TEST_F(Regionfmt, MakeDirDosAnswersWhetherTheDirectoryWasMade) {
    std::string d = dir.file("new dir");
    EXPECT_TRUE(rf->call("MakeDirDOS", {I().str(d)}).b);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.c_str()));
    EXPECT_FALSE(rf->call("MakeDirDOS", {I().str(d)}).b);
    EXPECT_FALSE(rf->call("MakeDirDOS", {I().str(dir.file("no\\such\\parent"))}).b);
    th::Val v = rf->call("MakeDirDOS", {th::Interp::integer(1)});
    EXPECT_EQ(V_BOOL, v.type);
    EXPECT_FALSE(v.b);
    EXPECT_FALSE(rf->call("MakeDirDOS").b);
}

struct RegionfmtLocale : Regionfmt {};

TEST_F(RegionfmtLocale, TheRunIsUnderTheLocaleItAskedFor) {
    const char *lcAll = std::getenv("LC_ALL");
    ASSERT_NE(nullptr, lcAll);
    bool russian = PRIMARYLANGID(GetUserDefaultLangID()) == LANG_RUSSIAN;
    EXPECT_EQ(std::string(lcAll).rfind("ru_RU", 0) == 0, russian) << "LC_ALL=" << lcAll;
}

TEST_F(RegionfmtLocale, LocaleAnswersAreTheUsersDefaultLocale) { expectTheSystemsAnswers(); }

}  // namespace
