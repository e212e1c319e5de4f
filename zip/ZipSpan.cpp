// The archive component's spanned sets: moving between parts, asking for
// disks and joining all parts into one archive.
#include <algorithm>
#include <new>
#include <unordered_map>

#include "os/OsDisk.h"
#include "os/OsSystem.h"
#include "os/OsUi.h"
#include "zip/ZipMaster.h"
#include "sys/TextBytes.h"
#include "zip/ZipPath.h"
#include "zip/ZipRecords.h"

namespace zip {

using namespace rec;

namespace {

constexpr std::uint32_t kMbIconStop = 0x10;
// Copies go in blocks of 1 MB: with smaller blocks the calls into the
// system, not the bytes, set the pace of a join.
constexpr std::uint32_t kCopyBlock = 1u << 20;

bool FixedOrNetwork(std::uint32_t type) { return type == os::kDriveFixed || type == os::kDriveRemote; }

std::string ThreeDigits(int n) {
  std::string d = std::to_string(n);
  while (d.size() < 3) d = "0" + d;
  return d;
}

std::string UpperName(const std::string& s) { return FoldCase(s, true, ProcessLeadBytes()); }

}  // namespace

std::string TZipMaster::PartPath(int part) const { return NumberedPartPath(archivePath_, part); }

std::uint32_t TZipMaster::RequestDisk() {
  os::ProcessMessages();
  std::uint32_t type = os::GetDriveTypeA(driveRoot_);
  if (FixedOrNetwork(type)) {
    promptForced_ = false;
    return type;
  }
  while (!CheckDrive() || promptForced_) {
    if (Unattended) throw EZipMaster(ZipMsgUnattendedDisk);
    std::string prompt;
    std::uint32_t icon = 0;
    if (currentPart_ < 0) {
      prompt = LoadMessageText(ZipMsgInsertLast, kInsertLastText);
      icon = kMbIconStop;
    } else {
      prompt = FormatMessageText(LoadMessageText(ZipMsgInsertVolume, kInsertVolumeText), currentPart_ + 1,
                                 thisDisk_ + 1);
    }
    prompt += FormatMessageText(LoadMessageText(ZipMsgInDrive, kInDriveText), driveRoot_);
    bool cancel = false;
    if (OnGetNextDisk) {
      OnGetNextDisk(this, currentPart_ + 1, thisDisk_ + 1, driveRoot_.substr(0, 1), cancel);
    } else {
      cancel = os::MessageBoxA(mainWindow_, prompt, ApplicationTitle(), os::kMbOkCancel | icon) != os::kIdOk;
    }
    if (cancel) throw EZipMaster(ZipMsgDiskCancelled, false);
    promptForced_ = false;
  }
  return type;
}

void TZipMaster::SwitchToPart(int part) {
  ClosePart();
  // A part beyond the last one is never asked for: the archive lies about its parts.
  if (part < 0 || part > thisDisk_) throw EZipMaster(ZipMsgOpenFailed);
  currentPart_ = part;
  for (int attempt = 0;; ++attempt) {
    bool fixed = false;
    for (;;) {
      promptForced_ = true;
      fixed = FixedOrNetwork(RequestDisk());
      if (fixed) {
        archivePath_ = PartPath(part);
        break;
      }
      if (volumeLabel_ == "PKBACK# " + ThreeDigits(part + 1)) break;
    }
    partFile_.reset(os::CreateFileA(archivePath_, os::Access::Read, os::Disposition::OpenExisting));
    partPos_ = 0;
    if (partFile_) return;
    if (attempt >= 1) {
      if (fixed) throw EZipMaster(ZipMsgOpenFailed);
      ReportMessage(ZipMsgOpenFailed, "");
    }
  }
}

// --- joining ----------------------------------------------------------------------

struct TZipMaster::JoinSlot {
  std::string name;
  std::uint32_t compressedSize = 0;
  std::uint32_t newOffset = 0;
};

// The central directory's entries in its order; names map to their slots in order, so that
// entries of the same name pair up one by one.
struct TZipMaster::JoinTable {
  std::vector<JoinSlot> slots;
  std::unordered_map<std::string, std::vector<std::size_t>> byName;
  std::uint64_t total = 0;  // bytes to copy, for the progress
};

void TZipMaster::WriteOut(const void* data, std::uint32_t length, int failCode) {
  if (length == 0) return;
  // The joined archive's offsets are 32-bit: it may not grow beyond them.
  if (outputPosition_ + length > 0xFFFFFFFFull) throw EZipMaster(failCode);
  std::uint32_t written = 0;
  if (!os::WriteFile(output_.get(), data, length, written) || written != length) throw EZipMaster(failCode);
  outputPosition_ += written;
  if (copying_) Fire(ProgressType::ProgressUpdate, "", written);
}

void TZipMaster::CopyBytes(std::uint64_t length, int failCode, int writeCode) {
  if (copyBuffer_.size() < kCopyBlock) copyBuffer_.resize(kCopyBlock);
  std::uint8_t* block = copyBuffer_.data();
  while (length > 0) {
    auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, kCopyBlock));
    std::uint32_t got = 0;
    if (!os::ReadFile(partFile_.get(), block, want, got)) got = 0;
    partPos_ += got;
    WriteOut(block, got, writeCode);
    length -= got;
    if (got == want) continue;
    // Short: the rest is on the next part, unless this part has more or is the last.
    if (partPos_ < PartSize() || currentPart_ >= thisDisk_) throw EZipMaster(failCode);
    SwitchToPart(currentPart_ + 1);
  }
}

