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
#include "wire.h"
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

// The bytes of a value as they stand in a reply.
template <class T> std::string bytesOf(T v) { return std::string(reinterpret_cast<const char *>(&v), sizeof v); }
uint64_t bitsOf(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

// Tagged argument values; 0x40 marks one passed by reference.
constexpr uint8_t kByRef = 0x40;
th::Bytes tagInt(int32_t v, uint8_t extra = 0) { return th::Bytes().u8(V_INTEGER | extra).i32(v); }
th::Bytes tagText(const std::string &s, uint8_t extra = 0) { return th::Bytes().u8(V_STRING | extra).text(s); }
th::Bytes tagObject(uint32_t field) { return th::Bytes().u8(V_OBJECT).u32(field); }
th::Bytes tagMoney(double hundredths, uint8_t type = V_MONEY) { return th::Bytes().u8(type).u64(bitsOf(hundredths)); }

const uint16_t kMethod = DISPATCH_METHOD, kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT;

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
    int sendInBlock(int code, const th::Bytes &b) { return n_ = m_.messageInBlock(code, b); }
    void hostVersion(int v) { m_.hostVersion(v); }
    const unsigned char *reply() const { return m_.reply(); }
    std::string replyBytes() const { return std::string(reinterpret_cast<const char *>(m_.reply()), n_ > 0 ? n_ : 0); }
    bool untouchedFrom(size_t at) const { return m_.replyUntouchedFrom(at); }
    int32_t i32() const { return WireReader(m_.reply(), 4).i32(); }

    uint32_t create(const char *progId, int code = 10) {
        EXPECT_EQ(5, send(code, th::Bytes().text(progId))) << replyBytes();
        EXPECT_EQ('1', reply()[0]);
        return WireReader(reply() + 1, 4).u32();
    }
    // Request 3; the reply is left in replyBytes().
    std::string call(uint32_t object, uint16_t flags, const char *member, const std::vector<th::Bytes> &args,
                     int byRefCount = 0) {
        th::Bytes b;
        b.u32(object).u16(flags).text(member).i32(static_cast<int32_t>(args.size())).i32(byRefCount);
        for (const th::Bytes &a : args) b.raw(a);
        send(3, b);
        return replyBytes();
    }
    void mode(int code, uint8_t value) {
        ASSERT_EQ(1, send(code, th::Bytes().u8(value)));
        ASSERT_EQ('1', reply()[0]);
    }

private:
    th::Module m_;
    int n_ = 0;
};

// A reply's text value and an error reply.
std::string text(const std::string &s) { return "1\x06" + s + std::string(1, '\0'); }
std::string error(const char *utf8Message, const char *name) {
    return "0" + inCodePage(utf8Message) + " " + name + std::string(1, '\0');
}
const char *const kInvokeError = u8": Invoke, ошибка вызова свойства/метода";

TEST(SysmixRequests, UnservedCodesAnswerNothingAndModeRequestsAnswerOne) {
    Sysmix s;
    for (int code : {1, 4, 9, 23, 99, -1, -4, -5}) {
        EXPECT_EQ(0, s.send(code, th::Bytes().zeros(32))) << code;
        EXPECT_TRUE(s.untouchedFrom(0)) << code;
    }
    for (int code : {12, 13, 12, 14, 15, 16}) s.mode(code, 1);
}

// sysmix never asks the host for its block: a member or class name that
// does not end within the reader's scan limit is refused, not read past it.
TEST(SysmixRequests, RecordsAreReadNoFurtherThanTheScanLimit) {
    th::Host::get().reset();
    th::Host::get().enableExt({26});
    th::Host::get().maxBlockSize = static_cast<int>(kWireScanLimit) + 64;
    Sysmix s;
    s.hostVersion(114);
    s.sendInBlock(3, th::Bytes().u32(1).u16(kMethod).raw("Name", 4));
    EXPECT_EQ('0', s.reply()[0]);
    s.sendInBlock(10, th::Bytes().raw("Scripting", 9));
    EXPECT_EQ('0', s.reply()[0]);
    EXPECT_EQ(0, th::Host::get().maxBlockSizeCalls);
}

