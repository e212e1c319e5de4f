// The archive component: reads a zip archive's directory, joins spanned
// sets and has the unzip engine extract files, reporting by message number.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os/Handle.h"
#include "os/OsFiles.h"
#include "os/OsLibrary.h"
#include "os/OsTypes.h"
#include "sys/MessagePump.h"
#include "sys/SetupError.h"
#include "zip/UNZDLL.h"
#include "zip/ZipMsg.h"

namespace zip {

// A set of the members of an enumeration whose ordinals are below 32.
template <typename E>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  constexpr bool Has(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr EnumSet& Add(E m) { return bits_ |= Bit(m), *this; }
  constexpr EnumSet& Remove(E m) { return bits_ &= ~Bit(m), *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr std::uint32_t Bit(E m) { return 1u << static_cast<unsigned>(m); }
  std::uint32_t bits_ = 0;
};

enum class ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process };
enum class ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = EnumSet<ExtrOptsEnum>;
enum class UnZipSkipTypes {
  stOnFreshen,
  stNoOverwrite,
  stFileExists,
  stBadPassword,
  stNoEncryptionDLL,
  stCompressionUnknown,
  stUnknownZipHost,
  stZipFileFormatWrong,
  stGeneralExtractError,
};
enum class TPasswordButton { pwbOk, pwbCancel, pwbCancelAll, pwbAbort };
enum class CodePageOpts { cpAuto, cpNone, cpOEM };
enum class OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum class DeleteOpts { htdFinal, htdAllowUndo };
enum class AddOptsEnum {
  AddDirNames,
  AddRecurseDirs,
  AddMove,
  AddFreshen,
  AddUpdate,
  AddZipTime,
  AddForceDOS,
  AddHiddenFiles,
  AddArchiveOnly,
  AddResetArchive,
  AddEncrypt,
  AddSeparateDirs,
  AddVolume,
  AddDiskSpan,
  AddDiskSpanErase,
};
using AddOpts = EnumSet<AddOptsEnum>;
enum class AddStoreSuffixEnum {
  assGIF,
  assPNG,
  assZ,
  assZIP,
  assZOO,
  assARC,
  assLZH,
  assARJ,
  assTAZ,
  assTGZ,
  assLHA,
  assRAR,
  assACE,
  assCAB,
  assGZ,
  assGZIP,
  assJAR,
  assEXE,
};
using AddStoreExts = EnumSet<AddStoreSuffixEnum>;
enum class SFXOptsEnum {
  SFXAskCmdLine,
  SFXAskFiles,
  SFXAutoRun,
  SFXHideOverWriteBox,
  SFXCheckSize,
  SFXNoSuccessMsg
};
using SFXOpts = EnumSet<SFXOptsEnum>;
enum class ZipDiskStatusEnum { zdsEmpty, zdsHasFiles, zdsPreviousDisk, zdsSameFileName, zdsNotEnoughSpace };
using TZipDiskStatus = EnumSet<ZipDiskStatusEnum>;
enum class TZipDiskAction { zdaOk, zdaErase, zdaReject, zdaCancel };

// One kept central directory entry: the header's fields from the made-by
// version through the local header offset, then what follows the header.
struct ZipDirEntry {
  std::uint8_t MadeByVersion = 0;
  std::uint8_t HostSystem = 0;
  std::uint16_t NeededVersion = 0;
  std::uint16_t GeneralFlags = 0;
  std::uint16_t CompressionMethod = 0;
  std::uint32_t DosDateTime = 0;
  std::uint32_t Crc32 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint16_t NameLength = 0;
  std::uint16_t ExtraLength = 0;
  std::uint16_t CommentLength = 0;
  std::uint16_t StartDisk = 0;
  std::uint16_t InternalAttributes = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint32_t LocalHeaderOffset = 0;
  std::string FileName;     // converted, "\" for every "/"
  std::string FileComment;  // converted; empty when none
  bool Encrypted = false;
  std::vector<char> ExtraData;  // ExtraLength + 1 bytes, or empty when there is no extra field
};

// The component's own error: a message number, its text and whether it is
// meant to be shown.
class EZipMaster : public SetupError {
 public:
  explicit EZipMaster(int id, bool display = true);
  EZipMaster(int id, int arg);
  EZipMaster(int id, const std::string& arg);
  bool DisplayMessage() const { return display_; }
  int MessageId() const { return id_; }

