#include "tabdlg.h"

#include <memory>

#include "app.h"
#include "dialog.h"
#include "dialogreq.h"
#include "popup.h"

bool px_createTabArea(PxDialog *d) {
    PxApp *a = px_app();
    if (!a || !d || !d->tab || !d->hwnd) return false;
    const PxTabArea &t = *d->tab;
    RECT r;
    GetClientRect(d->hwnd, &r);
    if (t.width > 0 && t.height > 0) {
        int b = (d->flags & kPxDlgNoBorder) ? 0 : 1;
        int x = (t.column - b) * a->stepX, y = (t.row - b) * a->stepY;
        r = RECT{x, y, x + t.width * a->stepX, y + t.height * a->stepY};
    }
    return px_createTab(d->hwnd, r, t.labels.c_str(), &d->tab->tab);
}

void px_freeTabArea(PxTabArea *area) { delete area; }

void px_placeTabPage(PxDialog *d, HWND page) {
    if (d && d->tab && d->children.empty()) px_fitTabPage(&d->tab->tab, page);
}

int px_onOpenTabDialog(const PxRequest &req) {
    px_closeWaitBox();
    WireReader r = req.reader();
    std::unique_ptr<PxTabArea> area(new PxTabArea);
    area->column = r.u8();
    area->row = r.u8();
    area->width = r.u8();
    area->height = r.u8();
    if (!r.ok()) return zam_replyInt(req, -1);
    int result = px_openDialogWith(r, 0, false, [&](PxPanel *panel, WireReader &rest) {
        // The labels follow the description; a record that ends there has none.
        if (rest.left()) area->labels = std::string(rest.text());
        if (!rest.ok()) return -1;
        panel->options |= kPxPanelTabs;
        if (px_openDialog(panel, area.get()) != 0) return -1;
        area.release();
        return 0;
    });
    return zam_replyInt(req, result);
}
