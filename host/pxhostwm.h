// The terminal's host application object and its window manager, and the
// two sinks formkit registers with them: the module sink (one per module
// start) and the window sink (one per registered formkit window). Shared by
// formkit and the stand-in host of the tests. Slot numbers count from
// IUnknown's three.
#pragma once

#include <windows.h>
#include <unknwn.h>

// {F9E77C3D-849A-4C88-8520-E56715D09D6C}
static const GUID IID_IPxModuleSink = {0xF9E77C3D, 0x849A, 0x4C88, {0x85, 0x20, 0xE5, 0x67, 0x15, 0xD0, 0x9D, 0x6C}};
// {8D4A6430-B0A7-4B4B-AED1-AA813E8172AD}
static const GUID IID_IPxWindowSink = {0x8D4A6430, 0xB0A7, 0x4B4B, {0xAE, 0xD1, 0xAA, 0x81, 0x3E, 0x81, 0x72, 0xAD}};

struct IPxModuleSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AttachHostWindow(IUnknown *hostWindow) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE DetachHostWindow(IUnknown *hostWindow) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;  // answers S_OK
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetWindowManager(IUnknown *manager) = 0;  // 10
    virtual HRESULT STDMETHODCALLTYPE CanClose(BOOL *yes) = 0;                  // 11, true
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;
};

struct IPxWindowSink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Activate() = 0;          // 3
    virtual HRESULT STDMETHODCALLTYPE IsModal(BOOL *yes) = 0;  // 4, false
    virtual HRESULT STDMETHODCALLTYPE IsShown(BOOL *yes) = 0;  // 5, true
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
};

// A terminal window the host asks formkit to show (module sink slots 3
// and 4). The host hands it over as a plain object and formkit calls these
// slots directly: it answers no identifier of its own.
struct IPxHostWindow : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Activate() = 0;  // 3: its placeholder's control 1001
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;  // 6: the placeholder was asked to close
};

// What AppIntf slot 40 gives.
struct IPxHostApp : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Version(LONG *version) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;
    virtual HRESULT STDMETHODCALLTYPE MainWindow(HWND *wnd) = 0;                // 11
    virtual HRESULT STDMETHODCALLTYPE SetMainWindow(HWND wnd) = 0;              // 12, version > 2
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;
    virtual HRESULT STDMETHODCALLTYPE WindowManager(IUnknown **manager) = 0;    // 14, version > 4
    virtual HRESULT STDMETHODCALLTYPE RegisterModuleSink(IPxModuleSink *sink) = 0;  // 15, null ends
};

// The window manager's registration interface: a manager that answers
// QueryInterface for it takes the sinks.
// {5B0E2C71-3F4A-4E8D-9C61-7A2D4B8E1F03}
static const GUID IID_IPxWindowManager = {0x5B0E2C71, 0x3F4A, 0x4E8D, {0x9C, 0x61, 0x7A, 0x2D, 0x4B, 0x8E, 0x1F, 0x03}};

struct IPxWindowManager : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE RegisterWindow(IPxWindowSink *sink) = 0;    // 3
    virtual HRESULT STDMETHODCALLTYPE UnregisterWindow(IPxWindowSink *sink) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Notify(LONG what) = 0;                      // 8
    virtual HRESULT STDMETHODCALLTYPE ActivateWindow(IUnknown *window) = 0;       // 9
    virtual HRESULT STDMETHODCALLTYPE RegisterModuleSink(IPxModuleSink *sink) = 0;  // 10, null ends
    virtual HRESULT STDMETHODCALLTYPE MayClose(BOOL *yes) = 0;                    // 11
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;                                // 12
};

// The terminal holds each object by one pointer to its table; slot n of a
// table is the n-th method above, IUnknown's three first.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(IPxModuleSink) == 4 && sizeof(IPxWindowSink) == 4 && sizeof(IPxHostWindow) == 4 &&
                  sizeof(IPxHostApp) == 4 && sizeof(IPxWindowManager) == 4,
              "interfaces: one table pointer");
#endif
