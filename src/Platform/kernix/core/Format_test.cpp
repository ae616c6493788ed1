#include "Platform/kernix/core/Format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace vx::fmt {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- Fixed-column input ----------------------------------------------------

struct RealCase {
  const char* field;
  int implied;
  bool ok;
  double expected;
};

TEST(FormatReadReal, Table) {
  const RealCase cases[] = {
      // implied decimals
      {" 12345", 5, true, 0.12345},
      {"-12345", 5, true, -0.12345},
      {"0011425", 7, true, 0.0011425},
      {"12345-4", 5, true, 0.12345e-4},
      {"-12345-4", 5, true, -0.12345e-4},
      {"  123", 5, true, 0.00123},
      {" 00000-0", 5, true, 0.0},
      {"1234567", 2, true, 12345.67},
      // a written point overrides the implied decimals
      {" 3.5", 5, true, 3.5},
      {" 98.7654", 4, true, 98.7654},
      {" .00002489", 0, true, 0.00002489},
      {"-.00000036", 0, true, -0.00000036},
      {"258.65403101", 0, true, 258.65403101},
      {".5", 0, true, 0.5},
      {"5.", 0, true, 5.0},
      // blanks and signs
      {"", 0, true, 0.0},
      {"        ", 5, true, 0.0},
      {"+5", 0, true, 5.0},
      {"1 2 3", 0, true, 123.0},
      {"-  1 . 5", 0, true, -1.5},
      {"-0.000", 0, true, 0.0},
      // exponents
      {"1.5E3", 0, true, 1500.0},
      {"1.5e3", 0, true, 1500.0},
      {"1.5D-3", 0, true, 0.0015},
      {"1.5d+3", 0, true, 1500.0},
      {"1.5-3", 0, true, 0.0015},
      {"1.5+3", 0, true, 1500.0},
      {"1.E5", 0, true, 1e5},
      {"1 E 5", 0, true, 1e5},
      {"0E99999", 0, true, 0.0},
      {"-0D-99999", 0, true, -0.0},
      {"-00000000000000000000000000000000000000000000.000", 0, true, -0.0},
      // digits that only shift the exponent
      {"0.0000000000000000000000000000000000000000000000000000000001", 0, true, 1e-58},
      {"100000000000000000000000000000000000000000000000000000000000", 0, true, 1e59},
      {"0.1000000000000000000000000000000000000000000000000000000000", 0, true, 0.1},
      // exact conversion
      {"0.1", 0, true, 0.1},
      {"3.141592653589793238462643383279", 0, true, 3.141592653589793238462643383279},
      {"17976931348623157E292", 0, true, 1.7976931348623157e308},
      // failures
      {"-", 0, false, 0},
      {" + ", 5, false, 0},
      {".", 0, false, 0},
      {"-.", 0, false, 0},
      {"1.2.3", 0, false, 0},
      {"1E", 0, false, 0},
      {"1E+", 0, false, 0},
      {"1-", 0, false, 0},
      {"1D -", 0, false, 0},
      {"E5", 0, false, 0},
      {"-E5", 0, false, 0},
      {".E5", 0, false, 0},
      {"--5", 0, false, 0},
      {"+-5", 0, false, 0},
      {"1E5.0", 0, false, 0},
      {"1E5E3", 0, false, 0},
      {"1E5-3", 0, false, 0},
      {"1,5", 0, false, 0},
      {"12x", 0, false, 0},
      {"\t1", 0, false, 0},
      {"1.0E400", 0, false, 0},   // overflows
      {"1.0E-400", 0, false, 0},  // underflows to zero
      {"-25717981888555993283059328812852427573820207277277184.", 0, true,
       -25717981888555993283059328812852427573820207277277184.0},  // as F60.0 writes it
  };
  for (const auto& c : cases) {
    double v = -777.0;
    EXPECT_EQ(readReal(c.field, c.implied, v), c.ok) << '"' << c.field << "\" d=" << c.implied;
    if (c.ok) {
      EXPECT_EQ(v, c.expected) << '"' << c.field << "\" d=" << c.implied;
      // A zero keeps the sign it was written with.
      if (c.expected == 0.0) {
        const std::string_view f(c.field);
        const size_t first = f.find_first_not_of(' ');
        EXPECT_EQ(std::signbit(v), first != std::string_view::npos && f[first] == '-') << c.field;
      }
    } else {
      EXPECT_EQ(v, -777.0) << "output changed by failed read of \"" << c.field << '"';
    }
  }
}

