#include "app.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "datafile.h"
#include "labels.h"
#include "registry.h"
#include "settings.h"

namespace {

std::unique_ptr<PxApp> g_app;

// The leading decimal number of a value, 0 when there is none.
int leadingInt(const char *value) {
    long v = std::strtol(value, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

int oldWindowsFlag() {
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&vi)) return 1;
#pragma GCC diagnostic pop
    return (vi.dwMajorVersion > 4 || (vi.dwMajorVersion == 4 && vi.dwMinorVersion >= 90)) ? 0 : 1;
}

const char *const kFontKeys[kPxFontCount] = {"TEXTFONT", "FIELDFONT", "DISABLEFONT",
                                             "LISTFONT", "HEADERFONT", "EDITORFONT"};
const char *const kColorKeys[kPxColorCount] = {"MES_COLOR", "RMES_COLOR", "HLP_COLOR",
                                               "MENU_COLOR", "COM_COLOR", "SCRL_COLOR"};

void loadIcons(PxApp *app) {
    if (app->frameIconPath[0]) {
        app->largeIcon = px_loadIcon(app->frameIconPath, GetSystemMetrics(SM_CXICON),
                                     GetSystemMetrics(SM_CYICON), 0);
        if (app->largeIcon)
            app->smallIcon = px_loadIcon(app->frameIconPath, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), 0);
    }
    if (!app->largeIcon) {
        app->largeIcon = static_cast<HICON>(LoadImageA(app->instance, MAKEINTRESOURCEA(102), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXICON),
                                                       GetSystemMetrics(SM_CYICON), 0));
        app->smallIcon = static_cast<HICON>(LoadImageA(app->instance, MAKEINTRESOURCEA(102), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0));
    }
    if (!app->largeIcon) {
        // The system's icon is shared: it is never destroyed.
        app->largeIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
        app->largeIconShared = true;
    }
}

void loadImageList(PxApp *app) {
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageA(app->instance, MAKEINTRESOURCEA(101), IMAGE_BITMAP, 0, 0,
                                                  LR_CREATEDIBSECTION | LR_LOADMAP3DCOLORS));
    if (!bmp) return;
    app->imageList = ImageList_Create(16, 16, ILC_MASK | ILC_COLOR4, 3, 3);
    if (app->imageList) ImageList_Add(app->imageList, bmp, nullptr);
    DeleteObject(bmp);
}

void measureFonts(PxApp *app) {
    HDC dc = GetDC(nullptr);
    for (int i = 0; i < kPxFontCount; ++i) {
        TEXTMETRICA tm = {};
        if (!px_measureFont(dc, &app->fonts[i], &tm)) continue;
        app->oemFont[i] = tm.tmCharSet == OEM_CHARSET ? 1 : 0;
        // Every later division is by these: never below one pixel.
        int w = tm.tmMaxCharWidth > 0 ? tm.tmMaxCharWidth : 1;
        int h = tm.tmHeight + tm.tmExternalLeading > 0 ? tm.tmHeight + tm.tmExternalLeading : 1;
        switch (i) {
        case kPxTextFont: app->textCharW = w, app->textLineH = h; break;
        case kPxFieldFont: app->fieldCharW = w, app->fieldLineH = h; break;
        case kPxEditorFont: app->editorCharW = w, app->editorLineH = h; break;
        case kPxListFont: app->listAveCharW = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 1; break;
        default: break;
        }
    }
    ReleaseDC(nullptr, dc);
}

}  // namespace

PxApp *px_app() { return g_app.get(); }

void px_settleGridSteps(PxApp *app) {
    switch (app->stepX) {
    case 0: app->stepX = app->textCharW > app->fieldCharW ? app->textCharW : app->fieldCharW; break;
    case -1: app->stepX = app->textCharW; break;
    case -2: app->stepX = app->fieldCharW; break;
    default: break;
    }
    switch (app->stepY) {
    case 0: app->stepY = app->textLineH > app->fieldLineH + 5 ? app->textLineH : app->fieldLineH + 5; break;
    case -1: app->stepY = app->textLineH; break;
    case -2: app->stepY = app->fieldLineH + 5; break;
    default: break;
    }
    // A step is a divisor of every grid conversion.
    if (app->stepX < 1) app->stepX = 1;
    if (app->stepY < 1) app->stepY = 1;
}

