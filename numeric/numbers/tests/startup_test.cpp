// The handler slots hold the defaults from the moment the program is
// loaded, before any code of the library has run.
#include <gtest/gtest.h>

#include "decerrors.h"

namespace {

int quiet(const Numeric96InexactErr &e) { return e.op(); }

TEST(Startup, DefaultHandlersAreInForceFromLoad) {
    ::testing::internal::CaptureStderr();
    convertDecimal(Numeric96_fromText("1.23456"), 2, 0, 4);
    EXPECT_EQ("inexact in convertDecimal(2)\n", ::testing::internal::GetCapturedStderr());
    EXPECT_EQ(Numeric96_defaultInexactHandler, Numeric96_setInexactHandler(quiet));
    EXPECT_EQ(Numeric96_defaultOverflowHandler, Numeric96_setOverflowHandler(Numeric96_defaultOverflowHandler));
    EXPECT_EQ(Numeric96_defaultDivByZeroHandler, Numeric96_setDivByZeroHandler(Numeric96_defaultDivByZeroHandler));
    ::testing::internal::CaptureStderr();
    convertDecimal(Numeric96_fromText("1.23456"), 2, 0, 4);
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}

}  // namespace
