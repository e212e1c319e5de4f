// UNZDLL.DLL under Windows: loaded by name beside this program, its two exports found undecorated,
// and one extraction per test carried out through the request and a callback.
#include <windows.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "zip/UNZDLL.h"
#include "zip/ZipCallbacks.h"

namespace {

std::uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<std::uint32_t>(((y - 1980) << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | (s / 2));
}

void Put16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

struct Entry {
  std::string name, data;
  bool deflate;
  std::uint32_t attributes;
  std::uint32_t badCrc;  // non-zero: stored as the CRC instead of the true one
};

const std::uint32_t kStamp = Dos(2003, 7, 14, 16, 20, 44);

// One entry's local header and data.
std::string LocalPart(const Entry& e) {
  std::string payload = e.data;
  if (e.deflate) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    payload.assign(deflateBound(&zs, e.data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(e.data.data()));
    zs.avail_in = static_cast<uInt>(e.data.size());
    zs.next_out = reinterpret_cast<Bytef*>(payload.data());
    zs.avail_out = static_cast<uInt>(payload.size());
    deflate(&zs, Z_FINISH);
    payload.resize(zs.total_out);
    deflateEnd(&zs);
  }
  std::uint32_t crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
  if (e.badCrc) crc = e.badCrc;
  std::string out;
  Put32(out, 0x04034B50);
  Put16(out, 20);
  Put16(out, 0);
  Put16(out, e.deflate ? 8 : 0);
  Put32(out, kStamp);
  Put32(out, crc);
  Put32(out, static_cast<std::uint32_t>(payload.size()));
  Put32(out, static_cast<std::uint32_t>(e.data.size()));
  Put16(out, static_cast<std::uint32_t>(e.name.size()));
  Put16(out, 0);
  return out + e.name + payload;
}

// Local parts, then the central directory and the end record.
std::string BuildZip(const std::vector<Entry>& entries) {
  std::string data, central;
  for (const Entry& e : entries) {
    const std::string local = LocalPart(e);
    Put32(central, 0x02014B50);
    Put16(central, 20);
    central += local.substr(4, 26);  // version needed .. extra length, as in the local header
    Put16(central, 0);               // comment length
    Put16(central, 0);               // disk
    Put16(central, 0);               // internal attributes
    Put32(central, e.attributes);
    Put32(central, static_cast<std::uint32_t>(data.size()));
    central += e.name;
    data += local;
  }
  std::string zip = data + central;
  Put32(zip, 0x06054B50);
  Put32(zip, 0);
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put32(zip, static_cast<std::uint32_t>(central.size()));
  Put32(zip, static_cast<std::uint32_t>(data.size()));
  Put16(zip, 0);
  return zip;
}

// The engine, loaded from beside this program.
class Engine {
 public:
  Engine() {
    module_ = LoadLibraryA("UNZDLL.DLL");
    if (module_) {
      // Through void* as any loader of exports must: FARPROC's own type is never the real one.
      version_ = reinterpret_cast<GetUnzDllVersionFunc>(
          reinterpret_cast<void*>(GetProcAddress(module_, "GetUnzDllVersion")));
      exec_ = reinterpret_cast<UnzDllExecFunc>(reinterpret_cast<void*>(GetProcAddress(module_, "UnzDllExec")));
    }
  }
  ~Engine() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
  GetUnzDllVersionFunc version_ = nullptr;
  UnzDllExecFunc exec_ = nullptr;
};

struct Seen {
  std::vector<CallbackRecord> records;
  std::int32_t overwriteAnswer = -1;  // -1: leave the record unchanged
  std::int32_t crcAnswer = -1;
};

std::int32_t __stdcall Callback(CallbackRecord* r) {
  Seen* seen = static_cast<Seen*>(r->Caller);
  if (r->ActionCode == kCbOverwrite && seen->overwriteAnswer >= 0) r->Size = seen->overwriteAnswer;
  if (r->ActionCode == kCbCrcError && seen->crcAnswer >= 0) r->ErrorCode = seen->crcAnswer;
  seen->records.push_back(*r);
  return 0;
}

class UnzDll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(engine_.module_, nullptr) << "UNZDLL.DLL not loaded, error " << GetLastError();
    ASSERT_NE(engine_.exec_, nullptr);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "unzdll_test_" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(counter_++);
    CreateDirectoryA(folder_.c_str(), nullptr);
    out_ = folder_ + "\\out";
    CreateDirectoryA(out_.c_str(), nullptr);
  }
  void TearDown() override {
    std::string command = "cmd /c rd /s /q \"" + folder_ + "\" >nul 2>nul";
    std::system(command.c_str());
  }

  std::int32_t Extract(const std::vector<Entry>& entries, bool folders, bool overwrite = false) {
    const std::string archive = folder_ + "\\pkg.zip";
    HANDLE h = CreateFileA(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    const std::string bytes = BuildZip(entries);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(h);

    ExtractRequest request{};
    std::vector<char> dir(kUnzExtractDirSize, '\0');
    out_.copy(dir.data(), kUnzExtractDirSize - 1);
    request.Caller = &seen_;
    request.Version = kUnzInterfaceVersion;
    request.ZCallbackFunc = Callback;
    request.Password = "";
    request.Reserved40 = -1;
    request.Directories = folders ? kUnzTrue : kUnzFalse;
    request.Overwrite = overwrite ? kUnzTrue : kUnzFalse;
    request.ZipFileName = archive.c_str();
    request.ExtractDir = dir.data();
    request.Seven = 7;
    seen_.records.clear();
    return engine_.exec_(&request);
  }

  std::string Read(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string s(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    if (!s.empty()) ReadFile(h, s.data(), static_cast<DWORD>(s.size()), &got, nullptr);
    CloseHandle(h);
    return s;
  }

  std::vector<std::int32_t> Codes() const {
    std::vector<std::int32_t> codes;
    for (const CallbackRecord& r : seen_.records) codes.push_back(r.ActionCode);
    return codes;
  }
  int Count(std::int32_t code) const {
    int n = 0;
    for (const CallbackRecord& r : seen_.records) n += r.ActionCode == code;
    return n;
  }

  static int counter_;
  Engine engine_;
  Seen seen_;
  std::string folder_, out_;
};
int UnzDll::counter_ = 0;

TEST_F(UnzDll, ReportsVersion160) { EXPECT_EQ(engine_.version_(), 160); }

TEST_F(UnzDll, ExtractsIntoTheFolderWithTimesAndAttributes) {
  const std::string text(20000, 'T');
  EXPECT_EQ(Extract({{"docs/readme.txt", text, true, 0x20, 0},
                     {"ro.bin", "\x01\x02\x03", false, 0x01, 0},
                     {"..\\..\\escape.txt", "caught", true, 0, 0}},
                    false),
            3);
  EXPECT_EQ(Read(out_ + "\\readme.txt"), text);
  EXPECT_EQ(Read(out_ + "\\ro.bin"), "\x01\x02\x03");
  EXPECT_EQ(Read(out_ + "\\escape.txt"), "caught");
  EXPECT_EQ(Read(folder_ + "\\escape.txt"), "<missing>");
  EXPECT_TRUE(GetFileAttributesA((out_ + "\\ro.bin").c_str()) & FILE_ATTRIBUTE_READONLY);

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA((out_ + "\\readme.txt").c_str(), GetFileExInfoStandard, &data));
  FILETIME local;
  WORD date = 0, time = 0;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToDosDateTime(&local, &date, &time);
  EXPECT_EQ((static_cast<std::uint32_t>(date) << 16) | time, kStamp);

  EXPECT_EQ(seen_.records.front().ActionCode, kCbTotalFiles);
  EXPECT_EQ(seen_.records.front().Size, 3u);
  EXPECT_EQ(Count(kCbNewFile), 3);
  EXPECT_EQ(seen_.records.back().ActionCode, kCbEndOfBatch);
  for (const CallbackRecord& r : seen_.records) EXPECT_EQ(r.Caller, &seen_);
}

