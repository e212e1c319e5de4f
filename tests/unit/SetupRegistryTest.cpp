// Registry services of the install run against the in-memory registry:
// root names, numbers, the provider pair, subtree deletion, the errors.
#include <gtest/gtest.h>

#include "os/OsRegistry.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"

namespace {

using os::fake::RegDwordAt;
using os::fake::RegStringAt;
using os::fake::RegValue;
constexpr os::Hkey HKLM = os::kHkeyLocalMachine;

class SetupRegistry : public ::testing::Test {
 protected:
  void SetUp() override { os::fake::Reset(); }
  void TearDown() override { EXPECT_EQ(os::fake::OpenRegKeyCount(), 0) << "a key was left open"; }
};

TEST_F(SetupRegistry, RootKeysAreKnownOnlyByTheirExactFullNames) {
  const struct {
    const char* name;
    os::Hkey key;
  } rows[] = {
      {"HKEY_CLASSES_ROOT", 0x80000000u},
      {"HKEY_CURRENT_USER", 0x80000001u},
      {"HKEY_LOCAL_MACHINE", 0x80000002u},
      {"HKEY_USERS", 0x80000003u},
      {"HKEY_PERFORMANCE_DATA", 0x80000004u},
      {"HKEY_CURRENT_CONFIG", 0x80000005u},
      {"HKEY_DYN_DATA", 0x80000006u},
      {"HKLM", 0},
      {"hkey_local_machine", 0},
      {"HKEY_LOCAL_MACHINE ", 0},
      {"", 0},
  };
  for (auto& row : rows) EXPECT_EQ(RootKeyByName(row.name), row.key) << row.name;
}

TEST_F(SetupRegistry, WritesStringsWithTheirTerminatorAndCreatesKeys) {
  WriteRegValue("HKEY_LOCAL_MACHINE", "\\Software\\Demo\\Deep", "Path", "C:\\Demo");
  EXPECT_EQ(os::fake::RegValueAt(HKLM, "Software\\Demo\\Deep", "Path"),
            (RegValue{os::kRegSz, std::string("C:\\Demo\0", 8)}));
  WriteRegValue("HKEY_CURRENT_USER", "Software\\Demo", "", "default");
  EXPECT_EQ(RegStringAt(os::kHkeyCurrentUser, "Software\\Demo", ""), "default");
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "Software\\Demo\\Deep", "Path"), "C:\\Demo");
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "\\Software\\Demo\\Deep", "Path"), "C:\\Demo");
}

TEST_F(SetupRegistry, UnknownRootWritesNothing) {
  WriteRegValue("hkey_local_machine", "Software\\Demo", "A", "x");
  WriteRegValue("HKLM", "Software\\Demo", "N", "#1#");
  EXPECT_FALSE(os::fake::RegKeyExists(HKLM, "Software\\Demo"));
  EXPECT_EQ(ReadRegString("HKLM", "Software", "A"), "");
}

TEST_F(SetupRegistry, NumbersDropTheFirstAndLastCharacter) {
  const struct {
    const char* data;
    std::uint32_t stored;
  } rows[] = {{"#10#", 10}, {"#-1#", 0xFFFFFFFFu},         {"#12x", 12},
              {"#+7#", 7},  {"#2147483647#", 0x7FFFFFFFu}, {"#-2147483648#", 0x80000000u}};
  for (auto& row : rows) {
    WriteRegValue("HKEY_LOCAL_MACHINE", "Software\\Demo", "N", row.data);
    EXPECT_EQ(RegDwordAt(HKLM, "Software\\Demo", "N"), row.stored) << row.data;
  }
}

