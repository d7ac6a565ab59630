#include "menus.h"

#include <functional>
#include <new>

#include "app.h"
#include "dialog.h"
#include "events.h"
#include "frame.h"
#include "labels.h"
#include "menubar.h"
#include "module.h"
#include "registry.h"
#include "status.h"
#include "upcalls.h"
#include "wndutil.h"

namespace {

// Descriptions and submenus beyond this are refused rather than allocated.
constexpr size_t kMaxPacked = 16u << 20;

uint16_t g_nextCommand;
const char kMenuPanelName[] = "$MENU$";

// Module-wide, never 0: 0 is what TrackPopupMenu answers for no choice.
UINT nextCommand() {
    if (++g_nextCommand == 0) ++g_nextCommand;
    return g_nextCommand;
}

PxObjTable &objects() { return px_module().objects; }

PxMenu *menuOf(int32_t handle) { return static_cast<PxMenu *>(objtab_find(&objects(), handle, PxObjKind::Menu)); }

bool holds(const PxMenu *menu, const PxMenuItemRec *item) {
    if (px_menuHoldsItem(menu->items, item)) return true;
    for (const auto &block : menu->extras)
        if (px_menuHoldsItem(*block, item)) return true;
    return false;
}

std::string displayText(const PxMenuItemRec &item) {
    std::string marked = px_markMenuHotkey(item);
    std::vector<char> buf(marked.size() * 2 + 8, 0);
    marked.copy(buf.data(), marked.size());
    px_makeMenuText(buf.data(), buf.size());
    return px_oemToAnsi(buf.data());
}

void fillNative(HMENU native, std::vector<PxMenuItemRec> &items, UINT at);

// Inserts one item at position at (-1: the end); deleted items are left out.
void insertNative(HMENU native, PxMenuItemRec &item, UINT at) {
    if (item.deleted()) return;
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    if (px_isMenuSeparator(item.text)) {
        mi.fMask = MIIM_FTYPE | MIIM_DATA;
        mi.fType = MFT_SEPARATOR;
        mi.dwItemData = reinterpret_cast<ULONG_PTR>(&item);
        InsertMenuItemA(native, at, TRUE, &mi);
        return;
    }
    std::string text = displayText(item);
    mi.fMask = MIIM_STRING | MIIM_ID | MIIM_DATA | MIIM_STATE;
    mi.dwTypeData = &text[0];
    mi.wID = nextCommand();
    mi.dwItemData = reinterpret_cast<ULONG_PTR>(&item);
    mi.fState = item.grayed() ? MFS_GRAYED : MFS_ENABLED;
    if (item.isSubmenu()) {
        HMENU sub = CreatePopupMenu();
        if (sub) {
            MENUINFO info = {};
            info.cbSize = sizeof info;
            info.fMask = MIM_MENUDATA;
            info.dwMenuData = reinterpret_cast<ULONG_PTR>(&item);
            SetMenuInfo(sub, &info);
            if (item.sub == PxSubItems::Loaded) fillNative(sub, item.subItems, static_cast<UINT>(-1));
            mi.fMask |= MIIM_SUBMENU;
            mi.hSubMenu = sub;
        }
    }
    if (!InsertMenuItemA(native, at, TRUE, &mi) && mi.hSubMenu) DestroyMenu(mi.hSubMenu);
}

void fillNative(HMENU native, std::vector<PxMenuItemRec> &items, UINT at) {
    for (PxMenuItemRec &item : items) {
        int before = GetMenuItemCount(native);
        insertNative(native, item, at);
        if (at != static_cast<UINT>(-1)) at += static_cast<UINT>(GetMenuItemCount(native) - before);
    }
}

// The native menu and position of the item carrying this record.
bool nativeOf(HMENU native, const PxMenuItemRec *item, HMENU *owner, UINT *pos) {
    int n = GetMenuItemCount(native);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOA mi = {};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_DATA | MIIM_SUBMENU;
        if (!GetMenuItemInfoA(native, static_cast<UINT>(i), TRUE, &mi)) continue;
        if (mi.dwItemData == reinterpret_cast<ULONG_PTR>(item)) {
            *owner = native;
            *pos = static_cast<UINT>(i);
            return true;
        }
        if (mi.hSubMenu && nativeOf(mi.hSubMenu, item, owner, pos)) return true;
    }
    return false;
}

