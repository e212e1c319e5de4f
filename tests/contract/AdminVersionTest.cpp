// Contract of the version and rights services over the real token and version record.
#include <gtest/gtest.h>

#include "os/OsSystem.h"
#include "sys/AdminRights.h"
#include "sys/WindowsVersion.h"
#include "tests/contract/ContractEnv.h"

namespace {

TEST(AdminVersionContract, VersionCodeMatchesTheRecord) {
  contract::FreshScratch();
  ResetWinVersionCacheForTests();
  os::OsVersionInfo info;
  ASSERT_TRUE(os::GetVersionExA(info));
  EXPECT_EQ(GetWinVersion(), ClassifyWinVersion(info));
  EXPECT_GE(GetWinVersion(), 0);
  EXPECT_LE(GetWinVersion(), 9);
  ResetWinVersionCacheForTests();
}

TEST(AdminVersionContract, TheTestUserIsAnAdministrator) {
  // Wine's user and the fake's default user both belong to the Administrators group.
  contract::FreshScratch();
  ResetWinVersionCacheForTests();
  bool administrator = false;
  EXPECT_NO_THROW(administrator = IsAdministrator());
  EXPECT_TRUE(administrator);
  ResetWinVersionCacheForTests();
}

}  // namespace
