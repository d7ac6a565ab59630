// formkit's handlers for the decimal library's inexact, overflow and
// divide-by-zero errors: installed at library attach, the library's
// defaults put back at detach.
#pragma once

void px_installNumericHandlers();
void px_restoreNumericHandlers();
