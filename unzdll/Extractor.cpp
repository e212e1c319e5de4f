// The extraction run: entry choice, overwrite and freshen decisions, writing, CRC checks, reports.
#include "unzdll/Extractor.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "unzdll/EntryFeed.h"
#include "unzdll/FileSpecs.h"
#include "unzdll/NameMender.h"
#include "unzdll/Reporter.h"
#include "unzdll/UnzErrors.h"
#include "unzdll/ZipDirectory.h"
#include "zip/ZipRecords.h"

namespace unz {

namespace {

// A string from the request, read no further than `limit` bytes.
std::string Bounded(const char* text, std::size_t limit) {
  if (text == nullptr) return {};
  std::size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return std::string(text, n);
}

// Eight upper-case hex digits (no printf: it would bring a formatter of its own into the library).
std::string Hex32(std::uint32_t value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = "0123456789ABCDEF"[value & 0xF];
  return text;
}

std::int32_t Code(UnzError e) { return static_cast<std::int32_t>(e); }

struct Settings {
  std::string archivePath;
  std::string baseFolder;
  std::vector<std::string> specs;
  bool test = false, update = false, freshen = false, folders = false, overwrite = false;
  bool verbose = false, trace = false;
};

Settings ReadSettings(const ExtractRequest& request, FileLayer& files, const LeadBytes& lead) {
  Settings s;
  s.archivePath = Bounded(request.ZipFileName, 4096);
  s.baseFolder = Bounded(request.ExtractDir, kUnzExtractDirSize - 1);
  if (s.baseFolder.empty()) s.baseFolder = files.CurrentFolder();
  while (s.baseFolder.size() > 1 && (EndsWithChar(s.baseFolder, '\\', lead) || s.baseFolder.back() == '/'))
    s.baseFolder.pop_back();
  if (request.FileSpecs != nullptr) {
    for (std::int32_t i = 0; i < request.ArgCount; ++i) {
      std::string spec = Bounded(request.FileSpecs[i].FileSpec, 4096);
      if (!spec.empty()) s.specs.push_back(std::move(spec));
    }
  }
  s.test = request.Test != 0;
  // Update already takes every file freshen would, and new ones besides.
  s.update = request.Update != 0;
  s.freshen = request.Freshen != 0 && !s.update;
  s.folders = request.Directories != 0;
  s.overwrite = request.Overwrite != 0;
  s.trace = request.TraceEnabled != 0;
  s.verbose = request.Verbose != 0 || s.trace;
  return s;
}

// Names flagged as UTF-8 are UTF-8; names from DOS, OS/2 and early Windows NT hosts are in the
// OEM code page; anything else is taken as it is.
NameEncoding EncodingOf(const ZipEntry& entry) {
  if (entry.flags & ::zip::rec::kFlagUtf8) return NameEncoding::kUtf8;
  if (entry.hostSystem == ::zip::rec::kHostFat || entry.hostSystem == 6 ||
      (entry.hostSystem == 11 && entry.madeByVersion == 50))
    return NameEncoding::kOem;
  return NameEncoding::kAsIs;
}

class Run {
 public:
  Run(const ExtractRequest& request, FileLayer& files, const RunOptions& options)
      : report_(request),
        files_(files),
        options_(options),
        lead_(files.NameLeadBytes()),
        settings_(ReadSettings(request, files, lead_)) {
    report_.SetLeadBytes(lead_);
  }

  std::int32_t Execute(const ExtractRequest& request);
  std::int32_t Succeeded() const { return succeeded_; }

 private:
  enum class Outcome { kDone, kSkipped, kStop };

  bool Message(const std::string& text, UnzError error) {
    return report_.Send(kCbMessage, text, Code(error), 0);
  }
  // Reports a file that is not extracted: the reason as a message and the skip itself.
  Outcome SkipFile(const std::string& name, ZSkipReason reason, UnzError error, const std::string& why);
  Outcome HandleFile(const ZipEntry& entry, EntryFeed& feed);
  Outcome DecideExisting(const ZipEntry& entry, const std::string& name, const std::string& target,
                         const PathState& state);
  bool MakeFolders(const std::string& relative, bool includeLast);
  bool FinishProgress(std::uint64_t reported, const ZipEntry& entry);

