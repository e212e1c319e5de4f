// The old ways the products take where a newer Windows function is missing: each test reports
// the newer function missing and checks that the job is still done, on the real API under Wine
// (which itself exports everything).
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "os/OsUi.h"
#include "os/win32/Win32Compat.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"

namespace {

// Reports the names missing for the test's length.
struct Missing {
  explicit Missing(std::vector<std::string> names) { os::win32::ReportMissingForTests(std::move(names)); }
  ~Missing() { os::win32::ReportMissingForTests({}); }
};

HWND Window(const char* cls, DWORD style, HWND parent) {
  HWND w = CreateWindowExA(0, cls, "compat", style, 0, 0, 100, 100, parent, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
  EXPECT_NE(w, nullptr) << cls;
  return w;
}

TEST(Compat, RootWindowWalksParentsButNotOwners) {
  HWND top = Window("STATIC", WS_OVERLAPPEDWINDOW, nullptr);
  HWND child = Window("STATIC", WS_CHILD, top);
  HWND grandchild = Window("BUTTON", WS_CHILD, child);
  HWND owned = Window("STATIC", WS_POPUP, top);  // owned by top, not its child
  HWND ownedChild = Window("STATIC", WS_CHILD, owned);
  const struct {
    const char* what;
    HWND window, root;
  } cases[] = {
      {"top-level", top, top},  {"child", child, top},          {"grandchild", grandchild, top},
      {"owned", owned, owned},  {"owned's child", ownedChild, owned},
  };
  for (bool hidden : {false, true}) {
    Missing missing(hidden ? std::vector<std::string>{"GetAncestor"} : std::vector<std::string>{});
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (hidden ? ", GetAncestor missing" : ", GetAncestor present"));
      EXPECT_EQ(os::win32::RootWindow(c.window), c.root);
    }
  }
  DestroyWindow(owned);
  DestroyWindow(top);
}

BOOL CALLBACK FindTooltip(HWND w, LPARAM found) {
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = w;
  return FALSE;
}

// The first UI call of this program: the forms' classes are registered with InitCommonControlsEx
// missing, and a hint finds its form with GetAncestor missing.
TEST(Compat, FormsAndHintsWithoutTheNewerFunctions) {
  Missing missing({"InitCommonControlsEx", "GetAncestor"});
  os::WindowEvents events;
  os::Hwnd form = os::CreateFormWindow(os::FormKind::Dialog, "Compat", 300, 200, &events);
  ASSERT_NE(form, 0u);
  os::Hwnd panel = os::CreateControl(form, os::ControlKind::Panel, 100, "", {0, 0, 300, 150});
  os::Hwnd bar = os::CreateControl(panel, os::ControlKind::ProgressBar, 101, "", {10, 10, 200, 19});
  ASSERT_NE(bar, 0u);
  char cls[64] = {};
  GetClassNameA(reinterpret_cast<HWND>(bar), cls, sizeof cls);
  EXPECT_STREQ(cls, PROGRESS_CLASSA);

  os::Hwnd button = os::CreateControl(panel, os::ControlKind::Button, 102, "Next", {10, 40, 75, 25});
  os::SetHint(button, "Goes on");
  // The hint's tooltip window is owned by the form, found from the button two levels down.
  HWND tip = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&tip));
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(GetWindow(tip, GW_OWNER), reinterpret_cast<HWND>(form));
  os::DestroyWindow(form);
}

TEST(Compat, DiskSpaceFromClustersWithoutTheExtendedQuery) {
  std::uint64_t freeEx = 0, totalEx = 0, freeOld = 0, totalOld = 0;
  ASSERT_TRUE(os::GetDiskFreeSpaceExA("C:\\", freeEx, totalEx));
  Missing missing({"GetDiskFreeSpaceExA"});
  ASSERT_TRUE(os::GetDiskFreeSpaceExA("C:\\", freeOld, totalOld));
  EXPECT_GT(totalOld, 0u);
  EXPECT_LE(freeOld, totalOld);
  // Clusters count at most what the extended query sees (older systems cap them at 2 GB).
  EXPECT_LE(totalOld, totalEx);
}

