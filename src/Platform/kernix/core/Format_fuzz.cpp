// Fuzzes the fixed-column readers and the list reader with arbitrary text,
// and checks the writers against the readers: whatever writeF, writeE, writeI
// and writeListReal produce reads back to the value within the written
// precision (exactly, for the 17 digits of the list form).
#include "Platform/kernix/core/Format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

using namespace vx::fmt;

constexpr size_t kMaxInput = 256;
constexpr int kImplied[] = {0, 1, 5, 7, 8};

void check(bool ok) {
  if (!ok) std::abort();
}

// The list form reads back with std::from_chars to the same double.
void listRealRoundTrip(double v) {
  char out[kListRealRoom];
  const size_t n = writeListReal(out, v);
  check(n > 0 && n <= kListRealRoom);
  if (!std::isfinite(v)) return;
  double back = 0.0;
  const auto [end, ec] = std::from_chars(out, out + n, back);
  check(ec == std::errc{} && end == out + n);
  check(back == v);
}

// Fw.d and Ew.d read back within half a unit of their last written digit,
// plus the rounding of the read itself.
void fixedRealRoundTrip(double v, int w, int d) {
  constexpr double kRel = 4.5e-16;
  constexpr double kTiny = std::numeric_limits<double>::denorm_min();
  char out[64];
  if (writeF(out, w, d, v)) {
    double back = 0.0;
    check(readReal(std::string_view(out, static_cast<size_t>(w)), d, back));
    const double tol = 0.5 * std::pow(10.0, -d) * (1 + 1e-9) + std::fabs(v) * kRel + kTiny;
    check(std::fabs(back - v) <= tol);
  }
  if (d >= 1 && writeE(out, w, d, v)) {
    double back = 0.0;
    if (!readReal(std::string_view(out, static_cast<size_t>(w)), 0, back)) {
      // Only a mantissa rounded up past the largest double fails to read.
      check(std::fabs(v) >= std::numeric_limits<double>::max() / (1 + 5 * std::pow(10.0, -d)));
      return;
    }
    const double mag = std::fmax(std::fabs(v), std::fabs(back));
    const double tol = 5 * std::pow(10.0, -d) * mag * (1 + 1e-9) + mag * kRel + kTiny;
    check(std::fabs(back - v) <= tol);
  }
}

void intRoundTrip(int64_t v) {
  char out[24];
  check(writeI(out, 24, v, 1));
  int64_t back = 0;
  check(readInt64(std::string_view(out, 24), back) && back == v);
  char list[kListIntRoom];
  const size_t n = writeListInt(list, v);
  back = 0;
  const auto [end, ec] = std::from_chars(list, list + n, back);
  check(ec == std::errc{} && end == list + n && back == v);
}

void checkRealValue(double v) {
  check(std::isfinite(v));
  listRealRoundTrip(v);
  for (const int d : {0, 4, 8}) fixedRealRoundTrip(v, 40, d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) size = kMaxInput;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Blanks never matter to a fixed-column read: the text without them reads
  // the same.
  char packed[kMaxInput];
  size_t np = 0;
  for (const char c : text)
    if (c != ' ') packed[np++] = c;
  const std::string_view compact(packed, np);

  for (const int implied : kImplied) {
    double v = 0.0, w = 0.0;
    const bool ok = readReal(text, implied, v);
    check(ok == readReal(compact, implied, w));
    if (!ok) continue;
    check(std::memcmp(&v, &w, sizeof v) == 0);
    checkRealValue(v);
  }

  int32_t i32 = 0;
  int64_t i64 = 0;
  const bool ok32 = readInt(text, i32);
  const bool ok64 = readInt64(text, i64);
  if (ok32) check(ok64 && i64 == i32);
  if (ok64) intRoundTrip(i64);

  // Raw bytes as a double and an integer, written with field sizes taken
  // from the input.
  if (size >= 10) {
    double v;
    std::memcpy(&v, data, sizeof v);
    listRealRoundTrip(v);
    const int w = 1 + data[8] % 60;
    const int d = data[9] % 20;
    if (std::isfinite(v)) fixedRealRoundTrip(v, w, d);
    int64_t iv;
    std::memcpy(&iv, data, sizeof iv);
    intRoundTrip(iv);
    char out[64];
    writeI(out, w, iv, d);
  }

  // The list reader, with the kind of each read taken from the input.
  ListReader reader(text);
  for (size_t i = 0; i < 64; ++i) {
    const uint8_t pick = size ? data[i % size] : 0;
    ListReader::Got got = ListReader::Got::Error;
    switch (pick % 3) {
      case 0: {
        int32_t v = 0;
        got = reader.readInt(v);
        break;
      }
      case 1: {
        double v = 0.0;
        got = reader.readReal(v);
        if (got == ListReader::Got::Value) checkRealValue(v);
        break;
      }
      default: {
        char out[16];
        got = reader.readText(out, sizeof out);
        break;
      }
    }
    if (got == ListReader::Got::Error) break;
  }
  return 0;
}
