#include "framereq.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app.h"
#include "datafile.h"
#include "dialogreq.h"
#include "frame.h"
#include "hostsinks.h"
#include "module.h"
#include "registry.h"
#include "status.h"
#include "tabs.h"
#include "trims.h"
#include "wndutil.h"

namespace {

bool anyLevelHasFrame() {
    PxApp *app = px_app();
    if (!app) return false;
    for (void *e = ring_first(&app->topWindows); e; e = ring_next(&app->topWindows, e))
        if (static_cast<PxTopWnd *>(e)->frame) return true;
    return false;
}

bool frameAlive(const PxFrame *f) { return f && f->wnd && IsWindow(f->wnd); }

// The window a server handle names (0: the current frame); null for an
// unknown handle.
HWND windowOf(int32_t handle) {
    if (handle == 0) return px_curFrameWnd();
    return px_dialogWindow(handle);
}

HWND frameStatus() {
    PxFrame *f = px_frameOf(px_curFrameWnd());
    return f ? f->status : nullptr;
}

// A padded server text as request 3 keeps it: trailing, then leading
// blanks cut, so " App " names the same data-file folder as "App".
std::string unpadded(std::string_view text) {
    std::string s(text);
    txt_trimRight(&s[0]);
    txt_trimLeftTo(&s[0], s.c_str());
    s.resize(std::strlen(s.c_str()));
    return s;
}

// Pane layouts saved by request 60, kept under the server's handle.
struct SavedLayout {
    std::vector<unsigned char> record;
};

}  // namespace

int px_onAppTexts(const PxRequest &req) {
    WireReader r = req.reader();
    r.skip(2);
    std::string name = unpadded(r.text()), caption = unpadded(r.text()), text3 = unpadded(r.text()),
                text4 = unpadded(r.text());
    PxApp *app = px_app();
    if (!r.ok() || !app) return 0;
    app->appName = std::move(name);
    app->caption = std::move(caption);
    app->text3 = std::move(text3);
    app->text4 = std::move(text4);
    px_loadAppData(app->appData, app->appName.c_str());
    return 0;
}

int px_onCreateFrame(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t columns = r.i16(), rows = r.i16();
    std::string title(r.text());
    PxApp *app = px_app();
    PxTopWnd *level = px_firstTopWnd();
    if (!r.ok() || !app || !level) return 0;
    bool first = !anyLevelHasFrame();
    int show = first ? SW_SHOWDEFAULT : SW_SHOWNORMAL;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    if (columns > 0 && rows > 0) {
        SIZE s = px_frameSizeForGrid(columns, rows);
        x = y = 0;
        w = s.cx;
        h = s.cy;
    }
    HWND owner = level->frame ? level->frame->wnd : nullptr;
    if (level->frame) {
        level = px_newTopWnd();
        if (!level) return 0;
        level->madeByFrameRequest = true;
    }
    PxFrame *f = px_createFrame(title.c_str(), x, y, w, h, owner);
    if (!f) {
        if (level->madeByFrameRequest) px_dropTopWnd(level);
        return 0;
    }
    f->columns = columns;
    f->rows = rows;
    int saved = -1;
    if (first) px_restoreFramePlacement(app->appData, f->wnd, &saved);
    if (saved >= 0) {
        // A start-up command that asks for a state wins over the saved one.
        int start = app->showCmd;
        bool startState = start == SW_SHOWMINIMIZED || start == SW_SHOWMAXIMIZED || start == SW_SHOWMINNOACTIVE ||
                          start == SW_MINIMIZE;
        show = startState ? start : saved;
    } else if (columns > 0 && rows > 0) {
        px_fitFrameToGrid(f, columns, rows);
    }
    level->frame = f;
    px_hostTakeMainWindow(f);
    px_setupFrameStatus(f);
    px_showFrame(f, show);
    app->showCmd = -1;
    if (show != SW_SHOWMINNOACTIVE && show != SW_SHOWMINIMIZED && show != SW_MINIMIZE) SetForegroundWindow(f->wnd);
    return 0;
}

int px_onDestroyFrame(const PxRequest &) {
    PxTopWnd *level = px_firstTopWnd();
    if (!level || !level->frame) return 0;
    PxFrame *f = level->frame;
    level->frame = nullptr;
    px_destroyFrame(f);
    if (level->madeByFrameRequest) px_dropTopWnd(level);
    return 0;
}

int px_onCloseLevel(const PxRequest &) {
    PxTopWnd *level = px_firstTopWnd();
    // The base entry stays: it holds the windows outside any frame.
    if (!level || px_topWndCount() < 2) return 0;
    px_dropTopWnd(level);
    PxTopWnd *now = px_firstTopWnd();
    if (now && frameAlive(now->frame)) px_restoreFrame(now->frame);
    return 0;
}

int px_onOpenLevel(const PxRequest &) {
    PxTopWnd *level = px_firstTopWnd();
    if (!level) return 0;
    if (frameAlive(level->frame)) px_minimizeFrame(level->frame);
    px_newTopWnd();
    return 0;
}

int px_onSetWndText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    std::string text(r.text());
    HWND w = windowOf(handle);
    if (r.ok() && w) px_setWndText(w, text.c_str());
    return 0;
}

