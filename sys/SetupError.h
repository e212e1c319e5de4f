// The few failures that stop an operation, as one small exception hierarchy.
// Everything else is silent or logged.
#pragma once
#include <cstdint>
#include <exception>
#include <string>

// Base of every exception the system throws. It keeps its message itself rather than deriving
// from std::runtime_error, whose message string drags a second string implementation into the
// products.
class SetupError : public std::exception {
 public:
  explicit SetupError(std::string what) : what_(std::move(what)) {}
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string what_;
};

// The installation list was read past its last line (a section without its
// terminator, a positional section cut short, a head of fewer than three lines).
class ListError : public SetupError {
 public:
  ListError(const std::string& section, const std::string& missing)
      : SetupError("The installation list is malformed: " + section + " " + missing), section_(section) {}
  const std::string& section() const { return section_; }

 private:
  std::string section_;
};

// A text that should hold a number does not convert ("'12x' is not a valid integer value").
class ConvertError : public SetupError {
 public:
  using SetupError::SetupError;
};

// The registry refused a value, or a value has a type the caller cannot use.
class RegistryError : public SetupError {
 public:
  using SetupError::SetupError;
};

// A system call failed where the caller must not go on; carries the system error code.
class SystemError : public SetupError {
 public:
  SystemError(const std::string& what, std::uint32_t code)
      : SetupError(what + " (system error " + std::to_string(code) + ")"), code_(code) {}
  std::uint32_t code() const { return code_; }

 private:
  std::uint32_t code_;
};
