// Script values and VARIANTs both ways, DISPPARAMS to lists and back.
#include <cmath>
#include <functional>

#include "convert.h"
#include "fixture.h"

namespace {

struct VarHolder {
    VARIANT v;
    VarHolder() { VariantInit(&v); }
    ~VarHolder() { VariantClear(&v); }
};

QvDecimalValue dec(uint16_t scale, int64_t value) {
    QvDecimalValue d{scale, value < 0 ? 0xFFFFFFFFu : 0u, static_cast<uint64_t>(value), static_cast<uint8_t>(value < 0)};
    return d;
}

double oleDate(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    SYSTEMTIME st{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d), static_cast<WORD>(h),
                  static_cast<WORD>(mi), static_cast<WORD>(s), 0};
    double out = 0;
    SystemTimeToVariantTime(&st, &out);
    return out;
}

TEST_F(Comgate, ScriptValuesBecomeVariants) {
    struct Case {
        const char *what;
        std::function<void(const List &)> put;
        VARTYPE vt;
        std::function<bool(const VARIANT &)> check;
    };
    const Case cases[] = {
        {"empty", [](const List &) {}, VT_EMPTY, [](const VARIANT &) { return true; }},
        {"i1", [](const List &l) { l.set(1, kQvtI1, int8_t(-5)); }, VT_I1, [](const VARIANT &v) { return v.cVal == -5; }},
        {"u1", [](const List &l) { l.set(1, kQvtU1, uint8_t(250)); }, VT_UI1, [](const VARIANT &v) { return v.bVal == 250; }},
        {"i2", [](const List &l) { l.set(1, kQvtI2, int16_t(-300)); }, VT_I2, [](const VARIANT &v) { return v.iVal == -300; }},
        {"u2", [](const List &l) { l.set(1, kQvtU2, uint16_t(65000)); }, VT_UI2, [](const VARIANT &v) { return v.uiVal == 65000; }},
        {"i4", [](const List &l) { l.set(1, kQvtI4, int32_t(-70000)); }, VT_I4, [](const VARIANT &v) { return v.lVal == -70000; }},
        {"u4", [](const List &l) { l.set(1, kQvtU4, uint32_t(4000000000u)); }, VT_UI4, [](const VARIANT &v) { return v.ulVal == 4000000000u; }},
        {"u4b", [](const List &l) { l.set(1, kQvtU4b, uint32_t(7)); }, VT_UI4, [](const VARIANT &v) { return v.ulVal == 7; }},
        {"double", [](const List &l) { l.set(1, kQvtDouble, 2.5); }, VT_R8, [](const VARIANT &v) { return v.dblVal == 2.5; }},
        {"bool", [](const List &l) { l.set(1, kQvtBool, uint8_t(1)); }, VT_BOOL, [](const VARIANT &v) { return v.boolVal == VARIANT_TRUE; }},
        {"text", [](const List &l) { l.text(1, "\xcf\xf0\xe8\xe2\xe5\xf2"); }, VT_BSTR,
         [](const VARIANT &v) { return std::wstring(v.bstrVal) == L"\u041f\u0440\u0438\u0432\u0435\u0442"; }},
        {"currency", [](const List &l) { l.set(1, kQvtCurrency, int64_t(-12345678)); }, VT_CY, [](const VARIANT &v) { return v.cyVal.int64 == -12345678; }},
        {"fixed4", [](const List &l) { l.set(1, kQvtFixed4, int64_t(-15000)); }, VT_DECIMAL,
         [](const VARIANT &v) { return v.decVal.scale == 4 && v.decVal.sign == DECIMAL_NEG && v.decVal.Lo64 == 15000; }},
        {"first date", [](const List &l) { l.set(1, kQvtDate, QvDateValue{1, 1, 100}); }, VT_DATE,
         [](const VARIANT &v) { return v.date == -657434.0; }},
        {"last moment", [](const List &l) { l.set(1, kQvtDateTime, QvDateTimeValue{{31, 12, 9999}, {99, 59, 59, 23}}); }, VT_DATE,
         [](const VARIANT &v) { return std::fabs(v.date - oleDate(9999, 12, 31, 23, 59, 59)) < 1e-9; }},
        {"zero date", [](const List &l) { l.set(1, kQvtDate, QvDateValue{0, 0, 0}); }, VT_DATE, [](const VARIANT &v) { return v.date == 0.0; }},
        {"time", [](const List &l) { l.set(1, kQvtTime, QvTimeValue{50, 0, 5, 14}); }, VT_DATE,
         [](const VARIANT &v) { return std::fabs(v.date - oleDate(1899, 12, 30, 14, 5)) < 1e-9; }},
        {"before the epoch", [](const List &l) { l.set(1, kQvtDateTime, QvDateTimeValue{{29, 12, 1899}, {0, 0, 0, 6}}); }, VT_DATE,
         [](const VARIANT &v) { return v.date == -1.25; }},
        {"30 February", [](const List &l) { l.set(1, kQvtDate, QvDateValue{30, 2, 2000}); }, VT_DATE, [](const VARIANT &v) { return v.date == 0.0; }},
        {"29 February 1900", [](const List &l) { l.set(1, kQvtDate, QvDateValue{29, 2, 1900}); }, VT_DATE, [](const VARIANT &v) { return v.date == 0.0; }},
        {"decimal", [](const List &l) { l.set(1, kQvtDecimal, dec(2, -12345)); }, VT_DECIMAL,
         [](const VARIANT &v) { return v.decVal.scale == 2 && v.decVal.sign == DECIMAL_NEG && v.decVal.Lo64 == 12345 && v.decVal.Hi32 == 0; }},
        {"decimal scale 29", [](const List &l) { l.set(1, kQvtDecimal, dec(29, 12340)); }, VT_DECIMAL,
         [](const VARIANT &v) { return v.decVal.scale == 28 && v.decVal.Lo64 == 1234; }},
        {"null", [](const List &l) { l.set(1, kQvtMissing, int32_t(0)); }, VT_NULL, [](const VARIANT &) { return true; }},
        {"not given", [](const List &l) { l.set(1, kQvtMissing, int32_t(1)); }, VT_ERROR, [](const VARIANT &v) { return v.scode == DISP_E_PARAMNOTFOUND; }},
        {"null object", [](const List &l) { l.set(1, kQvtMissing, int32_t(3)); }, VT_DISPATCH, [](const VARIANT &v) { return v.pdispVal == nullptr; }},
        {"error", [](const List &l) { l.set(1, kQvtMissing, int32_t(0x800A0005)); }, VT_ERROR, [](const VARIANT &v) { return v.scode == int32_t(0x800A0005); }},
    };
    for (const Case &c : cases) {
        List l(newList(2));
        c.put(l);
        VarHolder out;
        EXPECT_EQ(S_OK, qv_call(svc, kCgValueToVariant, l.p, 1, &out.v)) << c.what;
        EXPECT_EQ(c.vt, out.v.vt) << c.what;
        EXPECT_TRUE(c.check(out.v)) << c.what;
    }
    List l(newList(2));
    VarHolder out;
    l.set(1, kQvtDecimal, dec(30, 1));
    EXPECT_TRUE(FAILED(qv_call(svc, kCgValueToVariant, l.p, 1, &out.v))) << "scale 30";
    l.set(1, kQvtHostPtr, &l);
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgValueToVariant, l.p, 1, &out.v));
}