int px_onGetWndText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t size = r.i16();
    if (!r.ok()) return 0;
    WireWriter w = req.writer();
    w.i32(0);
    if (!w.ok()) return 0;
    // The text area is what the server asked for, within the reply area.
    size_t n = size < 0 ? 0 : static_cast<size_t>(size);
    if (n > w.left()) n = w.left();
    std::vector<char> buf(n + 1, 0);
    HWND wnd = windowOf(handle);
    int len = wnd ? px_getWndText(wnd, buf.data(), static_cast<int>(n), n) : 0;
    w.bytes(buf.data(), n);
    w.seek(0);
    w.i32(len);
    return static_cast<int>(n + 4);
}

int px_onSelectTab(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t tab = r.i16();
    HWND owner = windowOf(handle);
    if (!r.ok() || !owner || handle == 0) return 0;
    px_selectTab(GetDlgItem(owner, kPxTabId), tab);
    return 0;
}

int px_onStatusText(const PxRequest &req) {
    WireReader r = req.reader();
    r.skip(2);
    std::string text(r.text());
    if (r.ok()) px_setStatusText(text.c_str());
    return 0;
}

int px_onSaveStatusText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    HWND bar = frameStatus();
    if (!r.ok() || !bar) return 0;
    std::string *saved = new (std::nothrow) std::string(px_statusPaneText(bar, 1));
    if (saved && objtab_add(&px_module().objects, handle, PxObjKind::StatusText, saved) != 0) delete saved;
    return 0;
}

int px_onRestoreStatusText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    if (!r.ok()) return 0;
    std::string *saved =
        static_cast<std::string *>(objtab_removeHandle(&px_module().objects, handle, PxObjKind::StatusText));
    if (!saved) return 0;
    if (HWND bar = frameStatus()) px_setStatusPaneText(bar, 1, saved->c_str());
    delete saved;
    return 0;
}

int px_onAddPane(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t id = r.i16(), width = r.i16(), before = r.i16();
    HWND bar = frameStatus();
    if (r.ok() && bar) px_addStatusPane(bar, id, width, before);
    return 0;
}

int px_onRemovePane(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t id = r.i16();
    HWND bar = frameStatus();
    if (r.ok() && bar) px_removeStatusPane(bar, id);
    return 0;
}

int px_onSetPane(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t id = r.i16();
    int32_t flags = r.i32();
    std::string text(r.text()), tip(r.text());
    HWND bar = frameStatus();
    if (r.ok() && bar) px_setStatusPane(bar, id, text.c_str(), tip.c_str(), flags);
    return 0;
}

int px_onIgnoredPane(const PxRequest &) { return 0; }

int px_onSaveLayout(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t id = r.i16();
    int32_t handle = r.i32();
    HWND bar = frameStatus();
    if (!r.ok() || !bar) return 0;
    SavedLayout *s = new (std::nothrow) SavedLayout;
    if (!s) return 0;
    s->record = px_getStatusLayout(bar, id);
    if (s->record.empty() || objtab_add(&px_module().objects, handle, PxObjKind::StatusLayout, s) != 0) delete s;
    return 0;
}

int px_onRestoreLayout(const PxRequest &req) {
    WireReader r = req.reader();
    int16_t id = r.i16();
    int32_t handle = r.i32();
    if (!r.ok()) return 0;
    SavedLayout *s =
        static_cast<SavedLayout *>(objtab_removeHandle(&px_module().objects, handle, PxObjKind::StatusLayout));
    if (!s) return 0;
    if (HWND bar = frameStatus()) px_setStatusLayout(bar, id, s->record.data(), s->record.size());
    delete s;
    return 0;
}

int px_onDlgPaneText(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t id = r.i16();
    std::string text(r.text());
    if (!r.ok()) return 0;
    if (HWND bar = handle ? px_dialogStatusBar(handle) : frameStatus())
        px_setStatusPane(bar, id, text.c_str(), nullptr, 2);
    return 0;
}

int px_onDlgPane(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t id = r.i16(), width = r.i16();
    std::string text(r.text());
    PxApp *app = px_app();
    if (!r.ok() || !app) return 0;
    HWND bar = handle ? px_dialogStatusBar(handle) : frameStatus();
    if (!bar) return 0;
    // A pane that exists takes the width the request carries.
    if (px_statusPartOf(bar, id) < 0) px_addStatusPane(bar, id, width * app->stepX, -1);
    else px_setStatusPaneWidth(bar, id, width * app->stepX);
    px_setStatusPane(bar, id, text.c_str(), nullptr, 2);
    return 0;
}

int px_onRemoveDlgPane(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    int16_t id = r.i16();
    if (r.ok())
        if (HWND bar = handle ? px_dialogStatusBar(handle) : frameStatus()) px_removeStatusPane(bar, id);
    return 0;
}

void px_freeStatusObjects(PxObjTable *table) {
    for (int i = 0; i < table->count; ++i) {
        PxObjEntry &e = table->entries[static_cast<size_t>(i)];
        if (e.handle == 0) continue;
        if (e.kind == PxObjKind::StatusText) delete static_cast<std::string *>(e.object);
        else if (e.kind == PxObjKind::StatusLayout) delete static_cast<SavedLayout *>(e.object);
        else continue;
        e = PxObjEntry{};
    }
}
