#include "requests.h"

#include <fstream>
#include <sstream>

namespace rq {

Date readDate(WireReader &r) {
    Date d;
    d.day = r.u8();
    d.month = r.u8();
    d.year = r.u16();
    d.hour = r.u8();
    d.minute = r.u8();
    d.second = r.u8();
    return d;
}

th::Bytes recvOpen(const std::string &name, const Date &d, int32_t access, int32_t modification) {
    th::Bytes b;
    b.u32(0).u32(0).u8(0);
    b.u8(d.day).u8(d.month).u16(d.year).u8(d.hour).u8(d.minute).u8(d.second);
    b.i32(access).i32(modification).zeros(4).text(name);
    return b;
}

th::Bytes recvData(uint32_t block, const std::string &data, uint8_t stage) {
    th::Bytes b;
    b.u32(block).u32(static_cast<uint32_t>(data.size())).u8(stage).raw(data.data(), data.size());
    return b;
}

th::Bytes recvStage(uint8_t stage) { return th::Bytes().u32(0).u32(0).u8(stage); }

th::Bytes sendOpen(const std::string &name) { return th::Bytes().u32(0).u32(0).u8(0).text(name); }

th::Bytes sendData(uint32_t block, uint32_t length) { return th::Bytes().u32(block).u32(length).u8(1); }

th::Bytes sendStage(uint8_t stage) { return th::Bytes().u32(0).u32(0).u8(stage); }

th::Bytes dirList(uint8_t stage, int32_t flags, int16_t action, const std::string &pattern,
                  const std::string &dest) {
    th::Bytes b;
    b.zeros(4).u8(stage);
    if (stage != 0) return b;
    b.i32(flags).i32(static_cast<int32_t>(pattern.size() + 1)).i16(action).text(pattern).text(dest);
    return b;
}

th::Bytes copy(const std::string &source, const std::string &dest) {
    return th::Bytes().zeros(4).i32(static_cast<int32_t>(source.size() + 1)).text(source).text(dest);
}

th::Bytes rename(const std::string &from, const std::string &to) { return copy(from, to); }

th::Bytes dirOp(int16_t op, const std::string &path) { return th::Bytes().zeros(4).i16(op).text(path); }

th::Bytes stat(const std::string &name) { return th::Bytes().u8(0).text(name); }

th::Bytes statList(const std::string &base, const std::vector<std::string> &names) {
    th::Bytes b;
    b.u8(1).text(base);
    for (const std::string &n : names) b.text(n);
    return b.text("");
}

th::Bytes put2(int32_t a, int32_t c, const std::string &name) {
    return th::Bytes().zeros(2).i32(a).i32(c).text(name);
}

th::Bytes help(int32_t kind, const std::string &file, const std::string &keyword) {
    th::Bytes b;
    b.i32(kind).i32(static_cast<int32_t>(file.size())).zeros(4).text(file);
    if (kind == 0) b.text(keyword);
    return b;
}

th::Bytes helpEx(int32_t kind, const std::string &file, int32_t number, const std::string &keyword) {
    return th::Bytes().i32(kind).i32(static_cast<int32_t>(file.size())).zeros(4).i32(number).text(file).text(keyword);
}

th::Bytes clipSet(uint8_t mode, uint8_t kind, const std::string &text) {
    return th::Bytes().u8(mode).u8(kind).i32(static_cast<int32_t>(text.size())).raw(text.data(), text.size());
}

th::Bytes clipGet(uint8_t kind) { return th::Bytes().u8(kind); }

th::Bytes localeInfo(int32_t selector, int32_t type) { return th::Bytes().i32(selector).i32(type); }

th::Bytes langIds(int32_t selector) { return th::Bytes().i32(selector); }

th::Bytes procStart(int16_t untracked, const std::string &program, const std::string &args) {
    return th::Bytes().u8(0).zeros(6).i16(untracked).text(program).text(args);
}

th::Bytes procTerminate(int32_t id, int16_t code) { return th::Bytes().u8(1).i32(id).i16(code); }

th::Bytes procWait(int32_t id, int16_t timeout) { return th::Bytes().u8(2).i32(id).zeros(2).i16(timeout); }

}  // namespace rq

void TermcoreTest::SetUp() {
    th::Host::get().reset();
    th::Host::get().enableExtAll();
    th::Host::get().iniDir = tmp.path();
    CreateDirectoryA(up().c_str(), nullptr);
    CreateDirectoryA(dn().c_str(), nullptr);
}

void TermcoreTest::TearDown() {
    if (m) lifeCycle(kMsgUnload, true);
    m.reset();
    EXPECT_TRUE(th::Host::get().filters.empty());
    EXPECT_TRUE(th::Host::get().idles.empty());
}

void TermcoreTest::load(int protocol, const std::string &ini, size_t replyCapacity) {
    spit(tmp.file("termcore.ini"), ini.empty() ? "UPDIR=" + up() + "\r\nDNDIR=" + dn() + "\r\n" : ini);
    m = std::make_unique<th::Module>("termcore.d32", replyCapacity);
    m->start(protocol);
}

int TermcoreTest::lifeCycle(int code, bool flag) {
    auto f = reinterpret_cast<ZamExtMessageProcFn>(m->proc("ZamExtMessageProc"));
    unsigned char reply[16];
    return f(static_cast<unsigned>(code), flag ? reinterpret_cast<const void *>(1) : nullptr, reply);
}

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &content) {
    std::ofstream f(path, std::ios::binary);
    f << content;
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string patterned(size_t size, unsigned seed) {
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char &c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}
