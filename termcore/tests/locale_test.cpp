// Requests 206 and 207 against the test's own GetLocaleInfoA.
#include "requests.h"

namespace {

using Locale = TermcoreTest;

TEST_F(Locale, InfoMatchesTheSystemsAnswerForEachSelector) {
    load();
    const LCID locales[] = {GetUserDefaultLCID(), GetSystemDefaultLCID(), 1049, 1049};
    const int32_t selectors[] = {0, 1, 7, -3};
    for (int i = 0; i < 4; ++i)
        for (LCTYPE type : {LOCALE_SLANGUAGE, LOCALE_SENGLANGUAGE, LOCALE_SDECIMAL, LOCALE_SSHORTDATE,
                            LOCALE_SMONTHNAME1, LOCALE_IDEFAULTANSICODEPAGE}) {
            char want[128];
            int len = GetLocaleInfoA(locales[i], type, want, 127);
            ASSERT_GT(len, 0);
            int n = send(rq::kLocaleInfo, rq::localeInfo(selectors[i], static_cast<int32_t>(type)));
            ASSERT_EQ(4 + len, n) << selectors[i] << " " << type;
            WireReader r = reply(n);
            EXPECT_EQ(len, r.i32());
            EXPECT_EQ(std::string(want), r.text());
        }
}

TEST_F(Locale, UnknownTypeAnswersLengthZero) {
    load();
    ASSERT_EQ(4, send(rq::kLocaleInfo, rq::localeInfo(0, 0x7fff)));
    EXPECT_EQ(0, i32At(0));
}

TEST_F(Locale, RussianRunUnderTheTestEnvironment) {
    load();
    send(rq::kLangIds, rq::langIds(0));
    EXPECT_EQ(1049, i32At(0));
    ASSERT_EQ(4, send(rq::kLangIds, rq::langIds(1)));
    EXPECT_EQ(GetSystemDefaultLangID(), i32At(0));
    send(rq::kLangIds, rq::langIds(9));
    EXPECT_EQ(1049, i32At(0));
}

}  // namespace
