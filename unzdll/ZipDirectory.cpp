// Reading of the end record, the central directory and the local headers.
#include "unzdll/ZipDirectory.h"

#include <algorithm>
#include <cstring>

#include "unzdll/ZipFormat.h"

namespace unz {

using namespace zipfmt;

namespace {

bool ReadExactly(ArchiveFile& archive, std::uint64_t offset, void* buffer, std::size_t length) {
  return archive.ReadAt(offset, buffer, length) == length;
}

// Position of the end record, searched backwards through the tail; false when there is none.
bool FindEndRecord(ArchiveFile& archive, std::uint64_t& position, unsigned char (&record)[kEndSize],
                   UnzError& error) {
  const std::uint64_t size = archive.Size();
  if (size < kEndSize) {
    error = UnzError::kNoEndRecord;
    return false;
  }
  const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxEndSearch));
  std::vector<unsigned char> buffer(tail);
  const std::uint64_t tailStart = size - tail;
  if (!ReadExactly(archive, tailStart, buffer.data(), tail)) {
    error = UnzError::kArchiveRead;
    return false;
  }
  for (std::size_t i = tail - kEndSize + 1; i-- > 0;) {
    if (Le32(&buffer[i]) != kEndSignature) continue;
    // A real end record's comment reaches no further than the file; a signature inside a comment
    // or inside compressed data usually fails this test.
    const std::size_t commentLength = Le16(&buffer[i + kEndCommentLengthOfs]);
    if (i + kEndSize + commentLength > tail) continue;
    std::memcpy(record, &buffer[i], kEndSize);
    position = tailStart + i;
    return true;
  }
  error = UnzError::kNoEndRecord;
  return false;
}

bool HasZip64Locator(ArchiveFile& archive, std::uint64_t endPosition) {
  if (endPosition < kZip64LocatorSize) return false;
  unsigned char locator[4];
  return ReadExactly(archive, endPosition - kZip64LocatorSize, locator, sizeof locator) &&
         Le32(locator) == kZip64LocatorSignature;
}

}  // namespace