TEST_F(Comgate, VariantsBecomeScriptValues) {
    struct Case {
        const char *what;
        std::function<void(VARIANT &)> make;
        int code;  // -1: refused
        std::function<bool(const List &)> check;
    };
    static double dbl = 3.5;
    const Case cases[] = {
        {"empty", [](VARIANT &) {}, kQvtNone, nullptr},
        {"null", [](VARIANT &v) { v.vt = VT_NULL; }, kQvtMissing, [](const List &l) { return l.as<int32_t>(1) == 0; }},
        {"i2", [](VARIANT &v) { v.vt = VT_I2; v.iVal = -2; }, kQvtI2, [](const List &l) { return l.as<int16_t>(1) == -2; }},
        {"int", [](VARIANT &v) { v.vt = VT_INT; v.intVal = -9; }, kQvtI4, [](const List &l) { return l.as<int32_t>(1) == -9; }},
        {"r4", [](VARIANT &v) { v.vt = VT_R4; v.fltVal = 0.5f; }, kQvtDouble, [](const List &l) { return l.as<double>(1) == 0.5; }},
        {"r8 by reference", [](VARIANT &v) { v.vt = VT_R8 | VT_BYREF; v.pdblVal = &dbl; }, kQvtDouble, [](const List &l) { return l.as<double>(1) == 3.5; }},
        {"cy", [](VARIANT &v) { v.vt = VT_CY; v.cyVal.int64 = 99; }, kQvtCurrency, [](const List &l) { return l.as<int64_t>(1) == 99; }},
        {"time", [](VARIANT &v) { v.vt = VT_DATE; v.date = oleDate(1899, 12, 30, 14, 5); }, kQvtTime,
         [](const List &l) { auto t = l.as<QvTimeValue>(1); return t.hour == 14 && t.minute == 5 && t.second == 0; }},
        {"date", [](VARIANT &v) { v.vt = VT_DATE; v.date = oleDate(2001, 2, 3); }, kQvtDate,
         [](const List &l) { auto d = l.as<QvDateValue>(1); return d.day == 3 && d.month == 2 && d.year == 2001; }},
        {"date and time", [](VARIANT &v) { v.vt = VT_DATE; v.date = oleDate(2001, 2, 3, 8); }, kQvtDateTime,
         [](const List &l) { auto d = l.as<QvDateTimeValue>(1); return d.date.day == 3 && d.time.hour == 8; }},
        {"zero date", [](VARIANT &v) { v.vt = VT_DATE; v.date = 0.0; }, kQvtDateTime,
         [](const List &l) { auto d = l.as<QvDateTimeValue>(1); return d.date.year == 0 && d.time.hour == 0; }},
        {"last day", [](VARIANT &v) { v.vt = VT_DATE; v.date = 2958465.99999; }, kQvtDateTime,
         [](const List &l) { auto d = l.as<QvDateTimeValue>(1); return d.date.year == 9999 && d.time.hour == 23 && d.time.second == 59; }},
        {"half a second rounds up", [](VARIANT &v) { v.vt = VT_DATE; v.date = oleDate(2001, 2, 3, 8) + 0.6 / 86400; }, kQvtDateTime,
         [](const List &l) { return l.as<QvDateTimeValue>(1).time.second == 1; }},
        {"out of range", [](VARIANT &v) { v.vt = VT_DATE; v.date = 2958466.5; }, kQvtDateTime,
         [](const List &l) { return l.as<QvDateTimeValue>(1).date.year == 0; }},
        {"bstr", [](VARIANT &v) { v.vt = VT_BSTR; v.bstrVal = SysAllocString(L"\u0414\u0430"); }, kQvtString,
         [](const List &l) { return l.str(1) == "\xc4\xe0"; }},
        {"error", [](VARIANT &v) { v.vt = VT_ERROR; v.scode = DISP_E_PARAMNOTFOUND; }, kQvtMissing, [](const List &l) { return l.as<int32_t>(1) == 1; }},
        {"bool", [](VARIANT &v) { v.vt = VT_BOOL; v.boolVal = VARIANT_TRUE; }, kQvtBool, [](const List &l) { return l.value(1).data[0] == 1; }},
        {"decimal", [](VARIANT &v) { v.vt = VT_DECIMAL; v.decVal.scale = 3; v.decVal.sign = DECIMAL_NEG; v.decVal.Lo64 = 5; }, kQvtDecimal,
         [](const List &l) { auto d = l.as<QvDecimalValue>(1); return d.scale == 3 && d.sign && d.lo == uint64_t(-5) && d.hi == 0xFFFFFFFFu; }},
        {"i1", [](VARIANT &v) { v.vt = VT_I1; v.cVal = -1; }, kQvtI1, [](const List &l) { return l.as<int8_t>(1) == -1; }},
        {"ui1", [](VARIANT &v) { v.vt = VT_UI1; v.bVal = 200; }, kQvtU1, [](const List &l) { return l.as<uint8_t>(1) == 200; }},
        {"ui2", [](VARIANT &v) { v.vt = VT_UI2; v.uiVal = 60000; }, kQvtU2, [](const List &l) { return l.as<uint16_t>(1) == 60000; }},
        {"uint", [](VARIANT &v) { v.vt = VT_UINT; v.uintVal = 3000000000u; }, kQvtU4, [](const List &l) { return l.as<uint32_t>(1) == 3000000000u; }},
        {"null dispatch", [](VARIANT &v) { v.vt = VT_DISPATCH; v.pdispVal = nullptr; }, kQvtNone, nullptr},
        {"i8", [](VARIANT &v) { v.vt = VT_I8; v.llVal = 1; }, -1, nullptr},
        {"error by reference", [](VARIANT &v) { static SCODE s = 5; v.vt = VT_ERROR | VT_BYREF; v.pscode = &s; }, -1, nullptr},
    };
    for (const Case &c : cases) {
        List l(newList(2));
        VarHolder in;
        c.make(in.v);
        HRESULT hr = static_cast<HRESULT>(qv_call(svc, kCgVariantToValue, &in.v, l.p, 1, 0, 0));
        if (c.code < 0) {
            EXPECT_EQ(E_FAIL, hr) << c.what;
            continue;
        }
        EXPECT_EQ(S_OK, hr) << c.what;
        EXPECT_EQ(c.code, l.code(1)) << c.what;
        EXPECT_EQ(kQvEntryByRef, l.value(1).type & 0xE0) << c.what;
        if (c.check) {
            EXPECT_TRUE(c.check(l)) << c.what;
        }
    }
}

