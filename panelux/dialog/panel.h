// The terminal-side picture of one form the server describes: a panel of
// boxes, fixed texts, typed input fields and status-line panes on the
// character grid, with the value types and sizes of its fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ringlist.h"

struct PxFormatter;
struct PxPanel;

// Field value types; kPxVariant added gives the variant form of a type.
enum PxValueType : uint8_t {
    PXV_INT16 = 0, PXV_INT32, PXV_FLOAT, PXV_FLOATG, PXV_DOUBLE, PXV_DOUBLEG, PXV_MONEY,
    PXV_STRING, PXV_MASKSTR, PXV_DATE, PXV_TIME, PXV_SHORTTIME, PXV_CHAR, PXV_BYTE,
    PXV_MONEY64, PXV_MONEY64G, PXV_MONEYG, PXV_LDOUBLE, PXV_RJSTRING, PXV_MONEY2, PXV_DINT,
    PXV_LDINT, PXV_DINTG, PXV_LDINTG, PXV_TEXT, PXV_DECIMAL,
};
constexpr uint8_t kPxVariant = 0x80;
constexpr int kPxValueTypeCount = 26;

// Low four bits of PxField::kind are the control kind; these two bits take
// the field out of input navigation.
constexpr uint8_t kPxKindMask = 0x0F;
constexpr uint8_t kPxKindSkip = 0x10;
constexpr uint8_t kPxKindHidden = 0x20;

// PxField::options.
constexpr uint32_t kPxAnyDecimals = 0x00008000;
constexpr uint32_t kPxCheckBox = 0x00020000;
constexpr uint32_t kPxRadio = 0x00040000;
constexpr uint32_t kPxPassword = 0x00080000;
constexpr uint32_t kPxProgress = 0x00100000;
constexpr uint32_t kPxEditForm = 0x00800000;
constexpr uint32_t kPxPlainText = 0x01000000;
constexpr uint32_t kPxNoEdge = 0x02000000;
constexpr uint32_t kPxFlat = 0x08000000;
constexpr uint32_t kPxGrouped = 0x10000000;
constexpr uint32_t kPxSecondDateForm = 0x40000000;
constexpr uint32_t kPxAnsiText = 0x80000000;

// List data of a field (field update flag 0x80): a typed text for the list.
struct PxListData {
    uint8_t type;
    char *text;  // owned; null for types without a text
    int32_t length;
};

// One per field: its display formatter, the format text it was made from,
// and what field updates keep beside them.
struct PxFormatSlot {
    PxFormatter *formatter;
    char *formatText;
    char *text2;
    PxListData *listData;
};

struct PxField {
    uint8_t kind;
    int32_t number;
    uint8_t type;
    char *value;       // owned: binary for fixed-size types, a text otherwise
    int32_t length;    // text types: buffer length; number types: decimals
    int32_t capacity;  // bytes the value buffer really holds
    int16_t column, row, width, height;
    int16_t links[4];
    int32_t helpContext;
    uint32_t options;
    char *header;  // owned
    char *format;  // owned
    PxFormatSlot *formatSlot;
};

// A fixed text, or a box when column holds kPxBoxMark.
constexpr int16_t kPxBoxMark = 255;
struct PxText {
    int32_t value;
    char *text;  // owned copy; null for a box
    int16_t column, row;
    int8_t boxColumn, boxRow, boxWidth, boxHeight;
    bool isBox() const { return column == kPxBoxMark; }
};

// One pane of the dialog's status bar.
struct PxPanelNote {
    RingLink link;
    int32_t id;
    int32_t width;  // characters
    uint8_t shown;
    int32_t style;
    char *text;  // owned
};

struct PxPanelRuntime {
    void *dialogNode;  // set while a dialog window exists
    RingList *notes;   // null until the first pane
    PxFormatSlot *formatSlots;
    uint8_t spare;
};

// What a description says of the panel's owner; kept in a record that
// outlives the panel's table entry (the request handler's link record).
struct PxPanelOwner {
    int32_t serverHandle;
    int32_t objectNumber;
    int32_t ownerByte;  // the description's byte 22; 0 is kept as -1
};