TEST(FormatReadReal, DigitLimit) {
  double v = -777.0;
  EXPECT_TRUE(readReal("0." + std::string(400, '7'), 0, v));
  EXPECT_EQ(v, 0.77777777777777777777777777);
  EXPECT_FALSE(readReal("0." + std::string(401, '7'), 0, v));
  EXPECT_EQ(v, 0.77777777777777777777777777);
  // zeros around the significant digits do not count
  EXPECT_TRUE(readReal(std::string(300, '0') + "5" + std::string(300, '0') + "." + std::string(500, '0'), 0, v));
  EXPECT_EQ(v, 5e300);
}

// Every real read equals std::from_chars of the same digits: the short
// fields converted without it round exactly as the long ones converted with it.
TEST(FormatReadReal, AgreesWithFromChars) {
  uint64_t x = 0x2545F4914F6CDD1DULL;
  const auto next = [&x](uint64_t mod) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x % mod;
  };
  for (int i = 0; i < 100000; ++i) {
    std::string digits;
    const size_t nd = 1 + next(24);
    for (size_t k = 0; k < nd; ++k) digits += static_cast<char>('0' + next(10));
    const bool neg = next(2) == 1;
    const int exp = static_cast<int>(next(61)) - 30;
    const int implied = static_cast<int>(next(9));
    const bool withPoint = next(2) == 1;
    const size_t pointAt = next(nd + 1);

    // Built with appends only: GCC 12 at -O3 warns falsely about chained
    // string concatenation (-Wrestrict).
    std::string field;
    if (neg) field += '-';
    if (withPoint) {
      field.append(digits, 0, pointAt);
      field += '.';
      field.append(digits, pointAt, std::string::npos);
    } else {
      field += digits;
    }
    if (next(2)) {
      field += 'E';
    } else if (exp >= 0) {
      field += '+';
    }
    field += std::to_string(exp);
    const long scale = exp - (withPoint ? static_cast<long>(nd - pointAt) : implied);
    std::string plain;
    if (neg) plain += '-';
    plain += digits;
    plain += 'e';
    plain += std::to_string(scale);

    double expected = 0.0;
    std::from_chars(plain.data(), plain.data() + plain.size(), expected);
    double v = -777.0;
    ASSERT_TRUE(readReal(field, implied, v)) << field;
    ASSERT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << field << " d=" << implied << ": " << v
                                                       << " != " << expected;
  }
}

// The scale is one more power of ten on top of the implied decimals or the
// written point and exponent, applied in the one rounding.
TEST(FormatReadRealScaled, ScaleJoinsTheOneRounding) {
  struct Case {
    const char* field;
    int implied;
    int32_t scale;
    bool ok;
    double expected;
  };
  const Case cases[] = {
      {" 20000", 5, -5, true, 2e-06},       {"-11606", 5, -4, true, -1.1606e-05}, {"12345", 5, 9, true, 123450000.0},
      {"1.5", 5, -3, true, 1.5e-03},        {"1-2", 0, -1, true, 1e-03},           {"    ", 5, -5, true, 0.0},
      {"-00000", 5, 3, true, -0.0},         {"1x", 0, 1, false, 0},                {"1", 0, 2147483647, false, 0},
      {"1", 0, -2147483647 - 1, false, 0},
  };
  for (const Case& c : cases) {
    double v = -777.0;
    ASSERT_EQ(readRealScaled(c.field, c.implied, c.scale, v), c.ok) << c.field << " " << c.scale;
    if (!c.ok) {
      EXPECT_EQ(v, -777.0) << c.field;
      continue;
    }
    EXPECT_EQ(std::memcmp(&v, &c.expected, sizeof v), 0) << c.field << ": " << v;
  }
}