// Unsigned elements keep their values; two dimensions and unknown element
// types are refused; arrays nest and come back as arrays.
TEST_F(Comgate, ArraysTravelBothWays) {
    struct Case {
        VARTYPE vt;
        uint32_t raw;
        int code;
        uint32_t expect;
    };
    const Case cases[] = {
        {VT_UI1, 0xF0, kQvtU1, 0xF0}, {VT_UI2, 0xF000, kQvtU2, 0xF000}, {VT_UI4, 0xF0000000u, kQvtU4, 0xF0000000u},
        {VT_UINT, 0xF0000001u, kQvtU4, 0xF0000001u}, {VT_I1, 0xFF, kQvtI1, 0xFF}, {VT_INT, 0xFFFFFFFEu, kQvtI4, 0xFFFFFFFEu},
    };
    for (const Case &c : cases) {
        SAFEARRAY *sa = SafeArrayCreateVector(c.vt, 1, 2);
        for (LONG i = 1; i <= 2; ++i) SafeArrayPutElement(sa, &i, const_cast<uint32_t *>(&c.raw));
        VarHolder in;
        in.v.vt = VT_ARRAY | c.vt;
        in.v.parray = sa;
        List l(newList(2));
        ASSERT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &in.v, l.p, 1, 0, 1)) << c.vt;
        ASSERT_EQ(kQvtArray, l.code(1));
        List sub(qv_ptr<QvIntf>(l.value(1).value));
        qv_call(sub.p, kQvAddRef);
        EXPECT_EQ(3, sub.count());
        EXPECT_EQ(c.code, sub.code(2)) << c.vt;
        uint32_t got = 0;
        std::memcpy(&got, sub.value(2).data, c.vt == VT_UI1 || c.vt == VT_I1 ? 1 : c.vt == VT_UI2 ? 2 : 4);
        EXPECT_EQ(c.expect, got) << c.vt;
    }
    // Decimal elements (their copy clears vt) and a nested array.
    SAFEARRAY *outer = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG i0 = 0, i1 = 1;
    VARIANT e;
    VariantInit(&e);
    e.vt = VT_DECIMAL;
    e.decVal.scale = 1;
    e.decVal.Lo64 = 15;
    e.vt = VT_DECIMAL;
    SafeArrayPutElement(outer, &i0, &e);
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_ARRAY | VT_BSTR;
    inner.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
    BSTR b = SysAllocString(L"x");
    SafeArrayPutElement(inner.parray, &i0, b);
    SysFreeString(b);
    SafeArrayPutElement(outer, &i1, &inner);
    VariantClear(&inner);
    VarHolder in;
    in.v.vt = VT_ARRAY | VT_VARIANT;
    in.v.parray = outer;
    List l(newList(2));
    ASSERT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &in.v, l.p, 1, 0, 1));
    VarHolder back;
    ASSERT_EQ(S_OK, qv_call(svc, kCgValueToVariant, l.p, 1, &back.v));
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, back.v.vt);
    VARIANT *items = nullptr;
    SafeArrayAccessData(back.v.parray, reinterpret_cast<void **>(&items));
    EXPECT_EQ(VT_DECIMAL, items[0].vt);
    EXPECT_EQ(15u, items[0].decVal.Lo64);
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, items[1].vt);
    SafeArrayUnaccessData(back.v.parray);

    SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
    VarHolder square;
    square.v.vt = VT_ARRAY | VT_I4;
    square.v.parray = SafeArrayCreate(VT_I4, 2, two);
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgVariantToValue, &square.v, l.p, 1, 0, 1));
    VarHolder i8s;
    i8s.v.vt = VT_ARRAY | VT_I8;
    i8s.v.parray = SafeArrayCreateVector(VT_I8, 0, 1);
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgVariantToValue, &i8s.v, l.p, 1, 0, 1));
}

