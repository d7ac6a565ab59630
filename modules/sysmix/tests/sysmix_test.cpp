// sysmix loaded as the host loads it: automation calls on Scripting.Dictionary
// and on a test object, the mode requests, error replies and the
// workstation answers compared with the system's own.
#include <winsock2.h>
#include <windows.h>
#include <nb30.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module.h"
#include "testobject.h"
#include "zam_interp.h"

namespace {

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
const auto *const g_ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

// Text in code page 866 (or another) from UTF-8.
std::string inCodePage(const char *utf8, UINT cp = 866) {
    wchar_t w[512];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w, 512);
    char out[1024];
    int m = WideCharToMultiByte(cp, 0, w, n, out, sizeof out, nullptr, nullptr);
    return std::string(out, m > 0 ? m - 1 : 0);
}

uint64_t bitsOf(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// The 8 bytes of a value as they stand in a reply.
template <class T> std::string bytesOf(T v) { return std::string(reinterpret_cast<const char *>(&v), sizeof v); }

// The by-reference mark of a tag byte.
constexpr uint8_t kSysmixByRef = 0x40;

// Tagged argument values.
th::Bytes tagInt(int32_t v, uint8_t extra = 0) { return th::Bytes().u8(V_INTEGER | extra).i32(v); }
th::Bytes tagReal(double v) { return th::Bytes().u8(V_DOUBLE).u64(bitsOf(v)); }
th::Bytes tagText(const std::string &s, uint8_t extra = 0) { return th::Bytes().u8(V_STRING | extra).text(s); }
th::Bytes tagBool(bool b) { return th::Bytes().u8(V_BOOL).u8(b ? 1 : 0); }
th::Bytes tagEmpty() { return th::Bytes().u8(V_UNDEF); }
th::Bytes tagObject(uint32_t field) { return th::Bytes().u8(V_OBJECT).u32(field); }

class Sysmix {
public:
    Sysmix() : m_("sysmix.dll") {
        m_.setCallBacksName = "ZamSetCallBacks";
        m_.messageProcName = "_ZamExtMessageProc";
        EXPECT_EQ(304, m_.setCallBacks(th::Host::get().ext()));
        EXPECT_EQ(0, m_.message(kMsgLoad));
    }
    ~Sysmix() { m_.message(kMsgUnload); }

    int send(int code, const th::Bytes &b = th::Bytes()) { return n_ = m_.message(code, b); }
    const unsigned char *reply() const { return m_.reply(); }
    std::string replyBytes() const { return std::string(reinterpret_cast<const char *>(m_.reply()), n_ > 0 ? n_ : 0); }
    bool untouchedFrom(size_t at) const { return m_.replyUntouchedFrom(at); }
    std::string text(const std::string &s) const { return s + std::string(1, '\0'); }

    uint32_t create(const char *progId, int code = 10) {
        EXPECT_EQ(5, send(code, th::Bytes().text(progId))) << replyBytes();
        EXPECT_EQ('1', reply()[0]);
        uint32_t field;
        std::memcpy(&field, reply() + 1, 4);
        return field;
    }

    // Request 3; the reply is left in reply().
    int call(uint32_t object, uint16_t flags, const char *member, const std::vector<th::Bytes> &args,
             int byRefCount = 0) {
        th::Bytes b;
        b.u32(object).u16(flags).text(member).i32(static_cast<int32_t>(args.size())).i32(byRefCount);
        for (const th::Bytes &a : args) b.raw(a);
        return send(3, b);
    }

    void mode(int code, uint8_t value) {
        ASSERT_EQ(1, send(code, th::Bytes().u8(value)));
        ASSERT_EQ('1', reply()[0]);
    }

    std::string error(const char *utf8Message, const char *name) {
        return "0" + inCodePage(utf8Message) + " " + name + std::string(1, '\0');
    }

private:
    th::Module m_;
    int n_ = 0;
};

const uint16_t kMethod = DISPATCH_METHOD, kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT;

int32_t i32At(const unsigned char *p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

TEST(SysmixRequests, UnservedCodesAnswerNothingAndModeRequestsAnswerOne) {
    Sysmix s;
    for (int code : {1, 4, 9, 23, 99, -1, -4, -5}) {
        EXPECT_EQ(0, s.send(code, th::Bytes().zeros(32))) << code;
        EXPECT_TRUE(s.untouchedFrom(0)) << code;
    }
    for (int code : {12, 13, 12, 14, 15, 16}) {
        EXPECT_EQ(1, s.send(code, th::Bytes().u8(1))) << code;
        EXPECT_EQ('1', s.reply()[0]);
    }
}

// Runs f on a thread of its own and waits for it.
template <class F> void onThread(F f) {
    HANDLE t = CreateThread(
        nullptr, 0, [](void *p) -> DWORD { return (*static_cast<F *>(p))(), 0; }, &f, 0, nullptr);
    ASSERT_NE(nullptr, t);
    WaitForSingleObject(t, 30000);
    CloseHandle(t);
}

// S_FALSE while COM is initialised on the calling thread.
HRESULT probeCom(DWORD model) {
    HRESULT hr = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr;
}

TEST(SysmixRequests, OleIsEndedOnlyWhereSysmixStartedIt) {
    Sysmix s;
    // In the multithreaded apartment OLE cannot start, yet objects are made,
    // and request 13 leaves the thread's COM alone.
    int created = 0;
    HRESULT mta = E_FAIL, sta = E_FAIL;
    onThread([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        s.send(12);
        created = s.send(10, th::Bytes().u8('S').text("cripting.Dictionary"));
        s.send(2, th::Bytes().raw(s.reply() + 1, 4));
        s.send(13);
        mta = probeCom(COINIT_MULTITHREADED);
        CoUninitialize();
    });
    // A thread whose OLE the host started: request 13 without 12 ends nothing.
    onThread([&] {
        if (FAILED(OleInitialize(nullptr))) return;
        s.send(13);
        sta = probeCom(COINIT_APARTMENTTHREADED);
        OleUninitialize();
    });
    EXPECT_EQ(5, created);
    EXPECT_EQ(S_FALSE, mta);
    EXPECT_EQ(S_FALSE, sta);
}

TEST(SysmixDictionary, CallsStoreAndGiveBackValuesInTheServersForms) {
    Sysmix s;
    uint32_t d = s.create("Scripting.Dictionary");
    ASSERT_EQ(2, s.call(d, kMethod, "Add", {tagText("a"), tagInt(5)})) << s.replyBytes();
    EXPECT_EQ(std::string("1\x01\x01\0\0\0", 6), (s.call(d, kGet, "Count", {}), s.replyBytes()));
    EXPECT_EQ(std::string("1\x07\0", 3), (s.call(d, kMethod, "Exists", {tagText("zz")}), s.replyBytes()));
    // A text put in the DOS code page comes back in it, or in the Windows one.
    std::string text = inCodePage(u8"Привет, мир");
    EXPECT_EQ(1, s.call(d, kPut, "Item", {tagText("t"), tagText(text)}));
    EXPECT_EQ("2", s.replyBytes());
    s.call(d, kGet, "Item", {tagText("t")});
    EXPECT_EQ("1\x06" + s.text(text), s.replyBytes());
    s.mode(16, 1);
    s.call(d, kGet, "Item", {tagText("t")});
    EXPECT_EQ("1\x06" + s.text(inCodePage(u8"Привет, мир", 1251)), s.replyBytes());
    // Money in hundredths is 123.45 to the object, and back in either form.
    s.call(d, kMethod, "Add", {tagText("m"), th::Bytes().u8(V_MONEY).u64(bitsOf(12345.0))});
    s.call(d, kGet, "Item", {tagText("m")});
    EXPECT_EQ("1\x02" + bytesOf(12345.0), s.replyBytes());
    s.mode(14, 1);
    s.call(d, kGet, "Item", {tagText("m")});
    EXPECT_EQ("1\x02" + bytesOf(int64_t{1234500}), s.replyBytes());
    th::Bytes when = th::Bytes().u8(V_DTTM).u8(31).u8(12).i16(1999).u8(0).u8(15).u8(30).u8(12);
    s.call(d, kMethod, "Add", {tagText("d"), when});
    s.call(d, kGet, "Item", {tagText("d")});
    EXPECT_EQ(std::string("1\x17\x1f\x0c\xcf\x07\x00\x0f\x1e\x0c", 10), s.replyBytes());
    EXPECT_EQ(0, s.send(2, th::Bytes().u32(d)));
}

TEST(SysmixDictionary, ByReferenceAndMissingArguments) {
    Sysmix s;
    uint32_t d = s.create("Scripting.Dictionary");
    ASSERT_EQ(5, s.call(d, kMethod, "Add", {tagText("k", kSysmixByRef), tagInt(7)}, 1)) << s.replyBytes();
    EXPECT_EQ(std::string("1\0\x06k\0", 5), s.replyBytes());
    s.call(d, kGet, "Item", {tagText("k")});
    EXPECT_EQ(std::string("1\x01\x07\0\0\0", 6), s.replyBytes());
    for (uint8_t mode : {0, 1, 2}) {
        s.mode(15, mode);
        std::string key = "e" + std::to_string(mode);
        EXPECT_EQ(2, s.call(d, kMethod, "Add", {tagText(key), tagEmpty()})) << s.replyBytes();
        s.call(d, kGet, "Item", {tagText(key)});
        EXPECT_EQ(std::string("1\0", 2), s.replyBytes());
    }
}

TEST(SysmixDictionary, FailuresAnswerTheirErrorTexts) {
    Sysmix s;
    uint32_t d = s.create("Scripting.Dictionary");
    s.call(d, kMethod, "Add", {tagText("a"), tagInt(1)});
    s.call(d, kMethod, "Add", {tagText("a"), tagInt(2)});
    EXPECT_EQ(s.error(u8": Invoke, ошибка вызова свойства/метода", "DISP_E_EXCEPTION"), s.replyBytes());
    int n = s.call(d, kMethod, "NoSuchMember", {});
    EXPECT_EQ(s.error(u8": нет такого свойства/метода!", "DISP_E_UNKNOWNNAME"), s.replyBytes());
    EXPECT_EQ(static_cast<int>(s.replyBytes().size()), n);
    s.call(d, kPut, "Item", {});
    EXPECT_EQ(s.error(u8": Set, не задано новое значение свойства!", ""), s.replyBytes());
    s.send(10, th::Bytes().u8('N').text("o.Such.ProgId"));
    EXPECT_EQ(s.error(u8": не могу получить CLSID!", ""), s.replyBytes());
}

TEST(SysmixDictionary, AttachesToTheRunningInstanceAndFindsItInTheTable) {
    Sysmix s;
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Scripting.Dictionary", &clsid));
    IDispatch *mine = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void **>(&mine)));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, RegisterActiveObject(mine, clsid, ACTIVEOBJECT_STRONG, &cookie));
    uint32_t attached = s.create("Scripting.Dictionary", 11);
    uint32_t fresh = s.create("Scripting.Dictionary", 10);
    EXPECT_NE(attached, fresh);
    // What is added through sysmix is in the test's own instance.
    s.call(attached, kMethod, "Add", {tagText("seen"), tagBool(true)});
    DISPID id;
    LPOLESTR name = const_cast<LPOLESTR>(L"Count");
    VARIANT count;
    VariantInit(&count);
    DISPPARAMS none{};
    ASSERT_EQ(S_OK, mine->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id));
    ASSERT_EQ(S_OK, mine->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &count, nullptr, nullptr));
    EXPECT_EQ(1, count.lVal);
    for (auto [object, want] : {std::pair<uint32_t, int32_t>{attached, 1}, {fresh, 0}, {0x7777, 0}}) {
        EXPECT_EQ(4, s.send(22, th::Bytes().u32(object)));
        EXPECT_EQ(want, i32At(s.reply())) << object;
    }
    RevokeActiveObject(cookie, nullptr);
    EXPECT_EQ(0, s.send(2, th::Bytes().u32(attached)));
    mine->Release();
    // With none running, request 11 makes one.
    uint32_t made = s.create("Scripting.Dictionary", 11);
    s.call(made, kGet, "Count", {});
    EXPECT_EQ(std::string("1\x01\0\0\0\0", 6), s.replyBytes());
}

