// The checker's version, the search for the Windows products and the
// starter folder of setupcheck --new.
#include "tools/setupcheck/Toolkit.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "sys/TextBytes.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/ZipWriter.h"

#ifdef _WIN32
#include <direct.h>
#endif

#ifndef QV_VERSION
#define QV_VERSION "0"
#endif

namespace {

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The folder of the running program. A bare argv[0] was found on PATH: on
// Linux the link /proc/self/exe names the file then.
std::string ProgramFolder(const std::string& programPath) {
  std::string path = programPath;
#ifndef _WIN32
  char buffer[4096];
  ssize_t length = 0;
  if (LastSeparator(path, "/") == std::string::npos &&
      (length = readlink("/proc/self/exe", buffer, sizeof buffer - 1)) > 0)
    path.assign(buffer, static_cast<std::size_t>(length));
#endif
  const std::size_t cut = LastSeparator(path, "/\\");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

// The folder was found empty, so nothing of the publisher's is overwritten.
bool WriteNewFile(const std::string& path, const std::string& content) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  if (std::fwrite(content.data(), 1, content.size(), file.get()) != content.size()) return false;
  return std::fclose(file.release()) == 0;
}

// A folder that does not exist yet is made; one that exists must be empty.
bool PrepareEmptyFolder(const std::string& folder, std::string& problem) {
#ifdef _WIN32
  _mkdir(folder.c_str());
#else
  mkdir(folder.c_str(), 0777);
#endif
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), &closedir);
  if (!dir) return problem = "cannot create the folder " + folder, false;
  while (dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      return problem = folder + " is not empty; a setup folder is started in a new or empty folder", false;
  }
  return true;
}

}  // namespace

std::string VersionText() {
  return std::string("setupcheck ") + QV_VERSION +
         (HasExhaustiveDeflate() ? "" : " (built without the exhaustive deflate search of --smallest)");
}

std::vector<std::string> ProductFolders(const std::string& programPath) {
  const std::string beside = ProgramFolder(programPath);
  std::vector<std::string> folders{beside, beside + "/../share/qvsetup/win32"};
#ifdef QV_DIST_DIR
  folders.push_back(QV_DIST_DIR);
#endif
  return folders;
}

std::string FindProduct(const std::string& file, const std::string& programPath) {
  for (const std::string& folder : ProductFolders(programPath))
    if (IsFile(folder + "/" + file)) return folder + "/" + file;
  return "";
}

const char* const kStarterProducts[3] = {"setup.exe", "UNZDLL.DLL", "uninst.exe"};

// Lines outside every section are passed over by Setup; the checker takes
// those that start with ";" as remarks. The head lines come first, so the
// first remark follows them.
const char kStarterList[] =
    "\\My Program\r\n"
    "My Company\r\n"
    "My Program 1.0\r\n"
    "; The three head lines above: the folder proposed below C:\\Program Files\r\n"
    "; (with its leading backslash), the Start Menu folder of the shortcuts,\r\n"
    "; and the title the wizard shows. Lines outside every section that start\r\n"
    "; with a semicolon, like this one, are remarks. A list section ends with a\r\n"
    "; line holding one colon. The guide (publishing.md) tells every section.\r\n"
    ";\r\n"
    "; :OS - the oldest and the newest Windows, and the text shown on any other.\r\n"
    "; Setup runs on every Windows of the range as it is; it needs no msvcrt.dll.\r\n"
    ":OS\r\n"
    "WIN_95A\r\n"
    "WIN_XP\r\n"
    "My Program 1.0 runs on Windows 95, 98, ME, NT 4, 2000 and XP.\r\n"
    "; :DEFPATH - added to whatever folder the user picks.\r\n"
    ":DEFPATH\r\n"
    "My Program\r\n"
    "; :INSTALL - the files copied into the install folder; list yours here\r\n"
    "; and put them beside setup.ini. *name copies a file only when none is there.\r\n"
    ":INSTALL\r\n"
    "readme.txt\r\n"
    ":\r\n"
    "; :WIN - files for the Windows folder: the uninstaller.\r\n"
    ":WIN\r\n"
    "uninst.exe\r\n"
    ":\r\n"
    "; :SHORTCUTS - pairs of lines: the shortcut's name and the installed file.\r\n"
    ":SHORTCUTS\r\n"
    "My Program Readme\r\n"
    "readme.txt\r\n"
    ":\r\n"
    "; :UNINSTALL - the uninstall entry's key and shown name, the uninstaller,\r\n"
    "; and its data file (r: unin.ini in the install folder).\r\n"
    ":UNINSTALL\r\n"
    "My Program\r\n"
    "My Program 1.0\r\n"
    "uninst.exe\r\n"
    "r\r\n"
    "; :RUNFILE - offered at the end of the installation.\r\n"
    ":RUNFILE\r\n"
    "readme.txt\r\n";

const char kStarterReadme[] =
    "My Program 1.0\r\n"
    "\r\n"
    "Replace this file with your program's readme, and list your program's\r\n"
    "files under :INSTALL in setup.ini.\r\n";

int NewFolderMain(const std::string& folder, const std::string& programPath) {
  std::string products[3];
  for (int i = 0; i < 3; ++i) {
    products[i] = FindProduct(kStarterProducts[i], programPath);
    if (products[i].empty()) {
      std::string searched;
      for (const std::string& f : ProductFolders(programPath)) searched += "\n  " + f;
      std::fprintf(stderr, "setupcheck: %s is in none of the folders searched:%s\n", kStarterProducts[i],
                   searched.c_str());
      return 1;
    }
  }
  std::string problem;
  if (!PrepareEmptyFolder(folder, problem))
    return std::fprintf(stderr, "setupcheck: %s\n", problem.c_str()), 1;
  for (int i = 0; i < 3; ++i) {
    std::string bytes;
    if (!ReadHostFile(products[i], bytes) || !WriteNewFile(folder + "/" + kStarterProducts[i], bytes))
      return std::fprintf(stderr, "setupcheck: cannot copy %s into %s\n", products[i].c_str(),
                          folder.c_str()),
             1;
  }
  if (!WriteNewFile(folder + "/setup.ini", kStarterList) ||
      !WriteNewFile(folder + "/readme.txt", kStarterReadme))
    return std::fprintf(stderr, "setupcheck: cannot write into %s\n", folder.c_str()), 1;
  std::printf(
      "%s: a new setup folder with setup.exe, UNZDLL.DLL, uninst.exe, setup.ini and readme.txt.\n"
      "Put your program's files beside them, list them in setup.ini, then run\n"
      "  setupcheck %s\n"
      "  setupcheck --pack DISKS %s\n",
      folder.c_str(), folder.c_str(), folder.c_str());
  return 0;
}
