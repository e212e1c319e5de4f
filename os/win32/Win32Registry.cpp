// Registry keys and values over the real Win32 API.
#include <windows.h>

#include "os/OsRegistry.h"

namespace os {
namespace {
HKEY K(Hkey key) { return reinterpret_cast<HKEY>(key); }
}  // namespace

std::int32_t RegCreateKeyExA(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& key) {
  HKEY h = nullptr;
  LONG r = ::RegCreateKeyExA(K(parent), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                             &h, nullptr);
  if (r == ERROR_SUCCESS) key = reinterpret_cast<Hkey>(h);
  return r;
}

std::int32_t RegOpenKeyExA(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& key) {
  HKEY h = nullptr;
  LONG r = ::RegOpenKeyExA(K(parent), subKey.c_str(), 0, access, &h);
  if (r == ERROR_SUCCESS) key = reinterpret_cast<Hkey>(h);
  return r;
}

std::int32_t RegCloseKey(Hkey key) { return ::RegCloseKey(K(key)); }

std::int32_t RegSetValueExA(Hkey key, const std::string& name, std::uint32_t type, const void* data,
                            std::uint32_t size) {
  return ::RegSetValueExA(K(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

std::int32_t RegQueryValueExA(Hkey key, const std::string& name, std::uint32_t* type, void* data,
                              std::uint32_t* size) {
  DWORD t = 0, n = size ? *size : 0;
  LONG r = ::RegQueryValueExA(K(key), name.c_str(), nullptr, type ? &t : nullptr, static_cast<BYTE*>(data),
                              size ? &n : nullptr);
  if (type) *type = t;
  if (size) *size = n;
  return r;
}

std::int32_t RegQueryInfoKeyA(Hkey key, std::uint32_t& subKeys, std::uint32_t& values) {
  DWORD s = 0, v = 0;
  LONG r = ::RegQueryInfoKeyA(K(key), nullptr, nullptr, nullptr, &s, nullptr, nullptr, &v, nullptr, nullptr,
                              nullptr, nullptr);
  subKeys = s;
  values = v;
  return r;
}

std::int32_t RegEnumKeyExA(Hkey key, std::uint32_t index, std::string& name) {
  char buffer[256];  // key names are at most 255 characters
  DWORD n = sizeof buffer;
  LONG r = ::RegEnumKeyExA(K(key), index, buffer, &n, nullptr, nullptr, nullptr, nullptr);
  if (r == ERROR_SUCCESS) name.assign(buffer, n);
  return r;
}

std::int32_t RegDeleteKeyA(Hkey parent, const std::string& subKey) {
  return ::RegDeleteKeyA(K(parent), subKey.c_str());
}

std::int32_t RegDeleteValueA(Hkey key, const std::string& name) {
  return ::RegDeleteValueA(K(key), name.c_str());
}

}  // namespace os
