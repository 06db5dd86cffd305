// Collects the status lines that a pass or the driver logs, instead of printing them.
// Reads nothing; writes the lines into `lines` while it lives.
#pragma once

#include <string>
#include <vector>

#include "log_status.h"

namespace tsd::fuzz {

class StatusLines {
 public:
  StatusLines() {
    lines_ = &lines;
    tarvex::set_log_status([](const char* line) { lines_->emplace_back(line); });
  }
  ~StatusLines() {
    tarvex::set_log_status(nullptr);
    lines_ = nullptr;
  }
  StatusLines(const StatusLines&) = delete;
  StatusLines& operator=(const StatusLines&) = delete;

  std::vector<std::string> lines;

 private:
  static inline std::vector<std::string>* lines_ = nullptr;
};

}  // namespace tsd::fuzz
