// Reading of the end record, the central directory and the local headers.
// The archive component (zip/ZipMaster.cpp) has a reader of its own on the
// same record definitions (zip/ZipRecords.h): that one reads a set spread
// over several disks and parts, asking for disks and answering with the
// component's message numbers, and reads on over damage it can report. This
// one, which extracts, reads a single file through a positional read, takes
// the 64-bit end record some tools write for small archives, and refuses
// every size or offset that does not fit. tests/unit/ZipDirectoryTest.cpp
// holds both to one table of archives.
#include "unzdll/ZipDirectory.h"

#include <algorithm>
#include <cstring>

#include "zip/ZipRecords.h"

namespace unz {

using namespace ::zip::rec;

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
  const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndSearchSpan));
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
    const std::size_t commentLength = Le16(&buffer[i + kEndCommentLength]);
    if (i + kEndSize + commentLength > tail) continue;
    std::memcpy(record, &buffer[i], kEndSize);
    position = tailStart + i;
    return true;
  }
  error = UnzError::kNoEndRecord;
  return false;
}

// The 64-bit end record some tools write even for small archives (Info-ZIP for data from a pipe):
// found through the locator just before the end record. Gives where the directory ends and the
// 64-bit fields, or false when there is no such record.
struct Zip64End {
  std::uint64_t position = 0;
  std::uint32_t disk = 0, cdDisk = 0;
  std::uint64_t entriesOnDisk = 0, entries = 0, cdSize = 0, cdOffset = 0;
};

bool ReadZip64End(ArchiveFile& archive, std::uint64_t endPosition, Zip64End& z64) {
  if (endPosition < kZip64LocatorSize + kZip64EndSize) return false;
  unsigned char locator[kZip64LocatorSize];
  if (!ReadExactly(archive, endPosition - kZip64LocatorSize, locator, sizeof locator) ||
      Le32(locator) != kZip64LocatorSignature)
    return false;
  // Usually the record lies right before its locator; otherwise where the locator says.
  const std::uint64_t candidates[] = {endPosition - kZip64LocatorSize - kZip64EndSize,
                                      Le64(locator + kZip64LocEndOffset)};
  for (std::uint64_t at : candidates) {
    unsigned char record[kZip64EndSize];
    if (at > endPosition - kZip64LocatorSize - kZip64EndSize) continue;
    if (!ReadExactly(archive, at, record, sizeof record) || Le32(record) != kZip64EndSignature) continue;
    z64.position = at;
    z64.disk = Le32(record + kZip64EndThisDisk);
    z64.cdDisk = Le32(record + kZip64EndCentralDisk);
    z64.entriesOnDisk = Le64(record + kZip64EndEntriesHere);
    z64.entries = Le64(record + kZip64EndTotalEntries);
    z64.cdSize = Le64(record + kZip64EndCentralSize);
    z64.cdOffset = Le64(record + kZip64EndCentralOffset);
    return true;
  }
  return false;
}

// Fills the sizes and offset a central header marks as "in the 64-bit extra field" from that
// field. False when one is missing there or does not fit the 32 bits this engine works with.
bool ApplyZip64Extra(const unsigned char* extra, std::size_t length, ZipEntry& e, std::uint64_t& offset) {
  const bool wantSize = e.size == kZip64Marker;
  const bool wantCompressed = e.compressedSize == kZip64Marker;
  const bool wantOffset = offset == kZip64Marker;
  if (!wantSize && !wantCompressed && !wantOffset) return true;
  std::size_t pos = 0;
  while (pos + 4 <= length) {
    const std::uint16_t id = Le16(extra + pos);
    const std::size_t size = Le16(extra + pos + 2);
    if (size > length - pos - 4) return false;
    if (id == 0x0001) {
      const unsigned char* field = extra + pos + 4;
      std::size_t at = 0;
      auto take = [&](bool wanted, std::uint64_t& value) {
        if (!wanted) return true;
        if (at + 8 > size) return false;
        value = Le64(field + at);
        at += 8;
        return value < kZip64Marker;
      };
      std::uint64_t usize = e.size, csize = e.compressedSize;
      if (!take(wantSize, usize) || !take(wantCompressed, csize) || !take(wantOffset, offset)) return false;
      e.size = static_cast<std::uint32_t>(usize);
      e.compressedSize = static_cast<std::uint32_t>(csize);
      return true;
    }
    pos += 4 + size;
  }
  return false;
}

}  // namespace