// An array that contains itself is refused, not followed.
TEST_F(Comgate, SelfNestedArrayIsRefused) {
    List l(newList(2));
    List a(newList(2));
    a.set(1, kQvtArray, a.p);
    l.set(1, kQvtArray, a.p);
    VarHolder out;
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgValueToVariant, l.p, 1, &out.v));
    a.set(1, kQvtI4, int32_t(0));  // breaks the cycle so both lists go
}

TEST_F(Comgate, DispParamsBecomeLists) {
    VARIANT args[3];
    for (VARIANT &v : args) VariantInit(&v);
    // A put: rgvarg[0] the value, then the index argument.
    args[0].vt = VT_I4;
    args[0].lVal = 42;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = SysAllocString(L"key");
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{args, &put, 2, 1};
    QvIntf *out = nullptr;
    ASSERT_EQ(S_OK, qv_call(svc, kCgDispParamsToArgs, &dp, nullptr, 1, 0, 0, &out));
    {
        List l(out);
        EXPECT_EQ(2, l.count());
        EXPECT_EQ(42, l.as<int32_t>(0));
        EXPECT_EQ("key", l.str(1));
    }
    // Positional arguments in call order after the extra entries; named
    // arguments after them; a failure names its argument when asked to.
    args[2].vt = VT_I2;
    args[2].iVal = 7;
    DISPID named = 5;
    DISPPARAMS dp2{args, &named, 3, 1};
    ASSERT_EQ(S_OK, qv_call(svc, kCgDispParamsToArgs, &dp2, nullptr, 0, 0, 1, &out));
    {
        List l(out);
        EXPECT_EQ(5, l.count());
        EXPECT_EQ(7, l.as<int16_t>(2));
        EXPECT_EQ("key", l.str(3));
        EXPECT_EQ(42, l.as<int32_t>(4));
    }
    VariantClear(&args[1]);
    args[1].vt = VT_I8;
    UINT argErr = 99;
    DISPPARAMS dp3{args, nullptr, 3, 0};
    EXPECT_EQ(DISP_E_TYPEMISMATCH, qv_call(svc, kCgDispParamsToArgs, &dp3, &argErr, 0, 0, 0, &out));
    EXPECT_EQ(1u, argErr);
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, qv_call(svc, kCgDispParamsToArgs, &dp3, nullptr, 0, 0, 0, &out));
}

