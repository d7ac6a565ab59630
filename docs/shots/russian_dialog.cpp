// The picture of a formkit dialog with Russian texts that the README shows
// (docs/formkit-dialog-russian.png, made from the bitmap this test saves by
// scripts/shots): texts the server sends in code page 866 and a field
// marked as already in the Windows code page 1251 show the same letters.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "descbuilder.h"
#include "formkitfix.h"
#include "screenshot.h"

namespace {

std::string inCodePage(const std::wstring &text, unsigned codePage) {
    char buf[512];
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), buf, sizeof buf, nullptr, nullptr);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}
std::string oem(const std::wstring &text) { return inCodePage(text, 866); }

std::wstring shown(HWND w) {
    wchar_t buf[256] = {};
    GetWindowTextW(w, buf, 256);
    return buf;
}

DescField field(int column, int row, int width, const std::string &value, int kind = 1) {
    DescField f;
    f.kind = static_cast<uint8_t>(kind);
    f.type = 7;
    f.length = 30;
    f.column = static_cast<int8_t>(column), f.row = static_cast<int8_t>(row), f.width = static_cast<int8_t>(width);
    f.value = textValue(value);
    return f;
}

HWND dialogWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND w, LPARAM p) CALLBACK -> BOOL {
        HWND client = FindWindowExA(w, nullptr, "pxClientWnd", nullptr);
        HWND d = client ? FindWindowExA(client, nullptr, "pxDialogWnd", nullptr) : nullptr;
        if (d) *reinterpret_cast<HWND *>(p) = d;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

struct RussianDialog : FormkitTest {};

TEST_F(RussianDialog, TextsInBothCodePagesShowTheSameLetters) {
    startModule();
    openFrame(60, 16);
    Desc d;
    d.owner1 = 88;
    d.left = 2, d.top = 1, d.right = 46, d.bottom = 11;
    d.caption = oem(L"Карточка клиента");
    d.boxes = {{1, 1, 43, 5}};
    d.texts = {{{3, 1}, oem(L" Клиент ")}, {{3, 2}, oem(L"Фамилия:")}, {{3, 3}, oem(L"Город:")},
               {{3, 4}, oem(L"Примечание:")}};
    DescField city = field(16, 3, 20, inCodePage(L"Санкт-Петербург", 1251));
    city.options = 0x80000000;  // already in the Windows code page
    DescField ok = field(10, 7, 10, oem(L" ~Записать "), 3), cancel = field(26, 7, 10, oem(L" ~Отмена "), 3);
    d.fields = {field(16, 2, 20, oem(L"Иванов")), city, field(16, 4, 20, oem(L"ёжик № 5")), ok, cancel};
    ASSERT_EQ(4, m.message(23, withDesc(th::Bytes(), d)));
    ASSERT_EQ(0, replyInt());
    HWND dlg = dialogWindow();
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(L"Карточка клиента", shown(dlg));
    EXPECT_EQ(L"Клиент", shown(GetDlgItem(dlg, 256)));
    EXPECT_EQ(L"Фамилия:", shown(GetDlgItem(dlg, 512)));
    EXPECT_EQ(L"Иванов", shown(GetDlgItem(dlg, 768)));
    EXPECT_EQ(L"Санкт-Петербург", shown(GetDlgItem(dlg, 769)));
    EXPECT_EQ(L"ёжик № 5", shown(GetDlgItem(dlg, 770)));
    EXPECT_EQ(L"&Записать", shown(GetDlgItem(dlg, 771)));
    SetForegroundWindow(GetAncestor(dlg, GA_ROOT));
    RedrawWindow(GetAncestor(dlg, GA_ROOT), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    H().pump();
    EXPECT_GT(th::saveWindowBitmap(dlg, "formkit-dialog-russian.bmp").size(), 4u);
    m.message(29, th::Bytes().i32(88));
}

}  // namespace
