#include "numhandlers.h"

// The decimal library brings its handler slots with it; until it is linked
// in there is nothing to install.
void px_installNumericHandlers() {}
void px_restoreNumericHandlers() {}