// The test object, registered for the test's lifetime.
class SysmixObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(reg.ok());
        base = obj.refs();
        field = s.create(kTestProgId);
        ASSERT_EQ(base + 1, obj.refs());
    }
    void TearDown() override { obj.reset(); }

    const TestCall &last() {
        static TestCall none;
        return obj.calls.empty() ? none : obj.calls.back();
    }
    // The type and value the object got as argument i of the last call.
    VARTYPE typeOf(size_t i) { return i < last().types.size() ? last().types[i] : VARTYPE(VT_ILLEGAL); }
    const VARIANT &argOf(size_t i) { return last().args.at(i); }

    TestObject obj;
    TestClassRegistration reg{&obj};
    Sysmix s;
    LONG base = 0;
    uint32_t field = 0;
};

TEST_F(SysmixObject, ArgumentsArriveInOrderWithTheirTypes) {
    th::Bytes date = th::Bytes().u8(V_DATE).u8(1).u8(1).i16(2000);
    th::Bytes time = th::Bytes().u8(V_TIME).u8(0).u8(0).u8(0).u8(18);
    th::Bytes both = th::Bytes().u8(V_DTTM).u8(31).u8(12).i16(1899).u8(0).u8(0).u8(0).u8(12);
    th::Bytes longReal = th::Bytes().u8(V_DOUBLEL).u64(bitsOf(-0.5));
    s.call(field, kMethod, "Take",
           {tagInt(-3), tagReal(2.5), tagText(inCodePage(u8"ёж")), tagBool(true), date, time, both, longReal});
    ASSERT_EQ(1u, obj.calls.size());
    EXPECT_TRUE(last().withResult);
    EXPECT_TRUE(last().named.empty());
    const VARTYPE types[] = {VT_I4, VT_R8, VT_BSTR, VT_BOOL, VT_DATE, VT_DATE, VT_DATE, VT_R8};
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(types[i], typeOf(i)) << i;
    EXPECT_EQ(-3, argOf(0).lVal);
    EXPECT_EQ(2.5, argOf(1).dblVal);
    EXPECT_STREQ(L"ёж", argOf(2).bstrVal);
    EXPECT_EQ(VARIANT_TRUE, argOf(3).boolVal);
    EXPECT_EQ(36526.0, argOf(4).date);
    EXPECT_DOUBLE_EQ(0.75, argOf(5).date);
    EXPECT_DOUBLE_EQ(1.5, argOf(6).date);
    EXPECT_EQ(-0.5, argOf(7).dblVal);
}

