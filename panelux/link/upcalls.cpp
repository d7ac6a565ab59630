#include "upcalls.h"

#include <cstdio>
#include <cstring>

#include "wire.h"
#include "zam_entry.h"

namespace {

int g_curObj = -1;

enum : int { kMenuBlob = 100, kSubmenu, kMenuQuery, kHelp, kNotify, kColumnShow, kLayoutChanged, kColumnMove,
             kDlgCallback };

TAppObj *app() { return zam_host().app; }

// One transaction; the reply (host-owned) copied out, false when the host
// made no buffer or gave no reply.
bool transact(int number, int code, const WireWriter &payload, const unsigned char *bytes,
              std::vector<unsigned char> *reply) {
    TAppObj *a = app();
    if (!a) return false;
    int size = static_cast<int>(payload.size());
    char *buf = a->fn->getSendBuff(a, size, px_upcallTable(number).c_str(), code);
    if (!buf) return false;
    std::memcpy(buf, bytes, static_cast<size_t>(size));
    char *answer = a->fn->transactMessage(a, buf, &size);
    if (!answer || size < 0) return false;
    reply->assign(answer, answer + size);
    return true;
}

// Upcalls 102 to 108: the answer is one int32, only from a reply of exactly
// four bytes.
int ask(int number, int code, const WireWriter &w, const unsigned char *bytes, int failure) {
    std::vector<unsigned char> reply;
    if (!transact(number, code, w, bytes, &reply) || reply.size() != 4) return failure;
    WireReader r(reply.data(), reply.size());
    return r.i32();
}

}  // namespace

int px_curObjNum() { return g_curObj; }
void px_setCurObjNum(int number) { g_curObj = number; }

std::string px_upcallTable(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s#%d", "PXTBL", number);
    return name;
}

bool px_upcallMenuBlob(int number, int32_t descId, int total, std::vector<unsigned char> *out) {
    out->clear();
    if (total <= 0) return false;
    while (static_cast<int>(out->size()) < total) {
        int left = total - static_cast<int>(out->size());
        unsigned char p[8];
        WireWriter w(p, sizeof p);
        w.i32(descId);
        w.i32(total < kPxMenuChunk ? total : kPxMenuChunk);
        std::vector<unsigned char> reply;
        if (!transact(number, kMenuBlob, w, p, &reply) || reply.size() < 4) return false;
        WireReader r(reply.data(), reply.size());
        int32_t n = r.i32();
        if (n < 1) return false;
        // Never more than the reply carries nor than the description has left.
        size_t take = static_cast<size_t>(n);
        if (take > reply.size() - 4) take = reply.size() - 4;
        if (take > static_cast<size_t>(left)) take = static_cast<size_t>(left);
        if (take == 0) return false;
        out->insert(out->end(), reply.begin() + 4, reply.begin() + 4 + static_cast<long>(take));
    }
    return true;
}

bool px_upcallSubmenu(int number, int32_t handle, int32_t itemId, uint8_t count, std::vector<unsigned char> *out) {
    unsigned char p[9];
    WireWriter w(p, sizeof p);
    w.i32(handle);
    w.i32(itemId);
    w.u8(count);
    if (!transact(number, kSubmenu, w, p, out) || out->size() <= 10) return false;
    WireReader r(out->data(), out->size());
    return r.i32() == 0;
}

int px_upcallMenuQuery(int number, int32_t handle, int32_t itemId) {
    unsigned char p[8];
    WireWriter w(p, sizeof p);
    w.i32(handle);
    w.i32(itemId);
    return ask(number, kMenuQuery, w, p, 0);
}

int px_upcallHelp(int32_t context) {
    unsigned char p[4];
    WireWriter w(p, sizeof p);
    w.i32(context);
    return ask(px_curObjNum() & 0xFF, kHelp, w, p, -1);
}

int px_upcallNotify(int number, int32_t handle, int16_t a, int16_t b, uint8_t c) {
    unsigned char p[9];
    WireWriter w(p, sizeof p);
    w.i32(handle);
    w.i16(a);
    w.i16(b);
    w.u8(c);
    if (handle != 0) return ask(number, kNotify, w, p, -1);
    TAppObj *h = app();
    if (!h) return -1;
    char *buf = h->fn->getSendBuff(h, static_cast<int>(w.size()), px_upcallTable(0).c_str(), kNotify);
    if (!buf) return -1;
    std::memcpy(buf, p, w.size());
    h->fn->sendMessage(h, buf);
    return 0;
}

int px_upcallColumnShow(int number, int32_t handle, int16_t field, int16_t show) {
    unsigned char p[8];
    WireWriter w(p, sizeof p);
    w.i32(handle);
    w.i16(field);
    w.i16(show);
    return ask(number, kColumnShow, w, p, -1);
}

int px_upcallLayoutChanged(int number, int32_t handle) {
    unsigned char p[4];
    WireWriter w(p, sizeof p);
    w.i32(handle);
    return ask(number, kLayoutChanged, w, p, -1);
}

int px_upcallColumnMove(int number, int32_t handle, int16_t field, int16_t to) {
    unsigned char p[8];
    WireWriter w(p, sizeof p);
    w.i32(handle);
    w.i16(field);
    w.i16(to);
    return ask(number, kColumnMove, w, p, -1);
}

int px_upcallDlgCallback(int32_t value) {
    unsigned char p[4];
    WireWriter w(p, sizeof p);
    w.i32(value);
    return ask(0, kDlgCallback, w, p, -1);
}
