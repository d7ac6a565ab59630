// The test side's encoder of termcore's request records, and the fixture
// that loads termcore through the stand-in host.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "module.h"
#include "wire.h"

namespace rq {

enum : int {
    kHelp = 50, kHelpEx = 51, kRecv = 100, kSend = 101, kDirList = 102, kCopy = 103,
    kRename = 104, kDirOp = 105, kGetCwd = 106, kStat = 107, kPut2 = 108, kProcess = 200,
    kClipSet = 204, kClipGet = 205, kLocaleInfo = 206, kLangIds = 207,
};

struct Date {
    uint8_t day, month;
    uint16_t year;
    uint8_t hour, minute, second;
};

// The date block of a reply.
Date readDate(WireReader &r);

th::Bytes recvOpen(const std::string &name, const Date &d, int32_t access = 0, int32_t modification = 0);
th::Bytes recvData(uint32_t block, const std::string &data, uint8_t stage);
th::Bytes recvStage(uint8_t stage);
th::Bytes sendOpen(const std::string &name);
th::Bytes sendData(uint32_t block, uint32_t length);
th::Bytes sendStage(uint8_t stage);
th::Bytes dirList(uint8_t stage, int32_t flags = 0, int16_t action = 0, const std::string &pattern = "",
                  const std::string &dest = "");
th::Bytes copy(const std::string &source, const std::string &dest);
th::Bytes rename(const std::string &from, const std::string &to);
th::Bytes dirOp(int16_t op, const std::string &path);
th::Bytes stat(const std::string &name);
th::Bytes statList(const std::string &base, const std::vector<std::string> &names);
th::Bytes put2(int32_t a, int32_t b, const std::string &name);
th::Bytes help(int32_t kind, const std::string &file, const std::string &keyword = "");
th::Bytes helpEx(int32_t kind, const std::string &file, int32_t number, const std::string &keyword = "");
th::Bytes clipSet(uint8_t mode, uint8_t kind, const std::string &text);
th::Bytes clipGet(uint8_t kind);
th::Bytes localeInfo(int32_t selector, int32_t type);
th::Bytes langIds(int32_t selector);
th::Bytes procStart(int16_t untracked, const std::string &program, const std::string &args);
th::Bytes procTerminate(int32_t id, int16_t code);
th::Bytes procWait(int32_t id, int16_t timeout);

}  // namespace rq

// termcore.d32 with the stand-in host, a temporary folder, and termcore.ini
// naming UPDIR and DNDIR inside it.
struct TermcoreTest : ::testing::Test {
    th::TempDir tmp;
    std::unique_ptr<th::Module> m;

    void SetUp() override;
    void TearDown() override;
    // Loads termcore and starts it at the given protocol version.
    void load(int protocol = 114, const std::string &ini = "", size_t replyCapacity = 65536);
    std::string up() const { return tmp.file("up"); }
    std::string dn() const { return tmp.file("dn"); }

    int send(int code, const th::Bytes &b) { return m->message(code, b); }
    WireReader reply(int length) const { return WireReader(m->reply(), static_cast<size_t>(length)); }
    int32_t i32At(size_t offset) const {
        WireReader r(m->reply(), offset + 4);
        r.skip(offset);
        return r.i32();
    }
    int16_t i16At(size_t offset) const {
        WireReader r(m->reply(), offset + 2);
        r.skip(offset);
        return r.i16();
    }
    // Codes -1 and -2 with their flag in place of the record.
    int lifeCycle(int code, bool flag);
};

std::string slurp(const std::string &path);
void spit(const std::string &path, const std::string &content);
bool exists(const std::string &path);
std::string patterned(size_t size, unsigned seed);
