#include <cstdlib>
#include <cstring>

#include "app.h"
#include "labels.h"

namespace {

struct Word {
    const char *text;
    int value;
};

const Word kWeights[] = {{"thin", 100}, {"light", 300}, {"normal", 400}, {"medium", 500}, {"bold", 700}};
const Word kItalic[] = {{"italic", 1}, {"normal", 0}};
const Word kUnderline[] = {{"underline", 1}, {"normal", 0}};
const Word kStrike[] = {{"strikeout", 1}, {"normal", 0}};
const Word kCharsets[] = {{"russian", 204}, {"default", 1}, {"ansi", 0}, {"oem", 255}, {"cyrillic", 204}};
const Word kPitch[] = {{"variable", 2}, {"fixed", 1}};
const Word kFamily[] = {{"decorative", 0x50}, {"modern", 0x30}, {"roman", 0x10}, {"script", 0x40}, {"swiss", 0x20}};

template <size_t N>
bool lookup(const Word (&words)[N], const std::string &field, bool anyCase, int *value) {
    for (const Word &w : words) {
        if (anyCase ? _stricmp(field.c_str(), w.text) == 0 : field == w.text) {
            *value = w.value;
            return true;
        }
    }
    return false;
}

template <size_t N> int wordOrNumber(const Word (&words)[N], const std::string &field, bool anyCase) {
    int v;
    return lookup(words, field, anyCase, &v) ? v : std::atoi(field.c_str());
}

template <size_t N> int wordOrNothing(const Word (&words)[N], const std::string &field) {
    int v;
    return lookup(words, field, false, &v) ? v : 0;
}

const COLORREF kNamedDefaults[kPxColorCount] = {
    RGB(255, 255, 200), RGB(255, 200, 240), RGB(200, 255, 200),
    RGB(220, 220, 220), RGB(100, 255, 255), RGB(220, 200, 255),
};

void setFont(LOGFONTA &f, const char *face, int height, int width, int weight, int charset) {
    f = LOGFONTA{};
    f.lfHeight = height;
    f.lfWidth = width;
    f.lfWeight = weight;
    f.lfCharSet = static_cast<BYTE>(charset);
    lstrcpynA(f.lfFaceName, face, LF_FACESIZE);
}

}  // namespace

int px_parseFont(LOGFONTA *font, const char *text) {
    if (!font || !text) return 0;
    const char *p = text;
    for (int n = 0; n < 10; ++n) {
        while (*p == ' ') ++p;
        const char *end = std::strchr(p, ',');
        std::string field(p, end ? static_cast<size_t>(end - p) : std::strlen(p));
        switch (n) {
        case 0:
            *font = LOGFONTA{};
            font->lfCharSet = DEFAULT_CHARSET;
            lstrcpynA(font->lfFaceName, field.c_str(), LF_FACESIZE);
            break;
        case 1: font->lfHeight = std::atoi(field.c_str()); break;
        case 2: font->lfWeight = wordOrNumber(kWeights, field, false); break;
        case 3: font->lfWidth = std::atoi(field.c_str()); break;
        case 4: font->lfItalic = static_cast<BYTE>(wordOrNumber(kItalic, field, false)); break;
        case 5: font->lfUnderline = static_cast<BYTE>(wordOrNumber(kUnderline, field, false)); break;
        case 6: font->lfStrikeOut = static_cast<BYTE>(wordOrNumber(kStrike, field, false)); break;
        case 7: font->lfCharSet = static_cast<BYTE>(wordOrNumber(kCharsets, field, true)); break;
        case 8: font->lfPitchAndFamily |= static_cast<BYTE>(wordOrNothing(kPitch, field)); break;
        case 9: font->lfPitchAndFamily |= static_cast<BYTE>(wordOrNothing(kFamily, field)); break;
        }
        if (!end) break;
        p = end + 1;
    }
    return 0;
}

