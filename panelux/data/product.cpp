#include "product.h"

#include <windows.h>
#include <shlobj.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings.h"
#include "sysenv.h"

namespace {

const char kMakerFolder[] = "Quorvex";

int productKey(const char *name, const char *value, void *context) {
    auto *product = static_cast<PxProduct *>(context);
    if (std::strcmp(name, "PRODUCT") == 0) {
        product->name = value;
        product->hasName = true;
    } else if (std::strcmp(name, "VERSION") == 0) {
        product->version = px_productVersionText(value);
        product->hasVersion = true;
    }
    return 0;
}

// The integer value of the text's start, as the runtime reads it, held to
// the range of an int.
int leadingInt(const char *text) {
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

const PxProduct &processProduct() {
    static const PxProduct product = px_readProduct();
    return product;
}

// Appends a separator and `name` to the path in out; false when it would
// not fit.
bool append(char *out, const char *name) {
    size_t len = std::strlen(out), n = std::strlen(name);
    bool sep = len > 0 && out[len - 1] != '\\' && out[len - 1] != '/';
    if (len + sep + n >= MAX_PATH) return false;
    if (sep) out[len++] = '\\';
    std::memcpy(out + len, name, n + 1);
    return true;
}

bool appendFolder(char *out, const char *name) {
    return append(out, name) && (CreateDirectoryA(out, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
}

bool given(const char *text) { return text && *text; }

}  // namespace

std::string px_productVersionText(const char *value) {
    int major = leadingInt(value), minor = 0;
    if (const char *dot = std::strchr(value, '.')) minor = leadingInt(dot + 1);
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d", major, minor);
    return text;
}

PxProduct px_readProduct() {
    PxProduct product;
    char path[kQvMaxPath] = "product.ini";
    if (sys_exeDirPath(path)) cfg_readFile(path, productKey, &product, nullptr);
    return product;
}

const char *px_productName() {
    const PxProduct &p = processProduct();
    return p.hasName ? p.name.c_str() : nullptr;
}

const char *px_productVersion() {
    const PxProduct &p = processProduct();
    return p.hasVersion ? p.version.c_str() : nullptr;
}

bool px_productPath(const PxProduct &product, const char *subFolder, const char *fileName, char *out) {
    out[0] = '\0';
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, out)) ||
        !appendFolder(out, kMakerFolder))
        return false;
    if (!product.name.empty()) {
        if (!appendFolder(out, product.name.c_str())) return false;
        if (!product.version.empty() && !appendFolder(out, product.version.c_str())) return false;
    }
    if (given(subFolder) && !appendFolder(out, subFolder)) return false;
    return !given(fileName) || append(out, fileName);
}

bool px_appDataPath(const char *subFolder, const char *fileName, char *out) {
    return px_productPath(processProduct(), subFolder, fileName, out);
}
