// Helpers of the archive component's tests: the archives made by real tools,
// their expected directories, a CRC, and a recorder of the component's events.
#pragma once
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "os/fake/FakeDiskControl.h"
#include "os/fake/FakeUiControl.h"
#include "zip/Crc32.h"
#include "zip/ZipMaster.h"

namespace ziptest {

inline std::string DataDir() { return QV_SOURCE_DIR "/tests/unit/ZipData/"; }

// The bytes of a file under ZipData/ (or a path relative to tests/unit/).
inline std::string ReadData(const std::string& name) {
  std::ifstream in(name.find('/') == std::string::npos ? DataDir() + name : name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Expected {
  std::string name;  // as stored, with "/"
  std::uint32_t compressed = 0, uncompressed = 0, crc = 0;
  int method = 0;
};

inline std::vector<Expected> ReadExpected(const std::string& name) {
  std::vector<Expected> rows;
  std::istringstream in(ReadData(name));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    Expected e;
    std::string crc;
    std::getline(f, e.name, '\t');
    f >> e.compressed >> e.uncompressed >> crc >> e.method;
    e.crc = static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16));
    rows.push_back(e);
  }
  return rows;
}

inline std::uint32_t Crc32(const std::string& data) { return zip::Crc32(0, data.data(), data.size()); }

inline std::uint16_t Le16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                    (static_cast<unsigned char>(s[at + 1]) << 8));
}
inline std::uint32_t Le32(const std::string& s, std::size_t at) {
  return Le16(s, at) | (std::uint32_t{Le16(s, at + 2)} << 16);
}
inline void Put16(std::string& s, std::size_t at, std::uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, static_cast<std::uint16_t>(v));
  Put16(s, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Everything the component told its owner, in order.
struct Recorder {
  std::vector<std::string> log;
  std::vector<int> messages;  // ErrCode of each OnMessage
  std::vector<std::string> messageTexts;
  int dirUpdates = 0;
  int newFiles = 0;
  std::int64_t updated = 0;

  void Attach(zip::TZipMaster& z) {
    z.OnDirUpdate = [this](zip::TZipMaster*) { ++dirUpdates; };
    z.OnMessage = [this](zip::TZipMaster*, int code, const std::string& text) {
      messages.push_back(code);
      messageTexts.push_back(text);
    };
    z.OnProgress = [this](zip::TZipMaster*, zip::ProgressType type, const std::string& name,
                          std::int64_t size) {
      log.push_back(std::to_string(static_cast<int>(type)) + ":" + name + ":" + std::to_string(size));
      if (type == zip::ProgressType::NewFile) ++newFiles;
      if (type == zip::ProgressType::ProgressUpdate) updated += size;
    };
  }
};

// A fresh machine with drive C:, the archives folder C:\DATA and the
// temporary folder C:\TEMP.
inline void FreshMachine() {
  os::fake::Reset();
  os::fake::ResetDisk();
  os::fake::AddFolder("C:\\DATA");
  os::fake::AddFolder("C:\\TEMP");
}

inline std::string Put(const std::string& fakePath, const std::string& dataName) {
  os::fake::AddFile(fakePath, ReadData(dataName));
  return fakePath;
}

}  // namespace ziptest