TEST_F(SetupRegistry, NumbersThatDoNotConvertRaiseOnlyWhenTheKeyOpened) {
  for (const char* bad : {"#", "##", "#1 2#", "#0x10#", "#2147483648#", "#abc#", "# 1#"}) {
    EXPECT_THROW(WriteRegValue("HKEY_LOCAL_MACHINE", "Software\\Demo", "N", bad), ConvertError) << bad;
  }
  try {
    WriteRegValue("HKEY_LOCAL_MACHINE", "Software\\Demo", "N", "#12a3#");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'12a3' is not a valid integer value");
  }
  os::fake::SetRegKeyReadOnly(HKLM, "Software\\Locked", true);
  EXPECT_NO_THROW(WriteRegValue("HKEY_LOCAL_MACHINE", "Software\\Locked", "N", "#"));
  EXPECT_NO_THROW(WriteRegValue("NOROOT", "Software\\Demo", "N", "#"));
  EXPECT_FALSE(os::fake::RegValueAt(HKLM, "Software\\Locked", "N"));
}

TEST_F(SetupRegistry, AKeyTheUserMayOnlyReadCountsAsMissing) {
  os::fake::SetRegString(HKLM, "Software\\Locked", "A", "kept");
  os::fake::SetRegKeyReadOnly(HKLM, "Software\\Locked", true);
  WriteRegValue("HKEY_LOCAL_MACHINE", "Software\\Locked", "A", "new");
  WriteRegValue("HKEY_LOCAL_MACHINE", "Software\\Locked\\Sub", "A", "new");
  EXPECT_EQ(RegStringAt(HKLM, "Software\\Locked", "A"), "kept");
  EXPECT_FALSE(os::fake::RegKeyExists(HKLM, "Software\\Locked\\Sub"));
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "Software\\Locked", "A"), "");
}

struct ProviderCase {
  const char* name;
  std::optional<std::string> primary, previous;
  std::string written;
  std::optional<std::string> expectPrevious;
};

TEST_F(SetupRegistry, PrimaryProviderKeepsTheTextItReplaces) {
  const ProviderCase cases[] = {
      {"replaces A, previous C", "A", "C", "B", "A"},
      {"previous already A", "A", "A", "B", "A"},
      {"same text again", "A", "C", "A", "C"},
      {"neither value", std::nullopt, std::nullopt, "B", std::nullopt},
      {"no primary, previous C", std::nullopt, "C", "B", ""},
      {"no primary, previous C, empty data", std::nullopt, "C", "", "C"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    os::fake::Reset();
    os::fake::AddRegKey(HKLM, "Net");
    if (c.primary) os::fake::SetRegString(HKLM, "Net", "PrimaryProvider", *c.primary);
    if (c.previous) os::fake::SetRegString(HKLM, "Net", "PreviousProvider", *c.previous);
    WriteRegValue("HKEY_LOCAL_MACHINE", "Net", "PrimaryProvider", c.written);
    EXPECT_EQ(RegStringAt(HKLM, "Net", "PrimaryProvider"), c.written);
    EXPECT_EQ(RegStringAt(HKLM, "Net", "PreviousProvider"), c.expectPrevious);
  }
}

TEST_F(SetupRegistry, TheProviderRuleIsCaseSensitive) {
  os::fake::SetRegString(HKLM, "Net", "PrimaryProvider", "A");
  WriteRegValue("HKEY_LOCAL_MACHINE", "Net", "primaryprovider", "B");
  EXPECT_EQ(RegStringAt(HKLM, "Net", "PrimaryProvider"), "B");  // value names are case-blind
  EXPECT_FALSE(os::fake::RegValueAt(HKLM, "Net", "PreviousProvider"));
}

TEST_F(SetupRegistry, ReadingNeverCreatesAndRejectsOtherTypes) {
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "Software\\Nothing", "A"), "");
  EXPECT_FALSE(os::fake::RegKeyExists(HKLM, "Software\\Nothing"));
  os::fake::SetRegValue(HKLM, "K", "Exp", RegValue{os::kRegExpandSz, std::string("%WINDIR%\\x\0", 11)});
  os::fake::SetRegValue(HKLM, "K", "NoNul", RegValue{os::kRegSz, "abc"});
  os::fake::SetRegValue(HKLM, "K", "Inner", RegValue{os::kRegSz, std::string("ab\0cd\0", 6)});
  os::fake::SetRegValue(HKLM, "K", "Num", RegValue{os::kRegDword, std::string(4, '\0')});
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "K", "Exp"), "%WINDIR%\\x");
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "K", "NoNul"), "abc");
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "K", "Inner"), "ab");
  EXPECT_EQ(ReadRegString("HKEY_LOCAL_MACHINE", "K", "Missing"), "");
  try {
    ReadRegString("HKEY_LOCAL_MACHINE", "K", "Num");
    FAIL();
  } catch (const RegistryError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Num'");
  }
}