// The record at the start of an 8 KiB block that unreadable memory follows:
// names and counts that run to the block's end are refused.
TEST(SysmixRequests, RecordsThatRunToTheEndOfTheHostsBufferAreRefused) {
    th::Host::get().reset();
    th::Host::get().maxBlockSize = 8192;
    Sysmix s;
    s.sendInBlock(3, th::Bytes().u32(1).u16(kMethod));
    EXPECT_EQ('0', s.reply()[0]);
    for (int code : {10, 11}) {
        s.sendInBlock(code, th::Bytes());
        EXPECT_EQ('0', s.reply()[0]) << code;
    }
}

// Runs f on a thread of its own and waits for it.
template <class F> void onThread(F f) {
    HANDLE t = CreateThread(nullptr, 0, [](void *p) WINAPI -> DWORD { return (*static_cast<F *>(p))(), 0; }, &f, 0, nullptr);
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
        created = s.send(10, th::Bytes().text("Scripting.Dictionary"));
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
    EXPECT_EQ(std::string("1\0", 2), s.call(d, kMethod, "Add", {tagText("a"), tagInt(5)}));
    EXPECT_EQ(std::string("1\x01\x01\0\0\0", 6), s.call(d, kGet, "Count", {}));
    EXPECT_EQ(std::string("1\x07\0", 3), s.call(d, kMethod, "Exists", {tagText("zz")}));
    // A text put in the DOS code page comes back in it, or in the Windows one.
    std::string hello = inCodePage(u8"Привет, мир");
    EXPECT_EQ("2", s.call(d, kPut, "Item", {tagText("t"), tagText(hello)}));
    EXPECT_EQ(text(hello), s.call(d, kGet, "Item", {tagText("t")}));
    s.mode(16, 1);
    EXPECT_EQ(text(inCodePage(u8"Привет, мир", 1251)), s.call(d, kGet, "Item", {tagText("t")}));
    // Money in hundredths is 123.45 to the object, and back in either form.
    s.call(d, kMethod, "Add", {tagText("m"), tagMoney(12345.0)});
    EXPECT_EQ("1\x02" + bytesOf(12345.0), s.call(d, kGet, "Item", {tagText("m")}));
    s.mode(14, 1);
    EXPECT_EQ("1\x02" + bytesOf(int64_t{1234500}), s.call(d, kGet, "Item", {tagText("m")}));
    // A by-reference key comes back after the (empty) result.
    EXPECT_EQ(std::string("1\0\x06k\0", 5), s.call(d, kMethod, "Add", {tagText("k", kByRef), tagInt(7)}, 1));
    EXPECT_EQ(std::string("1\x01\x07\0\0\0", 6), s.call(d, kGet, "Item", {tagText("k")}));
    // Empty arguments in every mode, missing ones too, are taken.
    for (uint8_t mode : {0, 1, 2}) {
        s.mode(15, mode);
        std::string key = "e" + std::to_string(mode);
        EXPECT_EQ(std::string("1\0", 2), s.call(d, kMethod, "Add", {tagText(key), th::Bytes().u8(V_UNDEF)}));
        EXPECT_EQ(std::string("1\0", 2), s.call(d, kGet, "Item", {tagText(key)}));
    }
    EXPECT_EQ(0, s.send(2, th::Bytes().u32(d)));
}

TEST(SysmixDictionary, FailuresAnswerTheirErrorTexts) {
    Sysmix s;
    uint32_t d = s.create("Scripting.Dictionary");
    s.call(d, kMethod, "Add", {tagText("a"), tagInt(1)});
    EXPECT_EQ(error(kInvokeError, "DISP_E_EXCEPTION"), s.call(d, kMethod, "Add", {tagText("a"), tagInt(2)}));
    EXPECT_EQ(error(u8": нет такого свойства/метода!", "DISP_E_UNKNOWNNAME"), s.call(d, kMethod, "NoSuchMember", {}));
    EXPECT_EQ(error(u8": Set, не задано новое значение свойства!", ""), s.call(d, kPut, "Item", {}));
    s.send(10, th::Bytes().text("No.Such.ProgId"));
    EXPECT_EQ(error(u8": не могу получить CLSID!", ""), s.replyBytes());
}