TEST_F(SysmixObject, EmptyAndMoneyArgumentsFollowTheModes) {
    const VARTYPE empties[] = {VT_EMPTY, VT_NULL, VT_ERROR, VT_EMPTY};
    for (uint8_t mode : {0, 1, 2, 7}) {
        s.mode(15, mode);
        s.call(field, kMethod, "Take", {tagEmpty()});
        EXPECT_EQ(empties[mode > 2 ? 3 : mode], typeOf(0)) << int(mode);
    }
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, obj.calls[2].args[0].scode);
    s.call(field, kMethod, "Take", {th::Bytes().u8(V_MONEY).u64(bitsOf(12345.0))});
    EXPECT_EQ(VT_CY, typeOf(0));
    EXPECT_EQ(1234500, argOf(0).cyVal.int64);
    s.call(field, kMethod, "Take", {th::Bytes().u8(V_MONEYL).u64(bitsOf(1e300))});
    EXPECT_EQ(s.error(u8": Invoke, ошибка вызова свойства/метода", "DISP_E_OVERFLOW"), s.replyBytes());
    s.mode(14, 1);
    s.call(field, kMethod, "Take", {th::Bytes().u8(V_MONEY).i64(987654321)});
    EXPECT_EQ(987654321, argOf(0).cyVal.int64);
    EXPECT_EQ(6u, obj.calls.size());
}

