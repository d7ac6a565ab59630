#include "registry.h"

#include <commctrl.h>

#include <cstddef>
#include <cstdio>
#include <new>

#include "app.h"
#include "errbox.h"
#include "datafile.h"
#include "dialog.h"
#include "frame.h"
#include "hostsinks.h"
#include "popup.h"
#include "tabs.h"
#include "wndutil.h"

namespace {

RingList *topList() {
    PxApp *app = px_app();
    return app ? &app->topWindows : nullptr;
}

PxTopWnd *entryOf(void *item) { return static_cast<PxTopWnd *>(item); }

void activateChild(PxChildWnd *child, bool on) {
    if (child && child->wnd) px_activateWnd(child->wnd, on);
}

void disposeEntry(PxTopWnd *entry) {
    while (void *c = ring_popFirst(&entry->children)) {
        PxChildWnd *child = static_cast<PxChildWnd *>(c);
        if (!child->attached) px_hostUnregisterWindow(&child->hostObject, child->notifyHost);
        delete child;
    }
    if (entry->frame) px_destroyFrame(entry->frame);
    delete entry;
}

void makeActive(PxTopWnd *entry, PxChildWnd *child) {
    PxChildWnd *first = static_cast<PxChildWnd *>(ring_first(&entry->children));
    if (first != child) activateChild(first, false);
    if (ring_holds(&entry->children, child)) ring_remove(&entry->children, child);
    ring_insertAfter(&entry->children, child, nullptr);
    entry->active = child;
    if (child->wnd)
        SetWindowPos(child->wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    if (entry->frame) px_updateScrollBars(entry->frame);
}

PxChildWnd *newChild(HWND wnd, void *object, int kind) {
    PxChildWnd *c = new (std::nothrow) PxChildWnd;
    if (!c) return nullptr;
    c->wnd = wnd;
    c->object = object;
    c->kind = kind;
    return c;
}

template <class Test> PxChildWnd *findChild(Test test, PxTopWnd **owner) {
    RingList *list = topList();
    if (!list) return nullptr;
    for (void *e = ring_first(list); e; e = ring_next(list, e)) {
        PxTopWnd *entry = entryOf(e);
        for (void *c = ring_first(&entry->children); c; c = ring_next(&entry->children, c)) {
            if (test(static_cast<PxChildWnd *>(c))) {
                if (owner) *owner = entry;
                return static_cast<PxChildWnd *>(c);
            }
        }
    }
    return nullptr;
}

bool unregisterIfPresent(const char *name) {
    WNDCLASSA wc;
    if (!GetClassInfoA(px_app()->instance, name, &wc)) return true;
    return UnregisterClassA(name, px_app()->instance) != 0;
}

void remember(const char *name) {
    auto &list = px_app()->classList;
    for (const std::string &n : list)
        if (n == name) return;
    list.push_back(name);
}

}  // namespace

namespace {
template <class Test> PxTopWnd *findTop(Test test) {
    RingList *list = topList();
    if (!list) return nullptr;
    for (void *e = ring_first(list); e; e = ring_next(list, e))
        if (test(entryOf(e))) return entryOf(e);
    return nullptr;
}
}  // namespace

bool px_initTopWnds() {
    RingList *list = topList();
    if (!list) return false;
    ring_init(list, kRingFront | kRingNoDispose, static_cast<int32_t>(offsetof(PxTopWnd, link)));
    return px_newTopWnd() != nullptr;
}

PxTopWnd *px_newTopWnd() {
    RingList *list = topList();
    if (!list) return nullptr;
    PxTopWnd *e = new (std::nothrow) PxTopWnd;
    if (!e) return nullptr;
    ring_init(&e->children, kRingFront | kRingNoDispose, static_cast<int32_t>(offsetof(PxChildWnd, link)));
    ring_insertAfter(list, e, nullptr);
    return e;
}

void px_dropTopWnd(PxTopWnd *entry) {
    RingList *list = topList();
    if (!list || !entry || !ring_holds(list, entry)) return;
    bool wasCurrent = ring_first(list) == entry;
    ring_remove(list, entry);
    disposeEntry(entry);
    if (wasCurrent) px_hostLevelCurrent(px_firstTopWnd());
}

void px_setLastTopWnd(PxTopWnd *entry) {
    RingList *list = topList();
    if (!list || !entry || !ring_holds(list, entry)) return;
    bool wasCurrent = ring_first(list) == entry;
    ring_setLast(list, entry);
    if (wasCurrent) px_hostLevelCurrent(px_firstTopWnd());
}

void px_freeTopWnds() {
    RingList *list = topList();
    if (!list) return;
    // The next run's first frame opens where this one was left.
    PxTopWnd *current = px_firstTopWnd();
    if (current && current->frame && current->frame->wnd && IsWindow(current->frame->wnd))
        px_saveFramePlacement(px_app()->appData, current->frame->wnd);
    while (void *e = ring_popFirst(list)) disposeEntry(entryOf(e));
}

PxTopWnd *px_firstTopWnd() {
    RingList *list = topList();
    return list ? entryOf(ring_first(list)) : nullptr;
}

PxTopWnd *px_curTopWnd() {
    return findTop([](PxTopWnd *e) { return e->frame || e->dialog; });
}

PxTopWnd *px_topWndByObject(const void *object) {
    if (!object) return nullptr;
    return findTop([&](PxTopWnd *e) { return e->frame == object || e->dialog == object; });
}

PxTopWnd *px_topWndByMenu(const void *menuNode) {
    if (!menuNode) return nullptr;
    return findTop([&](PxTopWnd *e) { return e->frame && e->frame->menuTop == menuNode; });
}

PxTopWnd *px_topWndByHostObject(const void *hostObject) {
    if (!hostObject) return nullptr;
    return findTop([&](PxTopWnd *e) { return e->frame && e->frame->hostObject == hostObject; });
}

int px_topWndCount() {
    RingList *list = topList();
    return list ? ring_count(list) : 0;
}

PxChildWnd *px_addChildWnd(HWND wnd, void *object, int kind, bool notify) {
    PxTopWnd *entry = px_firstTopWnd();
    if (!entry) return nullptr;
    PxChildWnd *c = newChild(wnd, object, kind);
    if (!c) return nullptr;
    c->notifyHost = notify;
    makeActive(entry, c);
    px_hostRegisterWindow(&c->hostObject, false, notify);
    activateChild(c, true);
    return c;
}

PxChildWnd *px_attachChildWnd(HWND wnd, void *object, int kind, void *hostObject) {
    PxTopWnd *entry = px_firstTopWnd();
    if (!entry) return nullptr;
    PxChildWnd *c = newChild(wnd, object, kind);
    if (!c) return nullptr;
    c->hostObject = hostObject;
    c->attached = true;
    ring_insertAfter(&entry->children, c, nullptr);
    return c;
}

PxChildWnd *px_findChildWnd(const void *object, int kind, PxTopWnd **owner) {
    return findChild([&](PxChildWnd *c) { return c->object == object && c->kind == kind; }, owner);
}

PxChildWnd *px_findChildByHost(const void *hostObject, PxTopWnd **owner) {
    if (!hostObject) return nullptr;
    return findChild([&](PxChildWnd *c) { return c->hostObject == hostObject; }, owner);
}

PxTopWnd *px_findTopWndOf(const void *object, int kind) {
    PxTopWnd *owner = nullptr;
    return px_findChildWnd(object, kind, &owner) ? owner : nullptr;
}

bool px_removeChildWnd(const void *object, int kind) {
    PxTopWnd *entry = nullptr;
    PxChildWnd *c = px_findChildWnd(object, kind, &entry);
    if (!c) return false;
    bool wasActive = entry->active == c;
    if (!c->attached) px_hostUnregisterWindow(&c->hostObject, c->notifyHost);
    ring_remove(&entry->children, c);
    delete c;
    if (!wasActive) return true;
    entry->active = static_cast<PxChildWnd *>(ring_first(&entry->children));
    if (entry->active) {
        activateChild(entry->active, true);
        px_hostActivateChild(entry->active);
        if (entry->active->kind == kPxChildDialog && entry->active->wnd &&
            (!px_curTopWnd() || GetActiveWindow()))
            px_focusIfForeground(entry->active->wnd);
    }
    return true;
}

void px_detachChildWnd(PxTopWnd *entry, PxChildWnd *child) {
    if (!entry || !child || !ring_holds(&entry->children, child)) return;
    bool wasActive = entry->active == child;
    ring_remove(&entry->children, child);
    delete child;
    // The window behind it comes to the front again.
    if (wasActive) entry->active = static_cast<PxChildWnd *>(ring_first(&entry->children));
}

void *px_activeChildObj(const PxTopWnd *entry, int kind) {
    return entry && entry->active && entry->active->kind == kind ? entry->active->object : nullptr;
}

void px_makeChildActive(PxTopWnd *entry, PxChildWnd *child) {
    if (!entry || !child || !ring_holds(&entry->children, child)) return;
    makeActive(entry, child);
    activateChild(child, true);
}

void px_broadcast(PxTopWnd *entry, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!entry) return;
    px_forEachChild(entry, [&](PxChildWnd *c) {
        if (c->kind == kPxChildDialog)
            if (PxDialog *d = px_dialogOfPanel(static_cast<const PxPanel *>(c->object)))
                for (PxDialog *sub : d->children)
                    if (sub->hwnd) SendMessageA(sub->hwnd, msg, wParam, lParam);
        if (c->wnd) SendMessageA(c->wnd, msg, wParam, lParam);
    });
}

