// The fuzz targets' archive: the input bytes, read in place.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "unzdll/UnzFiles.h"

class MemoryArchive : public unz::ArchiveFile {
 public:
  MemoryArchive(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override {
    if (offset >= size_) return 0;
    const std::size_t n = std::min<std::uint64_t>(length, size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};
