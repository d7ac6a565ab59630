// What a dialog shows of a panel's texts: etched lines from frame
// characters, check boxes and radio buttons, box labels, blanked brackets
// and alignment marks, always inside the grid and the texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items.h"

static bool operator==(const PxLine &a, const PxLine &b) { return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2; }

namespace {

struct TextAt {
    int column, row;
    std::string text;
};
struct FieldAt {
    int kind, column, row, width;
};

PxPanelPtr makePanel(int width, int height, const std::vector<TextAt> &texts, const std::vector<FieldAt> &fields,
                     std::vector<std::vector<int>> boxes = {}) {
    PxPanelPtr p(px_allocPanel(0, static_cast<int>(fields.size()), static_cast<int>(texts.size() + boxes.size()), 0, 0,
                               static_cast<int16_t>(width - 1), static_cast<int16_t>(height - 1), 0, 0, 0));
    for (const auto &b : boxes)
        px_appendBox(p.get(), 0, static_cast<int8_t>(b[0]), static_cast<int8_t>(b[1]), static_cast<int8_t>(b[2]),
                     static_cast<int8_t>(b[3]));
    for (const TextAt &t : texts)
        px_appendText(p.get(), 0, t.text.c_str(), static_cast<int16_t>(t.column), static_cast<int16_t>(t.row));
    for (const FieldAt &f : fields)
        px_appendField(p.get(), static_cast<uint8_t>(f.kind), 1, PXV_STRING, 4, static_cast<int16_t>(f.column),
                       static_cast<int16_t>(f.row), static_cast<int16_t>(f.width), 1, 0);
    return p;
}

TEST(DialogItems, FrameCharactersBecomeLinesInsideTheGrid) {
    struct Case {
        const char *name;
        int width, height;
        std::vector<TextAt> texts;
        std::vector<PxLine> lines;
        size_t textCount;
    } cases[] = {
        {"rectangle", 8, 5,
         {{1, 1, "\xDA\xC4\xC4\xBF"}, {1, 2, "\xB3  \xB3"}, {1, 3, "\xC0\xC4\xC4\xD9"}},
         {{3, 3, 9, 3}, {3, 7, 9, 7}, {3, 3, 3, 7}, {9, 3, 9, 7}}, 0},
        {"double line with a word", 10, 3, {{0, 1, "\xCD\xCD Tab \xCD\xCD"}}, {{0, 3, 4, 3}, {14, 3, 18, 3}}, 1},
        // Cells past the panel's edge and rows below it set nothing.
        {"running off the grid", 5, 3, {{3, 1, "\xC4\xC4\xC4\xC4\xC4\xC4"}, {0, 9, "\xC4\xC4"}}, {{6, 3, 10, 3}}, 0},
        {"far off the grid", 4, 2, {{-100, -5, "\xC5"}, {30000, 1, "\xC5"}}, {}, 0},
    };
    for (const Case &c : cases) {
        PxPanelPtr p = makePanel(c.width, c.height, c.texts, {});
        PxItems items = px_buildItems(p.get());
        EXPECT_EQ(c.lines, items.lines) << c.name;
        EXPECT_EQ(c.textCount, items.texts.size()) << c.name;
    }
}

TEST(DialogItems, MarksNextToOneCellFieldsMakeButtons) {
    struct Case {
        const char *name;
        TextAt text;
        FieldAt field;
        int kind;
        uint32_t option;
        std::string label, leftText;
        bool labelLeft, readOnly;
    } cases[] = {
        {"radio opens the text", {2, 1, "( ) Yes"}, {2, 2, 1, 1}, 7, kPxRadio, "Yes", "", false, false},
        {"check box closes it", {1, 1, "Agree [ ]"}, {2, 7, 1, 1}, 7, kPxCheckBox, "Agree", "", true, false},
        {"in the middle", {1, 1, "A [ ] B"}, {7, 3, 1, 1}, 7, kPxCheckBox, "B", "A", false, false},
        {"read-only kind 5", {1, 1, "[ ] Lock"}, {5, 1, 1, 1}, 7, kPxCheckBox, "Lock", "", false, true},
        {"mark cut by the text's end", {1, 1, "x ["}, {2, 3, 1, 1}, 2, 0, "", "x [", false, false},
        {"wider field", {1, 1, "[ ] No"}, {2, 1, 1, 2}, 2, 0, "", "[ ] No", false, false},
        {"input kind", {1, 1, "[ ] No"}, {1, 1, 1, 1}, 1, 0, "", "[ ] No", false, false},
    };
    for (const Case &c : cases) {
        PxPanelPtr p = makePanel(20, 4, {c.text}, {c.field});
        PxItems items = px_buildItems(p.get());
        const PxItemField &f = items.fields.at(0);
        EXPECT_EQ(c.kind, f.kind) << c.name;
        EXPECT_EQ(c.option, f.addOptions) << c.name;
        EXPECT_EQ(c.label, f.label) << c.name;
        EXPECT_EQ(c.labelLeft, f.labelLeft) << c.name;
        EXPECT_EQ(c.readOnly, f.readOnlyMark) << c.name;
        if (c.leftText.empty()) EXPECT_TRUE(items.texts.empty()) << c.name;
        else {
            ASSERT_EQ(1u, items.texts.size()) << c.name;
            EXPECT_EQ(c.leftText, items.texts[0].text) << c.name;
        }
    }
}

TEST(DialogItems, AlignmentMarksBoxLabelsAndBrackets) {
    PxPanelPtr p = makePanel(30, 8,
                             {{1, 1, "\xFFTitle\xFF"}, {1, 2, "\xFFLeft"}, {1, 3, "Right\xFF"}, {3, 4, " Group "},
                              {1, 6, "Name: [          ]"}, {1, 7, "\xFF"}},
                             {{1, 8, 6, 10}}, {{1, 4, 12, 2}});
    PxItems items = px_buildItems(p.get());
    ASSERT_EQ(1u, items.boxes.size());
    EXPECT_EQ("Group", items.boxes[0].label);
    struct Want {
        std::string text;
        int align, column;
    } want[] = {{"Title", 2, 2}, {"Left", 0, 2}, {"Right", 1, 1}, {"Name:" + std::string(13, ' '), -1, 1}, {"\xFF", -1, 1}};
    ASSERT_EQ(5u, items.texts.size());
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(want[i].text, items.texts[i].text) << i;
        EXPECT_EQ(want[i].align, items.texts[i].align) << i;
        EXPECT_EQ(want[i].column, items.texts[i].column) << i;
    }
}

TEST(DialogItems, FieldColourClassAgainstThePanels) {
    struct Case {
        int32_t panelId, number;
        int colour;
    } cases[] = {
        {0, 0x0005, 0},   // no colour byte
        {0, 0x0105, 0},   // class 1 like the panel's
        {0, 0x0205, 2},   {0x0202, 0x0405, 4}, {0x0203, 0x0405, 0}, {0, 0x0505, 5},
        {4, 0x0605, 0},   // k(4) = k(5)
        {0, 0x0705, 6},   {0, 0x0805, 0}, {9, 0x0105, 1},
    };
    for (const Case &c : cases) EXPECT_EQ(c.colour, px_fieldColour(c.panelId, c.number)) << std::hex << c.number;
}

}  // namespace
