// The formatted edit: a single-line editor that keeps its text in the
// field's formatter (or a plain built-in model), draws itself and trades
// the clipboard in the private "QVFmtEdit" format beside the text formats.
// Written against an abstract host so the window side can be replaced.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "qvformat.h"

// The text model: the formatter's entries when there is one, else the
// plain work on a string.
class PxFmtEditModel {
public:
    explicit PxFmtEditModel(PxFormatter *formatter = nullptr) : fmt_(formatter) {}
    PxFormatter *formatter() const { return fmt_; }

    std::string text() const;
    int caret() const;
    bool hasSelection() const;
    int selectionStart() const;
    int selectionEnd() const;
    bool isAllSelected() const;
    bool putChar(int c);
    bool deleteChar();
    bool deleteBack();
    void moveCaret(int move);
    void selectMove(int move);
    void setCaret(int pos);
    void selectTo(int pos);
    void selectAll();
    bool isInsertMode() const;
    void setInsertMode(bool insert);
    void showInsertMode(bool insert);
    uint8_t codePage() const;  // kQvFmtOem or kQvFmtAnsi
    int32_t valueType() const;
    bool getValue(PxFmtValue *value) const;
    void setValue(const PxFmtValue *value);
    int alignment() const;  // kQvFmtRight, kQvFmtLeft or kQvFmtCentre

private:
    int moved(int move) const;
    void dropSelection() { anchor_ = -1; }

    PxFormatter *fmt_;
    std::string text_;
    int caret_ = 0, anchor_ = -1;
    bool overwrite_ = false;
};

// Bytes of a typed value in the clipboard block, or -1 for types written as text.
int px_fmtEditValueSize(int32_t type);

// The "QVFmtEdit" clipboard block.
struct PxFmtEditClip {
    int32_t type = 24;
    uint8_t value[16] = {};  // typed values
    uint8_t codePage = kQvFmtAnsi;  // type 24
    std::string text;                // type 24
};
std::vector<uint8_t> px_fmtEditWriteBlock(const PxFmtEditClip &clip);
// False for a block too short for its value or with an unterminated text.
bool px_fmtEditReadBlock(const void *data, size_t size, PxFmtEditClip *out);

struct PxFmtEditHost {
public:
    virtual ~PxFmtEditHost() = default;
    virtual PxFmtEditModel &model() = 0;
    virtual HFONT font() = 0;
    virtual HDC getDC() = 0;
    virtual void releaseDC(HDC dc) = 0;
    virtual void invalidate() = 0;
    virtual void createCaret(int width, int height) = 0;
    virtual void showCaretAt(int x, int y) = 0;
    virtual void destroyCaret() = 0;
    virtual void setCapture() = 0;
    virtual bool hasCapture() = 0;
    virtual void releaseCapture() = 0;
    virtual void textChanged() {}
    virtual void insertModeChanged() {}
    virtual const char *overrideText() { return nullptr; }
    virtual bool isPassword() { return false; }
    virtual bool isReadOnly() { return false; }
    virtual bool isShiftUp() { return true; }
    virtual int horzAlign();
    virtual int vertAlign() { return 2; }
    // The window that owns the clipboard while copying.
    virtual HWND clipboardOwner() { return nullptr; }

    void setRect(const RECT &outer, const RECT &margins);
    // Runs one of the twelve messages; false for others and unhandled keys.
    bool filterMsg(UINT msg, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc, HBRUSH brush);
    std::string displayText();
    bool copy();
    bool paste();

private:
    bool key(WPARAM vk);
    void move(int code, bool shift);
    void toggleInsert();
    int charAt(int x);
    bool typeText(const std::string &text, uint8_t codePage);

    RECT outer_{}, margins_{};
    int caretW_ = 0, caretH_ = 0;
    bool selecting_ = false, focused_ = false;
    int scroll_ = 0, textX_ = 0;
};

struct PxFieldCtl;

// The host of a formatted edit field's control window.
struct PxFmtEditWndHost : PxFmtEditHost {
public:
    PxFmtEditWndHost(HWND wnd, PxFormatter *formatter);
    PxFmtEditModel &model() override { return model_; }
    HFONT font() override { return font_; }
    HDC getDC() override { return GetDC(wnd_); }
    void releaseDC(HDC dc) override { ReleaseDC(wnd_, dc); }
    void invalidate() override { InvalidateRect(wnd_, nullptr, TRUE); }
    void createCaret(int width, int height) override { CreateCaret(wnd_, nullptr, width, height); }
    void showCaretAt(int x, int y) override {
        SetCaretPos(x, y);
        ShowCaret(wnd_);
    }
    void destroyCaret() override { DestroyCaret(); }
    void setCapture() override { SetCapture(wnd_); }
    bool hasCapture() override { return GetCapture() == wnd_; }
    void releaseCapture() override { ReleaseCapture(); }
    void insertModeChanged() override;
    bool isPassword() override;
    bool isReadOnly() override;
    bool isShiftUp() override { return GetKeyState(VK_SHIFT) >= 0; }
    HWND clipboardOwner() override { return wnd_; }

private:
    const PxFieldCtl *field() const;
    HWND wnd_;
    HFONT font_;
    PxFmtEditModel model_;
};

// Runs one message through the field's engine; false lets the control's own procedure continue.
bool px_fmtEditFilterMsg(PxFmtEditHost *host, UINT msg, WPARAM wParam, LPARAM lParam);
void px_fmtEditPaint(PxFmtEditHost *host, HDC dc, HBRUSH brush);
