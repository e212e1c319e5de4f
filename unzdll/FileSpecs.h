// Choosing entries by the caller's file specifications ("*" and "?" wildcards).
#pragma once

#include <string>
#include <vector>

#include "sys/TextBytes.h"

namespace unz {

// True when `name` matches `pattern`: letter case and the kind of slash do not matter, "*" stands
// for any run of characters (folder separators included) and "?" for one character.
// A double-byte character (a lead byte in `lead` and the byte after it) is one character, matched
// byte for byte.
bool WildMatch(const std::string& pattern, const std::string& name, const LeadBytes& lead = {});

// True when no specifications are given or one of them matches the whole stored name or, for a
// specification without a folder part, the name's last part.
bool SelectedBySpecs(const std::vector<std::string>& specs, const std::string& storedName, const LeadBytes& lead = {});

}  // namespace unz
