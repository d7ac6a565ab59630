// The storm: seeded streams of hostile requests through every message
// module and hostile calls of the registration modules' script functions,
// as a broken or hostile server would send them. A run fails on a crash, a
// hang, a reply longer than the host's reply area, or handles, GDI and USER
// objects or memory that grow after the storm; every failure line names the
// module, the seed and the request number.
//
// QV_STORM_SEED=<n> replays a seed; QV_STORM_SCALE=<x> multiplies the number
// of requests (longer runs); QV_STORM_TRACE=1 lists each request before it
// is sent, QV_STORM_TRACE=2 with the whole record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bytes.h"
#include "module.h"

namespace storm {

// A request record as the server packs it.
using Record = th::Bytes;

// splitmix64: the same stream for a seed on every build.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next();
    uint32_t below(uint32_t n) { return n ? static_cast<uint32_t>(next() % n) : 0; }
    bool chance(uint32_t percent) { return below(100) < percent; }
    template <class T> const T &pick(const std::vector<T> &v) { return v[below(static_cast<uint32_t>(v.size()))]; }

private:
    uint64_t s_;
};

// A field of `bytes` bytes (1, 2 or 4): mostly a plausible value, else one
// from the edges (0, -1, the type's ends, counts just past a record, large
// powers of two).
int32_t num(Rng &r, int bytes, int32_t plausible);
inline int8_t n8(Rng &r, int32_t plausible) { return static_cast<int8_t>(num(r, 1, plausible)); }
inline int16_t n16(Rng &r, int32_t plausible) { return static_cast<int16_t>(num(r, 2, plausible)); }
inline int32_t n32(Rng &r, int32_t plausible) { return num(r, 4, plausible); }

// A hostile text: empty, a word, a huge run (up to 70,000 characters),
// format directives, Cyrillic in code page 866 or 1251, '~' and '|' marks,
// control and high bytes, path and number look-alikes. Never holds a NUL.
std::string text(Rng &r);
// The same, made one file or folder name inside the current folder: no
// separators, no drive, never "." or ".." (requests that write, delete or
// start are aimed at the storm's scratch folder).
std::string scratchName(Rng &r);

// Cuts a record short, drops its final terminator or appends junk, now
// and then.
th::Bytes mutate(Rng &r, const th::Bytes &record);

// What the process holds: handles, GDI objects, USER objects (windows of
// the thread and menus) and committed private memory.
struct Usage {
    int handles = 0;
    int gdi = 0;
    int user = 0;
    size_t privateBytes = 0;
};
Usage usage();

// One module's storm: numbering, placement of each record against
// unreadable memory, the checks, and the failure lines.
class Session {
public:
    // test: the GoogleTest name that replays it (Storm.<test>).
    Session(const char *module, const char *test, uint64_t defaultSeed);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    Rng &rng() { return rng_; }
    // Starts the same stream again: a warm-up that is the storm itself
    // leaves nothing for the counted run to set up for the first time.
    void rewind() { rng_ = Rng(seed_); }
    // Whether the last record sent lay at the start of the host's block.
    bool lastInBlock() const { return lastInBlock_; }
    // count scaled by QV_STORM_SCALE.
    long scaled(long count) const;

    // Sends one request. While the module is told the host's block
    // (blockNamed) the record starts a block whose first byte past it cannot
    // be read, and the reply must stay within the block; otherwise every
    // other record ends right before unreadable memory, and the reply must
    // stay within the host's reply area (which holds the module's largest
    // reply, as the host promises, and ends at unreadable memory too).
    int send(th::Module &m, int code, const th::Bytes &record, bool blockNamed = false);
    // Marks a call made without a request record (object-model messages,
    // script functions) for the failure lines of a crash or hang inside it.
    void begin(int code, const std::string &what);
    void end();
    // Fails the test with the line that replays this request.
    void fail(const std::string &what) const;

    // Handles, GDI and USER objects within a few, memory within memoryBound
    // bytes of what they were before the storm; extraHandles more handles
    // where the system itself keeps some.
    void expectNoGrowth(const Usage &before, const Usage &after, size_t memoryBound, int extraHandles = 0) const;

private:
    std::string where() const;

    std::string module_, test_;
    uint64_t seed_;
    Rng rng_;
    long number_ = 0;
    int code_ = 0;
    int trace_ = 0;
    bool lastInBlock_ = false;
};

// Sends n requests, each of a code picked from codes with its record made
// by make(code) and then mutated.
template <class Make> void stream(Session &run, th::Module &m, long n, const std::vector<int> &codes, Make make) {
    for (long i = 0; i < n; ++i) {
        int code = run.rng().pick(codes);
        run.send(m, code, mutate(run.rng(), make(code)));
    }
}

// Up to 64 random bytes: the record of a code the module does not serve.
th::Bytes junk(Rng &r);

// Follows the host version that code -4 records tell a module: a block is
// named above 88, unless the host answers 0 for it.
struct VersionTracker {
    uint16_t version = 114;
    bool answersZero = false;  // mirrors the stand-in host's switch
    // inBlock: the record lay at the start of the host's block, whose
    // filler a short record lets the module read.
    void sent(int code, const th::Bytes &record, bool inBlock);
    bool blockNamed(int code) const { return code >= 0 && version > 88 && !answersZero; }
    // Now and then the host stops or starts naming its block.
    void flip(Rng &r);
};

// The host's block, and so the reply area of the modules that ask for it.
constexpr int kBlock = 8192;

// Clears what the stand-in host records of every call, so that a long
// storm does not grow the test's own memory.
void forgetHostRecords();

}  // namespace storm
