// The outside format-template library QVFORMAT.DLL as formkit uses it: two
// exports, and a formatter object whose first part is its own table of
// entries (entry n is the object's n-th pointer). Included by formkit and by
// the stand-in library of the tests alike.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef _WIN32
#define __cdecl
#endif

// Calling convention of the exports and of every formatter entry.
#define QVFMTCALL __cdecl

struct PxFormatter;

// A value handed to or filled by the formatter: a PxValueType code (7 for
// text), the value or text buffer, and a text length or buffer size.
struct PxFmtValue {
    int32_t type;
    void *value;
    int16_t size;
};

// Movement codes of moveCaret and selectMove.
enum QvFmtMove : int32_t {
    QVFMT_START = 0, QVFMT_LEFT = 1, QVFMT_RIGHT = 2, QVFMT_END = 3, QVFMT_WORDLEFT = 6, QVFMT_WORDRIGHT = 7,
};

// Code pages of setCodePage; kQvFmtQuery asks without changing.
constexpr uint8_t kQvFmtOem = 1;
constexpr uint8_t kQvFmtAnsi = 2;
constexpr uint8_t kQvFmtQuery = 255;
// alignment(): 0 right, 1 left, 2 centre.
constexpr uint8_t kQvFmtRight = 0, kQvFmtLeft = 1, kQvFmtCentre = 2;

struct QvFormatTable {
    void(QVFMTCALL *setFormat)(PxFormatter *f, const char *name);               // 0
    void *reserved1;                                                             // 1
    void(QVFMTCALL *setText)(PxFormatter *f, const char *text);                 // 2
    void(QVFMTCALL *setValue)(PxFormatter *f, const PxFmtValue *value);         // 3
    uint8_t(QVFMTCALL *getValue)(PxFormatter *f, PxFmtValue *value);            // 4
    const char *(QVFMTCALL *text)(PxFormatter *f, int32_t maximum);             // 5
    uint8_t(QVFMTCALL *setInsertMode)(PxFormatter *f, uint8_t insert);          // 6
    uint8_t(QVFMTCALL *isInsertMode)(PxFormatter *f);                           // 7
    void *reserved8;                                                             // 8
    int32_t(QVFMTCALL *textLength)(PxFormatter *f);                             // 9
    uint8_t(QVFMTCALL *deleteChar)(PxFormatter *f);                             // 10
    uint8_t(QVFMTCALL *deleteBack)(PxFormatter *f);                             // 11
    uint8_t(QVFMTCALL *putChar)(PxFormatter *f, int32_t c);                     // 12
    uint8_t(QVFMTCALL *moveCaret)(PxFormatter *f, int32_t move);                // 13
    uint8_t(QVFMTCALL *setCaret)(PxFormatter *f, int32_t pos);                  // 14
    int32_t(QVFMTCALL *hasSelection)(PxFormatter *f);                           // 15
    int32_t(QVFMTCALL *selectionStart)(PxFormatter *f);                         // 16
    int32_t(QVFMTCALL *selectionEnd)(PxFormatter *f);                           // 17
    uint8_t(QVFMTCALL *selectMove)(PxFormatter *f, int32_t move);               // 18
    uint8_t(QVFMTCALL *selectTo)(PxFormatter *f, int32_t pos);                  // 19
    void *reserved20;                                                            // 20
    int32_t(QVFMTCALL *caretPos)(PxFormatter *f);                               // 21
    void(QVFMTCALL *setOption)(PxFormatter *f, int32_t option);                 // 22
    void(QVFMTCALL *showInsertMode)(PxFormatter *f, uint8_t on);                // 23
    void(QVFMTCALL *beginEdit)(PxFormatter *f);                                 // 24
    void *reserved25;                                                            // 25
    uint8_t(QVFMTCALL *normalize)(PxFormatter *f);                              // 26
    uint8_t(QVFMTCALL *formatKind)(PxFormatter *f);                             // 27
    void *reserved28;                                                            // 28
    uint8_t(QVFMTCALL *setCodePage)(PxFormatter *f, uint8_t codePage);          // 29
    uint32_t(QVFMTCALL *version)(PxFormatter *f);                               // 30
    uint8_t(QVFMTCALL *alignment)(PxFormatter *f, uint8_t align);               // 31
    void(QVFMTCALL *bindType)(PxFormatter *f, int32_t type, int32_t second);    // 32
    int32_t(QVFMTCALL *valueType)(PxFormatter *f, int32_t *type, int32_t *second);  // 33
    void(QVFMTCALL *selectAll)(PxFormatter *f);                                 // 34
    uint8_t(QVFMTCALL *isModified)(PxFormatter *f);                             // 35
    void(QVFMTCALL *copyText)(PxFormatter *f, char *buffer, int32_t size);      // 36
    uint8_t(QVFMTCALL *isAllSelected)(PxFormatter *f);                          // 37
    void(QVFMTCALL *setModified)(PxFormatter *f, uint8_t modified);             // 38
};
static_assert(offsetof(QvFormatTable, version) == 30 * sizeof(void *), "entry 30");
static_assert(offsetof(QvFormatTable, setModified) == 38 * sizeof(void *), "entry 38");

