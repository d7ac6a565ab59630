// The formatted-edit engine, its window host and the field hook.
#include "fmtedit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app.h"
#include "dates.h"
#include "decimal96.h"
#include "fixed.h"
#include "dialog.h"
#include "errbox.h"
#include "formats.h"
#include "panel.h"
#include "wire.h"

// ---- model ----

std::string PxFmtEditModel::text() const {
    if (!fmt_) return text_;
    // The display text is asked for at its own length: a formatter gives
    // no more than the maximum it is told.
    const char *t = fmt_->fn.text(fmt_, std::max(fmt_->fn.textLength(fmt_), 0));
    return t ? std::string(t) : std::string();
}

int PxFmtEditModel::caret() const { return fmt_ ? fmt_->fn.caretPos(fmt_) : caret_; }

bool PxFmtEditModel::hasSelection() const {
    return fmt_ ? fmt_->fn.hasSelection(fmt_) != 0 : anchor_ >= 0 && anchor_ != caret_;
}
int PxFmtEditModel::selectionStart() const {
    if (fmt_) return fmt_->fn.selectionStart(fmt_);
    return hasSelection() ? std::min(anchor_, caret_) : caret_;
}
int PxFmtEditModel::selectionEnd() const {
    if (fmt_) return fmt_->fn.selectionEnd(fmt_);
    return hasSelection() ? std::max(anchor_, caret_) : caret_;
}
bool PxFmtEditModel::isAllSelected() const {
    if (fmt_ && px_fmtVersion(fmt_) > kQvFmtEditAbove) return fmt_->fn.isAllSelected(fmt_) != 0;
    int n = static_cast<int>(text().size());
    return n > 0 && hasSelection() && selectionStart() == 0 && selectionEnd() == n;
}

bool PxFmtEditModel::putChar(int c) {
    if (fmt_) return fmt_->fn.putChar(fmt_, c) != 0;
    char ch = static_cast<char>(c);
    if (hasSelection()) {
        int s = selectionStart();
        text_.replace(static_cast<size_t>(s), static_cast<size_t>(selectionEnd() - s), 1, ch);
        caret_ = s;
    } else if (overwrite_ && caret_ < static_cast<int>(text_.size())) {
        text_[static_cast<size_t>(caret_)] = ch;
    } else {
        text_.insert(static_cast<size_t>(caret_), 1, ch);
    }
    ++caret_;
    dropSelection();
    return true;
}

bool PxFmtEditModel::deleteChar() {
    if (fmt_) return fmt_->fn.deleteChar(fmt_) != 0;
    if (hasSelection()) {
        int s = selectionStart();
        text_.erase(static_cast<size_t>(s), static_cast<size_t>(selectionEnd() - s));
        caret_ = s;
    } else if (caret_ < static_cast<int>(text_.size())) {
        text_.erase(static_cast<size_t>(caret_), 1);
    } else {
        return false;
    }
    dropSelection();
    return true;
}

bool PxFmtEditModel::deleteBack() {
    if (fmt_) return fmt_->fn.deleteBack(fmt_) != 0;
    if (hasSelection()) return deleteChar();
    if (caret_ == 0) return false;
    text_.erase(static_cast<size_t>(--caret_), 1);
    dropSelection();
    return true;
}

int PxFmtEditModel::moved(int move) const {
    int n = static_cast<int>(text_.size()), p = caret_;
    switch (move) {
    case QVFMT_START: return 0;
    case QVFMT_LEFT: return p > 0 ? p - 1 : 0;
    case QVFMT_RIGHT: return p < n ? p + 1 : n;
    case QVFMT_END: return n;
    case QVFMT_WORDLEFT:
        while (p > 0 && text_[static_cast<size_t>(p - 1)] == ' ') --p;
        while (p > 0 && text_[static_cast<size_t>(p - 1)] != ' ') --p;
        return p;
    case QVFMT_WORDRIGHT:
        while (p < n && text_[static_cast<size_t>(p)] != ' ') ++p;
        while (p < n && text_[static_cast<size_t>(p)] == ' ') ++p;
        return p;
    default: return p;
    }
}

