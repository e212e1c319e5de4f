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

}  // namespace