namespace {
struct TipSearch {
    HWND owner, tip;
};

BOOL CALLBACK findOwnedTip(HWND w, LPARAM p) {
    auto *s = reinterpret_cast<TipSearch *>(p);
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, TOOLTIPS_CLASSA) != 0 || reinterpret_cast<HWND>(GetWindowLongPtrA(w, GWLP_USERDATA)) != s->owner)
        return TRUE;
    s->tip = w;
    return FALSE;
}
}  // namespace

void px_retrackActiveTip(PxTopWnd *entry) {
    HWND dlg = entry && entry->active && entry->active->kind == kPxChildDialog ? entry->active->wnd : nullptr;
    if (!dlg) return;
    // A field tip over the dialog or one of its child dialogs points at its
    // field again.
    if (PxDialog *d = px_dialogOf(dlg)) {
        px_placeFieldTip(d);
        for (PxDialog *c : d->children) px_placeFieldTip(c);
    }
    // A dialog's tip is the tooltip whose tool is the dialog (a child window
    // cannot own it).
    TipSearch s = {dlg, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findOwnedTip, reinterpret_cast<LPARAM>(&s));
    if (s.tip) px_trackToolTip(s.tip);
}

namespace {
void failed(const char *format, const char *name, bool plain) {
    DWORD code = GetLastError();
    if (!plain) {
        px_sysErrorBox(code, format, name);
        return;
    }
    char caption[512];
    std::snprintf(caption, sizeof caption, format, name);
    px_plainSysErrorBox(code, caption);
}

template <class Class, class Register>
int registerClass(Class *wc, Register reg, const char *unregisterFailed, const char *registerFailed, bool plain) {
    if (!unregisterIfPresent(wc->lpszClassName)) {
        failed(unregisterFailed, wc->lpszClassName, plain);
        return -1;
    }
    wc->hInstance = px_app()->instance;
    if (!reg(wc)) {
        failed(registerFailed, wc->lpszClassName, plain);
        return -1;
    }
    remember(wc->lpszClassName);
    return 0;
}
}  // namespace