  Reporter report_;
  FileLayer& files_;
  RunOptions options_;
  LeadBytes lead_;  // of names in the local code page
  Settings settings_;
  std::set<std::string> madeFolders_;
  int succeeded_ = 0;
  int skipped_ = 0;
};

Run::Outcome Run::SkipFile(const std::string& name, ZSkipReason reason, UnzError error, const std::string& why) {
  ++skipped_;
  if (!why.empty() && !Message(name + ": " + why, error)) return Outcome::kStop;
  if (!report_.Send(kCbSkipped, name, Code(error), static_cast<std::uint32_t>(reason) + 1))
    return Outcome::kStop;
  return Outcome::kSkipped;
}

bool Run::MakeFolders(const std::string& relative, bool includeLast) {
  std::size_t end = includeLast ? relative.size() : LastSeparator(relative, "\\", lead_);
  if (end == std::string::npos || end == 0) return true;
  for (std::size_t pos = NextSeparator(relative, "\\", 0, lead_);; pos = NextSeparator(relative, "\\", pos + 1, lead_)) {
    const std::size_t cut = pos == std::string::npos || pos > end ? end : pos;
    const std::string folder = settings_.baseFolder + "\\" + relative.substr(0, cut);
    if (madeFolders_.count(folder) == 0) {
      if (!files_.MakeFolder(folder)) return false;
      madeFolders_.insert(folder);
    }
    if (cut == end) return true;
  }
}

Run::Outcome Run::DecideExisting(const ZipEntry& entry, const std::string& name, const std::string& target,
                                 const PathState& state) {
  if (state.kind == PathState::kFolder)
    return SkipFile(name, kSkipFileExists, UnzError::kCreateFile, "a folder of that name is in the way");
  if (state.kind == PathState::kMissing) {
    if (settings_.freshen) return SkipFile(name, kSkipOnFreshen, UnzError::kNone, "");
    return Outcome::kDone;
  }
  // The date sits in the high word, so packed stamps order like the times they stand for.
  const bool older = state.dosDateTime < entry.dosDateTime;
  if ((settings_.freshen || settings_.update) && !older)
    return SkipFile(name, settings_.freshen ? kSkipOnFreshen : kSkipFileExists, UnzError::kNone, "");
  if (settings_.overwrite) return Outcome::kDone;
  // Ask; the proposal stands when nobody answers: replace when the caller asked for newer files.
  CallbackRecord answer;
  const std::uint32_t proposal = (settings_.freshen || settings_.update) ? 1 : 0;
  const std::int32_t value = (entry.index & 0xFFFF) | (older ? 0x10000 : 0);
  if (!report_.Send(kCbOverwrite, target, value, proposal, &answer)) return Outcome::kStop;
  if ((answer.Size & 0xFF) == 1) return Outcome::kDone;
  return SkipFile(name, kSkipNoOverwrite, UnzError::kNone, "");
}

bool Run::FinishProgress(std::uint64_t reported, const ZipEntry& entry) {
  if (reported >= entry.size) return true;
  return report_.Send(kCbProgress, "", 0, static_cast<std::uint32_t>(entry.size - reported));
}

Run::Outcome Run::HandleFile(const ZipEntry& entry, EntryFeed& feed) {
  // Names are shown and written in the local code page.
  const std::string name = files_.LocalName(entry.name, EncodingOf(entry));
  std::uint64_t reported = 0;
  bool fed = false;
  auto skip = [&](ZSkipReason reason, UnzError error, const std::string& why) {
    if (!fed) feed.Skip(entry);
    const Outcome o = SkipFile(name, reason, error, why);
    if (o == Outcome::kStop || !FinishProgress(reported, entry)) return Outcome::kStop;
    return o;
  };

  if (!report_.Send(kCbNewFile, name, 0, entry.size)) {
    feed.Skip(entry);
    return Outcome::kStop;
  }
  if (entry.problem != UnzError::kNone) {
    ZSkipReason reason = kSkipZipFileFormatWrong;
    if (entry.problem == UnzError::kUnknownMethod) reason = kSkipCompressionUnknown;
    if (entry.problem == UnzError::kEncrypted) reason = kSkipNoEncryptionDLL;
    return skip(reason, entry.problem, UnzErrorText(entry.problem));
  }

  const MendedName mended = MendEntryName(name, settings_.folders, lead_);
  if (mended.path.empty()) return skip(kSkipGeneralExtractError, UnzError::kBadName, UnzErrorText(UnzError::kBadName));
  if (mended.changed &&
      !Message(name + ": unsafe name, written as " + mended.path, UnzError::kNameChanged)) {
    feed.Skip(entry);
    return Outcome::kStop;
  }
  const std::string target = settings_.baseFolder + "\\" + mended.path;

  std::unique_ptr<OutputFile> out;
  if (!settings_.test) {
    if (settings_.folders && !MakeFolders(mended.path, false))
      return skip(kSkipGeneralExtractError, UnzError::kCreateFolder,
                  "could not create its folder: " + files_.LastErrorText());
    FileStamp stamp;
    stamp.dosDateTime = entry.dosDateTime;
    stamp.dosAttributes = static_cast<std::uint8_t>(entry.externalAttributes & 0x27);
    if (entry.hostSystem == ::zip::rec::kHostUnix) stamp.unixMode = (entry.externalAttributes >> 16) & 0777;
    // Most targets are not there yet: the exclusive creation comes first, and only when it fails
    // is the target looked at. Freshening writes only over what is there, so it looks first.
    if (!settings_.freshen) out = files_.CreateOutput(target, stamp, true);
    if (!out) {
      const std::string why = settings_.freshen ? std::string() : files_.LastErrorText();  // before the look
      const PathState state = files_.Probe(target);
      if (state.kind == PathState::kMissing && !settings_.freshen)
        return skip(kSkipGeneralExtractError, UnzError::kCreateFile,
                    "could not create " + target + ": " + why);
      const Outcome decision = DecideExisting(entry, name, target, state);
      if (decision != Outcome::kDone) {
        feed.Skip(entry);
        if (decision == Outcome::kStop || !FinishProgress(reported, entry)) return Outcome::kStop;
        return decision;
      }
      out = files_.CreateOutput(target, stamp, false);
      if (!out)
        return skip(kSkipGeneralExtractError, UnzError::kCreateFile,
                    "could not create " + target + ": " + files_.LastErrorText());
    }
  }

  std::uint32_t crc = 0;
  bool writeFailed = false;
  fed = true;
  const UnzError decoded = feed.Feed(entry, [&](std::vector<unsigned char>& buffer, std::size_t length) {
    if (out && !out->Write(buffer.data(), length)) {
      writeFailed = true;
      return false;
    }
    reported += length;
    return report_.Send(kCbProgress, "", 0, static_cast<std::uint32_t>(length));
  }, crc);
  if (report_.Stopped()) return Outcome::kStop;
  if (writeFailed) {
    const std::string why = "could not write " + target + ": " + files_.LastErrorText();  // before cleanup
    out.reset();
    return skip(kSkipGeneralExtractError, UnzError::kWriteFile, why);
  }
  if (decoded != UnzError::kNone) {
    out.reset();
    return skip(decoded == UnzError::kUnknownMethod ? kSkipCompressionUnknown : kSkipGeneralExtractError, decoded,
                UnzErrorText(decoded));
  }

  if (crc != entry.crc) {
    const std::string detail = "CRC error (found " + Hex32(crc) + ", expected " + Hex32(entry.crc) + ")";
    if (settings_.test) return skip(kSkipGeneralExtractError, UnzError::kCrcMismatch, detail);
    CallbackRecord answer;
    if (!report_.Send(kCbCrcError, name, static_cast<std::int32_t>(crc), entry.crc, &answer))
      return Outcome::kStop;
    const bool decided = report_.HasCallback() && (answer.ErrorCode == kCrcExtractAnyway || answer.ErrorCode == kCrcDoNotExtract);
    if (!decided || answer.ErrorCode != kCrcExtractAnyway) {
      out.reset();
      return skip(kSkipGeneralExtractError, UnzError::kCrcMismatch, detail + "; the file was not kept");
    }
    if (!Message(name + ": " + detail + "; kept as asked", UnzError::kCrcMismatch)) return Outcome::kStop;
  }

  if (out) {
    if (!out->Commit())
      return skip(kSkipGeneralExtractError, UnzError::kFinishFile,
                  "could not finish " + target + ": " + files_.LastErrorText());
  }
  ++succeeded_;
  if (settings_.verbose &&
      !Message((settings_.test ? "OK: " : "Extracted: ") + (settings_.test ? name : target), UnzError::kNone))
    return Outcome::kStop;
  return Outcome::kDone;
}

std::int32_t Run::Execute(const ExtractRequest& request) {
  if (request.OutputToMemory != 0 || request.InputFromMemory != 0) {
    Message("Extraction to or from memory is not supported by this engine", UnzError::kBadRequest);
    return 0;
  }
  if (settings_.archivePath.empty()) {
    Message("No archive was named", UnzError::kBadRequest);
    return 0;
  }
  std::unique_ptr<ArchiveFile> archive = files_.OpenArchive(settings_.archivePath);
  if (!archive) {
    Message("Could not open " + settings_.archivePath + ": " + files_.LastErrorText(), UnzError::kArchiveOpen);
    return 0;
  }
  ZipDirectory directory;
  const UnzError dirError = ReadZipDirectory(*archive, directory, lead_);
  if (dirError != UnzError::kNone) {
    if (!Message(settings_.archivePath + ": " + UnzErrorText(dirError), dirError)) return 0;
    // A directory cut short still lets the entries before the damage out.
    if (dirError != UnzError::kBadDirectory || directory.entries.empty()) return 0;
  }
  LocateEntryData(*archive, directory);
  for (ZipEntry& e : directory.entries) {
    if (e.problem != UnzError::kNone || e.isFolder) continue;
    if (e.flags & ::zip::rec::kFlagEncrypted) e.problem = UnzError::kEncrypted;
    else if (!IsKnownMethod(e.method))
      e.problem = UnzError::kUnknownMethod;
  }
  if (settings_.trace &&
      !Message(settings_.archivePath + ": " + std::to_string(directory.entries.size()) + " entries" +
                   (directory.prefixBytes ? ", " + std::to_string(directory.prefixBytes) + " bytes before the archive" : ""),
               UnzError::kNone))
    return 0;

  std::vector<const ZipEntry*> files;
  std::vector<const ZipEntry*> folders;
  std::uint64_t totalSize = 0;
  for (const ZipEntry& e : directory.entries) {
    static const LeadBytes kUtf8;
    if (!SelectedBySpecs(settings_.specs, e.name, (e.flags & ::zip::rec::kFlagUtf8) ? kUtf8 : lead_)) continue;
    if (e.isFolder) {
      folders.push_back(&e);
    } else {
      files.push_back(&e);
      totalSize += e.size;
    }
  }
  if (!report_.Send(kCbTotalFiles, "", 0, static_cast<std::uint32_t>(files.size()))) return 0;
  if (!report_.Send(kCbTotalSize, "", 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(totalSize, 0xFFFFFFFF))))
    return 0;