struct IntCase {
  const char* field;
  bool ok32;
  bool ok64;
  int64_t expected;
};

TEST(FormatReadInt, Table) {
  const IntCase cases[] = {
      {"  292", true, true, 292},
      {"-4", true, true, -4},
      {"+5", true, true, 5},
      {" - 4", true, true, -4},
      {"0292", true, true, 292},
      {"", true, true, 0},
      {"    ", true, true, 0},
      {"-0", true, true, 0},
      {"000000000000000000000000000007", true, true, 7},
      {"2147483647", true, true, 2147483647},
      {"-2147483648", true, true, -2147483648LL},
      {"2147483648", false, true, 2147483648LL},
      {"9223372036854775807", false, true, INT64_MAX},
      {"-9223372036854775808", false, true, INT64_MIN},
      {"9223372036854775808", false, false, 0},
      {"123456789012345678901234", false, false, 0},
      {"12.0", false, false, 0},
      {"1E3", false, false, 0},
      {"-", false, false, 0},
      {" + ", false, false, 0},
      {"5-", false, false, 0},
      {"+-5", false, false, 0},
      {"1x", false, false, 0},
  };
  for (const auto& c : cases) {
    int32_t v32 = -77;
    int64_t v64 = -77;
    EXPECT_EQ(readInt(c.field, v32), c.ok32) << '"' << c.field << '"';
    EXPECT_EQ(readInt64(c.field, v64), c.ok64) << '"' << c.field << '"';
    EXPECT_EQ(v32, c.ok32 ? c.expected : -77) << '"' << c.field << '"';
    EXPECT_EQ(v64, c.ok64 ? c.expected : -77) << '"' << c.field << '"';
  }
}

// ---- Fixed-column output ---------------------------------------------------

// Runs one writer into a guarded buffer: exactly w characters are written.
template <class Write>
std::string field(int w, Write write, bool& ok) {
  std::string buf(static_cast<size_t>(w) + 2, '#');
  ok = write(buf.data() + 1);
  EXPECT_EQ(buf.front(), '#');
  EXPECT_EQ(buf.back(), '#');
  return buf.substr(1, static_cast<size_t>(w));
}

struct RealOutCase {
  double v;
  int w, d;
  const char* text;  // asterisks mean the write fails
};

bool allStars(const char* text) { return text[0] == '*'; }

TEST(FormatWriteF, Table) {
  const RealOutCase cases[] = {
      {0.12345678, 9, 8, ".12345678"},
      {0.5, 9, 8, ".50000000"},
      {0.5, 10, 8, "0.50000000"},
      {1.5, 8, 4, "  1.5000"},
      {-1.5, 8, 4, " -1.5000"},
      {-0.5, 6, 4, "-.5000"},
      {-0.5, 7, 4, "-0.5000"},
      {-0.00001, 8, 4, " -0.0000"},
      {-0.0, 8, 4, "  0.0000"},
      {0.0, 4, 2, "0.00"},
      {0.0, 3, 2, ".00"},
      {51.6416, 8, 4, " 51.6416"},
      {359.99994, 8, 4, "359.9999"},
      {15.72125391, 11, 8, "15.72125391"},
      {0.123456786, 9, 8, ".12345679"},
      {12.4, 4, 0, " 12."},
      {0.4, 2, 0, "0."},
      {100.0, 11, 8, "***********"},      // mean motion of 100 or more
      {0.999999999, 9, 8, "*********"},   // day fraction that rounds up to 1
      {-0.5, 5, 4, "*****"},
      {1e300, 10, 2, "**********"},
      {kNaN, 6, 2, "******"},
      {kInf, 6, 2, "******"},
      {1.0, 4, -1, "****"},
  };
  for (const auto& c : cases) {
    bool ok = false;
    const std::string got = field(c.w, [&](char* o) { return writeF(o, c.w, c.d, c.v); }, ok);
    EXPECT_EQ(got, c.text) << "F" << c.w << "." << c.d << " of " << c.v;
    EXPECT_EQ(ok, !allStars(c.text)) << "F" << c.w << "." << c.d << " of " << c.v;
  }
}

