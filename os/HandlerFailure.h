// What a form's handler throws while the system is calling one of our
// windows. A window procedure is called from code that cannot pass a C++
// exception on, so the exception is caught at that boundary, kept here, and
// thrown again by the message loop that handed the message out: in the
// program's own code, where it unwinds as if the handler had thrown there.
// Both the real and the in-memory user interface use this.
#pragma once
#include <exception>
#include <utility>

namespace os::detail {

inline std::exception_ptr& PendingFailure() {
  static std::exception_ptr pending;
  return pending;
}

// Runs a handler; what it throws is kept (the first of several wins).
template <typename Handler>
void Deliver(Handler&& handler) noexcept {
  try {
    handler();
  } catch (...) {
    if (!PendingFailure()) PendingFailure() = std::current_exception();
  }
}

// Called by the loops after each message they handed out.
inline void RethrowPendingFailure() {
  if (std::exception_ptr failure = std::exchange(PendingFailure(), nullptr)) std::rethrow_exception(failure);
}

}  // namespace os::detail
