// Stand-in for the source editor library Quillpad.dll: editors that keep
// their menus, errors, frames and files, read menus from a library file or a
// module's "QVMENU" resource (lines "[NAME]" then "id text"), and fire the
// callbacks termcore installs when a test export asks, or when its filter is
// given an accelerator message. What they are asked goes to a journal. An
// editor unloaded while one of its callbacks runs would crash the real
// library; here it is noted and deleted once the callback has returned.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "journal.h"
#include "quillpad.h"

namespace {

StandInJournal g_journal;
std::set<std::string> g_failing;  // entries that answer 0

template <typename... A>
void note(const char *format, A... args) {
    g_journal.note(format, args...);
}

struct Menu {
    std::map<int, bool> enabled;  // by command id
};

struct Editor {
    std::map<std::string, Menu> menus;
    QpCommandProc command = nullptr;
    QpUpdateStateProc update = nullptr;
    QpNotifyProc notify = nullptr;
    void *commandDatum = nullptr, *updateDatum = nullptr, *notifyDatum = nullptr;
    int frames = 1;
    int errors = 0;
    std::string current;
    int inCallback = 0;
    bool unloaded = false;
};
std::vector<Editor *> g_editors;  // in the order they were loaded

Editor *ed(QpEditor e) { return static_cast<Editor *>(e); }
bool fails(const char *entry) { return g_failing.count(entry) != 0; }

// Reads the items of section [menu] from menu text; false when it has none.
bool parseMenu(const std::string &text, const char *menu, Menu &out) {
    std::istringstream in(text);
    std::string line, want = std::string("[") + menu + "]";
    bool inside = false, found = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inside = line == want;
            found = found || inside;
            continue;
        }
        int id = 0;
        if (inside && std::sscanf(line.c_str(), "%d", &id) == 1) out.enabled[id] = true;
    }
    return found && !out.enabled.empty();
}

// Runs one of termcore's callbacks as the editor's own code does, and goes on
// using the editor after it returns.
template <typename Call>
int callback(Editor *e, Call call) {
    ++e->inCallback;
    int r = call();
    --e->inCallback;
    if (e->unloaded && e->inCallback == 0) delete e;
    return r;
}

}  // namespace

