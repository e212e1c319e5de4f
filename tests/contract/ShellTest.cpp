// Contract of the shell's link object, its allocator and the name conversion.
#include <gtest/gtest.h>

#include "os/OsFiles.h"
#include "os/OsShell.h"
#include "os/OsSystem.h"
#include "tests/contract/ContractEnv.h"

namespace {

class ShellContract : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = contract::FreshScratch();
    ASSERT_TRUE(os::Succeeded(os::OleInitialize()));
  }
  void TearDown() override { os::OleUninitialize(); }
  std::string scratch_;
};

std::u16string Wide(const std::string& s) {
  std::u16string w;
  EXPECT_TRUE(os::MultiByteToWideChar(s, w));
  return w + u'\0';
}

TEST_F(ShellContract, TheLinkObjectSavesALinkFile) {
  std::unique_ptr<os::ShellLinkA> link;
  ASSERT_EQ(os::CoCreateShellLink(link), os::kSOk);
  EXPECT_TRUE(os::Succeeded(link->SetPath(os::GetModuleFileNameA())));
  EXPECT_TRUE(os::Succeeded(link->SetArguments("")));
  EXPECT_TRUE(os::Succeeded(link->SetIconLocation("", 0)));
  std::unique_ptr<os::PersistFile> persist;
  ASSERT_EQ(link->QueryPersistFile(persist), os::kSOk);
  EXPECT_EQ(persist->Save(Wide(scratch_ + "\\app.lnk"), true), os::kSOk);
  EXPECT_NE(os::GetFileAttributesA(scratch_ + "\\app.lnk"), os::kInvalidFileAttributes);
  EXPECT_FALSE(os::Succeeded(persist->Save(Wide(scratch_ + "\\no\\such\\folder\\app.lnk"), true)));
}

TEST_F(ShellContract, NamesConvertWhole) {
  std::u16string w;
  ASSERT_TRUE(os::MultiByteToWideChar("C:\\" + std::string(300, 'a'), w));
  EXPECT_EQ(w.size(), 303u);
  EXPECT_EQ(w.substr(0, 4), u"C:\\a");
  ASSERT_TRUE(os::MultiByteToWideChar("", w));
  EXPECT_TRUE(w.empty());
}

TEST_F(ShellContract, TheShellAllocatorKnowsItsBlocks) {
  std::unique_ptr<os::Malloc> allocator;
  ASSERT_EQ(os::SHGetMalloc(allocator), os::kSOk);
  os::ItemIdList block = allocator->Alloc(16);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(allocator->DidAlloc(block), 1);
  allocator->Free(block);
}

}  // namespace
