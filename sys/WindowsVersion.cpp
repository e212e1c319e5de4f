// The Windows version code and its process-wide cache.
#include "sys/WindowsVersion.h"

#include <cstdint>
#include <string>

namespace {

constexpr std::uint32_t kPlatformNt = 2;
constexpr std::uint32_t kBuildOsr2 = 1111;
constexpr std::uint32_t kBuild98SE = 2222;

// -1 until the first successful query; afterwards the code, for good.
int versionCache = -1;

// The service-pack text without leading and trailing blanks and control characters.
std::string TrimmedServicePack(const std::string& text) {
  auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

int ClassifyWinVersion(const os::OsVersionInfo& info) {
  if (info.platformId == kPlatformNt) {
    if (info.majorVersion < 5) return kWinNT4;
    if (info.minorVersion == 0) return kWin2K;
    if (info.minorVersion == 2) return kWinNT52;
    return kWinXP;
  }
  // The 95 family keeps the major and minor version in the build number's
  // high word; only the low word is the build.
  const std::uint32_t build = info.buildNumber & 0xFFFFu;
  if (info.minorVersion < 10) {
    if (TrimmedServicePack(info.csdVersion) == "C") return kWin95C;
    return build == kBuildOsr2 ? kWin95B : kWin95A;
  }
  if (info.minorVersion < 90) return build == kBuild98SE ? kWin98SE : kWin98;
  return kWinME;
}

int GetWinVersion() {
  if (versionCache != -1) return versionCache;
  os::OsVersionInfo info;
  if (!os::GetVersionExA(info)) return kWin95A;  // asked again next time
  versionCache = ClassifyWinVersion(info);
  return versionCache;
}

void ResetWinVersionCacheForTests() { versionCache = -1; }