TEST(FormatWriteE, Table) {
  const RealOutCase cases[] = {
      {12345.678, 12, 5, " 0.12346E+05"},
      {0.0, 10, 4, "0.0000E+00"},
      {-0.0, 10, 4, "0.0000E+00"},
      {-0.5, 11, 4, "-0.5000E+00"},
      {0.5, 9, 4, ".5000E+00"},
      {-0.5, 10, 4, "-.5000E+00"},
      {1e-5, 11, 5, "0.10000E-04"},
      {-0.000036, 11, 5, "-.36000E-04"},
      {0.99999, 10, 3, " 0.100E+01"},
      {1.5e100, 11, 5, "0.15000+101"},
      {1.5e-100, 11, 5, "0.15000E-99"},
      {2.5e-101, 11, 5, "0.25000-100"},
      {7.0, 6, 1, ".7E+01"},
      {7.0, 8, 1, " 0.7E+01"},
      {12345.678, 8, 5, "********"},
      {1.0, 5, 0, "*****"},
      {kNaN, 10, 4, "**********"},
  };
  for (const auto& c : cases) {
    bool ok = false;
    const std::string got = field(c.w, [&](char* o) { return writeE(o, c.w, c.d, c.v); }, ok);
    EXPECT_EQ(got, c.text) << "E" << c.w << "." << c.d << " of " << c.v;
    EXPECT_EQ(ok, !allStars(c.text)) << "E" << c.w << "." << c.d << " of " << c.v;
  }
}

TEST(FormatWriteI, Table) {
  const struct {
    int64_t v;
    int w, m;
    const char* text;
  } cases[] = {
      {-12345, 6, 5, "-12345"},
      {0, 6, 5, " 00000"},
      {-36, 6, 5, "-00036"},
      {-4, 2, 1, "-4"},
      {0, 2, 1, " 0"},
      {3, 2, 1, " 3"},
      {292, 4, 4, "0292"},
      {5635, 5, 5, "05635"},
      {7, 2, 2, "07"},
      {0, 3, 0, "   "},
      {7, 3, 0, "  7"},
      {0, 3, -2, "  0"},
      {123, 2, 1, "**"},
      {-12, 2, 1, "**"},
      {5, 3, 5, "***"},
      {INT64_MIN, 20, 1, "-9223372036854775808"},
      {INT64_MAX, 19, 1, "9223372036854775807"},
  };
  for (const auto& c : cases) {
    bool ok = false;
    const std::string got = field(c.w, [&](char* o) { return writeI(o, c.w, c.v, c.m); }, ok);
    EXPECT_EQ(got, c.text) << "I" << c.w << "." << c.m << " of " << c.v;
    EXPECT_EQ(ok, !allStars(c.text)) << "I" << c.w << "." << c.m << " of " << c.v;
  }
}

TEST(FormatWriteA, PadsAndCuts) {
  const struct {
    const char* s;
    int w;
    const char* text;
  } cases[] = {{"ABC", 5, "ABC  "}, {"ABCDEF", 3, "ABC"}, {"", 2, "  "}, {"98067A", 6, "98067A"}};
  for (const auto& c : cases) {
    bool ok = false;
    const std::string got = field(c.w, [&](char* o) { writeA(o, c.w, c.s); return true; }, ok);
    EXPECT_EQ(got, c.text);
  }
}

// Every fixed-column write reads back within the written precision.
TEST(FormatFixedRoundTrip, WrittenFieldsReadBack) {
  const double values[] = {0.0, 0.12345678, -0.5, 51.6416, 359.9999, 15.72125391, 1e-9,
                           -123.456789, 99.99999999, 0.00012345};
  for (const double v : values) {
    for (int d = 0; d <= 8; ++d) {
      char out[24];
      if (!writeF(out, 20, d, v)) continue;
      double back = 0.0;
      ASSERT_TRUE(readReal(std::string_view(out, 20), d, back)) << v << " d=" << d;
      EXPECT_LE(std::fabs(back - v), 0.5 * std::pow(10.0, -d) * (1 + 1e-12)) << v << " d=" << d;
    }
    for (int d = 1; d <= 17; ++d) {
      char out[32];
      ASSERT_TRUE(writeE(out, 30, d, v));
      double back = 0.0;
      ASSERT_TRUE(readReal(std::string_view(out, 30), 0, back)) << v << " d=" << d;
      EXPECT_LE(std::fabs(back - v), 5 * std::pow(10.0, -d) * std::fabs(v)) << v << " d=" << d;
    }
  }
}

