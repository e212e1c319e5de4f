// The in-memory registry: a typed tree per root key, open handles that
// remember their path, access rights and Windows' deletion rule.
#include <map>
#include <utility>
#include <vector>

#include "os/OsRegistry.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {

struct Value {
  std::string name;
  RegValue value;
};

struct Key {
  std::string name;
  bool readOnly = false;
  std::map<std::string, Key> subKeys;  // by upper-case name: the registry's order
  std::map<std::string, Value> values;
};

struct OpenKey {
  Hkey root = 0;
  std::vector<std::string> path;  // upper-case parts
  std::uint32_t access = 0;
};

struct Registry {
  std::map<Hkey, Key> roots;
  std::map<Hkey, OpenKey> open;
  std::function<void()> afterSizeQuery;
};

Registry& Reg() { return AreaState<Registry>(); }

bool IsRoot(Hkey key) { return key >= kHkeyClassesRoot && key <= kHkeyDynData; }

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = NextBackslash(path, start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The key a handle stands for, with its root and path; nullptr when the
// handle is unknown or the key was deleted meanwhile.
Key* Resolve(Hkey handle, OpenKey& where) {
  if (IsRoot(handle)) {
    where = OpenKey{handle, {}, kKeyAllAccess};
  } else {
    auto it = Reg().open.find(handle);
    if (it == Reg().open.end()) return nullptr;
    where = it->second;
  }
  Key* key = &Reg().roots[where.root];
  for (auto& part : where.path) {
    auto sub = key->subKeys.find(part);
    if (sub == key->subKeys.end()) return nullptr;
    key = &sub->second;
  }
  return key;
}

bool ReadOnlyOnPath(Hkey root, const std::vector<std::string>& path) {
  Key* key = &Reg().roots[root];
  if (key->readOnly) return true;
  for (auto& part : path) {
    auto sub = key->subKeys.find(part);
    if (sub == key->subKeys.end()) return false;
    key = &sub->second;
    if (key->readOnly) return true;
  }
  return false;
}

bool Writes(std::uint32_t access) { return (access & (kKeySetValue | kKeyCreateSubKey)) != 0; }

Hkey NewKeyHandle(const OpenKey& where) {
  Hkey h = NewHandle();
  Reg().open[h] = where;
  return h;
}

std::int32_t OpenOrCreate(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& result,
                          bool create) {
  OpenKey where;
  Key* key = Resolve(parent, where);
  if (!key) return IsRoot(parent) || Reg().open.count(parent) ? kErrorKeyDeleted : kErrorInvalidHandle;
  if (!subKey.empty() && subKey[0] == '\\') return kErrorBadPathname;
  for (auto& part : Split(subKey)) {
    if (part.empty()) return kErrorBadPathname;
    std::string up = Upper(part);
    auto sub = key->subKeys.find(up);
    if (sub == key->subKeys.end()) {
      if (!create) return kErrorFileNotFound;
      if (ReadOnlyOnPath(where.root, where.path)) return kErrorAccessDenied;
      Key fresh;
      fresh.name = part;
      sub = key->subKeys.emplace(up, fresh).first;
    }
    key = &sub->second;
    where.path.push_back(up);
  }
  if (Writes(access) && ReadOnlyOnPath(where.root, where.path)) return kErrorAccessDenied;
  where.access = access;
  result = NewKeyHandle(where);
  return kErrorSuccess;
}

Key* KeyAt(Hkey root, const std::string& path, bool create) {
  Key* key = &Reg().roots[root];
  for (auto& part : Split(path)) {
    std::string up = Upper(part);
    auto sub = key->subKeys.find(up);
    if (sub == key->subKeys.end()) {
      if (!create) return nullptr;
      Key fresh;
      fresh.name = part;
      sub = key->subKeys.emplace(up, fresh).first;
    }
    key = &sub->second;
  }
  return key;
}

}  // namespace

void ResetRegistry() { Reg() = Registry{}; }

void SetRegValue(Hkey root, const std::string& path, const std::string& name, const RegValue& value) {
  KeyAt(root, path, true)->values[Upper(name)] = Value{name, value};
}

void SetRegString(Hkey root, const std::string& path, const std::string& name, const std::string& text) {
  SetRegValue(root, path, name, RegValue{kRegSz, text + '\0'});
}

void AddRegKey(Hkey root, const std::string& path) { KeyAt(root, path, true); }

std::vector<std::string> RegValueNames(Hkey root, const std::string& path) {
  std::vector<std::string> names;
  if (Key* key = KeyAt(root, path, false))
    for (const auto& [upper, value] : key->values) names.push_back(value.name);
  return names;
}

std::optional<RegValue> RegValueAt(Hkey root, const std::string& path, const std::string& name) {
  Key* key = KeyAt(root, path, false);
  if (!key) return std::nullopt;
  auto it = key->values.find(Upper(name));
  if (it == key->values.end()) return std::nullopt;
  return it->second.value;
}

std::optional<std::string> RegStringAt(Hkey root, const std::string& path, const std::string& name) {
  auto v = RegValueAt(root, path, name);
  if (!v || v->type != kRegSz) return std::nullopt;
  std::string text = v->data;
  if (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::optional<std::uint32_t> RegDwordAt(Hkey root, const std::string& path, const std::string& name) {
  auto v = RegValueAt(root, path, name);
  if (!v || v->type != kRegDword || v->data.size() != 4) return std::nullopt;
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v->data[static_cast<size_t>(i)]);
  return n;
}

bool RegKeyExists(Hkey root, const std::string& path) { return KeyAt(root, path, false) != nullptr; }

std::vector<std::string> RegSubKeys(Hkey root, const std::string& path) {
  std::vector<std::string> names;
  if (Key* key = KeyAt(root, path, false))
    for (auto& [up, sub] : key->subKeys) names.push_back(sub.name);
  return names;
}

void SetRegKeyReadOnly(Hkey root, const std::string& path, bool readOnly) {
  KeyAt(root, path, true)->readOnly = readOnly;
}

int OpenRegKeyCount() { return static_cast<int>(Reg().open.size()); }
void AfterNextRegSizeQuery(std::function<void()> action) { Reg().afterSizeQuery = std::move(action); }

}  // namespace os::fake

