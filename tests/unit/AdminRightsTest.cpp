// Administrator rights: which token is asked, how membership is judged, and that every token is closed.
#include <gtest/gtest.h>

#include "os/fake/FakeControl.h"
#include "sys/AdminRights.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"

namespace {

using os::fake::TokenState;

const os::Sid kUsers{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};  // S-1-5-32-545
const os::Sid kEveryone{1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};                  // S-1-1-0

class Admin : public ::testing::Test {
 protected:
  void SetUp() override { UseVersion({5, 1, 2600, 2, ""}); }
  void TearDown() override {
    EXPECT_EQ(os::fake::OpenTokenCount(), 0);
    ResetWinVersionCacheForTests();
  }
  static void UseVersion(const os::OsVersionInfo& info) {
    os::fake::Reset();
    ResetWinVersionCacheForTests();
    os::fake::SetVersion(info);
  }
};

TEST_F(Admin, NinetyFiveFamilyNeedsNoToken) {
  UseVersion({4, 10, 2222, 1, ""});
  os::fake::SetThreadToken(TokenState::Fails);
  os::fake::SetProcessToken(TokenState::Fails);
  os::fake::FailGroupQueries(true);
  EXPECT_TRUE(IsAdministrator());
}

TEST_F(Admin, MembershipFromTheRightToken) {
  struct Row {
    const char* name;
    TokenState thread;
    std::vector<os::Sid> threadGroups;
    TokenState process;
    std::vector<os::Sid> processGroups;
    bool administrator;
  } rows[] = {
      {"process token lists Administrators",
       TokenState::Missing,
       {},
       TokenState::Present,
       {kEveryone, os::fake::AdministratorsSid(), kUsers},
       true},
      {"process token without Administrators",
       TokenState::Missing,
       {},
       TokenState::Present,
       {kEveryone, kUsers},
       false},
      {"empty group list", TokenState::Missing, {}, TokenState::Present, {}, false},
      {"impersonating thread is judged by its own token",
       TokenState::Present,
       {kUsers},
       TokenState::Present,
       {os::fake::AdministratorsSid()},
       false},
      {"impersonating administrator",
       TokenState::Present,
       {os::fake::AdministratorsSid()},
       TokenState::Present,
       {kUsers},
       true},
      {"thread token fails otherwise: no fallback",
       TokenState::Fails,
       {},
       TokenState::Present,
       {os::fake::AdministratorsSid()},
       false},
      {"process token fails", TokenState::Missing, {}, TokenState::Fails, {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    os::fake::SetThreadToken(row.thread, row.threadGroups);
    os::fake::SetProcessToken(row.process, row.processGroups);
    EXPECT_EQ(IsAdministrator(), row.administrator);
    EXPECT_EQ(os::fake::OpenTokenCount(), 0);
  }
}

TEST_F(Admin, NtFourIsAskedToo) {
  UseVersion({4, 0, 1381, 2, ""});
  os::fake::SetProcessToken(TokenState::Present, {kUsers});
  EXPECT_FALSE(IsAdministrator());
}

TEST_F(Admin, UnreadableGroupListRaisesAfterClosingTheToken) {
  os::fake::FailGroupQueries(true);
  try {
    IsAdministrator();
    FAIL() << "no error raised";
  } catch (const SystemError& e) {
    EXPECT_EQ(e.code(), os::kErrorAccessDenied);
  }
  EXPECT_EQ(os::fake::OpenTokenCount(), 0);
}

}  // namespace
