// Path helpers of the archive component.
#include "zip/ZipPath.h"

#include <vector>

#include "os/OsFiles.h"
#include "os/OsSystem.h"
#include "sys/TextBytes.h"

namespace zip {

std::string DriveRootOf(const std::string& path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    auto server = NextSeparator(path, "\\", 2);
    if (server == std::string::npos) return path + "\\";
    auto share = NextSeparator(path, "\\", server + 1);
    return (share == std::string::npos ? path : path.substr(0, share)) + "\\";
  }
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  std::string current = os::GetCurrentDirectoryA();
  if (current.size() >= 2 && (current[1] == ':' || (current[0] == '\\' && current[1] == '\\')))
    return DriveRootOf(current + "\\");
  return "\\";
}

bool FileExists(const std::string& path) {
  std::uint32_t a = os::GetFileAttributesA(path);
  return a != os::kInvalidFileAttributes && !(a & os::kAttrDirectory);
}

bool FolderExists(const std::string& path) {
  std::uint32_t a = os::GetFileAttributesA(path);
  return a != os::kInvalidFileAttributes && (a & os::kAttrDirectory);
}

std::string ApplicationTitle() {
  std::string program = os::GetModuleFileNameA();
  auto slash = LastSeparator(program, "\\:");
  program = slash == std::string::npos ? program : program.substr(slash + 1);
  auto dot = program.find_last_of('.');
  return dot == std::string::npos ? program : program.substr(0, dot);
}

namespace {
// Where the name's base (without folder and extension) starts and ends.
void BaseOf(const std::string& path, std::size_t& begin, std::size_t& end) {
  auto slash = LastSeparator(path, "\\:");
  begin = slash == std::string::npos ? 0 : slash + 1;
  auto dot = path.find_last_of('.');
  end = (dot == std::string::npos || dot < begin) ? path.size() : dot;
}
}  // namespace

std::string NumberedPartPath(const std::string& path, int part) {
  std::size_t begin, end;
  BaseOf(path, begin, end);
  // Never reach into the folder: a base shorter than three characters loses all of them. The cut
  // falls between characters, never inside a double-byte one.
  std::vector<std::size_t> starts;
  for (std::size_t i = begin; i < end; i += CharLength(path, i, ProcessLeadBytes())) starts.push_back(i);
  std::size_t cut = starts.size() >= 3 ? starts[starts.size() - 3] : begin;
  std::string digits = std::to_string(part + 1);
  while (digits.size() < 3) digits = "0" + digits;
  return path.substr(0, cut) + digits + path.substr(end);
}

int PartNumberOfPath(const std::string& path) {
  std::size_t begin, end;
  BaseOf(path, begin, end);
  if (end - begin < 3) return -1;
  int n = 0;
  for (std::size_t i = end - 3; i < end; ++i) {
    if (path[i] < '0' || path[i] > '9') return -1;
    n = n * 10 + (path[i] - '0');
  }
  return n;
}

}  // namespace zip
