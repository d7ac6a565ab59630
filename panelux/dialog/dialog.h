// Dialog windows on the character grid: one pxDialogWnd per open panel,
// its texts, boxes, etched lines and field controls laid out in grid steps,
// the field procedure with the clipboard keys, and the modal input loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "items.h"
#include "panel.h"
#include "zam_ext.h"

struct PxDialog;
struct PxEditor;
struct PxInputFilter;
struct PxTabArea;
struct PxScrollList;

// PxFieldCtl::buttonStyle: the text is cut to the control's width.
constexpr uint32_t kPxShortenText = 0x10000000;

// Dialog flags.
enum : uint32_t {
    kPxDlgChild = 1,
    kPxDlgTopLevel = 2,
    kPxDlgOutside = 4,
    kPxDlgNoSysMenu = 8,
    kPxDlgNoBorder = 0x10,
    kPxDlgHasOutside = 0x10000,
    kPxDlgAnsiTexts = 0x10000000,
};

enum : int {
    kPxBoxIdBase = 256,
    kPxTextIdBase = 512,
    kPxFieldIdBase = 768,
    kPxDialogChildId = 4096,
};

// The formatted edit a field runs through when its formatter can drive one;
// the engine is in fmtedit.h.
struct PxFmtEditHost;
PxFmtEditHost *px_fmtEditAttach(HWND control, PxFormatter *formatter);
void px_fmtEditDetach(PxFmtEditHost *host);

struct PxFieldCtl {
    PxField *field = nullptr;
    uint8_t kindByte = 0;
    int32_t number = 0;
    uint8_t type = 0;
    int column = 0, width = 0;
    int kind = 0;
    uint32_t options = 0;
    bool enabled = false;
    bool readOnlyMark = false;
    bool oemFont = false;
    std::string label;  // ANSI
    uint32_t buttonStyle = 0;
    int colour = 0;
    bool focused = false;
    HWND hwnd = nullptr;
    WNDPROC oldProc = nullptr;
    PxInputFilter *filter = nullptr;
    PxFmtEditHost *fmtEdit = nullptr;
    int x = 0, y = 0, cx = 0, cy = 0;
    int phase = 0;
    PxDialog *dialog = nullptr;
    bool shortened = false;  // the control shows its text cut to its width
    int replay = 0;          // replayed button messages the control takes itself
};

struct PxDialogText {
    PxItemText item;
    RECT px;
};
struct PxDialogBox {
    PxItemBox item;
    RECT px;
};

struct PxDialog {
    PxPanel *panel = nullptr;
    PxDialog *parent = nullptr;
    std::vector<PxDialog *> children;
    std::vector<PxFieldCtl> fields;
    std::vector<PxLine> lines;  // half cells
    std::vector<PxDialogText> texts;
    std::vector<PxDialogBox> boxes;
    HWND hwnd = nullptr;
    HWND statusBar = nullptr;
    HWND owner = nullptr;
    HWND inputWnd = nullptr;
    HFONT textFont = nullptr, fieldFont = nullptr, disableFont = nullptr;
    int x = 0, y = 0, cx = 0, cy = 0;
    uint32_t flags = 0;
    // At most one of these; the dialog owns it once open.
    PxEditor *editor = nullptr;
    PxTabArea *tab = nullptr;
    PxScrollList *list = nullptr;
    void *childEntry = nullptr;  // its PxChildWnd, when it joined the window list
    void *topEntry = nullptr;    // its own PxTopWnd, for a frameless top-level dialog
    // The field tip open over the dialog (request 14): its balloon and the
    // help id F1 answers with meanwhile.
    struct {
        HWND balloon = nullptr;
        int32_t helpContext = 0;
    } tip;
    // Window rectangle when the user began to resize it; fitting while the
    // module itself sizes a window that the user may not.
    bool userSizing = false, fitting = false;
    RECT sizeStart{};
    // Waits on the dialog (input loops, a field tip) that a request arriving
    // meanwhile may close: the record outlives its closing until the last
    // of them lets go, and each asks closed after its wait.
    int holds = 0;
    bool closed = false;
};

// Keeps a dialog's record for the time of a wait on it.
class PxDialogHold {
public:
    explicit PxDialogHold(PxDialog *d);
    ~PxDialogHold();
    PxDialogHold(const PxDialogHold &) = delete;
    PxDialogHold &operator=(const PxDialogHold &) = delete;
    // The dialog was closed during the wait: its window, panel and field
    // values are gone.
    bool closed() const { return d_->closed; }

private:
    PxDialog *d_;
};

extern const char kPxDialogClass[];  // "pxDialogWnd"

