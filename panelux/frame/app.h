// formkit's one application record: settings from panelux.ini, fonts and
// colours, grid steps, the top-level window list and the hook handles. It
// exists from the first client connection to the last one's close.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "appdata.h"
#include "ringlist.h"
#include "zam_ext.h"

enum PxFontIndex : int {
    kPxTextFont,
    kPxFieldFont,
    kPxDisableFont,
    kPxListFont,
    kPxHeaderFont,
    kPxEditorFont,
    kPxFontCount
};

enum : int { kPxColorCount = 6, kPxAttrCount = 256 };

struct PxApp {
    TAppObj *appObj = nullptr;
    std::string appName, caption, text3, text4;  // request 3, OEM
    PxAppData appData;                           // panelux.dat of appName
    HINSTANCE instance = nullptr;
    int showCmd = SW_SHOWDEFAULT;
    const char *commandLine = nullptr;
    char frameIconPath[MAX_PATH] = {};
    HICON largeIcon = nullptr, smallIcon = nullptr;
    bool largeIconShared = false;
    std::vector<std::string> classList;  // classes this record registered
    int edgeType = 2;
    uint8_t edgeDisable = 1, edgeReadOnly = 1;
    int editorThumbMode = 1;
    int menuLoadingMode = 1;
    int oldWindows = 0;
    int sizeMoving = 0;
    int scrollUpdateOff = 0;
    uint8_t overwrite = 0;
    int overwrite2 = 0;
    LOGFONTA fonts[kPxFontCount] = {};
    uint8_t oemFont[kPxFontCount] = {};
    int textCharW = 1, textLineH = 1;
    int fieldCharW = 1, fieldLineH = 1;
    int editorCharW = 1, editorLineH = 1;
    int listAveCharW = 1;
    int stepX = 0, stepY = 0;
    HPALETTE palette = nullptr;
    COLORREF colors[kPxColorCount] = {};
    HBRUSH brushes[kPxColorCount] = {};
    COLORREF attrText[kPxAttrCount] = {}, attrBack[kPxAttrCount] = {};
    RingList topWindows = {};
    HIMAGELIST imageList = nullptr;
    HHOOK hookCallWnd = nullptr, hookCallWndRet = nullptr;
};

// The record, or null outside a client connection.
PxApp *px_app();

// Builds the record and reads panelux.ini; false when a record exists or
// fonts and colours cannot be set up (nothing is left behind then).
bool px_loadSettings(TAppObj *appObj, HINSTANCE instance);
void px_freeSettings();
// panelux.ini's key callback; always 0 so the whole file is read.
int px_settingsKey(const char *name, const char *value, void *context);
// "file.ico", "#n" (the executable's resource n) or "#n@module" (loaded as
// a data file, never run); null when there is no such icon.
HICON px_loadIcon(const char *description, int width, int height, UINT flags);
// Grid steps from the measured fonts, for the STEPX and STEPY settings.
void px_settleGridSteps(PxApp *app);

// Fonts and colours.
int px_parseFont(LOGFONTA *font, const char *text);
HFONT px_createFont(LOGFONTA *font);
bool px_measureFont(HDC dc, LOGFONTA *font, TEXTMETRICA *tm);
bool px_defaultFonts(PxApp *app);
bool px_defaultColors(PxApp *app);
bool px_makeBrushes(PxApp *app);
void px_freeBrushes(PxApp *app);
int px_onPaletteChanged(HWND wnd, HWND changer);
int px_onQueryNewPalette(HWND wnd);

// OEM server text to the Windows code page for display, unless the font
// has the OEM character set, and back.
std::string px_oemToAnsi(const char *text);
std::string px_ansiToOem(const char *text);
// A fixed message of the module in the Windows code page.
std::string px_ansi(const wchar_t *text);
