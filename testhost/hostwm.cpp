#include "hostwm.h"

#include <cstddef>

namespace th {

namespace {

// Takes s in place of *slot, with the references a holder keeps.
void keep(IPxModuleSink **slot, IPxModuleSink *s) {
    if (s) s->AddRef();
    if (*slot) (*slot)->Release();
    *slot = s;
}

}  // namespace

HRESULT FakeWindowManager::QueryInterface(REFIID iid, void **out) {
    log_.calls.push_back("wm.query");
    if ((IsEqualIID(iid, IID_IPxWindowManager) && answersRegistration) || IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IPxWindowManager *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeWindowManager::RegisterModuleSink(IPxModuleSink *s) {
    log_.calls.push_back(s ? "wm.registerModuleSink" : "wm.registerModuleSink(null)");
    keep(&sink, s);
    return S_OK;
}

HRESULT FakeWindowManager::RegisterWindow(IPxWindowSink *s) {
    log_.calls.push_back("wm.registerWindow");
    refsSeen.push_back(s->AddRef());
    windows.push_back(s);
    return S_OK;
}

HRESULT FakeWindowManager::UnregisterWindow(IPxWindowSink *s) {
    log_.calls.push_back("wm.unregisterWindow");
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i] != s) continue;
        windows.erase(windows.begin() + static_cast<std::ptrdiff_t>(i));
        refsSeen.push_back(s->Release());
        break;
    }
    return S_OK;
}

HRESULT FakeWindowManager::MayClose(BOOL *yes) {
    log_.calls.push_back("wm.mayClose");
    *yes = mayClose;
    return S_OK;
}

HRESULT FakeHostApp::QueryInterface(REFIID, void **out) {
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeHostApp::Version(LONG *v) {
    log_.calls.push_back("app.version");
    *v = version;
    return S_OK;
}

HRESULT FakeHostApp::MainWindow(HWND *wnd) {
    *wnd = mainWindow;
    return S_OK;
}

HRESULT FakeHostApp::SetMainWindow(HWND wnd) {
    log_.calls.push_back("app.setMainWindow");
    mainWindow = wnd;
    return S_OK;
}

HRESULT FakeHostApp::WindowManager(IUnknown **out) {
    log_.calls.push_back("app.windowManager");
    *out = manager_;
    if (manager_) manager_->AddRef();
    return S_OK;
}

HRESULT FakeHostApp::RegisterModuleSink(IPxModuleSink *s) {
    log_.calls.push_back(s ? "app.registerModuleSink" : "app.registerModuleSink(null)");
    keep(&sink, s);
    return S_OK;
}

}  // namespace th