TEST(SysmixDictionary, AttachesToTheRunningInstanceAndFindsItInTheTable) {
    Sysmix s;
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Scripting.Dictionary", &clsid));
    IUnknown *mine = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void **>(&mine)));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, RegisterActiveObject(mine, clsid, ACTIVEOBJECT_STRONG, &cookie));
    uint32_t attached = s.create("Scripting.Dictionary", 11), fresh = s.create("Scripting.Dictionary", 10);
    EXPECT_NE(attached, fresh);
    for (auto [object, want] : {std::pair<uint32_t, int32_t>{attached, 1}, {fresh, 0}, {0x7777, 0}}) {
        EXPECT_EQ(4, s.send(22, th::Bytes().u32(object)));
        EXPECT_EQ(want, s.i32()) << object;
    }
    RevokeActiveObject(cookie, nullptr);
    mine->Release();
    // With none running, request 11 makes one.
    uint32_t made = s.create("Scripting.Dictionary", 11);
    EXPECT_EQ(std::string("1\x01\0\0\0\0", 6), s.call(made, kGet, "Count", {}));
}

// {6D2A5C1E-93B4-4F0A-8C61-2E7B9D4F1A35}
const CLSID kTestClsid = {0x6d2a5c1e, 0x93b4, 0x4f0a, {0x8c, 0x61, 0x2e, 0x7b, 0x9d, 0x4f, 0x1a, 0x35}};
const wchar_t *const kMembers[] = {L"Take", L"Fill", L"Quiet"};
enum : DISPID { kTake = 1, kFill, kQuiet };

// An automation object that records the calls it gets. Every member gives
// `result` when asked for one, except Quiet, which refuses; Fill also stores
// `fills` into its by-reference arguments. It is its own class object,
// registered as "Sysmix.TestObject" while it lives; the test owns it, and
// its count only shows whether references balance.
class TestObject : public IDispatch, public IClassFactory {
public:
    struct Call {
        std::vector<VARIANT> args;   // in the script's order, copies
        std::vector<VARTYPE> types;  // as passed, with VT_BYREF
        std::vector<DISPID> named;
        bool withResult;
    };

    TestObject() {
        VariantInit(&result);
        wchar_t guid[40];
        StringFromGUID2(kTestClsid, guid, 40);
        RegSetValueW(HKEY_CLASSES_ROOT, L"Sysmix.TestObject\\CLSID", REG_SZ, guid, 0);
        if (FAILED(CoRegisterClassObject(kTestClsid, static_cast<IClassFactory *>(this), CLSCTX_INPROC_SERVER,
                                         REGCLS_MULTIPLEUSE, &cookie)))
            cookie = 0;
    }
    ~TestObject() {
        reset();
        if (cookie) CoRevokeClassObject(cookie);
    }
    void reset() {
        for (Call &c : calls)
            for (VARIANT &v : c.args) VariantClear(&v);
        calls.clear();
        VariantClear(&result);
        for (VARIANT &v : fills) VariantClear(&v);
        fills.clear();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<IDispatch *>(this);
        if (iid == IID_IClassFactory) *out = static_cast<IClassFactory *>(this);
        if (*out) AddRef();
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT, LCID, DISPID *ids) override {
        ids[0] = DISPID_UNKNOWN;
        for (DISPID id : {kTake, kFill, kQuiet})
            if (_wcsicmp(names[0], kMembers[id - 1]) == 0) ids[0] = id;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *p, VARIANT *out, EXCEPINFO *,
                                     UINT *) override {
        Call call{{}, {}, {p->rgdispidNamedArgs, p->rgdispidNamedArgs + p->cNamedArgs}, out != nullptr};
        size_t filled = 0;
        for (UINT i = p->cArgs; i-- > 0;) {
            VARIANT &a = p->rgvarg[i];
            call.types.push_back(a.vt);
            call.args.emplace_back();
            VariantInit(&call.args.back());
            VariantCopyInd(&call.args.back(), &a);
            if (id == kFill && a.vt == (VT_BYREF | VT_VARIANT) && filled < fills.size()) {
                VariantClear(a.pvarVal);
                VariantCopy(a.pvarVal, &fills[filled++]);
            }
        }
        calls.push_back(call);
        if (id == kQuiet && out) return DISP_E_MEMBERNOTFOUND;
        return out ? VariantCopy(out, &result) : S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override {
        return outer ? CLASS_E_NOAGGREGATION : QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    LONG refs = 1;
    DWORD cookie = 0;
    std::vector<Call> calls;
    VARIANT result;
    std::vector<VARIANT> fills;  // one per by-reference argument
};

class SysmixObject : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(0u, obj.cookie);
        base = obj.refs;
        field = s.create("Sysmix.TestObject");
        ASSERT_EQ(base + 1, obj.refs);
    }
    void TearDown() override { obj.reset(); }