TEST_F(SysmixObject, ByReferenceSlotsComeBackWithWhatTheObjectStored) {
    obj.fills.resize(2);
    obj.fills[0].vt = VT_I4;
    obj.fills[0].lVal = 42;
    obj.fills[1].vt = VT_BSTR;
    obj.fills[1].bstrVal = SysAllocString(L"да");
    s.call(field, kMethod, "Fill", {tagInt(1, kSysmixByRef), tagInt(2), tagText("x", kSysmixByRef)}, 3);
    EXPECT_EQ(VT_BYREF | VT_VARIANT, typeOf(0));
    EXPECT_EQ(VT_I4, typeOf(1));
    EXPECT_EQ(VT_BYREF | VT_VARIANT, typeOf(2));
    EXPECT_EQ(1, argOf(0).lVal);
    // The result, then every declared slot; the third was never used.
    EXPECT_EQ(std::string("1\0\x01\x2a\0\0\0\x06", 8) + s.text(inCodePage(u8"да")) + std::string(1, '\0'),
              s.replyBytes());
}

TEST_F(SysmixObject, BadArgumentsStopTheCall) {
    std::string invokeError = u8": Invoke, ошибка вызова свойства/метода";
    s.call(field, kMethod, "Take", {tagInt(1, kSysmixByRef), tagInt(2, kSysmixByRef)}, 1);
    EXPECT_EQ(s.error(invokeError.c_str(), "DISP_E_BADPARAMCOUNT"), s.replyBytes());
    s.call(field, kMethod, "Take", {tagInt(1), th::Bytes().u8(8).i32(0)});
    EXPECT_EQ(s.error(invokeError.c_str(), "DISP_E_BADVARTYPE"), s.replyBytes());
    s.call(field, kMethod, "Take", {tagObject(field + 99)});
    EXPECT_EQ(s.error(u8": не могу получить IID_IDispatch!", ""), s.replyBytes());
    s.call(field + 99, kMethod, "Take", {});
    EXPECT_EQ(s.error(u8": не могу получить IID_IDispatch!", ""), s.replyBytes());
    EXPECT_TRUE(obj.calls.empty());
}

