// Administrator rights: whether the current user may install.
#pragma once

// True on the Windows 95 family; on the NT family true when the access token
// (the thread's when it impersonates, else the process's) lists the
// Administrators group. False when no token can be opened. Throws
// SystemError when the group list cannot be read.
bool IsAdministrator();
