// The system services against the real Win32 API: values read back with the
// registry API, links loaded back through the shell's own link object,
// fixture programs and servers that record how they were started, and the
// renames Windows holds for the next start. Run by run.sh per version.
#include <gtest/gtest.h>
#include <ole2.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/DelayedReplacement.h"
#include "engine/InstallLog.h"
#include "os/OsLibrary.h"
#include "sys/Folders.h"
#include "sys/Launch.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/ShellLinks.h"
#include "sys/WindowsVersion.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string Fixture(const std::string& name) { return Env("QV_FIXTURES") + "\\" + name; }

std::string Upper(const std::string& s) { return UpperText(s); }

std::string ReadText(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  CloseHandle(h);
  return text;
}

// A fresh folder of its own for each test.
std::string Scratch() {
  static int counter = 0;
  CreateDirectoryA("C:\\qvsys", nullptr);
  std::string folder =
      "C:\\qvsys\\t" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

void Copy(const std::string& from, const std::string& to) {
  ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE))
      << from << " -> " << to << " error " << GetLastError();
}

// A registry value as the real API reports it.
struct Raw {
  LONG result = -1;
  DWORD type = 0xdeadbeef;
  std::string data;
};
Raw Query(HKEY root, const std::string& key, const std::string& name) {
  Raw raw;
  HKEY h = nullptr;
  raw.result = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h);
  if (raw.result != ERROR_SUCCESS) return raw;
  char buffer[8192];
  DWORD size = sizeof buffer;
  raw.result = RegQueryValueExA(h, name.c_str(), nullptr, &raw.type, reinterpret_cast<BYTE*>(buffer), &size);
  if (raw.result == ERROR_SUCCESS) raw.data.assign(buffer, size);
  RegCloseKey(h);
  return raw;
}

std::string Dword(std::uint32_t n) { return std::string(reinterpret_cast<const char*>(&n), 4); }

// The link as the shell's own link object loads it back.
struct LoadedLink {
  HRESULT load = E_FAIL;
  std::string path, arguments, workingDirectory, iconLocation, description;
  int iconIndex = -1, showCmd = -1;
};
LoadedLink LoadLink(const std::string& file) {
  LoadedLink out;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return out;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    out.load = persist->Load(wide, STGM_READ);
    char buffer[1024];
    if (SUCCEEDED(out.load)) {
      buffer[0] = 0;
      link->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH);
      out.path = buffer;
      buffer[0] = 0;
      link->GetArguments(buffer, sizeof buffer);
      out.arguments = buffer;
      buffer[0] = 0;
      link->GetWorkingDirectory(buffer, sizeof buffer);
      out.workingDirectory = buffer;
      buffer[0] = 0;
      link->GetIconLocation(buffer, sizeof buffer, &out.iconIndex);
      out.iconLocation = buffer;
      buffer[0] = 0;
      link->GetDescription(buffer, sizeof buffer);
      out.description = buffer;
      link->GetShowCmd(&out.showCmd);
    }
    persist->Release();
  }
  link->Release();
  return out;
}

bool WaitFor(const std::string& file, const std::string& text, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (ReadText(file).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

// --- registry ---------------------------------------------------------------

TEST(SysWine, RegistryValuesReadBackThroughTheRealApi) {
  const std::string key = "Software\\QvSys\\Values";
  WriteRegValue("HKEY_CURRENT_USER", "\\" + key, "Text", "hello");
  WriteRegValue("HKEY_CURRENT_USER", key, "Ten", "#10#");
  WriteRegValue("HKEY_CURRENT_USER", key, "MinusOne", "#-1#");
  Raw text = Query(HKEY_CURRENT_USER, key, "Text");
  EXPECT_EQ(text.result, ERROR_SUCCESS);
  EXPECT_EQ(text.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text.data, std::string("hello\0", 6));
  Raw ten = Query(HKEY_CURRENT_USER, key, "Ten");
  EXPECT_EQ(ten.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(ten.data, Dword(10));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, key, "MinusOne").data, Dword(0xFFFFFFFFu));
  EXPECT_EQ(ReadRegString("HKEY_CURRENT_USER", key, "Text"), "hello");
  EXPECT_EQ(ReadRegString("HKEY_CURRENT_USER", key, "Missing"), "");
  EXPECT_EQ(ReadRegString("HKEY_CURRENT_USER", "Software\\QvSys\\NotThere", "Text"), "");
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\QvSys\\NotThere", 0, KEY_READ, &h),
            ERROR_FILE_NOT_FOUND);
}