UnzError ReadZipDirectory(ArchiveFile& archive, ZipDirectory& directory, const LeadBytes& lead) {
  directory = ZipDirectory{};
  std::uint64_t endPosition = 0;
  unsigned char end[kEndSize];
  UnzError error = UnzError::kNone;
  if (!FindEndRecord(archive, endPosition, end, error)) return error;

  std::uint32_t disk = Le16(&end[kEndThisDisk]);
  std::uint32_t cdDisk = Le16(&end[kEndCentralDisk]);
  std::uint64_t entriesOnDisk = Le16(&end[kEndEntriesHere]);
  std::uint64_t entries = Le16(&end[kEndTotalEntries]);
  std::uint64_t cdSize = Le32(&end[kEndCentralSize]);
  std::uint64_t cdOffset = Le32(&end[kEndCentralOffset]);
  const std::uint16_t commentLength = Le16(&end[kEndCommentLength]);

  // The directory ends where the end records begin.
  std::uint64_t cdEnd = endPosition;
  Zip64End z64;
  if (ReadZip64End(archive, endPosition, z64)) {
    cdEnd = z64.position;
    if (disk == 0xFFFF) disk = z64.disk;
    if (cdDisk == 0xFFFF) cdDisk = z64.cdDisk;
    if (entriesOnDisk == 0xFFFF) entriesOnDisk = z64.entriesOnDisk;
    if (entries == 0xFFFF) entries = z64.entries;
    if (cdSize == kZip64Marker) cdSize = z64.cdSize;
    if (cdOffset == kZip64Marker) cdOffset = z64.cdOffset;
  }
  if (disk != 0 || cdDisk != 0 || entriesOnDisk != entries) return UnzError::kMultiPart;

  directory.declaredEntries = static_cast<std::uint32_t>(std::min<std::uint64_t>(entries, 0xFFFFFFFF));
  if (commentLength > 0) {
    directory.comment.resize(commentLength);
    if (!ReadExactly(archive, endPosition + kEndSize, directory.comment.data(), commentLength))
      directory.comment.clear();
  }

  // When the stored offset says the directory starts elsewhere than where it ends minus its size,
  // the difference is data placed before the archive (a self-extractor stub), which every stored
  // offset has to be moved by.
  if (cdSize > cdEnd) return UnzError::kBadDirectory;
  const std::uint64_t cdStart = cdEnd - cdSize;
  if (cdOffset > cdStart) return UnzError::kBadDirectory;
  directory.prefixBytes = cdStart - cdOffset;
  directory.directoryStart = cdStart;

  if (cdSize > SIZE_MAX) return UnzError::kOutOfMemory;
  std::vector<unsigned char> cd(static_cast<std::size_t>(cdSize));
  if (cdSize > 0 && !ReadExactly(archive, cdStart, cd.data(), cd.size())) return UnzError::kArchiveRead;

  std::size_t pos = 0;
  int index = 0;
  while (pos + 4 <= cd.size()) {
    const unsigned char* h = &cd[pos];
    if (pos + kCentralSize > cd.size() || Le32(h) != kCentralSignature) return UnzError::kBadDirectory;
    const std::size_t nameLength = Le16(h + kCenNameLength);
    const std::size_t extraLength = Le16(h + kCenExtraLength);
    const std::size_t entryCommentLength = Le16(h + kCenCommentLength);
    const std::size_t total = kCentralSize + nameLength + extraLength + entryCommentLength;
    if (total > cd.size() - pos) return UnzError::kBadDirectory;

    ZipEntry e;
    e.index = index++;
    e.madeByVersion = h[kCenMadeBy];
    e.hostSystem = h[kCenMadeBy + 1];
    e.flags = Le16(h + kCenFlags);
    e.method = Le16(h + kCenMethod);
    e.dosDateTime = Le32(h + kCenDosTime);
    e.crc = Le32(h + kCenCrc);
    e.compressedSize = Le32(h + kCenCompressed);
    e.size = Le32(h + kCenUncompressed);
    e.externalAttributes = Le32(h + kCenExternal);
    e.name.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLength);
    // A stored name may hold a zero byte; what follows it is no part of the name.
    e.name.resize(std::strlen(e.name.c_str()));
    std::uint64_t storedOffset = Le32(h + kCenLocalOffset);
    const bool sized = ApplyZip64Extra(h + kCentralSize + nameLength, extraLength, e, storedOffset);
    e.localOffset = storedOffset + directory.prefixBytes;
    static const LeadBytes kUtf8;  // UTF-8 has no byte that could be a separator inside a character
    const LeadBytes& nameLead = (e.flags & kFlagUtf8) ? kUtf8 : lead;
    e.isFolder = EndsWithChar(e.name, '/', nameLead) || EndsWithChar(e.name, '\\', nameLead);
    if (Le16(h + kCenStartDisk) != 0) {
      e.problem = UnzError::kMultiPart;
    } else if (!sized) {
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
    e.dataOffset = e.localOffset + kLocalSize + Le16(local + kLocNameLength) + Le16(local + kLocExtraLength);
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