// ---- List output -----------------------------------------------------------

TEST(FormatWriteListReal, Table) {
  const struct {
    double v;
    const char* text;
  } cases[] = {
      {1.0, "1.0000000000000000"},
      {0.5, "0.50000000000000000"},
      {123.456, "123.45600000000000"},
      {-2.5, "-2.5000000000000000"},
      {0.0, "0.0000000000000000"},
      {-0.0, "-0.0000000000000000"},
      {0.1, "0.10000000000000001"},
      {std::nextafter(6.703e-4, 1.0), "6.7030000000000008E-004"},
      {6.703e-4, "6.7029999999999998E-004"},  // the double nearest 0.0006703
      {1.2345678901234567e20, "1.2345678901234567E+020"},
      {-1e-5, "-1.0000000000000001E-005"},
      {-0x1p-17, "-7.6293945312500000E-006"},
      {std::nextafter(0.1, 0.0), "9.9999999999999992E-002"},
      {1e16, "10000000000000000."},
      {99999999999999984.0, "99999999999999984."},
      {1e17, "1.0000000000000000E+017"},
      {std::numeric_limits<double>::max(), "1.7976931348623157E+308"},
      {std::numeric_limits<double>::denorm_min(), "4.9406564584124654E-324"},
      {kNaN, "NaN"},
      {kInf, "Infinity"},
      {-kInf, "-Infinity"},
  };
  for (const auto& c : cases) {
    char out[kListRealRoom];
    const size_t n = writeListReal(out, c.v);
    EXPECT_EQ(std::string(out, n), c.text);
  }
}

TEST(FormatWriteListReal, ReadsBackToTheSameDouble) {
  uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (int i = 0; i < 20000; ++i) {
    x = x * 6364136223846793005ULL + 1442695040888963407ULL;
    double v;
    std::memcpy(&v, &x, sizeof v);
    if (!std::isfinite(v)) continue;
    char out[kListRealRoom];
    const size_t n = writeListReal(out, v);
    double back = 1.0;
    const auto [end, ec] = std::from_chars(out, out + n, back);
    ASSERT_TRUE(ec == std::errc{} && end == out + n) << std::string(out, n);
    EXPECT_EQ(back, v == 0.0 ? 0.0 : v) << std::string(out, n);
  }
}

TEST(FormatWriteListInt, Table) {
  const struct {
    int64_t v;
    const char* text;
  } cases[] = {{0, "0"}, {-42, "-42"}, {25544, "25544"}, {INT64_MIN, "-9223372036854775808"}};
  for (const auto& c : cases) {
    char out[kListIntRoom];
    EXPECT_EQ(std::string(out, writeListInt(out, c.v)), c.text);
  }
}

// ---- List input ------------------------------------------------------------

using Got = ListReader::Got;

// One read: 'I' integer, 'R' real, 'T' text of width 8. On Value the output
// must hold the expected value; otherwise it must keep its previous content.
struct Step {
  char op;
  Got got;
  double num = 0;
  const char* text = "";
};

struct ListCase {
  const char* input;
  std::vector<Step> steps;
};