int TZipMaster::JoinSpannedArchive(const std::string& source, std::string& target) noexcept {
  try {
    return JoinInner(source, target);
  } catch (...) {
    // Only an owner's handler failing during the closing reports lands here.
    target.clear();
    busy_ = false;
    return kJoinOther;
  }
}

int TZipMaster::JoinInner(const std::string& source, std::string& target) {
  busy_ = true;
  archivePath_ = source;
  driveRoot_ = DriveRootOf(source);
  currentPart_ = -1;
  WaitCursorOn();
  std::string out;
  int result = kJoinDone;
  os::FileTime archiveTime;
  try {
    out = OpenJoinOutput(target);
    archiveTime = FindSpannedEnd();
    JoinTable table = ReadJoinTable();
    CopyJoinedEntries(table);
    WriteJoinedDirectory(table);
  } catch (...) {
    result = ReportJoinFailure();
  }
  FinishJoin(result, out, archiveTime, target);
  return result;
}

// The output's name: the target with ".zip", or a new name in the temporary folder when the
// target names only a folder. Created empty.
std::string TZipMaster::OpenJoinOutput(const std::string& target) {
  std::string out;
  auto cut = LastSeparator(target, "\\:");
  std::string namePart = cut == std::string::npos ? target : target.substr(cut + 1);
  if (!namePart.empty()) {
    if (FileExists(target)) os::ShellDeleteFile(target, HowToDelete == DeleteOpts::htdAllowUndo);
    auto dot = target.find_last_of('.');
    bool hasExtension = dot != std::string::npos && (cut == std::string::npos || dot > cut);
    out = (hasExtension ? target.substr(0, dot) : target) + ".zip";
  } else {
    std::string folder = !target.empty() ? target : (!TempDir.empty() ? TempDir : os::GetTempPathA());
    std::string temp = folder.empty() ? "" : os::GetTempFileNameA(folder, "zip");
    if (temp.empty()) throw EZipMaster(ZipMsgNoTempName);
    os::DeleteFileA(temp);  // only its unique name is wanted
    out = temp.substr(0, temp.find_last_of('.')) + ".zip";
  }
  output_.reset(os::CreateFileA(out, os::Access::Write, os::Disposition::CreateAlways));
  if (!output_) throw EZipMaster(ZipMsgCreateOutput);
  outputPosition_ = 0;
  return out;
}

