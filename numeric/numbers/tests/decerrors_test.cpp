// Decimal error reports: handler slots, defaults, forwarding and texts.
#include <gtest/gtest.h>

#include <string>

#include "decerrors.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

void throwOverflow(const Numeric96Err &e) { throw Numeric96OverflowErr(e); }

std::string g_lastText;
int g_lastOp = -1;
int recordInexact(const Numeric96InexactErr &e) {
    g_lastText = e.what();
    g_lastOp = e.op();
    return e.op();
}

struct DecErrors : ::testing::Test {
    void TearDown() override { Numeric96_installDefaultHandlers(); }
};

Numeric96 rescaleTo2(const char *text) { return convertDecimal(Numeric96_fromText(text), 2, 0, 4); }

TEST_F(DecErrors, ExceptionTextKeepsAtMost255Characters) {
    std::string long300(300, 'x');
    Numeric96OverflowErr e(long300.c_str(), 3, Numeric96(), Numeric96());
    EXPECT_EQ(std::string(255, 'x'), e.what());
    Numeric96OverflowErr copy(e);
    EXPECT_EQ(std::string(255, 'x'), copy.what());
    EXPECT_EQ(3, copy.op());
    QVException empty(nullptr);
    EXPECT_STREQ("", empty.what());
}

TEST_F(DecErrors, DefaultInexactHandlerWritesTheTextExceptForDivision) {
    CaptureStderr();
    Numeric96 r = rescaleTo2("1.23456");
    EXPECT_EQ("inexact in convertDecimal(2)\n", GetCapturedStderr());
    EXPECT_EQ("1.23", Numeric96_toStdString(r));

    CaptureStderr();
    Numeric96_reportInexact(Numeric96Op_divide, Numeric96(), Numeric96(), "quiet");
    EXPECT_EQ("", GetCapturedStderr());
}

TEST_F(DecErrors, OverflowThrowsTheRightClassWithTheRightText) {
    const char *tooBig = "123456789012345678901234567890";
    for (bool installed : {false, true}) {
        if (installed) Numeric96_setOverflowHandler(throwOverflow);
        CaptureStderr();
        try {
            Numeric96_fromText(tooBig);
            ADD_FAILURE() << "no exception";
        } catch (const Numeric96OverflowErr &e) {
            EXPECT_STREQ("overflow converting from portable decimal", e.what());
            EXPECT_EQ(Numeric96Op_conversion, e.op());
            EXPECT_EQ(NmDecimal_null, e.operand1().state);
        }
        EXPECT_EQ(installed ? "" : "overflow converting from portable decimal\n", GetCapturedStderr());
    }
    Numeric96_setOverflowHandler(throwOverflow);
    Numeric96 big = Numeric96_fromText("100000000000000000");
    try {
        convertDecimal(big, 12, 0, 4);
        ADD_FAILURE() << "no exception";
    } catch (const QVException &e) {
        EXPECT_STREQ("overflow in convertDecimal(12)", e.what());
        const auto &err = dynamic_cast<const Numeric96OverflowErr &>(e);
        EXPECT_EQ(Numeric96Op_assign, err.op());
        EXPECT_EQ("100000000000000000", Numeric96_toStdString(err.operand2()));
    }
}

TEST_F(DecErrors, DivideByZeroDefaultWritesAndThrowsItsOwnClass) {
    Numeric96 one = Numeric96_fromText("1");
    CaptureStderr();
    try {
        Numeric96_defaultDivByZeroHandler(Numeric96OverflowErr("division by zero", 4, one, Numeric96()));
        ADD_FAILURE() << "no exception";
    } catch (const Numeric96DivByZeroErr &e) {
        EXPECT_STREQ("division by zero", e.what());
        EXPECT_EQ(4, e.op());
        EXPECT_EQ("1", Numeric96_toStdString(e.operand1()));
    }
    EXPECT_EQ("division by zero\n", GetCapturedStderr());
}

TEST_F(DecErrors, InexactTextConversionIsForwardedWithoutItsTag) {
    Numeric96_setInexactHandler(recordInexact);
    g_lastOp = -1;
    Numeric96 v = Numeric96_fromText("1.0000000000000000000000000000000001");
    EXPECT_EQ(Numeric96Op_conversion, g_lastOp);
    EXPECT_EQ("inexact result converting from portable decimal", g_lastText);
    EXPECT_EQ("1.0000000000000000000000000000", Numeric96_toStdString(v));
}

TEST_F(DecErrors, InitialWorkingFormHandlersThrowTheFullMessage) {
    NmDecimal_setOverflowHandler(NmDecimal_defaultOverflowHandler);
    NmDecimal_setInexactHandler(NmDecimal_defaultInexactHandler);
    try {
        Numeric96_fromText("123456789012345678901234567890");
        ADD_FAILURE() << "no exception";
    } catch (const NmExternalErr &e) {
        EXPECT_STREQ("[FROMPORTOVER] NmDecimal: overflow converting from portable decimal", e.text());
    }
    CaptureStderr();
    Numeric96_fromText("1.0000000000000000000000000000000001");
    EXPECT_EQ("[FROMPORTINEXACT] NmDecimal: inexact result converting from portable decimal\n", GetCapturedStderr());
}

}  // namespace
