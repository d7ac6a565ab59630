// The product formkit runs in, from product.ini beside the terminal's
// executable, and the per-user folder its application data lives in:
// <application data>\Quorvex[\product[\major.minor]][\sub-folder][\file].
#pragma once

#include <string>

struct PxProduct {
    bool hasName = false, hasVersion = false;
    std::string name;
    std::string version;  // "major.minor"
};

// Reads product.ini from the executable directory (QVEXEDIR when set);
// without the file the product has neither name nor version.
PxProduct px_readProduct();
// "major.minor" of a VERSION value: the integers before the first '.' and
// between it and the next, 0 where there is none.
std::string px_productVersionText(const char *value);

// The process's product, read once; null when not set.
const char *px_productName();
const char *px_productVersion();

// The path for `fileName` in `subFolder` of the product's folder; every
// folder on the way is created. out holds MAX_PATH characters. Empty or
// null names are left out. False when the path cannot be formed.
bool px_productPath(const PxProduct &product, const char *subFolder, const char *fileName, char *out);
bool px_appDataPath(const char *subFolder, const char *fileName, char *out);