// The part with the end record, asked for until it is in the drive; positioned at the central
// directory. Returns the part's time, which the joined archive takes.
os::FileTime TZipMaster::FindSpannedEnd() {
  for (int attempt = 0;; ++attempt) {
    promptForced_ = attempt > 0;
    bool fixed = FixedOrNetwork(RequestDisk());
    if (FindEndRecord(false)) break;
    if (fixed) {
      int number = PartNumberOfPath(archivePath_);
      if (number < 0) throw EZipMaster(ZipMsgNoEndRecord);
      if (number == 1) throw EZipMaster(ZipMsgEndNotOnFirst);
      throw EZipMaster(ZipMsgEndNotOnPart, number);
    }
  }
  os::FileTime archiveTime;
  if (!os::GetFileTime(partFile_.get(), archiveTime)) archiveTime = os::FileTime{};
  thisDisk_ = end_.thisDisk;
  currentPart_ = thisDisk_;
  if (end_.centralDisk > end_.thisDisk) throw EZipMaster(ZipMsgSeekFailed);
  if (end_.centralDisk != currentPart_) SwitchToPart(end_.centralDisk);
  SeekPart(end_.centralOffset, ZipMsgSeekFailed);
  return archiveTime;
}

TZipMaster::JoinTable TZipMaster::ReadJoinTable() {
  JoinTable table;
  for (int i = 0; i < end_.totalEntries; ++i) {
    std::uint8_t h[kCentralSize];
    ReadCentralHeader(h, ZipMsgCentralShort);
    std::uint16_t nameLength = Le16(h + kCenNameLength);
    JoinSlot slot;
    slot.name.assign(nameLength, '\0');
    ReadAcross(slot.name.data(), nameLength, ZipMsgCentralName);
    slot.compressedSize = Le32(h + kCenCompressed);
    std::uint32_t rest = std::uint32_t{Le16(h + kCenExtraLength)} + Le16(h + kCenCommentLength);
    std::vector<std::uint8_t> skip(rest);
    ReadAcross(skip.data(), rest, ZipMsgCentralShort);
    table.total += nameLength + std::uint64_t{slot.compressedSize} + rest;
    table.byName[UpperName(slot.name)].push_back(table.slots.size());
    table.slots.push_back(std::move(slot));
  }
  return table;
}

// Every local entry from the first part on, copied whole (from here on every byte written is
// reported); each finds its slot by name and
// learns its new offset there.
void TZipMaster::CopyJoinedEntries(JoinTable& table) {
  std::unordered_map<std::string, std::size_t> used;
  SwitchToPart(0);
  Fire(ProgressType::TotalFiles2Process, "", static_cast<std::int64_t>(table.slots.size()));
  Fire(ProgressType::TotalSize2Process, "", static_cast<std::int64_t>(table.total));
  std::uint8_t signature[4];
  ReadAcross(signature, 4, ZipMsgNoSpanSignature);
  if (Le32(signature) != kSpanSignature) throw EZipMaster(ZipMsgNoSpanSignature);

  copying_ = true;
  for (std::size_t i = 0; i < table.slots.size(); ++i) {
    std::uint8_t h[kLocalSize];
    ReadAcross(h, kLocalSize, ZipMsgLocalShort);
    if (Le32(h) != kLocalSignature) throw EZipMaster(ZipMsgLocalSignature);
    std::uint16_t nameLength = Le16(h + kLocNameLength);
    std::uint16_t extraLength = Le16(h + kLocExtraLength);
    std::uint16_t flags = Le16(h + kLocFlags);
    std::string name(nameLength, '\0');
    ReadAcross(name.data(), nameLength, ZipMsgLocalName);
    std::string key = UpperName(name);
    auto found = table.byName.find(key);
    std::size_t& next = used[key];
    if (found == table.byName.end() || next >= found->second.size()) throw EZipMaster(ZipMsgNoCentralEntry);
    JoinSlot& slot = table.slots[found->second[next++]];
    slot.newOffset = static_cast<std::uint32_t>(outputPosition_);
    std::string shown = name;
    std::replace(shown.begin(), shown.end(), '/', '\\');
    FireMessage(0, LoadMessageText(ZipMsgCopying, kCopyingText) + shown);
    std::uint32_t compressed = Le32(h + kLocCompressed);
    if (compressed == 0) compressed = slot.compressedSize;
    bool descriptor = (flags & kFlagDescriptor) != 0;
    Fire(ProgressType::NewFile, shown,
         std::int64_t{compressed} + nameLength + extraLength + kLocalSize + (descriptor ? kDescriptorSize : 0));
    WriteOut(h, kLocalSize, ZipMsgWriteLocal);
    WriteOut(name.data(), nameLength, ZipMsgWriteLocal);
    CopyBytes(extraLength, ZipMsgCopyLocalExtra, ZipMsgCopyLocalExtra);
    CopyBytes(compressed, ZipMsgCopyData, ZipMsgCopyData);
    if (descriptor) CopyBytes(kDescriptorSize, ZipMsgCopyDescriptor, ZipMsgCopyDescriptor);
  }
}

