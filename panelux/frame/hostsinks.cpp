#include "hostsinks.h"

#include <algorithm>
#include <new>
#include <vector>

#include "app.h"
#include "frame.h"
#include "pxhostwm.h"
#include "registry.h"
#include "ringlist.h"
#include "zam_entry.h"

namespace {

constexpr LONG kManagerVersion = 4;  // the window manager exists above this
constexpr int kPlaceholderDialog = 103;
constexpr int kPlaceholderControl = 1001;

constexpr LONG kMainWindowVersion = 2;  // set main window exists above this

// Only a terminal service object of version 12 or more has slot 40; an
// older one's table ends before it.
IPxHostApp *hostApp(LONG above = kManagerVersion) {
    TAppObj *a = zam_host().app;
    if (!a || a->fn->version(a) < kAppIntfGetHostAppVersion || !a->fn->GetHostApp) return nullptr;
    IPxHostApp *h = static_cast<IPxHostApp *>(a->fn->GetHostApp(a));
    LONG v = 0;
    return h && SUCCEEDED(h->Version(&v)) && v > above ? h : nullptr;
}

IPxHostWindow *hostWindowOf(void *object) { return static_cast<IPxHostWindow *>(static_cast<IUnknown *>(object)); }

// The placeholder is the terminal window's active child of the current level.
bool isActivePlaceholder(HWND dlg) {
    PxTopWnd *level = px_firstTopWnd();
    return level && level->active && level->active->kind == kPxChildOther && level->active->wnd == dlg;
}

INT_PTR CALLBACK placeholderProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lParam);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == kPlaceholderControl) {
                if (void *host = reinterpret_cast<void *>(GetWindowLongPtrA(dlg, DWLP_USER)))
                    hostWindowOf(host)->Activate();
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            if (isActivePlaceholder(dlg))
                if (void *host = reinterpret_cast<void *>(GetWindowLongPtrA(dlg, DWLP_USER)))
                    hostWindowOf(host)->Close();
            return TRUE;
        case WM_WINDOWPOSCHANGING:
            // Only the terminal window in front may change the stacking order.
            if (!isActivePlaceholder(dlg)) reinterpret_cast<WINDOWPOS *>(lParam)->flags |= SWP_NOZORDER;
            return FALSE;
        default: return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

// IUnknown of the sinks: the one interface of each, counted references.
template <class Derived, class Iface> class SinkObject : public Iface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, Derived::iid())) {
            *out = static_cast<Iface *>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete static_cast<Derived *>(this);
        return static_cast<ULONG>(n);
    }

private:
    LONG refs_ = 1;
};