int px_regWndClass(WNDCLASSA *wc) {
    return registerClass(wc, RegisterClassA, "px_regWndClass: UnregisterClass(%s) failed!",
                         "px_regWndClass: RegisterClass(%s) failed!", false);
}

int px_regWndClassCaptioned(WNDCLASSA *wc, const char *unregisterFailed, const char *registerFailed) {
    return registerClass(wc, RegisterClassA, unregisterFailed, registerFailed, true);
}

int px_regWndClassEx(WNDCLASSEXA *wc) {
    return registerClass(wc, RegisterClassExA, "px_regWndClassEx: UnregisterClass(%s) failed!",
                         "px_regWndClassEx: RegisterClassEx(%s) failed!", false);
}

bool px_isClassRegistered(const char *name) {
    PxApp *app = px_app();
    if (!app) return false;
    for (const std::string &n : app->classList)
        if (n == name) return true;
    return false;
}

bool px_unregisterClasses() {
    PxApp *app = px_app();
    if (!app) return true;
    bool all = true;
    for (const std::string &n : app->classList)
        if (!UnregisterClassA(n.c_str(), app->instance)) all = false;
    app->classList.clear();
    return all;
}

SIZE px_gridToWindowSize(int columns, int rows) {
    PxApp *app = px_app();
    int fx = GetSystemMetrics(SM_CXSIZEFRAME), fy = GetSystemMetrics(SM_CYSIZEFRAME);
    return SIZE{(columns - 2) * app->stepX + 2 * fx,
                (rows - 4) * app->stepY + 2 * fy + GetSystemMetrics(SM_CYCAPTION)};
}

