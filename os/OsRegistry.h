// The seam's registry: keys and typed values, named after and behaving like
// the Win32 registry calls (results are Win32 error codes, 0 for success).
#pragma once
#include <cstdint>
#include <string>

#include "os/Handle.h"
#include "os/OsTypes.h"

namespace os {

constexpr Hkey kHkeyClassesRoot = 0x80000000u;
constexpr Hkey kHkeyCurrentUser = 0x80000001u;
constexpr Hkey kHkeyLocalMachine = 0x80000002u;
constexpr Hkey kHkeyUsers = 0x80000003u;
constexpr Hkey kHkeyPerformanceData = 0x80000004u;
constexpr Hkey kHkeyCurrentConfig = 0x80000005u;
constexpr Hkey kHkeyDynData = 0x80000006u;

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;

constexpr std::int32_t kErrorNoMoreItems = 259;
constexpr std::int32_t kErrorKeyDeleted = 1018;
constexpr std::int32_t kErrorBadPathname = 161;

// Opens or creates a key below an open key (or a root key); `key` receives
// the new handle on success.
std::int32_t RegCreateKeyExA(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& key);
std::int32_t RegOpenKeyExA(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& key);
std::int32_t RegCloseKey(Hkey key);

// Stores `size` bytes of `data` under the value name ("" is the default value).
std::int32_t RegSetValueExA(Hkey key, const std::string& name, std::uint32_t type, const void* data,
                            std::uint32_t size);
// As the Win32 call: `type`, `data` may be null; with `data` null only the
// size is reported; a buffer too small gives kErrorMoreData and the size
// needed. `size` is in and out.
std::int32_t RegQueryValueExA(Hkey key, const std::string& name, std::uint32_t* type, void* data,
                              std::uint32_t* size);
std::int32_t RegQueryInfoKeyA(Hkey key, std::uint32_t& subKeys, std::uint32_t& values);
// The name of the subkey at `index` in the registry's own order.
std::int32_t RegEnumKeyExA(Hkey key, std::uint32_t index, std::string& name);
// Deletes a subkey that has no subkeys of its own.
std::int32_t RegDeleteKeyA(Hkey parent, const std::string& subKey);
std::int32_t RegDeleteValueA(Hkey key, const std::string& name);

inline bool CloseKeyHandle(Hkey key) { return RegCloseKey(key) == 0; }
using UniqueKey = Unique<Hkey, Hkey{0}, CloseKeyHandle>;

}  // namespace os