TEST(SysWine, RegistryErrorsReachTheCaller) {
  const std::string key = "Software\\QvSys\\Errors";
  std::string longName(16384, 'n');
  try {
    WriteRegValue("HKEY_CURRENT_USER", key, longName, "x");
    ADD_FAILURE() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for '" + longName + "'");
  }
  WriteRegValue("HKEY_CURRENT_USER", key, "N", "#5#");
  try {
    ReadRegString("HKEY_CURRENT_USER", key, "N");
    ADD_FAILURE() << "no error";
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'N'");
  }
  EXPECT_THROW(WriteRegValue("HKEY_CURRENT_USER", key, "N", "#"), ConvertError);
}

TEST(SysWine, ProviderPairKeepsTheReplacedText) {
  const std::string key = "Software\\QvSys\\Net";
  DeleteRegKey("HKEY_CURRENT_USER", key);
  WriteRegValue("HKEY_CURRENT_USER", key, "PrimaryProvider", "A");
  // Neither value was there: nothing kept.
  EXPECT_EQ(Query(HKEY_CURRENT_USER, key, "PreviousProvider").result, ERROR_FILE_NOT_FOUND);
  WriteRegValue("HKEY_CURRENT_USER", key, "PreviousProvider", "C");
  WriteRegValue("HKEY_CURRENT_USER", key, "PrimaryProvider", "B");
  EXPECT_EQ(Query(HKEY_CURRENT_USER, key, "PrimaryProvider").data, std::string("B\0", 2));
  EXPECT_EQ(Query(HKEY_CURRENT_USER, key, "PreviousProvider").data, std::string("A\0", 2));
}

TEST(SysWine, DeleteRegKeyRemovesANestedTree) {
  const std::string key = "Software\\QvSys\\Tree";
  WriteRegValue("HKEY_CURRENT_USER", key + "\\a\\b\\c", "v", "1");
  WriteRegValue("HKEY_CURRENT_USER", key + "\\a\\d", "v", "#2#");
  WriteRegValue("HKEY_CURRENT_USER", key + "\\e", "", "x");
  WriteRegValue("HKEY_CURRENT_USER", "Software\\QvSys\\TreeTwin", "v", "kept");
  DeleteRegKey("HKEY_CURRENT_USER", "\\" + key);
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(HKEY_CURRENT_USER, "Software\\QvSys\\TreeTwin", "v").data, std::string("kept\0", 5));
}

TEST(SysWine, UninstallEntryHasBothValues) {
  WriteUninstallEntry("QvSysDemo", "Qv Demo 1.0", "C:\\WINDOWS\\unin.exe \"C:\\Demo\\unin.ini\"");
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvSysDemo";
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, key, "DisplayName").data, std::string("Qv Demo 1.0\0", 12));
  Raw command = Query(HKEY_LOCAL_MACHINE, key, "UninstallString");
  EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(command.data, std::string("C:\\WINDOWS\\unin.exe \"C:\\Demo\\unin.ini\"\0", 39));
  DeleteRegKey("HKEY_LOCAL_MACHINE", key);
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, key, "DisplayName").result, ERROR_FILE_NOT_FOUND);
}

TEST(SysWine, ProgramsFolderIsTheStoredValue) {
  Raw raw = Query(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                  "Programs");
  std::string expected = raw.result == ERROR_SUCCESS ? raw.data.substr(0, raw.data.find('\0')) : "";
  EXPECT_EQ(ProgramsFolder(), expected);
}

// --- shell links --------------------------------------------------------------

