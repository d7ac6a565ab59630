#include <cstring>

#include "zamsdk.h"

namespace {

ZamCallBacks *g_table = nullptr;
unsigned g_version = 0;
bool g_probed = false;

// The contents of these areas are nobody's business; they only have to be
// readable and zero, whatever the last caller wrote into them.
alignas(16) unsigned char g_areas[3][256];

}  // namespace

void ZamKeepCallBacks(ZamCallBacks *table) {
    g_table = table;
    g_probed = false;
    g_version = 0;
}

ZamCallBacks *ZamTable() { return g_table; }

void *zamSlotPointer(int slot) {
    if (!g_table || slot < 0 || slot >= kZamSlots) return nullptr;
    return reinterpret_cast<void **>(g_table)[slot];
}

unsigned ZamHostVersion() {
    if (g_probed) return g_version;
    if (!g_table) return kZamTableVersion;
    unsigned version = kZamTableVersion;
    if (FindStdSymbol("IsGUI", 0) && g_table->GetHostVersion) version = g_table->GetHostVersion();
    g_version = version;
    g_probed = true;
    return version;
}

bool zamReaches(int slot) { return ZamHostVersion() >= zamMinHostVersion(slot); }

void *zamZeroedArea(int slot) {
    unsigned char *area = g_areas[slot == 158 ? 0 : slot == 194 ? 1 : 2];
    std::memset(area, 0, sizeof g_areas[0]);
    return area;
}

void *zamHeapAllocChecked(size_t size) {
    void *block = std::calloc(1, size);
    if (!block && g_table && g_table->ReportRunError) g_table->ReportRunError("Out of memory");
    return block;
}

const char *ZamParmText(int n) {
    VALUE *v = nullptr;
    if (!GetParm(n, &v) || !v || v->v_type != V_STRING) return nullptr;
    char *text;
    std::memcpy(&text, &v->value, sizeof text);
    return text ? text : "";
}

int ZamReturnBool(bool value) {
    uint8_t b = value ? 1 : 0;
    ReturnVal(V_BOOL, &b);
    return 0;
}

int ZamReturnText(const char *text) {
    ReturnVal(V_STRING, text);
    return 0;
}
