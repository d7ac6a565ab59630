#include "module.h"

SysmixModule &sysmix_module() {
    static SysmixModule m;
    return m;
}
