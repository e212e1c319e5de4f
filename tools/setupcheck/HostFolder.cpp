// Reading the publisher's folder with the C library only (no system calls of
// our own), so the same code serves the Linux and the Windows console build.
#include "tools/setupcheck/HostFolder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "os/fake/FakeControl.h"

#ifndef _WIN32
#include <iconv.h>
#endif

namespace {

#ifndef _WIN32
struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using UniqueIconv = std::unique_ptr<void, IconvCloser>;

UniqueIconv OpenConverter(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  return UniqueIconv(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

std::string CodePageName(int codePage) { return "CP" + std::to_string(codePage); }

// text converted whole; false when a character has no form in the target.
bool Convert(const std::string& to, const std::string& from, const std::string& text,
             std::string& converted) {
  UniqueIconv cd = OpenConverter(to, from);
  if (!cd) return false;
  std::string in = text;
  std::string out(in.size() * 4 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  std::size_t inLeft = in.size(), outLeft = out.size();
  if (iconv(static_cast<iconv_t>(cd.get()), &inPtr, &inLeft, &outPtr, &outLeft) ==
      static_cast<std::size_t>(-1))
    return false;
  converted.assign(out.data(), out.size() - outLeft);
  return true;
}
#endif

}  // namespace

bool AnsiName(const std::string& hostName, int codePage, std::string& ansi) {
#ifdef _WIN32
  (void)codePage;
  ansi = hostName;
  return true;
#else
  return Convert(CodePageName(codePage), "UTF-8", hostName, ansi);
#endif
}

namespace {

// The host's modification time as a Windows file time (100 ns since 1601), 0 before 1601.
os::FileTime HostTime(const struct stat& info) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const std::int64_t seconds = static_cast<std::int64_t>(info.st_mtime) + kSecondsFrom1601To1970;
  os::FileTime time;
  time.ticks = seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds) * 10000000ULL;
  return time;
}

}  // namespace

int HostLstat(const std::string& path, struct stat& info) {
#ifdef _WIN32
  return stat(path.c_str(), &info);
#else
  return lstat(path.c_str(), &info);
#endif
}

namespace {

bool Mirror(const std::string& hostFolder, const std::string& relative, const std::string& target,
            HostNames& names) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(hostFolder.c_str()), &closedir);
  if (!folder) return false;
  os::fake::AddFolder(target);
  while (dirent* entry = readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = hostFolder + "/" + name;
    const std::string shown = relative.empty() ? name : relative + "/" + name;
    struct stat info {};
    if (HostLstat(path, info) != 0) continue;
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) {
      names.links.push_back(shown);
      continue;
    }
    std::string ansi;
    if (!AnsiName(name, names.codePage, ansi)) {
      names.unnamed.push_back(shown);
      continue;
    }
    if (S_ISDIR(info.st_mode)) {
      if (!Mirror(path, shown, target + "\\" + ansi, names)) return false;
    } else {
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> readable(std::fopen(path.c_str(), "rb"), &std::fclose);
      if (!readable) return false;
      // Large files are read when they are used, a block at a time.
      os::fake::AddHostFile(target + "\\" + ansi, path, static_cast<std::uint64_t>(info.st_size));
      os::fake::SetLastWriteTime(target + "\\" + ansi, HostTime(info));
    }
  }
  return true;
}

}  // namespace

bool IsUsableCodePage(int codePage) {
#ifdef _WIN32
  return codePage > 0;
#else
  return codePage > 0 && OpenConverter(CodePageName(codePage), "UTF-8") != nullptr;
#endif
}

bool ParseCodePage(const std::string& text, int& codePage) {
  char* end = nullptr;
  const long number = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number <= 0 || number > 65535 || !IsUsableCodePage(static_cast<int>(number)))
    return false;
  codePage = static_cast<int>(number);
  return true;
}

std::string HostText(const std::string& ansi, int codePage) {
#ifdef _WIN32
  (void)codePage;
  return ansi;
#else
  std::string text;
  return Convert("UTF-8", CodePageName(codePage), ansi, text) ? text : ansi;
#endif
}

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

bool MirrorHostFolder(const std::string& hostFolder, const std::string& target, HostNames& names) {
  return Mirror(hostFolder, "", target, names);
}

bool MirrorHostFolder(const std::string& hostFolder, const std::string& target) {
  HostNames names;
  return MirrorHostFolder(hostFolder, target, names);
}
