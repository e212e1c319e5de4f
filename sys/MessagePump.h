// Looking at the message queue costs a call into the window system even when
// nothing waits (about 50 microseconds under Wine), more than a small step of
// a long loop. A loop that reports thousands of steps pumps through this: the
// first call handles what is pending, later ones only once the interval has
// passed, so that repaints still come within a fraction of a second. A pump
// that answers input at once (the install run's, whose Cancel must be
// answered before the next entry) also makes a cheaper test of the queue at
// every step, and hands a click or a key to the windows straight away.
#pragma once
#include <cstdint>

#include "os/OsSystem.h"
#include "os/OsUi.h"

class MessagePump {
 public:
  static constexpr std::uint32_t kInterval = 20;  // milliseconds
  // Input and the messages that carry a click on to its handler.
  static constexpr std::uint32_t kUrgent =
      os::kQsKey | os::kQsMouseButton | os::kQsPostMessage | os::kQsSendMessage | os::kQsHotkey;

  explicit MessagePump(bool inputAtOnce = false) : inputAtOnce_(inputAtOnce) {}

  void Pump() {
    // Unsigned difference: right also when the tick count wraps.
    bool due = !pumped_ || os::GetTickCount() - last_ >= kInterval;
    if (!due && (!inputAtOnce_ || (os::GetQueueStatus(kUrgent) >> 16) == 0)) return;
    os::ProcessMessages();
    last_ = os::GetTickCount();
    pumped_ = true;
  }

 private:
  bool inputAtOnce_;
  std::uint32_t last_ = 0;
  bool pumped_ = false;
};