// Sizes and positions go through the high words: past 4 GB, and at 4 GB - 1, whose low word
// looks like the failure value.
TEST(Compat, FileSizesAndPositionsPastFourGigabytes) {
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string path = std::string(temp) + "qvcompat" + std::to_string(GetCurrentProcessId()) + ".bin";
  {
    os::UniqueFile f(os::CreateFileA(path, os::Access::ReadWrite, os::Disposition::CreateAlways));
    ASSERT_TRUE(f);
    for (const std::uint64_t end : {std::uint64_t{0xFFFFFFFF}, (std::uint64_t{5} << 32) + 3}) {
      SCOPED_TRACE(end);
      ASSERT_TRUE(os::SetFilePointer(f.get(), end));
      ASSERT_TRUE(os::SetEndOfFile(f.get()));
      std::uint64_t size = 0;
      ASSERT_TRUE(os::GetFileSize(f.get(), size));
      EXPECT_EQ(size, end);
    }
    const std::uint64_t at = (std::uint64_t{4} << 32) + 1;
    std::uint32_t n = 0;
    ASSERT_TRUE(os::SetFilePointer(f.get(), at));
    ASSERT_TRUE(os::WriteFile(f.get(), "x", 1, n));
    char back[2] = {'?', '?'};
    ASSERT_TRUE(os::SetFilePointer(f.get(), 1));  // the same low word, another high word
    ASSERT_TRUE(os::ReadFile(f.get(), back, 1, n));
    EXPECT_EQ(back[0], '\0');
    ASSERT_TRUE(os::SetFilePointer(f.get(), at));
    ASSERT_TRUE(os::ReadFile(f.get(), back + 1, 1, n));
    EXPECT_EQ(back[1], 'x');
  }
  DeleteFileA(path.c_str());
}

// The products' own error helpers: a size past what a container holds fails as an allocation
// does (the callers treat both alike), a misuse still reaches a handler of std::exception.
TEST(Compat, LibraryErrorsReachTheProductsHandlers) {
  std::vector<char> v;
  EXPECT_THROW(v.reserve(v.max_size() + std::size_t{1}), std::bad_alloc);
  std::string s = "abc";
  EXPECT_THROW(s.append(s.max_size(), 'x'), std::bad_alloc);
  try {
    (void)s.substr(4);
    ADD_FAILURE() << "substr past the end did not throw";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "basic_string::substr: __pos (which is 4) > this->size() (which is 3)");
  }
  EXPECT_THROW((void)std::stoi("x"), std::exception);
}

std::string TempFolder(const char* name) {
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name;
  RemoveDirectoryA(folder.c_str());
  return folder;
}

// The names Windows gives one folder resolve to its long name, with the
// system's GetLongPathNameA and, as on the first Windows 95 and NT 4.0
// without it, part by part from the folder listings.
TEST(Compat, PathsResolveAsWindowsResolvesThem) {
  const std::string folder = TempFolder("Qvs Resolved Folder");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  char longBuffer[MAX_PATH] = "", shortBuffer[MAX_PATH] = "";
  ASSERT_NE(GetLongPathNameA(folder.c_str(), longBuffer, MAX_PATH), 0u);
  ASSERT_NE(GetShortPathNameA(folder.c_str(), shortBuffer, MAX_PATH), 0u);
  const std::string longName = longBuffer, shortName = shortBuffer;
  ASSERT_NE(UpperText(longName), UpperText(shortName));
  std::string slashed = longName;
  for (char& c : slashed)
    if (c == '\\') c = '/';
  for (bool hidden : {false, true}) {
    Missing missing(hidden ? std::vector<std::string>{"GetLongPathNameA"} : std::vector<std::string>{});
    for (const std::string& alias : {shortName, longName + ".", longName + " . ", shortName + "\\sub\\..",
                                     slashed + "/", longName + "\\\\.\\"}) {
      SCOPED_TRACE(alias + (hidden ? ", GetLongPathNameA missing" : ", GetLongPathNameA present"));
      EXPECT_EQ(UpperText(ResolvePath(alias)), UpperText(longName));
    }
    EXPECT_EQ(UpperText(ResolvePath(shortName + "\\Not Made Yet.txt")), UpperText(longName + "\\Not Made Yet.txt"));
  }
  RemoveDirectoryA(folder.c_str());
}

bool SameSid(PSID a, PSID b) { return a && b && EqualSid(a, b); }

// The access list a folder reports: one SID a grant, with its flags and mask.
struct Grant {
  std::vector<BYTE> sid;
  BYTE flags;
  DWORD mask;
};
std::vector<Grant> Grants(const std::string& folder) {
  DWORD size = 0;
  GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<DWORD> descriptor(size / sizeof(DWORD) + 1);
  std::vector<Grant> grants;
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  if (!GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
      !GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !present || !acl)
    return grants;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(acl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    auto* sid = reinterpret_cast<BYTE*>(&allowed->SidStart);
    grants.push_back({std::vector<BYTE>(sid, sid + GetLengthSid(&allowed->SidStart)), allowed->Header.AceFlags,
                      allowed->Mask});
  }
  return grants;
}

