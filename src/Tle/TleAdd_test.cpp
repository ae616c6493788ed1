// The add road of one element set through the exported add functions: every
// way an input can fail, with the exact log lines it leaves and their order,
// in both key modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HostText.h"
#include "support/LogCapture.h"
#include "veltrix/kernix.h"
#include "veltrix/tle.h"

namespace {

using vx::testing::LogCapture;

const std::string kL1 = "1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993";
const std::string kL2 = "2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357";

std::string text(const std::string& s) { return vx::testing::hostText(s); }
std::string csvOf(const std::string& l1, const std::string& l2) {
  char csv[512];
  EXPECT_EQ(TleLinesToCsv(text(l1).c_str(), text(l2).c_str(), csv), 0);
  return vx::testing::trimmed(csv, 512);
}
std::string withCol(std::string s, size_t col, char c) {
  s[col - 1] = c;
  return s;
}
// What the line looks like in a message that quotes its 512 characters.
std::string padded(const std::string& s) { return vx::testing::hostText(s); }

enum class Via { Lines, Csv };

struct AddCase {
  const char* name;
  Via via;
  std::string line1;
  std::string line2;
  bool loads;  // a positive key; otherwise -1
  std::vector<std::string> lines;
};

class TleAddRoad : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(GetParam());
    KernixSetDupKeyMode(0);
  }
  void TearDown() override {
    TleRemoveAllSats();
    KernixSetElsetKeyMode(0);
  }
};