extern "C" {

QpEditor QPCB QVSed_LoadEditor(void) {
    if (fails("LoadEditor")) return nullptr;
    g_editors.push_back(new Editor);
    note("load editor %d", static_cast<int>(g_editors.size()));
    return g_editors.back();
}
int QPCB QVSed_UnloadEditor(QpEditor e) {
    for (auto it = g_editors.begin(); it != g_editors.end(); ++it)
        if (*it == e) {
            g_editors.erase(it);
            break;
        }
    note("unload editor");
    if (ed(e)->inCallback) {
        note("unloaded inside its own callback");
        ed(e)->unloaded = true;
        return 1;
    }
    delete ed(e);
    return 1;
}
int QPCB QVSed_InitInstance(QpEditor) { return fails("InitInstance") ? 0 : (note("init"), 1); }
int QPCB QVSed_ExitInstance(QpEditor) { return note("exit"), 1; }
int QPCB QVSed_SetAppTitle(QpEditor, const char *) { return 1; }
int QPCB QVSed_SetOemMode(QpEditor, int on) { return note("oem %d", on), 1; }
int QPCB QVSed_SetOpenFileProc(QpEditor, QpOpenFileProc, void *) { return 1; }
int QPCB QVSed_SetNotifyProc(QpEditor e, QpNotifyProc proc, void *datum) {
    ed(e)->notify = proc;
    ed(e)->notifyDatum = datum;
    return 1;
}
int QPCB QVSed_SetCommandProc(QpEditor e, QpCommandProc proc, void *datum) {
    ed(e)->command = proc;
    ed(e)->commandDatum = datum;
    return 1;
}
int QPCB QVSed_SetUpdateStateProc(QpEditor e, QpUpdateStateProc proc, void *datum) {
    ed(e)->update = proc;
    ed(e)->updateDatum = datum;
    return 1;
}
int QPCB QVSed_RunMsgLoop(QpEditor) { return 1; }
int QPCB QVSed_EndMsgLoop(QpEditor) { return 1; }
int QPCB QVSed_Run(QpEditor) { return 1; }
int QPCB QVSed_LoadFile(QpEditor e, const char *path, int readOnly) {
    note("load file %s %d", path, readOnly);
    if (fails("LoadFile")) return 0;
    ed(e)->current = path;
    return 1;
}
int QPCB QVSed_SaveAllFiles(QpEditor) { return note("save all"), fails("SaveAllFiles") ? 0 : 1; }
int QPCB QVSed_ReloadAllFiles(QpEditor) { return note("reload all"), 1; }
int QPCB QVSed_BringToFront(QpEditor) { return note("front"), 1; }
int QPCB QVSed_ViewOutput(QpEditor) { return note("view output"), 1; }
const char *QPCB QVSed_CurrentFileName(QpEditor e) { return ed(e)->current.empty() ? nullptr : ed(e)->current.c_str(); }
int QPCB QVSed_NewFrame(QpEditor e, int kind) {
    note("new frame %d", kind);
    return ++ed(e)->frames;
}
int QPCB QVSed_GetFrameCount(QpEditor e) { return ed(e)->frames; }
int QPCB QVSed_EnableAllFrames(QpEditor) { return note("enable frames"), fails("EnableAllFrames") ? 0 : 1; }
int QPCB QVSed_DisableAllFrames(QpEditor) { return note("disable frames"), fails("DisableAllFrames") ? 0 : 1; }
int QPCB QVSed_PreModal(QpEditor) { return 1; }
int QPCB QVSed_PostModal(QpEditor) { return 1; }
int QPCB QVSed_AddMenu(QpEditor, QpMenu) { return 1; }
int QPCB QVSed_DelMenu(QpEditor, QpMenu) { return 1; }
QpMenu QPCB QVSed_GetMenu(QpEditor e, const char *name) {
    auto it = ed(e)->menus.find(name ? name : "");
    return it == ed(e)->menus.end() ? nullptr : &it->second;
}
int QPCB QVSed_LoadMenu(QpEditor e, const char *library, const char *menu, const char *name) {
    std::ifstream f(library, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    Menu m;
    if (!f || !parseMenu(s.str(), menu, m)) return 0;
    ed(e)->menus[name] = m;
    note("menu %s from %s", name, library);
    return 1;
}
int QPCB QVSed_LoadMenuFromModule(QpEditor e, HMODULE module, int id, const char *name) {
    HRSRC r = FindResourceA(module, MAKEINTRESOURCEA(id), QP_MENU_RESOURCE);
    HGLOBAL g = r ? LoadResource(module, r) : nullptr;
    const char *text = g ? static_cast<const char *>(LockResource(g)) : nullptr;
    Menu m;
    if (!text || !parseMenu(std::string(text, SizeofResource(module, r)), "RUNZAM", m)) return 0;
    ed(e)->menus[name] = m;
    note("menu %s from module %d", name, id);
    return 1;
}
int QPCB QVSed_EnableMenuItem(QpEditor, QpMenu menu, int command, int enable) {
    Menu *m = static_cast<Menu *>(menu);
    if (!m || !m->enabled.count(command)) return 0;
    m->enabled[command] = enable != 0;
    return 1;
}
int QPCB QVSed_SetCheckMenuItem(QpEditor, QpMenu, int, int) { return 1; }
int QPCB QVSed_AddError(QpEditor e, const char *file, int line, int column, const char *text) {
    note("error %s %d %d %s", file, line, column, text);
    ++ed(e)->errors;
    return 1;
}
int QPCB QVSed_RemoveAllErrors(QpEditor e) {
    note("remove errors");
    ed(e)->errors = 0;
    return 1;
}
int QPCB QVSed_GotoError(QpEditor) { return note("goto error"), 1; }
int QPCB QVSed_GotoNextError(QpEditor) { return 1; }
int QPCB QVSed_GotoPreviousError(QpEditor) { return 1; }
int QPCB QVSed_GetErrorCount(QpEditor e) { return ed(e)->errors; }
int QPCB QVSed_MsgFilter(QpEditor e, MSG *msg) {
    // An editor consumes the messages meant for it: wParam names it. Message
    // WM_USER + 8 is an accelerator for the command in lParam of its run menu.
    if (!msg || msg->wParam != reinterpret_cast<WPARAM>(e)) return 0;
    if (msg->message == WM_USER + 8 && ed(e)->command) {
        QpMenu menu = QVSed_GetMenu(e, "<runzam>");
        int command = static_cast<int>(msg->lParam);
        callback(ed(e), [&] { return ed(e)->command(menu, command, ed(e)->commandDatum); });
        return 1;
    }
    return msg->message == WM_USER + 7 ? (note("filter"), 1) : 0;
}
int QPCB QVSed_MsgIdle(QpEditor, int) { return note("idle"), 1; }

// Test exports: editors by their load order from 0.
int QPCB QpTestJournal(char *out, int size) { return g_journal.read(out, size); }
void QPCB QpTestReset(void) {
    g_journal.clear();
    g_failing.clear();
}
void QPCB QpTestFail(const char *entry) { g_failing.insert(entry); }
int QPCB QpTestEditors(void) { return static_cast<int>(g_editors.size()); }
QpEditor QPCB QpTestEditor(int index) {
    return index >= 0 && static_cast<size_t>(index) < g_editors.size() ? g_editors[index] : nullptr;
}
// -1 when the run menu has no such item.
int QPCB QpTestItemEnabled(int index, int command) {
    QpEditor e = QpTestEditor(index);
    Menu *m = e ? static_cast<Menu *>(QVSed_GetMenu(e, "<runzam>")) : nullptr;
    if (!m || !m->enabled.count(command)) return -1;
    return m->enabled[command] ? 1 : 0;
}
int QPCB QpTestCommand(int index, int command, int otherMenu) {
    Editor *e = static_cast<Editor *>(QpTestEditor(index));
    if (!e || !e->command) return -1;
    Menu other;
    QpMenu menu = otherMenu ? &other : QVSed_GetMenu(e, "<runzam>");
    return callback(e, [&] { return e->command(menu, command, e->commandDatum); });
}
int QPCB QpTestUpdateState(int index, int command) {
    Editor *e = static_cast<Editor *>(QpTestEditor(index));
    if (!e || !e->update) return -1;
    return callback(e, [&] { return e->update(QVSed_GetMenu(e, "<runzam>"), command, e->updateDatum); });
}
int QPCB QpTestNotify(int index, int code, const char *text) {
    Editor *e = static_cast<Editor *>(QpTestEditor(index));
    if (!e || !e->notify) return 0;
    return callback(e, [&] {
        int r = e->notify(code, 0, text, e->notifyDatum);
        note("notify %d returned", code);
        return r;
    });
}
void QPCB QpTestFrames(int index, int count) {
    if (Editor *e = static_cast<Editor *>(QpTestEditor(index))) e->frames = count;
}
void QPCB QpTestSetCurrent(int index, const char *name) {
    if (Editor *e = static_cast<Editor *>(QpTestEditor(index))) e->current = name ? name : "";
}

}  // extern "C"
