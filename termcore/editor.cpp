// Request 202: source editors of Quillpad.dll with termcore's run menu, their
// run commands sent back to the server, the designer program, and the
// editors' file notifications handed to version control.
#include "editor.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "handlers.h"
#include "module.h"
#include "process.h"
#include "quillpad.h"
#include "records.h"
#include "upcall.h"
#include "vcs.h"

int32_t tc_editMgrId();

namespace {

const char kRunMenu[] = "<runzam>";
enum : int { kCmdRunFirst = 101, kCmdRunLast = 104, kCmdCompile = 103, kCmdNextError = 201, kCmdPrevError = 202,
             kCmdDesigner = 301, kCmdFrameClosed = 9999 };

// One open editor: the library with its entries. The server knows it by its
// handle, a key into the table of live editors.
struct Wrapper {
    int32_t handle = 0;
    HMODULE lib = nullptr;
    QpEditor editor = nullptr;
#define QP_FIELD(name, ret, args) ret(QPCB *name) args = nullptr;
    QP_ENTRIES(QP_FIELD)
#undef QP_FIELD

    ~Wrapper() {
        if (editor && UnloadEditor) UnloadEditor(editor);
        if (lib) FreeLibrary(lib);
    }
    bool load() {
        lib = LoadLibraryA("Quillpad.dll");
        if (!lib) return false;
        bool all = true;
#define QP_RESOLVE(name, ret, args) \
    all = all && (name = reinterpret_cast<ret(QPCB *) args>(GetProcAddress(lib, "QVSed_" #name))) != nullptr;
        QP_ENTRIES(QP_RESOLVE)
#undef QP_RESOLVE
        if (!all) {
            FreeLibrary(lib);
            lib = nullptr;
            return false;
        }
        editor = LoadEditor();
        return editor != nullptr;
    }
    QpMenu runMenu() { return GetMenu(editor, kRunMenu); }
    void enableItem(int command, bool on) { EnableMenuItem(editor, runMenu(), command, on ? 1 : 0); }
};

std::map<int32_t, std::unique_ptr<Wrapper>> g_editors;
std::vector<Wrapper *> g_open;  // newest first
int32_t g_lastHandle = 0;
bool g_hooks = false;
bool g_framesDisabled = false;

// An editor closed while the editor library's code is on the stack (one of
// its callbacks, or its filter or idle entry, during which the server may
// answer with a close) is destroyed, and its library freed, only once that
// code has returned to the message loop: a thread timer frees it then.
int g_inEditor = 0;
struct ClosedEditors {
    std::vector<std::unique_ptr<Wrapper>> list;
    UINT_PTR timer = 0;
    ~ClosedEditors() {
        if (timer) KillTimer(nullptr, timer);
    }
} g_closed;

void freeClosedEditors() {
    if (g_closed.timer) KillTimer(nullptr, g_closed.timer);
    g_closed.timer = 0;
    std::vector<std::unique_ptr<Wrapper>> done;
    done.swap(g_closed.list);
}

void CALLBACK onFreeTimer(HWND, UINT, UINT_PTR, DWORD) {
    // Still inside the editor (a loop run from one of its calls): later.
    if (g_inEditor == 0) freeClosedEditors();
}

struct InEditor {
    InEditor() { ++g_inEditor; }
    ~InEditor() { --g_inEditor; }
    InEditor(const InEditor &) = delete;
    InEditor &operator=(const InEditor &) = delete;
};

Wrapper *byHandle(int32_t handle) {
    auto it = g_editors.find(handle);
    return it == g_editors.end() ? nullptr : it->second.get();
}
// Callbacks carry the handle, so that a late call finds no editor.
Wrapper *byDatum(void *datum) { return byHandle(static_cast<int32_t>(reinterpret_cast<intptr_t>(datum))); }

// The EXTEDIT request: a run command or a frame closed; the server's word 0
// is success.
bool sendCommand(Wrapper *w, int32_t command, const char *text) {
    std::string t = text ? text : "";
    std::vector<unsigned char> rec(t.size() + 10);
    WireWriter out(rec.data(), rec.size());
    out.u8(100);
    out.i32(command);
    out.i32(w->handle);
    out.text(t);
    return tc_replyOk(tc_transact("EXTEDIT_ASYNC_TABLE", 202, rec));
}

bool clearErrors(Wrapper *w) {
    if (!w->RemoveAllErrors(w->editor)) return false;
    w->enableItem(kCmdNextError, false);
    w->enableItem(kCmdPrevError, false);
    return true;
}

void startDesigner() {
    char args[32];
    std::snprintf(args, sizeof args, "/ed:%ld", static_cast<long>(tc_editMgrId()));
    tc_startProcess("QVDesigner.exe", args, true, nullptr, nullptr, kConsoleNew);
}

int QPCB onCommand(QpMenu menu, int command, void *datum) {
    InEditor in;
    Wrapper *w = byDatum(datum);
    if (!w || !menu || menu != w->runMenu()) return 0;
    if (command >= kCmdRunFirst && command <= kCmdRunLast) {
        if (w->SaveAllFiles(w->editor) && clearErrors(w) && w->DisableAllFrames(w->editor)) {
            sendCommand(w, command - 100, w->CurrentFileName(w->editor));
            // The server's command may have closed the editor.
            if ((w = byDatum(datum)) != nullptr) w->EnableAllFrames(w->editor);
        }
        return 1;
    }
    if (command == kCmdDesigner) {
        if (w->SaveAllFiles(w->editor) && w->DisableAllFrames(w->editor)) {
            startDesigner();
            w->EnableAllFrames(w->editor);
        }
        return 1;
    }
    return 0;
}

int QPCB onUpdateState(QpMenu menu, int command, void *datum) {
    InEditor in;
    Wrapper *w = byDatum(datum);
    if (!w || !menu || menu != w->runMenu()) return 0;
    return (command >= kCmdRunFirst && command <= kCmdRunLast) || command == kCmdNextError ||
           command == kCmdPrevError;
}

int QPCB onNotify(int code, int, const char *text, void *datum) {
    InEditor in;
    Wrapper *w = byDatum(datum);
    if (!w) return -1;
    std::string name = text ? text : "";
    if (code == kQpNotifySaved)
        VcsUpdate(name, 0x100);
    else if (code == kQpNotifyClosed)
        VcsRelease(name, 0x10000);
    else if (code == kQpNotifyFrameClosed && w->GetFrameCount(w->editor) == 0)
        sendCommand(w, kCmdFrameClosed, nullptr);
    return -1;
}

// The open editors by handle, newest first: one closed by an earlier
// editor's call is passed over.
std::vector<int32_t> openHandles() {
    std::vector<int32_t> handles;
    for (const Wrapper *w : g_open) handles.push_back(w->handle);
    return handles;
}

int ZAMCB onFilter(MSG *msg) {
    InEditor in;
    for (int32_t h : openHandles())
        if (Wrapper *w = byHandle(h); w && w->MsgFilter(w->editor, msg)) return 1;
    return 0;
}

void ZAMCB onIdle() {
    InEditor in;
    for (int32_t h : openHandles())
        if (Wrapper *w = byHandle(h)) w->MsgIdle(w->editor, 0);
}

void unregister(Wrapper *w) {
    for (auto it = g_open.begin(); it != g_open.end(); ++it)
        if (*it == w) {
            g_open.erase(it);
            break;
        }
    if (g_open.empty() && g_hooks) {
        tc_remFilterProc(onFilter);
        tc_remIdleProc(onIdle);
        g_hooks = false;
    }
}

bool loadRunMenu(Wrapper *w) {
    if (w->LoadMenu(w->editor, "termcore.lbr", "RUNZAM", kRunMenu)) return true;
    HMODULE self = tc_module().instance ? tc_module().instance : GetModuleHandleA("TERMCORE.D32");
    return w->LoadMenuFromModule(w->editor, self, kQpRunMenuResource, kRunMenu) != 0;
}

// A new editor's handle, or 0 when it could not be made; nothing of a
// failed one stays loaded.
int32_t editorOpen(bool openFlag) {
    auto w = std::make_unique<Wrapper>();
    if (!w->load() || !w->InitInstance(w->editor)) return 0;
    w->handle = ++g_lastHandle;
    if (g_open.empty() && !g_hooks) {
        tc_addFilterProc(onFilter);
        tc_addIdleProc(onIdle);
        g_hooks = true;
    }
    g_open.insert(g_open.begin(), w.get());
    if (!loadRunMenu(w.get())) {
        unregister(w.get());
        w->ExitInstance(w->editor);
        return 0;
    }
    if (openFlag) w->enableItem(kCmdCompile, false);
    w->enableItem(kCmdNextError, false);
    w->enableItem(kCmdPrevError, false);
    void *datum = reinterpret_cast<void *>(static_cast<intptr_t>(w->handle));
    w->SetCommandProc(w->editor, onCommand, datum);
    w->SetUpdateStateProc(w->editor, onUpdateState, datum);
    w->SetNotifyProc(w->editor, onNotify, datum);
    w->SetOemMode(w->editor, 1);
    int32_t handle = w->handle;
    g_editors[handle] = std::move(w);
    return handle;
}

void editorClose(Wrapper *w) {
    w->SetNotifyProc(w->editor, nullptr, nullptr);
    w->ExitInstance(w->editor);
    unregister(w);
    auto it = g_editors.find(w->handle);
    if (g_inEditor) {
        g_closed.list.push_back(std::move(it->second));
        if (!g_closed.timer) g_closed.timer = SetTimer(nullptr, 0, 0, onFreeTimer);
    }
    g_editors.erase(it);
}

int status(const TcRequest &req, bool ok) { return tc_replyInt(req, ok ? 0 : -1); }

int loadFile(const TcRequest &req, Wrapper *w, const TcEditorRecord &rec) {
    if (rec.text.empty()) return status(req, false);
    std::optional<std::string> path = VcsTake("", std::string(rec.text), 0);
    if (!path || path->empty()) return status(req, false);
    if (w->LoadFile(w->editor, path->c_str(), rec.value != 0)) return status(req, true);
    VcsRelease(*path, 0);
    return status(req, false);
}

int currentName(const TcRequest &req, Wrapper *w) {
    const char *name = w->CurrentFileName(w->editor);
    if (!name) return status(req, false);
    WireWriter out = req.writer();
    out.i32(0);
    out.text(name);
    return tc_replyLength(out);
}

int addError(const TcRequest &req, Wrapper *w, const TcEditorRecord &rec) {
    std::string file(rec.text), message(rec.message);
    int line = static_cast<int>((static_cast<uint32_t>(rec.value) >> 16) & 0xFFFF);
    int column = static_cast<int16_t>(rec.value & 0xFFFF);
    if (!w->AddError(w->editor, file.c_str(), line, column, message.c_str())) return status(req, false);
    w->enableItem(kCmdNextError, true);
    w->enableItem(kCmdPrevError, true);
    return status(req, true);
}

int bringToFront(const TcRequest &req, Wrapper *w) {
    if (w->GetFrameCount(w->editor) == 0) return status(req, w->NewFrame(w->editor, 0) != 0);
    w->BringToFront(w->editor);
    return status(req, true);
}

}  // namespace

int tc_editor(const TcRequest &req) {
    TcEditorRecord rec;
    if (!tc_readEditor(req.data, req.length, rec)) return status(req, false);
    if (rec.operation == 0) {
        int32_t handle = editorOpen(rec.value & 1);
        if (!handle) return status(req, false);
        if (rec.value & 0x1000) vcs_switchOff();
        WireWriter out = req.writer();
        out.i32(0);
        out.i32(handle);
        return tc_replyLength(out);
    }
    Wrapper *w = byHandle(rec.handle);
    if (!w) return status(req, false);
    QpEditor e = w->editor;
    switch (rec.operation) {
    case 1: editorClose(w); return status(req, true);
    // The server is told success whatever the frames answer.
    case 2: g_framesDisabled = true; w->DisableAllFrames(e); return status(req, true);
    case 3: g_framesDisabled = false; w->EnableAllFrames(e); return status(req, true);
    case 4: return loadFile(req, w, rec);
    case 5: return status(req, w->SaveAllFiles(e) != 0);
    case 6: return status(req, w->ReloadAllFiles(e) != 0);
    case 7: return currentName(req, w);
    case 8: return status(req, clearErrors(w));
    case 9: return addError(req, w, rec);
    case 10: return status(req, w->ViewOutput(e) && w->GotoError(e));
    case 11: return bringToFront(req, w);
    default: return status(req, false);
    }
}

void tc_editorsCloseAll() {
    while (!g_open.empty()) editorClose(g_open.front());
    if (g_inEditor == 0) freeClosedEditors();
}

bool tc_editorOpen() { return !g_open.empty(); }
bool tc_editorFramesDisabled() { return g_framesDisabled; }

bool tc_editorLoadFile(const std::string &path, bool readOnly) {
    return !g_open.empty() && g_open.front()->LoadFile(g_open.front()->editor, path.c_str(), readOnly ? 1 : 0);
}
bool tc_editorSaveAll() { return !g_open.empty() && g_open.front()->SaveAllFiles(g_open.front()->editor); }
bool tc_editorReloadAll() { return !g_open.empty() && g_open.front()->ReloadAllFiles(g_open.front()->editor); }