// PxPanel::options read by the dialogs.
constexpr uint32_t kPxPanelNoSysMenu = 0x40;
constexpr uint32_t kPxPanelRightAlign = 0x80;

struct PxPanel {
    int32_t id;  // bits 0-7 colour class, 8-15 dialog mode
    PxField *fields;
    uint8_t fieldCount;
    PxText *texts;
    uint8_t textCount;  // boxes and texts
    int16_t left, top, right, bottom;
    int32_t helpContext;
    PxPanelOwner *owner;
    uint8_t mark;
    char *caption2;  // owned
    char *caption;   // owned
    PxField *currentField;
    uint32_t options;
    uint8_t marker;
    const char *name;
    PxPanelRuntime *runtime;
    // Room made for the arrays; the counts never pass it.
    uint8_t fieldRoom, textRoom;
    void *userBlock;
    size_t userBlockSize;
};

// One zeroed block for the header, the user block, the runtime part and the
// arrays; null after the out-of-memory report.
PxPanel *px_allocPanel(int32_t id, int fieldCount, int textCount, int16_t left, int16_t top, int16_t right,
                       int16_t bottom, int32_t helpContext, uint8_t mark, size_t userBlockSize);
// Frees every text, value, format object, slot and note, then the block.
void px_freePanel(PxPanel *panel);
struct PxPanelFree {
    void operator()(PxPanel *p) const { px_freePanel(p); }
};
using PxPanelPtr = std::unique_ptr<PxPanel, PxPanelFree>;

// Append at the current count; null when the room is used up or a copy
// cannot be made (nothing is appended then).
PxText *px_appendText(PxPanel *panel, int32_t value, const char *text, int16_t column, int16_t row);
PxText *px_appendBox(PxPanel *panel, int32_t value, int8_t column, int8_t row, int8_t width, int8_t height);
PxField *px_appendField(PxPanel *panel, uint8_t kind, int32_t number, uint8_t type, int32_t length,
                        int16_t column, int16_t row, int16_t width, int16_t height, uint32_t options);

// Binary size of a type (variant bit ignored); fallback for the text types
// 7, 8, 18 and 24; 0 for codes above 25.
int px_valueSize(int type, int fallback);
bool px_isTextType(int type);

// Value buffer of at least bytes (zeroed beyond what it held, which is kept
// as far as it fits); false when memory runs out, the field unchanged.
bool px_fieldReserve(PxField *field, size_t bytes);
// Value buffer of exactly bytes, keeping what fits.
bool px_fieldResize(PxField *field, size_t bytes);
// Copies a text into the value buffer, made large enough for the larger of
// its length + 1 and the field's length.
bool px_fieldStoreText(PxField *field, const char *text, size_t len);

// 0 accepted, 1 rejected, -1 no digit at all (number rules).
int px_checkFieldText(const char *text, const PxField *field);

// Gives every field a slot (the panel's one array, made afresh); frees it
// with the formatters its slots hold.
bool px_allocFormatSlots(PxPanel *panel);
void px_freeFormatSlots(PxPanel *panel);
void px_freeListData(PxListData *data);

int px_addPanelNote(PxPanel *panel, int32_t id, int32_t width, int32_t style, uint8_t shown);
int px_setPanelNoteText(PxPanel *panel, int32_t id, const char *text);
PxPanelNote *px_findPanelNote(const PxPanel *panel, int32_t id);
void px_freePanelNotes(PxPanel *panel);

// The menu item record chosen last; returns the previous one.
void *px_setLastMenuItem(void *item);
void *px_getLastMenuItem();

// How many fields an update or a run covers: the dialog's shown count plus a
// positive extra count, never more than the fields the panel has.
int px_fieldsCovered(const PxPanel *panel, int shownCount, int extra);

// A malloc'd copy (null for null or when memory runs out).
char *px_strdup(const char *text);
char *px_strndup(const char *text, size_t len);
