// Reading the publisher's folder with the C library only (no system calls of
// our own), so the same code serves the Linux and the Windows console build.
#include "tools/setupcheck/HostFolder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "os/fake/FakeControl.h"

bool ReadHostFile(const std::string& path, std::string& content) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  char block[65536];
  content.clear();
  for (;;) {
    const std::size_t n = std::fread(block, 1, sizeof block, file.get());
    content.append(block, n);
    if (n < sizeof block) return !std::ferror(file.get());
  }
}

bool MirrorHostFolder(const std::string& hostFolder, const std::string& target) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(hostFolder.c_str()), &closedir);
  if (!folder) return false;
  os::fake::AddFolder(target);
  while (dirent* entry = readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = hostFolder + "/" + name;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      if (!MirrorHostFolder(path, target + "\\" + name)) return false;
    } else {
      std::string content;
      if (!ReadHostFile(path, content)) return false;
      os::fake::AddFile(target + "\\" + name, content);
    }
  }
  return true;
}
