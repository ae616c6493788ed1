// Fixed-column and list-form numeric text. Readers never build a value up in
// floating point: a real field's digits are gathered as an exact integer,
// and when there are at most 19 of them below 2^53 and the power of ten is
// itself exact (up to 1e22), one IEEE multiplication or division gives the
// correctly rounded value, the same first step std::from_chars takes. Any
// other field is written as "[-]digits e exponent" into a stack buffer and
// converted by one std::from_chars. Writers lay out the digits of
// std::to_chars.
#include "Platform/kernix/core/Format.h"

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace vx::fmt {

namespace {

// Room for the fixed-point text of writeF: "-", 309 integer digits of the
// largest double, the point and the decimals. Wider fields than fit here get
// asterisks.
constexpr size_t kFixedRoom = 400;
// Significant digits a real field may carry; zeros before the first nonzero
// digit and after the last one do not count. Room for every digit writeF can
// write (kFixedRoom), so that every written field reads back; the buffer is
// on the stack and only the digits found are touched.
constexpr size_t kRealDigits = 400;
// Exponents are clamped here while they are collected: far beyond any double
// even with kRealDigits digits, yet small enough never to overflow.
constexpr int64_t kExpCap = 100000;
// Largest d of Ew.d.
constexpr int kMaxEDigits = 64;

bool stars(char* out, int w) {
  std::memset(out, '*', static_cast<size_t>(w));
  return false;
}

// Right-aligns text[0, len) in out[0, w); len <= w.
void placeRight(char* out, int w, const char* text, size_t len) {
  const size_t pad = static_cast<size_t>(w) - len;
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, text, len);
}

// Integers are exact in integer arithmetic, so they are accumulated as read.
template <class T>
bool readIntT(std::string_view field, T& out) {
  uint64_t mag = 0;
  size_t sigDigits = 0;  // digits from the first nonzero one on
  bool started = false, neg = false, digits = false, sig = false;
  for (const char c : field) {
    if (c == ' ') continue;
    if (!started) {
      started = true;
      if (c == '+' || c == '-') {
        neg = c == '-';
        continue;
      }
    }
    const auto digit = static_cast<unsigned>(c - '0');
    if (digit >= 10) return false;
    digits = true;
    mag = mag * 10 + digit;
    sig |= digit != 0;
    sigDigits += sig;
  }
  if (started && !digits) return false;  // a sign alone
  // 19 digits always fit in mag; the limit then decides.
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<T>::max()) + (neg ? 1 : 0);
  if (sigDigits > 19 || mag > limit) return false;
  out = static_cast<T>(neg ? static_cast<int64_t>(uint64_t{0} - mag) : static_cast<int64_t>(mag));
  return true;
}

// The fast path below relies on one IEEE double operation rounding once.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not use wider registers");

// The value of the mantissa digits in [first, last) (blanks and a point may
// sit among them) times 10^e10, by one correctly rounded std::from_chars of
// "[-]digits e exponent" built on the stack. Taken only when the fast path
// of readReal cannot be, so it is kept out of line.
[[gnu::noinline]] bool convertDigits(const char* first, const char* last, bool neg, int64_t e10,
                                     double& out) {
  // buf[0] receives the "-", then the significant digits, "e" and an
  // exponent of at most 7 characters.
  char buf[1 + kRealDigits + 1 + 7];
  size_t n = 1;
  int64_t zeros = 0;  // zeros after the last nonzero digit, not yet placed
  for (; first != last; ++first) {
    const char c = *first;
    if (c < '0' || c > '9') continue;  // blanks and the point
    if (c == '0') {
      // Leading zeros are dropped, trailing ones only move the exponent:
      // the buffer holds significant digits alone.
      zeros += n > 1;
      continue;
    }
    if (static_cast<int64_t>(n - 1) + zeros >= static_cast<int64_t>(kRealDigits)) return false;
    for (; zeros > 0; --zeros) buf[n++] = '0';
    buf[n++] = c;
  }
  if (n == 1) {  // every digit was zero: a zero of the written sign
    out = neg ? -0.0 : 0.0;
    return true;
  }
  e10 = std::clamp(e10 + zeros, -kExpCap, kExpCap);
  buf[n++] = 'e';
  const auto [expEnd, expEc] = std::to_chars(buf + n, buf + sizeof buf, e10);
  if (expEc != std::errc{}) return false;
  const char* text = buf + 1;
  if (neg) {
    buf[0] = '-';
    text = buf;
  }
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text, expEnd, v);
  // out_of_range: the value overflows, or underflows to zero; neither fits.
  if (ec != std::errc{} || end != expEnd) return false;
  out = v;
  return true;
}

}  // namespace

