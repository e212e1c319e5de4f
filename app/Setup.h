// The program's main block: rights test, the three forms, the message loop.
#pragma once

int SetupMain();
