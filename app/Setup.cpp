// The program's main block.
#include "app/Setup.h"

int SetupMain() { return 0; }