void PxFmtEditModel::moveCaret(int move) {
    if (fmt_) {
        fmt_->fn.moveCaret(fmt_, move);
        return;
    }
    caret_ = moved(move);
    dropSelection();
}

void PxFmtEditModel::selectMove(int move) {
    if (fmt_) {
        fmt_->fn.selectMove(fmt_, move);
        return;
    }
    selectTo(moved(move));
}

void PxFmtEditModel::setCaret(int pos) {
    if (fmt_) {
        fmt_->fn.setCaret(fmt_, pos);
        return;
    }
    caret_ = std::max(0, std::min(pos, static_cast<int>(text_.size())));
    dropSelection();
}

void PxFmtEditModel::selectTo(int pos) {
    if (fmt_) {
        fmt_->fn.selectTo(fmt_, pos);
        return;
    }
    if (anchor_ < 0) anchor_ = caret_;
    caret_ = std::max(0, std::min(pos, static_cast<int>(text_.size())));
    if (anchor_ == caret_) dropSelection();
}

void PxFmtEditModel::selectAll() {
    if (fmt_) {
        if (px_fmtVersion(fmt_) > kQvFmtSelectAllAbove) {
            fmt_->fn.selectAll(fmt_);
        } else {
            fmt_->fn.moveCaret(fmt_, QVFMT_START);
            fmt_->fn.selectMove(fmt_, QVFMT_END);
        }
        return;
    }
    anchor_ = 0;
    caret_ = static_cast<int>(text_.size());
    if (caret_ == 0) dropSelection();
}

bool PxFmtEditModel::isInsertMode() const { return fmt_ ? fmt_->fn.isInsertMode(fmt_) != 0 : !overwrite_; }
void PxFmtEditModel::setInsertMode(bool insert) {
    if (fmt_) fmt_->fn.setInsertMode(fmt_, insert);
    else overwrite_ = !insert;
}
void PxFmtEditModel::showInsertMode(bool insert) {
    if (fmt_) fmt_->fn.showInsertMode(fmt_, insert);
}
uint8_t PxFmtEditModel::codePage() const {
    return fmt_ && fmt_->fn.setCodePage(fmt_, kQvFmtQuery) == kQvFmtOem ? kQvFmtOem : kQvFmtAnsi;
}
int32_t PxFmtEditModel::valueType() const {
    if (!fmt_ || px_fmtVersion(fmt_) <= kQvFmtBindTypeAbove) return 7;
    int32_t type = 7, second = -1;
    fmt_->fn.valueType(fmt_, &type, &second);
    return type;
}

bool PxFmtEditModel::getValue(PxFmtValue *v) const {
    if (fmt_) return fmt_->fn.getValue(fmt_, v) != 0;
    if (v->type == 1 && v->value) {
        int32_t n = static_cast<int32_t>(std::atol(text_.c_str()));
        std::memcpy(v->value, &n, 4);
        return true;
    }
    if (v->type == 7 && v->value && v->size > 0) {
        size_t n = std::min(text_.size(), static_cast<size_t>(v->size - 1));
        std::memcpy(v->value, text_.data(), n);
        static_cast<char *>(v->value)[n] = 0;
        return true;
    }
    return false;
}