// ---- Fixed-column input ----------------------------------------------------

bool readInt(std::string_view field, int32_t& out) { return readIntT(field, out); }

bool readInt64(std::string_view field, int64_t& out) { return readIntT(field, out); }

namespace {

// readReal with the value scaled by 10^scale (|scale| <= kExpCap), inlined
// into both readers so that the plain read keeps its speed.
inline bool readRealImpl(std::string_view field, int implied, int64_t scale, double& out) {
  const char* p = field.data();
  const char* const last = p + field.size();
  while (p != last && *p == ' ') ++p;
  if (p == last) {  // all blank
    out = 0.0;
    return true;
  }
  bool neg = false;
  if (*p == '+' || *p == '-') {
    neg = *p == '-';
    ++p;
  }

  // Mantissa: digits, blanks and at most one point. mant holds the digits
  // exactly while there are at most 19 of them; longer mantissas go to
  // convertDigits, which also takes the zeros off both ends.
  const char* const mantFirst = p;
  uint64_t mant = 0;
  size_t nd = 0;         // digits
  size_t ndAtPoint = 0;  // digits before the point
  bool point = false;
  for (;;) {
    unsigned digit;
    while (p != last && (digit = static_cast<unsigned>(*p - '0')) < 10) {
      mant = mant * 10 + digit;
      ++nd;
      ++p;
    }
    if (p == last) break;
    if (*p == '.' && !point) {
      point = true;
      ndAtPoint = nd;
    } else if (*p != ' ') {
      break;
    }
    ++p;
  }
  if (nd == 0) return false;  // a lone sign or point, or no mantissa
  const char* const mantLast = p;

  // Exponent: "E" or "D" and an optional sign, or a sign alone; then digits.
  int64_t expVal = 0;
  bool expNeg = false;
  if (p != last) {
    const char c = *p++;
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      while (p != last && *p == ' ') ++p;
      if (p != last && (*p == '+' || *p == '-')) expNeg = *p++ == '-';
    } else if (c == '+' || c == '-') {
      expNeg = c == '-';
    } else {
      return false;  // any other character, a second point included
    }
    bool expDigits = false;
    for (; p != last; ++p) {
      const auto digit = static_cast<unsigned>(*p - '0');
      if (digit < 10) {
        expDigits = true;
        expVal = std::min(expVal * 10 + digit, kExpCap);
      } else if (*p != ' ') {
        return false;
      }
    }
    if (!expDigits) return false;
  }

  // A written point overrides the implied decimals.
  const int64_t frac = point ? static_cast<int64_t>(nd - ndAtPoint) : int64_t{implied};
  const int64_t e10 = (expNeg ? -expVal : expVal) - frac + scale;
  // Most fields hold at most 15 significant digits and a small exponent:
  // then the digits and the power of ten are both exact doubles and one
  // multiplication or division rounds the value correctly, exactly as
  // from_chars would (it takes the same path first). A zero keeps the sign
  // it was written with ("-.00000000" reads -0.0).
  if (nd <= 19 && mant <= (uint64_t{1} << 53) && e10 >= -kMaxExactPow10 && e10 <= kMaxExactPow10) {
    const double m = static_cast<double>(mant);
    const double v = e10 < 0 ? m / kExactPow10[-e10] : m * kExactPow10[e10];
    out = neg ? -v : v;
    return true;
  }
  return convertDigits(mantFirst, mantLast, neg, e10, out);
}

}  // namespace

bool readReal(std::string_view field, int implied, double& out) { return readRealImpl(field, implied, 0, out); }