TEST_P(TleAddRoad, EveryInputGivesItsKeyOrItsMessagesInOrder) {
  // Cut where the last field still reads, from the digits that are left.
  const std::string shortL1 = kL1.substr(0, 59);
  const std::string shortL2 = kL2.substr(0, 62);
  const std::string kCsv = csvOf(kL1, kL2);
  const std::string badCsv = "U,x" + std::string(24, ',');
  const std::vector<AddCase> cases = {
      {"good pair", Via::Lines, kL1, kL2, true, {}},
      {"pair of 68 columns without checksums", Via::Lines, kL1.substr(0, 68), kL2.substr(0, 68), true, {}},
      {"lines of two satellites: line 1's, warned", Via::Lines, kL1, withCol(kL2, 7, '9'), true,
       {"I Warning-Lines2Tle: Line 1 is of satellite 25544, line 2 of satellite 25549; line 1's number is used."}},
      {"csv line as line 1", Via::Lines, kCsv, "", true, {}},
      {"csv line", Via::Csv, kCsv, "", true, {}},
      {"line 1 of no kind", Via::Lines, "hello", kL2, false, {"E AddSatFrLines: Invalid TLE's first line."}},
      {"ephemeris type 3 is no line 1", Via::Lines, withCol(kL1, 63, '3'), kL2, false,
       {"E AddSatFrLines: Invalid TLE's first line."}},
      {"satellite number 0", Via::Lines, "1 00000U" + kL1.substr(8), kL2, false,
       {"E Line1ToSatKey: Invalid TLE's 1st line."}},
      {"satellite number below 0", Via::Lines, "1 -1234U" + kL1.substr(8), kL2, false,
       {"E CreateSatKey: Invalid satellite number = -1234 (valid=0-999999999)"}},
      {"epoch of zeros is day 0 of 2000", Via::Lines, kL1.substr(0, 18) + "00000.00000000" + kL1.substr(32), kL2,
       true, {}},
      {"epoch blank but its point", Via::Lines, kL1.substr(0, 18) + "     .        " + kL1.substr(32), kL2, false,
       {"E Lines2Tle: Line1 = '" + padded(kL1.substr(0, 18) + "     .        " + kL1.substr(32)) + "'.",
        "E Lines2Tle: Cannot read TLE's first line."}},
      {"epoch with a sign", Via::Lines, withCol(kL1, 21, '+'), kL2, false,
       {"E CreateSatKey: Unreadable epoch '18+20.59659722'."}},
      {"epoch day fraction with a letter", Via::Lines, withCol(kL1, 30, 'x'), kL2, false,
       {"E CreateSatKey: Unreadable epoch '18020.59659x22'."}},
      {"line 1 column 2 not blank", Via::Lines, withCol(kL1, 2, 'X'), kL2, false,
       {"E Lines2Tle: Line1 = '" + padded(withCol(kL1, 2, 'X')) + "'.", "E Lines2Tle: Invalid TLE's first line."}},
      {"line 2 missing", Via::Lines, kL1, "", false,
       {"E Lines2Tle: Line2 = '" + padded("") + "'.", "E Lines2Tle: Invalid TLE's second line."}},
      {"line 1 through the csv add", Via::Csv, kL1, "", false,
       {"E Lines2Tle: Line2 = '" + padded("") + "'.", "E Lines2Tle: Invalid TLE's second line."}},
      {"unknown classification", Via::Lines, withCol(kL1, 8, 'X'), kL2, false,
       {"E Lines2Tle: Line1 = '" + padded(withCol(kL1, 8, 'X')) + "'.", "E Lines2Tle: Unknown TLE's classify level 'X'."}},
      {"unreadable drag term", Via::Lines, withCol(kL1, 58, 'x'), kL2, false,
       {"E Lines2Tle: Line1 = '" + padded(withCol(kL1, 58, 'x')) + "'.", "E Lines2Tle: Cannot read TLE's first line."}},
      {"unreadable mean motion", Via::Lines, kL1, withCol(kL2, 60, 'x'), false,
       {"E Lines2Tle: Line2 = '" + padded(withCol(kL2, 60, 'x')) + "'.", "E Lines2Tle: Cannot read TLE's second line."}},
      {"inclination out of range", Via::Lines, kL1, withCol(kL2, 9, '2'), false,
       {"E ValidateTleValues: Invalid Orbit Inclination = 251.64210000000000 (valid=0-180)"}},
      {"line 1 cut before column 61", Via::Lines, shortL1, kL2, false,
       {"E AddSatFrLines: Line1 ends before column 61 '" + shortL1 + "'."}},
      {"line 2 cut before column 63", Via::Lines, kL1, shortL2, false,
       {"E AddSatFrLines: Line2 ends before column 63 '" + shortL2 + "'."}},
      {"both cut short: line 1 named", Via::Lines, shortL1, shortL2, false,
       {"E AddSatFrLines: Line1 ends before column 61 '" + shortL1 + "'."}},
      {"cut line 1, line 2 of no kind", Via::Lines, shortL1, "", false,
       {"E Lines2Tle: Line2 = '" + padded("") + "'.", "E Lines2Tle: Invalid TLE's second line."}},
      {"csv line that does not read", Via::Csv, badCsv, "", false,
       {"E CsvLine2Tle: Bad CSV TLE (" + padded(badCsv) + ")."}},
      {"csv line out of range", Via::Csv, "U,25544,ISS,18,20.5,0,0,0,0,999,251.6,313.2,0.0003,277.6,199.7,15.5,9635,0,0,0,0,0,0,0,0,",
       "", false, {"E ValidateTleValues: Invalid Orbit Inclination = 251.59999999999999 (valid=0-180)"}},
  };
  for (const AddCase& c : cases) {
    SCOPED_TRACE(c.name);
    TleRemoveAllSats();
    LogCapture log;
    const int64_t key = c.via == Via::Lines ? TleAddSatFrLines(text(c.line1).c_str(), text(c.line2).c_str())
                                            : TleAddSatFrCsv(text(c.line1).c_str());
    if (c.loads)
      EXPECT_GT(key, 0);
    else
      EXPECT_EQ(key, -1);
    EXPECT_EQ(log.lines(), c.lines);
  }
}

TEST_P(TleAddRoad, DuplicateIsReportedOnceAfterTheParse) {
  ASSERT_GT(TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str()), 0);
  LogCapture log;
  const int64_t again = TleAddSatFrLines(text(kL1).c_str(), text(kL2).c_str());
  if (GetParam() == 1) {
    EXPECT_GT(again, 0);
    EXPECT_TRUE(log.lines().empty());
    return;
  }
  EXPECT_EQ(again, 0);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].rfind("E AddRecToMem: Duplicated record/key ", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(KeyModes, TleAddRoad, ::testing::Values(0, 1),
                         [](const auto& p) { return p.param == 0 ? std::string("Tree") : std::string("Dma"); });

}  // namespace
