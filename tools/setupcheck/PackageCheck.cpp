// The package list's checks: loose extra files, parts, the join and the
// CRC test, made with the package stage's own rules and our unzip engine.
#include "tools/setupcheck/PackageCheck.h"

#include "app/PackageStage.h"
#include "os/OsFiles.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "tools/setupcheck/SeamEngine.h"
#include "zip/ZipMaster.h"

namespace {

constexpr char kWorkFolder[] = "C:\\SETUPCHECK";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The entries of a list section with the index of each line; empty when the
// section is absent or has no terminator (reported with the structure).
std::vector<std::pair<int, std::string>> Entries(const TSetupList& list, const char* header) {
  std::vector<std::pair<int, std::string>> entries;
  try {
    TSectionReader reader(list, header);
    std::string entry;
    while (reader.Next(entry)) entries.emplace_back(reader.NextIndex() - 1, entry);
  } catch (const ListError&) {
    entries.clear();
  }
  return entries;
}

// Errors of setup.lst at a line index.
struct ListErrors {
  std::vector<Finding>& findings;
  void operator()(int index, const std::string& message) const {
    findings.push_back(Finding{"setup.lst", index + 1, Severity::Error, message});
  }
};

// The :EXTRA files the installer copies.
std::vector<std::string> CheckExtras(const TSetupList& packageList, const std::string& folder,
                                     const ListErrors& error) {
  std::vector<std::string> extras;
  for (const auto& [line, extra] : Entries(packageList, Header::kExtra)) {
    if (!StaysInside(extra))
      error(line, Quoted(extra) + " reaches outside the setup folder; the installer passes it over");
    else if (!FileFound(folder + "\\" + extra) &&
             !DatedBefore1980(folder + "\\" + extra))  // copied either way
      error(line, Quoted(extra) + " is not in the setup folder; the installer passes it over");
    else
      extras.push_back(extra);
  }
  return extras;
}

// The parts in :PACKAGE; false when one is missing or none is named (reported).
bool CheckParts(const TSetupList& packageList, const std::string& folder, int packageHeader,
                const ListErrors& error, std::vector<std::string>& parts) {
  bool complete = true;
  for (const auto& [line, part] : Entries(packageList, Header::kPackage)) {
    const int disk = static_cast<int>(parts.size()) + 1;
    if (!StaysInside(part)) {
      error(line, Quoted(part) + " reaches outside the setup folder; the installer passes it over");
      continue;
    }
    parts.push_back(part);
    if (!FileFound(folder + "\\" + part)) {
      error(line,
            "the package part " + Quoted(part) +
                (DatedBefore1980(folder + "\\" + part)
                     ? " is dated before 1980, which has no MS-DOS date: the installer's file test counts it "
                       "as absent, and it asks for setup disk number " +
                           std::to_string(disk) + " again and again"
                     : " is missing; the installer asks for setup disk number " + std::to_string(disk)));
      complete = false;
    }
  }
  if (parts.empty()) {
    if (Entries(packageList, Header::kPackage).empty())
      error(packageHeader, "section :PACKAGE names no part");
    return false;
  }
  return complete;
}

// The parts joined and extracted as the package stage does it, in a folder of our own, with the
// :EXTRA files beside them; the folder, or empty when that fails (reported).
std::string JoinAndExtract(const std::string& folder, const std::vector<std::string>& parts,
                           const std::vector<std::string>& extras, int packageHeader,
                           std::vector<Finding>& findings) {
  const ListErrors error{findings};
  const std::string work = std::string(kWorkFolder) + "\\PACKAGE";
  ForceFolders(work);
  // A part that cannot be copied fails the join, which is reported.
  for (const std::string& part : parts) os::CopyFileA(folder + "\\" + part, work + "\\" + part, false);
  const std::string package = PackagePath(work, parts);
  if (!JoinPackage(work, parts, package)) {
    error(packageHeader, "the parts could not be joined");
    return "";
  }
  const std::string engineFolder = std::string(kWorkFolder) + "\\ENGINE";
  ForceFolders(engineFolder);
  InstallSeamEngine(engineFolder + "\\UNZDLL.DLL");
  zip::TZipMaster zip;
  zip.Unattended = true;
  zip.SetDLLDirectory(engineFolder);
  zip.SetZipFileName(package);
  // The installer extracts whatever the component reads of the directory, so
  // a directory that does not read cleanly is a fault only when nothing comes out.
  const bool readsCleanly = zip.ErrorCode() == 0 && zip.EntryCount() > 0;
  std::vector<std::string> failed;
  zip.OnCRC32Error = [&](zip::TZipMaster*, const std::string& name, std::uint32_t, std::uint32_t,
                         bool& extract) {
    failed.push_back(name);
    extract = true;  // reported once here; the list's checks then find the file
  };
  const std::string extracted = std::string(kWorkFolder) + "\\EXTRACTED";
  ForceFolders(extracted);
  zip.ExtrBaseDir = extracted;
  zip.ExtractFiles();
  if (!readsCleanly) {
    if (!FileFound(extracted + "\\setup.ini") || zip.SuccessCount() == 0) {
      error(packageHeader,
            "the parts do not join into a zip archive; the first part listed must hold the end of "
            "the archive, the last its start");
      return "";
    }
    findings.push_back(Finding{"setup.lst", packageHeader + 1, Severity::Warning,
                               "the package's archive directory does not read cleanly (bytes after the end "
                               "of the archive?); the installer extracts it nevertheless"});
  }
  for (const std::string& name : failed)
    error(packageHeader, "the package entry " + Quoted(name) + " fails its CRC test");
  if (failed.empty() && readsCleanly && zip.SuccessCount() < zip.EntryCount())
    error(packageHeader, "the package could not be extracted whole (" + std::to_string(zip.SuccessCount()) +
                             " of " + std::to_string(zip.EntryCount()) + " entries)");
  if (!FileFound(folder + "\\UNZDLL.DLL"))
    error(packageHeader,
          "UNZDLL.DLL, the unzip engine, is not in the setup folder; the installer cannot extract "
          "the package");
  // As the installer does, a failed copy of an :EXTRA file is passed over: the checks below see it.
  for (const std::string& extra : extras)
    os::CopyFileA(folder + "\\" + extra, extracted + "\\" + extra, false);
  if (!FileFound(extracted + "\\setup.ini")) {
    error(packageHeader, "neither the package nor :EXTRA holds a setup.ini");
    return "";
  }
  return extracted;
}

}  // namespace

std::string CheckPackage(const TSetupList& packageList, const std::string& folder,
                         std::vector<Finding>& findings) {
  const ListErrors error{findings};
  const int packageHeader = packageList.Find(Header::kPackage);
  const std::vector<std::string> extras = CheckExtras(packageList, folder, error);
  if (packageHeader < 0) {
    error(0, "there is no :PACKAGE section; the installer stops with \"No install package information.\"");
    return "";
  }
  std::vector<std::string> parts;
  if (!CheckParts(packageList, folder, packageHeader, error, parts)) return "";
  return JoinAndExtract(folder, parts, extras, packageHeader, findings);
}
