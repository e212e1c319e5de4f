// Disk sizes and the layout of a packed setup over its disks.
#include "tools/setupcheck/DiskLayout.h"

#include <cstdio>

namespace {

// The floppies by the room their FAT12 file system leaves for files: sectors
// of 512 bytes, less the boot sector, both FATs and the root folder.
struct NamedDisk {
  const char* name;
  DiskSize size;
};
constexpr NamedDisk kDisks[] = {
    {"360K", {354 * 1024, 1024}},    // 720 sectors, 12 for the file system, clusters of 2
    {"720K", {713 * 1024, 1024}},    // 1440 sectors, 14, clusters of 2
    {"1.2M", {2371 * 512, 512}},     // 2400 sectors, 29
    {"1.44M", {2847 * 512, 512}},    // 2880 sectors, 33
    {"2.88M", {2863 * 1024, 1024}},  // 5760 sectors, 34, clusters of 2
    {"650M", {650ull << 20, 2048}},  // a CD: 2048-byte blocks
};

constexpr int kMostDisks = 999;  // three digits in the part names

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Bytes(std::uint64_t n) { return std::to_string(n) + " bytes"; }

}  // namespace

std::optional<DiskSize> ParseDiskSize(const std::string& text) {
  for (const NamedDisk& d : kDisks)
    if (Upper(text) == d.name) return d.size;
  if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const std::uint64_t bytes = std::stoull(text);
  if (bytes == 0) return std::nullopt;
  return DiskSize{bytes, 1};
}

std::uint64_t Taken(const DiskSize& disk, std::uint64_t size) {
  return (size + disk.unit - 1) / disk.unit * disk.unit;
}

std::string PartName(int disk) {
  char name[16];
  std::snprintf(name, sizeof name, "PACKAGE.%03d", disk);
  return name;
}

DiskLayout LayOutDisks(const DiskSize& disk, const std::vector<LooseFile>& loose, std::uint64_t archiveSize,
                       const std::function<std::uint64_t(int parts)>& listSize) {
  DiskLayout layout;
  std::uint64_t looseTaken = 0;
  for (const LooseFile& f : loose) {
    if (Taken(disk, f.size) > disk.capacity) {
      layout.error = f.name + " (" + Bytes(f.size) + ") is larger than a disk (" + Bytes(disk.capacity) + ")";
      return layout;
    }
    looseTaken += Taken(disk, f.size);
  }
  // The package list grows with the number of parts, which depends on the
  // room it leaves on disk 1: count again until the two agree.
  int count = 1;
  std::uint64_t firstRoom = 0;
  for (;;) {
    const std::uint64_t fixed = looseTaken + Taken(disk, listSize(count));
    // The room is a whole number of units; a part of that size fills it.
    if (fixed >= disk.capacity || (disk.capacity - fixed) / disk.unit * disk.unit == 0) {
      layout.error = "the files that stay loose on disk 1 take " + Bytes(fixed) +
                     " and leave no room for the package on a disk of " + Bytes(disk.capacity);
      return layout;
    }
    firstRoom = (disk.capacity - fixed) / disk.unit * disk.unit;
    const std::uint64_t room = disk.capacity / disk.unit * disk.unit;
    const std::uint64_t rest = archiveSize > firstRoom ? archiveSize - firstRoom : 0;
    const std::uint64_t needed = 1 + (rest + room - 1) / room;
    if (needed > kMostDisks) {
      layout.error = "the package needs " + std::to_string(needed) + " disks; at most " +
                     std::to_string(kMostDisks) + " can be listed";
      return layout;
    }
    if (static_cast<int>(needed) <= count) break;
    count = static_cast<int>(needed);
  }
  // Parts are cut from the archive's end: disk 1 carries its last bytes.
  std::uint64_t end = archiveSize;
  for (int n = 1; n <= count; ++n) {
    DiskPlan plan;
    plan.number = n;
    plan.part = PartName(n);
    const std::uint64_t room = n == 1 ? firstRoom : disk.capacity / disk.unit * disk.unit;
    plan.partSize = end < room ? end : room;
    plan.partOffset = end - plan.partSize;
    end = plan.partOffset;
    plan.files.push_back(plan.part);
    plan.used = Taken(disk, plan.partSize);
    layout.disks.push_back(std::move(plan));
  }
  // A longer list may have asked for one disk more than the bytes need.
  while (layout.disks.size() > 1 && layout.disks.back().partSize == 0) layout.disks.pop_back();
  DiskPlan& first = layout.disks.front();
  first.files.insert(first.files.begin(), "setup.lst");
  for (auto f = loose.rbegin(); f != loose.rend(); ++f) first.files.insert(first.files.begin(), f->name);
  first.used += looseTaken + Taken(disk, listSize(static_cast<int>(layout.disks.size())));
  for (DiskPlan& plan : layout.disks) plan.free = disk.capacity - plan.used;
  return layout;
}