namespace {
// Money texts of the plain model are at most this long.
constexpr size_t kMoneyText = 32;
template <class T> T load(const void *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
}  // namespace

void PxFmtEditModel::setValue(const PxFmtValue *v) {
    if (fmt_) {
        fmt_->fn.setValue(fmt_, v);
        return;
    }
    char buf[64] = "";
    const void *p = v->value;
    switch (v->type) {
    case 0: { int16_t x; std::memcpy(&x, p, 2); std::snprintf(buf, sizeof buf, "%d", x); break; }
    case 13: { uint8_t x; std::memcpy(&x, p, 1); std::snprintf(buf, sizeof buf, "%u", x); break; }
    case 1: { int32_t x; std::memcpy(&x, p, 4); std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(x)); break; }
    case 4: { double x; std::memcpy(&x, p, 8); std::snprintf(buf, sizeof buf, "%.15g", x); break; }
    case 6: FMoney(load<DBBaseFMoney>(p)).cvt2str(buf, kMoneyText + 1); break;
    case 19: FDecimal(load<DBBaseFDecimal>(p)).cvt2str(buf, kMoneyText + 1); break;
    case 9: {
        bdate d = load<bdate>(p);
        std::snprintf(buf, sizeof buf, "%04hu-%02hu-%02hu", static_cast<unsigned short>(d.year),
                      static_cast<unsigned short>(d.mon), static_cast<unsigned short>(d.day));
        break;
    }
    case 10: {
        btime t = load<btime>(p);
        std::snprintf(buf, sizeof buf, "%02hu.%02hu.%02hu.%02hu", static_cast<unsigned short>(t.hour),
                      static_cast<unsigned short>(t.min), static_cast<unsigned short>(t.sec),
                      static_cast<unsigned short>(t.hundr));
        break;
    }
    case 25: {
        std::string s = Numeric96_toStdString(load<Numeric96>(p));
        std::snprintf(buf, sizeof buf, "%s", s.c_str());
        break;
    }
    case 7: text_ = static_cast<const char *>(p); caret_ = 0; dropSelection(); return;
    default: return;  // the plain model keeps other types as they came
    }
    text_ = buf;
    caret_ = 0;
    dropSelection();
}

int PxFmtEditModel::alignment() const {
    if (!fmt_) return kQvFmtLeft;
    return fmt_->fn.alignment(fmt_, kQvFmtQuery);
}

// ---- clipboard block ----

int px_fmtEditValueSize(int32_t type) {
    switch (type) {
    case 0: return 2;
    case 1: case 9: case 10: return 4;
    case 4: case 6: case 19: return 8;
    case 13: return 1;
    case 25: return 16;
    default: return -1;
    }
}

std::vector<uint8_t> px_fmtEditWriteBlock(const PxFmtEditClip &clip) {
    int size = px_fmtEditValueSize(clip.type);
    std::vector<uint8_t> out(size >= 0 ? 4 + static_cast<size_t>(size) : 6 + clip.text.size());
    WireWriter w(out.data(), out.size());
    if (size >= 0) {
        w.u32(static_cast<uint32_t>(clip.type));
        w.bytes(clip.value, static_cast<size_t>(size));
    } else {
        w.u32(24);
        w.u8(clip.codePage);
        w.text(clip.text);
    }
    return out;
}

bool px_fmtEditReadBlock(const void *data, size_t size, PxFmtEditClip *out) {
    WireReader r(data, size);
    int32_t type = r.i32();
    if (!r.ok()) return false;
    int n = px_fmtEditValueSize(type);
    if (n >= 0) {
        const unsigned char *v = r.bytes(static_cast<size_t>(n));
        if (!v) return false;
        out->type = type;
        std::memcpy(out->value, v, static_cast<size_t>(n));
        return true;
    }
    if (type != 24) return false;
    out->type = 24;
    out->codePage = r.u8() == kQvFmtOem ? kQvFmtOem : kQvFmtAnsi;
    std::string_view t = r.text();
    if (!r.ok()) return false;
    out->text.assign(t.data(), t.size());
    return true;
}

namespace {

UINT clipFormat() {
    static UINT format = RegisterClipboardFormatA("QVFmtEdit");
    return format;
}

bool setClipData(UINT format, const void *data, size_t size) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!mem) return false;
    void *p = GlobalLock(mem);
    if (!p) {
        GlobalFree(mem);
        return false;
    }
    std::memcpy(p, data, size);
    GlobalUnlock(mem);
    if (SetClipboardData(format, mem)) return true;
    GlobalFree(mem);
    return false;
}

// The clipboard's bytes of a format (the clipboard is open).
bool clipData(UINT format, std::vector<uint8_t> *out) {
    HANDLE h = GetClipboardData(format);
    if (!h) return false;
    const void *p = GlobalLock(h);
    if (!p) return false;
    const uint8_t *b = static_cast<const uint8_t *>(p);
    out->assign(b, b + GlobalSize(h));
    GlobalUnlock(h);
    return true;
}

