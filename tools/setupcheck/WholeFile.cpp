#include "tools/setupcheck/WholeFile.h"

#include <cstdint>

#include "os/OsFiles.h"

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  os::UniqueFile file(os::CreateFileA(path, os::Access::Read, os::Disposition::OpenExisting));
  if (!file) return false;
  char block[65536];
  for (;;) {
    std::uint32_t read = 0;
    if (!os::ReadFile(file.get(), block, sizeof block, read)) return false;
    if (read == 0) return true;
    bytes.append(block, read);
  }
}
