// Fuzz target of the installation list reader: any bytes, every reader, no read outside the list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/InstallList.h"
#include "sys/SetupError.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

template <typename F>
void Guarded(F&& read) {
  try {
    read();
  } catch (const ListError&) {
    // a malformed list is reported, never read past
  }
}

const char* const kHeaders[] = {
    Header::kExtra,     Header::kPackage, Header::kNextLicense, Header::kDefPath,    Header::kAdmin,
    Header::kOs,        Header::kMessage, Header::kNrMsg,       Header::kNotRunning, Header::kSysBackup,
    Header::kUninstall, Header::kReg,     Header::kRemoveFiles, Header::kInstall,    Header::kWin,
    Header::kSystem,    Header::kRegSvr,  Header::kShortcuts,   Header::kDink,       Header::kForceRun,
    Header::kRunFile,   Header::kReboot,  Header::kNoReboot,    Header::kNoRebootNt,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TSetupList list(text);
  for (const std::string& line : list.Lines())
    Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
  Check(list.Count() <= static_cast<int>(size) + 1);

  const TRegMacroContext context{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\Program Files\\Demo\\",
                                 "demo.exe"};
  Guarded([&] {
    TListHead head = ReadHead(list);
    ApplyTitleRule(head.titleLine, 6);
    ApplyTitleRule(head.titleLine, 8);
    DefaultInstallDir(head.installSuffix);
  });
  for (const char* header : kHeaders) {
    const int h = list.Find(header);
    Check(h == -1 || (h >= 0 && h < list.Count()));
    Guarded([&] { ReadSection(list, header); });
    Guarded([&] { SectionLineCount(list, header); });
    Guarded([&] { ReadPositional(list, header, 4); });
    Guarded([&] {
      TSectionReader reader(list, header);
      TFileEntry entry;
      while (reader.NextFileEntry(entry)) Check(reader.NextIndex() <= list.Count());
    });
    Guarded([&] {
      TSectionReader reader(list, header);
      TRegGroup group;
      while (NextRegGroup(reader, group)) {
        ExpandRegData(group.data, context);
        std::string key = group.key, lookup, remainder;
        SkipForNt4Mark(key, 6);
        SplitIndirectKey(key, lookup, remainder);
        ResolvedIndirectKey(key, group.name);
      }
    });
    Guarded([&] {
      TSectionReader reader(list, header);
      TShortcutPair pair;
      while (NextShortcutPair(reader, pair)) Check(reader.NextIndex() <= list.Count());
    });
  }
  Guarded([&] { ReadOsRange(list); });
  Guarded([&] { ReadUninstall(list); });
  Guarded([&] { ReadProgramKey(list); });
  ReadDefPath(list);
  SysBackupExtension(list);
  ReadNotRunning(list);
  for (const std::string& line : list.Lines()) {
    ExpandRegData(line, context);
    ExpandRemoveFilesEntry(line, "C:\\WINDOWS", "C:\\Demo");
    SplitNotRunning(line);
    OsKeywordCode(line);
  }
  return 0;
}
