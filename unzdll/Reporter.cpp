// Building and sending callback records.
#include "unzdll/Reporter.h"

#include <cstring>

namespace unz {

bool Reporter::Send(ZCallbackCode code, const std::string& text, std::int32_t value, std::uint32_t size,
                    CallbackRecord* answer) {
  if (stopped_) return false;
  CallbackRecord local;
  CallbackRecord& record = answer ? *answer : local;
  std::memset(&record, 0, sizeof record);
  record.Caller = caller_;
  record.ActionCode = code;
  record.ErrorCode = value;
  record.Size = size;
  const std::size_t n = WholeCharsWithin(text, kCallbackTextSize - 1, lead_);
  std::memcpy(record.Text, text.data(), n);
  if (callback_ == nullptr) return true;
  if (callback_(&record) != 0) stopped_ = true;
  return !stopped_;
}

}  // namespace unz
