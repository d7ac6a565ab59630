// Settings lines and paths from arbitrary bytes: the reader's invariants
// (names of at most 19 upper-case name characters, values without line
// ends) and path_split's (an ordinary path is its parts put together).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "paths.h"
#include "settings_reader.h"
#include "sysenv.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '[' || c == ']' ||
           c == '$';
}

int onPair(const char *name, const char *value, void *) {
    size_t n = std::strlen(name);
    check(n <= kCfgNameMax);
    for (size_t i = 0; i < n; ++i) check(isNameChar(name[i]));
    check(!std::strchr(value, '\n'));
    return 0;
}

void readLines(const uint8_t *data, size_t size) {
    if (size == 0) return;
    std::vector<char> text(data, data + size);
    std::FILE *f = fmemopen(text.data(), text.size(), "r");
    if (!f) return;
    // A long %HOME% makes expansions outgrow the line buffer.
    std::string home = (data[0] & 1) ? std::string(300, 'h') + "\\\\x" : ".";
    CfgReader reader(home.c_str(), "C:\\exe\\", onPair, nullptr);
    reader.read(f);
    std::fclose(f);
}

bool rejectAll(const char *path) {
    check(std::strlen(path) < kQvMaxPath);
    return false;
}

void splitPath(const std::string &path) {
    char dir[kQvMaxPath], name[kQvMaxPath], ext[kQvMaxPath];
    const char *r = path_split(path.c_str(), dir, sizeof dir, name, sizeof name, ext, sizeof ext);
    if (r && !path_isBtrv(path.c_str())) {
        std::string whole = path;
        path_normSlashes(&whole[0]);
        check(std::string(dir) + name + ext == whole);
    }
    char small[8];
    path_split(path.c_str(), small, sizeof small, small, sizeof small, small, sizeof small);
}

void searchPath(const std::string &name, const std::string &list) {
    char out[kQvMaxPath];
    path_search(out, name.c_str(), list.c_str(), ".ini", !list.empty() && list[0] == ';', rejectAll);
    path_search(out, name.c_str(), list.c_str(), nullptr, false, nullptr);
}

void replaceText(const std::string &text) {
    std::vector<char> buf(text.size() * 2 + 16);
    std::memcpy(buf.data(), text.c_str(), text.size() + 1);
    size_t before = std::strlen(buf.data());
    size_t need = txt_replaceAll(buf.data(), buf.size(), "%N%", "\\\\%N%\\", true);
    if (need) {
        check(need > buf.size());
        check(std::strlen(buf.data()) == before);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    readLines(data, size);
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();  // up to the first NUL, like every C text
    size_t cut = text.find('\n');
    std::string first = text.substr(0, cut);
    std::string rest = cut == std::string::npos ? "" : text.substr(cut + 1);
    splitPath(first);
    searchPath(first, rest);
    replaceText(text);
    return 0;
}
