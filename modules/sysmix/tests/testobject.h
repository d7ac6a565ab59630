// A small automation object for the sysmix tests: it records the calls it
// gets and answers what the test sets up. Members: Take (records its
// arguments), Give (returns `result`), Fill (writes `fills` into its
// by-reference arguments), Value (property), Quiet (refuses to give a
// result), Self (returns the object).
#pragma once

#include <string>
#include <vector>

#include <oaidl.h>

struct TestCall {
    std::string member;
    WORD flags;
    std::vector<VARIANT> args;  // in the script's order, copies
    std::vector<VARTYPE> types;  // as passed, with VT_BYREF
    std::vector<DISPID> named;
    bool withResult;
};

class TestObject : public IDispatch {
public:
    TestObject();
    ~TestObject();

    // IUnknown, IDispatch
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *ei, UINT *argError) override;

    LONG refs() const { return refs_; }
    void reset();  // forgets calls and set-ups

    std::vector<TestCall> calls;
    VARIANT result;               // what Give returns
    std::vector<VARIANT> fills;   // what Fill stores, one per by-reference argument
    VARIANT value;                // the Value property

private:
    LONG refs_ = 1;
};

// CLSID and ProgID under which the tests register the object.
extern const CLSID CLSID_SysmixTestObject;
constexpr const char *kTestProgId = "Sysmix.TestObject";

// Registers the ProgID and a class object that hands out `object`; undone
// by the destructor.
class TestClassRegistration {
public:
    explicit TestClassRegistration(TestObject *object);
    ~TestClassRegistration();
    bool ok() const { return cookie_ != 0; }

private:
    DWORD cookie_ = 0;
};
