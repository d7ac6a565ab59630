#include "handlers.h"
int tc_fileStat(const TcRequest &) { return 0; }
