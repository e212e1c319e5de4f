// Looking at the message queue costs a call into the window system even when
// nothing waits (about 50 microseconds under Wine), more than a small step of
// a long loop. A loop that reports thousands of steps pumps through this: the
// first call handles what is pending, later ones only once the interval has
// passed, so the windows still answer (Cancel, repaints) within a fraction of
// a second without a look at the queue per step.
#pragma once
#include <cstdint>

#include "os/OsSystem.h"
#include "os/OsUi.h"

class MessagePump {
 public:
  static constexpr std::uint32_t kInterval = 20;  // milliseconds

  void Pump() {
    // Unsigned difference: right also when the tick count wraps.
    if (pumped_ && os::GetTickCount() - last_ < kInterval) return;
    os::ProcessMessages();
    last_ = os::GetTickCount();
    pumped_ = true;
  }

 private:
  std::uint32_t last_ = 0;
  bool pumped_ = false;
};