TEST(FormatListReader, Table) {
  const ListCase cases[] = {
      {"1,2.5,abc", {{'I', Got::Value, 1}, {'R', Got::Value, 2.5}, {'T', Got::Value, 0, "abc"}, {'I', Got::Error}}},
      // empty values
      {",5", {{'T', Got::Null}, {'I', Got::Value, 5}}},
      {"1,,3", {{'I', Got::Value, 1}, {'I', Got::Null}, {'I', Got::Value, 3}}},
      {"1, ,3", {{'I', Got::Value, 1}, {'R', Got::Null}, {'I', Got::Value, 3}}},
      {",", {{'I', Got::Null}, {'I', Got::Null}, {'I', Got::Error}}},
      {"1,2,", {{'I', Got::Value, 1}, {'I', Got::Value, 2}, {'T', Got::Null}, {'I', Got::Error}}},
      {"1,2, ", {{'I', Got::Value, 1}, {'I', Got::Value, 2}, {'R', Got::Null}, {'R', Got::Error}}},
      {"", {{'I', Got::Error}}},
      {"   ", {{'T', Got::Error}}},
      {"1", {{'I', Got::Value, 1}, {'I', Got::Error}}},
      // blanks: around a comma one separator, alone a separator too
      {" 1 , 3 ", {{'I', Got::Value, 1}, {'I', Got::Value, 3}, {'I', Got::Error}}},
      {"1 3", {{'I', Got::Value, 1}, {'I', Got::Value, 3}}},
      {"a b,c", {{'T', Got::Value, 0, "a"}, {'T', Got::Value, 0, "b"}, {'T', Got::Value, 0, "c"}}},
      // slash
      {"1/ 2", {{'I', Got::Value, 1}, {'I', Got::Null}, {'I', Got::Null}, {'T', Got::Null}}},
      {"1,/,3", {{'I', Got::Value, 1}, {'I', Got::Null}, {'I', Got::Null}}},
      {"/", {{'R', Got::Null}, {'R', Got::Null}}},
      // quoted text
      {"'a b',\"c,d\"", {{'T', Got::Value, 0, "a b"}, {'T', Got::Value, 0, "c,d"}, {'T', Got::Error}}},
      {"'' ,x", {{'T', Got::Value, 0, ""}, {'T', Got::Value, 0, "x"}}},
      {"O'Brien", {{'T', Got::Value, 0, "O'Brien"}}},
      {"'abc", {{'T', Got::Error}}},
      {"'ab'c", {{'T', Got::Error}}},
      {"'5'", {{'I', Got::Error}}},
      {"ABCDEFGHIJ", {{'T', Got::Value, 0, "ABCDEFGH"}}},
      {"1998-067A,x", {{'T', Got::Value, 0, "1998-067"}, {'T', Got::Value, 0, "x"}}},
      // integers
      {"+5,-7,007", {{'I', Got::Value, 5}, {'I', Got::Value, -7}, {'I', Got::Value, 7}}},
      {"1.0", {{'I', Got::Error}}},
      {"1E3", {{'I', Got::Error}}},
      {"12x", {{'I', Got::Error}}},
      {"-", {{'I', Got::Error}}},
      {"2147483648", {{'I', Got::Error}}},
      // reals in any numeric form
      {"1.5D-3,1.5-3,+2,1e2,7,-.5,1.5d+3",
       {{'R', Got::Value, 0.0015},
        {'R', Got::Value, 0.0015},
        {'R', Got::Value, 2},
        {'R', Got::Value, 100},
        {'R', Got::Value, 7},
        {'R', Got::Value, -0.5},
        {'R', Got::Value, 1500}}},
      {"0.50000000000000000,6.7030000000000001E-004",
       {{'R', Got::Value, 0.5}, {'R', Got::Value, 6.703e-4}}},
      {"12x", {{'R', Got::Error}}},
      {"1.2.3", {{'R', Got::Error}}},
      {"1E", {{'R', Got::Error}}},
      {"\"1.5\"", {{'R', Got::Error}}},
  };
  for (const auto& c : cases) {
    ListReader r(c.input);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      const std::string where = std::string("\"") + c.input + "\" read " + std::to_string(i + 1);
      if (s.op == 'I') {
        int32_t v = -77;
        EXPECT_EQ(r.readInt(v), s.got) << where;
        EXPECT_EQ(v, s.got == Got::Value ? static_cast<int32_t>(s.num) : -77) << where;
      } else if (s.op == 'R') {
        double v = -77.0;
        EXPECT_EQ(r.readReal(v), s.got) << where;
        EXPECT_EQ(v, s.got == Got::Value ? s.num : -77.0) << where;
      } else {
        char out[8];
        std::memset(out, '#', sizeof out);
        EXPECT_EQ(r.readText(out, sizeof out), s.got) << where;
        std::string expected = s.got == Got::Value ? std::string(s.text) : std::string(8, '#');
        expected.resize(8, ' ');
        EXPECT_EQ(std::string(out, sizeof out), expected) << where;
      }
    }
  }
}

