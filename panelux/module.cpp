#include "module.h"

PxModule &px_module() {
    static PxModule m;
    return m;
}