bool readRealScaled(std::string_view field, int implied, int32_t scale, double& out) {
  return readRealImpl(field, implied, std::clamp<int64_t>(scale, -kExpCap, kExpCap), out);
}

// ---- Fixed-column output ---------------------------------------------------

namespace {

// The d-decimal text of a, the fast way, when it can be proved correct: n is
// the integer nearest a * 10^d, and n scaled back once by the exact power of
// ten is exactly a. Then a is the double nearest to n * 10^-d, within half a
// unit of its last place, and that unit is finer than 1e-d (a * 10^d stays
// below 2^52), so n * 10^-d is the correctly rounded text: the one the
// fixed-precision conversion gives. Values read from text nearly always pass;
// every other value takes the fixed-precision conversion. Null when the
// proof does not hold.
char* exactScaledFixed(char* first, char* last, double a, int d) {
  if (d < 0 || d > 15) return nullptr;
  const double scaled = a * kExactPow10[d];
  if (!(scaled < 4503599627370496.0)) return nullptr;  // 2^52
  const double n = std::nearbyint(scaled);
  if (n / kExactPow10[d] != a) return nullptr;
  char digits[24];
  const auto [dEnd, ec] = std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(n));
  if (ec != std::errc{}) return nullptr;
  const int len = static_cast<int>(dEnd - digits);
  const int intLen = len > d ? len - d : 1;  // at least the zero before the point
  if (last - first < intLen + 1 + d) return nullptr;
  char* p = first;
  if (len > d) {
    std::memcpy(p, digits, static_cast<size_t>(intLen));
    p += intLen;
  } else {
    *p++ = '0';
  }
  if (d == 0) return p;
  *p++ = '.';
  for (int i = len; i < d; ++i) *p++ = '0';  // leading zeros of the decimals
  const int fracDigits = len > d ? d : len;
  std::memcpy(p, dEnd - fracDigits, static_cast<size_t>(fracDigits));
  return p + fracDigits;
}

}  // namespace

bool writeF(char* out, int w, int d, double v) {
  if (w <= 0) return false;
  if (d < 0 || !std::isfinite(v)) return stars(out, w);
  char buf[kFixedRoom];
  char* p = buf;
  const bool neg = v < 0;  // -0.0 is written as plain zero
  if (neg) *p++ = '-';
  // One character stays free for the point of Fw.0.
  char* end = exactScaledFixed(p, buf + sizeof buf - 1, std::fabs(v), d);
  if (end == nullptr) {
    const auto [end0, ec] = std::to_chars(p, buf + sizeof buf - 1, std::fabs(v), std::chars_format::fixed, d);
    if (ec != std::errc{}) return stars(out, w);
    end = end0;
  }
  if (d == 0) *end++ = '.';
  const char* text = buf;
  size_t len = static_cast<size_t>(end - buf);
  const size_t width = static_cast<size_t>(w);
  if (len == width + 1 && d > 0 && p[0] == '0') {
    // One character short: the zero before the point goes.
    if (neg) buf[1] = '-';
    ++text;
    --len;
  }
  if (len > width) return stars(out, w);
  placeRight(out, w, text, len);
  return true;
}

bool writeI(char* out, int w, int64_t v, int m) {
  if (w <= 0) return false;
  if (m < 0) m = 1;
  const size_t width = static_cast<size_t>(w);
  if (v == 0 && m == 0) {
    std::memset(out, ' ', width);
    return true;
  }
  const bool neg = v < 0;
  // Magnitude in unsigned arithmetic, so that INT64_MIN has one too.
  const uint64_t mag = neg ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  char digits[24];
  const auto [dEnd, ec] = std::to_chars(digits, digits + sizeof digits, mag);
  (void)ec;  // 24 characters hold every uint64_t
  const size_t nd = static_cast<size_t>(dEnd - digits);
  const size_t body = std::max(nd, static_cast<size_t>(m));
  const size_t len = body + (neg ? 1 : 0);
  if (len > width) return stars(out, w);
  char* p = out;
  std::memset(p, ' ', width - len);
  p += width - len;
  if (neg) *p++ = '-';
  std::memset(p, '0', body - nd);
  std::memcpy(p + (body - nd), digits, nd);
  return true;
}

