#include "Platform/kernix/core/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "Platform/kernix/core/Format.h"

namespace vx {

void chararrtostr(const char* arr, size_t n, char* out) {
  size_t len = 0;
  if (arr != nullptr) {
    const void* nul = std::memchr(arr, '\0', n);
    len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - arr) : n;
    if (len > 0) std::memcpy(out, arr, len);
  }
  std::memset(out + len, ' ', n - len);
}

void strtochararr(std::string_view text, char* arr, size_t n) {
  if (arr == nullptr) return;
  size_t len = std::min(text.size(), n);
  if (len > 0) std::memcpy(arr, text.data(), len);
  std::memset(arr + len, ' ', n - len);
}

void touppercase(char* text, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

bool isblankornull(std::string_view text) {
  for (char c : text)
    if (c != ' ' && c != '\0') return false;
  return true;
}

std::string_view trimmed(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\0')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\0')) --e;
  return text.substr(b, e - b);
}

std::string_view rtrimmed(std::string_view text) {
  size_t e = text.size();
  while (e > 0 && (text[e - 1] == ' ' || text[e - 1] == '\0')) --e;
  return text.substr(0, e);
}

void leftadjust(char* text, size_t n) {
  size_t lead = 0;
  while (lead < n && text[lead] == ' ') ++lead;
  if (lead == 0 || lead == n) return;
  std::memmove(text, text + lead, n - lead);
  std::memset(text + n - lead, ' ', lead);
}

size_t firstunprintable(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u < 0x20 || u > 0x7E) return i;
  }
  return std::string_view::npos;
}

bool strtoint(std::string_view text, int32_t& out) { return fmt::readInt(text, out); }

bool strtoreal(std::string_view text, double& out) { return fmt::readReal(text, 0, out); }

void blanktozerochar(char* text, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (text[i] == ' ') text[i] = '0';
}

void getinputstr(std::string_view card, char* out, size_t outLen) {
  size_t eq = card.find('=');
  std::string_view value = eq == std::string_view::npos ? std::string_view() : trimmed(card.substr(eq + 1));
  strtochararr(value, out, outLen);
}

void getinputfilename(std::string_view card, char* out, size_t outLen) {
  size_t eq = card.find('=');
  std::string_view value = eq == std::string_view::npos ? std::string_view() : trimmed(card.substr(eq + 1));
  // A quoted name keeps its inner blanks; the quotes are not part of it.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) {
    size_t close = value.find(value.front(), 1);
    if (close != std::string_view::npos) value = value.substr(1, close - 1);
  }
  strtochararr(value, out, outLen);
}

void compresscsvline(char* line, size_t len) {
  size_t w = 0;
  for (size_t r = 0; r < len; ++r)
    if (line[r] != ' ') line[w++] = line[r];
  std::memset(line + w, ' ', len - w);
}

namespace {

void fillStars(char* field, int width) { std::memset(field, '*', static_cast<size_t>(width)); }

// Fixed text of |x| with the most decimals that fit in room characters
// (the zero before the point dropped where that makes one more decimal fit),
// always with its point; 0 when even the integer part does not fit.
size_t fixedFitting(double ax, int room, char* buf) {
  for (int dec = room - 1; dec >= 0; --dec) {
    char tmp[64];
    if (!fmt::writeF(tmp, room, dec, ax)) continue;
    std::string_view s = trimmed(std::string_view(tmp, static_cast<size_t>(room)));
    std::memcpy(buf, s.data(), s.size());
    return s.size();
  }
  return 0;
}

}  // namespace

void fx0tosignax(double x, int width, char* field) {
  if (width < 2 || !std::isfinite(x)) {
    if (width > 0) fillStars(field, width);
    return;
  }
  char buf[64];
  size_t n = fixedFitting(std::fabs(x), width - 1, buf);
  if (n == 0) {
    fillStars(field, width);
    return;
  }
  std::memset(field, ' ', static_cast<size_t>(width));
  char* end = field + width;
  std::memcpy(end - n, buf, n);
  field[0] = std::signbit(x) ? '-' : ' ';
}

