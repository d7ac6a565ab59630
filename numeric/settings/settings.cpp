#include "settings.h"

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "paths.h"
#include "settings_reader.h"
#include "sysenv.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return isBlank(c) || c == '\n' || c == '\r'; }

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '[' || c == ']' || c == '$';
}

// Copies name into out (kQvMaxPath) when it fits.
bool copyName(char *out, const char *name) {
    size_t n = std::strlen(name);
    if (n >= kQvMaxPath) return false;
    std::memcpy(out, name, n + 1);
    return true;
}

bool findSettingsFile(char *path, const char *name, const char *dirList) {
    if (dirList && path_search(path, name, dirList, ".ini", false, path_exists)) return true;
    if (copyName(path, name) && path_exists(path)) return true;
    if (copyName(path, name) && sys_exeDirPath(path) && path_exists(path)) return true;
    std::string cnfg;
    const char *list = sys_getEnv("QVCNFG", &cnfg) ? cnfg.c_str() : nullptr;
    return path_search(path, name, list, ".ini", false, path_exists) == 1;
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

}  // namespace

CfgReader::CfgReader(const char *home, const char *exeDir, SettingsKeyFn callback, void *context)
    : home_(home ? home : "."), exeDir_(exeDir), callback_(callback), context_(context),
      line_(kCfgLineMax) {}

int CfgReader::read(std::FILE *f) {
    while (readLine(f)) {
        if (int r = handleLine()) return r;
    }
    return 0;
}

// One line into the buffer without its LF; the rest of an over-long line is
// skipped so that it never turns into pairs of its own.
bool CfgReader::readLine(std::FILE *f) {
    size_t n = 0;
    int c;
    while ((c = std::getc(f)) != EOF && c != '\n')
        if (n < kCfgLineMax - 1) line_[n++] = static_cast<char>(c);
    if (c == EOF && n == 0) return false;
    line_[n] = '\0';
    return true;
}

int CfgReader::handleLine() {
    char *p = line_.data();
    while (isBlank(*p)) ++p;
    size_t len = std::strlen(p);
    while (len > 0 && isLineEnd(p[len - 1])) --len;
    p[len] = '\0';
    if (len == 0 || *p == ';') return 0;

    size_t n = 0;
    while (n < kCfgNameMax && isNameChar(p[n])) {
        char c = p[n];
        name_[n++] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    name_[n] = '\0';
    const char *value = p + n;
    while (isBlank(*value) || *value == '=') ++value;
    std::memmove(line_.data(), value, std::strlen(value) + 1);

    // A value that cannot be expanded for want of memory is not reported.
    if (!expand("%HOME%", home_) || !expand("%EXEDIR%", exeDir_)) return 0;
    return callback_(name_, line_.data(), context_);
}

bool CfgReader::expand(const char *token, const char *replacement) {
    for (;;) {
        size_t need = txt_replaceAll(line_.data(), line_.size(), token, replacement, true);
        if (need == 0) return true;
        try {
            line_.resize(need);
        } catch (const std::bad_alloc &) {
            return false;
        }
    }
}

int cfg_readFile(const char *fileName, SettingsKeyFn callback, void *context, const char *dirList) {
    if (!fileName || !callback) return -1;
    char exeDir[kQvMaxPath] = "";
    if (!sys_exeDirPath(exeDir)) exeDir[0] = '\0';
    char path[kQvMaxPath];
    if (!findSettingsFile(path, fileName, dirList)) return -1;
    std::unique_ptr<std::FILE, FileCloser> f(sys_openText(path));
    if (!f) return -1;
    std::optional<CfgReader> reader;
    try {
        reader.emplace(dirList, exeDir, callback, context);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return reader->read(f.get());
}