TEST_F(SysmixObject, ResultsOfEveryTypeAreTagged) {
    struct Case {
        VARTYPE vt;
        void (*set)(VARIANT &);
        std::string want;
    };
    const Case cases[] = {
        {VT_UI1, [](VARIANT &v) { v.bVal = 200; }, std::string("1\x01\xc8\0\0\0", 6)},
        {VT_I2, [](VARIANT &v) { v.iVal = -2; }, std::string("1\x01\xfe\xff\xff\xff", 6)},
        {VT_I4, [](VARIANT &v) { v.lVal = 0x01020304; }, std::string("1\x01\x04\x03\x02\x01", 6)},
        {VT_R4, [](VARIANT &v) { v.fltVal = 0.5f; }, "1\x03" + bytesOf(0.5)},
        {VT_CY, [](VARIANT &v) { v.cyVal.int64 = 1234500; }, "1\x02" + bytesOf(12345.0)},
        {VT_BOOL, [](VARIANT &v) { v.boolVal = VARIANT_TRUE; }, std::string("1\x07\x01", 3)},
        {VT_BOOL, [](VARIANT &v) { v.boolVal = VARIANT_FALSE; }, std::string("1\x07\0", 3)},
        {VT_BSTR, [](VARIANT &v) { v.bstrVal = SysAllocStringLen(L"a\0b", 3); }, std::string("1\x06" "a\0", 4)},
        {VT_DATE, [](VARIANT &v) { v.date = 1.5; }, std::string("1\x17\x1f\x0c\x6b\x07\0\0\0\x0c", 10)},
        {VT_DATE, [](VARIANT &v) { v.date = 1e12; }, std::string("1\0", 2)},
        {VT_EMPTY, [](VARIANT &) {}, std::string("1\0", 2)},
        {VT_NULL, [](VARIANT &) {}, std::string("1\0", 2)},
        {VT_I8, [](VARIANT &v) { v.llVal = 5; }, std::string("1\0", 2)},
        {VT_UI4, [](VARIANT &v) { v.ulVal = 5; }, std::string("1\0", 2)},
        {VT_DISPATCH, [](VARIANT &v) { v.pdispVal = nullptr; }, std::string("1\0", 2)},
    };
    for (const Case &c : cases) {
        VariantClear(&obj.result);
        obj.result.vt = c.vt;
        c.set(obj.result);
        s.call(field, kGet, "Give", {});
        EXPECT_EQ(c.want, s.replyBytes()) << c.vt;
    }
}

TEST_F(SysmixObject, ObjectsTravelWithBalancedReferences) {
    s.call(field, kMethod, "Take", {tagObject(field), tagObject(0)});
    EXPECT_EQ(static_cast<IDispatch *>(&obj), argOf(0).pdispVal);
    EXPECT_EQ(VT_DISPATCH, typeOf(1));
    EXPECT_EQ(nullptr, argOf(1).pdispVal);
    obj.reset();
    EXPECT_EQ(base + 1, obj.refs());
    // A result object is the same field, with one more reference.
    s.call(field, kGet, "Self", {});
    EXPECT_EQ("1\x13" + bytesOf(field), s.replyBytes());
    EXPECT_EQ(base + 2, obj.refs());
    s.send(2, th::Bytes().u32(field));
    EXPECT_EQ(base + 1, obj.refs());
    s.call(field, kGet, "Self", {});
    s.send(kMsgUnload);  // gives back what the server still holds
    EXPECT_EQ(base, obj.refs());
    s.send(2, th::Bytes().u32(field));  // a field given back names nothing
    EXPECT_EQ(base, obj.refs());
}

