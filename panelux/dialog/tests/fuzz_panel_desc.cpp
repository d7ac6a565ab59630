// Panel descriptions from any bytes; what follows a description that builds
// is read as field update records for its fields, and every field's value
// is then shown as text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fieldtext.h"
#include "paneldesc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    WireReader r(data, size);
    PxPanelOwner owner{};
    PxPanelPtr panel(px_buildPanel(r, 0, &owner));
    if (!panel) return 0;
    for (int i = 0; i < panel->fieldCount && r.left() > 0; ++i)
        if (!px_applyFieldUpdate(panel.get(), &panel->fields[i], r)) break;
    for (int i = 0; i < panel->fieldCount; ++i) {
        const PxField &f = panel->fields[i];
        int shown = 0;
        std::free(px_fieldText(&f, &shown, i % 2 == 0));
        px_checkFieldText(f.value && px_isTextType(f.type) ? f.value : "12.5", &f);
    }
    return 0;
}
