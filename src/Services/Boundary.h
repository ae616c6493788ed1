// The one guard every exported function body runs in: no exception ever
// crosses the C boundary. A failed allocation (or anything else thrown)
// becomes the function's failure result and one trace-log line naming the
// exported function.
#pragma once

#include <cstddef>
#include <new>
#include <string_view>

#include "Services/kernix.h"

namespace vx {

inline void logboundaryfailure(std::string_view routine, std::string_view what) noexcept {
  LogLine().text(routine, true).text(what, true).error();
}

// A host text argument (ended by its first NUL or by N) as a blank-padded
// internal string of N characters.
template <size_t N>
struct HostText {
  char buf[N];
  explicit HostText(const char* arr) { chararrtostr(arr, N, buf); }
  std::string_view view() const { return {buf, N}; }
};

// Runs f() and returns its result; returns onFail when f throws.
template <class R, class F>
R guarded(std::string_view routine, R onFail, F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    logboundaryfailure(routine, ": Memory allocation failed");
  } catch (...) {
    logboundaryfailure(routine, ": Unexpected internal failure");
  }
  return onFail;
}

// The same for exported functions without a result.
template <class F>
void guardedvoid(std::string_view routine, F&& f) noexcept {
  try {
    f();
  } catch (const std::bad_alloc&) {
    logboundaryfailure(routine, ": Memory allocation failed");
  } catch (...) {
    logboundaryfailure(routine, ": Unexpected internal failure");
  }
}

}  // namespace vx