TEST_F(SysmixObject, PutsNameTheValueAndResultlessMembersAreCalledAgain) {
    EXPECT_EQ(1, s.call(field, kPut, "Value", {tagInt(17)}));
    EXPECT_EQ("2", s.replyBytes());
    EXPECT_FALSE(last().withResult);
    EXPECT_EQ(std::vector<DISPID>{DISPID_PROPERTYPUT}, last().named);
    s.call(field, kGet, "Value", {});
    EXPECT_EQ(std::string("1\x01\x11\0\0\0", 6), s.replyBytes());
    EXPECT_EQ(1, s.call(field, DISPATCH_PROPERTYPUTREF, "Value", {tagObject(field)}));
    EXPECT_EQ(std::vector<DISPID>{DISPID_PROPERTYPUT}, last().named);
    obj.reset();
    EXPECT_EQ(1, s.call(field, kMethod, "Quiet", {tagInt(3)}));
    EXPECT_EQ("2", s.replyBytes());
    ASSERT_EQ(2u, obj.calls.size());
    EXPECT_TRUE(obj.calls[0].withResult);
    EXPECT_FALSE(obj.calls[1].withResult);
    EXPECT_EQ(3, obj.calls[1].args[0].lVal);
}

TEST_F(SysmixObject, AReplyTooLongIsAnErrorAndHandsNoObjectOver) {
    obj.fills.resize(2);
    obj.fills[0].vt = VT_DISPATCH;
    obj.fills[0].pdispVal = &obj;
    obj.AddRef();
    obj.fills[1].vt = VT_BSTR;
    obj.fills[1].bstrVal = SysAllocStringLen(nullptr, 70000);
    for (UINT i = 0; i < 70000; ++i) obj.fills[1].bstrVal[i] = L'a';
    s.call(field, kMethod, "Fill", {tagInt(0, kSysmixByRef), tagInt(0, kSysmixByRef)}, 2);
    EXPECT_EQ(s.error(u8": нет памяти!", ""), s.replyBytes());
    obj.reset();
    EXPECT_EQ(base + 1, obj.refs());
}

TEST(SysmixWorkstation, HostNameAndAddressesAreTheResolversAnswer) {
    Sysmix s;
    int n = s.send(17);
    WSADATA wsa;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
    char name[17];
    DWORD len = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &len));
    const hostent *h = gethostbyname(name);
    ASSERT_NE(nullptr, h);
    size_t count = 0;
    while (h->h_addr_list[count]) ++count;
    std::string want = std::string(1, static_cast<char>(count)) + s.text(h->h_name) + bytesOf(int16_t(h->h_length));
    for (size_t i = 0; i < count; ++i) want.append(h->h_addr_list[i], h->h_length);
    WSACleanup();
    EXPECT_EQ(static_cast<int>(want.size()), n);
    EXPECT_EQ(want, s.replyBytes());
}

// Ends every start of Winsock in the process; returns how many there were.
int stopWinsock() {
    int n = 0;
    while (n < 100 && WSACleanup() == 0) ++n;
    return n;
}

TEST(SysmixWorkstation, LookupStartsWinsockItselfAndEndsIt) {
    Sysmix s;
    // Other DLLs of the process may have started Winsock; stop it for now.
    int started = stopWinsock();
    int n = s.send(17);
    int left = stopWinsock();
    WSADATA wsa;
    for (int i = 0; i < started; ++i) WSAStartup(MAKEWORD(2, 2), &wsa);
    EXPECT_EQ(0, left);
    ASSERT_GT(n, 4);
    EXPECT_GT(s.reply()[0], 0) << "no address without Winsock started";
}

TEST(SysmixWorkstation, AdapterAddressAndUserNameAreTheSystemsAnswers) {
    Sysmix s;
    s.send(18);
    NCB reset{};
    reset.ncb_command = NCBRESET;
    Netbios(&reset);
    unsigned char status[600] = {};
    NCB ncb{};
    ncb.ncb_command = NCBASTAT;
    std::memcpy(ncb.ncb_callname, "*               ", NCBNAMSZ);
    ncb.ncb_buffer = status;
    ncb.ncb_length = sizeof status;
    if (Netbios(&ncb) == NRC_GOODRET)
        EXPECT_EQ(std::string(1, '\0') + std::string(reinterpret_cast<char *>(status), 6), s.replyBytes());
    else
        EXPECT_EQ(std::string(1, '\1'), s.replyBytes());

    s.send(19);
    char name[17];
    DWORD len = sizeof name;
    if (GetUserNameA(name, &len))
        EXPECT_EQ(std::string(1, '\0') + s.text(name), s.replyBytes());
    else
        EXPECT_EQ(std::string("\1\0", 2), s.replyBytes());
}

}  // namespace
