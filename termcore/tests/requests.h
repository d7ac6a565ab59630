// The fixture that loads termcore through the stand-in host, and what the
// request tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>

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
    int32_t i32At(size_t offset) const { return WireReader(m->reply() + offset, 4).i32(); }
    // Codes -1 and -2 with their flag in place of the record.
    int lifeCycle(int code, bool flag);
};

std::string slurp(const std::string &path);
void spit(const std::string &path, const std::string &content);
bool exists(const std::string &path);
std::string patterned(size_t size, unsigned seed);
// Names as the server spells them (code page 866), and as the disk holds them.
std::string oem(const std::wstring &name);
std::wstring wide(const std::string &ansi);
bool existsW(const std::wstring &path);
// The names in a folder, "." and ".." left out.
std::set<std::string> filesIn(const std::string &dir);
// A file's last access and last write times in seconds since 1970.
void setUnixTimes(const std::string &path, int64_t access, int64_t modification);
std::pair<int64_t, int64_t> unixTimes(const std::string &path);
