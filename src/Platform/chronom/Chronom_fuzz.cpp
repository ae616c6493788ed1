// Feeds arbitrary short texts to the date-time reader. Whatever reads must
// give a finite ds50 and the same key as that ds50; within the years the
// two-digit date text can name, writing it and reading it back must land on
// the same millisecond and write the same text again.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Services/chronom.h"

namespace {

constexpr size_t kMaxInput = 64;
constexpr double kFirstDay = 2558.0;  // 1957 January 1
constexpr double kEndDay = 36891.0;   // 2057 January 1
constexpr double kHalfMsSlop = 0.5 / 86400000.0 + 1e-11;

void require(bool cond) {
  if (!cond) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  bool ok = true;
  const double ds50 = vx::dtg2ds50utc(text, &ok);
  if (!ok) {
    require(ds50 == 0.0);
    return 0;
  }
  require(std::isfinite(ds50));
  if (!text.empty()) require(vx::createsatkey(1, 1, text, -1.0) == vx::createsatkey(1, 1, {}, ds50));

  // Stay half a millisecond clear of the end, which would round into 2057
  // and read back as 1957.
  if (ds50 < kFirstDay || ds50 >= kEndDay - 1e-8) return 0;
  char first[15];
  vx::ds50todate15(ds50, first);
  bool again = false;
  const double back = vx::dtg2ds50utc(std::string_view(first, 15), &again);
  require(again);
  require(std::fabs(back - ds50) <= kHalfMsSlop);
  char second[15];
  vx::ds50todate15(back, second);
  for (size_t i = 0; i < 15; ++i) require(first[i] == second[i]);
  return 0;
}