TEST(SysWine, ShellLinkCarriesEveryField) {
  std::string s = Scratch();
  CreateDirectoryA((s + "\\app").c_str(), nullptr);
  CreateDirectoryA((s + "\\menu").c_str(), nullptr);
  Copy(Fixture("qvwinprog.exe"), s + "\\app\\app.exe");
  std::string icon = SystemFolderBS() + "shell32.dll";
  CreateShortcut(s + "\\menu\\App",
                 ParseShortcut(s + "\\app\\app.exe*" + s + "\\data\\*" + icon + "*3*My App*-a -b"));
  LoadedLink link = LoadLink(s + "\\menu\\App.lnk");
  ASSERT_EQ(link.load, S_OK);
  EXPECT_EQ(Upper(link.path), Upper(s + "\\app\\app.exe"));
  EXPECT_EQ(link.arguments, "-a -b");
  EXPECT_EQ(Upper(link.workingDirectory), Upper(s + "\\data\\"));
  EXPECT_EQ(Upper(link.iconLocation), Upper(icon));
  EXPECT_EQ(link.iconIndex, 3);
  EXPECT_EQ(link.description, "My App");
  EXPECT_EQ(link.showCmd, SW_SHOWNORMAL);

  CreateShortcut(s + "\\menu\\Plain.LNK", ParseShortcut(s + "\\app\\app.exe"));
  link = LoadLink(s + "\\menu\\Plain.LNK");
  ASSERT_EQ(link.load, S_OK);
  EXPECT_EQ(Upper(link.workingDirectory), Upper(s + "\\app\\"));
  EXPECT_EQ(Upper(link.iconLocation), Upper(s + "\\app\\app.exe"));
  EXPECT_EQ(link.iconIndex, 0);
  EXPECT_EQ(link.arguments, "");
}