int px_settingsKey(const char *name, const char *value, void *context) {
    PxApp *app = static_cast<PxApp *>(context);
    if (!app || !name || !value) return 0;
    std::string key = name;
    if (key == "STEPX") app->stepX = leadingInt(value);
    else if (key == "STEPY") app->stepY = leadingInt(value);
    else if (key == "FRAMEICON") lstrcpynA(app->frameIconPath, value, sizeof app->frameIconPath);
    else if (key == "EDGETYPE") app->edgeType = leadingInt(value);
    else if (key == "EDGEDISABLE") app->edgeDisable = leadingInt(value) != 0;
    else if (key == "EDGEREADONLY") app->edgeReadOnly = leadingInt(value) != 0;
    else if (key == "EDITORTHUMBMODE") app->editorThumbMode = leadingInt(value);
    else if (key == "MENULOADINGMODE") app->menuLoadingMode = leadingInt(value);
    for (int i = 0; i < kPxFontCount; ++i)
        if (key == kFontKeys[i]) px_parseFont(&app->fonts[i], value);
    for (int i = 0; i < kPxColorCount; ++i) {
        uint32_t c;
        if (key == kColorKeys[i] && px_parseColor(&c, value) == 0) app->colors[i] = c;
    }
    return 0;
}

HICON px_loadIcon(const char *description, int width, int height, UINT flags) {
    if (!description || !*description) return nullptr;
    if (description[0] != '#')
        return static_cast<HICON>(LoadImageA(nullptr, description, IMAGE_ICON, width, height, flags | LR_LOADFROMFILE));
    char *end = nullptr;
    unsigned long n = std::strtoul(description + 1, &end, 10) & 0xffff;
    if (n == 0) return nullptr;
    HMODULE from = GetModuleHandleA(nullptr);
    HMODULE loaded = nullptr;
    if (end && *end == '@') {
        from = GetModuleHandleA(end + 1);
        if (!from) {
            // Only its resources are wanted: the module is mapped as data,
            // so none of its code runs.
            loaded = LoadLibraryExA(end + 1, nullptr, LOAD_LIBRARY_AS_DATAFILE);
            if (!loaded) return nullptr;
            from = loaded;
        }
    }
    HICON icon = static_cast<HICON>(LoadImageA(from, MAKEINTRESOURCEA(n), IMAGE_ICON, width, height, flags));
    if (loaded) FreeLibrary(loaded);
    return icon;
}

bool px_loadSettings(TAppObj *appObj, HINSTANCE instance) {
    if (g_app) return false;
    std::unique_ptr<PxApp> app(new (std::nothrow) PxApp);
    if (!app) return false;
    app->appObj = appObj;
    app->instance = instance ? instance : GetModuleHandleA(nullptr);
    app->commandLine = GetCommandLineA();
    app->oldWindows = oldWindowsFlag();
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    if (si.dwFlags & STARTF_USESHOWWINDOW) app->showCmd = si.wShowWindow;
    if (!px_defaultFonts(app.get()) || !px_defaultColors(app.get())) return false;
    ring_init(&app->topWindows, kRingFront | kRingNoDispose, 0);
    cfg_readFile("panelux.ini", px_settingsKey, app.get(), ".");
    loadIcons(app.get());
    loadImageList(app.get());
    if (!px_makeBrushes(app.get())) {
        if (app->imageList) ImageList_Destroy(app->imageList);
        return false;
    }
    measureFonts(app.get());
    px_settleGridSteps(app.get());
    g_app = std::move(app);
    return true;
}

void px_freeSettings() {
    if (!g_app) return;
    PxApp *app = g_app.get();
    px_saveAppData(app->appData, app->appName.c_str());
    px_freeBrushes(app);
    // A class keeps pointing at its icons until it is unregistered.
    bool classesGone = px_unregisterClasses();
    if (classesGone) {
        if (app->largeIcon && !app->largeIconShared) DestroyIcon(app->largeIcon);
        if (app->smallIcon) DestroyIcon(app->smallIcon);
    }
    if (app->imageList) {
        ImageList_RemoveAll(app->imageList);
        ImageList_Destroy(app->imageList);
    }
    g_app.reset();
}
