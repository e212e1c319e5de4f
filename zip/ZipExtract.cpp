// The archive component's extraction: the engine library, the request in
// both layouts, the call and the answers to the engine's callbacks.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <set>

#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "os/OsSystem.h"
#include "os/OsUi.h"
#include "sys/TextBytes.h"
#include "zip/OldEngineRequest.h"
#include "zip/ZipMaster.h"
#include "zip/ZipPath.h"

namespace zip {

std::set<const TZipMaster*>& LiveComponents();

namespace {
constexpr const char* kEngineName = kUnzDllFileName;
constexpr std::int32_t Flag(bool on) { return on ? kUnzTrue : kUnzFalse; }
constexpr std::uint32_t kMaxPasswordRepeats = 15;
constexpr std::size_t kMaxPasswordAnswer = 80;
}  // namespace

// --- the engine library ---------------------------------------------------------

void TZipMaster::LoadEngine() noexcept {
  try {
    if (engine_) return;
    // Always by its full path: by its bare name Windows would search the current folder and the
    // PATH too, where anyone may have left a library of that name.
    std::string path = dllDirectory_ + "\\" + kEngineName;
    if (dllDirectory_.empty() || !FileExists(path)) {
      const std::string program = os::GetModuleFileNameA();
      path = program.substr(0, LastSeparator(program, "\\") + 1) + kEngineName;
    }
    std::uint32_t callersMode = os::SetErrorMode(os::kSemFailCriticalErrors | os::kSemNoGpFaultErrorBox);
    os::Hmodule module = os::LoadLibraryA(path);
    os::SetErrorMode(callersMode);
    if (module <= 32) {
      ReportMessage(ZipMsgNoEngine, "");
      return;
    }
    os::UniqueLibrary library(module);
    if (Trace) ReportMessage(ZipMsgEngineLoaded, "");
    os::Proc exec = os::GetProcAddress(module, "UnzDllExec");
    os::Proc version = os::GetProcAddress(module, "GetUnzDllVersion");
    if (!exec) ReportMessage(ZipMsgNoExec, "");
    if (!version) ReportMessage(ZipMsgNoVersion, "");
    if (!exec || !version) return;  // an engine lacking either is never called
    engine_ = std::move(library);
    unzDllExec_ = exec;
    getUnzDllVersion_ = version;
  } catch (...) {
    // Only an owner's message handler can fail here; the engine stays unloaded.
  }
}

void TZipMaster::UnloadEngine() noexcept {
  engine_.reset();
  unzDllExec_ = nullptr;
  getUnzDllVersion_ = nullptr;
}

int TZipMaster::EngineVersion() noexcept {
  bool loadedHere = !engine_;
  if (loadedHere) LoadEngine();
  if (!engine_) return 0;
  os::ExportCall version = os::CallExport(getUnzDllVersion_);
  // An engine that crashes when asked its version is no engine: it is let go.
  if (loadedHere || version.faulted) UnloadEngine();
  return version.result;
}

// --- extraction -----------------------------------------------------------------

void TZipMaster::ExtractFiles() noexcept {
  bool loadedHere = false;
  bool passwordCleared = false;
  std::uint32_t savedReqCount = passwordReqCount_;
  try {
    ExtractInner(loadedHere, passwordCleared, savedReqCount);
  } catch (...) {
    // Only an owner's handler failing while a message is reported lands here.
    FSpecArgs.clear();
    if (passwordCleared) passwordReqCount_ = savedReqCount;
    if (loadedHere) UnloadEngine();
    CancelRequested = false;
    busy_ = false;
  }
}

void TZipMaster::ExtractInner(bool& loadedHere, bool& passwordCleared, std::uint32_t& savedReqCount) {
  successCount_ = 0;
  savedReqCount = passwordReqCount_;
  if (!FileExists(zipFileName_)) {
    ReportMessage(ZipMsgArchiveMissing, "");
    return;
  }
  if (busy_) return;
  if (Unattended && password_.empty() && !OnPasswordError) {
    passwordReqCount_ = 0;
    passwordCleared = true;
    ReportMessage(ZipMsgNoPassword, "");
  }
  // Every early stop below gives the password count back.
  auto restore = [&] {
    if (passwordCleared) passwordReqCount_ = savedReqCount;
    passwordCleared = false;
  };
  busy_ = true;
  CancelRequested = false;
  if (!engine_) {
    LoadEngine();
    loadedHere = true;
  }
  if (!engine_) {
    busy_ = false;
    loadedHere = false;
    restore();
    return;
  }
  std::string archive = zipFileName_;
  bool joined = false;
  if (thisDisk_ != 0) {
    std::string folder = TempDir.empty() ? os::GetTempPathA() : TempDir;
    if (!folder.empty() && !EndsWithBackslash(folder)) folder += '\\';
    std::string target = folder;
    if (JoinSpannedArchive(zipFileName_, target) != kJoinDone) {
      busy_ = false;
      if (loadedHere) UnloadEngine();
      loadedHere = false;
      restore();
      return;
    }
    // The join ends its own busy spell; the engine call must still be guarded.
    busy_ = true;
    archive = target;
    joined = true;
  }
  int version = EngineVersion();
  bool failed = false;
  try {
    if (!engine_) throw SetupError("the engine crashed when asked its version");
    successCount_ = CallEngine(archive, version);
  } catch (...) {
    failed = true;
  }
  if (joined) os::DeleteFileA(archive);
  if (failed) ReportMessage(ZipMsgEngineError, "");
  FSpecArgs.clear();
  restore();
  if (loadedHere) UnloadEngine();
  loadedHere = false;
  CancelRequested = false;
  busy_ = false;
}

namespace {

// Fills the fields both layouts share.
template <typename Request>
void FillShared(Request& r, void* parent, void* caller, bool trace, bool verbose, const ExtrOpts& opts,
                const char* password, const char* archive, std::int32_t count) {
  r.Handle = parent;
  r.Caller = caller;
  r.Version = kUnzInterfaceVersion;
  r.ZCallbackFunc = &TZipMaster::ZCallback;
  r.TraceEnabled = Flag(trace);
  r.Password = password;
  r.Test = Flag(opts.Has(ExtrOptsEnum::ExtrTest));
  r.Reserved40 = -1;
  r.Verbose = Flag(verbose || trace);
  bool update = opts.Has(ExtrOptsEnum::ExtrUpdate);
  r.Update = Flag(update);
  r.Freshen = Flag(opts.Has(ExtrOptsEnum::ExtrFreshen) && !update);
  r.Directories = Flag(opts.Has(ExtrOptsEnum::ExtrDirNames));
  r.Overwrite = Flag(opts.Has(ExtrOptsEnum::ExtrOverWrite));
  r.ArgCount = count;
  r.ZipFileName = archive;
}

}  // namespace

std::int32_t TZipMaster::Exec(void* request) {
  os::ExportCall call = os::CallExport(unzDllExec_, request);
  if (call.faulted) throw SetupError("the engine crashed");
  return call.result;
}

std::int32_t TZipMaster::CallEngine(const std::string& archive, int version) {
  // The strings the request points at live here until the engine returns.
  std::string password = password_;
  if (version < kUnzPasswordCountVersion && Unattended && AddOptions.Has(AddOptsEnum::AddEncrypt) &&
      password.empty())
    password.assign(kMaxPasswordAnswer, static_cast<char>('A' + 23));
  std::vector<std::string> specs = FSpecArgs;
  void* parent = Unattended ? nullptr : reinterpret_cast<void*>(mainWindow_);
  auto count = static_cast<std::int32_t>(specs.size());
  callbackFailed_ = false;
  std::int32_t result = 0;
  if (version < kUnzCurrentLayoutVersion) {
    if (specs.size() > kOldSpecRoom) throw SetupError("more file specifications than an old engine takes");
    auto request = std::make_unique<ExtractRequestOld>();
    FillShared(*request, parent, this, Trace, Verbose, ExtrOptions, password.c_str(), archive.c_str(), count);
    request->Seven = 7;
    for (std::size_t i = 0; i < specs.size(); ++i) request->FileSpecs[i] = specs[i].c_str();
    result = Exec(request.get());
  } else {
    auto request = std::make_unique<ExtractRequest>();
    std::vector<UnzFileSpec> array(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) array[i].FileSpec = specs[i].c_str();
    std::array<char, kUnzExtractDirSize> folder{};
    // A folder name too long for the buffer would be cut into another folder's name.
    std::string base = ExtrBaseDir.size() < kUnzExtractDirSize && FolderExists(ExtrBaseDir)
                           ? ExtrBaseDir
                           : os::GetCurrentDirectoryA();
    std::memcpy(folder.data(), base.data(), WholeCharsWithin(base, kUnzExtractDirSize - 1, ProcessLeadBytes()));
    FillShared(*request, parent, this, Trace, Verbose, ExtrOptions, password.c_str(), archive.c_str(), count);
    request->FileSpecs = array.empty() ? nullptr : array.data();
    request->PasswordReqCount =
        version >= kUnzPasswordCountVersion ? static_cast<std::int32_t>(std::min(passwordReqCount_, 15u)) : 0;
    request->ExtractDir = folder.data();
    request->Seven = 7;
    result = Exec(request.get());
  }
  if (callbackFailed_) throw SetupError("a handler failed during the extraction");
  return result;
}

// --- the callback -----------------------------------------------------------------

std::int32_t QV_ZCALLBACK TZipMaster::ZCallback(CallbackRecord* record) {
  if (!record) return -1;
  auto* self = static_cast<TZipMaster*>(record->Caller);
  // A caller value that is no live component is answered with "stop".
  if (!LiveComponents().count(self)) return -1;
  try {
    return self->Dispatch(*record);
  } catch (...) {
    // Nothing may unwind through the engine: stop it and report afterwards.
    self->callbackFailed_ = true;
    self->CancelRequested = true;
    return -1;
  }
}

namespace {
// The record's text up to its first zero (or its end), trailing blanks and
// control characters cut, "\" for every "/".
std::string TextOf(const CallbackRecord& record) {
  std::size_t n = 0;
  while (n < kCallbackTextSize && record.Text[n]) ++n;
  std::string text(record.Text, n);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

void PutText(CallbackRecord& record, const std::string& text, std::size_t limit) {
  std::size_t n = WholeCharsWithin(text, limit, ProcessLeadBytes());
  std::memcpy(record.Text, text.data(), n);
  record.Text[n] = '\0';
}
}  // namespace

std::int32_t TZipMaster::Dispatch(CallbackRecord& record) {
  std::string text = TextOf(record);
  std::int32_t value = record.ErrorCode;
  std::uint32_t size = record.Size;
  switch (record.ActionCode) {
    case kCbNewFile:
      Fire(ProgressType::NewFile, text, size);
      break;
    case kCbProgress:
      Fire(ProgressType::ProgressUpdate, "", size);
      break;
    case kCbEndOfBatch:
      Fire(ProgressType::EndOfBatch, "", 0);
      break;
    case kCbMessage:
      lastMessage_ = text;
      if (value != 0) {
        errorCode_ = value & 0xFF;
        fullErrorCode_ = value;
      }
      FireMessage(value, text);
      break;
    case kCbTotalFiles:
      Fire(ProgressType::TotalFiles2Process, "", size);
      break;
    case kCbTotalSize:
      totalSizeToProcess_ = size;
      Fire(ProgressType::TotalSize2Process, "", size);
      break;
    default:
      AnswerQuestion(record, text);
      break;
  }
  pump_.Pump();
  return CancelRequested ? -1 : 0;
}

void TZipMaster::AnswerQuestion(CallbackRecord& record, const std::string& text) {
  std::int32_t value = record.ErrorCode;
  std::uint32_t size = record.Size;
  switch (record.ActionCode) {
    case kCbNewName:
      if (OnSetNewName) {
        std::string name = text;
        bool changed = false;
        OnSetNewName(this, name, changed);
        if (changed) PutText(record, name, kCallbackTextSize - 1);
        record.ErrorCode = changed ? 1 : 0;
      }
      break;
    case kCbPassword:
      AnswerPassword(record, text);
      break;
    case kCbCrcError: {
      bool extract = true;
      if (OnCRC32Error) {
        OnCRC32Error(this, text, static_cast<std::uint32_t>(value), size, extract);
        record.ErrorCode = extract ? kCrcExtractAnyway : kCrcDoNotExtract;
      } else {
        record.ErrorCode = kCrcNoDecision;
      }
      break;
    }
    case kCbOverwrite:
      if (OnExtractOverwrite) {
        bool overwrite = (size & 0xFF) != 0;
        OnExtractOverwrite(this, text, (value & 0x10000) != 0, overwrite, value & 0xFFFF);
        record.Size = overwrite ? 1 : 0;
      }
      break;
    case kCbSkipped:
      if (value != 0) {
        errorCode_ = value & 0xFF;
        fullErrorCode_ = value;
      }
      if (OnExtractSkipped) {
        int reason = static_cast<int>(size & 0xFF) - 1;
        // A reason outside the known ones is shown as a general failure.
        if (reason < 0 || reason > static_cast<int>(UnZipSkipTypes::stGeneralExtractError))
          reason = static_cast<int>(UnZipSkipTypes::stGeneralExtractError);
        OnExtractSkipped(this, text, static_cast<UnZipSkipTypes>(reason), value);
      }
      break;
    case kCbComment:
      if (OnFileComment) {
        std::string comment;
        bool changed = false;
        OnFileComment(this, text, comment, changed);
        if (changed) PutText(record, comment, kCallbackTextSize - 1);
        record.ErrorCode = changed ? 1 : 0;
      }
      break;
    case kCbMemoryNeeded: {
      auto address = zipStream_.SetSize(size) ? reinterpret_cast<std::uintptr_t>(zipStream_.Memory()) : 0;
      // The size field carries a 32-bit address; memory beyond it cannot be handed over.
      if (address == 0 || address > 0xFFFFFFFFu) {
        record.ErrorCode = 1;
        record.Size = 0;
      } else {
        record.Size = static_cast<std::uint32_t>(address);
      }
      break;
    }
    default:
      break;
  }
}

void TZipMaster::AnswerPassword(CallbackRecord& record, const std::string& text) {
  std::string password;
  std::uint32_t repeat = record.Size;
  bool confirm = (record.ErrorCode & 1) != 0;
  if (OnPasswordError) {
    TPasswordButton action = TPasswordButton::pwbOk;
    OnPasswordError(this, record.IsOperationZip != 0, password, text, repeat, action);
    if (action != TPasswordButton::pwbOk) password.clear();
    if (action == TPasswordButton::pwbCancelAll) record.ActionCode = 0;
    if (action == TPasswordButton::pwbAbort) CancelRequested = true;
  } else if (Unattended) {
    ReportMessage(confirm ? ZipMsgPasswordNeededConfirm : ZipMsgPasswordNeeded, "");
  } else {
    AskPassword(text, confirm, password);
  }
  if (!password.empty()) {
    PutText(record, password, kMaxPasswordAnswer);
    record.ErrorCode = 1;
  } else {
    repeat = 0;
    record.ErrorCode = 0;
  }
  record.Size = std::min(repeat, kMaxPasswordRepeats);
}

}  // namespace zip
