// The archive component: properties, message reporting and the reading of
// an archive's central directory. The unzip engine reads directories too
// (unzdll/ZipDirectory.cpp), on the same record definitions, but not the same
// way: this reader follows a set over disks and parts (volume labels, disk
// prompts, the end record on the last part) and reports the component's
// message numbers while it reads on; the engine's reads one file through a
// positional read and refuses what does not fit. tests/unit/ZipDirectoryTest.cpp
// holds both to one table of archives.
#include "zip/ZipMaster.h"

#include <algorithm>
#include <new>
#include <set>
#include <stdexcept>

#include "os/OsDisk.h"
#include "os/OsSystem.h"
#include "os/OsUi.h"
#include "sys/TextBytes.h"
#include "zip/ZipPath.h"
#include "zip/ZipRecords.h"

namespace zip {

using namespace rec;

namespace {

std::string Upper(const std::string& s) { return FoldCase(s, true, ProcessLeadBytes()); }

}  // namespace

// --- the component's own error -------------------------------------------------

EZipMaster::EZipMaster(int id, bool display) : SetupError(LoadMessageText(id)), id_(id), display_(display) {}
EZipMaster::EZipMaster(int id, int arg)
    : SetupError(FormatMessageText(LoadMessageText(id), arg)), id_(id), display_(true) {}
EZipMaster::EZipMaster(int id, const std::string& arg)
    : SetupError(FormatMessageText(LoadMessageText(id), arg)), id_(id), display_(true) {}

bool TZipStream::SetSize(std::uint64_t size) {
  if (size > data_.max_size()) return false;
  try {
    data_.resize(static_cast<std::size_t>(size));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

// Components alive now: the engine hands back a caller value that must be one of them.
std::set<const TZipMaster*>& LiveComponents() {
  static std::set<const TZipMaster*> live;
  return live;
}

// --- creation and properties ----------------------------------------------------

TZipMaster::TZipMaster(os::Hwnd mainWindow) : mainWindow_(mainWindow) {
  for (int m = static_cast<int>(AddStoreSuffixEnum::assGIF);
       m <= static_cast<int>(AddStoreSuffixEnum::assJAR); ++m)
    AddStoreSuffixes.Add(static_cast<AddStoreSuffixEnum>(m));
  LiveComponents().insert(this);
}

TZipMaster::~TZipMaster() {
  LiveComponents().erase(this);
  // An engine left loaded by the owner stays loaded: the library is the
  // owner's to free. The handle's owner is released without unloading.
  (void)engine_.release();
}

void TZipMaster::SetZipFileName(const std::string& value) noexcept {
  zipFileName_ = value;
  ReadDirectory();
}

void TZipMaster::SetPassword(const std::string& value) { password_ = value.substr(0, 255); }

void TZipMaster::SetDLLDirectory(const std::string& value) {
  dllDirectory_ = value;
  if (EndsWithBackslash(dllDirectory_)) dllDirectory_.pop_back();
}

void TZipMaster::SetRootDir(const std::string& value) {
  rootDir_ = value;
  if (!EndsWithBackslash(rootDir_)) rootDir_ += '\\';
}

// --- messages -------------------------------------------------------------------

void TZipMaster::ShowBox(const std::string& text) {
  os::MessageBoxA(mainWindow_, text, ApplicationTitle(), os::kMbOk);
}

void TZipMaster::FireMessage(int errCode, const std::string& text) {
  if (OnMessage) OnMessage(this, errCode, text);
}

void TZipMaster::Fire(ProgressType type, const std::string& name, std::int64_t size) {
  if (OnProgress) OnProgress(this, type, name, size);
}

void TZipMaster::ReportMessage(int number, const std::string& extra) {
  std::string text = LoadMessageText(number) + extra;
  lastMessage_ = text;
  errorCode_ = number;
  if (!Unattended) ShowBox(text);
  FireMessage(0, text);
}

void TZipMaster::ReportException(const EZipMaster& e) {
  if (e.DisplayMessage() && !Unattended) ShowBox(e.what());
  errorCode_ = e.MessageId();
  lastMessage_ = e.what();
  FireMessage(0, lastMessage_);
}

void TZipMaster::WaitCursorOn() {
  if (waitCount_++ == 0) savedCursor_ = os::SetCursor(os::LoadWaitCursor());
}

void TZipMaster::WaitCursorOff() {
  if (waitCount_ > 0 && --waitCount_ == 0) os::SetCursor(savedCursor_);
}

// --- code pages -----------------------------------------------------------------

std::string TZipMaster::Convert(const std::string& text, std::uint8_t madeBy, std::uint8_t host) const {
  bool oem = (CodePage == CodePageOpts::cpAuto && host == 0) || host == 6 || (host == 11 && madeBy == 50) ||
             CodePage == CodePageOpts::cpOEM;
  return oem ? os::OemToCharBuffA(text) : text;
}

// --- drives ---------------------------------------------------------------------

bool TZipMaster::CheckDrive() {
  std::string root = Upper(driveRoot_);
  driveRoot_ = root;
  bool network = !root.empty() && root[0] == '\\';
  if (!network) {
    if (root.empty() || root[0] < 'A' || root[0] > 'Z') throw EZipMaster(ZipMsgBadDriveLetter, root);
    if (!(os::GetLogicalDrives() & (1u << (root[0] - 'A')))) throw EZipMaster(ZipMsgDriveNotReady, root);
  }
  std::uint32_t oldMode = os::SetErrorMode(os::kSemFailCriticalErrors);
  std::string label;
  std::uint32_t serial = 0;
  bool present = false;
  if (os::GetVolumeInformationA(root, label, serial)) {
    volumeLabel_ = label;
    volumeSerial_ = serial;
    bool sized = os::GetDiskFreeSpaceExA(root, diskFree_, diskTotal_);
    present = network || sized;
  } else {
    std::uint32_t error = os::GetLastError();
    volumeLabel_.clear();
    present = error == os::kErrorGenFailure && AddOptions.Has(AddOptsEnum::AddDiskSpanErase);
  }
  os::SetErrorMode(oldMode);
  return present;
}

// --- the end record ---------------------------------------------------------------

bool TZipMaster::FindEndRecord(bool raising) {
  archiveComment_.clear();
  partFile_.reset(os::CreateFileA(archivePath_, os::Access::Read, os::Disposition::OpenExisting));
  partPos_ = 0;
  if (!partFile_) {
    if (raising) throw EZipMaster(ZipMsgOpenFailed);
    ReportMessage(ZipMsgOpenFailedQuiet, "");
    return false;
  }
  int labelPart = -1;
  if (volumeLabel_.rfind("PKBACK# ", 0) == 0) {
    std::string digits = volumeLabel_.substr(8, 3);
    bool number = digits.size() == 3 &&
                  std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    labelPart = number ? std::stoi(digits) : 0;
  }
  endSpannedFirst_ = false;
  bool found = false;
  try {
    std::uint64_t size = PartSize();
    std::uint8_t head[8] = {};
    SeekPart(0, ZipMsgSeekFailed);
    std::uint32_t got = 0;
    if (os::ReadFile(partFile_.get(), head, sizeof head, got) && got == sizeof head &&
        Le32(head) == kSpanSignature && Le32(head + 4) == kLocalSignature) {
      endSpannedFirst_ = true;
      multiPart_ = true;
    }
    found = ReadEndRecord(size);
  } catch (const EZipMaster&) {
    if (raising) throw;
    return false;
  }
  if (found || !raising) return found;
  if (!endSpannedFirst_ && labelPart >= 0) throw EZipMaster(ZipMsgEndNotOnPart, labelPart);
  if (!endSpannedFirst_) throw EZipMaster(ZipMsgNoEndRecord);
  if (labelPart == 1) throw EZipMaster(ZipMsgEndNotOnFirst);
  throw EZipMaster(ZipMsgEndNotOnSpanned);
}

TZipMaster::EndRecord TZipMaster::ParseEndRecord(const std::uint8_t* p) {
  EndRecord end;
  std::copy(p, p + kEndSize, end.raw);
  end.thisDisk = Le16(p + kEndThisDisk);
  end.centralDisk = Le16(p + kEndCentralDisk);
  end.entriesHere = Le16(p + kEndEntriesHere);
  end.totalEntries = Le16(p + kEndTotalEntries);
  end.centralSize = Le32(p + kEndCentralSize);
  end.centralOffset = Le32(p + kEndCentralOffset);
  end.commentLength = Le16(p + kEndCommentLength);
  return end;
}

bool TZipMaster::ReadEndRecord(std::uint64_t size) {
  std::uint32_t got = 0;
  if (size >= kEndSize) {
    std::uint8_t tail[kEndSize];
    SeekPart(size - kEndSize, ZipMsgSeekFailed);
    if (os::ReadFile(partFile_.get(), tail, kEndSize, got) && got == kEndSize &&
        Le32(tail) == kEndSignature) {
      end_ = ParseEndRecord(tail);
      // Nothing follows the record: whatever its comment length says, there is no comment.
      end_.commentLength = 0;
      fileSize_ = endOfZipData_ = size;
      return true;
    }
  }
  auto w = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kEndSearchSpan));
  std::vector<std::uint8_t> buffer(w);
  SeekPart(size - w, ZipMsgSeekFailed);
  if (!os::ReadFile(partFile_.get(), buffer.data(), w, got) || got != w) throw EZipMaster(ZipMsgReadTail);
  partPos_ += got;
  for (std::int64_t i = static_cast<std::int64_t>(w) - 23; i >= 0; --i) {
    const std::uint8_t* p = buffer.data() + i;
    if (Le32(p) != kEndSignature) continue;
    std::uint64_t commentEnd = static_cast<std::uint64_t>(i) + kEndSize + Le16(p + kEndCommentLength);
    if (commentEnd > w) continue;  // a comment running past the file: not an end record
    end_ = ParseEndRecord(p);
    fileSize_ = size;
    std::uint64_t trailing = w - commentEnd;
    endOfZipData_ = size - trailing;
    if (trailing) {
      bool zeros = std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(commentEnd), buffer.end(),
                               [](std::uint8_t b) { return b == 0; });
      if (!(trailing < 512 && size % 512 == 0 && zeros)) ReportMessage(ZipMsgTrailingBytes, "");
    }
    archiveComment_.assign(reinterpret_cast<const char*>(p + kEndSize), end_.commentLength);
    return true;
  }
  return false;
}

