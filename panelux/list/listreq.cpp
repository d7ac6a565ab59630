#include "listreq.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialog.h"
#include "dialogreq.h"
#include "list.h"

namespace {

struct ListFree {
    void operator()(PxScrollList *l) const { px_freeScrollList(l); }
};

// 34 and 35 differ in the size of the list's user block only.
int openList(const PxRequest &req, size_t userBlock) {
    WireReader r = req.reader();
    uint8_t a = r.u8(), b = r.u8(), c = r.u8(), d = r.u8();
    int16_t value = r.i16();
    if (!r.ok()) return zam_replyInt(req, -1);
    int result = px_openDialogWith(r, userBlock, true, [&](PxPanel *panel, WireReader &rest) {
        int32_t n = rest.i32();
        const unsigned char *layout = n > 0 ? rest.bytes(static_cast<size_t>(n)) : nullptr;
        if (!rest.ok() || n < 0) return -1;
        if (panel->userBlock && panel->userBlockSize >= 6) {
            unsigned char *u = static_cast<unsigned char *>(panel->userBlock);
            u[0] = a, u[1] = b, u[2] = c, u[3] = d;
            std::memcpy(u + 4, &value, sizeof value);
        }
        std::unique_ptr<PxScrollList, ListFree> list(
            px_makeScrollList(panel, a, b, c, d, value, layout, static_cast<size_t>(n)));
        if (!list || px_openDialog(panel, list.get()) != 0) return -1;
        int rows = list.release()->visibleRows;
        return rows > 255 ? 255 : rows;
    });
    if (result < 0) return zam_replyInt(req, -1);
    return zam_replyInt(req, (static_cast<int32_t>(value) * 256 + result) * 256);
}

// The panel of the request's leading handle, or null.
PxPanel *panelOf(WireReader &r) {
    int32_t handle = r.i32();
    return r.ok() ? px_panelOfHandle(handle) : nullptr;
}

}  // namespace

int px_onOpenList(const PxRequest &req) { return openList(req, 160); }
int px_onOpenListEx(const PxRequest &req) { return openList(req, 212); }

int px_onShiftListRows(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    int16_t first = r.i16(), count = r.i16(), delta = r.i16();
    if (p && r.ok()) px_shiftListRows(p, first, count, delta);
    return 0;
}

int px_onResetListRow(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    int16_t row = r.i16();
    if (p && r.ok()) px_resetListRow(p, row);
    return 0;
}

int px_onShowListColumn(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    int16_t field = r.i16();
    if (p && r.ok()) px_showListColumn(p, field);
    return 0;
}

int px_onRelayoutList(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    r.i16();
    r.i16();
    if (!p) return zam_replyInt(req, -1);
    return zam_replyInt(req, px_relayoutList(p));
}

int px_onSaveListLayout(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    std::vector<unsigned char> layout = p ? px_saveListLayout(p) : std::vector<unsigned char>();
    if (layout.empty()) return zam_replyInt(req, -1);
    WireWriter w = req.writer();
    w.i32(0);
    w.bytes(layout.data(), layout.size());
    if (!w.ok()) return zam_replyInt(req, -1);
    return zam_replyLength(w);
}

int px_onListColumnWidth(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    uint8_t field = r.u8();
    int8_t width = r.i8();
    if (p && r.ok()) px_setListColumnWidth(p, field, width);
    return 0;
}

int px_onListHeaders(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    if (!p) return 0;
    // All texts are read before any is stored: a short record changes nothing.
    std::vector<std::string> texts;
    for (int i = 0; i < p->fieldCount; ++i) {
        std::string_view s = r.text();
        if (!r.ok()) return 0;
        texts.emplace_back(s);
    }
    for (int i = 0; i < p->fieldCount; ++i) {
        char *copy = px_strdup(texts[static_cast<size_t>(i)].c_str());
        if (!copy) break;
        std::free(p->fields[i].header);
        p->fields[i].header = copy;
    }
    px_refreshListHeader(p);
    return 0;
}

int px_onListColumnAttr(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    int16_t column = r.i16();
    int32_t attribute = r.i32();
    uint8_t value = r.u8();
    if (p && r.ok()) px_setListColumnAttr(p, column, attribute, value);
    return 0;
}

int px_onGetListLayout(const PxRequest &req) {
    WireReader r = req.reader();
    PxPanel *p = panelOf(r);
    int16_t size = r.i16();
    if (!r.ok() || size < 0 || static_cast<size_t>(size) + 4 > req.replyCapacity) return zam_replyInt(req, -1);
    std::vector<unsigned char> buffer(static_cast<size_t>(size), 0);
    int result = p ? px_getListLayout(p, buffer.data(), buffer.size()) : -1;
    if (result != 0) std::fill(buffer.begin(), buffer.end(), 0);
    WireWriter w = req.writer();
    w.i32(result);
    w.bytes(buffer.data(), buffer.size());
    return zam_replyLength(w);
}

int px_onListSysCommand(const PxRequest &req) {
    WireReader r = req.reader();
    if (PxPanel *p = panelOf(r)) px_listSysCommand(p);
    return 0;
}

int px_onResetListLayout(const PxRequest &req) {
    WireReader r = req.reader();
    if (PxPanel *p = panelOf(r)) px_resetListLayout(p);
    return 0;
}