TEST_F(Comgate, ByReferenceArgumentsAreWrittenBack) {
    LONG i4 = 1;
    VARIANT var;
    VariantInit(&var);
    VARIANT args[2];
    args[1].vt = VT_I4 | VT_BYREF;  // call order: first
    args[1].plVal = &i4;
    args[0].vt = VT_VARIANT | VT_BYREF;
    args[0].pvarVal = &var;
    DISPPARAMS dp{args, nullptr, 2, 0};
    QvIntf *out = nullptr;
    ASSERT_EQ(S_OK, qv_call(svc, kCgDispParamsToArgs, &dp, nullptr, 0, 0, 0, &out));
    List l(out);
    EXPECT_EQ(kQvEntryByRef, l.value(1).type & 0xE0);
    EXPECT_EQ(kQvEntryByRef | kQvEntryVariant, l.value(2).type & 0xE0);
    // The script changed both: the VT_I4 one became a text and stays, the
    // variable takes the text.
    l.text(1, "changed");
    l.text(2, "variable");
    EXPECT_EQ(S_OK, qv_call(svc, kCgStoreByRef, &dp, l.p, 0));
    EXPECT_EQ(1, i4);
    ASSERT_EQ(VT_BSTR, var.vt);
    EXPECT_STREQ(L"variable", var.bstrVal);
    l.set(1, kQvtI4, int32_t(8));
    EXPECT_EQ(S_OK, qv_call(svc, kCgStoreByRef, &dp, l.p, 0));
    EXPECT_EQ(8, i4);
    VariantClear(&var);

    // Calls out: flagged entries travel by reference and come back.
    List call(newList(3));
    call.set(1, kQvtI4, int32_t(3));
    call.flags(1, kQvEntryByRef);
    call.text(2, "v");
    call.flags(2, kQvEntryByRef | kQvEntryVariant);
    CgDispHolder *h = nullptr;
    ASSERT_EQ(S_OK, qv_call(svc, kCgArgsToDispParams, call.p, 0, &h));
    ASSERT_EQ(2u, h->params.cArgs);
    EXPECT_EQ(VT_I4 | VT_BYREF, h->params.rgvarg[1].vt);
    EXPECT_EQ(VT_VARIANT | VT_BYREF, h->params.rgvarg[0].vt);
    *h->params.rgvarg[1].plVal = 30;
    VariantClear(h->params.rgvarg[0].pvarVal);
    h->params.rgvarg[0].pvarVal->vt = VT_R8;
    h->params.rgvarg[0].pvarVal->dblVal = 1.5;
    EXPECT_EQ(S_OK, qv_call(svc, kCgWriteBack, h));
    EXPECT_EQ(30, call.as<int32_t>(1));
    EXPECT_EQ(1.5, call.as<double>(2));
    qv_call(svc, kCgReleaseParams, h);
}