// --- reading parts ----------------------------------------------------------------

std::uint64_t TZipMaster::PartSize() {
  std::uint64_t size = 0;
  if (!os::GetFileSize(partFile_.get(), size)) throw EZipMaster(ZipMsgSeekFailed);
  return size;
}

void TZipMaster::SeekPart(std::uint64_t offset, int failCode) {
  if (offset > PartSize() || !os::SetFilePointer(partFile_.get(), offset)) throw EZipMaster(failCode);
  partPos_ = offset;
}

void TZipMaster::ReadAcross(void* buffer, std::uint32_t length, int shortCode) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  while (done < length) {
    std::uint32_t got = 0;
    if (!os::ReadFile(partFile_.get(), p + done, length - done, got)) got = 0;
    done += got;
    partPos_ += got;
    if (done == length) break;
    // Short: only the end of a part that is not the last one lets the read go on.
    if (partPos_ < PartSize() || currentPart_ < 0 || currentPart_ >= thisDisk_) throw EZipMaster(shortCode);
    SwitchToPart(currentPart_ + 1);
  }
}

void TZipMaster::ReadCentralHeader(std::uint8_t (&header)[46], int shortCode) {
  ReadAcross(header, kCentralSize, shortCode);
  if (Le32(header) != kCentralSignature) throw EZipMaster(ZipMsgCentralSignature);
}

