// Collects the status lines that a pass or the driver logs, instead of printing them.
// Reads nothing; writes the lines into `lines`, from its sink or from the context it was given.
#pragma once

#include <string>
#include <vector>

#include "conversion_context.h"

namespace tsd::fuzz {

class StatusLines {
 public:
  StatusLines() = default;
  explicit StatusLines(tarvex::ConversionContext& context) : context_(&context) { context.status = sink(); }
  ~StatusLines() {
    if (context_) context_->status = tarvex::StatusSink{};
  }
  StatusLines(const StatusLines&) = delete;
  StatusLines& operator=(const StatusLines&) = delete;

  tarvex::StatusSink sink() {
    return {[](void* self, const char* line) { static_cast<StatusLines*>(self)->lines.emplace_back(line); },
            this};
  }
  std::vector<std::string> lines;

 private:
  tarvex::ConversionContext* context_ = nullptr;
};

}  // namespace tsd::fuzz
