// The one guard every exported function body runs in: no exception ever
// crosses the C boundary. A failed allocation (or anything else thrown)
// becomes the function's failure result and one trace-log line naming the
// exported function.
#pragma once

#include <new>
#include <string>
#include <string_view>

#include "Services/kernix.h"

namespace vx {

inline void logboundaryfailure(std::string_view routine, std::string_view what) noexcept {
  char buf[160];
  size_t n = 0;
  for (char c : routine)
    if (n < sizeof buf) buf[n++] = c;
  for (char c : what)
    if (n < sizeof buf) buf[n++] = c;
  tracelogerror(std::string_view(buf, n));
}

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
