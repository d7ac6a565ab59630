#include "datafile.h"

#include <algorithm>
#include <climits>

#include "wire.h"

namespace {

constexpr size_t kFieldsAt = 8;

RECT workArea() {
    RECT area{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0))
        SetRect(&area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return area;
}

// Record 1 when it has the size of a placement.
uint8_t *placementRecord(PxAppData &image) {
    uint8_t *record = px_findAppRecord(image, kPxPlacementKey);
    return record && px_appRecordSize(record) == kPxPlacementSize ? record : nullptr;
}

}  // namespace

bool px_saveFramePlacement(PxAppData &image, HWND frame) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(frame, &wp)) return false;
    uint8_t *record = px_findAppRecord(image, kPxPlacementKey);
    if (!record) record = px_addAppRecord(image, kPxPlacementKey, kPxPlacementSize);
    if (!record || px_appRecordSize(record) != kPxPlacementSize) return false;
    // The normal position is relative to the work area; the record holds
    // screen coordinates.
    RECT area = workArea();
    RECT r = wp.rcNormalPosition;
    OffsetRect(&r, area.left, area.top);
    WireWriter w(record + kFieldsAt, kPxPlacementSize - kFieldsAt);
    w.u32(wp.flags);
    w.i32(wp.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    w.i32(r.left);
    w.i32(r.top);
    w.i32(r.right);
    w.i32(r.bottom);
    return w.ok();
}

bool px_restoreFramePlacement(PxAppData &image, HWND frame, int *showCmd) {
    uint8_t *record = placementRecord(image);
    if (!record) return false;
    WireReader r(record + kFieldsAt, kPxPlacementSize - kFieldsAt);
    r.u32();
    int32_t show = r.i32();
    RECT saved;
    saved.left = r.i32();
    saved.top = r.i32();
    saved.right = r.i32();
    saved.bottom = r.i32();
    if (!r.ok()) return false;
    *showCmd = show == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    RECT area = workArea(), meet;
    if (!IntersectRect(&meet, &saved, &area)) return false;
    // A file's rectangle may span more than an int holds.
    auto extent = [](LONG from, LONG to) {
        return static_cast<int>(std::min<int64_t>(int64_t(to) - from, INT_MAX));
    };
    return SetWindowPos(frame, nullptr, meet.left, meet.top, extent(saved.left, saved.right),
                        extent(saved.top, saved.bottom), SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}