    const TestObject::Call &last() {
        static TestObject::Call none;
        return obj.calls.empty() ? none : obj.calls.back();
    }
    // The type and value the object got as argument i of the last call.
    VARTYPE typeOf(size_t i) { return i < last().types.size() ? last().types[i] : VARTYPE(VT_ILLEGAL); }
    const VARIANT &argOf(size_t i) { return last().args.at(i); }
    void setResult(VARTYPE vt) {
        VariantClear(&obj.result);
        obj.result.vt = vt;
    }

    TestObject obj;
    Sysmix s;
    LONG base = 0;
    uint32_t field = 0;
};

TEST_F(SysmixObject, ArgumentsArriveInOrderWithTheirTypes) {
    th::Bytes date = th::Bytes().u8(V_DATE).u8(1).u8(1).i16(2000);
    th::Bytes time = th::Bytes().u8(V_TIME).u8(0).u8(0).u8(0).u8(18);
    th::Bytes both = th::Bytes().u8(V_DTTM).u8(31).u8(12).i16(1899).u8(0).u8(0).u8(0).u8(12);
    th::Bytes real = th::Bytes().u8(V_DOUBLE).u64(bitsOf(2.5)), longReal = th::Bytes().u8(V_DOUBLEL).u64(bitsOf(-0.5));
    s.call(field, kMethod, "Take",
           {tagInt(-3), real, tagText(inCodePage(u8"ёж")), th::Bytes().u8(V_BOOL).u8(1), date, time, both, longReal});
    ASSERT_EQ(1u, obj.calls.size());
    EXPECT_TRUE(last().withResult);
    EXPECT_TRUE(last().named.empty());
    EXPECT_EQ((std::vector<VARTYPE>{VT_I4, VT_R8, VT_BSTR, VT_BOOL, VT_DATE, VT_DATE, VT_DATE, VT_R8}), last().types);
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
        s.call(field, kMethod, "Take", {th::Bytes().u8(V_UNDEF)});
        EXPECT_EQ(empties[mode > 2 ? 3 : mode], typeOf(0)) << int(mode);
    }
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, obj.calls[2].args[0].scode);
    s.call(field, kMethod, "Take", {tagMoney(12345.0)});
    EXPECT_EQ(VT_CY, typeOf(0));
    EXPECT_EQ(1234500, argOf(0).cyVal.int64);
    EXPECT_EQ(error(kInvokeError, "DISP_E_OVERFLOW"), s.call(field, kMethod, "Take", {tagMoney(1e300, V_MONEYL)}));
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
    std::string reply = s.call(field, kMethod, "Fill", {tagInt(1, kByRef), tagInt(2), tagText("x", kByRef)}, 3);
    EXPECT_EQ((std::vector<VARTYPE>{VT_BYREF | VT_VARIANT, VT_I4, VT_BYREF | VT_VARIANT}), last().types);
    EXPECT_EQ(1, argOf(0).lVal);
    // The result, then every declared slot; the third was never used.
    EXPECT_EQ(std::string("1\0\x01\x2a\0\0\0", 7) + text(inCodePage(u8"да")).substr(1) + std::string(1, '\0'), reply);
}

TEST_F(SysmixObject, BadArgumentsStopTheCall) {
    EXPECT_EQ(error(kInvokeError, "DISP_E_BADPARAMCOUNT"),
              s.call(field, kMethod, "Take", {tagInt(1, kByRef), tagInt(2, kByRef)}, 1));
    EXPECT_EQ(error(kInvokeError, "DISP_E_BADVARTYPE"),
              s.call(field, kMethod, "Take", {tagInt(1), th::Bytes().u8(8).i32(0)}));
    const std::string noDispatch = error(u8": не могу получить IID_IDispatch!", "");
    EXPECT_EQ(noDispatch, s.call(field, kMethod, "Take", {tagObject(field + 99)}));
    EXPECT_EQ(noDispatch, s.call(field + 99, kMethod, "Take", {}));
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
        setResult(c.vt);
        c.set(obj.result);
        EXPECT_EQ(c.want, s.call(field, kGet, "Take", {})) << c.vt;
    }
}