PxDialog *px_dialogOf(HWND wnd);
PxDialog *px_dialogOfPanel(const PxPanel *panel);
// The dialog of the top window that input runs in (or null).
PxDialog *px_currentDialog();
// The colours of a dialog's field control, set in dc: its brush, or null
// for a control the module does not colour.
HBRUSH px_ctlColor(HWND dialog, HDC dc, HWND control);
// The colours of a list's in-place edit: a named colour of its column for
// kinds 1 and 5, else the window's.
HBRUSH px_listCellColor(PxDialog *d, HDC dc, HWND control);
// WM_CTLCOLOREDIT/WM_CTLCOLORSTATIC of the dialog: px_ctlColor, and the
// default where it colours nothing.
LRESULT px_dialogColor(PxDialog *d, UINT msg, HDC dc, HWND control);

// 0, or -1 with nothing left behind. An editor, tab area or list passed
// along is owned by the dialog once open (the caller frees it after a
// failure).
int px_openDialog(PxPanel *panel);
int px_openDialog(PxPanel *panel, PxEditor *editor);
int px_openDialog(PxPanel *panel, PxTabArea *tab);
int px_openDialog(PxPanel *panel, PxScrollList *list);
void px_closeDialog(PxPanel *panel);
void px_refreshFields(PxPanel *panel);
void px_refreshField(PxPanel *panel, int index);
void px_setDialogTexts(PxPanel *panel);
// New text of a field's control (OEM unless the field is marked ANSI).
bool px_getFieldText(PxPanel *panel, int index, std::string *out);
int px_waitDialog(PxEvent *ev, PxPanel *panel);
int px_editField(PxEvent *ev, PxPanel *panel);
// Brings the place input runs on (the current field's control, or the edit
// over a list's current cell) into the frame's view.
void px_showInputPlace(PxDialog *dialog);
void px_setScrollInfo(PxPanel *panel, int bar, int minimum, int maximum, int page, int position);
// The panel's dialog record, or the panel itself when it has no window.
void *px_panelWindow(PxPanel *panel);
bool px_isTopDialog(const PxDialog *dialog);

// Field controls (fieldctl.cpp).
// Makes every field's control showing the field's value.
bool px_createFields(PxDialog *dialog);
void px_updateFieldCtls(PxDialog *dialog);
// Insets a text rectangle on the grid so the text font sits centred in its cells.
void px_centreInCells(int *x, int *y, int *cx, int *cy);
void px_showFieldValues(PxDialog *dialog, int from, int to);
int px_fieldAlign(const PxField *field);
// Puts the field procedure on the control a field is shown in (ctl->hwnd):
// the record as its "pxField" property, and the typed filter of an input
// kind without a formatter. Destroying the control undoes it.
void px_subclassField(PxFieldCtl *ctl);
int px_runInputLoop(PxEvent *ev, PxDialog *dialog, PxFieldCtl *ctl, HWND hwnd);
int px_editCurrentField(PxEvent *ev, PxDialog *dialog);
bool px_takeFieldValue(HWND hwnd, PxFieldCtl *ctl, bool check);
// A clipboard key typed into a field control (kind 0x300) or another
// control kind; 1 when a row matched and the key was used.
int px_translateClipKey(HWND hwnd, int controlKind, int vk, int shift);
// The edit message of a clipboard key for a control kind; 0 when none.
UINT px_clipKeyMessage(int controlKind, int vk, int shift);
// The same for a key message the key dispatch is about to turn into an
// event: true when the key was a clipboard key of a field control.
bool px_fieldClipKey(HWND hwnd, int vk, int shift);
// Whether a field control of an edit kind edits the key of that code
// itself, so the key is left to it instead of becoming an event.
bool px_fieldEditsKey(HWND hwnd, int code);
bool px_copyText(HWND hwnd, const char *text, size_t length, bool oem);
// The focus mark the dialog draws around its current field when that is a
// check box or radio button without label (dialog client co-ordinates).
bool px_focusMarkRect(const PxDialog *dialog, RECT *out);
// A module hook for masked-string input: given the text before and after
// the input and the event that ended it, answers the event to report.
typedef int (*PxMaskedInputFn)(const char *oldText, const char *newText, int oldLength, int event, PxPanel *panel);
PxMaskedInputFn px_setMaskedInputHook(PxMaskedInputFn hook);
// The whole text a field control shows for its value (Windows code page
// unless the font is OEM or the field is marked as Windows text).
std::string px_fieldShownText(const PxFieldCtl &ctl);
// A control's text in the Windows code page.
std::string px_windowText(HWND wnd);
