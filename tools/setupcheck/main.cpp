// setupcheck: checks a setup folder's lists, or shows what an installation
// from it would do on a given Windows.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/InstallList.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/Packer.h"
#include "tools/setupcheck/SetupCheck.h"
#include "tools/setupcheck/Toolkit.h"
#include "os/fake/FakeCodePageControl.h"
#include "sys/TextBytes.h"

namespace {

constexpr char kUsage[] =
    "usage: setupcheck [--codepage N] [--json] FOLDER\n"
    "       setupcheck --simulate VERSION [--answer TEXT=BUTTON]... [--codepage N] [--json] FOLDER\n"
    "       setupcheck --pack OUTDIR [--disk-size SIZE] [--single-file OUT.exe] FOLDER\n"
    "       setupcheck --new FOLDER\n"
    "       setupcheck --version\n"
    "\n"
    "The first form checks the setup folder's setup.ini (and setup.lst with its\n"
    "package) and prints every problem as FILE:LINE: error|warning: MESSAGE; the\n"
    "exit code is 1 when there is an error. --json prints the same as JSON.\n"
    "The second installs from the folder in automatic mode on an in-memory Windows\n"
    "of that version (WIN_95A, WIN_95B, WIN_95C, WIN_98, WIN_98SE, WIN_ME, WIN_NT,\n"
    "WIN_2K, WIN_XP) and prints what the installation leaves. A box whose text\n"
    "contains TEXT gets BUTTON (OK, Cancel, Yes, No); any other its first button.\n"
    "--codepage N: the Windows ANSI code page the lists are written in (1252 when\n"
    "not given; 1250-1258, 874, 932, 936, 949, 950); file names of the folder are\n"
    "taken into it, and one that has no form in it is reported.\n"
    "The third makes the disks (and a single file for a download) of the folder;\n"
    "setupcheck --pack --help tells more.\n"
    "--new starts a setup folder: the Windows products and a setup.ini with remarks\n"
    "that passes the check, to be filled in with your program's files.\n";

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "setupcheck: %s\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  LoadSystemLeadBytes();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (IsPackCommand(args)) return PackMain(args, argv[0]);
  if (args.size() == 1 && args[0] == "--version") return std::printf("%s\n", VersionText().c_str()), 0;
  if (!args.empty() && args[0] == "--new") {
    if (args.size() != 2 || args[1].empty() || args[1][0] == '-') return Usage("--new wants one folder");
    return NewFolderMain(args[1], argv[0]);
  }
  std::string version, folder;
  std::vector<BoxAnswer> answers;
  bool json = false;
  HostNames names;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return Usage(""), 0;
    if (a == "--json") {
      json = true;
    } else if (a == "--codepage") {
      if (i + 1 >= args.size()) return Usage(a + " needs a value");
      const std::string& value = args[++i];
      if (!ParseCodePage(value, names.codePage)) return Usage("unknown code page \"" + value + "\"");
    } else if (a == "--simulate" || a == "--answer") {
      if (i + 1 >= args.size()) return Usage(a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--simulate") {
        if (!IsOsKeyword(value)) return Usage("unknown Windows keyword \"" + value + "\"");
        version = value;
      } else if (auto answer = ParseBoxAnswer(value)) {
        answers.push_back(*answer);
      } else {
        return Usage("--answer wants TEXT=BUTTON with BUTTON one of OK, Cancel, Yes, No");
      }
    } else if (folder.empty() && (a.empty() || a[0] != '-')) {
      folder = a;
    } else {
      return Usage("unexpected argument \"" + a + "\"");
    }
  }
  if (folder.empty()) return Usage("no setup folder given");
  if (!answers.empty() && version.empty()) return Usage("--answer goes with --simulate");

  PrepareWindows(version.empty() ? "WIN_XP" : version);
  // The in-memory Windows plays the lists' code page where it knows it (the double-byte ones among
  // them), so names are split, compared and made as on that Windows; the others read byte by byte
  // as 1252 does.
  os::fake::SetAnsiCodePage(static_cast<std::uint32_t>(names.codePage));
  LoadSystemLeadBytes();
  if (!MirrorHostFolder(folder, "C:\\SETUP", names)) {
    std::fprintf(stderr, "setupcheck: cannot read the folder %s\n", folder.c_str());
    return 2;
  }
  std::vector<Finding> findings;
  for (const std::string& name : names.unnamed)
    findings.push_back(Finding{name, 0, Severity::Warning, UnnamedFileMessage(names.codePage)});
  for (const std::string& name : names.links) findings.push_back(Finding{name, 0, Severity::Error, kLinkMessage});
  if (!version.empty()) {
    for (const Finding& f : findings) std::fprintf(stderr, "setupcheck: %s\n", FormatFinding(f).c_str());
    const DryRun run = RunDry(version, answers);
    const std::string out = json ? DryRunJson(run) : HostText(DryRunText(run), names.codePage);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  }
  for (Finding& f : CheckSetupFolder("C:\\SETUP")) {
    if (!json) f.message = HostText(f.message, names.codePage);  // JSON carries the code page's bytes
    findings.push_back(std::move(f));
  }
  if (json)
    std::fputs(FindingsJson(findings).c_str(), stdout);
  else
    for (const Finding& f : findings) std::printf("%s\n", FormatFinding(f).c_str());
  return HasErrors(findings) ? 1 : 0;
}