TEST_F(SysmixObject, ObjectsTravelWithBalancedReferences) {
    s.call(field, kMethod, "Take", {tagObject(field), tagObject(0)});
    EXPECT_EQ(static_cast<IDispatch *>(&obj), argOf(0).pdispVal);
    EXPECT_EQ(VT_DISPATCH, typeOf(1));
    EXPECT_EQ(nullptr, argOf(1).pdispVal);
    obj.reset();
    EXPECT_EQ(base + 1, obj.refs);
    // A result object is the same field, with one more reference.
    setResult(VT_DISPATCH);
    obj.result.pdispVal = &obj;
    obj.AddRef();
    EXPECT_EQ("1\x13" + bytesOf(field), s.call(field, kGet, "Take", {}));
    EXPECT_EQ(base + 3, obj.refs);
    s.send(2, th::Bytes().u32(field));
    EXPECT_EQ(base + 2, obj.refs);
    s.call(field, kGet, "Take", {});
    obj.reset();
    s.send(kMsgUnload);  // gives back what the server still holds
    EXPECT_EQ(base, obj.refs);
    s.send(2, th::Bytes().u32(field));  // a field given back names nothing
    EXPECT_EQ(base, obj.refs);
}

TEST_F(SysmixObject, PutsNameTheValueAndResultlessMembersAreCalledAgain) {
    for (uint16_t put : {kPut, uint16_t(DISPATCH_PROPERTYPUTREF)}) {
        EXPECT_EQ("2", s.call(field, put, "Take", {tagObject(field)}));
        EXPECT_FALSE(last().withResult);
        EXPECT_EQ(std::vector<DISPID>{DISPID_PROPERTYPUT}, last().named);
    }
    obj.reset();
    EXPECT_EQ("2", s.call(field, kMethod, "Quiet", {tagInt(3)}));
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
    obj.fills[1].bstrVal = SysAllocString(std::wstring(70000, L'a').c_str());
    EXPECT_EQ(error(u8": нет памяти!", ""),
              s.call(field, kMethod, "Fill", {tagInt(0, kByRef), tagInt(0, kByRef)}, 2));
    obj.reset();
    EXPECT_EQ(base + 1, obj.refs);
}

// Ends every start of Winsock in the process; returns how many there were.
int stopWinsock() {
    int n = 0;
    while (n < 100 && WSACleanup() == 0) ++n;
    return n;
}

TEST(SysmixWorkstation, HostNameAndAddressesAreTheResolversAnswerWithWinsockStartedAndEnded) {
    Sysmix s;
    // Other DLLs of the process may have started Winsock; stop it for now.
    int started = stopWinsock();
    int n = s.send(17);
    EXPECT_EQ(0, stopWinsock());
    WSADATA wsa;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
    char name[17];
    DWORD len = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &len));
    const hostent *h = gethostbyname(name);
    ASSERT_NE(nullptr, h);
    size_t count = 0;
    while (h->h_addr_list[count]) ++count;
    std::string want = std::string(1, static_cast<char>(count)) + h->h_name + '\0' + bytesOf(int16_t(h->h_length));
    for (size_t i = 0; i < count; ++i) want.append(h->h_addr_list[i], h->h_length);
    WSACleanup();
    for (int i = 0; i < started; ++i) WSAStartup(MAKEWORD(2, 2), &wsa);
    EXPECT_GT(count, 0u);
    EXPECT_EQ(static_cast<int>(want.size()), n);
    EXPECT_EQ(want, s.replyBytes());
}

TEST(SysmixWorkstation, AdapterAddressAndUserNameAreTheSystemsAnswers) {
    Sysmix s;
    s.send(18);
    NCB ncb{};
    ncb.ncb_command = NCBRESET;
    Netbios(&ncb);
    unsigned char status[600] = {};
    ncb = NCB{};
    ncb.ncb_command = NCBASTAT;
    std::memcpy(ncb.ncb_callname, "*               ", NCBNAMSZ);
    ncb.ncb_buffer = status;
    ncb.ncb_length = sizeof status;
    bool found = Netbios(&ncb) == NRC_GOODRET;
    EXPECT_EQ(found ? '\0' + std::string(reinterpret_cast<char *>(status), 6) : "\1", s.replyBytes());
    s.send(19);
    char name[17];
    DWORD len = sizeof name;
    EXPECT_EQ(GetUserNameA(name, &len) ? '\0' + std::string(name) + '\0' : std::string("\1\0", 2), s.replyBytes());
}

}  // namespace