// The central directory again, with the new offsets and every entry on the one part, then the
// end record: one part now holds every entry, and the comment is the one found.
void TZipMaster::WriteJoinedDirectory(const JoinTable& table) {
  if (end_.centralDisk != currentPart_) SwitchToPart(end_.centralDisk);
  SeekPart(end_.centralOffset, ZipMsgSeekFailed);
  std::uint64_t newCentral = outputPosition_;
  for (const JoinSlot& slot : table.slots) {
    std::uint8_t h[kCentralSize];
    ReadCentralHeader(h, ZipMsgCentralShort);
    std::uint16_t nameLength = Le16(h + kCenNameLength);
    std::string name(nameLength, '\0');
    ReadAcross(name.data(), nameLength, ZipMsgCentralName);
    Put32(h + kCenLocalOffset, slot.newOffset);
    Put16(h + kCenStartDisk, 0);
    WriteOut(h, kCentralSize, ZipMsgWriteCentral);
    WriteOut(name.data(), nameLength, ZipMsgWriteCentral);
    CopyBytes(Le16(h + kCenExtraLength), ZipMsgCopyCentralExtra, ZipMsgCopyCentralExtra);
    CopyBytes(Le16(h + kCenCommentLength), ZipMsgCopyFileComment, ZipMsgCopyFileComment);
  }
  std::uint8_t record[kEndSize];
  std::copy(end_.raw, end_.raw + kEndSize, record);
  Put16(record + kEndThisDisk, 0);
  Put16(record + kEndCentralDisk, 0);
  Put16(record + kEndEntriesHere, end_.totalEntries);
  Put32(record + kEndCentralSize, static_cast<std::uint32_t>(outputPosition_ - newCentral));
  Put32(record + kEndCentralOffset, static_cast<std::uint32_t>(newCentral));
  Put16(record + kEndCommentLength, static_cast<std::uint16_t>(archiveComment_.size()));
  WriteOut(record, kEndSize, ZipMsgWriteEnd);
  WriteOut(archiveComment_.data(), static_cast<std::uint32_t>(archiveComment_.size()), ZipMsgCopyArchiveComment);
}

// Reports the failure being handled and gives the join's result for it.
int TZipMaster::ReportJoinFailure() {
  copying_ = false;
  try {
    throw;
  } catch (const EZipMaster& e) {
    ReportException(e);
    return kJoinFailed;
  } catch (const std::bad_alloc&) {
    ReportMessage(ZipMsgOutOfMemory, "");
    return kJoinOutOfMemory;
  } catch (const std::exception& e) {
    ReportMessage(ZipMsgJoinOther, e.what());
    return kJoinOther;
  } catch (...) {
    ReportMessage(ZipMsgJoinOther, "");
    return kJoinOther;
  }
}

// Closes the parts and the output; a failed join leaves no output and an empty target.
void TZipMaster::FinishJoin(int result, const std::string& out, const os::FileTime& archiveTime,
                            std::string& target) {
  copying_ = false;
  copyBuffer_ = {};
  ClosePart();
  if (output_) {
    if (archiveTime.ticks) os::SetFileTime(output_.get(), archiveTime);
    output_.reset();
  }
  if (result != kJoinDone) {
    if (!out.empty()) os::DeleteFileA(out);
    target.clear();
  } else {
    target = out;
  }
  busy_ = false;
  WaitCursorOff();
  try {
    Fire(ProgressType::EndOfBatch, "", 0);
  } catch (...) {
    // The owner's handler failed; the join itself is done.
  }
}

}  // namespace zip