namespace os {
using namespace os::fake;

std::int32_t RegCreateKeyExA(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& key) {
  return OpenOrCreate(parent, subKey, access, key, true);
}

std::int32_t RegOpenKeyExA(Hkey parent, const std::string& subKey, std::uint32_t access, Hkey& key) {
  return OpenOrCreate(parent, subKey, access, key, false);
}

std::int32_t RegCloseKey(Hkey key) {
  if (IsRoot(key)) return kErrorSuccess;
  return Reg().open.erase(key) == 1 ? kErrorSuccess : static_cast<std::int32_t>(kErrorInvalidHandle);
}

std::int32_t RegSetValueExA(Hkey handle, const std::string& name, std::uint32_t type, const void* data,
                            std::uint32_t size) {
  OpenKey where;
  Key* key = Resolve(handle, where);
  if (!key) return Reg().open.count(handle) ? kErrorKeyDeleted : kErrorInvalidHandle;
  if (!(where.access & kKeySetValue)) return kErrorAccessDenied;
  if (name.size() > 16383) return kErrorInvalidParameter;  // longer than a value name may be
  RegValue value{type, size ? std::string(static_cast<const char*>(data), size) : std::string()};
  key->values[Upper(name)] = Value{name, value};
  return kErrorSuccess;
}

std::int32_t RegQueryValueExA(Hkey handle, const std::string& name, std::uint32_t* type, void* data,
                              std::uint32_t* size) {
  OpenKey where;
  Key* key = Resolve(handle, where);
  if (!key) return Reg().open.count(handle) ? kErrorKeyDeleted : kErrorInvalidHandle;
  if (!(where.access & kKeyQueryValue)) return kErrorAccessDenied;
  auto it = key->values.find(Upper(name));
  if (it == key->values.end()) return kErrorFileNotFound;
  const RegValue& v = it->second.value;
  if (type) *type = v.type;
  auto needed = static_cast<std::uint32_t>(v.data.size());
  if (!data) {
    if (size) *size = needed;
    if (auto action = std::exchange(Reg().afterSizeQuery, nullptr)) action();
    return kErrorSuccess;
  }
  if (!size) return kErrorInvalidParameter;
  if (*size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  v.data.copy(static_cast<char*>(data), needed);
  *size = needed;
  return kErrorSuccess;
}

std::int32_t RegQueryInfoKeyA(Hkey handle, std::uint32_t& subKeys, std::uint32_t& values) {
  OpenKey where;
  Key* key = Resolve(handle, where);
  if (!key) return Reg().open.count(handle) ? kErrorKeyDeleted : kErrorInvalidHandle;
  subKeys = static_cast<std::uint32_t>(key->subKeys.size());
  values = static_cast<std::uint32_t>(key->values.size());
  return kErrorSuccess;
}

std::int32_t RegEnumKeyExA(Hkey handle, std::uint32_t index, std::string& name) {
  OpenKey where;
  Key* key = Resolve(handle, where);
  if (!key) return Reg().open.count(handle) ? kErrorKeyDeleted : kErrorInvalidHandle;
  if (index >= key->subKeys.size()) return kErrorNoMoreItems;
  auto it = key->subKeys.begin();
  std::advance(it, index);
  name = it->second.name;
  return kErrorSuccess;
}

std::int32_t RegDeleteKeyA(Hkey parent, const std::string& subKey) {
  OpenKey where;
  Key* key = Resolve(parent, where);
  if (!key) return Reg().open.count(parent) ? kErrorKeyDeleted : kErrorInvalidHandle;
  if (subKey.empty() || subKey[0] == '\\') return kErrorBadPathname;
  std::vector<std::string> parts;
  for (auto& part : Split(subKey)) parts.push_back(Upper(part));
  Key* owner = key;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    auto sub = owner->subKeys.find(parts[i]);
    if (sub == owner->subKeys.end()) return kErrorFileNotFound;
    owner = &sub->second;
  }
  auto victim = owner->subKeys.find(parts.back());
  if (victim == owner->subKeys.end()) return kErrorFileNotFound;
  if (!victim->second.subKeys.empty()) return kErrorAccessDenied;  // Windows NT keeps keys with subkeys
  std::vector<std::string> full = where.path;
  full.insert(full.end(), parts.begin(), parts.end());
  if (ReadOnlyOnPath(where.root, full)) return kErrorAccessDenied;
  owner->subKeys.erase(victim);
  return kErrorSuccess;
}

std::int32_t RegDeleteValueA(Hkey handle, const std::string& name) {
  OpenKey where;
  Key* key = Resolve(handle, where);
  if (!key) return Reg().open.count(handle) ? kErrorKeyDeleted : kErrorInvalidHandle;
  if (!(where.access & kKeySetValue)) return kErrorAccessDenied;
  return key->values.erase(Upper(name)) == 1 ? kErrorSuccess : static_cast<std::int32_t>(kErrorFileNotFound);
}

}  // namespace os
