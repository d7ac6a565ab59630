// The typed input filter on a system edit control.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "inputfilter.h"

namespace {

PxEditState readState(HWND control) {
    PxEditState st;
    int len = GetWindowTextLengthA(control);
    std::vector<char> buf(static_cast<size_t>(len > 0 ? len : 0) + 1, '\0');
    GetWindowTextA(control, buf.data(), static_cast<int>(buf.size()));
    st.text.assign(buf.data());
    DWORD start = 0, end = 0;
    SendMessageA(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    st.selStart = static_cast<int>(start);
    st.selEnd = static_cast<int>(end);
    return st;
}

void apply(HWND control, const PxFilterStep &step) {
    if (step.kind == PxFilterStep::SetText) {
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text.c_str()));
        SendMessageA(control, EM_SETMODIFY, TRUE, 0);
        SendMessageA(control, EM_SETSEL, step.caret, step.caret);
    } else if (step.kind == PxFilterStep::Replace) {
        SendMessageA(control, EM_SETSEL, step.from, step.to);
        SendMessageA(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(step.text.c_str()));
    }
}

char toOem(char c) {
    char out = c;
    CharToOemBuffA(&c, &out, 1);
    return out;
}

// One character through the rule on the control as it is now; false when
// the rule refused it.
bool typeChar(PxInputFilter *f, HWND control, char c, bool overwrite) {
    if (f->oem) c = toOem(c);
    PxFilterStep step = px_filterChar(*f, readState(control), c, overwrite);
    if (step.beep) MessageBeep(MB_ICONHAND);
    if (step.kind == PxFilterStep::Refuse) return false;
    apply(control, step);
    return true;
}

bool keyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

int paste(PxInputFilter *f, HWND control, bool overwrite) {
    if (!OpenClipboard(control)) return 0;
    std::string text;
    if (HANDLE h = GetClipboardData(f->oem ? CF_OEMTEXT : CF_TEXT)) {
        if (const char *p = static_cast<const char *>(GlobalLock(h))) {
            text.assign(p, strnlen(p, GlobalSize(h)));
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    if (text.empty()) return 0;
    // The clipboard text is already in the filter's code page.
    uint8_t oem = f->oem;
    f->oem = 0;
    for (char c : text)
        if (!typeChar(f, control, c, overwrite) && f->kind != 'c') break;
    f->oem = oem;
    return 1;
}

}  // namespace

int px_inputFilterMsg(PxInputFilter *filter, HWND control, UINT message, WPARAM character, uint8_t &overwrite) {
    if (!filter) return 0;
    try {
        switch (message) {
        case WM_KEYDOWN:
            if (character != VK_INSERT || keyDown(VK_MENU) || keyDown(VK_SHIFT) || keyDown(VK_CONTROL)) return 0;
            overwrite = !overwrite;
            return 1;
        case WM_CHAR:
            if (character == '\b' || character == '\n') return 0;
            typeChar(filter, control, static_cast<char>(character), overwrite != 0);
            return 1;
        case WM_PASTE: return paste(filter, control, overwrite != 0);
        default: return 0;
        }
    } catch (const std::bad_alloc &) {
        return 1;  // the character is swallowed and nothing changes
    }
}