std::string convert(const std::string &text, uint8_t from, uint8_t to) {
    if (from == to) return text;
    return to == kQvFmtOem ? px_ansiToOem(text.c_str()) : px_oemToAnsi(text.c_str());
}

// Text of a clipboard text block, up to its terminator or its end.
std::string clipText(const std::vector<uint8_t> &bytes) {
    auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return std::string(bytes.begin(), end);
}

int textWidth(HDC dc, const std::string &s, size_t n) {
    SIZE size{};
    if (n) GetTextExtentPoint32A(dc, s.data(), static_cast<int>(n), &size);
    return size.cx;
}

// The longest prefix of s not wider than w, as its width.
int prefixWithin(HDC dc, const std::string &s, int w) {
    int best = 0;
    for (size_t i = 1; i <= s.size(); ++i) {
        int x = textWidth(dc, s, i);
        if (x > w) break;
        best = x;
    }
    return best;
}

}  // namespace

// ---- engine ----

int PxFmtEditHost::horzAlign() {
    switch (model().alignment()) {
    case kQvFmtRight: return 3;
    case kQvFmtCentre: return 2;
    default: return 1;
    }
}

void PxFmtEditHost::setRect(const RECT &outer, const RECT &margins) {
    outer_ = outer;
    margins_ = margins;
    if (margins.left + margins.right >= outer.right - outer.left) margins_.left = margins_.right = 0;
    if (margins.top + margins.bottom >= outer.bottom - outer.top) margins_.top = margins_.bottom = 0;
}

std::string PxFmtEditHost::displayText() {
    if (const char *o = overrideText()) return o;
    std::string t = model().text();
    if (isPassword()) return std::string(t.size(), '*');
    uint8_t fontPage = kQvFmtAnsi;
    LOGFONTA lf{};
    if (HFONT f = font())
        if (GetObjectA(f, sizeof lf, &lf) && lf.lfCharSet == OEM_CHARSET) fontPage = kQvFmtOem;
    return convert(t, model().codePage(), fontPage);
}

bool PxFmtEditHost::filterMsg(UINT msg, WPARAM wParam, LPARAM lParam) {
    PxFmtEditModel &m = model();
    switch (msg) {
    case WM_SETFOCUS:
        focused_ = true;
        invalidate();
        return true;
    case WM_KILLFOCUS:
        focused_ = false;
        if (caretW_ || caretH_) destroyCaret();
        caretW_ = caretH_ = 0;
        if (m.hasSelection()) invalidate();
        return true;
    case WM_CHAR: {
        if (wParam < 0x20) return false;  // control characters stay with the dialog
        if (!isReadOnly()) {
            std::string c(1, static_cast<char>(wParam));
            if (m.codePage() == kQvFmtOem) c = convert(c, kQvFmtAnsi, kQvFmtOem);
            m.putChar(static_cast<unsigned char>(c.empty() ? 0 : c[0]));
            invalidate();
            textChanged();
        }
        return true;
    }
    case WM_KEYDOWN: return key(wParam);
    case WM_LBUTTONDOWN: {
        setCapture();
        selecting_ = true;
        int pos = charAt(static_cast<short>(LOWORD(lParam)));
        if (wParam & MK_SHIFT) m.selectTo(pos);
        else m.setCaret(pos);
        invalidate();
        return true;
    }
    case WM_MOUSEMOVE:
        if (selecting_ && hasCapture()) {
            m.selectTo(charAt(static_cast<short>(LOWORD(lParam))));
            invalidate();
        }
        return true;
    case WM_LBUTTONUP:
        if (selecting_) {
            selecting_ = false;
            releaseCapture();
        }
        return true;
    case WM_LBUTTONDBLCLK:
        m.selectAll();
        invalidate();
        return true;
    case WM_COPY: copy(); return true;
    case WM_PASTE: paste(); return true;
    case WM_CUT:
        if (!isReadOnly() && copy()) {
            m.deleteChar();
            invalidate();
            textChanged();
        }
        return true;
    case WM_CLEAR:
        if (!isReadOnly()) {
            m.deleteChar();
            invalidate();
            textChanged();
        }
        return true;
    default: return false;
    }
}