PxMenuItemRec *dataOfCommand(HMENU native, UINT command) {
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_DATA;
    if (!GetMenuItemInfoA(native, command, FALSE, &mi)) return nullptr;
    return reinterpret_cast<PxMenuItemRec *>(mi.dwItemData);
}

// The unpacking of a block of items whose description came with the request
// or from the server.
bool unpackBlock(const unsigned char *data, size_t length, int count, int32_t total, int32_t textBytes, bool loading,
                 std::vector<PxMenuItemRec> *out) {
    if (total < 0 || textBytes < 0) return false;
    WireReader r(data, length);
    PxMenuBudget budget{static_cast<size_t>(total), static_cast<size_t>(textBytes)};
    return px_unpackMenuItems(r, count, loading, budget, out);
}

int menuLoadingMode() {
    PxApp *app = px_app();
    return app ? app->menuLoadingMode : 1;
}

// The menu whose native popup (or one of its submenus) holds the record.
PxMenu *menuHolding(const PxMenuItemRec *item) {
    PxObjTable &t = objects();
    for (int i = 0; i < t.count; ++i) {
        const PxObjEntry &e = t.entries[static_cast<size_t>(i)];
        if (e.handle && e.kind == PxObjKind::Menu && holds(static_cast<PxMenu *>(e.object), item))
            return static_cast<PxMenu *>(e.object);
    }
    return nullptr;
}

void destroyMenu(PxMenu *menu) {
    if (menu->frame) px_popFrameMenu(menu);
    if (menu->native) DestroyMenu(menu->native);
    menu->native = nullptr;
    objtab_removeObject(&objects(), menu);
    if (menu->held) menu->destroyed = true;
    else delete menu;
}

