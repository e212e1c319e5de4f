// Registry access for the install run: each operation opens the keys it
// needs with full access, does one thing and closes them again.
#include "sys/SetupRegistry.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "os/OsRegistry.h"
#include "sys/SetupError.h"

namespace {

constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kShellFoldersKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void SetValue(os::Hkey key, const std::string& name, std::uint32_t type, const void* data,
              std::uint32_t size) {
  if (os::RegSetValueExA(key, name, type, data, size) != 0)
    throw RegistryError("Failed to set data for '" + name + "'");
}

void WriteString(os::Hkey key, const std::string& name, const std::string& text) {
  // REG_SZ is stored with its terminating NUL.
  SetValue(key, name, os::kRegSz, text.c_str(), static_cast<std::uint32_t>(text.size() + 1));
}

void WriteInteger(os::Hkey key, const std::string& name, std::int32_t number) {
  auto u = static_cast<std::uint32_t>(number);
  unsigned char bytes[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                            static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
  SetValue(key, name, os::kRegDword, bytes, 4);
}

// The value's text, or empty when it is missing; the stored bytes are read
// up to their first NUL and never past the size the registry reported.
std::string ReadString(os::Hkey key, const std::string& name) {
  std::uint32_t type = 0, size = 0;
  if (os::RegQueryValueExA(key, name, &type, nullptr, &size) != 0) return "";
  if (type != os::kRegSz && type != os::kRegExpandSz)
    throw RegistryError("Invalid data type for '" + name + "'");
  std::vector<char> buffer;
  for (;;) {
    buffer.assign(size + 1, '\0');
    std::int32_t r = os::RegQueryValueExA(key, name, &type, buffer.data(), &size);
    if (r == 0) break;
    if (r != os::kErrorMoreData) return "";  // gone meanwhile
  }
  std::string text(buffer.data(), size);
  return text.substr(0, text.find('\0'));
}

void DeleteTree(os::Hkey parent, const std::string& keyPath) {
  {
    os::Hkey raw = 0;
    if (os::RegOpenKeyExA(parent, keyPath, os::kKeyAllAccess, raw) == 0) {
      os::UniqueKey key(raw);
      std::uint32_t subKeys = 0, values = 0;
      if (os::RegQueryInfoKeyA(key.get(), subKeys, values) == 0) {
        for (std::uint32_t i = subKeys; i-- > 0;) {
          std::string name;
          if (os::RegEnumKeyExA(key.get(), i, name) != 0) continue;  // unreadable names are passed over
          DeleteTree(key.get(), name);
        }
      }
    }
  }
  os::RegDeleteKeyA(parent, keyPath);  // the result is not looked at
}

}  // namespace

std::string RegKeyPath(const std::string& keyPath) {
  return !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
}

os::UniqueKey OpenRegKey(os::Hkey root, const std::string& keyPath, bool create) {
  os::Hkey key = 0;
  if (root == 0) return os::UniqueKey();
  std::int32_t r = create ? os::RegCreateKeyExA(root, RegKeyPath(keyPath), os::kKeyAllAccess, key)
                          : os::RegOpenKeyExA(root, RegKeyPath(keyPath), os::kKeyAllAccess, key);
  return r == 0 ? os::UniqueKey(key) : os::UniqueKey();
}

os::Hkey RootKeyByName(const std::string& name) {
  static const struct {
    const char* name;
    os::Hkey key;
  } kRoots[] = {
      {"HKEY_CLASSES_ROOT", os::kHkeyClassesRoot},
      {"HKEY_CURRENT_USER", os::kHkeyCurrentUser},
      {"HKEY_LOCAL_MACHINE", os::kHkeyLocalMachine},
      {"HKEY_USERS", os::kHkeyUsers},
      {"HKEY_PERFORMANCE_DATA", os::kHkeyPerformanceData},
      {"HKEY_CURRENT_CONFIG", os::kHkeyCurrentConfig},
      {"HKEY_DYN_DATA", os::kHkeyDynData},
  };
  for (auto& root : kRoots)
    if (name == root.name) return root.key;
  return 0;
}

int TextToInt(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) break;
  }
  if (negative) value = -value;
  if (!digits || i != text.size() || value > std::numeric_limits<std::int32_t>::max() ||
      value < std::numeric_limits<std::int32_t>::min())
    throw ConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int>(value);
}

int TextToIntDef(const std::string& text, int fallback) {
  try {
    return TextToInt(text);
  } catch (const ConvertError&) {
    return fallback;
  }
}

std::string RegNumberDigits(const std::string& data) {
  return data.size() >= 2 ? data.substr(1, data.size() - 2) : "";
}

void WriteRegValue(const std::string& root, const std::string& keyPath, const std::string& name,
                   const std::string& data) {
  os::Hkey rootKey = RootKeyByName(root);
  if (!data.empty() && data[0] == '#') {
    os::UniqueKey key = OpenRegKey(rootKey, keyPath, true);
    if (key) WriteInteger(key.get(), name, TextToInt(RegNumberDigits(data)));
    return;
  }
  os::UniqueKey key = OpenRegKey(rootKey, keyPath, true);
  if (!key) return;
  if (name == "PrimaryProvider") {
    std::string old = ReadString(key.get(), "PrimaryProvider");
    std::string prev = ReadString(key.get(), "PreviousProvider");
    if (old != prev && old != data) WriteString(key.get(), "PreviousProvider", old);
  }
  WriteString(key.get(), name, data);
}

std::string ReadRegString(const std::string& root, const std::string& keyPath, const std::string& name) {
  os::UniqueKey key = OpenRegKey(RootKeyByName(root), keyPath, false);
  return key ? ReadString(key.get(), name) : "";
}

void DeleteRegKey(const std::string& root, const std::string& keyPath) {
  os::Hkey rootKey = RootKeyByName(root);
  std::string path = RegKeyPath(keyPath);
  if (rootKey == 0 || path.empty()) return;
  DeleteTree(rootKey, path);
}

void WriteUninstallEntry(const std::string& keyName, const std::string& displayName,
                         const std::string& command) {
  std::string path = kUninstallKey + keyName;
  if (os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, path, true))
    WriteString(key.get(), "DisplayName", displayName);
  if (os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, path, true))
    WriteString(key.get(), "UninstallString", command);
}

void WriteUninstallSeal(const std::string& keyName, const std::string& installDir,
                        const std::string& digest) {
  if (os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, kUninstallKey + keyName, true)) {
    WriteString(key.get(), kInstallLocationValue, installDir);
    WriteString(key.get(), kDataDigestValue, digest);
  }
}

std::string ProgramsFolder() { return ReadRegString("HKEY_CURRENT_USER", kShellFoldersKey, "Programs"); }
