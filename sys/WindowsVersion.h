// The Windows version code: which release the installer runs on, computed once per process.
#pragma once
#include "os/OsSystem.h"

// Version codes. 0-5 are the Windows 95 family, 6-9 the NT family.
constexpr int kWin95A = 0;  // Windows 95 first release; also the answer when the query fails
constexpr int kWin95B = 1;  // Windows 95 OSR2
constexpr int kWin95C = 2;  // Windows 95 OSR2.5
constexpr int kWin98 = 3;
constexpr int kWin98SE = 4;
constexpr int kWinME = 5;
constexpr int kWinNT4 = 6;  // Windows NT 4 and NT 3.x
constexpr int kWin2K = 7;
constexpr int kWinXP = 8;
constexpr int kWinNT52 = 9;  // NT 5.2; no installation-list keyword names it

inline bool IsNtFamily(int versionCode) { return versionCode >= kWinNT4; }

// The version code of this Windows. Asks the system once; a failed query
// answers kWin95A and is asked again on the next call.
int GetWinVersion();

// The classification alone: the version code that a version record stands for.
int ClassifyWinVersion(const os::OsVersionInfo& info);

// Forgets the cached code so that the next GetWinVersion asks the system
// again. Only tests call this; the installer never resets the cache.
void ResetWinVersionCacheForTests();
