#include "handlers.h"
int tc_process(const TcRequest &) { return 0; }
void tc_processTableEmpty() {}
