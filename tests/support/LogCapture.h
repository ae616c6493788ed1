// Collects every trace-log line written while it lives, for tests that pin
// message texts.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "veltrix/kernix.h"

namespace vx::testing {

class LogCapture {
 public:
  LogCapture() { KernixSetLogCallback(&LogCapture::take, this); }
  ~LogCapture() { KernixSetLogCallback(nullptr, nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> errors() const {
    std::lock_guard<std::mutex> l(m_);
    return errors_;
  }
  std::vector<std::string> infos() const {
    std::lock_guard<std::mutex> l(m_);
    return infos_;
  }
  // Every line in the order written, errors marked "E ", information "I ".
  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> l(m_);
    return lines_;
  }
  void clear() {
    std::lock_guard<std::mutex> l(m_);
    errors_.clear();
    infos_.clear();
    lines_.clear();
  }

 private:
  static void take(int32_t isError, const char* text, int32_t len, void* user) {
    auto* self = static_cast<LogCapture*>(user);
    std::lock_guard<std::mutex> l(self->m_);
    (isError ? self->errors_ : self->infos_).emplace_back(text, static_cast<size_t>(len));
    self->lines_.push_back((isError ? "E " : "I ") + std::string(text, static_cast<size_t>(len)));
  }
  mutable std::mutex m_;
  std::vector<std::string> errors_;
  std::vector<std::string> infos_;
  std::vector<std::string> lines_;
};

}  // namespace vx::testing