TEST_F(SetupRegistry, AValueTheSystemRefusesRaisesTheRegistryError) {
  std::string longName(16384, 'n');
  try {
    WriteRegValue("HKEY_LOCAL_MACHINE", "K", longName, "x");
    FAIL();
  } catch (const RegistryError& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to set data for '" + longName + "'");
  }
  EXPECT_THROW(WriteRegValue("HKEY_LOCAL_MACHINE", "K", longName, "#5#"), RegistryError);
}

TEST_F(SetupRegistry, DeleteRemovesTheWholeSubtree) {
  os::fake::SetRegString(HKLM, "Software\\Demo", "A", "1");
  os::fake::SetRegString(HKLM, "Software\\Demo\\B\\C\\D", "x", "1");
  os::fake::SetRegString(HKLM, "Software\\Demo\\B\\E", "x", "1");
  os::fake::AddRegKey(HKLM, "Software\\Demo\\F");
  os::fake::AddRegKey(HKLM, "Software\\Demolition");
  DeleteRegKey("HKEY_LOCAL_MACHINE", "\\Software\\Demo");
  EXPECT_FALSE(os::fake::RegKeyExists(HKLM, "Software\\Demo"));
  EXPECT_EQ(os::fake::RegSubKeys(HKLM, "Software"), std::vector<std::string>{"Demolition"});
  DeleteRegKey("HKEY_LOCAL_MACHINE", "Software\\Missing");  // nothing to do, nothing reported
  DeleteRegKey("HKLM", "Software");
  EXPECT_TRUE(os::fake::RegKeyExists(HKLM, "Software"));
}

TEST_F(SetupRegistry, DeleteWithAnEmptyPathLeavesTheRootAlone) {
  os::fake::AddRegKey(HKLM, "Software\\Demo");
  DeleteRegKey("HKEY_LOCAL_MACHINE", "");
  DeleteRegKey("HKEY_LOCAL_MACHINE", "\\");
  EXPECT_TRUE(os::fake::RegKeyExists(HKLM, "Software\\Demo"));
}

TEST_F(SetupRegistry, UninstallEntryWritesBothValues) {
  WriteUninstallEntry("Demo", "Demo 1.0", "C:\\WINDOWS\\unin.exe \"C:\\Demo\\unin.ini\"");
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
  EXPECT_EQ(RegStringAt(HKLM, key, "DisplayName"), "Demo 1.0");
  EXPECT_EQ(RegStringAt(HKLM, key, "UninstallString"), "C:\\WINDOWS\\unin.exe \"C:\\Demo\\unin.ini\"");
  WriteUninstallEntry("", "Bare", "cmd");
  EXPECT_EQ(RegStringAt(HKLM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "DisplayName"),
            "Bare");
}

TEST_F(SetupRegistry, ProgramsFolderComesFromTheUsersShellFolders) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  EXPECT_EQ(ProgramsFolder(), "");
  EXPECT_FALSE(os::fake::RegKeyExists(os::kHkeyCurrentUser, key));
  os::fake::SetRegString(os::kHkeyCurrentUser, key, "Programs", "C:\\Menu\\Programs");
  EXPECT_EQ(ProgramsFolder(), "C:\\Menu\\Programs");
  os::fake::SetRegValue(os::kHkeyCurrentUser, key, "Programs", RegValue{os::kRegBinary, "\1\2"});
  EXPECT_THROW(ProgramsFolder(), RegistryError);
}

}  // namespace
