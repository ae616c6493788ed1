#include "Tle/TleCsv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Tle/TleLines.h"
#include "support/LogCapture.h"

namespace vx::tle {
namespace {

using vx::testing::LogCapture;
using Msgs = std::vector<std::string>;

const std::string kCsv =
    "U,25544,1998-067A,2018,20.59659722,1.558E-05,0,3.0975E-05,0,999,51.6421,313.2312,0.000337,277.6394,"
    "199.7473,15.54148547,9635,0,0,0,0,0,0,0,0,UNKNOWN";

std::string first(const char* line, size_t n) { return std::string(line, n); }

// The new satellite number replaces the stored one up to 339999; beyond, or
// negative, the call refuses with the lines blank.
TEST(TleCsv, NewSatelliteNumberBounds) {
  struct Case {
    int32_t newSatno;
    int32_t status;
    std::string satField;  // columns 3-7 of line 1
    Msgs errors;
  };
  const std::string bad = "Csv2Lines: newSatno is not valid (must not be greater than 339999).";
  const std::vector<Case> cases = {
      {0, 0, "25544", {}},      {1, 0, "00001", {}},      {339999, 0, "Z9999", {}},
      {340000, 2, "     ", {bad}}, {-1, 2, "     ", {bad}},
  };
  for (const auto& c : cases) {
    LogCapture log;
    char l1[kLineLen], l2[kLineLen];
    EXPECT_EQ(csv2lines(kCsv, c.newSatno, l1, l2), c.status) << c.newSatno;
    EXPECT_EQ(first(l1 + 2, 5), c.satField) << c.newSatno;
    EXPECT_EQ(log.errors(), c.errors) << c.newSatno;
  }
}

TEST(TleCsv, LinesThatAreNoCsvAreRefusedBlank) {
  LogCapture log;
  char l1[kLineLen], l2[kLineLen], csv[kLineLen];
  EXPECT_EQ(csv2lines("1 25544U 98067A   18020.59659722", 0, l1, l2), 1);
  EXPECT_EQ(first(l1, kLineLen) + first(l2, kLineLen), std::string(2 * kLineLen, ' '));
  EXPECT_EQ(lines2csv("X 25544", "", csv), 1);
  EXPECT_EQ(first(csv, kLineLen), std::string(kLineLen, ' '));
  EXPECT_EQ(log.errors(),
            (Msgs{"Csv2Lines: csvLine not in proper csv format.", "Lines2Csv: Invalid TLE's first line."}));
}

// A CSV line given as line 1 comes back as it stands, blank padded.
TEST(TleCsv, CsvLineOneIsCopied) {
  char csv[kLineLen];
  EXPECT_EQ(lines2csv(kCsv, "", csv), 0);
  EXPECT_EQ(first(csv, kLineLen), kCsv + std::string(kLineLen - kCsv.size(), ' '));
}

}  // namespace
}  // namespace vx::tle
