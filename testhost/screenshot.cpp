#include "screenshot.h"

#include <cstdio>

namespace th {

std::set<uint32_t> saveWindowBitmap(HWND wnd, const std::string &path) {
    std::set<uint32_t> colours;
    RECT r;
    if (!GetWindowRect(wnd, &r)) return colours;
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    uint32_t *px = static_cast<uint32_t *>(bits);
    for (int i = 0; px && i < w * h; ++i) {
        colours.insert(px[i] & 0xffffff);
        px[i] |= 0xff000000u;  // opaque: viewers read the fourth byte as alpha
    }
    FILE *f = px ? std::fopen(path.c_str(), "wb") : nullptr;
    if (f) {
        BITMAPFILEHEADER fh = {0x4d42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + 4u * w * h), 0, 0,
                               static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
        std::fwrite(bits, 4, static_cast<size_t>(w) * h, f);
        std::fclose(f);
    } else {
        colours.clear();
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return colours;
}

}  // namespace th
