#include "hostsinks.h"

#include <algorithm>
#include <new>
#include <vector>

#include "app.h"
#include "frame.h"
#include "pxhostwm.h"
#include "registry.h"
#include "zam_entry.h"

namespace {

constexpr LONG kManagerVersion = 4;  // the window manager exists above this
constexpr int kPlaceholderDialog = 103;

constexpr LONG kMainWindowVersion = 2;  // set main window exists above this

IPxHostApp *hostApp(LONG above = kManagerVersion) {
    TAppObj *a = zam_host().app;
    if (!a || zam_host().version < kAppIntfGetHostAppVersion || !a->fn->GetHostApp) return nullptr;
    IPxHostApp *h = static_cast<IPxHostApp *>(a->fn->GetHostApp(a));
    LONG v = 0;
    return h && SUCCEEDED(h->Version(&v)) && v > above ? h : nullptr;
}

INT_PTR CALLBACK placeholderProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

class ModuleSink;

struct Registration {
    ModuleSink *sink = nullptr;
    IPxWindowManager *manager = nullptr;
    bool withHostApp = false;  // registered with the host application itself
};
Registration g_reg;
std::vector<IUnknown *> g_attached;  // host windows shown, each AddRef'd once

class ModuleSink : public IPxModuleSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPxModuleSink)) {
            *out = static_cast<IPxModuleSink *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE AttachHostWindow(IUnknown *hostWindow) override {
        try {
            attach(hostWindow);
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DetachHostWindow(IUnknown *hostWindow) override {
        try {
            detach(hostWindow);
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetWindowManager(IUnknown *manager) override {
        if (g_reg.manager) g_reg.manager->Release();
        g_reg.manager = nullptr;
        IPxWindowManager *m = nullptr;
        if (manager && SUCCEEDED(manager->QueryInterface(IID_IPxWindowManager, reinterpret_cast<void **>(&m))) && m) {
            m->RegisterModuleSink(this);
            g_reg.manager = m;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CanClose(BOOL *yes) override {
        if (yes) *yes = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return S_OK; }

private:
    ~ModuleSink() = default;

    static void attach(IUnknown *hostWindow) {
        PxApp *app = px_app();
        PxTopWnd *level = px_firstTopWnd();
        // Only a current frame can hold the terminal's window.
        if (!app || !hostWindow || !level || !level->frame || !level->frame->client) return;
        if (px_findChildByHost(hostWindow, nullptr)) return;
        PxFrame *frame = level->frame;
        HWND dlg = CreateDialogParamA(app->instance, MAKEINTRESOURCEA(kPlaceholderDialog), frame->client,
                                      placeholderProc, 0);
        if (!dlg) return;
        if (IsWindowEnabled(frame->wnd)) SendMessageA(frame->wnd, WM_CANCELMODE, 0, 0);
        LONG_PTR style = GetWindowLongPtrA(dlg, GWL_STYLE);
        style = (style & ~static_cast<LONG_PTR>(WS_POPUP | DS_MODALFRAME | WS_CAPTION)) | WS_CHILD;
        SetWindowLongPtrA(dlg, GWL_STYLE, style);
        SetParent(dlg, frame->client);
        PxChildWnd *previous = level->active;
        PxChildWnd *child = px_attachChildWnd(dlg, hostWindow, kPxChildOther, hostWindow);
        if (!child) {
            DestroyWindow(dlg);
            return;
        }
        hostWindow->AddRef();
        g_attached.push_back(hostWindow);
        if (previous && previous->kind == kPxChildOther && previous->wnd) ShowWindow(previous->wnd, SW_HIDE);
        level->active = child;
        ShowWindow(dlg, SW_SHOW);
    }

public:
    static void detach(IUnknown *hostWindow) {
        PxTopWnd *owner = nullptr;
        PxChildWnd *child = hostWindow ? px_findChildByHost(hostWindow, &owner) : nullptr;
        if (!child || child->kind != kPxChildOther) return;
        if (child->wnd) DestroyWindow(child->wnd);
        px_detachChildWnd(owner, child);
        g_attached.erase(std::remove(g_attached.begin(), g_attached.end(), hostWindow), g_attached.end());
        hostWindow->Release();
        if (owner && owner->active && owner->active->kind == kPxChildOther && owner->active->wnd)
            ShowWindow(owner->active->wnd, SW_SHOW);
    }

    LONG refs_ = 1;
};

}  // namespace

void px_registerHostSinks() {
    IPxHostApp *host = hostApp();
    if (!host || g_reg.sink) return;
    ModuleSink *sink = new (std::nothrow) ModuleSink;
    if (!sink) return;
    g_reg.sink = sink;
    IUnknown *found = nullptr;
    IPxWindowManager *manager = nullptr;
    if (SUCCEEDED(host->WindowManager(&found)) && found) {
        found->QueryInterface(IID_IPxWindowManager, reinterpret_cast<void **>(&manager));
        found->Release();
    }
    if (manager) {
        manager->RegisterModuleSink(sink);
        g_reg.manager = manager;
    } else {
        host->RegisterModuleSink(sink);
        g_reg.withHostApp = true;
    }
}

void px_unregisterHostSinks() {
    if (!g_reg.sink) return;
    // The windows still shown give their references back with the module.
    while (!g_attached.empty()) {
        size_t before = g_attached.size();
        ModuleSink::detach(g_attached.back());
        if (g_attached.size() == before) g_attached.back()->Release(), g_attached.pop_back();
    }
    IPxHostApp *host = hostApp();
    if (g_reg.withHostApp && host) host->RegisterModuleSink(nullptr);
    if (g_reg.manager) {
        g_reg.manager->RegisterModuleSink(nullptr);
        g_reg.manager->Release();
    }
    g_reg.sink->Release();
    g_reg = Registration{};
}

void px_hostTakeMainWindow(PxFrame *frame) {
    IPxHostApp *host = frame ? hostApp(kMainWindowVersion) : nullptr;
    if (!host) return;
    HWND previous = nullptr;
    if (SUCCEEDED(host->MainWindow(&previous))) frame->prevHostMain = previous;
    host->SetMainWindow(frame->wnd);
}

void px_hostGiveBackMainWindow(PxFrame *frame) {
    IPxHostApp *host = frame ? hostApp(kMainWindowVersion) : nullptr;
    if (host) host->SetMainWindow(frame->prevHostMain);
}

HWND px_hostMainWindow() {
    IPxHostApp *host = hostApp(kMainWindowVersion);
    HWND wnd = nullptr;
    if (!host || FAILED(host->MainWindow(&wnd))) return nullptr;
    return wnd;
}

bool px_hostCloseApp() {
    IPxWindowManager *m = g_reg.manager;
    if (!m) return true;
    BOOL yes = TRUE;
    if (FAILED(m->MayClose(&yes)) || !yes) return false;
    m->Close();
    return true;
}
