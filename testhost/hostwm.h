// A stand-in for the terminal's host application object and its window
// manager: each records the calls formkit makes, in one log, and counts its
// references; the manager keeps the module sink it is given.
#pragma once

#include <string>
#include <vector>

#include "pxhostwm.h"

namespace th {

struct HostWmLog {
    std::vector<std::string> calls;
};

template <class Iface> class Counted : public Iface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    LONG refs = 1;  // owned by the test; never deleted through Release
};

class FakeWindowManager : public Counted<IPxWindowManager> {
public:
    explicit FakeWindowManager(HostWmLog &log) : log_(log) {}
    bool answersRegistration = true;
    IPxModuleSink *sink = nullptr;  // AddRef'd while registered
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override;
    // Window sinks registered, each AddRef'd; refsSeen: the count each
    // AddRef at registration and each Release at unregistration returned.
    std::vector<IPxWindowSink *> windows;
    std::vector<ULONG> refsSeen;
    BOOL mayClose = TRUE;
    HRESULT STDMETHODCALLTYPE RegisterWindow(IPxWindowSink *s) override;
    HRESULT STDMETHODCALLTYPE UnregisterWindow(IPxWindowSink *s) override;
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Notify(LONG what) override { return note(what ? "wm.notify(1)" : "wm.notify(0)"); }
    std::vector<IUnknown *> activated;  // the sinks it was told of, in order
    HRESULT STDMETHODCALLTYPE ActivateWindow(IUnknown *s) override {
        activated.push_back(s);
        return note("wm.activate");
    }
    HRESULT STDMETHODCALLTYPE RegisterModuleSink(IPxModuleSink *s) override;
    HRESULT STDMETHODCALLTYPE MayClose(BOOL *yes) override;
    HRESULT STDMETHODCALLTYPE Close() override { return note("wm.close"); }

private:
    HRESULT note(const char *what) {
        log_.calls.push_back(what);
        return S_OK;
    }
    HostWmLog &log_;
};

class FakeHostApp : public Counted<IPxHostApp> {
public:
    FakeHostApp(HostWmLog &log, FakeWindowManager *manager) : log_(log), manager_(manager) {}
    LONG version = 5;
    IPxModuleSink *sink = nullptr;  // registered directly, AddRef'd
    HWND mainWindow = reinterpret_cast<HWND>(0x1234);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override;
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Version(LONG *v) override;
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MainWindow(HWND *wnd) override;
    HRESULT STDMETHODCALLTYPE SetMainWindow(HWND wnd) override;
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE WindowManager(IUnknown **out) override;
    HRESULT STDMETHODCALLTYPE RegisterModuleSink(IPxModuleSink *s) override;

private:
    HostWmLog &log_;
    FakeWindowManager *manager_;
};

// A terminal window shown in formkit's frame: its references and the calls
// its placeholder makes.
class FakeHostWindow : public Counted<IPxHostWindow> {
public:
    int activated = 0, closed = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Activate() override { return ++activated, S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override { return ++closed, S_OK; }
};

}  // namespace th
