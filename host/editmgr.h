// The edit-manager COM server as termcore and its test stand-in see it: the
// class, its older and newer interfaces, and the sink termcore registers
// with it.
#pragma once

#include <oaidl.h>
#include <windows.h>

// {8A3B5358-17E1-4608-811D-653819A1B435}
static const CLSID CLSID_QvEditMgr = {0x8A3B5358, 0x17E1, 0x4608, {0x81, 0x1D, 0x65, 0x38, 0x19, 0xA1, 0xB4, 0x35}};
// {A45D345E-8974-4CE5-AFA1-A80F18A6E86A}: asked first.
static const IID IID_IQvEditMgr2 = {0xA45D345E, 0x8974, 0x4CE5, {0xAF, 0xA1, 0xA8, 0x0F, 0x18, 0xA6, 0xE8, 0x6A}};
// {9550EE92-694D-46D2-A999-EFE2BF31306F}
static const IID IID_IQvEditMgr = {0x9550EE92, 0x694D, 0x46D2, {0xA9, 0x99, 0xEF, 0xE2, 0xBF, 0x31, 0x30, 0x6F}};
// {1C8FA5DC-9879-4F06-91F9-8FCC2E05C5A7}: the sink's dispatch interface.
static const IID IID_IQvEditSink = {0x1C8FA5DC, 0x9879, 0x4F06, {0x91, 0xF9, 0x8F, 0xCC, 0x2E, 0x05, 0xC5, 0xA7}};
// {1B19C591-644D-4F14-A8BB-8AC8799E0F61}: the sink's second interface.
static const IID IID_IQvEditSink2 = {0x1B19C591, 0x644D, 0x4F14, {0xA8, 0xBB, 0x8A, 0xC8, 0x79, 0x9E, 0x0F, 0x61}};

// The older interface: register at slot 7, unregister at slot 8.
struct IQvEditMgr : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Register(IDispatch *sink, BSTR name, long *id) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unregister(long id) = 0;
};

// The newer one adds a registration that names the process (slot 12).
struct IQvEditMgr2 : public IQvEditMgr {
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterProcess(IDispatch *sink, BSTR name, long process, long *id) = 0;
};

// The sink's methods; each sets its out flag to 1 when termcore carried the
// action out, else 0.
struct IQvEditSink : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SaveAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE ReloadAll() = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenFile(BSTR name, long reserved, long *done) = 0;
    virtual HRESULT STDMETHODCALLTYPE TakeFile(BSTR name, long *done) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReturnFile(BSTR name, long *done) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseFile(BSTR name) = 0;
};

struct IQvEditSink2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SendToServer(long value, BSTR name, long *done) = 0;
};

// Dispatch ids of the sink's Invoke.
enum : DISPID { kSinkSaveAll = 1, kSinkReloadAll = 2, kSinkOpen = 3, kSinkTake = 4, kSinkReturn = 5, kSinkRelease = 6 };

// The edit manager holds each object by one pointer to its table; slot n of
// a table is the n-th method, IDispatch's seven first.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(IQvEditMgr) == 4 && sizeof(IQvEditMgr2) == 4 && sizeof(IQvEditSink) == 4 &&
                  sizeof(IQvEditSink2) == 4,
              "interfaces: one table pointer");
#endif