class WindowSink final : public SinkObject<WindowSink, IPxWindowSink> {
public:
    explicit WindowSink(bool frame) : frame_(frame) {}
    static const IID &iid() { return IID_IPxWindowSink; }
    HRESULT STDMETHODCALLTYPE Activate() override {
        try {
            if (frame_) activateFrame();
            else activateChild();
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsModal(BOOL *yes) override {
        if (yes) *yes = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsShown(BOOL *yes) override {
        if (yes) *yes = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return S_OK; }

private:
    friend class SinkObject<WindowSink, IPxWindowSink>;
    ~WindowSink() = default;

    static void front(PxFrame *frame) {
        if (!frame || !frame->wnd || !IsWindow(frame->wnd)) return;
        SetActiveWindow(frame->wnd);
        SetForegroundWindow(frame->wnd);
    }
    void activateFrame() {
        if (PxTopWnd *level = px_topWndByHostObject(this)) front(level->frame);
    }
    void activateChild() {
        PxTopWnd *level = nullptr;
        PxChildWnd *child = px_findChildByHost(this, &level);
        if (!child || !level) return;
        front(level->frame);
        px_makeChildActive(level, child);
        if (child->wnd) SetFocus(child->wnd);
    }

    bool frame_;
};

class ModuleSink;

struct Registration {
    ModuleSink *sink = nullptr;
    IPxWindowManager *manager = nullptr;
    bool withHostApp = false;  // registered with the host application itself
};
Registration g_reg;
std::vector<IUnknown *> g_attached;  // host windows shown, each AddRef'd once

// Calls fn(slot, frame) for every formkit window of the level that can
// carry a sink; the terminal's own windows carry none.
template <class Fn> void forEachWindow(PxTopWnd *level, Fn fn) {
    if (!level) return;
    if (level->frame) fn(&level->frame->hostObject, true);
    px_forEachChild(level, [&](PxChildWnd *c) {
        if (!c->attached) fn(&c->hostObject, false);
    });
}

template <class Fn> void forEachLevel(Fn fn) {
    PxApp *app = px_app();
    if (!app) return;
    for (void *e = ring_first(&app->topWindows); e; e = ring_next(&app->topWindows, e))
        fn(static_cast<PxTopWnd *>(e));
}

void registerLevel(PxTopWnd *level) {
    forEachWindow(level, [](void **slot, bool frame) { px_hostRegisterWindow(slot, frame, false); });
}

void unregisterAllWindows() {
    forEachLevel([](PxTopWnd *level) {
        forEachWindow(level, [](void **slot, bool) { px_hostUnregisterWindow(slot, false); });
    });
}

// The sinks were registered with the manager kept: they go with it.
void dropManager() {
    if (!g_reg.manager) return;
    unregisterAllWindows();
    g_reg.manager->Release();
    g_reg.manager = nullptr;
}

class ModuleSink final : public SinkObject<ModuleSink, IPxModuleSink> {
public:
    static const IID &iid() { return IID_IPxModuleSink; }
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
        try {
            dropManager();
            IPxWindowManager *m = nullptr;
            if (manager && SUCCEEDED(manager->QueryInterface(IID_IPxWindowManager, reinterpret_cast<void **>(&m))) &&
                m) {
                m->RegisterModuleSink(this);
                g_reg.manager = m;
                registerLevel(px_firstTopWnd());
            }
        } catch (...) {
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CanClose(BOOL *yes) override {
        if (yes) *yes = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return S_OK; }

private:
    friend class SinkObject<ModuleSink, IPxModuleSink>;
    ~ModuleSink() = default;

    static void attach(IUnknown *hostWindow) {
        PxApp *app = px_app();
        PxTopWnd *level = px_firstTopWnd();
        // Only a current frame can hold the terminal's window.
        if (!app || !hostWindow || !level || !level->frame || !level->frame->client) return;
        if (px_findChildByHost(hostWindow, nullptr)) return;
        PxFrame *frame = level->frame;
        HWND dlg = CreateDialogParamA(app->instance, MAKEINTRESOURCEA(kPlaceholderDialog), frame->client,
                                      placeholderProc, reinterpret_cast<LPARAM>(hostWindow));
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
        unregisterAllWindows();
        g_reg.manager->RegisterModuleSink(nullptr);
    }
    dropManager();
    g_reg.sink->Release();
    g_reg = Registration{};
}

void px_hostTakeMainWindow(PxFrame *frame) {
    IPxHostApp *host = frame ? hostApp(kMainWindowVersion) : nullptr;
    if (!host) return;
    HWND previous = nullptr;
    if (SUCCEEDED(host->MainWindow(&previous))) frame->prevHostMain = previous;
    host->SetMainWindow(frame->wnd);
    frame->hostMainTaken = true;
}

void px_hostGiveBackMainWindow(PxFrame *frame) {
    if (!frame || !frame->hostMainTaken) return;
    frame->hostMainTaken = false;
    if (IPxHostApp *host = hostApp(kMainWindowVersion)) host->SetMainWindow(frame->prevHostMain);
}

HWND px_hostMainWindow() {
    IPxHostApp *host = hostApp(kMainWindowVersion);
    HWND wnd = nullptr;
    if (!host || FAILED(host->MainWindow(&wnd))) return nullptr;
    return wnd;
}

void px_hostRegisterWindow(void **slot, bool frame, bool notify) {
    if (!g_reg.manager || !slot || *slot) return;
    WindowSink *sink = new (std::nothrow) WindowSink(frame);
    if (!sink) return;
    *slot = static_cast<IPxWindowSink *>(sink);
    if (notify) g_reg.manager->Notify(0);
    g_reg.manager->RegisterWindow(sink);
}

void px_hostUnregisterWindow(void **slot, bool notify) {
    if (!slot || !*slot) return;
    IPxWindowSink *sink = static_cast<IPxWindowSink *>(*slot);
    *slot = nullptr;
    if (g_reg.manager) {
        g_reg.manager->UnregisterWindow(sink);
        if (notify) g_reg.manager->Notify(1);
    }
    sink->Release();
}

void px_hostLevelCurrent(PxTopWnd *level) {
    if (!g_reg.manager || !level) return;
    registerLevel(level);
    void *current = level->active && !level->active->attached ? level->active->hostObject : nullptr;
    if (!current && level->frame) current = level->frame->hostObject;
    if (current) g_reg.manager->ActivateWindow(static_cast<IPxWindowSink *>(current));
}

void px_hostFrameActivated(PxFrame *frame) { px_hostLevelActivated(frame ? px_topWndByObject(frame) : nullptr); }

void px_hostLevelActivated(PxTopWnd *level) {
    // A manager that activates the window it is told of comes back here.
    static bool busy = false;
    if (!g_reg.manager || !level || busy) return;
    if (level->active && level->active->attached) return;
    void *current = level->active ? level->active->hostObject : nullptr;
    if (!current && level->frame) current = level->frame->hostObject;
    if (!current) return;
    busy = true;
    g_reg.manager->ActivateWindow(static_cast<IPxWindowSink *>(current));
    busy = false;
}

void px_hostActivateChild(PxChildWnd *child) {
    if (!child || !child->hostObject || child->kind == kPxChildDialog) return;
    if (child->attached) hostWindowOf(child->hostObject)->Activate();
    else static_cast<IPxWindowSink *>(child->hostObject)->Activate();
}

bool px_hostMayClose() {
    BOOL yes = TRUE;
    if (g_reg.manager && FAILED(g_reg.manager->MayClose(&yes))) yes = TRUE;
    return yes != FALSE;
}

void px_hostClose() {
    if (g_reg.manager) g_reg.manager->Close();
}
