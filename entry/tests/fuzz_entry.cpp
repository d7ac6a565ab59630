// Requests in a host-sized block: whatever the record says, no handler
// reads past the block. Input: uint16 block size, then the record.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zam_entry.h"

namespace {

const unsigned char *g_end;
size_t g_blockSize;

int ZAMCB maxBlock() { return static_cast<int>(g_blockSize); }

void inside(const void *p, size_t n) {
    if (p && n && static_cast<const unsigned char *>(p) + n > g_end) __builtin_trap();
}

// Reads as the longest-reading requests do: a count of bytes, texts at an
// offset taken from the record, a run of counted entries.
int reader(const ZamRequest &req) {
    WireReader r = req.reader();
    int32_t n = r.i32();
    size_t len = static_cast<size_t>(n < 0 ? 0 : n);
    inside(r.bytes(len), len);
    r.seek(static_cast<size_t>(r.u16()));
    std::string_view t = r.text();
    if (r.ok()) inside(t.data(), t.size() + 1);
    int16_t count = r.i16();
    for (int i = 0; i < count && r.canHold(1, 4); ++i) r.i32();
    WireWriter w = req.writer();
    w.zeros(len);
    return zam_replyLength(w);
}

const ZamHandlerRow kRows[] = {{1, reader, 0}};
const ZamModuleTable kTable = {kRows, 1, 16, nullptr, true};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    static ZamExtCallBacks ext{};
    ext.GetMaxBlockSize = maxBlock;
    zam_host().ext = &ext;
    zam_host().version = 114;
    g_blockSize = data[0] | (data[1] << 8);
    // A block of 0 names none: the record would be the host's whole record.
    if (g_blockSize == 0) return 0;
    // The host's block, the record at its start, exactly sized for ASan.
    std::vector<unsigned char> block(g_blockSize, 'x');
    for (size_t i = 2; i < size && i - 2 < block.size(); ++i) block[i - 2] = data[i];
    g_end = block.data() + block.size();
    std::vector<unsigned char> reply(g_blockSize > 16 ? g_blockSize : 16);
    zam_message(kTable, 1, block.data(), reply.data());
    return 0;
}