void fx0toax(double x, int width, char* field) {
  if (width < 2 || !std::isfinite(x)) {
    if (width > 0) fillStars(field, width);
    return;
  }
  const bool neg = std::signbit(x) && x != 0.0;
  const int room = neg ? width - 1 : width;
  char buf[64];
  size_t n = fixedFitting(std::fabs(x), room, buf);
  if (n == 0) {
    fillStars(field, width);
    return;
  }
  std::memset(field, ' ', static_cast<size_t>(width));
  char* p = field + width - static_cast<int>(n);
  std::memcpy(p, buf, n);
  if (neg) p[-1] = '-';
}

namespace {
// Alpha-5 lead letters in order: A = 10 ... Z = 33, without I and O.
constexpr char kAlphaLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ";
}  // namespace

int32_t alpha5tonum(std::string_view text5) {
  if (text5.size() > 5) text5 = text5.substr(0, 5);
  if (text5.empty()) return 0;
  const char c = text5[0];
  if (c >= 'A' && c <= 'Z') {
    const char* p = std::strchr(kAlphaLetters, c);
    if (p == nullptr) return 0;
    int32_t rest = 0;
    std::string_view digits = text5.substr(1);
    for (char d : digits)
      if (d < '0' || d > '9') return 0;
    if (digits.size() != 4 || !fmt::readInt(digits, rest)) return 0;
    return static_cast<int32_t>((p - kAlphaLetters) + 10) * 10000 + rest;
  }
  int32_t v = 0;
  if (!fmt::readInt(text5, v)) return 0;
  return v;
}

void numtoalpha5(int32_t num, char out5[5]) {
  if (num < 0 || num > 339999) {
    std::memset(out5, '*', 5);
    return;
  }
  if (num < 100000) {
    fmt::writeI(out5, 5, num, 5);
    return;
  }
  out5[0] = kAlphaLetters[num / 10000 - 10];
  fmt::writeI(out5 + 1, 4, num % 10000, 4);
}

void cksum(std::string_view line, int first, int last, int32_t& sum, int32_t& err) {
  sum = 0;
  err = 0;
  if (first < 1 || last < first || static_cast<size_t>(last) > line.size()) {
    err = 1;
    return;
  }
  int32_t s = 0;
  for (int col = first; col <= last; ++col) {
    const unsigned char c = static_cast<unsigned char>(line[static_cast<size_t>(col - 1)]);
    if (c >= '0' && c <= '9')
      s += c - '0';
    else if (c == '-')
      s += 1;
    else if (c < 0x20 || c > 0x7e) {
      err = 1;
      return;
    }
  }
  sum = s % 10;
}

double fmod2p(double x) {
  constexpr double kTwoPi = 6.283185307179586;
  double r = std::fmod(x, kTwoPi);
  if (r < 0.0) r += kTwoPi;
  if (r >= kTwoPi) r = 0.0;  // -tiny + 2*pi rounds up to 2*pi
  return r;
}

bool eqr(double a, double b) {
  if (a == b) return true;
  const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
  return std::fabs(a - b) <= 1e-12 * scale;
}

bool ismaneuvcardtype(std::string_view line) {
  return line.size() >= 4 && line.substr(0, 4) == "MNVR";
}

void quicksortiterative(size_t n, char* texts, int64_t* keys, size_t textLen) {
  if (n < 2) return;
  std::vector<uint32_t> idx(n);
  std::iota(idx.begin(), idx.end(), 0u);
  std::stable_sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) {
    return std::memcmp(texts + a * textLen, texts + b * textLen, textLen) < 0;
  });
  std::vector<int64_t> sortedKeys(n);
  std::vector<char> sortedTexts(n * textLen);
  for (size_t i = 0; i < n; ++i) {
    sortedKeys[i] = keys[idx[i]];
    std::memcpy(sortedTexts.data() + i * textLen, texts + static_cast<size_t>(idx[i]) * textLen, textLen);
  }
  std::memcpy(keys, sortedKeys.data(), n * sizeof(int64_t));
  std::memcpy(texts, sortedTexts.data(), n * textLen);
}

}  // namespace vx