  if (settings_.folders && !settings_.test) {
    for (const ZipEntry* e : folders) {
      const MendedName mended = MendEntryName(files_.LocalName(e->name, EncodingOf(*e)), true, lead_);
      if (mended.path.empty()) continue;
      if (!MakeFolders(mended.path, true) &&
          !Message(e->name + ": could not create the folder: " + files_.LastErrorText(), UnzError::kCreateFolder))
        return succeeded_;
    }
  }

  std::vector<const ZipEntry*> plan;
  for (const ZipEntry* e : files)
    if (e->problem == UnzError::kNone) plan.push_back(e);
  std::unique_ptr<EntryFeed> feed = options_.useWorker && plan.size() > 0
                                         ? MakeWorkerFeed(*archive, plan, options_.chunkSize)
                                         : MakeDirectFeed(*archive, options_.chunkSize);
  for (const ZipEntry* e : files) {
    if (HandleFile(*e, *feed) == Outcome::kStop) return succeeded_;
  }
  feed.reset();

  const int total = static_cast<int>(files.size());
  if (settings_.test) {
    const std::string summary =
        skipped_ == 0 ? "No errors found in the " + std::to_string(total) + " tested files of " + settings_.archivePath
                      : std::to_string(skipped_) + " of the " + std::to_string(total) + " tested files of " +
                            settings_.archivePath + " have errors";
    if (!Message(summary, UnzError::kNone)) return succeeded_;
  } else if (skipped_ > 0) {
    if (!Message(settings_.archivePath + ": " + std::to_string(succeeded_) + " of " + std::to_string(total) +
                     " files extracted, " + std::to_string(skipped_) + " skipped",
                 UnzError::kNone))
      return succeeded_;
  }
  report_.Send(kCbEndOfBatch, "", 0, 0);
  return succeeded_;
}

}  // namespace

std::int32_t RunExtraction(const ExtractRequest& request, FileLayer& files, const RunOptions& options) {
  std::optional<Run> run;
  try {
    run.emplace(request, files, options);
    return run->Execute(request);
  } catch (const std::bad_alloc&) {
    // The caller hears of it unless it had already asked to stop.
    Reporter(request).Send(kCbMessage, UnzErrorText(UnzError::kOutOfMemory), Code(UnzError::kOutOfMemory), 0);
    return run ? run->Succeeded() : 0;
  } catch (const std::exception& e) {
    Reporter(request).Send(kCbMessage, std::string("Extraction stopped by an internal error: ") + e.what(),
                           Code(UnzError::kAborted), 0);
    return run ? run->Succeeded() : 0;
  }
}

}  // namespace unz
