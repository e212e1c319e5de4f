// A cryptographic digest of bytes: proves that a file is the one that was
// written, byte for byte, where a check sum would not stand up to someone
// who changes it on purpose.
#pragma once
#include <string>

// The SHA-256 digest of the bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);