 private:
  int id_;
  bool display_;
};

// The results of JoinSpannedArchive (the archive component's numbers).
enum JoinResult : int {
  kJoinDone = 0,
  kJoinFailed = -7,       // the component's own error, reported through its messages
  kJoinOutOfMemory = -8,  // a buffer could not be had
  kJoinOther = -9,        // any other failure, an owner's handler's included
};

class TZipMaster;
using TNotifyEvent = std::function<void(TZipMaster* Sender)>;
using TProgressEvent = std::function<void(TZipMaster* Sender, ProgressType ProgrType,
                                          const std::string& Filename, std::int64_t FileSize)>;
using TMessageEvent = std::function<void(TZipMaster* Sender, int ErrCode, const std::string& Message)>;
using TSetNewNameEvent = std::function<void(TZipMaster* Sender, std::string& OldFileName, bool& IsChanged)>;
using TNewNameEvent = std::function<void(TZipMaster* Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TCRC32ErrorEvent =
    std::function<void(TZipMaster* Sender, const std::string& ForFile, std::uint32_t FoundCRC,
                       std::uint32_t ExpectedCRC, bool& DoExtract)>;
using TPasswordErrorEvent =
    std::function<void(TZipMaster* Sender, bool IsZipAction, std::string& NewPassword,
                       const std::string& ForFile, std::uint32_t& RepeatCount, TPasswordButton& Action)>;
using TExtractOverwriteEvent = std::function<void(TZipMaster* Sender, const std::string& ForFile,
                                                  bool IsOlder, bool& DoOverwrite, int DirIndex)>;
using TExtractSkippedEvent = std::function<void(TZipMaster* Sender, const std::string& ForFile,
                                                UnZipSkipTypes SkipType, int ExtError)>;
using TCopyZipOverwriteEvent =
    std::function<void(TZipMaster* Sender, const std::string& ForFile, bool& DoOverwrite)>;
using TGetNextDiskEvent = std::function<void(TZipMaster* Sender, int DiskSeqNo, int DiskTotal,
                                             const std::string& Drive, bool& AbortAction)>;
using TStatusDiskEvent =
    std::function<void(TZipMaster* Sender, int PreviousDisk, const std::string& PreviousFile,
                       TZipDiskStatus Status, TZipDiskAction& Action)>;
using TFileCommentEvent = std::function<void(TZipMaster* Sender, const std::string& ForFile,
                                             std::string& FileComment, bool& IsChanged)>;

// Growable memory the engine may ask for (callback code 13).
class TZipStream {
 public:
  bool SetSize(std::uint64_t size);  // false when the memory cannot be had
  std::uint8_t* Memory() { return data_.empty() ? nullptr : data_.data(); }
  std::size_t Size() const { return data_.size(); }

 private:
  std::vector<std::uint8_t> data_;
};

class TZipMaster {
 public:
  // mainWindow owns the engine's dialogs and the component's boxes.
  explicit TZipMaster(os::Hwnd mainWindow = 0);
  ~TZipMaster();
  TZipMaster(const TZipMaster&) = delete;
  TZipMaster& operator=(const TZipMaster&) = delete;

  // --- properties without side effects ---------------------------------------
  bool Verbose = false;
  bool Trace = false;
  int AddCompLevel = 9;
  AddOpts AddOptions;
  std::string ExtrBaseDir;
  ExtrOpts ExtrOptions;
  SFXOpts SFXOptions{SFXOptsEnum::SFXCheckSize};
  std::vector<std::string> FSpecArgs;  // empty means every entry
  bool Unattended = false;
  std::string SFXPath = "ZipSFX.bin";
  OvrOpts SFXOverWriteMode = OvrOpts::OvrConfirm;
  std::string SFXCaption = "Self-extracting Archive";
  std::string SFXDefaultDir, SFXCommandLine, SFXMessage;
  std::string TempDir;
  int KeepFreeOnDisk1 = 0;
  int MaxVolumeSize = 0;
  int MinFreeVolumeSize = 65536;
  bool ConfirmErase = true;
  CodePageOpts CodePage = CodePageOpts::cpAuto;
  DeleteOpts HowToDelete = DeleteOpts::htdAllowUndo;
  std::vector<std::uint8_t> SFXIcon;
  AddStoreExts AddStoreSuffixes;
  std::vector<std::string> FSpecArgsExcl;
  bool UseDirOnlyEntries = false;
  bool CancelRequested = false;

  // --- properties with their own assignment rules ---------------------------
  const std::string& ZipFileName() const { return zipFileName_; }
  void SetZipFileName(const std::string& value) noexcept;  // reads the directory at once
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value);  // at most 255 characters
  const std::string& DLLDirectory() const { return dllDirectory_; }
  void SetDLLDirectory(const std::string& value);  // one trailing backslash removed
  const std::string& VersionInfo() const { return versionInfo_; }
  void SetVersionInfo(const std::string&) {}  // fixed text
  std::uint32_t PasswordReqCount() const { return passwordReqCount_; }
  void SetPasswordReqCount(std::uint32_t value) { passwordReqCount_ = value > 15 ? 15 : value; }
  const std::string& RootDir() const { return rootDir_; }
  void SetRootDir(const std::string& value);  // trailing backslash added

  // --- events ----------------------------------------------------------------
  TNotifyEvent OnDirUpdate;
  TProgressEvent OnProgress;
  TMessageEvent OnMessage;
  TSetNewNameEvent OnSetNewName;
  TNewNameEvent OnNewName;
  TCRC32ErrorEvent OnCRC32Error;
  TPasswordErrorEvent OnPasswordError;
  TExtractOverwriteEvent OnExtractOverwrite;
  TExtractSkippedEvent OnExtractSkipped;
  TCopyZipOverwriteEvent OnCopyZipOverwrite;
  TGetNextDiskEvent OnGetNextDisk;
  TStatusDiskEvent OnStatusDisk;
  TFileCommentEvent OnFileComment;

  // --- operations; none lets an exception out --------------------------------
  void ReadDirectory() noexcept;
  void ExtractFiles() noexcept;
  // Copies a spanned set into one archive: kJoinDone with target the joined
  // file's path, or one of the other JoinResult values with target emptied.
  int JoinSpannedArchive(const std::string& source, std::string& target) noexcept;
  void LoadEngine() noexcept;
  void UnloadEngine() noexcept;
  int EngineVersion() noexcept;

  // --- state -----------------------------------------------------------------
  int EntryCount() const { return zipFileName_.empty() ? 0 : static_cast<int>(contents_.size()); }
  const std::vector<ZipDirEntry>& Contents() const { return contents_; }
  int SkippedDirEntries() const { return skippedDirEntries_; }
  int SuccessCount() const { return successCount_; }
  int ErrorCode() const { return errorCode_; }
  int FullErrorCode() const { return fullErrorCode_; }
  const std::string& LastMessage() const { return lastMessage_; }
  std::int64_t TotalSizeToProcess() const { return totalSizeToProcess_; }
  bool Busy() const { return busy_; }
  bool EngineLoaded() const { return static_cast<bool>(engine_); }

  // Archive geometry found by ReadDirectory.
  const std::string& DriveRoot() const { return driveRoot_; }
  const std::string& VolumeLabel() const { return volumeLabel_; }
  std::uint32_t VolumeSerial() const { return volumeSerial_; }
  std::uint64_t DiskFree() const { return diskFree_; }
  std::uint64_t DiskTotal() const { return diskTotal_; }
  std::uint64_t EndOfZipData() const { return endOfZipData_; }
  std::uint64_t FileSize() const { return fileSize_; }
  std::uint64_t CentralOffset() const { return centralOffset_; }
  std::uint64_t LowestLocalOffset() const { return lowestLocalOffset_; }
  const std::string& ZipComment() const { return archiveComment_; }
  int ThisDisk() const { return thisDisk_; }
  bool MultiPart() const { return multiPart_; }
  bool OffsetsDisagree() const { return offsetsDisagree_; }
  // The size of the whole archive as the end record found by ReadDirectory declares it, with any
  // bytes that follow the record: for the last part of a package (which holds the end), the
  // joined package's. 0 without an end record.
  std::uint64_t DeclaredArchiveSize() const;

  // The engine's callback; the record's caller is the component.
  static std::int32_t QV_ZCALLBACK ZCallback(CallbackRecord* record);

  // Text of a message number, with the fallback texts.
  static std::string MessageText(int number, const std::string& fallback = "") {
    return LoadMessageText(number, fallback);
  }

 private:
  struct EndRecord {
    std::uint16_t thisDisk = 0, centralDisk = 0, entriesHere = 0, totalEntries = 0;
    std::uint32_t centralSize = 0, centralOffset = 0;
    std::uint16_t commentLength = 0;
    std::uint8_t raw[22] = {};
  };
  struct JoinSlot;
  struct JoinTable;

  // Messages.
  void ReportMessage(int number, const std::string& extra);
  void ReportException(const EZipMaster& e);
  void ShowBox(const std::string& text);
  void Fire(ProgressType type, const std::string& name, std::int64_t size);
  void FireMessage(int errCode, const std::string& text);

  // Directory reading.
  void ReadDirectoryInner();
  bool CheckDrive();  // raises for a bad drive letter; false when no disk is ready
  bool FindEndRecord(bool raising);
  // The end record as the file's last bytes, else searched for in its tail (a comment after
  // it); true when found. Reading failures raise.
  bool ReadEndRecord(std::uint64_t size);
  static EndRecord ParseEndRecord(const std::uint8_t* p);
  void ReadCentralHeader(std::uint8_t (&header)[46], int shortCode);
  std::string Convert(const std::string& text, std::uint8_t madeBy, std::uint8_t host) const;
  void WaitCursorOn();
  void WaitCursorOff();

  // Parts of a spanned set.
  void SwitchToPart(int part);
  std::uint32_t RequestDisk();
  std::string PartPath(int part) const;
  void ReadAcross(void* buffer, std::uint32_t length, int shortCode);
  std::uint64_t PartSize();
  void SeekPart(std::uint64_t offset, int failCode);
  void ClosePart() { partFile_.reset(); }

  // Joining, in its steps.
  int JoinInner(const std::string& source, std::string& target);
  std::string OpenJoinOutput(const std::string& target);
  os::FileTime FindSpannedEnd();
  JoinTable ReadJoinTable();
  void CopyJoinedEntries(JoinTable& table);
  void WriteJoinedDirectory(const JoinTable& table);
  int ReportJoinFailure();
  void FinishJoin(int result, const std::string& out, const os::FileTime& archiveTime, std::string& target);
  void WriteOut(const void* data, std::uint32_t length, int failCode);
  void CopyBytes(std::uint64_t length, int readCode, int writeCode);

  // Extraction.
  void ExtractInner(bool& loadedHere, bool& passwordCleared, std::uint32_t& savedReqCount);
  // UnzDllExec under the guard; a crash in the engine throws.
  std::int32_t Exec(void* request);
  std::int32_t CallEngine(const std::string& archive, int version);
  std::int32_t Dispatch(CallbackRecord& record);
  // The callbacks that ask the owner (a new name, a password, a CRC error, an overwrite, a comment) or
  // report to it (a skipped file), and the engine's request for memory.
  void AnswerQuestion(CallbackRecord& record, const std::string& text);
  void AnswerPassword(CallbackRecord& record, const std::string& text);
  bool AskPassword(const std::string& forFile, bool confirm, std::string& password);

  std::string zipFileName_;
  std::string password_;
  std::string dllDirectory_;
  std::string versionInfo_ = "1.60 N";
  std::uint32_t passwordReqCount_ = 1;
  std::string rootDir_;

  std::vector<ZipDirEntry> contents_;
  int skippedDirEntries_ = 0;
  int successCount_ = 0;
  int errorCode_ = 0;
  int fullErrorCode_ = 0;
  std::string lastMessage_;
  std::int64_t totalSizeToProcess_ = 0;
  bool busy_ = false;

  // Geometry.
  std::string driveRoot_;
  std::string volumeLabel_;
  std::uint32_t volumeSerial_ = 0;
  std::uint64_t diskFree_ = 0, diskTotal_ = 0;
  std::uint64_t endOfZipData_ = 0;
  std::uint64_t fileSize_ = 0;
  std::uint64_t centralOffset_ = 0;
  std::uint64_t lowestLocalOffset_ = 0;
  std::string archiveComment_;
  int thisDisk_ = 0;
  bool multiPart_ = false;
  bool offsetsDisagree_ = false;
  EndRecord end_;
  bool endSpannedFirst_ = false;

  // The one open archive part.
  std::string archivePath_;
  int currentPart_ = -1;
  os::UniqueFile partFile_;
  std::uint64_t partPos_ = 0;
  bool promptForced_ = false;
  bool copying_ = false;
  os::UniqueFile output_;
  std::uint64_t outputPosition_ = 0;
  std::vector<std::uint8_t> copyBuffer_;

  // The engine.
  os::UniqueLibrary engine_;
  os::Proc unzDllExec_ = nullptr;        // UnzDllExecFunc, called through os::CallExport
  os::Proc getUnzDllVersion_ = nullptr;  // GetUnzDllVersionFunc, the same
  bool callbackFailed_ = false;

  os::Hwnd mainWindow_ = 0;
  TZipStream zipStream_;
  int waitCount_ = 0;
  MessagePump pump_;  // pending messages are handled while the engine reports
  std::uintptr_t savedCursor_ = 0;
};

}  // namespace zip