// The object begins with its table; what follows is the library's own.
struct PxFormatter {
    QvFormatTable fn;
};

// What the 32-bit library reads: the value record with natural alignment
// and the entries at their positions in the object.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PxFmtValue) == 12 && offsetof(PxFmtValue, value) == 4 && offsetof(PxFmtValue, size) == 8,
              "value record: type, pointer, 16-bit size");
static_assert(offsetof(PxFormatter, fn) == 0, "the object is its own table");
static_assert(offsetof(QvFormatTable, setFormat) == 0 && offsetof(QvFormatTable, setText) == 2 * 4 &&
                  offsetof(QvFormatTable, setValue) == 3 * 4 && offsetof(QvFormatTable, getValue) == 4 * 4 &&
                  offsetof(QvFormatTable, text) == 5 * 4 && offsetof(QvFormatTable, setInsertMode) == 6 * 4 &&
                  offsetof(QvFormatTable, isInsertMode) == 7 * 4 && offsetof(QvFormatTable, textLength) == 9 * 4 &&
                  offsetof(QvFormatTable, deleteChar) == 10 * 4 && offsetof(QvFormatTable, deleteBack) == 11 * 4 &&
                  offsetof(QvFormatTable, putChar) == 12 * 4 && offsetof(QvFormatTable, moveCaret) == 13 * 4 &&
                  offsetof(QvFormatTable, setCaret) == 14 * 4 && offsetof(QvFormatTable, hasSelection) == 15 * 4 &&
                  offsetof(QvFormatTable, selectionStart) == 16 * 4 &&
                  offsetof(QvFormatTable, selectionEnd) == 17 * 4 && offsetof(QvFormatTable, selectMove) == 18 * 4 &&
                  offsetof(QvFormatTable, selectTo) == 19 * 4,
              "text and caret entries");
static_assert(offsetof(QvFormatTable, caretPos) == 21 * 4 && offsetof(QvFormatTable, setOption) == 22 * 4 &&
                  offsetof(QvFormatTable, showInsertMode) == 23 * 4 && offsetof(QvFormatTable, beginEdit) == 24 * 4 &&
                  offsetof(QvFormatTable, normalize) == 26 * 4 && offsetof(QvFormatTable, formatKind) == 27 * 4 &&
                  offsetof(QvFormatTable, setCodePage) == 29 * 4 && offsetof(QvFormatTable, version) == 30 * 4 &&
                  offsetof(QvFormatTable, alignment) == 31 * 4 && offsetof(QvFormatTable, bindType) == 32 * 4 &&
                  offsetof(QvFormatTable, valueType) == 33 * 4 && offsetof(QvFormatTable, selectAll) == 34 * 4 &&
                  offsetof(QvFormatTable, isModified) == 35 * 4 && offsetof(QvFormatTable, copyText) == 36 * 4 &&
                  offsetof(QvFormatTable, isAllSelected) == 37 * 4 && offsetof(QvFormatTable, setModified) == 38 * 4,
              "option, type and state entries");
#endif

// Interface versions from which an entry may be called.
constexpr uint32_t kQvFmtBindTypeAbove = 1;
constexpr uint32_t kQvFmtSelectAllAbove = 2;
constexpr uint32_t kQvFmtEditAbove = 4;  // setModified after a load, the formatted edit

// The one formatter kind formkit makes and frees.
constexpr uint8_t kQvFmtKindTemplate = 1;
// setOption's one value.
constexpr int32_t kQvFmtOption = 32;

extern "C" {
typedef PxFormatter *(QVFMTCALL *QVCreateFormatCFn)(void);
typedef void(QVFMTCALL *QVDeleteFormatCFn)(PxFormatter *f);
}