// --- the directory ----------------------------------------------------------------

std::uint64_t TZipMaster::DeclaredArchiveSize() const {
  if (end_.raw[0] == 0) return 0;  // no end record was read
  // Bytes after the end record and its comment belong to the file all the same.
  const std::uint64_t after = fileSize_ > endOfZipData_ ? fileSize_ - endOfZipData_ : 0;
  return std::uint64_t{end_.centralOffset} + end_.centralSize + kEndSize + end_.commentLength + after;
}

void TZipMaster::ReadDirectory() noexcept {
  try {
    contents_.clear();
    end_ = EndRecord{};
    fileSize_ = centralOffset_ = lowestLocalOffset_ = endOfZipData_ = 0;
    archiveComment_.clear();
    multiPart_ = offsetsDisagree_ = false;
    skippedDirEntries_ = 0;
    thisDisk_ = 0;
    if (!FileExists(zipFileName_)) {
      if (OnDirUpdate) OnDirUpdate(this);
      return;
    }
    WaitCursorOn();
    try {
      ReadDirectoryInner();
    } catch (const EZipMaster& e) {
      ReportException(e);
    } catch (const std::bad_alloc&) {
      ReportMessage(ZipMsgOutOfMemory, "");
    } catch (const std::exception& e) {
      ReportMessage(ZipMsgDirOther, e.what());
    } catch (...) {
      ReportMessage(ZipMsgDirOther, "");
    }
    WaitCursorOff();
    ClosePart();
    if (OnDirUpdate) OnDirUpdate(this);
  } catch (...) {
    // An owner's handler failed while reporting; the component stays usable.
    WaitCursorOff();
    ClosePart();
  }
}