bool writeE(char* out, int w, int d, double v) {
  if (w <= 0) return false;
  if (d < 1 || d > kMaxEDigits || !std::isfinite(v)) return stars(out, w);
  // to_chars gives "d.ddde+xx" with d significant digits; the written form
  // moves the point one place left, so the exponent grows by one.
  char sci[kMaxEDigits + 16];
  const double mag = std::fabs(v);
  const auto [sEnd, sEc] = std::to_chars(sci, sci + sizeof sci, mag,
                                         std::chars_format::scientific, d - 1);
  if (sEc != std::errc{}) return stars(out, w);
  const char* ePos = std::find(sci, sEnd, 'e');
  int exp = 0;
  if (mag != 0.0) {
    const char* expFirst = ePos + 1;
    if (*expFirst == '+') ++expFirst;
    std::from_chars(expFirst, sEnd, exp);
    ++exp;
  }

  char buf[kMaxEDigits + 16];
  char* p = buf;
  const bool neg = v < 0;
  if (neg) *p++ = '-';
  char* zero = p;
  *p++ = '0';
  *p++ = '.';
  *p++ = sci[0];
  if (d > 1) {  // the digits after to_chars' point
    const size_t rest = static_cast<size_t>(d - 1);
    std::memcpy(p, sci + 2, rest);
    p += rest;
  }
  const int absExp = exp < 0 ? -exp : exp;
  if (absExp <= 99) {
    *p++ = 'E';
    *p++ = exp < 0 ? '-' : '+';
    *p++ = static_cast<char>('0' + absExp / 10);
    *p++ = static_cast<char>('0' + absExp % 10);
  } else {  // three digits take the place of the "E"
    *p++ = exp < 0 ? '-' : '+';
    *p++ = static_cast<char>('0' + absExp / 100);
    *p++ = static_cast<char>('0' + absExp / 10 % 10);
    *p++ = static_cast<char>('0' + absExp % 10);
  }
  const char* text = buf;
  size_t len = static_cast<size_t>(p - buf);
  const size_t width = static_cast<size_t>(w);
  if (len == width + 1) {
    if (neg) *zero = '-';
    ++text;
    --len;
  }
  if (len > width) return stars(out, w);
  placeRight(out, w, text, len);
  return true;
}

void writeA(char* out, int w, std::string_view s) {
  if (w <= 0) return;
  const size_t width = static_cast<size_t>(w);
  const size_t n = std::min(width, s.size());
  std::memcpy(out, s.data(), n);
  std::memset(out + n, ' ', width - n);
}

// ---- List output -----------------------------------------------------------

size_t writeListReal(char* out, double v) {
  if (std::isnan(v)) {
    std::memcpy(out, "NaN", 3);
    return 3;
  }
  if (std::isinf(v)) {
    if (v > 0) {
      std::memcpy(out, "Infinity", 8);
      return 8;
    }
    std::memcpy(out, "-Infinity", 9);
    return 9;
  }
  if (v == 0.0) {
    // A negative zero keeps its sign, so that a value read from "-.00000000"
    // comes back as it was written.
    if (std::signbit(v)) {
      std::memcpy(out, "-0.0000000000000000", 19);
      return 19;
    }
    std::memcpy(out, "0.0000000000000000", 18);
    return 18;
  }
  // "d.dddddddddddddddde+xx": the 17 correctly rounded significant digits.
  char sci[32];
  const auto [sEnd, sEc] = std::to_chars(sci, sci + sizeof sci, std::fabs(v),
                                         std::chars_format::scientific, 16);
  (void)sEc;  // 32 characters hold every double at this precision
  char digits[17];
  digits[0] = sci[0];
  std::memcpy(digits + 1, sci + 2, 16);
  const char* expFirst = sci + 19;  // after "d.<16>e"
  if (*expFirst == '+') ++expFirst;
  int exp = 0;
  std::from_chars(expFirst, sEnd, exp);

  char* p = out;
  if (v < 0) *p++ = '-';
  if (exp == -1) {  // 0.1 <= |x| < 1: a zero, the point and 17 digits
    *p++ = '0';
    *p++ = '.';
    std::memcpy(p, digits, 17);
    p += 17;
  } else if (exp >= 0 && exp <= 16) {
    const size_t whole = static_cast<size_t>(exp) + 1;
    std::memcpy(p, digits, whole);
    p += whole;
    *p++ = '.';
    std::memcpy(p, digits + whole, 17 - whole);
    p += 17 - whole;
  } else {
    std::memcpy(p, sci, 18);  // "d.<16>"
    p += 18;
    *p++ = 'E';
    *p++ = exp < 0 ? '-' : '+';
    const int a = exp < 0 ? -exp : exp;
    *p++ = static_cast<char>('0' + a / 100);
    *p++ = static_cast<char>('0' + a / 10 % 10);
    *p++ = static_cast<char>('0' + a % 10);
  }
  return static_cast<size_t>(p - out);
}