HFONT px_createFont(LOGFONTA *font) {
    if (font->lfHeight > 0) {
        HDC dc = GetDC(nullptr);
        font->lfHeight = -MulDiv(font->lfHeight, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(nullptr, dc);
    }
    return CreateFontIndirectA(font);
}

bool px_measureFont(HDC dc, LOGFONTA *font, TEXTMETRICA *tm) {
    HFONT f = px_createFont(font);
    if (!f) return false;
    HGDIOBJ old = SelectObject(dc, f);
    bool ok = GetTextMetricsA(dc, tm) != 0;
    if (ok && tm->tmAveCharWidth != tm->tmMaxCharWidth) {
        int widest = 0;
        for (unsigned c = static_cast<BYTE>(tm->tmFirstChar); c <= static_cast<BYTE>(tm->tmLastChar); ++c) {
            int w = 0;
            if (GetCharWidth32A(dc, c, c, &w) && w > widest) widest = w;
        }
        if (widest > 0) tm->tmMaxCharWidth = widest;
    }
    SelectObject(dc, old);
    DeleteObject(f);
    return ok;
}

bool px_defaultFonts(PxApp *app) {
    setFont(app->fonts[kPxTextFont], "Courier New", -16, 0, 700, 204);
    setFont(app->fonts[kPxFieldFont], "Courier New", -12, 0, 400, 204);
    setFont(app->fonts[kPxDisableFont], "Courier New", -12, 0, 700, 204);
    setFont(app->fonts[kPxListFont], "Courier New", -12, 0, 400, 204);
    setFont(app->fonts[kPxHeaderFont], "Courier New", -12, 0, 700, 204);
    setFont(app->fonts[kPxEditorFont], "Terminal", -12, 8, 400, 255);
    return true;
}

bool px_defaultColors(PxApp *app) {
    std::memcpy(app->colors, kNamedDefaults, sizeof app->colors);
    for (int i = 0; i < kPxAttrCount; ++i) {
        app->attrText[i] = GetSysColor(COLOR_WINDOWTEXT);
        app->attrBack[i] = GetSysColor(COLOR_WINDOW);
    }
    const struct {
        int attr;
        COLORREF c;
    } texts[] = {{18, RGB(255, 255, 0)}, {19, RGB(255, 255, 255)}, {241, RGB(0, 0, 255)},
                 {242, RGB(0, 128, 0)},  {243, RGB(0, 0, 128)},    {244, RGB(240, 0, 240)},
                 {246, RGB(128, 128, 0)}, {248, RGB(112, 112, 112)}},
      backs[] = {{18, RGB(112, 112, 112)}, {19, RGB(224, 0, 0)}, {247, RGB(240, 240, 224)}};
    for (const auto &t : texts) app->attrText[t.attr] = t.c;
    for (const auto &b : backs) app->attrBack[b.attr] = b.c;
    return true;
}

bool px_makeBrushes(PxApp *app) {
    HDC dc = GetDC(nullptr);
    bool palettes = GetDeviceCaps(dc, NUMCOLORS) != -1 && (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
    ReleaseDC(nullptr, dc);
    if (palettes) {
        struct {
            WORD version, count;
            PALETTEENTRY entries[kPxColorCount];
        } lp = {0x300, kPxColorCount, {}};
        for (int i = 0; i < kPxColorCount; ++i)
            lp.entries[i] = PALETTEENTRY{GetRValue(app->colors[i]), GetGValue(app->colors[i]),
                                         GetBValue(app->colors[i]), 0};
        app->palette = CreatePalette(reinterpret_cast<LOGPALETTE *>(&lp));
    }
    for (int i = 0; i < kPxColorCount; ++i) {
        app->brushes[i] = CreateSolidBrush(app->palette ? PALETTEINDEX(i) : app->colors[i]);
        if (!app->brushes[i]) {
            px_freeBrushes(app);
            return false;
        }
    }
    return true;
}

void px_freeBrushes(PxApp *app) {
    for (HBRUSH &b : app->brushes) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
    if (app->palette) DeleteObject(app->palette);
    app->palette = nullptr;
}

int px_onPaletteChanged(HWND wnd, HWND changer) {
    PxApp *app = px_app();
    if (!app || !app->palette || changer == wnd) return 0;
    HDC dc = GetDC(wnd);
    HPALETTE old = SelectPalette(dc, app->palette, TRUE);
    RealizePalette(dc);
    UpdateColors(dc);
    SelectPalette(dc, old, TRUE);
    ReleaseDC(wnd, dc);
    return 1;
}

int px_onQueryNewPalette(HWND wnd) {
    PxApp *app = px_app();
    if (!app || !app->palette) return 0;
    HDC dc = GetDC(wnd);
    HPALETTE old = SelectPalette(dc, app->palette, FALSE);
    RealizePalette(dc);
    SelectPalette(dc, old, TRUE);
    ReleaseDC(wnd, dc);
    InvalidateRect(wnd, nullptr, TRUE);
    UpdateWindow(wnd);
    return 1;
}

std::string px_oemToAnsi(const char *text) {
    std::string s = text ? text : "";
    if (!s.empty()) OemToCharBuffA(s.c_str(), &s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string px_ansiToOem(const char *text) {
    std::string s = text ? text : "";
    if (!s.empty()) CharToOemBuffA(s.c_str(), &s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::string px_ansi(const wchar_t *text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &s[0], n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n - 1));
    return s;
}
