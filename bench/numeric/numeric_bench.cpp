// Parse-and-print round trips of random decimal and money texts through
// Numeric96 and FMoney, timed against peers in the same run: a plain
// __int128 parse and print (the floor), GMP on the mantissa (native) and
// oleaut32's VarDecFromStr + VarBstrFromDec (Windows). Prints ns per round
// trip and the ratio ours / peer.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "decerrors.h"
#include "short.h"
#include "decimal96.h"
#include "fixed.h"

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#else
#include <gmp.h>
#endif

namespace {

const size_t kTexts = bench_count<size_t>(1000000, 2000);

struct Peer {
    const char *name;
    std::function<size_t(const std::string &, char *)> roundTrip;  // returns the printed length
    double target;  // largest acceptable ratio, 0 for none
    bool exact;     // its output must be the input text
};

// Canonical texts: no leading zeros, a sign only on non-zero values, so
// every correct round trip gives the input back.
std::vector<std::string> makeTexts(int maxInteger, int maxFraction, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::string> texts;
    texts.reserve(kTexts);
    while (texts.size() < kTexts) {
        int i = static_cast<int>(rng() % (maxInteger + 1)), f = static_cast<int>(rng() % (maxFraction + 1));
        std::string t;
        for (int k = 0; k < i; ++k) t += static_cast<char>('0' + (k == 0 ? 1 + rng() % 9 : rng() % 10));
        if (t.empty()) t = "0";
        if (f) {
            t += '.';
            for (int k = 0; k < f; ++k) t += static_cast<char>('0' + rng() % 10);
        }
        if (rng() % 2 && t.find_first_of("123456789") != std::string::npos) t.insert(0, "-");
        texts.push_back(t);
    }
    return texts;
}

size_t int128RoundTrip(const std::string &text, char *out) {
    const char *p = text.c_str();
    bool negative = *p == '-';
    if (negative) ++p;
    unsigned __int128 v = 0;
    int decimals = -1;
    for (; *p; ++p) {
        if (*p == '.') {
            decimals = 0;
            continue;
        }
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (decimals >= 0) ++decimals;
    }
    char digits[48];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v);
    while (n <= decimals) digits[n++] = '0';
    size_t len = 0;
    if (negative) out[len++] = '-';
    for (int k = n - 1; k >= 0; --k) {
        out[len++] = digits[k];
        if (k == decimals && decimals > 0) out[len++] = '.';
    }
    out[len] = '\0';
    return len;
}