// Without late marking an entry is marked before its conversion; the
// VARIANT a reference points to is converted as a by-reference argument, so
// it goes back out as VT_BYREF | VT_VARIANT.
TEST_F(Comgate, ReferencedVariantsAreMarkedAsVariants) {
    VARIANT inner;
    inner.vt = VT_I4;
    inner.lVal = 6;
    LONG four = 4;
    VARIANT args[2];
    args[0].vt = VT_VARIANT | VT_BYREF;
    args[0].pvarVal = &inner;
    args[1].vt = VT_I4 | VT_BYREF;
    args[1].plVal = &four;
    List l(newList(3));
    for (int i : {1, 2}) EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &args[i - 1], l.p, i, 0, 0)) << i;
    EXPECT_EQ(kQvEntryByRef | kQvEntryVariant, l.value(1).type & 0xE0);
    EXPECT_EQ(6, l.as<int32_t>(1));
    EXPECT_EQ(kQvEntryByRef, l.value(2).type & 0xE0);
    CgDispHolder *h = nullptr;
    ASSERT_EQ(S_OK, qv_call(svc, kCgArgsToDispParams, l.p, 0, &h));
    ASSERT_EQ(2u, h->params.cArgs);
    EXPECT_EQ(VT_VARIANT | VT_BYREF, h->params.rgvarg[1].vt);
    EXPECT_EQ(VT_I4 | VT_BYREF, h->params.rgvarg[0].vt);
    qv_call(svc, kCgReleaseParams, h);
}

TEST_F(Comgate, ComErrorsBecomeScriptErrors) {
    struct Case {
        WORD wCode;
        SCODE scode;
        const wchar_t *text;
        std::string expect;
    };
    const Case cases[] = {
        {5, 0, L"five\r\n", "errorlist -2147220987 1 five"},
        {0xFE00, 0, L"big", "errorlist -2147155968 1 big"},
        {0, static_cast<SCODE>(0x800A01C9), nullptr, "errorlist -2146827831 1 Unknown"},
        {0, 1, L"ab\n\n", "errorlist 1 1 ab"},
    };
    for (const Case &c : cases) {
        qvs.reset();
        EXCEPINFO info{};
        info.wCode = c.wCode;
        info.scode = c.scode;
        info.bstrDescription = c.text ? SysAllocString(c.text) : nullptr;
        info.bstrSource = SysAllocString(L"src");
        EXPECT_EQ(1, qv_call(svc, kCgReportError, DISP_E_EXCEPTION, &info));
        EXPECT_TRUE(journalHas(c.expect)) << qvs.journal();
        EXPECT_EQ(nullptr, info.bstrSource);
    }
    EXPECT_EQ(0, qv_call(svc, kCgReportError, S_FALSE, nullptr));
}

TEST_F(Comgate, ScriptErrorsReachComCallers) {
    EXCEPINFO info{};
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgErrorsToExcepInfo, 4, "src", &info));
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgErrorsToExcepInfo, 1, "src", nullptr));
    struct Case {
        int code;
        WORD wCode;
        SCODE scode;
    };
    const Case cases[] = {{5, 1006, 0}, {0xFDFF - 1001, 0xFDFF, 0}, {0xFDFF - 1000, 0, E_FAIL}, {-1002, 0, -1002}};
    for (const Case &c : cases) {
        qvs.reset();
        qv_call(runtime(), kRtAddError, c.code, 3, "bad thing");
        ASSERT_EQ(DISP_E_EXCEPTION, qv_call(svc, kCgErrorsToExcepInfo, 1, "TCOMObj::Invoke", &info));
        EXPECT_EQ(c.wCode, info.wCode) << c.code;
        EXPECT_EQ(c.scode, info.scode) << c.code;
        std::wstring text = info.bstrDescription;
        EXPECT_EQ(L"TCOMObj::Invoke\nowner text 1\nbad thing  (code = " + std::to_wstring(c.code) + L", level = 3)\n",
                  text);
        SysFreeString(info.bstrDescription);
    }
}

}  // namespace

namespace {

// A COM object of the test that counts its references; without dispatch it
// answers IUnknown only.
class Counted : public IDispatch {
public:
    explicit Counted(bool dispatch = true) : dispatch_(dispatch) {}
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **out) override {
        *out = nullptr;
        if (riid != IID_IUnknown && !(dispatch_ && riid == IID_IDispatch)) return E_NOINTERFACE;
        *out = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *result, EXCEPINFO *,
                                     UINT *) override {
        if (result) {
            result->vt = VT_DISPATCH;
            result->pdispVal = this;
            AddRef();
        }
        return S_OK;
    }

private:
    bool dispatch_;
};

VARIANT objectVariant(VARTYPE vt, IUnknown *unk) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.punkVal = unk;
    return v;
}

}  // namespace

