// Request 201: termcore connects to the edit-manager COM server and
// registers a sink through which the edit manager asks it to open, save,
// reload, take, return, release or send files; opening is deferred to the
// host's idle procedure so that its dialog never runs inside a COM call.
#include <windows.h>

#include <objbase.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "editmgr.h"
#include "editor.h"
#include "handlers.h"
#include "module.h"
#include "oemtext.h"
#include "records.h"
#include "upcall.h"
#include "vcs.h"
#include "winfile.h"

namespace {

enum : int { kEvOpen = 1, kEvSaveAll = 2, kEvReloadAll = 3, kEvTake = 4, kEvReturn = 5, kEvRelease = 6, kEvSend = 7 };
typedef int (*EventFn)(int kind, const std::string &name, int32_t value);

std::string narrow(BSTR s) {
    if (!s) return "";
    int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return "";
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// The sink: both interfaces share one count and one IDispatch.
class Sink final : public IQvEditSink, public IQvEditSink2 {
public:
    explicit Sink(EventFn fn) : fn_(fn) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IQvEditSink))
            *out = static_cast<IQvEditSink *>(this);
        else if (IsEqualIID(iid, IID_IQvEditSink2))
            *out = static_cast<IQvEditSink2 *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        uint16_t n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *, EXCEPINFO *,
                                     UINT *) override {
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
        int kind = 0;
        switch (id) {
        case kSinkSaveAll: kind = kEvSaveAll; break;
        case kSinkReloadAll: kind = kEvReloadAll; break;
        case kSinkOpen: kind = kEvOpen; break;
        case kSinkTake: kind = kEvTake; break;
        case kSinkReturn: kind = kEvReturn; break;
        case kSinkRelease: kind = kEvRelease; break;
        default: return DISP_E_MEMBERNOTFOUND;
        }
        std::string name;
        if (id >= kSinkOpen) {
            // The name is the first argument, the last in the array.
            if (!params || params->cArgs < 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
            const VARIANT &v = params->rgvarg[params->cArgs - 1];
            if (V_VT(&v) != VT_BSTR) return DISP_E_TYPEMISMATCH;
            name = narrow(V_BSTR(&v));
        }
        return fn_(kind, name, kind == kEvOpen ? 1 : 0) == 0 ? S_OK : DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE SaveAll() override { return fn_(kEvSaveAll, "", 0), S_OK; }
    HRESULT STDMETHODCALLTYPE ReloadAll() override { return fn_(kEvReloadAll, "", 0), S_OK; }
    HRESULT STDMETHODCALLTYPE OpenFile(BSTR name, long, long *done) override { return call(kEvOpen, name, 1, done); }
    HRESULT STDMETHODCALLTYPE TakeFile(BSTR name, long *done) override { return call(kEvTake, name, 0, done); }
    HRESULT STDMETHODCALLTYPE ReturnFile(BSTR name, long *done) override { return call(kEvReturn, name, 0, done); }
    HRESULT STDMETHODCALLTYPE ReleaseFile(BSTR name) override { return call(kEvRelease, name, 0, nullptr); }
    HRESULT STDMETHODCALLTYPE SendToServer(long value, BSTR name, long *done) override {
        return call(kEvSend, name, value, done);
    }

private:
    ~Sink() = default;
    HRESULT call(int kind, BSTR name, int32_t value, long *done) {
        int r = fn_(kind, narrow(name), value);
        if (done) *done = r == 0 ? 1 : 0;
        return S_OK;
    }
    EventFn fn_;
    uint16_t refs_ = 1;
};

struct Connection {
    int count = 0;
    bool comInitialised = false;
    IQvEditMgr *mgr = nullptr;
    bool newer = false;
    Sink *sink = nullptr;
    long id = 0;
    bool graphical = false;
};
Connection g_conn;

// The action the idle procedure performs, and its guard against re-entry.
struct Queued {
    int kind = 0;
    int32_t value = 0;
    std::string name;
};
Queued g_queued;
bool g_busy = false;

// What the dialog remembers between its showings.
bool g_lastGraphical = false, g_lastNoTake = false;

bool editMgrRequest(uint8_t code, int32_t value, const std::string &text) {
    std::vector<unsigned char> rec(text.size() + 6);
    WireWriter w(rec.data(), rec.size());
    w.u8(code);
    w.i32(value);
    w.text(text);
    return tc_replyOk(tc_transact("EDITMGR_ASYNC_TABLE", 201, rec));
}

// The editor the edit manager's files go to: none unless the graphical
// editor was asked for; the server opens one when none is open.
bool currentEditor() {
    if (!g_conn.graphical) return false;
    if (!tc_editorOpen()) editMgrRequest(101, 0, "");
    return tc_editorOpen();
}

std::wstring wide(const std::string &s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}

std::wstring loadText(UINT id) {
    wchar_t buf[512];
    int n = LoadStringW(tc_module().instance, id, buf, 512);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

void warnMissing(bool serverSide, const std::string &path) {
    std::wstring text = (serverSide ? L"server://" : L"terminal://") + oem_toWide(path) + loadText(101);
    MessageBoxW(GetActiveWindow(), text.c_str(), L"TermCore.d32", MB_ICONEXCLAMATION | MB_TASKMODAL | MB_TOPMOST);
}

// The dialog's choices.
struct EditChoice {
    std::string fileName, server;
    bool editor = false;
    bool graphical = false;
    int take = 1009;
    bool put = false;
};

enum : int { kDlgEdit = 101, kServerName = 1001, kPut = 1002, kConsole = 1006, kGraphical = 1007, kNoLock = 1008,
             kTakeEdit = 1009, kNoTake = 1010 };

void enableTakeChoices(HWND dlg) {
    BOOL on = IsDlgButtonChecked(dlg, kGraphical) == BST_CHECKED;
    for (int id : {kNoLock, kTakeEdit, kNoTake}) EnableWindow(GetDlgItem(dlg, id), on);
}

void centre(HWND dlg) {
    HWND parent = GetParent(dlg);
    RECT r, p;
    GetWindowRect(dlg, &r);
    if (parent)
        GetWindowRect(parent, &p);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &p, 0);
    SetWindowPos(dlg, nullptr, p.left + ((p.right - p.left) - (r.right - r.left)) / 2,
                 p.top + ((p.bottom - p.top) - (r.bottom - r.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void initDialog(HWND dlg, EditChoice *c) {
    SetWindowLongPtrW(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(c));
    wchar_t caption[256];
    GetWindowTextW(dlg, caption, 256);
    SetWindowTextW(dlg, (std::wstring(caption) + L" - " + oem_toWide(c->fileName)).c_str());
    SetDlgItemTextW(dlg, kServerName, oem_toWide(c->server).c_str());
    bool graphical = c->editor && (g_lastGraphical || tc_editorFramesDisabled());
    CheckRadioButton(dlg, kConsole, kGraphical, graphical ? kGraphical : kConsole);
    if (!c->editor) EnableWindow(GetDlgItem(dlg, kGraphical), FALSE);
    if (c->editor && tc_editorFramesDisabled()) EnableWindow(GetDlgItem(dlg, kConsole), FALSE);
    CheckRadioButton(dlg, kNoLock, kNoTake, g_lastNoTake ? kNoTake : kTakeEdit);
    enableTakeChoices(dlg);
    centre(dlg);
}

INT_PTR CALLBACK dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        initDialog(dlg, reinterpret_cast<EditChoice *>(lp));
        return TRUE;
    case WM_COMMAND: {
        auto *c = reinterpret_cast<EditChoice *>(GetWindowLongPtrW(dlg, DWLP_USER));
        int id = LOWORD(wp);
        if (id == kConsole || id == kGraphical) enableTakeChoices(dlg);
        if (id == IDOK && c) {
            wchar_t server[MAX_PATH] = L"";
            GetDlgItemTextW(dlg, kServerName, server, MAX_PATH);
            c->server = oem_fromWide(server);
            c->graphical = c->editor && IsDlgButtonChecked(dlg, kGraphical) == BST_CHECKED;
            c->take = IsDlgButtonChecked(dlg, kNoLock) == BST_CHECKED   ? kNoLock
                      : IsDlgButtonChecked(dlg, kNoTake) == BST_CHECKED ? kNoTake
                                                                         : kTakeEdit;
            c->put = IsDlgButtonChecked(dlg, kPut) == BST_CHECKED;
        }
        if (id == IDOK || id == IDCANCEL) EndDialog(dlg, id);
        return TRUE;
    }
    }
    return FALSE;
}

std::string fileNameOf(const std::string &path) {
    size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

void openFile(int32_t a, const std::string &name) {
    bool editor = currentEditor();
    int32_t consoleValue = static_cast<int32_t>(static_cast<uint32_t>(a) << 16) + 1;
    if (!vcs_isOn()) {
        if (editor)
            tc_editorLoadFile(name, (a & 1) == 0);
        else
            editMgrRequest(100, consoleValue, name);
        return;
    }
    EditChoice c;
    std::string path = file_absolute(name);
    c.fileName = fileNameOf(path);
    std::optional<std::string> server = VcsServerPath(path);
    c.server = server ? *server : c.fileName;
    if (VcsIsTaken(path)) {
        if (editor) tc_editorLoadFile(path, false);
        return;
    }
    c.editor = editor;
    if (DialogBoxParamW(tc_module().instance, MAKEINTRESOURCEW(kDlgEdit), GetActiveWindow(), dialogProc,
                        reinterpret_cast<LPARAM>(&c)) != IDOK)
        return;
    if (c.editor) g_lastGraphical = c.graphical;
    g_lastNoTake = c.take == kNoTake;
    if (c.graphical && c.take == kNoTake) {
        tc_editorLoadFile(path, false);
        return;
    }
    std::string serverName = c.server;
    if (c.put) {
        FileInfo local;
        if (!file_infoByPath(path, local)) return warnMissing(false, path);
        std::optional<std::string> put = VcsPut(path, serverName, 0);
        if (!put) return;
        serverName = *put;
    } else if (!server) {
        return warnMissing(true, serverName);
    }
    if (!c.graphical) {
        editMgrRequest(100, consoleValue, serverName);
    } else if (c.take == kNoLock) {
        if (VcsPut(path, serverName, 1)) tc_editorLoadFile(path, false);
    } else if (std::optional<std::string> local = VcsTake(path, serverName, 0)) {
        if (!tc_editorLoadFile(*local, false)) VcsRelease(*local, 0);
    }
}

// The sink hands names over in the Windows code page; from here on a name is
// spelt as the server spells it, which is what version control, the editors
// (in OEM mode) and the server's requests take.
int onEvent(int kind, const std::string &ansiName, int32_t value) {
    const std::string name = oem_fromAnsi(ansiName);
    switch (kind) {
    case kEvOpen:
        if (g_queued.kind) return -1;
        g_queued = {kEvOpen, value, name};
        return 0;
    case kEvSaveAll:
        return (currentEditor() ? tc_editorSaveAll() : editMgrRequest(100, 2, "")) ? 0 : -1;
    case kEvReloadAll:
        return (currentEditor() ? tc_editorReloadAll() : editMgrRequest(100, 3, "")) ? 0 : -1;
    case kEvTake: return VcsTake(name, "", 0) ? 0 : -1;
    case kEvReturn: return VcsUpdate(name, 0) ? 0 : -1;
    case kEvRelease: return VcsRelease(name, 0) ? 0 : -1;
    case kEvSend:
        return editMgrRequest(100, static_cast<int32_t>(static_cast<uint32_t>(value) << 16) + 7, name) ? 0 : -1;
    default: return -1;
    }
}

void ZAMCB onIdle() {
    if (!g_queued.kind || g_busy) return;
    g_busy = true;
    Queued q = g_queued;
    if (q.kind == kEvOpen) openFile(q.value, q.name);
    g_queued = Queued();
    g_busy = false;
}

void release(IUnknown *&p) {
    if (p) p->Release();
    p = nullptr;
}

bool connect(const std::string &name, bool ansi) {
    if (g_conn.count++ > 0) return true;
    HRESULT hr = CoInitialize(nullptr);
    g_conn.comInitialised = hr == S_OK || hr == S_FALSE;
    IUnknown *unk = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_QvEditMgr, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                   reinterpret_cast<void **>(&unk)))) {
        void *p = nullptr;
        g_conn.newer = SUCCEEDED(unk->QueryInterface(IID_IQvEditMgr2, &p));
        if (g_conn.newer || SUCCEEDED(unk->QueryInterface(IID_IQvEditMgr, &p))) g_conn.mgr = static_cast<IQvEditMgr *>(p);
    }
    if (g_conn.mgr) {
        g_conn.sink = new Sink(onEvent);
        std::string text = name;
        if (!ansi && !text.empty()) OemToCharBuffA(text.c_str(), &text[0], static_cast<DWORD>(text.size()));
        BSTR wname = SysAllocString(wide(text).c_str());
        IDispatch *disp = static_cast<IQvEditSink *>(g_conn.sink);
        hr = g_conn.newer ? static_cast<IQvEditMgr2 *>(g_conn.mgr)->RegisterProcess(
                                disp, wname, static_cast<long>(GetCurrentProcessId()), &g_conn.id)
                          : g_conn.mgr->Register(disp, wname, &g_conn.id);
        SysFreeString(wname);
        if (FAILED(hr)) {
            g_conn.sink->Release();
            g_conn.sink = nullptr;
        }
    }
    release(unk);
    if (g_conn.sink) return true;
    IUnknown *mgr = g_conn.mgr;
    release(mgr);
    g_conn.mgr = nullptr;
    if (g_conn.comInitialised) CoUninitialize();
    g_conn = Connection();
    return false;
}

bool disconnect() {
    if (g_conn.count == 0) return true;
    if (--g_conn.count > 0) return true;
    bool ok = g_conn.sink && g_conn.mgr && SUCCEEDED(g_conn.mgr->Unregister(g_conn.id));
    IUnknown *mgr = g_conn.mgr;
    release(mgr);
    if (g_conn.sink) {
        CoDisconnectObject(static_cast<IQvEditSink *>(g_conn.sink), 0);
        g_conn.sink->Release();
    }
    if (g_conn.comInitialised) CoUninitialize();
    g_conn = Connection();
    return ok;
}

}  // namespace

int32_t tc_editMgrId() { return g_conn.id; }

int tc_editMgr(const TcRequest &req) {
    TcEditMgrRecord rec;
    if (!tc_readEditMgr(req.data, req.length, rec)) return tc_replyInt(req, -1);
    switch (rec.operation) {
    case 1:
        if (!connect(std::string(rec.text), (rec.flags & 2) != 0)) return tc_replyInt(req, -1);
        tc_addIdleProc(onIdle);
        g_conn.graphical = (rec.flags & 1) != 0;
        if (rec.flags & 0x1000) vcs_switchOff();
        return tc_replyInt(req, 0);
    case 2:
        if (disconnect()) tc_remIdleProc(onIdle);
        return tc_replyInt(req, 0);
    case 3: return tc_replyInt(req, g_conn.id);
    default: return tc_replyInt(req, -1);
    }
}

void tc_editMgrDrop() {
    while (g_conn.count > 0) disconnect();
    g_queued = Queued();
}