size_t numeric96RoundTrip(const std::string &text, char *out) {
    Numeric96 v = Numeric96_fromText(text.c_str());
    long n = NmDecimal_toChars(Numeric96_toWork(v), out, 64);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

size_t fmoneyRoundTrip(const std::string &text, char *out) {
    DBBaseFMoney m(text.c_str());
    FMoney v = m;
    size_t decimals = text.find('.') == std::string::npos ? 0 : text.size() - text.find('.') - 1;
    return v.cvt2str(static_cast<int>(decimals), out, 64) ? std::strlen(out) : 0;
}

#ifdef _WIN32
// The wide texts are made before the clock starts: the peer takes them so.
struct OleDecimal {
    std::vector<std::wstring> wide;
    std::vector<std::string> *texts = nullptr;
    size_t next = 0;

    void prepare(std::vector<std::string> &t) {
        texts = &t;
        wide.clear();
        wide.reserve(t.size());
        for (const auto &s : t) wide.emplace_back(s.begin(), s.end());
        next = 0;
    }
    size_t roundTrip(const std::string &, char *out) {
        DECIMAL d;
        const std::wstring &w = wide[next++ % wide.size()];
        if (FAILED(VarDecFromStr(const_cast<OLECHAR *>(w.c_str()), LOCALE_INVARIANT, 0, &d))) return 0;
        BSTR b = nullptr;
        if (FAILED(VarBstrFromDec(&d, LOCALE_INVARIANT, 0, &b))) return 0;
        size_t n = SysStringLen(b);
        for (size_t k = 0; k < n; ++k) out[k] = static_cast<char>(b[k]);
        out[n] = '\0';
        SysFreeString(b);
        return n;
    }
};
OleDecimal g_ole;
#else
size_t gmpRoundTrip(const std::string &text, char *out) {
    static mpz_t z;
    static bool ready = (mpz_init(z), true);
    (void)ready;
    char mantissa[48];
    size_t m = 0, point = std::string::npos;
    for (char c : text) {
        if (c == '.')
            point = m;
        else
            mantissa[m++] = c;
    }
    mantissa[m] = '\0';
    mpz_set_str(z, mantissa, 10);
    char digits[64];
    mpz_get_str(digits, 10, z);
    // The sign and the zeros the integer lost come back around the digits.
    const char *d = digits;
    size_t len = 0;
    if (*d == '-') out[len++] = *d++;
    size_t n = std::strlen(d);
    size_t decimals = point == std::string::npos ? 0 : m - point;
    size_t zeros = n <= decimals ? decimals + 1 - n : 0;
    std::memset(out + len, '0', zeros);
    std::memcpy(out + len + zeros, d, n);
    n += zeros;
    len += n - decimals;
    if (decimals) {
        std::memmove(out + len + 1, out + len, decimals);
        out[len++] = '.';
        len += decimals;
    }
    out[len] = '\0';
    return len;
}
#endif

// Best of three passes over all texts, in ns per round trip; checks that
// every output is the input when `exact` is set.
double timeRoundTrips(const std::vector<std::string> &texts, const std::function<size_t(const std::string &, char *)> &f,
                      bool exact, size_t &mismatches) {
    char out[128];
    double best = 1e300;
    size_t sink = 0;
    mismatches = 0;
    for (int pass = 0; pass < 3; ++pass) {
        auto start = std::chrono::steady_clock::now();
        for (const auto &t : texts) sink += f(t, out);
        auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
        if (ns < best) best = ns;
    }
    if (exact)
        for (const auto &t : texts) {
            size_t n = f(t, out);
            if (n != t.size() || std::memcmp(out, t.data(), n) != 0) ++mismatches;
        }
    if (sink == 42) std::puts("");
    return best / static_cast<double>(texts.size());
}

int quietInexact(const Numeric96InexactErr &e) { return e.op(); }

bool runSet(const char *title, std::vector<std::string> &texts, const char *oursName,
            const std::function<size_t(const std::string &, char *)> &ours) {
    std::printf("%s\n", title);
    size_t bad = 0;
    double mine = timeRoundTrips(texts, ours, true, bad);
    std::printf("  %-40s %8.1f ns%s\n", oursName, mine, bad ? "  WRONG OUTPUT" : "");
    bool ok = bad == 0;
    std::vector<Peer> peers = {{"__int128 parse and print", int128RoundTrip, 4.0, true}};
#ifdef _WIN32
    g_ole.prepare(texts);
    peers.push_back({"oleaut32 VarDecFromStr+VarBstrFromDec",
                     [](const std::string &t, char *out) { return g_ole.roundTrip(t, out); }, 1.0, false});
#else
    peers.push_back({"GMP mpz_set_str+mpz_get_str", gmpRoundTrip, 0, true});
#endif
    for (const Peer &p : peers) {
        size_t peerBad = 0;
        double ns = timeRoundTrips(texts, p.roundTrip, p.exact, peerBad);
        double ratio = mine / ns;
        bool met = p.target == 0 || ratio <= p.target;
        std::printf("  %-40s %8.1f ns   ratio %.2f", p.name, ns, ratio);
        if (p.target > 0) std::printf(" (target <= %.0f: %s)", p.target, met ? "met" : "MISSED");
        std::printf("%s\n", peerBad ? "  WRONG OUTPUT" : "");
    }
    return ok;
}

}  // namespace

int main() {
    Numeric96_setInexactHandler(quietInexact);
    std::printf("numeric round trips, %zu texts each, best of 3 passes\n", kTexts);
    auto decimals = makeTexts(16, 12, 1);
    auto money = makeTexts(14, 4, 2);
    bool ok = runSet("decimal texts (0-16 integer, 0-12 fraction digits)", decimals, "Numeric96", numeric96RoundTrip);
    ok &= runSet("money texts (0-14 integer, 0-4 fraction digits)", money, "FMoney", fmoneyRoundTrip);
    return ok ? 0 : 1;
}
