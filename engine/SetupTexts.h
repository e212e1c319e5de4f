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
// The end of a run that was cancelled or failed, once the machine is put back.
inline constexpr char kSetupDidNotComplete[] = "Setup did not complete.";
// The same when a file in use waits for the next start of Windows to be put back.
inline constexpr char kRestartFinishesRestoring[] =
    "Setup did not complete. Restart Windows to finish restoring the files that were in use.";
// The log line of a replacement at the next start of Windows taken back.
inline constexpr char kReplacementCancelled[] = "Replacement cancelled: ";
// The question the copy window's Cancel asks.
inline constexpr char kCancelSetupQuestion[] = "Cancel Setup?";
