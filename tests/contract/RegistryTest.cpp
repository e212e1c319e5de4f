// Contract of the seam's registry: the in-memory registry must answer as
// the Windows registry does.
#include <gtest/gtest.h>

#include <cstring>

#include "os/OsRegistry.h"
#include "tests/contract/ContractEnv.h"

namespace {

constexpr os::Hkey HKCU = os::kHkeyCurrentUser;

void DeleteTree(os::Hkey parent, const std::string& path) {
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(parent, path, os::kKeyAllAccess, raw) == 0) {
    os::UniqueKey key(raw);
    std::string name;
    while (os::RegEnumKeyExA(key.get(), 0, name) == 0) DeleteTree(key.get(), name);
  }
  os::RegDeleteKeyA(parent, path);
}

// A fresh, empty key of our own under HKEY_CURRENT_USER; removed afterwards.
class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string scratch = contract::FreshScratch();
    path_ = "Software\\QvContract\\" + scratch.substr(scratch.find_last_of('\\') + 1);
    DeleteTree(HKCU, path_);
    os::Hkey raw = 0;
    ASSERT_EQ(os::RegCreateKeyExA(HKCU, path_, os::kKeyAllAccess, raw), 0);
    key_.reset(raw);
  }
  void TearDown() override {
    key_.reset();
    DeleteTree(HKCU, "Software\\QvContract");
  }
  os::UniqueKey Create(const std::string& sub, std::uint32_t access = os::kKeyAllAccess) {
    os::Hkey raw = 0;
    EXPECT_EQ(os::RegCreateKeyExA(key_.get(), sub, access, raw), 0) << sub;
    return os::UniqueKey(raw);
  }
  std::int32_t Open(const std::string& sub, std::uint32_t access = os::kKeyAllAccess) {
    os::Hkey raw = 0;
    std::int32_t r = os::RegOpenKeyExA(key_.get(), sub, access, raw);
    if (r == 0) os::RegCloseKey(raw);
    return r;
  }
  std::string path_;
  os::UniqueKey key_;
};

TEST_F(RegistryContract, KeysAreCreatedWithTheirParentsAndFoundInAnyCase) {
  EXPECT_EQ(Open("A"), os::kErrorFileNotFound);
  Create("A\\B\\C");
  EXPECT_EQ(Open("a\\b\\c"), 0);
  EXPECT_EQ(Open("A\\B\\"), 0);  // a trailing backslash is accepted
  EXPECT_EQ(Open(""), 0);        // the key itself
  EXPECT_NE(Open("\\A"), 0);     // a leading one is not
  EXPECT_EQ(Open("A\\X"), os::kErrorFileNotFound);
  Create("A\\B\\");
  std::uint32_t subKeys = 99, values = 99;
  os::UniqueKey a = Create("A");
  ASSERT_EQ(os::RegQueryInfoKeyA(a.get(), subKeys, values), 0);
  EXPECT_EQ(subKeys, 1u);
  EXPECT_EQ(values, 0u);
}

