// The items a dialog window shows, read off a panel: fixed texts split from
// the pseudo-graphic frame characters (which become etched lines), group
// boxes with their labels, check boxes and radio buttons made from "[ ]" and
// "( )" next to one-cell fields, and bracket pairs around fields blanked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "panel.h"

// In half cells: the centre of cell n is 2n + 1.
struct PxLine {
    int x1, y1, x2, y2;
};

struct PxItemText {
    int column, row;
    std::string text;  // OEM, as the server sent it
    int align;         // -1 default, 0 left, 1 right, 2 centred
};

struct PxItemBox {
    int column, row, width, height;
    std::string label;
};

// What the items say of a field beyond its own record.
struct PxItemField {
    int kind;               // control kind: low bits of the field's kind, or 7
    uint32_t addOptions;    // kPxCheckBox or kPxRadio
    std::string label;      // button label
    bool labelLeft;         // the label stands before the mark
    bool readOnlyMark;      // a kind-5 field made a button
};

struct PxItems {
    std::vector<PxLine> lines;
    std::vector<PxItemText> texts;
    std::vector<PxItemBox> boxes;
    std::vector<PxItemField> fields;  // one per panel field
};

// Code page 866 frame characters: which arms the glyph has.
enum : uint8_t { kPxArmLeft = 1, kPxArmRight = 2, kPxArmUp = 4, kPxArmDown = 8 };
uint8_t px_frameArms(unsigned char c);

// Colour index 1-6 of a field whose colour class differs from its panel's
// (byte 1 of the field number against byte 0 of the panel id), else 0.
int px_fieldColour(int32_t panelId, int32_t fieldNumber);

// Everything is bounded by the panel's grid and the texts' own lengths.
PxItems px_buildItems(const PxPanel *panel);