TEST_F(UnzDll, FolderNamesCreateFolders) {
  EXPECT_EQ(Extract({{"a/b/c.txt", "deep", true, 0, 0}}, true), 1);
  EXPECT_EQ(Read(out_ + "\\a\\b\\c.txt"), "deep");
}

TEST_F(UnzDll, NamesFromDosHostsAreConvertedFromTheOemCodePage) {
  // 0x81 is u-umlaut in the OEM code page; the file gets the ANSI name.
  const std::string oem = "\x81" "ber.txt";
  char ansi[16] = {};
  OemToCharBuffA(oem.c_str(), ansi, static_cast<DWORD>(oem.size()));
  ASSERT_NE(std::string(ansi), oem);
  EXPECT_EQ(Extract({{oem, "umlaut", true, 0, 0}}, false), 1);
  EXPECT_EQ(Read(out_ + "\\" + ansi), "umlaut");
}

TEST_F(UnzDll, CrcMismatchWithoutDecisionKeepsNoFile) {
  EXPECT_EQ(Extract({{"bad.txt", "damaged", true, 0, 0xDEADBEEF}}, false), 0);
  EXPECT_EQ(Count(kCbCrcError), 1);
  EXPECT_EQ(Count(kCbSkipped), 1);
  EXPECT_EQ(Read(out_ + "\\bad.txt"), "<missing>");
}

TEST_F(UnzDll, ReplacesAReadOnlyFileWhenTheCallerAgrees) {
  const std::string target = out_ + "\\f.txt";
  HANDLE h = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD wrote = 0;
  WriteFile(h, "old", 3, &wrote, nullptr);
  CloseHandle(h);
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(Extract({{"f.txt", "new", true, 0, 0}}, false), 0);
  EXPECT_EQ(Count(kCbOverwrite), 1);
  EXPECT_EQ(Read(target), "old");

  seen_.overwriteAnswer = 1;
  EXPECT_EQ(Extract({{"f.txt", "new", true, 0, 0}}, false), 1);
  EXPECT_EQ(Read(target), "new");
}

}  // namespace
