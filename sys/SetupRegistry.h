// Registry access for the install run: root keys by name, string and number
// values, key trees, the uninstall entry, and the Start Menu Programs folder.
#pragma once
#include <string>

#include "os/OsRegistry.h"
#include "os/OsTypes.h"

// The root key named exactly (case-sensitive, whole text) by one of the seven
// "HKEY_..." names; 0 when the name is none of them.
os::Hkey RootKeyByName(const std::string& name);

// The key path relative to its root: a leading backslash means the same as none.
std::string RegKeyPath(const std::string& keyPath);

// The key opened (or, with `create`, created when missing) with full access;
// empty for root 0 or a key Windows does not open.
os::UniqueKey OpenRegKey(os::Hkey root, const std::string& keyPath, bool create = false);

// The text that :reg data of the number form "#digits#" holds between its
// first and last character; empty when the data is shorter than two.
std::string RegNumberDigits(const std::string& data);

// Creates the key when missing and writes the value: data "#n#" as a DWORD
// (the first and last characters dropped), any other data as REG_SZ. Writing
// "PrimaryProvider" keeps the text it replaces in "PreviousProvider".
// Throws ConvertError for a number that does not convert and RegistryError
// ("Failed to set data for '<name>'") when the system refuses the value.
// An unknown root or a key that cannot be opened writes nothing.
void WriteRegValue(const std::string& root, const std::string& keyPath, const std::string& name,
                   const std::string& data);

// The text of a REG_SZ or REG_EXPAND_SZ value (not expanded); empty when the
// root is unknown, the key cannot be opened or the value is missing. Never
// creates the key. Throws RegistryError ("Invalid data type for '<name>'")
// for a value of another type.
std::string ReadRegString(const std::string& root, const std::string& keyPath, const std::string& name);

// Deletes the key with all its subkeys at every depth; reports nothing.
// An empty key path deletes nothing (it would name the whole root).
void DeleteRegKey(const std::string& root, const std::string& keyPath);

// "DisplayName" and "UninstallString" under HKEY_LOCAL_MACHINE's
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<keyName>.
void WriteUninstallEntry(const std::string& keyName, const std::string& displayName,
                         const std::string& command);

// What the install records beside the uninstall command for the uninstaller to check the data
// file against: the install folder and the SHA-256 digest of the data file (sys/Digest.h).
constexpr const char kInstallLocationValue[] = "InstallLocation";
constexpr const char kDataDigestValue[] = "UninstallDataDigest";
void WriteUninstallSeal(const std::string& keyName, const std::string& installDir, const std::string& digest);

// The current user's Start Menu Programs folder as stored under Explorer's
// "Shell Folders"; empty when the key cannot be opened or the value is missing.
std::string ProgramsFolder();

// The text as a signed 32-bit integer: optional sign and decimal digits.
// Throws ConvertError ("'<text>' is not a valid integer value") otherwise.
int TextToInt(const std::string& text);
// The same, answering `fallback` instead of throwing.
int TextToIntDef(const std::string& text, int fallback);