void TZipMaster::ReadDirectoryInner() {
  archivePath_ = zipFileName_;
  currentPart_ = -1;
  driveRoot_ = DriveRootOf(zipFileName_);
  if (!CheckDrive()) throw EZipMaster(ZipMsgDriveNotReady, driveRoot_);
  FindEndRecord(true);
  thisDisk_ = end_.thisDisk;
  if (thisDisk_ != 0) multiPart_ = true;
  currentPart_ = thisDisk_;
  std::uint64_t computed;
  if (end_.centralDisk == end_.thisDisk) {
    std::uint64_t before = std::uint64_t{end_.centralSize} + kEndSize + end_.commentLength;
    if (before > endOfZipData_) throw EZipMaster(ZipMsgDirSeek);  // the directory would start before the file
    computed = endOfZipData_ - before;
  } else {
    if (end_.centralDisk > end_.thisDisk) throw EZipMaster(ZipMsgDirSeek);  // no such part
    SwitchToPart(end_.centralDisk);
    endOfZipData_ = PartSize();
    computed = end_.centralOffset;
  }
  centralOffset_ = computed;
  lowestLocalOffset_ = endOfZipData_ == kEndSize ? 0 : endOfZipData_;
  if (end_.centralOffset != computed) {
    offsetsDisagree_ = true;
    ReportMessage(ZipMsgOffsetsDisagree, "");
  }
  SeekPart(computed, ZipMsgDirSeek);

  for (int i = 0; i < end_.totalEntries; ++i) {
    std::uint8_t h[kCentralSize];
    ReadCentralHeader(h, ZipMsgCentralShort);
    ZipDirEntry e;
    e.MadeByVersion = h[kCenMadeBy];
    e.HostSystem = h[kCenHost];
    e.NeededVersion = Le16(h + kCenNeeded);
    e.GeneralFlags = Le16(h + kCenFlags);
    e.CompressionMethod = Le16(h + kCenMethod);
    e.DosDateTime = Le32(h + kCenDosTime);
    e.Crc32 = Le32(h + kCenCrc);
    e.CompressedSize = Le32(h + kCenCompressed);
    e.UncompressedSize = Le32(h + kCenUncompressed);
    e.NameLength = Le16(h + kCenNameLength);
    e.ExtraLength = Le16(h + kCenExtraLength);
    e.CommentLength = Le16(h + kCenCommentLength);
    e.StartDisk = Le16(h + kCenStartDisk);
    e.InternalAttributes = Le16(h + kCenInternal);
    e.ExternalAttributes = Le32(h + kCenExternal);
    e.LocalHeaderOffset = Le32(h + kCenLocalOffset);

    std::string name(e.NameLength, '\0');
    ReadAcross(name.data(), e.NameLength, ZipMsgCentralName);
    e.FileName = Convert(name, e.MadeByVersion, e.HostSystem);
    std::replace(e.FileName.begin(), e.FileName.end(), '/', '\\');
    e.Encrypted = (e.GeneralFlags & 1) != 0;
    if (e.ExtraLength) {
      e.ExtraData.assign(e.ExtraLength + 1u, '\0');
      ReadAcross(e.ExtraData.data(), e.ExtraLength, ZipMsgDirSeek);
    }
    if (e.CommentLength) {
      std::string comment(e.CommentLength, '\0');
      ReadAcross(comment.data(), e.CommentLength, ZipMsgCopyFileComment);
      e.FileComment = Convert(comment, e.MadeByVersion, e.HostSystem);
    }
    lowestLocalOffset_ = std::min<std::uint64_t>(lowestLocalOffset_, e.LocalHeaderOffset);
    auto cut = LastSeparator(e.FileName, "\\:");
    bool hasFilePart = cut == std::string::npos ? !e.FileName.empty() : cut + 1 < e.FileName.size();
    if (UseDirOnlyEntries || hasFilePart) {
      contents_.push_back(std::move(e));
      if (OnNewName) OnNewName(this, i + 1, contents_.back());
    } else {
      ++skippedDirEntries_;
    }
  }
}

}  // namespace zip
