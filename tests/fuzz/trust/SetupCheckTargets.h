// Fuzz targets of setupcheck's inputs: a publisher's library read for its
// export names, and a generated setup folder packed onto disks. Shared by the
// libFuzzer program and the checker's test that replays the kept inputs.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/fuzz/trust/FuzzBytes.h"
#include "tests/unit/SfxTestUtil.h"
#include "tools/setupcheck/Packer.h"
#include "tools/setupcheck/PeExports.h"

namespace trustfuzz {

inline void PeExportsOf(const std::uint8_t* data, std::size_t size) {
  const std::string image(reinterpret_cast<const char*>(data), size);
  const auto names = PeExportNames(image);
  if (!names) return;
  // Every name has a pointer of four bytes in the name table, which the image holds.
  Check(names->size() <= image.size() / 4, "no more names than the image has room for");
  for (const std::string& name : *names)
    Check(name.find('\0') == std::string::npos, "a name ends at its NUL");
}

// A setup folder made from the input, packed. The first byte chooses: a
// folder of plain, listed files that must pack and prove (bit 1) or of
// whatever names, sub-folders and links the bytes spell; the disk size
// (bits 2-3), the code page (bits 4-5) and a single file for a download
// (bit 6). Then entries: a kind byte, a name ended by NUL, a length byte and
// that many bytes of content, repeated as often as the kind's high bits say.
inline void PackedFolderOf(const std::uint8_t* data, std::size_t size) {
  namespace fs = std::filesystem;
  Bytes in(data, size);
  const std::uint8_t mode = in.Byte();
  const bool sound = mode & 2;
  const fs::path root = fs::temp_directory_path() / ("qv-packfuzz-" + std::to_string(getpid()));
  const fs::path folder = root / "folder";
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directories(folder);
  auto put = [](const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  };
  put(folder / "setup.exe", "MZ setup");
  put(folder / "UNZDLL.DLL", "MZ engine");
  put(root / "setupsfx.exe", sfxtest::StubProgram(500));  // a 32-bit program, as the stub is
  std::string install, extra;
  std::set<std::string> taken = {"setup.exe", "unzdll.dll", "setup.ini", "setup.lst"};
  for (int entries = 0; !in.Empty() && entries < 12; ++entries) {
    const std::uint8_t kind = in.Byte();
    std::string name = in.Field('\0');
    const std::size_t length = in.Byte();
    std::string content;
    const std::string piece = in.Take(length);
    for (int n = 0; n <= (kind >> 4) * 16; ++n) content += piece;
    if (sound) {  // a short lower-case name of letters and digits, unique
      std::string plain;
      for (char c : name.substr(0, 8))
        plain += "abcdefghijklmnopqrstuvwxyz0123456789"[static_cast<unsigned char>(c) % 36];
      name = (plain.empty() ? "f" : plain) + ".dat";
      if (!taken.insert(name).second) continue;
    } else {
      if (name.empty() || name == "." || name == "..") continue;
      for (char& c : name)
        if (c == '/') c = '_';
    }
    const fs::path path = folder / name;
    switch (sound ? kind & 1 : kind & 3) {
      case 0:
        put(path, content);
        install += name + "\r\n";
        break;
      case 1:  // a loose extra file
        put(path, content);
        extra += name + "\r\n";
        break;
      case 2:
        fs::create_directories(path, ignored);
        break;
      case 3:  // a link to another entry of the folder
        fs::create_symlink(content.empty() ? "setup.exe" : content.substr(0, 32), path, ignored);
        install += name + "\r\n";
        break;
    }
  }
  put(folder / "setup.ini", "\\Demo\r\nDemo\r\nDemo 1.0\r\n:INSTALL\r\n" + install + ":\r\n");
  if (!extra.empty()) put(folder / "setup.lst", ":EXTRA\r\n" + extra + ":\r\n");

  const char* const diskSizes[] = {"1.44M", "360K", "720K", "650M"};
  const char* const codePages[] = {"1252", "932", "1251", "1250"};
  std::vector<std::string> args{"--pack",      (root / "out").string(),
                                "--disk-size", diskSizes[(mode >> 2) & 3],
                                "--codepage",  codePages[(mode >> 4) & 3]};
  if (mode & 0x40) args.insert(args.end(), {"--single-file", (root / "one.exe").string()});
  args.push_back(folder.string());
  const int result = PackMain(args, (root / "setupcheck").string());
  Check(result == 0 || result == 1, "a folder is packed or refused, never a usage error");
  Check(!sound || result == 0, "a folder of plain listed files is packed and proved");
  if (result == 0) Check(fs::exists(root / "out" / "DISK1" / "setup.exe"), "disk 1 holds setup.exe");
  fs::remove_all(root, ignored);
}

}  // namespace trustfuzz