// A CSV element set reads value by value; the empty values keep defaults.
TEST(FormatListReader, CsvLine) {
  ListReader r(
      "U,25544,1998-067A,2021,100.5,.00002182,0,.38792-4,0,,51.6416,247.4627,.0006703,"
      "130.5360,325.0288,15.72125391,56353,0,0,0,0,0,0,0,0,");
  char cls[1], name[12];
  int32_t satNum = 0, year = 0, ephType = -1, elsetNum = 99;
  double day = 0, ndot = 0, n2dot = 0, bstar = 0;
  ASSERT_EQ(r.readText(cls, 1), Got::Value);
  ASSERT_EQ(r.readInt(satNum), Got::Value);
  ASSERT_EQ(r.readText(name, 12), Got::Value);
  ASSERT_EQ(r.readInt(year), Got::Value);
  ASSERT_EQ(r.readReal(day), Got::Value);
  ASSERT_EQ(r.readReal(ndot), Got::Value);
  ASSERT_EQ(r.readReal(n2dot), Got::Value);
  ASSERT_EQ(r.readReal(bstar), Got::Value);
  ASSERT_EQ(r.readInt(ephType), Got::Value);
  ASSERT_EQ(r.readInt(elsetNum), Got::Null);
  EXPECT_EQ(cls[0], 'U');
  EXPECT_EQ(satNum, 25544);
  EXPECT_EQ(std::string(name, 12), "1998-067A   ");
  EXPECT_EQ(year, 2021);
  EXPECT_EQ(day, 100.5);
  EXPECT_EQ(ndot, 0.00002182);
  EXPECT_EQ(bstar, 0.38792e-4);
  EXPECT_EQ(ephType, 0);
  EXPECT_EQ(elsetNum, 99);
  double d = 0;
  for (int col = 11; col <= 25; ++col) ASSERT_NE(r.readReal(d), Got::Error) << "column " << col;
  char text[11];
  EXPECT_EQ(r.readText(text, 11), Got::Null);  // column 26 empty after the last comma
  EXPECT_EQ(r.readText(text, 11), Got::Error);
}

}  // namespace
}  // namespace vx::fmt

namespace vx::fmt {
namespace {

// writeF takes a shortcut through the shortest text of a value; it must give
// exactly the correctly rounded text that the fixed-precision conversion
// gives, for values read from text and for arbitrary ones.
TEST(FormatWriteF, ShortcutAgreesWithFixedPrecision) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> mag(-12.0, 12.0);
  for (int i = 0; i < 200000; ++i) {
    const int d = static_cast<int>(rng() % 16);
    double v = std::pow(10.0, mag(rng)) * ((rng() & 1) ? -1 : 1);
    if (i % 2 == 0) {  // a value as read from a field with d decimals
      char t[64];
      auto r = std::to_chars(t, t + sizeof t, v, std::chars_format::fixed, static_cast<int>(rng() % 9));
      std::from_chars(t, r.ptr, v);
    }
    char want[64];
    auto r = std::to_chars(want, want + sizeof want, std::fabs(v), std::chars_format::fixed, d);
    std::string expect;
    if (v < 0) expect += '-';
    expect.append(want, r.ptr);
    if (d == 0) expect += '.';
    if (expect.size() > 40) continue;
    char out[40];
    ASSERT_TRUE(writeF(out, 40, d, v)) << v << " d=" << d;
    std::string got(out, 40);
    got.erase(0, got.find_first_not_of(' '));
    ASSERT_EQ(got, expect) << v << " d=" << d;
  }
}

}  // namespace
}  // namespace vx::fmt