size_t writeListInt(char* out, int64_t v) {
  const auto [end, ec] = std::to_chars(out, out + kListIntRoom, v);
  (void)ec;  // kListIntRoom holds every int64_t
  return static_cast<size_t>(end - out);
}

// ---- List input ------------------------------------------------------------

namespace {
// Characters that end an unquoted value.
inline bool endsValue(char c) { return c == ' ' || c == ',' || c == '/'; }
}  // namespace

ListReader::Got ListReader::next(std::string_view& item, bool& quoted) {
  if (slashed_) return Got::Null;
  const size_t len = text_.size();
  while (pos_ < len && text_[pos_] == ' ') ++pos_;
  if (pos_ == len) {
    // Only a comma promises one more value at the end of the text.
    if (!pending_) return Got::Error;
    pending_ = false;
    return Got::Null;
  }
  const char c = text_[pos_];
  if (c == '/') {
    slashed_ = true;
    return Got::Null;
  }
  if (c == ',') {
    // A comma where a value should start: the value is empty and this
    // comma is its separator.
    ++pos_;
    pending_ = true;
    return Got::Null;
  }
  quoted = c == '\'' || c == '"';
  if (quoted) {
    const size_t close = text_.find(c, pos_ + 1);
    if (close == std::string_view::npos) return Got::Error;
    item = text_.substr(pos_ + 1, close - pos_ - 1);
    pos_ = close + 1;
    if (pos_ < len && !endsValue(text_[pos_])) return Got::Error;
  } else {
    size_t end = pos_;
    while (end < len && !endsValue(text_[end])) ++end;
    item = text_.substr(pos_, end - pos_);
    pos_ = end;
  }
  // The separator after the value: blanks and at most one comma. A slash is
  // left for the next read to find.
  while (pos_ < len && text_[pos_] == ' ') ++pos_;
  pending_ = pos_ < len && text_[pos_] == ',';
  if (pending_) ++pos_;
  return Got::Value;
}

ListReader::Got ListReader::readInt(int32_t& out) {
  std::string_view item;
  bool quoted = false;
  const Got got = next(item, quoted);
  if (got != Got::Value) return got;
  if (quoted || !readIntT(item, out)) return Got::Error;
  return Got::Value;
}

ListReader::Got ListReader::readReal(double& out) {
  std::string_view item;
  bool quoted = false;
  const Got got = next(item, quoted);
  if (got != Got::Value) return got;
  if (quoted || !fmt::readReal(item, 0, out)) return Got::Error;
  return Got::Value;
}

ListReader::Got ListReader::readText(char* out, size_t width) {
  std::string_view item;
  bool quoted = false;
  const Got got = next(item, quoted);
  if (got != Got::Value) return got;
  const size_t n = std::min(width, item.size());
  std::memcpy(out, item.data(), n);
  std::memset(out + n, ' ', width - n);
  return Got::Value;
}

double halfunitshown(std::string_view field, int implied) {
  int decimals = implied;
  const size_t point = field.find('.');
  if (point != std::string_view::npos) {
    decimals = 0;
    for (size_t i = point + 1; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) ++decimals;
  }
  return 0.5 * std::pow(10.0, -decimals);
}

bool readsbackwithin(double value, double back, double tol) {
  return std::fabs(value - back) <= tol * (1 + 1e-9) + 1e-15 * std::fabs(value);
}

}  // namespace vx::fmt
