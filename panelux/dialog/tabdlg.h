// Tab dialogs: a dialog carrying a tab control whose labels follow the
// panel description of request 51. A click on a tab only asks the server,
// which selects it with request 52; the pages are child dialogs.
#pragma once

#include <string>

#include "dispatch.h"
#include "tabs.h"

struct PxDialog;

constexpr uint32_t kPxPanelTabs = 0x80000000;

// The request's four bytes place the display area of the pages: column and
// row of its top left cell, its width and height in cells (0: the dialog's
// whole client area).
struct PxTabArea {
    int column = 0, row = 0, width = 0, height = 0;
    std::string labels;  // OEM, one per line
    PxTab tab;
    ~PxTabArea() { px_destroyTab(&tab); }
};

// Creates the tab control in the dialog's window; false after the error box.
bool px_createTabArea(PxDialog *dialog);
void px_freeTabArea(PxTabArea *area);
// A page opening in the dialog: the first is fitted into the display area.
void px_placeTabPage(PxDialog *dialog, HWND page);

// Request 51.
int px_onOpenTabDialog(const PxRequest &req);
