// The checker on what the oldest Windows a list admits cannot do: a logo
// that Windows 95 and NT 4.0 show blank.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tests/unit/UnzTestZip.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/SetupCheck.h"

namespace {

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string List(const std::string& os) {
  return Crlf("\\Acme\nAcme\nAcme Writer\n" + os + ":INSTALL\nwriter.exe\n:\n");
}

void Put(const std::string& name, const std::string& content) { os::fake::AddFile("C:\\SETUP\\" + name, content); }

// "file:line" of every warning.
std::vector<std::string> Warnings() {
  std::vector<std::string> out;
  for (const Finding& f : CheckSetupFolder("C:\\SETUP")) {
    EXPECT_EQ(f.severity, Severity::Warning) << FormatFinding(f);
    out.push_back(f.file + ":" + std::to_string(f.line));
  }
  return out;
}

void PutLe(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// The start of a bitmap file: the 14-byte file header, then an info header
// of headerSize bytes with the given compression.
std::string Bitmap(std::uint32_t headerSize, std::uint32_t compression) {
  std::string bytes(14 + headerSize + 16, '\0');
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutLe(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
  PutLe(bytes, 14, headerSize);
  if (headerSize >= 40) {
    PutLe(bytes, 18, 8);   // width
    PutLe(bytes, 22, 8);   // height
    bytes[26] = 1;         // planes
    bytes[28] = 24;        // bits a pixel
    PutLe(bytes, 30, compression);
  }
  return bytes;
}

TEST(OldWindowsCheck, LogoThatTheOldestWindowsCannotShow) {
  const struct {
    const char* name;
    std::string logo;
    bool warned;
  } rows[] = {
      {"40-byte header", Bitmap(40, 0), false},
      {"run-length encoded", Bitmap(40, 1), false},
      {"12-byte header", Bitmap(12, 0), false},
      {"version 4 header", Bitmap(108, 0), true},
      {"version 5 header", Bitmap(124, 3), true},
      {"JPEG inside", Bitmap(40, 4), true},
      {"PNG inside", Bitmap(40, 5), true},
      {"not a bitmap", "\x89PNG\r\n\x1a\n and more", true},
      {"empty file", "", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    PrepareWindows("WIN_XP");
    Put("setup.ini", List(""));
    Put("writer.exe", "MZ");
    Put("logo.bmp", row.logo);
    EXPECT_EQ(Warnings(), row.warned ? std::vector<std::string>{"logo.bmp:1"} : std::vector<std::string>{});
  }
}

TEST(OldWindowsCheck, LogoFollowsTheRange) {
  // The programs need no C runtime library beyond what every Windows 95 has: the first Windows 95
  // without msvcrt.dll is warned about no longer.
  const struct {
    const char* os;
    std::vector<std::string> warnings;
  } rows[] = {
      {"", {"logo.bmp:1"}},  // every Windows
      {":OS\nWIN_95A\nWIN_XP\nNeeds Windows.\n", {"logo.bmp:1"}},
      {":OS\nWIN_95B\nWIN_XP\nNeeds Windows.\n", {"logo.bmp:1"}},
      {":OS\nWIN_98\nWIN_NT\nNeeds Windows.\n", {"logo.bmp:1"}},  // NT 4.0
      {":OS\nWIN_98\nWIN_ME\nNeeds Windows.\n", {}},
      {":OS\nWIN_2K\nWIN_XP\nNeeds Windows.\n", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    PrepareWindows("WIN_XP");
    Put("setup.ini", List(row.os));
    Put("writer.exe", "MZ");
    Put("logo.bmp", Bitmap(124, 0));
    EXPECT_EQ(Warnings(), row.warnings);
  }
}

// Setup shows the logo it finds in its folder after the package stage: in
// package mode the package's, not one left beside setup.exe on disk 1.
TEST(OldWindowsCheck, APackedSetupsLogoIsThePackages) {
  struct Row {
    const char* what;
    std::string packed;  // logo.bmp in the package; none when empty
    std::string loose;   // logo.bmp on disk 1; none when empty
    bool warned;
  } rows[] = {
      {"an old-style logo in the package", Bitmap(124, 0), "", true},
      {"a sound logo in the package, an old-style one on disk 1", Bitmap(40, 0), Bitmap(124, 0), false},
      {"no logo in the package, an old-style one on disk 1", "", Bitmap(124, 0), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PrepareWindows("WIN_XP");
    std::vector<unztest::TestEntry> entries{{"setup.ini", List("")}, {"writer.exe", "MZ"}};
    if (!row.packed.empty()) entries.push_back({"logo.bmp", row.packed});
    Put("setup.lst", Crlf(":PACKAGE\npackage.001\n:\n"));
    Put("UNZDLL.DLL", "MZ");
    Put("package.001", unztest::BuildZip(entries));
    if (!row.loose.empty()) Put("logo.bmp", row.loose);
    EXPECT_EQ(Warnings(), row.warned ? std::vector<std::string>{"logo.bmp:1"} : std::vector<std::string>{});
  }
}

}  // namespace
