// Reading a PE image's export names: every offset checked against the image before it is read.
#include "tools/setupcheck/PeExports.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::size_t kNewHeaderOffset = 0x3C;  // e_lfanew in the MS-DOS header
constexpr std::size_t kCoffSections = 2;        // NumberOfSections, from the COFF header
constexpr std::size_t kCoffOptionalSize = 16;   // SizeOfOptionalHeader
constexpr std::size_t kCoffSize = 20;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::size_t kOptionalExportDir = 96;  // data directory 0 of a PE32 optional header
constexpr std::size_t kSectionSize = 40;
constexpr std::size_t kSectionVirtualSize = 8, kSectionVirtualAddress = 12, kSectionRawSize = 16,
                      kSectionRawPointer = 20;
constexpr std::size_t kExportNameCount = 24, kExportNames = 32;

class Image {
 public:
  explicit Image(const std::string& bytes) : bytes_(bytes) {}
  // Offsets and lengths in 64 bits: on the Windows build size_t has 32, and a
  // crafted count times four would wrap to a small length that seems to fit.
  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::uint32_t U16(std::size_t at) const {
    return static_cast<unsigned char>(bytes_[at]) | static_cast<unsigned char>(bytes_[at + 1]) << 8;
  }
  std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
  const std::string& Bytes() const { return bytes_; }

 private:
  const std::string& bytes_;
};

}  // namespace

std::optional<std::vector<std::string>> PeExportNames(const std::string& bytes) {
  const Image image(bytes);
  if (!image.Has(0, kNewHeaderOffset + 4) || bytes.compare(0, 2, "MZ") != 0) return std::nullopt;
  const std::size_t pe = image.U32(kNewHeaderOffset);
  if (!image.Has(pe, 4 + kCoffSize) || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
    return std::nullopt;
  const std::size_t coff = pe + 4;
  const std::size_t optional = coff + kCoffSize;
  const std::size_t optionalSize = image.U16(coff + kCoffOptionalSize);
  if (!image.Has(optional, optionalSize) || optionalSize < 2 || image.U16(optional) != kPe32Magic)
    return std::nullopt;
  const std::size_t sections = optional + optionalSize;
  const std::size_t sectionCount = image.U16(coff + kCoffSections);
  if (!image.Has(sections, std::uint64_t{sectionCount} * kSectionSize)) return std::nullopt;
  // A relative virtual address as an offset into the file; 0 when no section holds it.
  auto offsetOf = [&](std::uint32_t rva, std::uint64_t length) -> std::size_t {
    for (std::size_t i = 0; i < sectionCount; ++i) {
      const std::size_t s = sections + i * kSectionSize;
      const std::uint32_t address = image.U32(s + kSectionVirtualAddress);
      const std::uint32_t size = std::max(image.U32(s + kSectionVirtualSize), image.U32(s + kSectionRawSize));
      if (rva >= address && rva - address < size) {
        const std::uint64_t at = std::uint64_t{image.U32(s + kSectionRawPointer)} + (rva - address);
        return image.Has(at, length) ? static_cast<std::size_t>(at) : 0;
      }
    }
    return 0;
  };
  std::vector<std::string> names;
  if (optionalSize < kOptionalExportDir + 8) return names;
  const std::uint32_t exportRva = image.U32(optional + kOptionalExportDir);
  if (exportRva == 0) return names;
  const std::size_t exports = offsetOf(exportRva, kExportNames + 4);
  if (exports == 0) return std::nullopt;
  const std::uint32_t count = image.U32(exports + kExportNameCount);
  const std::size_t table = offsetOf(image.U32(exports + kExportNames), std::uint64_t{count} * 4);
  if (count > 0 && table == 0) return std::nullopt;
  // The names of a real image lie side by side: together they take no more
  // bytes than the file has. Names that share their bytes, over and over,
  // are an image made to take the reader's memory.
  std::uint64_t taken = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t name = offsetOf(image.U32(table + i * 4), 1);
    if (name == 0) return std::nullopt;
    const std::size_t end = bytes.find('\0', name);
    if (end == std::string::npos) return std::nullopt;
    taken += end - name + 1;
    if (taken > bytes.size()) return std::nullopt;
    names.push_back(bytes.substr(name, end - name));
  }
  return names;
}
