// Launching programs and documents through the shell, and self-registration
// of COM servers.
#include "sys/Launch.h"

#include <optional>

#include "os/OsLibrary.h"
#include "os/OsShell.h"
#include "sys/PathText.h"

namespace {

std::optional<std::string> NullWhenEmpty(const std::string& text) {
  return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

ServerCallResult CallServerEntry(const std::string& path, bool doRegister) {
  os::Hmodule module = os::LoadLibraryA(path);
  if (module < 32) return {ServerCall::NotLoaded};
  os::UniqueLibrary library(module);
  os::Proc registerEntry = os::GetProcAddress(library.get(), "DllRegisterServer");
  os::Proc unregisterEntry = os::GetProcAddress(library.get(), "DllUnregisterServer");
  if (!registerEntry || !unregisterEntry) return {ServerCall::NoEntryPoints};
  os::ExportCall call = os::CallExport(doRegister ? registerEntry : unregisterEntry);
  if (call.faulted) return {ServerCall::Crashed, 0, call.exceptionCode};
  return {ServerCall::Called, call.result};
}

}  // namespace

ServerCallResult RegisterServer(const std::string& path, bool doRegister) {
  return CallServerEntry(path, doRegister);
}

ServerCallResult UnregisterServer(const std::string& path) { return CallServerEntry(path, false); }

bool RunAndWait(const std::string& file, const std::string& parameters, const std::string& verb, int show) {
  os::ShellExecuteInfo request;
  request.mask = os::kSeeMaskNoCloseProcess | os::kSeeMaskDoEnvSubst | os::kSeeMaskFlagNoUi;
  request.window = 0;
  request.verb = NullWhenEmpty(verb);
  request.file = file;
  request.parameters = NullWhenEmpty(parameters);
  request.directory = std::nullopt;  // the installer's current folder
  request.show = show;
  if (!os::ShellExecuteExA(request)) return false;
  // Without a process (the document went to a program already running)
  // there is nothing to wait for.
  if (request.process != 0) {
    os::UniqueProcess process(request.process);
    // A wait that fails ends as one that is over: the run goes on either way.
    os::WaitForInputIdle(process.get(), os::kInfinite);
    os::WaitForSingleObject(process.get(), os::kInfinite);
  }
  return true;
}

void RunProgramAndWait(const std::string& file, const std::string& parameters) {
  RunAndWait(file, parameters, "", os::kSwShowNormal);
}

std::intptr_t OpenDocument(const std::string& file, const std::string& parameters) {
  return os::ShellExecuteA(os::GetDesktopWindow(), std::string("OPEN"), file, parameters, ExtractFilePath(file),
                           os::kSwShowNormal);
}