TEST_F(RegistryContract, StringsDwordsAndSizes) {
  const char text[] = "C:\\Demo";  // stored with its NUL: 8 bytes
  ASSERT_EQ(os::RegSetValueExA(key_.get(), "Path", os::kRegSz, text, sizeof text), 0);
  std::int32_t minusOne = -1;
  ASSERT_EQ(os::RegSetValueExA(key_.get(), "N", os::kRegDword, &minusOne, 4), 0);
  ASSERT_EQ(os::RegSetValueExA(key_.get(), "", os::kRegSz, "d", 2), 0);

  std::uint32_t type = 0xdeadbeef, size = 0;
  ASSERT_EQ(os::RegQueryValueExA(key_.get(), "PATH", &type, nullptr, &size), 0);
  EXPECT_EQ(type, os::kRegSz);
  EXPECT_EQ(size, 8u);
  char small[4] = {'g', 'g', 'g', 'g'};
  size = sizeof small;
  EXPECT_EQ(os::RegQueryValueExA(key_.get(), "Path", &type, small, &size), os::kErrorMoreData);
  EXPECT_EQ(size, 8u);
  char buffer[32];
  std::memset(buffer, 'x', sizeof buffer);
  size = sizeof buffer;
  ASSERT_EQ(os::RegQueryValueExA(key_.get(), "Path", &type, buffer, &size), 0);
  EXPECT_EQ(size, 8u);
  EXPECT_STREQ(buffer, "C:\\Demo");

  std::uint32_t number = 0;
  size = 4;
  ASSERT_EQ(os::RegQueryValueExA(key_.get(), "n", &type, &number, &size), 0);
  EXPECT_EQ(type, os::kRegDword);
  EXPECT_EQ(number, 0xFFFFFFFFu);
  size = sizeof buffer;
  ASSERT_EQ(os::RegQueryValueExA(key_.get(), "", &type, buffer, &size), 0);
  EXPECT_STREQ(buffer, "d");
  EXPECT_EQ(os::RegQueryValueExA(key_.get(), "Missing", &type, nullptr, &size), os::kErrorFileNotFound);
  EXPECT_EQ(os::RegDeleteValueA(key_.get(), "N"), 0);
  EXPECT_EQ(os::RegDeleteValueA(key_.get(), "N"), os::kErrorFileNotFound);
}

TEST_F(RegistryContract, MultiStringsKeepEveryNul) {
  const char data[] = "a\0!b\0\0";  // 7 bytes with the literal's own NUL
  ASSERT_EQ(os::RegSetValueExA(key_.get(), "M", os::kRegMultiSz, data, sizeof data), 0);
  char buffer[16];
  std::uint32_t type = 0, size = sizeof buffer;
  ASSERT_EQ(os::RegQueryValueExA(key_.get(), "M", &type, buffer, &size), 0);
  EXPECT_EQ(type, os::kRegMultiSz);
  EXPECT_EQ(std::string(buffer, size), std::string(data, sizeof data));
}

TEST_F(RegistryContract, RefusedWrites) {
  os::UniqueKey readOnly;
  {
    os::Hkey raw = 0;
    ASSERT_EQ(os::RegOpenKeyExA(key_.get(), "", os::kKeyRead, raw), 0);
    readOnly.reset(raw);
  }
  EXPECT_EQ(os::RegSetValueExA(readOnly.get(), "V", os::kRegSz, "x", 2),
            static_cast<std::int32_t>(os::kErrorAccessDenied));
  std::string longName(16384, 'n');  // one more than a value name may have
  EXPECT_NE(os::RegSetValueExA(key_.get(), longName, os::kRegSz, "x", 2), 0);
}

TEST_F(RegistryContract, SubkeysEnumerateInNameOrderAndGoOnlyWhenEmpty) {
  Create("b");
  Create("A\\inner");
  Create("c");
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0; os::RegEnumKeyExA(key_.get(), i, name) == 0; ++i) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_EQ(os::RegEnumKeyExA(key_.get(), 3, name), os::kErrorNoMoreItems);
  EXPECT_NE(os::RegDeleteKeyA(key_.get(), "A"), 0);  // it has a subkey
  EXPECT_EQ(Open("A"), 0);
  EXPECT_EQ(os::RegDeleteKeyA(key_.get(), "a\\INNER"), 0);
  EXPECT_EQ(os::RegDeleteKeyA(key_.get(), "A"), 0);
  EXPECT_EQ(os::RegDeleteKeyA(key_.get(), "A"), os::kErrorFileNotFound);
}

TEST_F(RegistryContract, AHandleToADeletedKeyAnswersKeyDeleted) {
  os::UniqueKey gone = Create("Gone");
  ASSERT_EQ(os::RegDeleteKeyA(key_.get(), "Gone"), 0);
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(os::RegQueryValueExA(gone.get(), "", &type, nullptr, &size), os::kErrorKeyDeleted);
  EXPECT_EQ(os::RegSetValueExA(gone.get(), "v", os::kRegSz, "x", 2), os::kErrorKeyDeleted);
}

}  // namespace