TEST(SysWine, ShellLinkToAFolderAndNoLinkWithoutTarget) {
  std::string s = Scratch();
  CreateDirectoryA((s + "\\menu").c_str(), nullptr);
  CreateShortcut(s + "\\menu\\Folder", ParseShortcut(s));
  LoadedLink link = LoadLink(s + "\\menu\\Folder.lnk");
  ASSERT_EQ(link.load, S_OK);
  EXPECT_EQ(Upper(link.path), Upper(s));
  CreateShortcut(s + "\\menu\\Gone", ParseShortcut(s + "\\gone.exe"));
  EXPECT_EQ(GetFileAttributesA((s + "\\menu\\Gone.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SysWine, ALinkNameLongerThanAPathIsNotWritten) {
  std::string s = Scratch();
  TShellLink link;
  link.Path = SystemFolderBS() + "notepad.exe";
  std::string name = s + "\\" + std::string(300 - s.size(), 'x') + ".lnk";
  EXPECT_EQ(SaveShellLink(link, name), static_cast<os::HResult>(0x800700CEu));
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((s + "\\*.lnk").c_str(), &found);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << found.cFileName;
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

// --- launching ----------------------------------------------------------------

TEST(SysWine, RunProgramAndWaitReturnsOnlyAfterTheProgramExited) {
  std::string s = Scratch();
  Copy(Fixture("qvwinprog.exe"), s + "\\prog.exe");
  RunProgramAndWait(s + "\\prog.exe", "");
  std::string log = ReadText(s + "\\prog.exe.log");
  EXPECT_NE(log.find("args=\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.substr(log.size() < 6 ? 0 : log.size() - 6), "exit\r\n") << log;
  RunProgramAndWait(s + "\\prog.exe", "C:\\Source Dir");
  EXPECT_NE(ReadText(s + "\\prog.exe.log").find("args=C:\\Source Dir\r\nexit\r\n"), std::string::npos);
}

TEST(SysWine, RunAndWaitExpandsEnvironmentReferences) {
  std::string target = WindowsFolderBS() + "qvwinprog.exe";
  DeleteFileA((target + ".log").c_str());
  Copy(Fixture("qvwinprog.exe"), target);
  EXPECT_TRUE(RunAndWait("%WINDIR%\\qvwinprog.exe", "", "", SW_SHOWNORMAL));
  EXPECT_NE(ReadText(target + ".log").find("exit"), std::string::npos);
  EXPECT_FALSE(RunAndWait("C:\\qvsys\\no such program.exe", "", "", SW_SHOWNORMAL));
}

TEST(SysWine, OpenDocumentReturnsAtOnceInTheFilesFolder) {
  std::string s = Scratch();
  CreateDirectoryA((s + "\\open").c_str(), nullptr);
  Copy(Fixture("qvwinprog.exe"), s + "\\open\\prog.exe");
  SetCurrentDirectoryA(s.c_str());
  EXPECT_GT(OpenDocument(s + "\\open\\prog.exe", ""), 32);
  EXPECT_EQ(ReadText(s + "\\open\\prog.exe.log").find("exit"), std::string::npos) << "it waited";
  ASSERT_TRUE(WaitFor(s + "\\open\\prog.exe.log", "exit", 20));
  std::string log = ReadText(s + "\\open\\prog.exe.log");
  EXPECT_NE(Upper(log).find(Upper("cwd=" + s + "\\open\r\n")), std::string::npos) << log;
}

// That OpenDocument hands the shell the name unexpanded is shown against the
// in-memory shell only: Wine's shell expands references in every name it is
// given, whatever the request says.

TEST(SysWine, RegisterServerCallsOnlyAServerWithBothExports) {
  std::string s = Scratch();
  Copy(Fixture("qvsrvboth.dll"), s + "\\both.dll");
  Copy(Fixture("qvsrvone.dll"), s + "\\one.dll");
  RegisterServer(s + "\\both.dll", true);
  EXPECT_EQ(ReadText(s + "\\both.dll.log"), "attach\r\nregister\r\ndetach\r\n");
  EXPECT_EQ(GetModuleHandleA((s + "\\both.dll").c_str()), nullptr);
  RegisterServer(s + "\\both.dll", false);
  EXPECT_EQ(ReadText(s + "\\both.dll.log"),
            "attach\r\nregister\r\ndetach\r\nattach\r\nunregister\r\ndetach\r\n");
  RegisterServer(s + "\\one.dll", true);
  EXPECT_EQ(ReadText(s + "\\one.dll.log"), "attach\r\ndetach\r\n");
  EXPECT_NO_THROW(RegisterServer(s + "\\missing.dll", true));
}

std::int32_t __stdcall ThrowsOurs() { throw SetupError("ours"); }

// A crash inside a library we do not own ends only that call: the guard's
// frame on the exception-handler chain takes the access violation, the
// library's own frames above it are unwound, and the chain is whole again
// afterwards (a second crash is taken the same way).
TEST(SysWine, CrashesInForeignLibrariesEndOnlyTheCall) {
  std::string s = Scratch();
  Copy(Fixture("qvcrash.dll"), s + "\\crash.dll");
  void* chainBefore = nullptr;
  asm volatile("movl %%fs:0, %0" : "=r"(chainBefore));
  for (bool doRegister : {true, false}) {
    ServerCallResult call = RegisterServer(s + "\\crash.dll", doRegister);
    EXPECT_EQ(call.outcome, ServerCall::Crashed);
    EXPECT_EQ(call.exceptionCode, 0xC0000005u);
    EXPECT_FALSE(call.Succeeded());
  }
  EXPECT_EQ(GetModuleHandleA((s + "\\crash.dll").c_str()), nullptr);  // unloaded after the crash

  os::UniqueLibrary library(os::LoadLibraryA(s + "\\crash.dll"));
  ASSERT_NE(library.get(), 0u);
  os::ExportCall doSetup = os::CallRegisterExport(os::GetProcAddress(library.get(), "DoSetup"), 0x1234);
  EXPECT_TRUE(doSetup.faulted);
  EXPECT_EQ(doSetup.exceptionCode, os::kExceptionAccessViolation);
  char request[200] = {};
  EXPECT_TRUE(os::CallExport(os::GetProcAddress(library.get(), "UnzDllExec"), request).faulted);
  os::ExportCall version = os::CallExport(os::GetProcAddress(library.get(), "GetUnzDllVersion"));
  EXPECT_FALSE(version.faulted);
  EXPECT_EQ(version.result, 160);
  void* chainAfter = nullptr;
  asm volatile("movl %%fs:0, %0" : "=r"(chainAfter));
  EXPECT_EQ(chainAfter, chainBefore);
  // Each crash left a frame of the library's on the chain, which was unwound
  // before the call ended: what it held was released.
  EXPECT_EQ(ReadText(s + "\\crash.dll.log"),
            "register\r\nunwound\r\nunregister\r\nunwound\r\nDoSetup\r\nunwound\r\nUnzDllExec\r\nunwound\r\n");
  // A C++ exception of our own inside the guard still reaches our caller.
  EXPECT_THROW(os::CallExport(reinterpret_cast<os::Proc>(&ThrowsOurs)), SetupError);
}

// --- the install log ------------------------------------------------------------

TEST(SysWine, InstallLogLinesEndWithCrLf) {
  StartLog("Sys Wine: Test/1", "C:\\Program Files\\Demo");
  LogLine("Copy: C:\\Program Files\\Demo\\demo.exe");
  ForgetLogForTests();  // the run's handle lets nobody read the log while it lasts
  EXPECT_EQ(ReadText(WindowsFolderBS() + "temp\\qvsetup_SysWineTest1.txt"),
            "Title: Sys Wine: Test/1\r\nDestination: C:\\Program Files\\Demo\r\n"
            "Copy: C:\\Program Files\\Demo\\demo.exe\r\n");
}

// --- short paths ----------------------------------------------------------------

TEST(SysWine, ShortPathKeepsAShortFormLongerThan255Characters) {
  // A file path of 256 to 259 characters made of 8.3 names only: its short
  // form is as long as itself.
  std::string folder = Scratch();
  while (folder.size() + 9 <= 246) {
    folder += "\\ABCDEFGH";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size() << " error " << GetLastError();
  }
  if (folder.size() < 243) {
    folder += "\\" + std::string(std::max<size_t>(1, 242 - folder.size()), 'X');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder.size() << " error " << GetLastError();
  }
  std::string file = folder + "\\ABCDEFGH.TXT";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << file.size() << " error " << GetLastError();
  CloseHandle(h);
  ASSERT_GT(file.size(), 255u);
  EXPECT_EQ(Upper(ShortPath(file)), Upper(file));
}

// --- by family ----------------------------------------------------------------

void ExpectFamily(bool nt) {
  ASSERT_EQ(GetWinVersion() >= kWinNT4, nt) << "version code " << GetWinVersion();
  ASSERT_EQ(Env("QV_FAMILY"), nt ? "nt" : "95");
}

void ExpectNotepadLink(const std::string& folder) {
  std::string s = Scratch();
  CreateShortcut(s + "\\Notes", ParseShortcut("C:\\OLDWIN\\NOTEPAD.EXE"));
  LoadedLink link = LoadLink(s + "\\Notes.lnk");
  ASSERT_EQ(link.load, S_OK);
  EXPECT_EQ(Upper(link.path), Upper(folder + "NOTEPAD.EXE"));
  EXPECT_EQ(Upper(link.workingDirectory), Upper(folder));
  EXPECT_EQ(Upper(link.iconLocation), Upper(folder + "NOTEPAD.EXE"));
}

TEST(SysWineNt, AMissingAccessoryIsFoundInTheSystemFolder) {
  ExpectFamily(true);
  ExpectNotepadLink(SystemFolderBS());
}

TEST(SysWineNt, ScheduleReplaceLeavesTwoDelayedMoves) {
  ExpectFamily(true);
  std::string s = Scratch();
  std::string dll = s + "\\demo.dll", cached = s + "\\demo.MCC", backup = s + "\\demo.BAK";
  for (auto& f : {dll, cached}) {
    HANDLE h = CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  EXPECT_FALSE(IsRenamePending(dll));
  EXPECT_TRUE(ScheduleReplace(backup, cached, dll));
  Raw pending = Query(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                      "PendingFileRenameOperations");
  ASSERT_EQ(pending.result, ERROR_SUCCESS);
  EXPECT_EQ(pending.type, static_cast<DWORD>(REG_MULTI_SZ));
  std::string both =
      "\\??\\" + dll + '\0' + "!\\??\\" + backup + '\0' + "\\??\\" + cached + '\0' + "!\\??\\" + dll;
  EXPECT_NE(Upper(pending.data).find(Upper(both)), std::string::npos);
  EXPECT_TRUE(IsRenamePending(dll));
  EXPECT_TRUE(IsRenamePending(Upper(dll)));
  EXPECT_FALSE(IsRenamePending(s + "\\other.dll"));
  EXPECT_NE(Upper(ReadPendingRenames()).find(Upper("\\??\\" + cached + "\r\n!\\??\\" + dll)),
            std::string::npos);
  // A second scheduling adds nothing.
  EXPECT_TRUE(ScheduleReplace(backup, cached, dll));
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                  "PendingFileRenameOperations")
                .data,
            pending.data);
  EXPECT_NE(GetFileAttributesA(cached.c_str()), INVALID_FILE_ATTRIBUTES);  // nothing moved yet
}

TEST(SysWine95, AMissingAccessoryIsFoundInTheWindowsFolder) {
  ExpectFamily(false);
  ExpectNotepadLink(WindowsFolderBS());
}

TEST(SysWine95, ScheduleReplaceWritesWininit) {
  ExpectFamily(false);
  std::string s = Scratch();
  CreateDirectoryA((s + "\\Long Folder").c_str(), nullptr);
  std::string dll = s + "\\Long Folder\\demo library.dll", cached = s + "\\Long Folder\\demo library.MCC";
  for (auto& f : {dll, cached}) {
    HANDLE h = CreateFileA(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  std::string wininit = WindowsFolderBS() + "WININIT.INI";
  DeleteFileA(wininit.c_str());
  char shortDll[MAX_PATH], shortCached[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(dll.c_str(), shortDll, MAX_PATH), 0u);
  ASSERT_GT(GetShortPathNameA(cached.c_str(), shortCached, MAX_PATH), 0u);
  std::string d = Upper(shortDll), k = Upper(shortCached);
  ASSERT_EQ(d.find(' '), std::string::npos);
  std::string before = Query(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations")
                           .data;
  EXPECT_TRUE(ScheduleReplace(s + "\\Long Folder\\demo library.BAK", cached, dll));
  const std::string expected = "[RENAME]\r\nNUL=" + d + "\r\n" + d + "=" + k + "\r\n";
  EXPECT_EQ(ReadText(wininit), expected);
  EXPECT_TRUE(ScheduleReplace("", cached, dll));
  EXPECT_EQ(ReadText(wininit), expected);
  EXPECT_TRUE(IsRenamePending(shortDll));
  // Found by the long name too, and its cached file by its long name.
  EXPECT_TRUE(IsRenamePending(dll));
  EXPECT_EQ(PendingReplacements::Read().CachedFileFor(dll), cached);
  EXPECT_EQ(PendingReplacements::Read().CachedNameFor(s + "\\Long Folder\\demo library.exe"),
            s + "\\Long Folder\\demo library.MC1");
  char value[MAX_PATH] = {};
  GetPrivateProfileStringA("rename", d.c_str(), "", value, MAX_PATH, wininit.c_str());
  EXPECT_EQ(std::string(value), k);
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                  "PendingFileRenameOperations")
                .data,
            before);
  DeleteFileA(wininit.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // The shell's link object needs OLE on this thread, as in the installer.
  HRESULT ole = OleInitialize(nullptr);
  ::testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  if (SUCCEEDED(ole)) OleUninitialize();
  return result;
}
