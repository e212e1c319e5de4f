// Archives made by other people's tools (Info-ZIP zip, Python's zipfile, 7z, bsdtar) are extracted
// by the engine exactly as Info-ZIP unzip extracts them, with the stored modification times.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <random>

#include "tests/unit/UnzTestZip.h"
#include "zip/ZipCallbacks.h"

namespace {

using namespace unztest;

std::string TextData(std::size_t lines) {
  std::string s;
  for (std::size_t i = 0; i < lines; ++i) s += "line " + std::to_string(i * 7919 % 100003) + " of the sample text\n";
  return s;
}

std::string RandomData(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// Local time, on an even second, as every zip tool can store it.
std::time_t Stamp(int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = 2005 - 1900;
  tm.tm_mon = 4;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return mktime(&tm);
}

void SetTime(const fs::path& path, std::time_t t) {
  const timespec times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::time_t MTime(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mtime;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

// True when some local header of the archive says its sizes follow the data.
bool UsesDataDescriptors(const std::string& zip) {
  for (std::size_t i = 0; i + 8 <= zip.size(); ++i)
    if (zip.compare(i, 4, "PK\x03\x04", 4) == 0 && (static_cast<unsigned char>(zip[i + 6]) & 0x08)) return true;
  return false;
}

class UnzRealTools : public ::testing::Test {
 protected:
  void SetUp() override {
    src_ = scratch_.root() / "src";
    files_ = {{"readme.txt", TextData(2000)},
              {"big/manual.txt", TextData(60000)},
              {"big/noise.bin", RandomData(300000, 7)},
              {"big/deep/small.bin", RandomData(33, 8)},
              {"empty.dat", ""}};
    int minute = 0;
    for (const auto& [name, data] : files_) {
      WriteFile(src_ / name, data);
      SetTime(src_ / name, Stamp(10, 9, minute, 2 * minute));
      ++minute;
    }
    fs::create_directories(src_ / "nothing");
  }

  Scratch scratch_;
  fs::path src_;
  std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(UnzRealTools, ExtractsLikeUnzipWithStoredTimes) {
  struct Recipe {
    const char* name;
    const char* command;  // run in the source folder; A is the archive
    bool descriptors;     // the recipe must give entries with data descriptors
  };
  const Recipe recipes[] = {
      {"zip stored", "zip -q -X -0 -r \"$A\" .", false},
      {"zip deflated with folder entries", "zip -q -X -9 -r \"$A\" .", false},
      {"zip streamed to a pipe", "zip -q -X -r - . | cat > \"$A\"", true},
      {"zip with an archive comment", "echo 'Package of the demo program' | zip -q -X -z -r \"$A\" .", false},
      {"python zipfile, mixed methods",
       "python3 -c \"import zipfile,os,sys\n"
       "with zipfile.ZipFile(sys.argv[1],'w') as z:\n"
       "  for d,_,fs in sorted(os.walk('.')):\n"
       "    for f in sorted(fs):\n"
       "      p=os.path.join(d,f)[2:]\n"
       "      z.write(p,p,zipfile.ZIP_STORED if p.endswith('.bin') else zipfile.ZIP_DEFLATED)\n\" \"$A\"",
       false},
      {"7z", "7z a -tzip -bd \"$A\" . >/dev/null", false},
      {"bsdtar", "bsdtar --format zip -cf \"$A\" .", false},
  };
  for (const Recipe& r : recipes) {
    SCOPED_TRACE(r.name);
    const fs::path archive = scratch_.root() / "a.zip";
    const fs::path ours = scratch_.root() / "ours";
    const fs::path theirs = scratch_.root() / "theirs";
    fs::remove(archive);
    fs::remove_all(ours);
    fs::remove_all(theirs);
    fs::create_directories(ours);
    ASSERT_EQ(Shell("cd '" + src_.string() + "' && A='" + archive.string() + "' && " + r.command), 0);
    if (r.descriptors) {
      EXPECT_TRUE(UsesDataDescriptors(ReadFile(archive)));
    }
    ASSERT_EQ(Shell("unzip -q -o '" + archive.string() + "' -d '" + theirs.string() + "'"), 0);

    Runner runner;
    runner.request().Directories = kUnzTrue;
    EXPECT_EQ(runner.Run(archive, ours), static_cast<std::int32_t>(files_.size()));
    EXPECT_TRUE(runner.Of(kCbSkipped).empty());
    EXPECT_EQ(Tree(ours), Tree(theirs));
    EXPECT_EQ(Tree(ours).size(), files_.size());
    for (const auto& [name, data] : files_) EXPECT_EQ(MTime(ours / name), MTime(src_ / name)) << name;
    if (fs::is_directory(theirs / "nothing")) {
      EXPECT_TRUE(fs::is_directory(ours / "nothing")) << "the folder entry is created";
    }
  }
}

TEST_F(UnzRealTools, StreamedStandardInputEntry) {
  // Info-ZIP names data read from its standard input "-"; not knowing its size beforehand, it
  // ends the archive with a 64-bit end record.
  const fs::path archive = scratch_.root() / "stdin.zip";
  ASSERT_EQ(Shell("cat '" + (src_ / "big/manual.txt").string() + "' | zip -q '" + archive.string() + "' -"), 0);
  EXPECT_NE(ReadFile(archive).find("PK\x06\x06"), std::string::npos);
  Runner runner;
  const fs::path ours = scratch_.root() / "ours";
  fs::create_directories(ours);
  EXPECT_EQ(runner.Run(archive, ours), 1);
  EXPECT_TRUE(ReadFile(ours / "-") == files_[1].second) << "content differs";
}

}  // namespace
