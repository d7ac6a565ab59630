// Requests 204 and 205: text to and from the clipboard, with the editor mode
// kept beside it in the "QvEditor" format.
#include <cstring>

#include <windows.h>

#include "handlers.h"
#include "records.h"

namespace {

// Clipboard text longer than this is not returned.
constexpr size_t kClipTextMax = 8192;
constexpr size_t kGetHeader = 9;
enum : int32_t { kClipTooLong = -2, kClipNone = -1 };

UINT editorFormat() {
    static UINT id;
    if (!id) id = RegisterClipboardFormatA("QvEditor");
    return id;
}

UINT textFormat(uint8_t kind) { return kind ? CF_TEXT : CF_OEMTEXT; }

class OpenClipboardScope {
public:
    OpenClipboardScope() : open_(OpenClipboard(nullptr) != FALSE) {}
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    bool ok() const { return open_; }

private:
    bool open_;
};

// A global memory block, freed unless the clipboard took it.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t size) : h_(GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~GlobalBlock() {
        if (h_) GlobalFree(h_);
    }
    GlobalBlock(const GlobalBlock &) = delete;
    GlobalBlock &operator=(const GlobalBlock &) = delete;
    bool ok() const { return h_ != nullptr; }
    bool fill(const void *data, size_t n, bool terminate) {
        void *p = GlobalLock(h_);
        if (!p) return false;
        if (n) std::memcpy(p, data, n);
        if (terminate) static_cast<char *>(p)[n] = 0;
        GlobalUnlock(h_);
        return true;
    }
    bool give(UINT format) {
        if (!SetClipboardData(format, h_)) return false;
        h_ = nullptr;
        return true;
    }

private:
    HGLOBAL h_;
};

bool putValue(UINT format, uint32_t value) {
    unsigned char bytes[4];
    WireWriter w(bytes, sizeof bytes);
    w.u32(value);
    GlobalBlock b(sizeof bytes);
    return b.ok() && b.fill(bytes, sizeof bytes, false) && b.give(format);
}

bool setText(uint8_t mode, uint8_t kind, const unsigned char *text, size_t count) {
    if (!editorFormat()) return false;
    OpenClipboardScope clip;
    if (!clip.ok() || !EmptyClipboard()) return false;
    GlobalBlock block(count + 1);
    if (!block.ok()) return false;
    if (mode != 1 && mode != 4 && !putValue(editorFormat(), mode)) return false;
    if (!block.fill(text, count, true)) return false;
    putValue(CF_LOCALE, GetUserDefaultLCID());
    return block.give(textFormat(kind));
}

uint8_t editorMode() {
    HANDLE h = editorFormat() ? GetClipboardData(editorFormat()) : nullptr;
    if (!h || GlobalSize(h) < 1) return 1;
    const void *p = GlobalLock(h);
    if (!p) return 1;
    uint8_t mode = *static_cast<const uint8_t *>(p);
    GlobalUnlock(h);
    return mode;
}

int getReply(const TcRequest &req, int32_t status, uint8_t mode, const char *text, size_t length) {
    WireWriter w = req.writer();
    w.i32(status);
    w.i32(status == 0 ? static_cast<int32_t>(length + 1) : 0);
    w.u8(status == 0 ? mode : 0);
    if (status == 0) {
        w.bytes(text, length);
        w.u8(0);
    }
    return tc_replyLength(w);
}

}  // namespace

int tc_clipSet(const TcRequest &req) {
    TcClipSetRecord rec;
    bool ok = tc_readClipSet(req.data, req.length, rec) &&
              setText(rec.mode, rec.kind, reinterpret_cast<const unsigned char *>(rec.text.data()), rec.text.size());
    return tc_replyInt(req, ok ? 0 : -1);
}

int tc_clipGet(const TcRequest &req) {
    uint8_t kind = 0;
    bool ok = tc_readClipGet(req.data, req.length, kind);
    UINT format = textFormat(kind);
    if (!ok || !IsClipboardFormatAvailable(format)) return getReply(req, kClipNone, 0, nullptr, 0);
    OpenClipboardScope clip;
    HANDLE h = clip.ok() ? GetClipboardData(format) : nullptr;
    const char *p = h ? static_cast<const char *>(GlobalLock(h)) : nullptr;
    if (!p) return getReply(req, kClipNone, 0, nullptr, 0);
    // Another program's text is read no further than its block.
    size_t length = strnlen(p, GlobalSize(h));
    uint8_t mode = editorMode();
    bool fits = length <= kClipTextMax && kGetHeader + length + 1 <= req.replyCapacity;
    int n = fits ? getReply(req, 0, mode, p, length) : getReply(req, kClipTooLong, 0, nullptr, 0);
    GlobalUnlock(h);
    return n;
}
