#include "Tle/OmmText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace vx::tle::omm {
namespace {

using Lines = std::vector<std::string>;

// Each record as "position|KEY=value|..." in key order (null values as
// KEY=null, a duplicate as !KEY), each bad report as "bad position: why".
struct Collect final : OmmSink {
  Lines records, bads;
  std::vector<std::map<Key, std::string>> given;  // the values given, nulls left out
  void record(const OmmText& rec) override {
    auto& g = given.emplace_back();
    for (size_t i = 0; i < kKeyCount; ++i)
      if (rec.has(static_cast<Key>(i))) g[static_cast<Key>(i)] = std::string(rec[static_cast<Key>(i)]);
    std::string s = std::to_string(rec.position);
    for (size_t i = 0; i < kKeyCount; ++i) {
      const auto k = static_cast<Key>(i);
      if (!rec.present[i]) continue;
      s += '|';
      s += keyName(k);
      s += '=';
      s += rec.isNull[i] ? std::string_view("null") : rec[k];
    }
    if (rec.duplicate != Key::kCount) {
      s += "|!";
      s += keyName(rec.duplicate);
    }
    records.push_back(s);
  }
  void bad(int32_t position, std::string_view why) override {
    bads.push_back("bad " + std::to_string(position) + ": " + std::string(why));
  }
};

std::string fileText(const std::string& name) {
  std::ifstream in(std::string(VX_SOURCE_DIR) + "/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ReadCase {
  std::string name, doc;
  bool ok;
  Lines records, bads;
};

void checkReads(bool (*read)(std::string_view, OmmSink&), const std::vector<ReadCase>& cases) {
  for (const auto& c : cases) {
    Collect sink;
    // A copy of exactly the document's size, so a read past its end shows
    // under the sanitizers.
    const std::vector<char> doc(c.doc.begin(), c.doc.end());
    EXPECT_EQ(read({doc.data(), doc.size()}, sink), c.ok) << c.name;
    EXPECT_EQ(sink.records, c.records) << c.name;
    EXPECT_EQ(sink.bads, c.bads) << c.name;
  }
}

const std::string kSampleRecord =
    "|OBJECT_NAME=VANGUARD 1|OBJECT_ID=1958-002B|EPOCH=2020-10-13T04:52:48.472320|MEAN_MOTION=10.84869164"
    "|ECCENTRICITY=.1845686|INCLINATION=34.2443|RA_OF_ASC_NODE=225.5254|ARG_OF_PERICENTER=162.2516"
    "|MEAN_ANOMALY=205.2356|EPHEMERIS_TYPE=0|CLASSIFICATION_TYPE=U|NORAD_CAT_ID=5|ELEMENT_SET_NO=999"
    "|REV_AT_EPOCH=21814|BSTAR=-.22483E-4|MEAN_MOTION_DOT=-1.6E-7|MEAN_MOTION_DDOT=0";

TEST(OmmCsv, ReadsSampleAndEdgeCases) {
  const std::string h = "OBJECT_NAME,NORAD_CAT_ID\n";
  checkReads(readOmmCsv,
             {
                 {"sample", fileText("sample_omm.csv"), true, {"2" + kSampleRecord}, {}},
                 {"quotes", h + "\"A, \"\"B\"\"\",\"5\"\n", true, {"2|OBJECT_NAME=A, \"B\"|NORAD_CAT_ID=5"}, {}},
                 {"line break in quotes counts lines",
                  h + "\"X\r\nY\",5\nZ,6\n",
                  true,
                  {"2|OBJECT_NAME=X\r\nY|NORAD_CAT_ID=5", "4|OBJECT_NAME=Z|NORAD_CAT_ID=6"},
                  {}},
                 {"CRLF, no end",
                  "OBJECT_NAME,NORAD_CAT_ID\r\nA,5\r\n\"B\",6",
                  true,
                  {"2|OBJECT_NAME=A|NORAD_CAT_ID=5", "3|OBJECT_NAME=B|NORAD_CAT_ID=6"},
                  {}},
                 {"BOM and blank lines", "\xEF\xBB\xBF\n" + h + "\r\n\nA,5\n\n", true,
                  {"5|OBJECT_NAME=A|NORAD_CAT_ID=5"}, {}},
                 {"extra columns, any order", "RMS,NORAD_CAT_ID,DATA_SOURCE,EPOCH\n0.1,5,x,2020\n", true,
                  {"2|EPOCH=2020|NORAD_CAT_ID=5"}, {}},
                 {"empty value is not given", h + ",5\n", true, {"2|OBJECT_NAME=null|NORAD_CAT_ID=5"}, {}},
                 {"keyword twice", "NORAD_CAT_ID,NORAD_CAT_ID\n5,6\n", true, {"2|NORAD_CAT_ID=5|!NORAD_CAT_ID"}, {}},
                 {"short and long rows",
                  h + "A\nB,6\nC,7,8\nD,9",
                  true,
                  {"3|OBJECT_NAME=B|NORAD_CAT_ID=6", "5|OBJECT_NAME=D|NORAD_CAT_ID=9"},
                  {"bad 2: 1 values where the header names 2 columns",
                   "bad 4: 3 values where the header names 2 columns"}},
                 {"text after a quote", h + "\"A\"x,5\nB,6\n", true, {"3|OBJECT_NAME=B|NORAD_CAT_ID=6"},
                  {"bad 2: text after the closing quote of a value"}},
                 {"unterminated quote",
                  h + "A,5\n\"B,6\nC,7\n",
                  false,
                  {"2|OBJECT_NAME=A|NORAD_CAT_ID=5"},
                  {"bad 3: a quoted value is not closed before the end of the document"}},
                 {"quote open at the very end", h + "A,\"", false, {},
                  {"bad 2: a quoted value is not closed before the end of the document"}},
                 {"empty", "", true, {}, {}},
                 {"header only", h, true, {}, {}},
             });
}

TEST(OmmKvn, ReadsMessages) {
  const std::string msg =
      "CCSDS_OMM_VERS = 2.0\n"
      "COMMENT made by hand\n"
      "CREATION_DATE=2020-10-13T00:00:00\n"
      "\n"
      "  OBJECT_NAME   =   VANGUARD 1  \n"
      "META_START\n"
      "USER_DEFINED_X = 1\n"
      "MEAN_MOTION = 10.84869164 [rev/day]\r\n"
      "ORIGINATOR =\n";
  const std::string one =
      "|OBJECT_NAME=VANGUARD 1|MEAN_MOTION=10.84869164|CCSDS_OMM_VERS=2.0|CREATION_DATE=2020-10-13T00:00:00"
      "|ORIGINATOR=null";
  const std::string longest = "OBJECT_NAME = " + std::string(240, 'x');
  checkReads(readOmmKvn,
             {
                 {"one message", msg, true, {"1" + one}, {}},
                 {"two messages", "\xEF\xBB\xBF" + msg + "\n" + msg, true, {"1" + one, "11" + one}, {}},
                 {"no version line: first line", "COMMENT x\n\nNORAD_CAT_ID = 5\n", true, {"3|NORAD_CAT_ID=5"}, {}},
                 {"bad line refuses its message only",
                  msg + msg + "NORAD_CAT_ID 5\n" + msg,
                  true,
                  {"1" + one, "20" + one},
                  {"bad 10: line 19 is not a KEY = VALUE line"}},
                 {"not a keyword", "CCSDS_OMM_VERS = 2.0\nA B = 1\n", true, {},
                  {"bad 1: line 2 is not a KEY = VALUE line"}},
                 {"254 characters", longest + "\n", true, {"1|OBJECT_NAME=" + std::string(240, 'x')}, {}},
                 {"255 characters", "NORAD_CAT_ID = 5\n" + longest + "x\r\n", true, {},
                  {"bad 1: line 2 is longer than 254 characters"}},
                 {"empty", "", true, {}, {}},
             });
}

TEST(OmmText, DetectsEncodings) {
  struct Case {
    std::string head;
    bool found;
    Encoding enc;
  };
  const std::vector<Case> cases = {
      {"[{\"OBJECT_NAME\":", true, Encoding::json},
      {"\xEF\xBB\xBF \r\n {", true, Encoding::json},
      {"\n<?xml version", true, Encoding::xml},
      {"CCSDS_OMM_VERS = 2.0\n", true, Encoding::kvn},
      {"COMMENT x\nCCSDS_OMM_VERS = 2.0\n", true, Encoding::kvn},
      {fileText("sample_omm.csv"), true, Encoding::csv},
      {"\"EPOCH\", \"NORAD_CAT_ID\"\r\n", true, Encoding::csv},
      {"OBJECT_NAME,EPOCH\nNORAD_CAT_ID", false, Encoding::csv},
      {"1 00005U 58002B   20287.20333880 -.00000016  00000-0 -22483-4 0  9998\n"
       "2 00005  34.2443 225.5254 1845686 162.2516 205.2356 10.84869164218149\n",
       false, Encoding::csv},
      {"", false, Encoding::csv},
      {"\xEF\xBB\xBF  \n", false, Encoding::csv},
  };
  for (const auto& c : cases) {
    Encoding enc = Encoding::csv;
    EXPECT_EQ(detectOmm(c.head, enc), c.found) << c.head;
    if (c.found) {
      EXPECT_EQ(enc, c.enc) << c.head;
    }
  }
}

// Values of one set for the writers; the strings live in the map.
struct Values {
  std::map<Key, std::string> text;
  OmmValues view() const {
    OmmValues v;
    for (const auto& [k, t] : text) {
      v.value[static_cast<size_t>(k)] = t;
      v.present[static_cast<size_t>(k)] = true;
    }
    return v;
  }
};

const Values kSample = {{
    {Key::OBJECT_NAME, "VANGUARD 1"}, {Key::OBJECT_ID, "1958-002B"},
    {Key::EPOCH, "2020-10-13T04:52:48.472320"}, {Key::MEAN_MOTION, "10.84869164"},
    {Key::ECCENTRICITY, ".1845686"}, {Key::INCLINATION, "34.2443"},
    {Key::RA_OF_ASC_NODE, "225.5254"}, {Key::ARG_OF_PERICENTER, "162.2516"},
    {Key::MEAN_ANOMALY, "205.2356"}, {Key::EPHEMERIS_TYPE, "0"},
    {Key::CLASSIFICATION_TYPE, "U"}, {Key::NORAD_CAT_ID, "5"},
    {Key::ELEMENT_SET_NO, "999"}, {Key::REV_AT_EPOCH, "21814"},
    {Key::BSTAR, "-.22483E-4"}, {Key::MEAN_MOTION_DOT, "-1.6E-7"},
    {Key::MEAN_MOTION_DDOT, "0"},
}};

std::string write(OmmWriter& w, const std::vector<Values>& sets) {
  std::string out;
  w.begin(out);
  for (const auto& s : sets) w.record(s.view(), out);
  w.end(out);
  return out;
}

TEST(OmmWrite, CsvAndXmlWriteTheSampleFiles) {
  EXPECT_EQ(write(*makeOmmCsvWriter(), {kSample}), fileText("sample_omm.csv"));
  EXPECT_EQ(write(*makeOmmXmlWriter(), {kSample}), fileText("sample_omm.xml"));
}

// What a reader gives back is what the writer was given, plus the
// metadata the message form adds; absent keys stay absent.
TEST(OmmWrite, CsvAndKvnReadBack) {
  Values odd = kSample;
  odd.text[Key::OBJECT_NAME] = "A, \"B\"\r\nC";
  odd.text.erase(Key::OBJECT_ID);
  Values deep = kSample;  // ephemeris type 4: BTERM and AGOM in their slots
  deep.text.erase(Key::OBJECT_NAME);
  deep.text[Key::EPHEMERIS_TYPE] = "4";
  deep.text[Key::BTERM] = "0.02";
  deep.text[Key::AGOM] = "0.01";
  deep.text.erase(Key::BSTAR);
  deep.text.erase(Key::MEAN_MOTION_DDOT);
  deep.text[Key::CREATION_DATE] = "2026-07-14T00:00:00";
  deep.text[Key::REF_FRAME] = "TEME";
  const std::map<Key, std::string> kvnAdds = {{Key::CCSDS_OMM_VERS, "2.0"},
                                              {Key::CENTER_NAME, "EARTH"},
                                              {Key::REF_FRAME, "TEME"},
                                              {Key::TIME_SYSTEM, "UTC"},
                                              {Key::MEAN_ELEMENT_THEORY, "SGP4"}};
  struct Case {
    std::string name;
    std::unique_ptr<OmmWriter> writer;
    bool (*read)(std::string_view, OmmSink&);
    std::vector<Values> sets;
    std::map<Key, std::string> adds;
  };
  std::vector<Case> cases;
  // CSV has no columns for BTERM and AGOM.
  cases.push_back({"csv", makeOmmCsvWriter(), readOmmCsv, {kSample, odd}, {}});
  cases.push_back({"kvn", makeOmmKvnWriter(), readOmmKvn, {kSample, deep, kSample}, kvnAdds});
  for (auto& c : cases) {
    Collect sink;
    const std::string doc = write(*c.writer, c.sets);
    EXPECT_TRUE(c.read(doc, sink)) << c.name;
    ASSERT_EQ(sink.given.size(), c.sets.size()) << c.name << "\n" << doc;
    for (size_t i = 0; i < c.sets.size(); ++i) {
      auto want = c.sets[i].text;
      want.insert(c.adds.begin(), c.adds.end());
      EXPECT_EQ(sink.given[i], want) << c.name << " set " << i << "\n" << doc;
    }
    EXPECT_TRUE(sink.bads.empty()) << c.name;
  }
}

TEST(OmmWrite, JsonEscapesTextsAndWritesNumbersBare) {
  Values v = kSample;
  v.text[Key::OBJECT_NAME] = "Q\"\\\x01\n";
  v.text[Key::ECCENTRICITY] = "0.1845686";
  v.text[Key::BSTAR] = "-2.2483e-05";
  v.text[Key::MEAN_MOTION_DOT] = "-.16e-6";  // not JSON's form: written as a string
  v.text.erase(Key::OBJECT_ID);
  Values unnamed = v;
  unnamed.text.erase(Key::OBJECT_NAME);
  const std::string rest =
      "\"EPOCH\":\"2020-10-13T04:52:48.472320\",\"MEAN_MOTION\":10.84869164,\"ECCENTRICITY\":0.1845686,"
      "\"INCLINATION\":34.2443,\"RA_OF_ASC_NODE\":225.5254,\"ARG_OF_PERICENTER\":162.2516,"
      "\"MEAN_ANOMALY\":205.2356,\"EPHEMERIS_TYPE\":0,\"CLASSIFICATION_TYPE\":\"U\",\"NORAD_CAT_ID\":5,"
      "\"ELEMENT_SET_NO\":999,\"REV_AT_EPOCH\":21814,\"BSTAR\":-2.2483e-05,\"MEAN_MOTION_DOT\":\"-.16e-6\","
      "\"MEAN_MOTION_DDOT\":0}";
  EXPECT_EQ(write(*makeOmmJsonWriter(), {v}), "[{\"OBJECT_NAME\":\"Q\\\"\\\\\\u0001\\u000a\"," + rest + "]\n");
  EXPECT_EQ(write(*makeOmmJsonWriter(), {unnamed, unnamed}),
            "[{\"OBJECT_NAME\":\"\"," + rest + ",\n{\"OBJECT_NAME\":\"\"," + rest + "]\n");
}

}  // namespace
}  // namespace vx::tle::omm
