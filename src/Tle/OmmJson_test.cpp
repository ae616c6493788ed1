// The JSON reader: records as objects with values as numbers or strings,
// and the document faults that stop it.
#include "Tle/OmmTestSupport.h"

namespace vx::testing::omm {
namespace {

// The sample's CSV values as one JSON object; numbers bare or quoted.
std::string sampleObject(bool numbersAsStrings, const std::string& extra = "") {
  std::string out = "{";
  for (const auto& [k, v] : sampleCsv()) {
    Key key;
    std::string text = "\"" + v + "\"";
    if (keyOf(k, key) && isNumberKey(key) && !numbersAsStrings) {
      // JSON wants digits before the point: the number in its shortest form.
      double x = 0;
      std::from_chars(v.data(), v.data() + v.size(), x);
      char buf[32];
      text.assign(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
    }
    out.append("\"").append(k).append("\": ").append(text).append(", ");
  }
  return out + extra + "\"OBJECT_TYPE\": \"PAYLOAD\"}";
}

void expectSample(const Record& r) {
  const auto want = sampleCsv();
  for (const auto& [k, v] : want) {
    ASSERT_TRUE(r.values.count(k)) << k;
    expectSame(k, r.values.at(k), v);
  }
  EXPECT_EQ(r.values.size(), want.size());  // the extra key is skipped
}

TEST(OmmJson, SampleAsNumbersAndAsStrings) {
  for (bool strings : {false, true}) {
    Collect got;
    std::string doc = "[";
    doc.append(sampleObject(strings)).append(",\n").append(sampleObject(strings)).append("]");
    ASSERT_TRUE(readOmmJson(doc, got));
    ASSERT_EQ(got.records.size(), 2u);
    EXPECT_TRUE(got.bads.empty());
    expectSample(got.records[0]);
    EXPECT_EQ(got.records[1].position, 2);
  }
}

TEST(OmmJson, NumbersKeepTheirDigits) {
  Collect got;
  ASSERT_TRUE(readOmmJson(R"({"MEAN_MOTION": 15.50103472 , "BSTAR": -1.2e-5,"NORAD_CAT_ID":799512345})", got));
  ASSERT_EQ(got.records.size(), 1u);
  EXPECT_EQ(got.records[0].values.at("MEAN_MOTION"), "15.50103472");
  EXPECT_EQ(got.records[0].values.at("BSTAR"), "-1.2e-5");
  EXPECT_EQ(got.records[0].values.at("NORAD_CAT_ID"), "799512345");
  EXPECT_EQ(got.records[0].position, 1);
}

TEST(OmmJson, PaddedCallerBufferIsReadInPlace) {
  std::string buf = R"([{"OBJECT_NAME": "ISS \"ZARYA\"", "EPOCH": null}])";
  const size_t len = buf.size();
  buf.append(kReadPadding, ' ');
  Collect got;
  ASSERT_TRUE(readOmmJson(std::string_view(buf.data(), len), got, true));
  ASSERT_EQ(got.records.size(), 1u);
  EXPECT_EQ(got.records[0].values.at("OBJECT_NAME"), "ISS \"ZARYA\"");
  EXPECT_EQ(got.records[0].values.at("EPOCH"), "null");
}

// Bad records are reported by number and the records around them arrive.
TEST(OmmJson, BadRecordsAmongGoodOnes) {
  struct Case {
    const char* name;
    std::string badRecord;
    std::string why;
  };
  const Case cases[] = {
      {"nested object", R"({"MEAN_MOTION": {"value": 15}})", "a nested value in MEAN_MOTION"},
      {"nested array", R"({"EPOCH": ["2020-01-01"]})", "a nested value in EPOCH"},
      {"boolean", R"({"BSTAR": true})", "a true or false value in BSTAR"},
      {"not an object", R"([1, 2])", "a record that is not a JSON object"},
      {"a number", "42", "a record that is not a JSON object"},
  };
  for (const auto& c : cases) {
    Collect got;
    const std::string doc = R"([{"NORAD_CAT_ID": 1}, )" + c.badRecord + R"(, {"NORAD_CAT_ID": 3, "RMS": [1, {"a": null}]}])";
    EXPECT_TRUE(readOmmJson(doc, got)) << c.name;
    ASSERT_EQ(got.records.size(), 2u) << c.name;
    EXPECT_EQ(got.records[0].values.at("NORAD_CAT_ID"), "1");
    EXPECT_EQ(got.records[1].values.at("NORAD_CAT_ID"), "3");
    EXPECT_EQ(got.records[1].position, 3);
    ASSERT_EQ(got.bads.size(), 1u) << c.name;
    EXPECT_EQ(got.bads[0], std::make_pair(2, c.why)) << c.name;
  }
}

TEST(OmmJson, KeyTwiceIsMarked) {
  Collect got;
  ASSERT_TRUE(readOmmJson(R"({"BSTAR": 1, "BSTAR": 2})", got));
  ASSERT_EQ(got.records.size(), 1u);
  EXPECT_TRUE(got.records[0].duplicate);
  EXPECT_EQ(got.records[0].values.at("BSTAR"), "1");
}

// A fault in the document: told once, records before it arrive, none from it on.
TEST(OmmJson, DocumentFaults) {
  const std::string deep = R"({"RMS": )" + std::string(5000, '[') + std::string(5000, ']') + "}";
  expectFaults({
      {"truncated in a record", R"([{"NORAD_CAT_ID": 1}, {"NORAD_CAT_ID": 2}, {"NORAD_CAT_ID": 3, "BSTAR")", 2, 3,
       "truncated JSON"},
      {"truncated array", R"([{"NORAD_CAT_ID": 1}, {"NORAD_CAT_ID": 2})", 2, 3, "truncated JSON"},
      {"unclosed string", R"([{"NORAD_CAT_ID": 1}, {"OBJECT_NAME": "ISS)", 1, 2, "truncated JSON"},
      {"missing comma", R"([{"NORAD_CAT_ID": 1} {"NORAD_CAT_ID": 2}])", 1, 2, "not well-formed JSON"},
      {"broken skipped value", R"([{"NORAD_CAT_ID": 1}, {"NORAD_CAT_ID": 2, "RMS": [1, }])", 1, 2,
       "not well-formed JSON"},
      {"deep nesting", "[" + deep + "]", 0, 1, "JSON nested too deep"},
      {"deep top level", std::string(100000, '['), 0, 1, "truncated JSON"},
      {"not JSON", "1 25544U 98067A   20194.88612269", 0, 1, "a JSON document that is not an array or an object"},
      {"empty", "  ", 0, 1, "an empty JSON document"},
      {"text after", R"([{"NORAD_CAT_ID": 1}] x)", 1, 2, "text after the end of the JSON document"},
  }, [](std::string_view doc, OmmSink& sink) { return readOmmJson(doc, sink); });
}

}  // namespace
}  // namespace vx::testing::omm