// A folder made for the installing user alone lets nobody else in, passes
// that on to what is made inside, and is never one that existed before.
// Wine reports the list from the folder's Unix permissions (the user and
// SYSTEM; Administrators it does not show), so the exact trustees are the
// in-memory Windows' test; here: nobody but them, the user among them.
TEST(Compat, AFolderForTheInstallingUserAloneLetsNobodyElseIn) {
  const std::string folder = TempFolder("QvsOwnFolder"), plain = TempFolder("QvsPlainFolder");
  ASSERT_TRUE(os::CreateDirectoryForA(
      folder, {os::Trustee::Administrators, os::Trustee::LocalSystem, os::Trustee::CurrentUser}));
  EXPECT_FALSE(os::CreateDirectoryForA(folder, {os::Trustee::CurrentUser}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));

  SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY}, world = {SECURITY_WORLD_SID_AUTHORITY};
  PSID administrators = nullptr, system = nullptr, everyone = nullptr;
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                           &administrators);
  AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  std::vector<DWORD> user(64);
  DWORD userSize = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), user.size() * sizeof(DWORD), &userSize));
  CloseHandle(token);
  PSID userSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;

  // What the measure can see: a folder made the ordinary way lets everyone in.
  bool plainForEveryone = false;
  for (const Grant& g : Grants(plain)) plainForEveryone |= SameSid(const_cast<BYTE*>(g.sid.data()), everyone);
  EXPECT_TRUE(plainForEveryone);

  bool forUser = false;
  for (const Grant& g : Grants(folder)) {
    PSID sid = const_cast<BYTE*>(g.sid.data());
    EXPECT_TRUE(SameSid(sid, administrators) || SameSid(sid, system) || SameSid(sid, userSid));
    EXPECT_EQ(g.flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    forUser |= SameSid(sid, userSid);
  }
  EXPECT_TRUE(forUser);
  FreeSid(administrators);
  FreeSid(system);
  FreeSid(everyone);
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(plain.c_str());
}

bool SameGrants(const std::vector<Grant>& a, const std::vector<Grant>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].sid != b[i].sid || a[i].flags != b[i].flags || a[i].mask != b[i].mask) return false;
  return true;
}

bool WriteNewFile(const std::string& path) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, "moved", 5, &written, nullptr) && written == 5;
  return CloseHandle(file) && ok;
}

// A file moved out of the installing user's folder keeps that folder's access until it is given
// its new folder's; then it has exactly what a file created there has, and can be read. Wine
// reports a file's list from its Unix permissions, which a move leaves like a new file's, so the
// difference before is the in-memory Windows' test; here: the list after it, never an empty one.
TEST(Compat, AMovedFileGetsTheAccessOfAFileCreatedInItsFolder) {
  const std::string own = TempFolder("QvsMoveFrom"), plain = TempFolder("QvsMoveTo");
  ASSERT_TRUE(os::CreateDirectoryForA(
      own, {os::Trustee::Administrators, os::Trustee::LocalSystem, os::Trustee::CurrentUser}));
  ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
  const std::string moved = plain + "\\moved.txt", created = plain + "\\created.txt";
  ASSERT_TRUE(WriteNewFile(own + "\\moved.txt"));
  ASSERT_TRUE(os::MoveFileA(own + "\\moved.txt", moved));
  ASSERT_TRUE(WriteNewFile(created));
  EXPECT_TRUE(os::SetInheritedSecurityA(moved));
  EXPECT_TRUE(SameGrants(Grants(moved), Grants(created)));
  EXPECT_FALSE(Grants(created).empty());
  HANDLE read = CreateFileA(moved.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(read, INVALID_HANDLE_VALUE);
  CloseHandle(read);
  {
    Missing missing({"SetSecurityDescriptorControl"});  // as on NT 4.0: nothing is touched
    EXPECT_FALSE(os::SetInheritedSecurityA(moved));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
  }
  for (const std::string& file : {moved, created}) DeleteFileA(file.c_str());
  RemoveDirectoryA(own.c_str());
  RemoveDirectoryA(plain.c_str());
}

}  // namespace
