// RAII owners for the seam's handle kinds, each knowing its own empty value.
#pragma once
#include <utility>

#include "os/OsTypes.h"

namespace os {

template <typename T, T Empty, bool (*Close)(T)>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T value) : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(std::exchange(other.value_, Empty)) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Empty));
    return *this;
  }
  ~Unique() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Empty; }
  T release() { return std::exchange(value_, Empty); }
  void reset(T value = Empty) {
    if (value_ != Empty) Close(value_);
    value_ = value;
  }

 private:
  T value_ = Empty;
};

}  // namespace os