UnzError ReadZipDirectory(ArchiveFile& archive, ZipDirectory& directory) {
  directory = ZipDirectory{};
  std::uint64_t endPosition = 0;
  unsigned char end[kEndSize];
  UnzError error = UnzError::kNone;
  if (!FindEndRecord(archive, endPosition, end, error)) return error;

  const std::uint16_t disk = Le16(&end[kEndDiskOfs]);
  const std::uint16_t cdDisk = Le16(&end[kEndCdDiskOfs]);
  const std::uint16_t entriesOnDisk = Le16(&end[kEndEntriesOnDiskOfs]);
  const std::uint16_t entries = Le16(&end[kEndEntriesOfs]);
  const std::uint32_t cdSize = Le32(&end[kEndCdSizeOfs]);
  const std::uint32_t cdOffset = Le32(&end[kEndCdOffsetOfs]);
  const std::uint16_t commentLength = Le16(&end[kEndCommentLengthOfs]);

  if (cdOffset == kZip64Marker || cdSize == kZip64Marker || entries == 0xFFFF) {
    if (HasZip64Locator(archive, endPosition)) return UnzError::kZip64;
  }
  if (disk != 0 || cdDisk != 0 || entriesOnDisk != entries) return UnzError::kMultiPart;

  directory.declaredEntries = entries;
  if (commentLength > 0) {
    directory.comment.resize(commentLength);
    if (!ReadExactly(archive, endPosition + kEndSize, directory.comment.data(), commentLength))
      directory.comment.clear();
  }

  // The directory ends where the end record begins; when the stored offset says otherwise, the
  // difference is data placed before the archive (a self-extractor stub), which every stored
  // offset has to be moved by.
  if (cdSize > endPosition) return UnzError::kBadDirectory;
  const std::uint64_t cdStart = endPosition - cdSize;
  if (cdOffset > cdStart) return UnzError::kBadDirectory;
  directory.prefixBytes = cdStart - cdOffset;
  directory.directoryStart = cdStart;

  std::vector<unsigned char> cd(cdSize);
  if (cdSize > 0 && !ReadExactly(archive, cdStart, cd.data(), cdSize)) return UnzError::kArchiveRead;

  std::size_t pos = 0;
  int index = 0;
  while (pos + 4 <= cd.size()) {
    const unsigned char* h = &cd[pos];
    if (pos + kCentralSize > cd.size() || Le32(h) != kCentralSignature) return UnzError::kBadDirectory;
    const std::size_t nameLength = Le16(h + kCenNameLengthOfs);
    const std::size_t extraLength = Le16(h + kCenExtraLengthOfs);
    const std::size_t entryCommentLength = Le16(h + kCenCommentLengthOfs);
    const std::size_t total = kCentralSize + nameLength + extraLength + entryCommentLength;
    if (total > cd.size() - pos) return UnzError::kBadDirectory;

    ZipEntry e;
    e.index = index++;
    e.madeByVersion = h[kCenMadeByOfs];
    e.hostSystem = h[kCenMadeByOfs + 1];
    e.flags = Le16(h + kCenFlagsOfs);
    e.method = Le16(h + kCenMethodOfs);
    e.dosDateTime = Le32(h + kCenTimeOfs);
    e.crc = Le32(h + kCenCrcOfs);
    e.compressedSize = Le32(h + kCenCompSizeOfs);
    e.size = Le32(h + kCenSizeOfs);
    e.externalAttributes = Le32(h + kCenExternalAttrOfs);
    e.name.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLength);
    // A stored name may hold a zero byte; what follows it is no part of the name.
    e.name.resize(std::strlen(e.name.c_str()));
    const std::uint32_t storedOffset = Le32(h + kCenLocalOffsetOfs);
    e.localOffset = storedOffset + directory.prefixBytes;
    const char last = e.name.empty() ? '\0' : e.name.back();
    e.isFolder = last == '/' || last == '\\';
    if (Le16(h + kCenDiskOfs) != 0) {
      e.problem = UnzError::kMultiPart;
    } else if (e.compressedSize == kZip64Marker || e.size == kZip64Marker || storedOffset == kZip64Marker) {
      e.problem = UnzError::kZip64;
    }
    directory.entries.push_back(std::move(e));
    pos += total;
  }
  if (pos != cd.size()) return UnzError::kBadDirectory;
  return UnzError::kNone;
}

void LocateEntryData(ArchiveFile& archive, ZipDirectory& directory) {
  struct Span {
    std::uint64_t start, end;
    ZipEntry* entry;
  };
  std::vector<Span> spans;
  spans.reserve(directory.entries.size());
  for (ZipEntry& e : directory.entries) {
    if (e.problem != UnzError::kNone) continue;
    if (e.localOffset + kLocalSize > directory.directoryStart) {
      e.problem = UnzError::kBadEntry;
      continue;
    }
    unsigned char local[kLocalSize];
    if (!ReadExactly(archive, e.localOffset, local, kLocalSize) || Le32(local) != kLocalSignature) {
      e.problem = UnzError::kBadLocalHeader;
      continue;
    }
    e.dataOffset = e.localOffset + kLocalSize + Le16(local + kLocNameLengthOfs) + Le16(local + kLocExtraLengthOfs);
    const std::uint64_t dataEnd = e.dataOffset + e.compressedSize;
    if (dataEnd > directory.directoryStart) {
      e.problem = UnzError::kBadEntry;
      continue;
    }
    if (e.method == kMethodStored && (e.flags & kFlagEncrypted) == 0 && e.compressedSize != e.size) {
      e.problem = UnzError::kBadEntry;
      continue;
    }
    spans.push_back({e.localOffset, dataEnd, &e});
  }
  // Entries sharing data would let a small archive claim endless output; each range of bytes
  // belongs to one entry only.
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
  std::uint64_t reached = 0;
  for (const Span& s : spans) {
    if (s.start < reached) {
      s.entry->problem = UnzError::kOverlap;
      continue;
    }
    reached = s.end;
  }
}

}  // namespace unz
