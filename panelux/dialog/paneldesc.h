// The packed records of a panel that the server sends: the panel
// description (requests 23, 34, 35, 46, 51) and the field update record
// (requests 24, 26, 27). Read through the bounded reader only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "panel.h"
#include "wire.h"

constexpr size_t kPxDescHeaderSize = 25;

// Builds the panel from the description at the reader's position and leaves
// the reader after it. A malformed description (a count beyond its data, a
// text without its end, more than 255 boxes and texts) or a lack of memory
// gives null and builds nothing. The owner record receives the two owner
// values and the owner byte and becomes the panel's owner; it must outlive
// the panel.
PxPanel *px_buildPanel(WireReader &r, size_t userBlockSize, PxPanelOwner *owner);

// Field update record flags.
enum : uint8_t {
    kPxUpdKind = 0x01,
    kPxUpdType = 0x02,
    kPxUpdWidth = 0x04,
    kPxUpdOptions = 0x08,
    kPxUpdValue = 0x10,
    kPxUpdFormat = 0x20,
    kPxUpdText2 = 0x40,
    kPxUpdList = 0x80,
};

// Applies one field update record to a field of the panel and leaves the
// reader after it. false when the record is malformed, a size is negative or
// memory runs out; what the record set before that stays set.
bool px_applyFieldUpdate(PxPanel *panel, PxField *field, WireReader &r);
