// Every example of the publisher's guide (docs/publishing.md) is laid out as
// a setup folder, passes the checker without a line, and installs in a dry run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/SetupCheck.h"
#include "tools/setupcheck/Toolkit.h"

namespace {

namespace fs = std::filesystem;

// An example is named in a comment before its blocks:
// <!-- example: NAME [file: FILE] [files: FILE...] [run] -->
// "file:" gives the next fenced block that file name, "files:" lists files
// of the folder whose content does not matter, "run" makes the next block a
// shell script run in the folder.
struct Example {
  std::string name;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> placeholders;
  std::vector<std::string> scripts;
};

std::vector<Example> ReadExamples(const std::string& markdown) {
  std::vector<Example> examples;
  std::istringstream in(markdown);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("<!-- example:", 0) != 0) continue;
    std::istringstream words(line.substr(13));
    std::string name, word, key, file;
    bool run = false;
    words >> name;
    std::vector<std::string> placeholders;
    while (words >> word && word != "-->") {
      if (word == "file:" || word == "files:")
        key = word;
      else if (word == "run")
        run = true, key.clear();
      else if (key == "file:")
        file = word;
      else if (key == "files:")
        placeholders.push_back(word);
    }
    if (examples.empty() || examples.back().name != name) examples.push_back(Example{name, {}, {}, {}});
    Example& e = examples.back();
    e.placeholders.insert(e.placeholders.end(), placeholders.begin(), placeholders.end());
    if (!run && file.empty()) continue;
    std::string block;
    while (std::getline(in, line) && line.rfind("```", 0) != 0) {
    }
    while (std::getline(in, line) && line.rfind("```", 0) != 0) block += line + "\n";
    if (run)
      e.scripts.push_back(block);
    else
      e.files.emplace_back(file, block);
  }
  return examples;
}

void Write(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

TEST(GuideExamples, EachPassesTheCheckerAndInstalls) {
  std::string guide;
  ASSERT_TRUE(ReadHostFile(std::string(QV_SOURCE_DIR) + "/docs/publishing.md", guide));
  const std::vector<Example> examples = ReadExamples(guide);
  ASSERT_GE(examples.size(), 7u);
  const fs::path root = fs::temp_directory_path() / ("guide-examples-" + std::to_string(::getpid()));
  for (const Example& e : examples) {
    SCOPED_TRACE(e.name);
    const fs::path folder = root / e.name;
    fs::remove_all(folder);
    for (const std::string& name : e.placeholders) Write(folder / name, "MZ placeholder of " + name + "\n");
    for (const auto& [name, content] : e.files) Write(folder / name, content);
    for (const std::string& script : e.scripts) {
      Write(folder / "example.sh", script);
      ASSERT_EQ(std::system(("cd '" + folder.string() + "' && sh example.sh && rm example.sh").c_str()), 0);
    }
    PrepareWindows("WIN_XP");
    ASSERT_TRUE(MirrorHostFolder(folder.string(), "C:\\SETUP"));
    for (const Finding& f : CheckSetupFolder("C:\\SETUP")) ADD_FAILURE() << FormatFinding(f);

    PrepareWindows("WIN_XP");
    ASSERT_TRUE(MirrorHostFolder(folder.string(), "C:\\SETUP"));
    const DryRun run = RunDry("WIN_XP", {});
    EXPECT_FALSE(run.wizardWaited);
    EXPECT_NE(run.log.find("Copy: C:\\Program Files\\"), std::string::npos) << run.log;
    EXPECT_EQ(run.exitCode, 0);
  }
  fs::remove_all(root);
}

// setupcheck --new writes the guide's first example, takes the products from beside the
// program, and never writes into a folder that holds anything.
TEST(GuideExamples, TheNewFolderIsTheFirstExample) {
  std::string guide;
  ASSERT_TRUE(ReadHostFile(std::string(QV_SOURCE_DIR) + "/docs/publishing.md", guide));
  const std::vector<Example> examples = ReadExamples(guide);
  ASSERT_FALSE(examples.empty());
  ASSERT_EQ(examples.front().name, "new");
  std::string list = kStarterList;
  for (std::size_t at; (at = list.find("\r\n")) != std::string::npos;) list.erase(at, 1);
  EXPECT_EQ(examples.front().files.at(0).second, list);

  const fs::path root = fs::temp_directory_path() / ("new-folder-" + std::to_string(::getpid()));
  fs::remove_all(root);
  for (const char* product : kStarterProducts) Write(root / "kit" / product, std::string("MZ ") + product);
  const std::string program = (root / "kit" / "setupcheck").string();
  testing::internal::CaptureStdout();
  EXPECT_EQ(NewFolderMain((root / "made").string(), program), 0);
  testing::internal::GetCapturedStdout();
  std::string copied;
  EXPECT_TRUE(ReadHostFile((root / "made" / "UNZDLL.DLL").string(), copied));
  EXPECT_EQ(copied, "MZ UNZDLL.DLL");
  testing::internal::CaptureStderr();
  EXPECT_EQ(NewFolderMain((root / "made").string(), program), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("not empty"), std::string::npos);
  fs::remove_all(root);
}

// The excerpt of the demo's dry run that the guide quotes is what the dry run prints.
TEST(GuideExamples, TheQuotedDryRunIsTheRealOne) {
  std::string guide;
  ASSERT_TRUE(ReadHostFile(std::string(QV_SOURCE_DIR) + "/docs/publishing.md", guide));
  const auto at = guide.find("`setupcheck --simulate WIN_98 examples/demo` shows");
  ASSERT_NE(at, std::string::npos);
  std::istringstream in(guide.substr(at));
  std::string line;
  std::getline(in, line);
  std::vector<std::string> quoted;
  while (std::getline(in, line) && (line.empty() || line.rfind("    ", 0) == 0))
    if (!line.empty()) quoted.push_back(line.substr(4));
  ASSERT_GE(quoted.size(), 3u);
  PrepareWindows("WIN_98");
  ASSERT_TRUE(MirrorHostFolder(std::string(QV_SOURCE_DIR) + "/examples/demo", "C:\\SETUP"));
  const std::string text = DryRunText(RunDry("WIN_98", {}));
  for (const std::string& q : quoted) EXPECT_NE(text.find(q), std::string::npos) << q;
}

}  // namespace
