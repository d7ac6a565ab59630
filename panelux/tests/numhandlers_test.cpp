// formkit's decimal error handlers, as its library entry installs them.
#include <gtest/gtest.h>

#include "decerrors.h"
#include "numhandlers.h"

namespace {

struct NumHandlers : ::testing::Test {
    void SetUp() override { px_installNumericHandlers(); }
    void TearDown() override { px_restoreNumericHandlers(); }
};

TEST_F(NumHandlers, InexactGoesOnQuietly) {
    ::testing::internal::CaptureStderr();
    Numeric96 r = convertDecimal(Numeric96_fromText("1.23456"), 2, 0, 4);
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
    EXPECT_EQ("1.23", Numeric96_toStdString(r));
}

TEST_F(NumHandlers, OverflowAndDivisionByZeroThrowTheirClasses) {
    try {
        Numeric96_fromText("123456789012345678901234567890");
        ADD_FAILURE() << "no exception";
    } catch (const Numeric96OverflowErr &e) {
        EXPECT_STREQ("overflow converting from portable decimal", e.what());
        EXPECT_EQ(Numeric96Op_conversion, e.op());
    }
    Numeric96ErrorHandler divByZero = Numeric96_setDivByZeroHandler(nullptr);
    Numeric96_setDivByZeroHandler(divByZero);
    Numeric96 one = Numeric96_fromText("1");
    try {
        divByZero(Numeric96InexactErr("divide by zero", Numeric96Op_divide, one, Numeric96()));
        ADD_FAILURE() << "no exception";
    } catch (const Numeric96DivByZeroErr &e) {
        EXPECT_STREQ("divide by zero", e.what());
        EXPECT_EQ("1", Numeric96_toStdString(e.operand1()));
    }
}

TEST_F(NumHandlers, DetachPutsTheDefaultsBack) {
    px_restoreNumericHandlers();
    EXPECT_EQ(Numeric96_defaultInexactHandler, Numeric96_setInexactHandler(Numeric96_defaultInexactHandler));
    EXPECT_EQ(Numeric96_defaultOverflowHandler, Numeric96_setOverflowHandler(Numeric96_defaultOverflowHandler));
    EXPECT_EQ(Numeric96_defaultDivByZeroHandler, Numeric96_setDivByZeroHandler(Numeric96_defaultDivByZeroHandler));
}

}  // namespace
