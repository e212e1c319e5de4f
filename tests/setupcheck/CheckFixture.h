// What the checker's tests share: a setup folder at C:\SETUP of a fresh
// in-memory Windows, the checker run on it, and its findings in short.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/SetupCheck.h"

namespace checktest {

// "file:line: severity" of every finding, so a test states exactly which lines it expects.
inline std::vector<std::string> Where(const std::vector<Finding>& findings) {
  std::vector<std::string> out;
  for (const Finding& f : findings)
    out.push_back(f.file + ":" + std::to_string(f.line) +
                  (f.severity == Severity::Error ? " error" : " warning"));
  return out;
}

// A list written with "\n" as the lists are kept: lines ended by CR LF.
inline std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

class SetupFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { PrepareWindows("WIN_XP"); }
  static void Put(const std::string& name, const std::string& content) {
    os::fake::AddFile("C:\\SETUP\\" + name, content);
  }
  // The findings, printed too so that a failing test shows them all.
  static std::vector<Finding> Run() {
    std::vector<Finding> findings = CheckSetupFolder("C:\\SETUP");
    for (const Finding& f : findings) std::printf("  %s\n", FormatFinding(f).c_str());
    return findings;
  }
};

}  // namespace checktest