bool PxFmtEditHost::key(WPARAM vk) {
    bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
    PxFmtEditModel &m = model();
    switch (vk) {
    case VK_BACK:
        if (!isReadOnly()) {
            m.deleteBack();
            invalidate();
            textChanged();
        }
        return true;
    case VK_HOME: move(QVFMT_START, shift); return true;
    case VK_END: move(QVFMT_END, shift); return true;
    case VK_LEFT: move(ctrl ? QVFMT_WORDLEFT : QVFMT_LEFT, shift); return true;
    case VK_RIGHT: move(ctrl ? QVFMT_WORDRIGHT : QVFMT_RIGHT, shift); return true;
    case VK_INSERT:
        if (ctrl) return filterMsg(WM_COPY, 0, 0);
        if (shift) return filterMsg(WM_PASTE, 0, 0);
        if (alt) return false;
        if (!m.hasSelection()) toggleInsert();
        return true;
    case VK_DELETE:
        if (shift) return filterMsg(WM_CUT, 0, 0);
        if (ctrl || alt) return false;
        return filterMsg(WM_CLEAR, 0, 0);
    case 'C': return ctrl && filterMsg(WM_COPY, 0, 0);
    case 'V': return ctrl && filterMsg(WM_PASTE, 0, 0);
    case 'X': return ctrl && filterMsg(WM_CUT, 0, 0);
    default: return false;
    }
}

void PxFmtEditHost::move(int code, bool shift) {
    if (shift) model().selectMove(code);
    else model().moveCaret(code);
    invalidate();
}

void PxFmtEditHost::toggleInsert() {
    bool insert = !model().isInsertMode();
    model().setInsertMode(insert);
    model().showInsertMode(insert);
    invalidate();
    insertModeChanged();
}

int PxFmtEditHost::charAt(int x) {
    std::string s = displayText();
    HDC dc = getDC();
    if (!dc) return 0;
    HGDIOBJ old = font() ? SelectObject(dc, font()) : nullptr;
    int at = x + scroll_ - textX_;
    size_t i = 0;
    while (i < s.size()) {
        int mid = (textWidth(dc, s, i) + textWidth(dc, s, i + 1)) / 2;
        if (at < mid) break;
        ++i;
    }
    if (old) SelectObject(dc, old);
    releaseDC(dc);
    return static_cast<int>(i);
}

bool PxFmtEditHost::copy() {
    PxFmtEditModel &m = model();
    if (!m.hasSelection() || isPassword()) return false;
    std::string t = m.text();
    size_t s = static_cast<size_t>(std::max(0, m.selectionStart()));
    size_t e = std::min(t.size(), static_cast<size_t>(std::max(0, m.selectionEnd())));
    std::string sel = s < e ? t.substr(s, e - s) : std::string();
    PxFmtEditClip clip;
    clip.codePage = m.codePage();
    clip.text = sel;
    int32_t type = m.valueType();
    int n = px_fmtEditValueSize(type);
    if (n >= 0 && m.isAllSelected()) {
        PxFmtValue v{type, clip.value, static_cast<int16_t>(n)};
        if (m.getValue(&v)) clip.type = type;
    }
    if (!OpenClipboard(clipboardOwner())) return false;
    EmptyClipboard();
    std::vector<uint8_t> block = px_fmtEditWriteBlock(clip);
    setClipData(clipFormat(), block.data(), block.size());
    setClipData(clip.codePage == kQvFmtAnsi ? CF_TEXT : CF_OEMTEXT, sel.c_str(), sel.size() + 1);
    LCID lcid = GetUserDefaultLCID();
    setClipData(CF_LOCALE, &lcid, sizeof lcid);
    CloseClipboard();
    return true;
}

