// Host-side text buffers of the C interface, for tests: input texts blank
// padded to their declared length, output texts read back without their
// blank padding.
#pragma once

#include <cstddef>
#include <string>

namespace vx::testing {

inline std::string hostText(const std::string& s, size_t len = 512) {
  std::string t = s;
  t.resize(len, ' ');
  return t;
}

inline std::string trimmed(const char* buf, size_t n) {
  std::string s(buf, n);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

}  // namespace vx::testing