SIZE px_windowToGridSize(int width, int height) {
    PxApp *app = px_app();
    int fx = GetSystemMetrics(SM_CXSIZEFRAME), fy = GetSystemMetrics(SM_CYSIZEFRAME);
    return SIZE{(width - 2 * fx) / app->stepX + 2,
                (height - 2 * fy - GetSystemMetrics(SM_CYCAPTION)) / app->stepY + 4};
}

SIZE px_clientToGridSize(int width, int height) {
    int fx = GetSystemMetrics(SM_CXSIZEFRAME), fy = GetSystemMetrics(SM_CYSIZEFRAME);
    return px_windowToGridSize(width + 2 * fx, height + 2 * fy + GetSystemMetrics(SM_CYCAPTION));
}

SIZE px_clientToWindowSize(int width, int height, DWORD style, DWORD exStyle) {
    RECT r = {0, 0, width, height};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

namespace {

struct Axis {
    int first, last, windowNear, windowFar, clientNear, step, scroll;
};

Axis axisOf(const PxGridBox *b, bool horizontal, HWND client) {
    RECT w;
    GetWindowRect(b->wnd, &w);
    MapWindowPoints(nullptr, client, reinterpret_cast<POINT *>(&w), 2);
    POINT c = {0, 0};
    ClientToScreen(b->wnd, &c);
    ScreenToClient(client, &c);
    PxApp *app = px_app();
    if (horizontal) return Axis{b->firstCol, b->lastCol, w.left, w.right, c.x, app->stepX, b->scrollX};
    return Axis{b->firstRow, b->lastRow, w.top, w.bottom, c.y, app->stepY, b->scrollY};
}

bool placeOnAxis(const PxGridBox *box, int cell, bool horizontal, HWND client, int *out) {
    const PxGridBox *found = box;
    while (found && (horizontal ? found->firstCol : found->firstRow) > cell) found = found->parent;
    if (!found || !found->wnd) return false;
    Axis a = axisOf(found, horizontal, client);
    int v;
    if (cell == a.first) v = a.windowNear;
    else if (cell > a.last) v = (cell - a.last - 1) * a.step + a.windowFar;
    else if (cell == a.last) return false;
    else v = (cell - a.first - (found->border ? 1 : 0)) * a.step + a.clientNear;
    if (found != box) {
        Axis asked = axisOf(box, horizontal, client);
        v += asked.windowNear - asked.scroll;
    }
    *out = v < 0 ? 0 : v;
    return true;
}

}  // namespace

int px_gridToClient(const PxGridBox *box, int column, int row, POINT *out) {
    PxTopWnd *e = px_firstTopWnd();
    if (!box || !out || !e || !e->frame || !e->frame->client || !px_app()) return 0;
    int got = 0, v = 0;
    if (placeOnAxis(box, column, true, e->frame->client, &v)) out->x = v, got |= kPxGridX;
    if (placeOnAxis(box, row, false, e->frame->client, &v)) out->y = v, got |= kPxGridY;
    return got;
}

int px_editorCellAt(HWND editor, int columns, int rows, POINT *pt) {
    PxApp *app = px_app();
    if (!app || !pt) return 0;
    RECT c;
    GetClientRect(editor, &c);
    auto cell = [](int v, int size, int step, int count) {
        if (v < 0) return -1;
        if (v >= size) return count;
        return v / step;
    };
    bool inside = pt->x >= 0 && pt->y >= 0 && pt->x < c.right && pt->y < c.bottom;
    pt->x = cell(pt->x, c.right, app->editorCharW, columns);
    pt->y = cell(pt->y, c.bottom, app->editorLineH, rows);
    return inside ? 1 : 0;
}