bool PxFmtEditHost::typeText(const std::string &text, uint8_t codePage) {
    PxFmtEditModel &m = model();
    std::string t = convert(text, codePage, m.codePage());
    bool any = false;
    for (char c : t) {
        if (!m.putChar(static_cast<unsigned char>(c))) break;
        any = true;
    }
    return any;
}

bool PxFmtEditHost::paste() {
    if (isReadOnly()) return false;
    PxFmtEditModel &m = model();
    if (!OpenClipboard(clipboardOwner())) return false;
    bool pasted = false;
    std::vector<uint8_t> bytes;
    PxFmtEditClip clip;
    if (clipData(clipFormat(), &bytes) && px_fmtEditReadBlock(bytes.data(), bytes.size(), &clip)) {
        if (clip.type == 24) {
            pasted = typeText(clip.text, clip.codePage);
        } else if (clip.type == m.valueType()) {
            PxFmtValue v{clip.type, clip.value, static_cast<int16_t>(px_fmtEditValueSize(clip.type))};
            m.setValue(&v);
            pasted = true;
        }
    }
    if (!pasted) {
        uint8_t page = m.codePage();
        UINT first = page == kQvFmtAnsi ? CF_TEXT : CF_OEMTEXT, second = page == kQvFmtAnsi ? CF_OEMTEXT : CF_TEXT;
        if (clipData(first, &bytes)) pasted = typeText(clipText(bytes), page);
        else if (clipData(second, &bytes)) pasted = typeText(clipText(bytes), page == kQvFmtAnsi ? kQvFmtOem : kQvFmtAnsi);
        else if (clipData(CF_UNICODETEXT, &bytes)) {
            std::wstring w(bytes.size() / sizeof(wchar_t), L'\0');
            if (!w.empty()) std::memcpy(&w[0], bytes.data(), w.size() * sizeof(wchar_t));
            w.resize(std::wcslen(w.c_str()));
            UINT cp = page == kQvFmtAnsi ? CP_ACP : CP_OEMCP;
            int n = WideCharToMultiByte(cp, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
            std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
            if (n > 0) WideCharToMultiByte(cp, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
            pasted = typeText(s, page);
        }
    }
    CloseClipboard();
    if (pasted) {
        textChanged();
        invalidate();
    }
    return pasted;
}

void PxFmtEditHost::paint(HDC dc, HBRUSH brush) {
    RECT area{outer_.left + margins_.left, outer_.top + margins_.top, outer_.right - margins_.right,
              outer_.bottom - margins_.bottom};
    if (brush) FillRect(dc, &outer_, brush);
    else {
        SetBkMode(dc, OPAQUE);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &outer_, "", 0, nullptr);
    }
    if (area.right <= area.left || area.bottom <= area.top || !RectVisible(dc, &area)) return;
    PxFmtEditModel &m = model();
    HGDIOBJ oldFont = font() ? SelectObject(dc, font()) : nullptr;
    std::string s = displayText();
    int caret = std::max(0, std::min(m.caret(), static_cast<int>(s.size())));
    bool sel = m.hasSelection();
    int caretX = textWidth(dc, s, static_cast<size_t>(caret));
    SIZE wsize{};
    GetTextExtentPoint32A(dc, "W", 1, &wsize);
    int caretW = sel ? 0 : m.isInsertMode() || caret >= static_cast<int>(s.size()) ? 1
                       : textWidth(dc, s, static_cast<size_t>(caret) + 1) - caretX;
    if (!sel && !m.isInsertMode() && caret >= static_cast<int>(s.size())) caretW = wsize.cx;
    int caretH = wsize.cy;
    int a = area.right - area.left, w = textWidth(dc, s, s.size());
    if (caret == static_cast<int>(s.size()) && caretW > 1) w += caretW;
    if (w > a) {
        scroll_ = std::min(scroll_, prefixWithin(dc, s, w - a));
        if (caretX < scroll_) scroll_ = caretX;
        if (caretX + caretW - scroll_ > a) scroll_ = prefixWithin(dc, s, caretX + caretW - a);
        if (caretX + caretW - scroll_ > a) scroll_ = caretX + caretW - a;
    } else {
        scroll_ = 0;
    }
    int x = area.left - scroll_;
    if (w < a) x += horzAlign() == 2 ? (a - w) / 2 : horzAlign() == 3 ? a - w - 1 : 0;
    int y = area.top, h = area.bottom - area.top;
    if (caretH < h) y += vertAlign() == 2 ? (h - caretH) / 2 : vertAlign() == 3 ? h - caretH : 0;
    textX_ = x;
    int save = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    SetBkMode(dc, OPAQUE);
    size_t ss = sel ? static_cast<size_t>(std::max(0, m.selectionStart())) : 0;
    size_t se = sel ? std::min(s.size(), static_cast<size_t>(std::max(0, m.selectionEnd()))) : 0;
    if (ss > se) ss = se;
    TextOutA(dc, x, y, s.c_str(), static_cast<int>(s.size()));
    if (se > ss) {
        SetBkColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
        SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
        TextOutA(dc, x + textWidth(dc, s, ss), y, s.c_str() + ss, static_cast<int>(se - ss));
    }
    RestoreDC(dc, save);
    if (oldFont) SelectObject(dc, oldFont);
    if (focused_) {
        if (caretW != caretW_ || caretH != caretH_) {
            if (caretW_ || caretH_) destroyCaret();
            caretW_ = caretW;
            caretH_ = caretH;
            createCaret(std::max(caretW, 1), caretH);
        }
        if (!sel) showCaretAt(x + caretX, y);
    }
}

// ---- the window host and the field hook ----

PxFmtEditWndHost::PxFmtEditWndHost(HWND wnd, PxFormatter *formatter)
    : wnd_(wnd), font_(reinterpret_cast<HFONT>(SendMessageA(wnd, WM_GETFONT, 0, 0))), model_(formatter) {}

const PxFieldCtl *PxFmtEditWndHost::field() const {
    return reinterpret_cast<const PxFieldCtl *>(GetPropA(wnd_, "pxField"));
}

void PxFmtEditWndHost::insertModeChanged() { px_app()->overwrite = !model_.isInsertMode(); }

// A field that hides its text never shows or copies it in clear.
bool PxFmtEditWndHost::isPassword() {
    const PxFieldCtl *c = field();
    return c && (c->options & kPxPassword);
}

// Only the input kinds take edits; display and read-only fields refuse them.
bool PxFmtEditWndHost::isReadOnly() {
    const PxFieldCtl *c = field();
    if (!c) return true;
    if (GetWindowLongA(wnd_, GWL_STYLE) & ES_READONLY) return true;
    return !(c->kind == 1 || c->kind == 4);
}

namespace {

void warnOldLibrary(const char *text, const char *caption) { px_messageBox(text, caption, MB_ICONWARNING); }

}  // namespace

PxFmtEditHost *px_fmtEditAttach(HWND control, PxFormatter *formatter) {
    if (!px_fmtCanEdit(formatter, warnOldLibrary)) return nullptr;
    PxFmtEditWndHost *host = new (std::nothrow) PxFmtEditWndHost(control, formatter);
    if (!host) return nullptr;
    RECT client{}, inner{};
    GetClientRect(control, &client);
    SendMessageA(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&inner));
    RECT margins{inner.left - client.left, inner.top - client.top, client.right - inner.right,
                 client.bottom - inner.bottom};
    if (margins.left < 0 || margins.right < 0) margins.left = margins.right = 0;
    if (margins.top < 0 || margins.bottom < 0) margins.top = margins.bottom = 0;
    host->setRect(client, margins);
    if (GetFocus() == control) host->filterMsg(WM_SETFOCUS, 0, 0);
    return host;
}

void px_fmtEditDetach(PxFmtEditHost *host) { delete host; }

bool px_fmtEditFilterMsg(PxFmtEditHost *host, UINT msg, WPARAM wParam, LPARAM lParam) {
    return host && host->filterMsg(msg, wParam, lParam);
}

void px_fmtEditPaint(PxFmtEditHost *host, HDC dc, HBRUSH brush) {
    if (host) host->paint(dc, brush);
}
