// Sends callback records to the caller and remembers when it asked to stop.
#pragma once

#include <cstdint>
#include <string>

#include "sys/TextBytes.h"
#include "zip/UNZDLL.h"
#include "zip/ZipCallbacks.h"

namespace unz {

class Reporter {
 public:
  explicit Reporter(const ExtractRequest& request)
      : callback_(request.ZCallbackFunc), caller_(request.Caller) {}

  // Fills a fresh record, calls back and leaves the caller's answers in `answer`. False once the
  // caller has asked to stop; after that nothing more is sent.
  bool Send(ZCallbackCode code, const std::string& text, std::int32_t value, std::uint32_t size,
            CallbackRecord* answer = nullptr);

  // Texts cut to fit a record end between characters of this code page.
  void SetLeadBytes(const LeadBytes& lead) { lead_ = lead; }
  bool Stopped() const { return stopped_; }
  bool HasCallback() const { return callback_ != nullptr; }

 private:
  ZFunctionPtrType callback_;
  void* caller_;
  bool stopped_ = false;
  LeadBytes lead_;
};

}  // namespace unz
