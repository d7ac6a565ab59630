// Every request record termcore decodes, from arbitrary bytes: each decoder
// runs on the whole input, and every text and data view it hands out must lie
// inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "records.h"

namespace {

const char *gBegin;
const char *gEnd;

void check(bool ok) {
    if (!ok) std::abort();
}

void inside(std::string_view v) {
    if (v.data() == nullptr) return check(v.empty());
    check(v.data() >= gBegin && v.data() <= gEnd && v.size() <= static_cast<size_t>(gEnd - v.data()));
}

// A text must be followed by its terminator inside the input.
void text(std::string_view v) {
    inside(v);
    if (v.data()) check(v.data() + v.size() < gEnd && v.data()[v.size()] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    gBegin = reinterpret_cast<const char *>(data);
    gEnd = gBegin + size;

    TcTransferRecord t;
    if (tc_readRecv(data, size, t) && t.bodyOk) {
        text(t.name);
        inside(t.data);
        if (t.stage == kTcStageData || t.stage == kTcStageLast) check(t.data.size() == t.length);
    }
    if (tc_readSend(data, size, t) && t.bodyOk) text(t.name);

    TcDirListRecord d;
    if (tc_readDirList(data, size, d) && d.bodyOk) {
        text(d.pattern);
        text(d.destination);
        // The destination starts past the pattern's terminator.
        if (d.destination.data()) check(d.destination.data() > d.pattern.data() + d.pattern.size());
    }

    TcNamePair p;
    if (tc_readNamePair(data, size, p)) {
        text(p.first);
        text(p.second);
        check(p.second.data() > p.first.data() + p.first.size());
    }

    TcDirOpRecord o;
    if (tc_readDirOp(data, size, o)) text(o.path);

    TcStatRecord s;
    if (tc_readStat(data, size, s)) {
        text(s.first);
        check(s.names.size() <= size / 2);
        for (std::string_view n : s.names) {
            text(n);
            check(!n.empty());
        }
    }

    TcPut2Record put;
    if (tc_readPut2(data, size, put)) text(put.name);

    TcProcessRecord proc;
    if (tc_readProcess(data, size, proc) && proc.bodyOk) {
        text(proc.program);
        text(proc.arguments);
    }

    TcClipSetRecord clip;
    if (tc_readClipSet(data, size, clip)) inside(clip.text);
    uint8_t kind = 0;
    tc_readClipGet(data, size, kind);
    TcLocaleRecord locale;
    tc_readLocaleInfo(data, size, locale);
    int32_t selector = 0;
    tc_readLangIds(data, size, selector);

    for (bool extended : {false, true}) {
        TcHelpRecord h;
        if (tc_readHelp(data, size, extended, h)) {
            text(h.file);
            text(h.keyword);
        }
    }
    for (int code = 10; code <= 14; ++code) {
        TcDbgRecord g;
        if (tc_readDbg(code, data, size, g)) {
            inside(g.data);
            if (code != 13) check(g.data.empty());
        }
    }

    TcEditorRecord e;
    if (tc_readEditor(data, size, e)) {
        if (e.text.data()) text(e.text);
        if (e.message.data()) {
            text(e.message);
            check(e.message.data() > e.text.data() + e.text.size());
        }
    }
    TcEditMgrRecord em;
    if (tc_readEditMgr(data, size, em) && em.text.data()) text(em.text);

    return 0;
}
