// Texts the installer shows or logs that the publisher's checker quotes too:
// each is written here once, so the checker's findings name exactly what a
// user would see.
#pragma once

// Setup's end when it finds no setup.ini in its folder.
inline constexpr char kNoInstallationList[] = "Could not find installation list";
// The start of the message when a file of the install folder's section cannot be copied.
inline constexpr char kCachingFailed[] = "Caching failed";
// Log lines of the call into the publisher's _setup.dll.
inline constexpr char kLoadingSetupDllFailed[] = "loading _setup.dll failed";
inline constexpr char kLoadingDoSetupFailed[] = "loading DoSetup failed";