PxPanelPtr menuPanel() {
    PxPanelPtr p(px_allocPanel(0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    if (!p) return p;
    p->name = kMenuPanelName;
    p->options |= kPxPanelIsMenu;
    return p;
}

// The help line of a system-menu item, by its command.
const char *systemMenuHelp(UINT command) {
    switch (command & 0xFFF0) {
    case SC_SIZE: return "Changes the size of the window";
    case SC_MOVE: return "Changes the position of the window";
    case SC_MINIMIZE: return "Minimizes the window to an icon";
    case SC_MAXIMIZE: return "Enlarges the window to full size";
    case SC_CLOSE: return "Closes the window and quits this application";
    case SC_RESTORE: return "Restores the window to normal size";
    default: return nullptr;
    }
}

void writeResult(WireWriter &w, int code) {
    PxEvent e = px_lastEvent();
    e.code = code;
    px_writeEventReply(w, e);
}

int trackPopup(PxMenu *menu, PxFrame *frame, const PxRequest &req) {
    PxApp *app = px_app();
    POINT at;
    if (!px_takePendingClick(&at)) {
        at = {menu->column * app->stepX, (menu->row - 1) * app->stepY};
        if (PxDialog *d = px_currentDialog()) {
            // Grid positions count from the dialog the user works in.
            POINT origin = {0, 0};
            MapWindowPoints(d->hwnd, frame->client, &origin, 1);
            at.x += origin.x;
            at.y += origin.y;
        }
        ClientToScreen(frame->client, &at);
        // The first item comes up selected, as with a keyboard menu.
        PostMessageA(frame->wnd, WM_KEYDOWN, VK_DOWN, 0);
    }
    menu->inMenuMode = true;
    UINT command = static_cast<UINT>(TrackPopupMenuEx(menu->native, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                                      at.x, at.y, frame->wnd, nullptr));
    menu->inMenuMode = false;
    int code = 0;
    PxMenuItemRec *item = command ? px_menuItemByCommand(menu, menu->native, command) : nullptr;
    if (item) {
        code = kPxEvMenuCommand;
        menu->lastChosen = item;
    } else if (command) {
        code = kPxEvMenuDismissed;
    }
    WireWriter w = req.writer();
    writeResult(w, code);
    if (code == kPxEvMenuCommand) {
        w.i32(item->command);
        w.i32(item->id);
    }
    return zam_replyLength(w);
}

int trackBar(PxMenu *menu, PxFrame *frame, bool firstOnly, const PxRequest &req) {
    px_flushTypeAhead();
    if (PxTopWnd *top = px_firstTopWnd()) top->eventMode = false;
    // Marks left by loops before this one (a popup tracked by request 22,
    // the system menu) are no dismissal of this loop.
    menu->tracking = 0;
    menu->pendingDismissal = false;
    menu->inMenuMode = true;
    px_setIndicatorsOff(frame->status, true);
    px_menuBarTrackLoop(frame);
    PxEvent e = {};
    while (px_hookWaitEvent(&e) && e.code == kPxEvMenuDismissed && !firstOnly) {}
    menu->inMenuMode = false;
    menu->pendingDismissal = false;
    // The frame may have gone while the loop waited.
    if (px_frameOf(px_curFrameWnd()) == frame) {
        px_menuBarEndLoop(frame);
        px_setIndicatorsOff(frame->status, false);
    }
    WireWriter w = req.writer();
    writeResult(w, e.code);
    if (e.code == kPxEvMenuCommand && menu->lastChosen) {
        w.i32(menu->lastCommand);
        w.i32(menu->lastChosen->id);
    }
    return zam_replyLength(w);
}

}  // namespace

PxMenuItemRec *px_menuItemById(PxMenu *menu, int32_t id) {
    if (PxMenuItemRec *it = px_findMenuItem(menu->items, id)) return it;
    for (auto &block : menu->extras)
        if (PxMenuItemRec *it = px_findMenuItem(*block, id)) return it;
    return nullptr;
}

PxMenuItemRec *px_menuItemByCommand(PxMenu *menu, HMENU native, UINT command) {
    PxMenuItemRec *item = dataOfCommand(native, command);
    return item && holds(menu, item) ? item : nullptr;
}

int px_onCreateMenu(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32(), number = r.i32();
    uint8_t column = r.u8(), row = r.u8(), popup = r.u8(), topCount = r.u8();
    uint16_t total = r.u16();
    int32_t textBytes = r.i32(), descId = r.i32();
    if (!r.ok() || textBytes < 0) return zam_replyInt(req, -1);
    std::unique_ptr<PxMenu> menu(new (std::nothrow) PxMenu);
    if (!menu) return zam_replyInt(req, -1);
    menu->handle = handle;
    menu->objNum = number;
    menu->prevObjNum = px_curObjNum();
    menu->popup = popup != 0;
    menu->column = column;
    menu->row = row;
    menu->topCount = topCount;
    menu->panel = menuPanel();
    if (!menu->panel) return zam_replyInt(req, -1);
    bool ok;
    PxRequest answer = req;
    if (descId == 0) {
        ok = unpackBlock(r.here(), r.left(), topCount, total, textBytes, menu->popup || menuLoadingMode() != 0,
                         &menu->items);
    } else {
        size_t size = px_menuPackedSize(total, textBytes, kMaxPacked);
        std::vector<unsigned char> blob;
        ok = size > 0 && px_upcallMenuBlob(number, descId, static_cast<int>(size), &blob) &&
             unpackBlock(blob.data(), blob.size(), topCount, total, textBytes, menuLoadingMode() != 0, &menu->items);
        // The upcall may have moved the reply area: the answer goes where
        // the host now says it is, or nowhere.
        TAppObj *a = zam_host().app;
        answer.reply = a ? reinterpret_cast<unsigned char *>(a->fn->getReplyBuff(a, 4)) : nullptr;
        answer.replyCapacity = answer.reply ? 4 : 0;
        if (!answer.reply) return 0;
    }
    if (!ok) return zam_replyInt(answer, -1);
    menu->native = menu->popup ? CreatePopupMenu() : CreateMenu();
    if (!menu->native) return zam_replyInt(answer, -1);
    fillNative(menu->native, menu->items, static_cast<UINT>(-1));
    if (objtab_add(&objects(), handle, PxObjKind::Menu, menu.get()) != 0) {
        DestroyMenu(menu->native);
        return zam_replyInt(answer, -1);
    }
    PxMenu *m = menu.release();
    if (!m->popup) px_pushFrameMenu(m);
    return zam_replyInt(answer, 0);
}

int px_onAddMenuItems(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    uint8_t count = r.u8();
    int16_t total = r.i16();
    int32_t textBytes = r.i32();
    PxMenu *menu = r.ok() ? menuOf(handle) : nullptr;
    if (!menu || total < 0 || textBytes < 0) return zam_replyInt(req, 0);
    auto block = std::make_unique<std::vector<PxMenuItemRec>>();
    if (!unpackBlock(r.here(), r.left(), count, total, textBytes, menuLoadingMode() != 0, block.get()))
        return zam_replyInt(req, 0);
    fillNative(menu->native, *block, static_cast<UINT>(-1));
    menu->extras.push_back(std::move(block));
    if (menu->frame) px_refreshFrameMenu(menu);
    return zam_replyInt(req, 0);
}

int px_onDestroyMenu(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    if (PxMenu *menu = r.ok() ? menuOf(handle) : nullptr) destroyMenu(menu);
    return zam_replyInt(req, 0);
}

int px_onEnableMenuItem(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32(), id = r.i32();
    uint8_t enable = r.u8();
    PxMenu *menu = r.ok() ? menuOf(handle) : nullptr;
    PxMenuItemRec *item = menu ? px_menuItemById(menu, id) : nullptr;
    if (!item) return zam_replyInt(req, 0);
    if (enable) item->state = static_cast<int16_t>(item->state & ~kPxMenuDisabled);
    else item->state = static_cast<int16_t>(item->state | kPxMenuDisabled);
    HMENU owner;
    UINT pos;
    if (nativeOf(menu->native, item, &owner, &pos))
        EnableMenuItem(owner, pos, MF_BYPOSITION | (item->grayed() ? MF_GRAYED : MF_ENABLED));
    if (menu->frame) px_refreshFrameMenu(menu);
    return zam_replyInt(req, 0);
}

int px_onDeleteMenuItem(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32(), id = r.i32();
    PxMenu *menu = r.ok() ? menuOf(handle) : nullptr;
    PxMenuItemRec *item = menu ? px_menuItemById(menu, id) : nullptr;
    if (!item) return zam_replyInt(req, 0);
    item->state = static_cast<int16_t>(item->state | kPxMenuDeleted);
    HMENU owner;
    UINT pos;
    if (nativeOf(menu->native, item, &owner, &pos)) DeleteMenu(owner, pos, MF_BYPOSITION);
    if (menu->frame) px_refreshFrameMenu(menu);
    return zam_replyInt(req, 0);
}

int px_onInsertMenuItems(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32(), first = r.i32(), parent = r.i32();
    uint8_t position = r.u8(), count = r.u8();
    uint16_t total = r.u16();
    int32_t textBytes = r.i32();
    PxMenu *menu = r.ok() ? menuOf(handle) : nullptr;
    if (!menu) return zam_replyInt(req, 0);
    HMENU target = menu->native;
    if (parent != 0) {
        PxMenuItemRec *p = px_menuItemById(menu, parent);
        HMENU owner;
        UINT pos;
        target = p && nativeOf(menu->native, p, &owner, &pos) ? GetSubMenu(owner, static_cast<int>(pos)) : nullptr;
        if (!target) return zam_replyInt(req, 0);
    }
    if (first == -1) {
        if (total == 0) return zam_replyInt(req, 0);
        auto block = std::make_unique<std::vector<PxMenuItemRec>>();
        if (!unpackBlock(r.here(), r.left(), count, total, textBytes, menuLoadingMode() != 0, block.get()))
            return zam_replyInt(req, 0);
        fillNative(target, *block, position);
        menu->extras.push_back(std::move(block));
    } else {
        PxMenuItemRec *item = px_menuItemById(menu, first);
        if (!item) return zam_replyInt(req, 0);
        // The run of items from the first id on, within the array holding it.
        std::vector<PxMenuItemRec> *array = nullptr;
        std::function<bool(std::vector<PxMenuItemRec> &)> find = [&](std::vector<PxMenuItemRec> &v) {
            if (!v.empty() && !std::less<const PxMenuItemRec *>()(item, v.data()) &&
                std::less<const PxMenuItemRec *>()(item, v.data() + v.size()))
                return array = &v, true;
            for (PxMenuItemRec &it : v)
                if (it.sub == PxSubItems::Loaded && find(it.subItems)) return true;
            return false;
        };
        if (!find(menu->items))
            for (auto &block : menu->extras)
                if (find(*block)) break;
        if (!array) return zam_replyInt(req, 0);
        size_t from = static_cast<size_t>(item - array->data());
        UINT at = position;
        for (size_t i = from; i < array->size() && i < from + count; ++i) {
            PxMenuItemRec &it = (*array)[i];
            if (!it.deleted()) continue;
            it.state = static_cast<int16_t>(it.state & ~kPxMenuDeleted);
            int before = GetMenuItemCount(target);
            insertNative(target, it, at);
            at += static_cast<UINT>(GetMenuItemCount(target) - before);
        }
    }
    if (menu->frame && parent == 0) px_refreshFrameMenu(menu);
    return zam_replyInt(req, 0);
}

int px_onTrackMenu(const PxRequest &req) {
    WireReader r = req.reader();
    int32_t handle = r.i32();
    uint8_t flag = r.u8();
    PxMenu *menu = r.ok() ? menuOf(handle) : nullptr;
    if (!menu) return zam_replyInt(req, -1);
    PxFrame *frame = px_frameOf(px_curFrameWnd());
    if (!menu->native || !frame || !px_app()) {
        WireWriter w = req.writer();
        writeResult(w, 0);
        return zam_replyLength(w);
    }
    int saved = px_curObjNum();
    px_setCurObjNum(menu->objNum);
    std::string status = px_statusPaneText(frame->status, 1);
    bool nested = menu->held;
    menu->held = true;
    int n = menu->popup ? trackPopup(menu, frame, req) : trackBar(menu, frame, flag == 1, req);
    if (px_frameOf(px_curFrameWnd()) == frame) px_setStatusPaneText(frame->status, 1, status.c_str());
    px_setCurObjNum(saved);
    menu->held = nested;
    if (!nested && menu->destroyed) delete menu;
    return n;
}

void px_menuInitPopup(HMENU popup) {
    MENUINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = MIM_MENUDATA;
    if (!GetMenuInfo(popup, &info) || !info.dwMenuData) return;
    PxMenuItemRec *item = reinterpret_cast<PxMenuItemRec *>(info.dwMenuData);
    PxMenu *menu = menuHolding(item);
    if (!menu || item->sub != PxSubItems::NotLoaded || item->subCount == 0 || menuLoadingMode() != 0) return;
    std::vector<unsigned char> reply;
    if (!px_upcallSubmenu(menu->objNum, menu->handle, item->id, item->subCount, &reply)) return;
    WireReader r(reply.data(), reply.size());
    r.skip(4);
    uint8_t count = r.u8();
    int16_t total = r.i16();
    int32_t textBytes = r.i32();
    std::vector<PxMenuItemRec> items;
    if (!r.ok() || !unpackBlock(r.here(), r.left(), count, total, textBytes, false, &items)) return;
    item->subItems = std::move(items);
    item->sub = PxSubItems::Loaded;
    fillNative(popup, item->subItems, static_cast<UINT>(-1));
}

void px_menuCommand(PxFrame *frame, UINT command) {
    PxMenu *menu = frame ? static_cast<PxMenu *>(frame->menuTop) : nullptr;
    if (!menu || !menu->native) return;
    PxMenuItemRec *item = px_menuItemByCommand(menu, menu->native, command);
    // The menu loop that just ended made a choice, not a dismissal.
    menu->pendingDismissal = false;
    if (!item) return px_postEvent(kPxEvMenuDismissed, 0, 0, kPxModeDirect);
    menu->lastChosen = item;
    // A dynamic item's command value is the server's answer at the choice.
    menu->lastCommand = item->sub == PxSubItems::Dynamic ? px_upcallMenuQuery(menu->objNum, menu->handle, item->id)
                                                         : item->command;
    px_postEvent3(kPxEvMenuCommand, 0, 0, menu->lastCommand, 0, kPxModeDirect);
}

void px_menuSelect(PxFrame *frame, HMENU menu, UINT item, UINT flags) {
    if (!frame || !frame->status || (flags == 0xFFFF && !menu)) return;
    if (flags & MF_SYSMENU) {
        const char *help = (flags & MF_POPUP) ? "Move, size, or close window" : systemMenuHelp(item);
        px_setStatusPaneText(frame->status, 1, help ? help : "");
        return;
    }
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_DATA;
    BOOL byPos = (flags & MF_POPUP) != 0;
    const PxMenuItemRec *rec = nullptr;
    if (menu && GetMenuItemInfoA(menu, item, byPos, &mi)) {
        PxMenuItemRec *p = reinterpret_cast<PxMenuItemRec *>(mi.dwItemData);
        if (p && menuHolding(p)) rec = p;
    }
    if (rec) px_setStatusPaneText(frame->status, 1, px_oemToAnsi(rec->help.c_str()).c_str());
}

int32_t px_menuHelpContext(HMENU menu, UINT command) {
    PxMenuItemRec *item = menu ? dataOfCommand(menu, command) : nullptr;
    return item && menuHolding(item) ? item->helpContext : 0;
}

bool px_frameInMenuMode(const PxFrame *frame) {
    const PxMenu *menu = frame ? static_cast<const PxMenu *>(frame->menuTop) : nullptr;
    return menu && menu->inMenuMode;
}

void px_menuLoopEntered(PxFrame *frame) {
    PxMenu *menu = frame ? static_cast<PxMenu *>(frame->menuTop) : nullptr;
    if (!menu) return;
    ++menu->tracking;
    menu->pendingDismissal = false;
}

void px_menuLoopExited(PxFrame *frame) {
    PxMenu *menu = frame ? static_cast<PxMenu *>(frame->menuTop) : nullptr;
    if (!menu || menu->tracking == 0) return;
    --menu->tracking;
    menu->pendingDismissal = true;
}

bool px_takeMenuDismissal(PxFrame *frame) {
    PxMenu *menu = frame ? static_cast<PxMenu *>(frame->menuTop) : nullptr;
    if (!menu || !menu->inMenuMode || !menu->pendingDismissal || menu->tracking > 0) return false;
    menu->pendingDismissal = false;
    return true;
}

void px_freeMenus() {
    PxObjTable &t = objects();
    for (int i = 0; i < t.count; ++i) {
        PxObjEntry &e = t.entries[static_cast<size_t>(i)];
        if (e.handle && e.kind == PxObjKind::Menu) destroyMenu(static_cast<PxMenu *>(e.object));
    }
}
