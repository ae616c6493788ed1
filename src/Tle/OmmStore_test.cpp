// OMM documents and three-line files through the exported loads and
// writers: every encoding back to the same values, refusals by position,
// nine-digit numbers, object names.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "Tle/TleFilesTestSupport.h"

namespace vx::testing::tlefiles {
namespace {

const std::string kHeader =
    "OBJECT_NAME,OBJECT_ID,EPOCH,MEAN_MOTION,ECCENTRICITY,INCLINATION,RA_OF_ASC_NODE,ARG_OF_PERICENTER,"
    "MEAN_ANOMALY,EPHEMERIS_TYPE,CLASSIFICATION_TYPE,NORAD_CAT_ID,ELEMENT_SET_NO,REV_AT_EPOCH,BSTAR,"
    "MEAN_MOTION_DOT,MEAN_MOTION_DDOT\n";
const std::string kVanguard =
    "VANGUARD 1,1958-002B,2020-10-13T04:52:48.472320,10.84869164,.1845686,34.2443,225.5254,162.2516,205.2356,0,U,5,"
    "999,21814,-.22483E-4,-1.6E-7,0\n";
const std::string kAnalyst =
    "ANALYST OBJECT,,2026-07-14T21:45:20.933856,15.0123456789,.0001234,97.1234,10.5,20.25,30.125,0,U,799500001,1,"
    "0,.00012345678,.0000123,1.2E-11\n";
const std::string kVanguardXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ndm><omm id=\"CCSDS_OMM_VERS\" version=\"2.0\"><header>"
    "<CREATION_DATE/><ORIGINATOR/></header><body><segment><metadata><OBJECT_NAME>VANGUARD 1</OBJECT_NAME>"
    "<OBJECT_ID>1958-002B</OBJECT_ID><CENTER_NAME>EARTH</CENTER_NAME><REF_FRAME>TEME</REF_FRAME><TIME_SYSTEM>UTC"
    "</TIME_SYSTEM><MEAN_ELEMENT_THEORY>SGP4</MEAN_ELEMENT_THEORY></metadata><data><meanElements><EPOCH>"
    "2020-10-13T04:52:48.472320</EPOCH><MEAN_MOTION>10.84869164</MEAN_MOTION><ECCENTRICITY>.1845686</ECCENTRICITY>"
    "<INCLINATION>34.2443</INCLINATION><RA_OF_ASC_NODE>225.5254</RA_OF_ASC_NODE><ARG_OF_PERICENTER>162.2516"
    "</ARG_OF_PERICENTER><MEAN_ANOMALY>205.2356</MEAN_ANOMALY></meanElements><tleParameters><EPHEMERIS_TYPE>0"
    "</EPHEMERIS_TYPE><CLASSIFICATION_TYPE>U</CLASSIFICATION_TYPE><NORAD_CAT_ID>5</NORAD_CAT_ID><ELEMENT_SET_NO>999"
    "</ELEMENT_SET_NO><REV_AT_EPOCH>21814</REV_AT_EPOCH><BSTAR>-.22483E-4</BSTAR><MEAN_MOTION_DOT>-1.6E-7"
    "</MEAN_MOTION_DOT><MEAN_MOTION_DDOT>0</MEAN_MOTION_DDOT></tleParameters></data></segment></body></omm></ndm>\n";

struct Loaded {
  int32_t rc, loaded, dup, bad;
};
Loaded loadText(const std::string& text) {
  Loaded l{};
  l.rc = TleLoadText(text.data(), static_cast<int64_t>(text.size()), nullptr, nullptr, &l.loaded, &l.dup, &l.bad);
  return l;
}

std::string writeText(int32_t form, const std::vector<int64_t>* keys = nullptr) {
  int64_t n = 0;
  const int64_t* k = keys != nullptr ? keys->data() : nullptr;
  const auto count = keys != nullptr ? static_cast<int32_t>(keys->size()) : 0;
  EXPECT_EQ(TleWriteText(k, count, form, nullptr, 0, &n), 0);
  std::string out(static_cast<size_t>(n), '\0');
  EXPECT_EQ(TleWriteText(k, count, form, out.data(), n, &n), 0);
  return out;
}

// Every set's array and object name, in key order.
struct Snapshot {
  std::vector<std::array<double, 64>> arrays;
  std::vector<std::string> names;
  bool operator==(const Snapshot&) const = default;
};
Snapshot snapshot() {
  Snapshot s;
  std::vector<int64_t> keys(static_cast<size_t>(TleGetCount()));
  if (!keys.empty()) TleGetLoaded(2, keys.data());
  for (int64_t k : keys) {
    std::array<double, 64> a{};
    char text[512];
    TleDataToArray(k, a.data(), text);
    s.arrays.push_back(a);
    char name[256];
    TleGetObjectName(k, name);
    s.names.push_back(trimmed(name, 256));
  }
  return s;
}

class OmmStore : public TleFiles {
 protected:
  // Documents written twice are the same to the byte.
  void SetUp() override {
    TleFiles::SetUp();
    setenv("SOURCE_DATE_EPOCH", "1800000000", 1);
  }
  void TearDown() override {
    unsetenv("SOURCE_DATE_EPOCH");
    TleFiles::TearDown();
  }
};

TEST_F(OmmStore, EveryEncodingGivesBackEveryValue) {
  ASSERT_EQ(loadText(kHeader + kVanguard + kAnalyst).loaded, 2);
  const Snapshot before = snapshot();
  ASSERT_EQ(before.names, (std::vector<std::string>{"VANGUARD 1", "ANALYST OBJECT"}));
  for (int32_t form : {VX_SAVE_OMM_CSV, VX_SAVE_OMM_JSON, VX_SAVE_OMM_XML, VX_SAVE_OMM_KVN}) {
    const std::string doc = writeText(form);
    TleRemoveAllSats();
    const Loaded l = loadText(doc);
    EXPECT_EQ(std::vector<int32_t>({l.rc, l.loaded, l.bad}), std::vector<int32_t>({0, 2, 0})) << form << doc;
    EXPECT_EQ(snapshot(), before) << form;
    // The file load tells the encoding by content too.
    TleRemoveAllSats();
    ASSERT_EQ(load(write("doc." + std::to_string(form), doc)), 0);
    EXPECT_EQ(snapshot(), before) << form;
    // The writers give the same document again.
    EXPECT_EQ(writeText(form), doc) << form;
  }
}

TEST_F(OmmStore, XmlAndCsvOfTheSameSetAgree_AndNineDigitNumbersAreFound) {
  ASSERT_EQ(loadText(kVanguardXml).loaded, 1);
  const Snapshot xml = snapshot();
  TleRemoveAllSats();
  ASSERT_EQ(loadText(kHeader + kVanguard).loaded, 1);
  EXPECT_EQ(snapshot(), xml);
  ASSERT_EQ(loadText(kHeader + kAnalyst).loaded, 1);
  const int64_t key = TleGetSatKey(799500001);
  ASSERT_GT(key, 0);
  char designator[8], name[16];
  int32_t found = 0, longest = 0;
  EXPECT_EQ(TleGetTextColumns(1, &key, designator, name, 16, &found, &longest), 1);
  EXPECT_EQ(longest, 14);
  EXPECT_EQ(std::string(designator, 8) + "|" + std::string(name, 16), "        |ANALYST OBJECT  ");
  // The line form cannot hold the number: the save says so.
  std::vector<int64_t> keys{key};
  int64_t n = 0;
  EXPECT_EQ(TleWriteText(keys.data(), 1, VX_SAVE_LINES, nullptr, 0, &n), 2);
}

TEST_F(OmmStore, BadRecordsAreRefusedByPositionAndTheOthersLoad) {
  LogCapture log;
  const std::string noMotion =
      "X,1998-067A,2020-10-13T04:52:48,,.1,34,225,162,205,0,U,6,999,1,0,0,0\n";
  const std::string badEcc = "Y,1998-067B,2020-10-13T04:52:48,10,1.5,34,225,162,205,0,U,7,999,1,0,0,0\n";
  const Loaded l = loadText(kHeader + kVanguard + noMotion + badEcc + kAnalyst);
  EXPECT_EQ(std::vector<int32_t>({l.rc, l.loaded, l.dup, l.bad}), std::vector<int32_t>({0, 2, 0, 2}));
  const auto errors = log.errors();
  ASSERT_GE(errors.size(), 3u);
  EXPECT_EQ(errors[0], "ReadOmm: line 3: no MEAN_MOTION.");
  EXPECT_EQ(errors.back(), "ReadOmm: line 4: the element set fails the checks logged before.");
  EXPECT_EQ(log.infos().back(), "Total TLEs = 4, Loaded = 2, Dup = 0, Bad = 2");
  // The same document again: duplicates.
  EXPECT_EQ(loadText(kHeader + kVanguard).dup, 1);
}

TEST_F(OmmStore, ThreeLineNamesLoadAndSave) {
  const std::string file = write("three.tle", "ISS (ZARYA)\n" + kL1 + "\n" + kL2 + "\n" + "* a comment\n" + kM1 +
                                                  "\n" + kM2 + "\n");
  ASSERT_EQ(load(file), 0);
  const Snapshot s = snapshot();
  EXPECT_EQ(s.names, (std::vector<std::string>{"ISS (ZARYA)", ""}));
  ASSERT_EQ(save(path("out.tle"), 0, VX_SAVE_LINES), 0);  // the plain form: no names
  const std::string three = writeText(VX_SAVE_THREE_LINES);
  EXPECT_EQ(three.substr(0, 15), "0 ISS (ZARYA)\n1");
  ASSERT_EQ(TleSaveFileAs(host(path("three.out")).c_str(), 0, VX_SAVE_THREE_LINES), 0);
  TleRemoveAllSats();
  ASSERT_EQ(load(path("three.out")), 0);
  EXPECT_EQ(snapshot(), s);
  TleRemoveAllSats();
  ASSERT_EQ(load(path("out.tle")), 0);
  EXPECT_EQ(snapshot().names, (std::vector<std::string>{"", ""}));
}

TEST_F(OmmStore, WritersRefuseWhatTheyCannotDo) {
  ASSERT_EQ(loadText(kHeader + kVanguard).loaded, 1);
  LogCapture log;
  EXPECT_EQ(TleSaveFileAs(host(path("a.json")).c_str(), 1, VX_SAVE_OMM_JSON), 2);
  EXPECT_EQ(TleSaveFileAs(host(path("a.json")).c_str(), 0, 7), 2);
  std::vector<int64_t> keys{TleGetSatKey(5), 12345};
  char small[10];
  int64_t n = 0;
  EXPECT_EQ(TleWriteText(keys.data(), 1, VX_SAVE_OMM_KVN, small, sizeof small, &n), 2);
  EXPECT_GT(n, 10);
  EXPECT_EQ(TleWriteText(keys.data(), 2, VX_SAVE_OMM_KVN, nullptr, 0, &n), 2);
  EXPECT_EQ(log.errors().back(), "TleWriteText: No element set of satKey " + key19(12345));
}

}  // namespace
}  // namespace vx::testing::tlefiles
