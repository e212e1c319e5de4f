// Launching: registering a COM server, starting a program and waiting for
// its end, opening a document without waiting.
#pragma once
#include <cstdint>
#include <string>

// What a call into a server's registration entry came to. The server is not
// ours: a crash in it (an access violation, ...) ends only the call.
enum class ServerCall { Called, NotLoaded, NoEntryPoints, Crashed };
struct ServerCallResult {
  ServerCall outcome = ServerCall::NotLoaded;
  std::int32_t code = 0;            // the entry's result (an HRESULT) when it was called
  std::uint32_t exceptionCode = 0;  // what ended it when it crashed
  bool Succeeded() const { return outcome == ServerCall::Called && code >= 0; }
};

// Loads the DLL and, only when it exports both DllRegisterServer and
// DllUnregisterServer, calls the one `doRegister` selects; then unloads it.
// A DLL that does not load is passed over; the install run looks only at a crash.
ServerCallResult RegisterServer(const std::string& path, bool doRegister);
// The same rules as RegisterServer, with DllUnregisterServer, telling the caller how it went.
ServerCallResult UnregisterServer(const std::string& path);

// Starts the file through the shell (environment references in its name
// expanded, no error dialogs) and waits, without a time limit, until the
// started process is idle and then until it has ended. False when the
// shell started nothing.
bool RunAndWait(const std::string& file, const std::string& parameters, const std::string& verb, int show);
void RunProgramAndWait(const std::string& file, const std::string& parameters);

// Opens the file with the verb "OPEN", in the file's own folder, and returns
// at once: the shell's instance value (greater than 32 on success).
std::intptr_t OpenDocument(const std::string& file, const std::string& parameters);