// Every conversion family leaves each object with the references it had:
// list entries hold their own and let go of them with the list.
TEST_F(Comgate, ConversionsKeepReferencesBalanced) {
    Counted com, bare(false);
    // The server's own dispatch interface serves as a script object; its
    // count shows whether a proxy still holds it.
    QvIntf *script = server();
    auto refsOf = [](QvIntf *i) {
        QvWord n = qv_call(i, kQvAddRef);
        qv_call(i, kQvRelease);
        return n - 1;
    };
    const QvWord serverRefs = refsOf(script);
    struct Case {
        const char *family;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"dispatch", [&] {
             List l(newList(2));
             VARIANT v = objectVariant(VT_DISPATCH, &com);
             EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &v, l.p, 1, 0, 0));
             EXPECT_EQ(1, qvs.entryRefs());
         }},
        {"unknown", [&] {
             List l(newList(3));
             VARIANT u = objectVariant(VT_UNKNOWN, &bare), d = objectVariant(VT_UNKNOWN, &com);
             EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &u, l.p, 1, 0, 0));
             EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &d, l.p, 2, 0, 0));
         }},
        {"by reference", [&] {
             List l(newList(2));
             IDispatch *p = &com;
             VARIANT v;
             v.vt = VT_BYREF | VT_DISPATCH;
             v.ppdispVal = &p;
             EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &v, l.p, 1, 0, 1));
         }},
        {"array", [&] {
             VarHolder a;
             a.v.vt = VT_ARRAY | VT_DISPATCH;
             a.v.parray = SafeArrayCreateVector(VT_DISPATCH, 0, 2);
             for (LONG i = 0; i < 2; ++i) SafeArrayPutElement(a.v.parray, &i, static_cast<IDispatch *>(&com));
             List l(newList(2));
             EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &a.v, l.p, 1, 0, 1));
             VarHolder back;
             EXPECT_EQ(S_OK, qv_call(svc, kCgValueToVariant, l.p, 1, &back.v));
         }},
        {"script object", [&] {
             List l(newList(2));
             l.set(1, kQvtObject, script);
             VarHolder v;
             EXPECT_EQ(S_OK, qv_call(svc, kCgValueToVariant, l.p, 1, &v.v));
             EXPECT_EQ(VT_DISPATCH, v.v.vt);
         }},
        {"dispparams", [&] {
             VARIANT args[2] = {objectVariant(VT_DISPATCH, &com), objectVariant(VT_UNKNOWN, &bare)};
             DISPPARAMS dp{args, nullptr, 2, 0};
             QvIntf *out = nullptr;
             EXPECT_EQ(S_OK, qv_call(svc, kCgDispParamsToArgs, &dp, nullptr, 0, 0, 0, &out));
             List l(out);
             EXPECT_EQ(S_OK, qv_call(svc, kCgStoreByRef, &dp, l.p, 0));
         }},
        {"call out and back", [&] {
             List l(newList(3));
             VARIANT v = objectVariant(VT_DISPATCH, &com);
             qv_call(svc, kCgVariantToValue, &v, l.p, 1, 0, 0);
             qv_call(svc, kCgVariantToValue, &v, l.p, 2, 0, 0);
             l.flags(2, kQvEntryByRef);
             CgDispHolder *h = nullptr;
             ASSERT_EQ(S_OK, qv_call(svc, kCgArgsToDispParams, l.p, 0, &h));
             VARIANT result = objectVariant(VT_DISPATCH, &com);
             EXPECT_EQ(S_OK, qv_call(svc, kCgStoreResult, h, &result));
             EXPECT_EQ(S_OK, qv_call(svc, kCgWriteBack, h));
             qv_call(svc, kCgReleaseParams, h);
         }},
    };
    for (const Case &c : cases) {
        c.run();
        EXPECT_EQ(0, qvs.entryRefs()) << c.family;
        EXPECT_EQ(1, com.refs) << c.family;
        EXPECT_EQ(1, bare.refs) << c.family;
        EXPECT_EQ(serverRefs, refsOf(script)) << c.family;
    }
    qv_call(script, kQvRelease);
}

