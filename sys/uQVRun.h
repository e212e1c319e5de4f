// Launching: registering a COM server, starting a program and waiting for
// its end, opening a document without waiting.
#pragma once
#include <cstdint>
#include <string>

// Loads the DLL and, only when it exports both DllRegisterServer and
// DllUnregisterServer, calls the one `doRegister` selects; then unloads it.
// A DLL that does not load is passed over silently. The server is not ours:
// a crash in it ends only the call, and its exception code is the answer
// (0 when the server was called and returned, or was not called at all).
std::uint32_t RegisterServer(const std::string& path, bool doRegister);

// Starts the file through the shell (environment references in its name
// expanded, no error dialogs) and waits, without a time limit, until the
// started process is idle and then until it has ended. False when the
// shell started nothing.
bool RunAndWait(const std::string& file, const std::string& parameters, const std::string& verb, int show);
void RunProgramAndWait(const std::string& file, const std::string& parameters);

// Opens the file with the verb "OPEN", in the file's own folder, and returns
// at once: the shell's instance value (greater than 32 on success).
std::intptr_t OpenDocument(const std::string& file, const std::string& parameters);
