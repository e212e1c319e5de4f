// How a packed setup is laid out on disks: what a disk of a given size holds,
// which files stay loose on disk 1, and which bytes of the archive each
// disk's part carries, in the order the package stage joins them.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A disk's room for files and its allocation unit: a file takes whole units.
struct DiskSize {
  std::uint64_t capacity = 0;
  std::uint32_t unit = 1;
};

// "360K", "720K", "1.2M", "1.44M", "2.88M", "650M" (a CD) or a byte count;
// nothing for any other text. Floppies hold what their FAT file system leaves
// for files, in its clusters; a CD holds 650 MB in 2048-byte blocks.
std::optional<DiskSize> ParseDiskSize(const std::string& text);

// The bytes a file of size takes on the disk.
std::uint64_t Taken(const DiskSize& disk, std::uint64_t size);

struct LooseFile {
  std::string name;
  std::uint64_t size = 0;
};

struct DiskPlan {
  int number = 0;                  // 1 for the first disk
  std::vector<std::string> files;  // every file on it: loose files and the part
  std::string part;                // the package part on it
  std::uint64_t partOffset = 0;    // where the part's bytes start in the archive
  std::uint64_t partSize = 0;
  std::uint64_t used = 0;  // bytes the files take, whole units
  std::uint64_t free = 0;
};

struct DiskLayout {
  std::vector<DiskPlan> disks;  // empty when error says why nothing fits
  std::string error;
};

// The part on disk n: "PACKAGE.001" for disk 1.
std::string PartName(int disk);

// Lays out an archive of archiveSize bytes and the loose files (all on disk 1,
// with the package list, whose size for a given number of parts listSize
// tells). The part on disk 1 holds the archive's end, the one on disk 2 the
// bytes before that, and so on: the package stage joins the last-listed part
// first. Every disk but the last is filled.
DiskLayout LayOutDisks(const DiskSize& disk, const std::vector<LooseFile>& loose, std::uint64_t archiveSize,
                       const std::function<std::uint64_t(int parts)>& listSize);
