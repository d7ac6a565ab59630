#include "upcall.h"

#include <cstring>

#include "wire.h"
#include "zam_entry.h"

std::optional<std::vector<unsigned char>> tc_transact(const char *table, int code,
                                                      const std::vector<unsigned char> &record) {
    TAppObj *app = zam_host().app;
    if (!app || record.size() > 0x7fffffff) return std::nullopt;
    int size = static_cast<int>(record.size());
    char *buf = app->fn->getSendBuff(app, size, table, code);
    if (!buf) return std::nullopt;
    if (size) std::memcpy(buf, record.data(), record.size());
    char *reply = app->fn->transactMessage(app, buf, &size);
    if (!reply || size < 0) return std::nullopt;
    return std::vector<unsigned char>(reply, reply + size);
}

bool tc_replyOk(const std::optional<std::vector<unsigned char>> &reply, std::string *text) {
    if (!reply || reply->size() < 4 || WireReader(reply->data(), 4).i32() != 0) return false;
    if (text) {
        const char *at = reinterpret_cast<const char *>(reply->data()) + 4;
        text->assign(at, strnlen(at, reply->size() - 4));
    }
    return true;
}
