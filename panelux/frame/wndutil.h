// Small operations over native windows shared by the link layer, the frame
// and the dialogs.
#pragma once

#include <windows.h>

HWND px_curFrameWnd();
HWND px_curChildWnd();
// The record on a window's GWLP_USERDATA; a field or tab control gives its
// parent's record.
void *px_wndRecordOf(HWND wnd);
bool px_isActiveChild(const void *object, int kind);
void px_activateWnd(HWND wnd, bool on);
bool px_focusIfForeground(HWND wnd);
void px_setWndStyles(HWND wnd, DWORD style, DWORD exStyle);
bool px_fitClientArea(HWND wnd, RECT *rect, UINT flags);
bool px_moveWndBy(HWND wnd, int dx, int dy, UINT flags);
bool px_sizeWndBy(HWND wnd, int dx, int dy, UINT flags);
// Shortens text until it fits width pixels, ending it with the ellipsis
// (byte 133) when anything was dropped; see the .cpp for length and saved.
char *px_fitText(HDC dc, char *text, int width, int *length, char *saved);