// A VARIANT by reference may point to another, and so on, even round in a
// circle: the chain is followed only so far. A reference to nothing and
// named arguments without their DISPIDs are refused, not read.
TEST_F(Comgate, ByReferenceChainsAndMissingPointersAreRefused) {
    List l(newList(2));
    VARIANT self;
    self.vt = VT_BYREF | VT_VARIANT;
    self.pvarVal = &self;
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgVariantToValue, &self, l.p, 1, 0, 0));
    VARIANT a, b;
    a.vt = b.vt = VT_BYREF | VT_VARIANT;
    a.pvarVal = &b;
    b.pvarVal = &a;
    EXPECT_EQ(E_FAIL, qv_call(svc, kCgVariantToValue, &a, l.p, 1, 0, 0));
    for (int hops : {8, 40}) {
        std::vector<VARIANT> chain(static_cast<size_t>(hops) + 1);
        for (int i = 0; i < hops; ++i) {
            chain[static_cast<size_t>(i)].vt = VT_BYREF | VT_VARIANT;
            chain[static_cast<size_t>(i)].pvarVal = &chain[static_cast<size_t>(i) + 1];
        }
        chain.back().vt = VT_I4;
        chain.back().lVal = 6;
        HRESULT hr = static_cast<HRESULT>(qv_call(svc, kCgVariantToValue, &chain[0], l.p, 1, 0, 0));
        EXPECT_EQ(hops < kCgMaxDepth ? S_OK : E_FAIL, hr) << hops;
    }
    EXPECT_EQ(6, l.as<int32_t>(1));
    for (VARTYPE vt : {VT_I4, VT_VARIANT, VT_DECIMAL, VT_BSTR, VT_DISPATCH}) {
        VARIANT none;
        none.vt = VT_BYREF | vt;
        none.byref = nullptr;
        EXPECT_EQ(E_POINTER, qv_call(svc, kCgVariantToValue, &none, l.p, 1, 0, 0)) << vt;
    }
    VARIANT args[2];
    args[0].vt = args[1].vt = VT_I4;
    args[0].lVal = args[1].lVal = 1;
    DISPPARAMS named{args, nullptr, 2, 1};
    QvIntf *out = nullptr;
    EXPECT_EQ(E_INVALIDARG, qv_call(svc, kCgDispParamsToArgs, &named, nullptr, 0, 0, 0, &out));
    EXPECT_EQ(nullptr, out);

    // A COM client calling a script object with a circle.
    QvIntf *script = server();
    List s(newList(2));
    s.set(1, kQvtObject, script);
    qv_call(script, kQvRelease);
    VarHolder proxy;
    ASSERT_EQ(S_OK, qv_call(svc, kCgValueToVariant, s.p, 1, &proxy.v));
    VARIANT circle[2];
    circle[0].vt = VT_I4;
    circle[0].lVal = 1;
    circle[1] = self;
    DISPPARAMS dp{circle, nullptr, 2, 0};
    UINT argErr = 99;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, proxy.v.pdispVal->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, &argErr));
    EXPECT_EQ(1u, argErr);
    EXPECT_EQ(E_INVALIDARG, proxy.v.pdispVal->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &named, nullptr, nullptr, nullptr));
}

// Before 1899-12-30 the day is the whole part towards zero and the time runs
// forward from its midnight; half a second rounds into the next day.
TEST_F(Comgate, DatesBeforeTheEpochSplitIntoTheRightDay) {
    const double second = 1.0 / 86400;
    struct Case {
        double date;
        CgDateParts parts;
        int code;
    };
    const Case cases[] = {
        {-1.25, {1899, 12, 29, 6, 0, 0}, kQvtDateTime},
        {-(1 + 86399.7 * second), {1899, 12, 30, 0, 0, 0}, kQvtTime},
        {-(2 + 86399.6 * second), {1899, 12, 29, 0, 0, 0}, kQvtDate},
        {-(0 + 86399.8 * second), {1899, 12, 31, 0, 0, 0}, kQvtDate},
        {-(2 + 0.4 * second), {1899, 12, 28, 0, 0, 0}, kQvtDate},
        {-(1.5 + 0.6 * second), {1899, 12, 29, 12, 0, 1}, kQvtDateTime},
        {-657434.0, {100, 1, 1, 0, 0, 0}, kQvtDate},
        {2.0 - 0.3 * second, {1900, 1, 1, 0, 0, 0}, kQvtDate},
    };
    for (const Case &c : cases) {
        CgDateParts p{};
        ASSERT_TRUE(cg_dateToParts(c.date, &p)) << c.date;
        EXPECT_EQ(c.parts.year, p.year) << c.date;
        EXPECT_EQ(c.parts.month, p.month) << c.date;
        EXPECT_EQ(c.parts.day, p.day) << c.date;
        EXPECT_EQ(c.parts.hour * 3600 + c.parts.minute * 60 + c.parts.second, p.hour * 3600 + p.minute * 60 + p.second)
            << c.date;
        List l(newList(2));
        VARIANT v;
        v.vt = VT_DATE;
        v.date = c.date;
        EXPECT_EQ(S_OK, qv_call(svc, kCgVariantToValue, &v, l.p, 1, 0, 0));
        EXPECT_EQ(c.code, l.code(1)) << c.date;
    }
}
