#include "items.h"

#include <cstring>

namespace {

constexpr unsigned char kFirstFrameChar = 0xB3, kLastFrameChar = 0xDA;
constexpr unsigned char kAlignMark = 0xFF;

// Arms of the code page 866 characters 0xB3 to 0xDA, in order.
const uint8_t kArms[kLastFrameChar - kFirstFrameChar + 1] = {
    4 | 8, 1 | 4 | 8, 1 | 4 | 8, 1 | 4 | 8, 1 | 8, 1 | 8, 1 | 4 | 8, 4 | 8,          // B3-BA
    1 | 8, 1 | 4, 1 | 4, 1 | 4, 1 | 8, 2 | 4, 1 | 2 | 4, 1 | 2 | 8,                  // BB-C2
    2 | 4 | 8, 1 | 2, 15, 2 | 4 | 8, 2 | 4 | 8, 2 | 4, 2 | 8, 1 | 2 | 4,             // C3-CA
    1 | 2 | 8, 2 | 4 | 8, 1 | 2, 15, 1 | 2 | 4, 1 | 2 | 4, 1 | 2 | 8, 1 | 2 | 8,     // CB-D2
    2 | 4, 2 | 4, 2 | 8, 2 | 8, 15, 15, 1 | 4, 2 | 8,                                // D3-DA
};

struct Grid {
    int width, height;
    std::vector<uint8_t> arms;
    uint8_t at(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height ? arms[static_cast<size_t>(y) * width + x] : 0;
    }
    void set(int x, int y, uint8_t a) {
        if (x >= 0 && y >= 0 && x < width && y < height) arms[static_cast<size_t>(y) * width + x] |= a;
    }
};

std::string trimmed(const std::string &s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

void addRun(PxItems &items, const std::string &line, size_t from, size_t to, int column, int row) {
    std::string run = line.substr(from, to - from);
    size_t lead = run.find_first_not_of(' ');
    if (lead == std::string::npos) return;
    run = trimmed(run);
    int align = -1;
    if (run.size() > 1) {
        bool left = static_cast<unsigned char>(run.front()) == kAlignMark;
        bool right = static_cast<unsigned char>(run.back()) == kAlignMark;
        if (left && right) align = 2;
        else if (left) align = 0;
        else if (right) align = 1;
        if (right) run.pop_back();
        if (left) run.erase(0, 1), ++lead;
    }
    if (run.empty()) return;
    items.texts.push_back({column + static_cast<int>(from + lead), row, run, align});
}

// A horizontal or vertical pass over the arms: near/far are the arms along
// the axis.
void tracePass(const Grid &g, bool horizontal, std::vector<PxLine> &out) {
    uint8_t nearArm = horizontal ? kPxArmLeft : kPxArmUp, farArm = horizontal ? kPxArmRight : kPxArmDown;
    int lanes = horizontal ? g.height : g.width, cells = horizontal ? g.width : g.height;
    for (int lane = 0; lane < lanes; ++lane) {
        auto arms = [&](int n) { return horizontal ? g.at(n, lane) : g.at(lane, n); };
        int n = 0;
        while (n < cells) {
            uint8_t a = arms(n);
            if (!(a & farArm)) {
                ++n;
                continue;
            }
            int start = (a & nearArm) ? 2 * n : 2 * n + 1, end = 2 * n + 2;
            int m = n + 1;
            for (; m < cells; ++m) {
                uint8_t b = arms(m);
                if (!(b & nearArm)) break;
                if (!(b & farArm)) {
                    end = 2 * m + 1;
                    ++m;
                    break;
                }
                end = 2 * m + 2;
            }
            if (horizontal) out.push_back({start, 2 * lane + 1, end, 2 * lane + 1});
            else out.push_back({2 * lane + 1, start, 2 * lane + 1, end});
            n = m;
        }
    }
}

// "[ ]" or "( )" at the field's column turns a one-cell field into a check
// box or radio button labelled by the rest of the text.
void checkMarks(const PxPanel *panel, PxItems &items) {
    for (int i = 0; i < panel->fieldCount; ++i) {
        const PxField &f = panel->fields[i];
        PxItemField &it = items.fields[static_cast<size_t>(i)];
        if ((it.kind != 2 && it.kind != 5 && it.kind != 7) || f.width != 1) continue;
        for (size_t t = 0; t < items.texts.size(); ++t) {
            PxItemText &x = items.texts[t];
            long p = static_cast<long>(f.column) - x.column;
            if (x.row != f.row || p < 0 || static_cast<size_t>(p) + 3 > x.text.size()) continue;
            std::string mark = x.text.substr(static_cast<size_t>(p), 3);
            uint32_t option = mark == "[ ]" ? kPxCheckBox : mark == "( )" ? kPxRadio : 0;
            if (!option) continue;
            std::string before = trimmed(x.text.substr(0, static_cast<size_t>(p)));
            std::string after = trimmed(x.text.substr(static_cast<size_t>(p) + 3));
            it.readOnlyMark = it.kind == 5;
            it.kind = 7;
            it.addOptions |= option;
            if (p == 0 || !after.empty() || before.empty()) {
                it.label = after;
                if (p == 0 || before.empty()) items.texts.erase(items.texts.begin() + static_cast<long>(t));
                else x.text = before;
            } else {
                it.label = before;
                it.labelLeft = true;
                items.texts.erase(items.texts.begin() + static_cast<long>(t));
            }
            break;
        }
    }
}

void boxLabels(PxItems &items) {
    for (PxItemBox &b : items.boxes) {
        for (size_t t = 0; t < items.texts.size(); ++t) {
            const PxItemText &x = items.texts[t];
            int last = x.column + static_cast<int>(x.text.size()) - 1;
            if (x.row == b.row && x.column > b.column && last < b.column + b.width - 1) {
                b.label = x.text;
                items.texts.erase(items.texts.begin() + static_cast<long>(t));
                break;
            }
        }
    }
}

void blankBrackets(const PxPanel *panel, PxItems &items) {
    static const char kPairs[3][2] = {{'(', ')'}, {'[', ']'}, {'{', '}'}};
    for (int i = 0; i < panel->fieldCount; ++i) {
        const PxField &f = panel->fields[i];
        if (f.height != 1) continue;
        long open = static_cast<long>(f.column) - 1, close = static_cast<long>(f.column) + f.width;
        for (PxItemText &x : items.texts) {
            if (x.row != f.row) continue;
            long o = open - x.column, c = close - x.column, n = static_cast<long>(x.text.size());
            if (o < 0 || c < 0 || o >= n || c >= n) continue;
            for (const auto &pair : kPairs) {
                if (x.text[static_cast<size_t>(o)] == pair[0] && x.text[static_cast<size_t>(c)] == pair[1]) {
                    x.text[static_cast<size_t>(o)] = x.text[static_cast<size_t>(c)] = ' ';
                    break;
                }
            }
        }
    }
}

}  // namespace

int px_fieldColour(int32_t panelId, int32_t fieldNumber) {
    static const int kClass[7] = {1, 2, 3, 4, 5, 5, 6};
    auto cls = [](int c) { return c >= 0 && c < 7 ? kClass[c] : 0; };
    int c = (fieldNumber >> 8) & 0xFF;
    if (c == 0) return 0;
    int own = cls(c - 1);
    return own != cls(panelId & 0xFF) ? own : 0;
}

uint8_t px_frameArms(unsigned char c) {
    return c >= kFirstFrameChar && c <= kLastFrameChar ? kArms[c - kFirstFrameChar] : 0;
}

PxItems px_buildItems(const PxPanel *panel) {
    PxItems items;
    Grid grid{panel->right - panel->left + 1, panel->bottom - panel->top + 1, {}};
    if (grid.width < 0) grid.width = 0;
    if (grid.height < 0) grid.height = 0;
    grid.arms.assign(static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height), 0);
    for (int i = 0; i < panel->fieldCount; ++i)
        items.fields.push_back({panel->fields[i].kind & kPxKindMask, 0, std::string(), false, false});
    for (int i = 0; i < panel->textCount; ++i) {
        const PxText &t = panel->texts[i];
        if (t.isBox()) {
            items.boxes.push_back({t.boxColumn, t.boxRow, t.boxWidth, t.boxHeight, std::string()});
            continue;
        }
        if (!t.text) continue;
        std::string line(t.text);
        size_t runStart = 0;
        for (size_t k = 0; k <= line.size(); ++k) {
            uint8_t arms = k < line.size() ? px_frameArms(static_cast<unsigned char>(line[k])) : 0;
            if (k < line.size() && !arms) continue;
            if (k > runStart) addRun(items, line, runStart, k, t.column, t.row);
            runStart = k + 1;
            if (arms) grid.set(t.column + static_cast<int>(k), t.row, arms);
        }
    }
    tracePass(grid, true, items.lines);
    tracePass(grid, false, items.lines);
    checkMarks(panel, items);
    boxLabels(items);
    blankBrackets(panel, items);
    return items;
}
