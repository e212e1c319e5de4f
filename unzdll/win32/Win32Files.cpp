// The engine's file layer on Win32 (cross build only): the only engine file that calls Windows.
#include <windows.h>

#include <algorithm>
#include <string>

#include "unzdll/UnzFiles.h"
#include "unzdll/UnzThreads.h"

namespace unz {

namespace {

class Win32Handle {
 public:
  explicit Win32Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  Win32Handle(const Win32Handle&) = delete;
  Win32Handle& operator=(const Win32Handle&) = delete;
  ~Win32Handle() { Close(); }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (h_ == INVALID_HANDLE_VALUE) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE h_;
};

class Win32Archive : public ArchiveFile {
 public:
  Win32Archive(HANDLE h, std::uint64_t size) : file_(h), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override {
    // Seek and read are one step for the file pointer's sake; Windows 9x has no positional read.
    Locked lock(lock_);
    LONG high = static_cast<LONG>(offset >> 32);
    const DWORD low = SetFilePointer(file_.get(), static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
    std::size_t done = 0;
    while (done < length) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(length - done);
      if (!ReadFile(file_.get(), static_cast<char*>(buffer) + done, want, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  Win32Handle file_;
  std::uint64_t size_;
  Lock lock_;
};

class Win32Output : public OutputFile {
 public:
  Win32Output(HANDLE h, std::string temp, std::string target, const FileStamp& stamp)
      : file_(h), temp_(std::move(temp)), target_(std::move(target)), stamp_(stamp) {}
  ~Win32Output() override {
    if (!committed_) {
      file_.Close();
      DeleteFileA(temp_.c_str());  // best effort: nothing more can be done about a leftover
    }
  }
  bool Write(const void* data, std::size_t length) override {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      DWORD wrote = 0;
      if (!WriteFile(file_.get(), p, static_cast<DWORD>(length), &wrote, nullptr) || wrote == 0) return false;
      p += wrote;
      length -= wrote;
    }
    return true;
  }
  bool Commit() override {
    const FileStamp& stamp = stamp_;
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(stamp.dosDateTime >> 16),
                               static_cast<WORD>(stamp.dosDateTime & 0xFFFF), &local) ||
        !LocalFileTimeToFileTime(&local, &utc) || !SetFileTime(file_.get(), nullptr, nullptr, &utc)) {
      // A stamp Windows cannot represent leaves the file with the time of writing.
    }
    if (!file_.Close()) return false;
    if (temp_ == target_) {
      // Written in place.
    } else if (GetFileAttributesA(target_.c_str()) != INVALID_FILE_ATTRIBUTES) {
      SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file could not be replaced
      if (!MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        // Windows 9x has no MoveFileEx: remove the old file, then move the new one in.
        if (!DeleteFileA(target_.c_str()) || !MoveFileA(temp_.c_str(), target_.c_str())) return false;
      }
    } else if (!MoveFileA(temp_.c_str(), target_.c_str())) {
      return false;
    }
    committed_ = true;
    const DWORD attributes = stamp.dosAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    // The file's content is in place; a refused attribute change does not undo that. A file made
    // anew carries the archive bit already.
    if (attributes != 0 && attributes != FILE_ATTRIBUTE_ARCHIVE)
      SetFileAttributesA(target_.c_str(), attributes);
    return true;
  }

 private:
  Win32Handle file_;
  std::string temp_;
  std::string target_;
  FileStamp stamp_;
  bool committed_ = false;
};

class Win32FileLayer : public FileLayer {
 public:
  std::string LocalName(const std::string& stored, NameEncoding encoding) override {
    if (stored.empty() || encoding == NameEncoding::kAsIs) return stored;
    // Plain ASCII reads the same in every code page: most names need no conversion.
    if (std::all_of(stored.begin(), stored.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
      return stored;
    if (encoding == NameEncoding::kOem) {
      std::string ansi = stored;
      if (!OemToCharBuffA(stored.data(), ansi.data(), static_cast<DWORD>(stored.size()))) return stored;
      return ansi;
    }
    // UTF-8 by way of UTF-16; characters the ANSI code page lacks become "_". Windows 95 knows no
    // UTF-8 conversion: the name then stays as stored.
    const int wide = MultiByteToWideChar(CP_UTF8, 0, stored.data(), static_cast<int>(stored.size()), nullptr, 0);
    if (wide <= 0) return stored;
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, stored.data(), static_cast<int>(stored.size()), w.data(), wide);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, "_", nullptr);
    if (bytes <= 0) return stored;
    std::string ansi(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, ansi.data(), bytes, "_", nullptr);
    return ansi;
  }

  LeadBytes NameLeadBytes() override {
    // The ANSI code page does not change while the process runs: read once.
    static const LeadBytes table = [] {
      LeadBytes t;
      CPINFO info{};
      if (GetCPInfo(CP_ACP, &info))
        for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] != 0 || info.LeadByte[i + 1] != 0); i += 2)
          t.AddRange(info.LeadByte[i], info.LeadByte[i + 1]);
      return t;
    }();
    return table;
  }

  std::unique_ptr<ArchiveFile> OpenArchive(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    DWORD high = 0;
    const DWORD low = GetFileSize(h, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
      const DWORD error = GetLastError();
      CloseHandle(h);
      SetLastError(error);
      return nullptr;
    }
    return std::make_unique<Win32Archive>(h, (static_cast<std::uint64_t>(high) << 32) | low);
  }

  PathState Probe(const std::string& path) override {
    PathState state;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return state;
    FindClose(search);
    state.kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathState::kFolder : PathState::kFile;
    // Rounded up to the next even second, so a file written from an entry compares equal to it.
    FILETIME local;
    if (FileTimeToLocalFileTime(&found.ftLastWriteTime, &local)) {
      ULARGE_INTEGER t;
      t.LowPart = local.dwLowDateTime;
      t.HighPart = local.dwHighDateTime;
      t.QuadPart += 19999999;
      local.dwLowDateTime = t.LowPart;
      local.dwHighDateTime = t.HighPart;
      WORD date = 0, time = 0;
      if (FileTimeToDosDateTime(&local, &date, &time))
        state.dosDateTime = (static_cast<std::uint32_t>(date) << 16) | time;
    }
    return state;
  }

  bool MakeFolder(const std::string& path) override {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    SetLastError(error);
    return false;
  }

  std::unique_ptr<OutputFile> CreateOutput(const std::string& path, const FileStamp& stamp,
                                           bool newOnly) override {
    // No file there yet: write the target itself, which is removed again if the file is dropped.
    HANDLE direct = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (direct != INVALID_HANDLE_VALUE) return std::make_unique<Win32Output>(direct, path, path, stamp);
    const DWORD why = GetLastError();
    if (newOnly || (why != ERROR_FILE_EXISTS && why != ERROR_ALREADY_EXISTS)) return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string temp =
          path + ".~unz" + std::to_string(GetCurrentProcessId() % 100000) + "_" + std::to_string(attempt);
      HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) return std::make_unique<Win32Output>(h, temp, path, stamp);
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return nullptr;
  }

  std::string CurrentFolder() override {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return ".";
    return std::string(buffer, n);
  }

  std::string LastErrorText() override {
    const DWORD error = GetLastError();
    char buffer[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                             sizeof buffer, nullptr);
    while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ' || buffer[n - 1] == '.'))
      --n;
    if (n == 0) return "system error " + std::to_string(error);
    return std::string(buffer, n);
  }
};

}  // namespace

std::unique_ptr<FileLayer> MakePlatformFileLayer() { return std::make_unique<Win32FileLayer>(); }

}  // namespace unz
