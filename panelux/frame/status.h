// Status bars of frames and dialogs: panes the server addresses by number,
// kept sorted by identifier; pane 1 is the message pane, 30-33 the key
// indicators; negative identifiers sit at the right-hand end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

enum : int { kPxMaxPanes = 64, kPxPaneLimit = 63, kPxPaneTextSlot = 80, kPxTipPadding = 127 };

struct PxStatusPanes {
    bool sizeGrip = false;
    bool tooltips = false;
    bool frameBar = false;
    bool indicatorsOff = false;  // the server's menu loop runs
    int count = 0;
    int16_t ids[kPxMaxPanes] = {};
    int16_t widths[kPxMaxPanes] = {};
    char texts[kPxMaxPanes][kPxPaneTextSlot] = {};  // dialog bars keep their texts
};

struct PxPaneSpec {
    int16_t id;
    int16_t widthChars;
};

HWND px_createStatusBar(HWND parent, bool tooltips, bool sizeGrip, const PxPaneSpec *panes, int count);
void px_destroyStatusBar(HWND bar);
PxStatusPanes *px_statusPanesOf(HWND bar);
void px_layoutStatusBar(HWND bar);
// 0 when added; the pane count plus 1 when the table is full; -1 otherwise.
int px_addStatusPane(HWND bar, int id, int width, int before);
int px_removeStatusPane(HWND bar, int id);
// A pane's width in pixels; -1 when there is no such pane.
int px_setStatusPaneWidth(HWND bar, int id, int width);
int px_setStatusPane(HWND bar, int id, const char *textOem, const char *tipOem, int flags);
// The status part that shows a pane, or -1.
int px_statusPartOf(HWND bar, int id);
std::string px_statusPaneText(HWND bar, int id);
void px_setStatusPaneText(HWND bar, int id, const char *textAnsi);
void px_setStatusText(const char *textOem);
void px_updateIndicators(HWND bar);
// While off, the indicator panes are empty; turning them on shows the keys'
// state again.
void px_setIndicatorsOff(HWND bar, bool off);
// Status layout record: int16 total size, then (id, width) pairs.
std::vector<unsigned char> px_getStatusLayout(HWND bar, int id);
// size: the record's own size, which its size field must name exactly.
bool px_setStatusLayout(HWND bar, int id, const unsigned char *record, size_t size);
