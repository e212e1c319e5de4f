// Test-only control of the in-memory registry: lay out keys and values,
// read back what was written, make keys read-only. Never in the products.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/OsRegistry.h"

namespace os::fake {

void ResetRegistry();  // empty roots; called by Reset()

struct RegValue {
  std::uint32_t type = kRegNone;
  std::string data;  // the bytes as stored
  bool operator==(const RegValue&) const = default;
};

// Paths are relative to the root, parts separated by "\".
void SetRegValue(Hkey root, const std::string& path, const std::string& name, const RegValue& value);
void SetRegString(Hkey root, const std::string& path, const std::string& name, const std::string& text);
void AddRegKey(Hkey root, const std::string& path);
std::optional<RegValue> RegValueAt(Hkey root, const std::string& path, const std::string& name);
// The text of a REG_SZ value without its terminating NUL; nullopt when the
// value is missing or has another type.
std::optional<std::string> RegStringAt(Hkey root, const std::string& path, const std::string& name);
std::optional<std::uint32_t> RegDwordAt(Hkey root, const std::string& path, const std::string& name);
bool RegKeyExists(Hkey root, const std::string& path);
std::vector<std::string> RegSubKeys(Hkey root, const std::string& path);
// The names of a key's values as they were written; empty when the key is missing.
std::vector<std::string> RegValueNames(Hkey root, const std::string& path);
// A read-only key may be opened for reading only; writes below it fail.
void SetRegKeyReadOnly(Hkey root, const std::string& path, bool readOnly);
int OpenRegKeyCount();  // handles opened and not yet closed
// Runs `action` right after the next query that asks only for a value's
// size: another program changing the value between a caller's two questions.
void AfterNextRegSizeQuery(std::function<void()> action);

}  // namespace os::fake
